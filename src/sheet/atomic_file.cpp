// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace vireltan {

namespace fs = std::filesystem;

namespace {

Status WriteError(const std::string& targetPath, const std::string& reason) {
  return Status::Error("Cannot write \"" + targetPath + "\": " + reason);
}

// Creates a new, empty file next to the target with a name no one else uses.
// "x" (exclusive creation) makes two writers never share a temporary file;
// unlike mkstemp it keeps the usual permissions of a new file.
bool CreateTempFile(const fs::path& target, fs::path* tempPath, int* error) {
  std::random_device seed;
  std::mt19937 random(seed());
  // Hidden, and marked as temporary should a crash leave it behind.
  std::string base = ".";
  base += target.filename().string();
  base += ".tmp-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = target.parent_path() / (base + std::to_string(random() % 1000000000u));
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

}  // namespace

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

Status ReplaceFileAtomically(const std::string& targetPath,
                             const std::function<Status(const std::string& tempPath)>& fill) {
  std::string resolved;
  if (Status status = ResolveOutputTarget(targetPath, resolved); !status) return status;
  fs::path target(resolved);
  std::error_code ec;

  fs::path tempPath;
  int error = 0;
  if (!CreateTempFile(target, &tempPath, &error)) {
    return WriteError(targetPath, std::string(std::strerror(error)) + ".");
  }
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

Status WriteFileAtomically(const std::string& targetPath, const std::string& content) {
  return ReplaceFileAtomically(targetPath, [&](const std::string& tempPath) {
    std::FILE* file = std::fopen(tempPath.c_str(), "wb");
    if (file == nullptr) return WriteError(targetPath, std::string(std::strerror(errno)) + ".");
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int writeError = errno;
    // fclose flushes; a full disk often shows only here.
    if (std::fclose(file) != 0 && written) {
      written = false;
      writeError = errno;
    }
    if (!written) return WriteError(targetPath, std::string(std::strerror(writeError)) + ".");
    return Status::Ok();
  });
}

}  // namespace vireltan
