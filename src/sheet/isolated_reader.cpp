// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/isolated_reader.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VIRELTAN_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VIRELTAN_ASAN 1
#endif

#ifdef VIRELTAN_ASAN
extern "C" void __sanitizer_set_death_callback(void (*callback)(void));
#endif

namespace vireltan {

namespace {

// The reply: status, sheet name, warnings, then the cells, each field
// length-prefixed. The child is our own code, but the reply is still read
// with every length checked.
class Writer {
 public:
  void U8(unsigned v) { bytes_ += static_cast<char>(v); }
  void U64(std::uint64_t v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
  void Text(const std::string& s) {
    U64(s.size());
    bytes_ += s;
  }
  void Number(double v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  bool done() const { return pos_ == bytes_.size(); }
  bool U8(unsigned& v) {
    if (pos_ + 1 > bytes_.size()) return false;
    v = static_cast<unsigned char>(bytes_[pos_++]);
    return true;
  }
  bool U64(std::uint64_t& v) { return Raw(&v, sizeof v); }
  bool Number(double& v) { return Raw(&v, sizeof v); }
  bool Text(std::string& s) {
    std::uint64_t size = 0;
    if (!U64(size) || size > bytes_.size() - pos_) return false;
    s.assign(bytes_, pos_, size);
    pos_ += size;
    return true;
  }

 private:
  bool Raw(void* out, size_t size) {
    if (pos_ + size > bytes_.size()) return false;
    std::memcpy(out, bytes_.data() + pos_, size);
    pos_ += size;
    return true;
  }
  const std::string& bytes_;
  size_t pos_ = 0;
};

std::string Serialize(const Status& status, const Sheet& sheet,
                      const std::vector<std::string>& warnings) {
  Writer w;
  w.U8(status.ok() ? 1 : 0);
  w.Text(status.message());
  w.Text(sheet.name());
  w.U64(warnings.size());
  for (const std::string& warning : warnings) w.Text(warning);
  const auto& rows = sheet.rows();
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const Cell& cell = rows[r][c];
      if (cell.empty()) continue;
      w.U64(r + 1);
      w.U64(c + 1);
      w.U8(cell.isNumber() ? 1 : 2);
      if (cell.isNumber()) {
        w.Number(cell.number());
      } else {
        w.Text(cell.text());
      }
    }
  }
  return w.bytes();
}

bool Deserialize(const std::string& bytes, Status& status, Sheet& sheet,
                 std::vector<std::string>& warnings) {
  Reader in(bytes);
  unsigned ok = 0;
  std::string message, name;
  std::uint64_t count = 0;
  if (!in.U8(ok) || !in.Text(message) || !in.Text(name) || !in.U64(count)) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::string warning;
    if (!in.Text(warning)) return false;
    warnings.push_back(std::move(warning));
  }
  status = ok ? Status::Ok() : Status::Error(message);
  sheet.setName(name);
  while (!in.done()) {
    std::uint64_t row = 0, col = 0;
    unsigned kind = 0;
    if (!in.U64(row) || !in.U64(col) || !in.U8(kind)) return false;
    if (row < 1 || col < 1 || row > 1u << 30 || col > 1u << 30) return false;
    if (kind == 1) {
      double v = 0;
      if (!in.Number(v)) return false;
      sheet.set(static_cast<int>(row), static_cast<int>(col), Cell::Number(v));
    } else {
      std::string text;
      if (kind != 2 || !in.Text(text)) return false;
      sheet.set(static_cast<int>(row), static_cast<int>(col), Cell::Text(std::move(text)));
    }
  }
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

#ifdef VIRELTAN_ASAN
void ChildDeath() {
  ::_exit(70);
}
#endif

[[noreturn]] void RunChild(int fd, const IsolatedRead& read, const IsolationLimits& limits) {
  // The child dies of its own faults, quietly for the parent: handlers
  // inherited from the parent (a fuzzer's crash handlers, which would take
  // the child's death for the parent's and write their report) are reset.
  for (int signal : {SIGSEGV, SIGBUS, SIGABRT, SIGILL, SIGFPE, SIGALRM, SIGINT, SIGTERM, SIGXFSZ,
                     SIGUSR1, SIGUSR2, SIGPIPE})
    ::signal(signal, SIG_DFL);
#ifdef VIRELTAN_ASAN
  __sanitizer_set_death_callback(ChildDeath);
#endif
  if (limits.addressSpace > 0) {
    rlimit memory{limits.addressSpace, limits.addressSpace};
    setrlimit(RLIMIT_AS, &memory);
  }
  Sheet sheet;
  std::vector<std::string> warnings;
  Status status = read(sheet, warnings);
  if (!status.ok()) sheet.Clear();
  bool sent = WriteAll(fd, Serialize(status, sheet, warnings));
  ::close(fd);
  // _exit: no destructors or exit handlers of the parent's objects run here.
  ::_exit(sent ? 0 : 3);
}

}  // namespace

Status ReadInChildProcess(const IsolatedRead& read, const std::string& path,
                          const std::string& what, const IsolationLimits& limits, Sheet& sheet,
                          std::vector<std::string>* warnings) {
  sheet.Clear();
  auto failure = [&](const std::string& why) {
    sheet.Clear();
    return Status::Error("Cannot read \"" + path + "\": " + why);
  };
  int fds[2];
  if (::pipe(fds) != 0) return failure(std::string(std::strerror(errno)) + ".");
  pid_t child = ::fork();
  if (child < 0) {
    int error = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return failure(std::string(std::strerror(error)) + ".");
  }
  if (child == 0) {
    ::close(fds[0]);
    RunChild(fds[1], read, limits);
  }
  ::close(fds[1]);

  // Read the reply until the child closes its end, within the time limit.
  std::string reply;
  bool timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds);
  char buffer[1 << 16];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      timedOut = ready == 0;
      if (!timedOut) break;
      continue;
    }
    ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reply.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (timedOut) ::kill(child, SIGKILL);
  int waitStatus = 0;
  while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
  }
  if (timedOut)
    return failure("reading the " + what + " took more than " + std::to_string(limits.seconds) +
                   " seconds; the file is damaged or built to hang the reader.");
  const bool exitedCleanly = WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
  Status status;
  std::vector<std::string> sent;
  if (!exitedCleanly || !Deserialize(reply, status, sheet, sent))
    return failure("the " + what + " is damaged: the library that reads it failed on it.");
  if (!status.ok()) {
    sheet.Clear();
    return status;
  }
  if (warnings != nullptr) warnings->insert(warnings->end(), sent.begin(), sent.end());
  return Status::Ok();
}

}  // namespace vireltan
