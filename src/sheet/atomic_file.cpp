// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/atomic_file.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>

namespace vireltan {

namespace fs = std::filesystem;

namespace {

Status WriteError(const std::string& targetPath, const std::string& reason) {
  return Status::Error("Cannot write \"" + targetPath + "\": " + reason);
}

// The temporary files this process is writing, for a signal handler to
// remove. A handler can reach nothing but globals, and may only read
// lock-free atomics and call async-signal-safe functions such as unlink:
// hence fixed slots of fixed size, each claimed and released through its
// state. This is the one mutable global of the file layer.
constexpr int kTemporarySlots = 64;
constexpr std::size_t kTemporaryPathBytes = 4096;
enum SlotState : int { kFree = 0, kFilling = 1, kHeld = 2 };
struct TemporarySlot {
  std::atomic<int> state{kFree};
  char path[kTemporaryPathBytes];
};
TemporarySlot temporarySlots[kTemporarySlots];
static_assert(std::atomic<int>::is_always_lock_free);

// Notes `path` as being written by this process until destroyed. With every
// slot taken (64 writes at once) or a path too long, the file simply goes
// unnoted: it is still removed on any failure, only not on a signal.
class TemporaryFileNote {
 public:
  explicit TemporaryFileNote(const std::string& path) {
    if (path.size() >= kTemporaryPathBytes) return;
    for (TemporarySlot& slot : temporarySlots) {
      int expected = kFree;
      if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
      std::memcpy(slot.path, path.c_str(), path.size() + 1);
      slot.state.store(kHeld);
      slot_ = &slot;
      return;
    }
  }
  ~TemporaryFileNote() {
    if (slot_ != nullptr) slot_->state.store(kFree);
  }
  TemporaryFileNote(const TemporaryFileNote&) = delete;
  TemporaryFileNote& operator=(const TemporaryFileNote&) = delete;

 private:
  TemporarySlot* slot_ = nullptr;
};

constexpr const char* kTemporaryMark = ".vireltan-";
constexpr const char* kTemporaryEnd = ".tmp";

// Creates a new, empty file next to the target with a name no one else uses:
// ".<name>.vireltan-<pid>-<n>.tmp", hidden, and telling which process made
// it should a crash leave it behind. "x" (exclusive creation) makes two
// writers never share a temporary file; unlike mkstemp it keeps the usual
// permissions of a new file.
bool CreateTempFile(const fs::path& target, fs::path* tempPath, int* error) {
  std::random_device seed;
  std::mt19937 random(seed());
  const std::string base = "." + target.filename().string() + kTemporaryMark +
                           std::to_string(static_cast<long>(getpid())) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate =
        target.parent_path() / (base + std::to_string(random() % 1000000000u) + kTemporaryEnd);
    std::FILE* file = std::fopen(candidate.string().c_str(), "wbx");
    if (file != nullptr) {
      std::fclose(file);
      *tempPath = candidate;
      return true;
    }
    *error = errno;
    if (*error != EEXIST) return false;
  }
  return false;
}

bool ProcessRuns(long processId) {
  return kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

// Leftovers of earlier versions of the program (".<name>.tmp-<n>" and
// ".<name>.keep-<n>"): no process id to ask, so only those older than an
// hour are taken for abandoned.
bool IsOldLeftover(const fs::directory_entry& entry) {
  const std::string name = entry.path().filename().string();
  if (name.size() < 2 || name[0] != '.') return false;
  std::size_t mark = name.rfind(".tmp-");
  if (mark == std::string::npos) mark = name.rfind(".keep-");
  if (mark == std::string::npos || mark == 0) return false;
  const std::size_t digits = name.find('-', mark) + 1;
  if (digits >= name.size() || name.find_first_not_of("0123456789", digits) != std::string::npos)
    return false;
  std::error_code ec;
  const auto written = entry.last_write_time(ec);
  return !ec && fs::file_time_type::clock::now() - written > std::chrono::hours(1);
}

}  // namespace

std::string WriteFailureReason(int error) {
  if (error == ENOSPC) return "no space left on the device.";
#ifdef EDQUOT
  if (error == EDQUOT) return "the disk quota is used up.";
#endif
  return std::string(std::strerror(error)) + ".";
}

bool IsTemporaryFileName(const std::string& fileName, long* processId) {
  const std::string mark = kTemporaryMark;
  const std::string end = kTemporaryEnd;
  if (fileName.size() < 2 || fileName[0] != '.' || !fileName.ends_with(end)) return false;
  const std::size_t at = fileName.rfind(mark);
  if (at == std::string::npos || at < 2) return false;
  const std::string tail =
      fileName.substr(at + mark.size(), fileName.size() - end.size() - at - mark.size());
  const std::size_t dash = tail.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == tail.size() ||
      tail.find_first_not_of("0123456789-") != std::string::npos ||
      tail.find('-', dash + 1) != std::string::npos || dash > 9)
    return false;
  if (processId != nullptr) *processId = std::stol(tail.substr(0, dash));
  return true;
}

int RemoveAbandonedTemporaryFiles(const std::string& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return 0;
  int removed = 0;
  const long self = static_cast<long>(getpid());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const fs::directory_entry& entry = *it;
    long owner = 0;
    const std::string name = entry.path().filename().string();
    const bool abandoned = IsTemporaryFileName(name, &owner) ? owner != self && !ProcessRuns(owner)
                                                             : IsOldLeftover(entry);
    std::error_code removeError;
    if (abandoned && entry.is_regular_file(removeError) && fs::remove(entry.path(), removeError))
      ++removed;
  }
  return removed;
}

void RemoveTemporaryFilesNow() {
  for (TemporarySlot& slot : temporarySlots) {
    if (slot.state.load() == kHeld) unlink(slot.path);
  }
}

namespace {

extern "C" void RemoveTemporaryFilesAndEnd(int signalNumber) {
  RemoveTemporaryFilesNow();
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

void RemoveTemporaryFilesOnTermination() {
  struct sigaction action = {};
  action.sa_handler = RemoveTemporaryFilesAndEnd;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

Status ResolveOutputTarget(const std::string& targetPath, std::string& resolved) {
  if (targetPath.empty()) return Status::Error("Cannot write a file without a name.");
  fs::path target(targetPath);
  std::error_code ec;
  // Follow symbolic links to the file they name, as writing through them
  // would; the replacement then happens in that file's own folder (a rename
  // cannot cross file systems, and replacing the link itself would cut it
  // from its target). A loop of links ends the search.
  constexpr int kMaxLinks = 40;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    if (hops == kMaxLinks) return WriteError(targetPath, "its symbolic links form a loop.");
    fs::path next = fs::read_symlink(target, ec);
    if (ec) return WriteError(targetPath, ec.message() + ".");
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  fs::file_status status = fs::status(target, ec);
  if (fs::exists(status)) {
    if (fs::is_directory(status)) return WriteError(targetPath, "it is a folder.");
    // A pipe, a device or a socket is not replaced by a regular file, nor
    // written into (a pipe would block, a device take anything).
    if (!fs::is_regular_file(status))
      return WriteError(targetPath, "it is not a regular file (a pipe, a device or a socket).");
  }
  fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    return WriteError(targetPath, "the folder \"" + folder.string() + "\" does not exist.");
  }
  resolved = target.string();
  return Status::Ok();
}

Status KeepWithModificationTime(const std::string& targetPath, std::string& keptPath) {
  keptPath.clear();
  std::string resolved;
  if (!ResolveOutputTarget(targetPath, resolved)) return Status::Ok();
  struct stat info;
  if (::stat(resolved.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
    return Status::Ok();
  std::tm local{};
  const time_t modified = info.st_mtime;
  if (!localtime_r(&modified, &local)) return WriteError(targetPath, "its date is unreadable.");
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);

  const fs::path file(resolved);
  const std::string stem = file.stem().string();
  const std::string extension = file.extension().string();
  for (int n = 1; n < 10000; ++n) {
    const std::string suffix = n == 1 ? "" : "-" + std::to_string(n);
    const fs::path candidate = file.parent_path() / (stem + "." + stamp + suffix + extension);
    // A hard link never replaces an existing name; the old name then goes.
    if (::link(resolved.c_str(), candidate.c_str()) == 0) {
      if (::unlink(resolved.c_str()) != 0) {
        const int error = errno;
        ::unlink(candidate.c_str());
        return WriteError(targetPath, WriteFailureReason(error) + ".");
      }
      keptPath = candidate.string();
      return Status::Ok();
    }
    const int error = errno;
    if (error == EEXIST) continue;
    // File systems without hard links: rename, after checking the name is
    // free.
    if (error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EXDEV) {
      std::error_code ec;
      if (fs::exists(fs::symlink_status(candidate, ec))) continue;
      if (::rename(resolved.c_str(), candidate.c_str()) != 0)
        return WriteError(targetPath, WriteFailureReason(errno) + ".");
      keptPath = candidate.string();
      return Status::Ok();
    }
    return WriteError(targetPath, WriteFailureReason(error) + ".");
  }
  return WriteError(targetPath, "too many earlier copies with the same date.");
}

Status ReplaceFileAtomically(const std::string& targetPath,
                             const std::function<Status(const std::string& tempPath)>& fill) {
  std::string resolved;
  if (Status status = ResolveOutputTarget(targetPath, resolved); !status) return status;
  fs::path target(resolved);
  std::error_code ec;

  RemoveAbandonedTemporaryFiles(target.parent_path().string());
  fs::path tempPath;
  int error = 0;
  if (!CreateTempFile(target, &tempPath, &error)) {
    return WriteError(targetPath, WriteFailureReason(error));
  }
  TemporaryFileNote note(tempPath.string());
  Status filled = fill(tempPath.string());
  if (!filled.ok()) {
    fs::remove(tempPath, ec);
    return filled;
  }
  // The replacement keeps the permissions of the file it replaces.
  fs::file_status old = fs::status(target, ec);
  if (!ec && fs::is_regular_file(old)) fs::permissions(tempPath, old.permissions(), ec);
  fs::rename(tempPath, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(tempPath, ignored);
    return WriteError(targetPath, ec.message() + ".");
  }
  return Status::Ok();
}

namespace {

Status WriteContent(const std::string& targetPath, const std::string& tempPath,
                    const std::string& content) {
  std::FILE* file = std::fopen(tempPath.c_str(), "wb");
  if (file == nullptr) return WriteError(targetPath, WriteFailureReason(errno));
  bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  int writeError = errno;
  // fclose flushes; a full disk often shows only here.
  if (std::fclose(file) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written) return WriteError(targetPath, WriteFailureReason(writeError));
  return Status::Ok();
}

// Writes `produce`'s pieces to an open temporary file; the error names
// `targetPath`.
Status WritePieces(const std::string& targetPath, const std::string& tempPath,
                   const std::function<void(const PieceWriter&)>& produce) {
  std::FILE* file = std::fopen(tempPath.c_str(), "wb");
  if (file == nullptr) return WriteError(targetPath, WriteFailureReason(errno));
  bool written = true;
  int writeError = 0;
  produce([&](const std::string& piece) {
    if (!written) return;
    if (std::fwrite(piece.data(), 1, piece.size(), file) != piece.size()) {
      written = false;
      writeError = errno;
    }
  });
  // fclose flushes; a full disk often shows only here.
  if (std::fclose(file) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written) return WriteError(targetPath, WriteFailureReason(writeError));
  return Status::Ok();
}

// Files from `index` on: each one's temporary file holds the next ones'
// writes, so that its rename comes only after theirs succeeded.
Status WriteProducedFrom(const std::vector<std::pair<std::string, FileProducer>>& files,
                         std::size_t index) {
  if (index == files.size()) return Status::Ok();
  const auto& [path, produce] = files[index];
  return ReplaceFileAtomically(path, [&](const std::string& tempPath) {
    if (Status s = WritePieces(path, tempPath, produce); !s) return s;
    return WriteProducedFrom(files, index + 1);
  });
}

}  // namespace

Status WriteFileAtomicallyInPieces(const std::string& targetPath, const FileProducer& produce) {
  return WriteProducedFrom({{targetPath, produce}}, 0);
}

Status WriteFilesAtomically(const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<std::pair<std::string, FileProducer>> produced;
  for (const auto& [path, content] : files)
    produced.emplace_back(path, [&content](const PieceWriter& write) { write(content); });
  return WriteProducedFrom(produced, 0);
}

Status WriteFilesAtomically(const std::vector<std::pair<std::string, FileProducer>>& files) {
  return WriteProducedFrom(files, 0);
}

Status WriteFileAtomically(const std::string& targetPath, const std::string& content) {
  return ReplaceFileAtomically(targetPath, [&](const std::string& tempPath) {
    return WriteContent(targetPath, tempPath, content);
  });
}

}  // namespace vireltan
