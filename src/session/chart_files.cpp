// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/chart_files.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "sheet/atomic_file.h"

namespace vireltan {

namespace fs = std::filesystem;

namespace {

Status WriteError(const std::string& path, const std::string& reason) {
  return Status::Error("Cannot write \"" + path + "\": " + reason);
}

bool ReadWhole(const fs::path& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  bytes = content.str();
  return !in.bad();
}

// One of the two files of a chart: where it is, and a copy of its old
// content (kept until the new content is known to be whole). A copy, not a
// hard link: a renderer may write the file in place.
struct KeptFile {
  fs::path path;
  fs::path keep;  // empty when there was no old file
};

// A hidden name beside `target` that no file has yet.
fs::path UnusedNameBeside(const fs::path& target) {
  std::random_device seed;
  std::mt19937 random(seed());
  std::error_code ec;
  for (;;) {
    fs::path candidate = target.parent_path() / ("." + target.filename().string() + ".keep-" +
                                                 std::to_string(random() % 1000000000u));
    if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
  }
}

Status Keep(KeptFile& file, const std::string& shown) {
  std::error_code ec;
  if (!fs::exists(file.path, ec)) return Status::Ok();
  file.keep = UnusedNameBeside(file.path);
  fs::copy_file(file.path, file.keep, ec);
  if (ec) {
    file.keep.clear();
    return WriteError(shown, "its old content cannot be kept aside (" + ec.message() + ").");
  }
  return Status::Ok();
}

// Puts the old content back (or removes a file that did not exist).
void Restore(const KeptFile& file) {
  std::error_code ec;
  if (file.keep.empty()) {
    fs::remove(file.path, ec);
  } else {
    fs::rename(file.keep, file.path, ec);
  }
}

void Discard(const KeptFile& file) {
  std::error_code ec;
  if (!file.keep.empty()) fs::remove(file.keep, ec);
}

// Whether the renderer wrote `file` anew (not the old content, not nothing).
bool Rewritten(const KeptFile& file) {
  std::error_code ec;
  if (!fs::exists(file.path, ec)) return false;
  if (file.keep.empty()) return true;
  std::string now, before;
  return !ReadWhole(file.path, now) || !ReadWhole(file.keep, before) || now != before;
}

}  // namespace

bool IsCompleteSvg(const std::string& bytes) {
  size_t end = bytes.find_last_not_of(" \t\r\n");
  const std::string close = "</svg>";
  return end != std::string::npos && end + 1 >= close.size() &&
         bytes.compare(end + 1 - close.size(), close.size(), close) == 0;
}

bool IsCompletePng(const std::string& bytes) {
  static const std::string kSignature("\x89PNG\r\n\x1A\n", 8);
  // The last chunk: length 0, type IEND, its fixed checksum.
  static const std::string kEnd("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
  return bytes.size() >= kSignature.size() + kEnd.size() &&
         bytes.compare(0, kSignature.size(), kSignature) == 0 &&
         bytes.compare(bytes.size() - kEnd.size(), kEnd.size(), kEnd) == 0;
}

bool IsCompletePdf(const std::string& bytes) {
  size_t end = bytes.find_last_not_of(" \t\r\n");
  const std::string close = "%%EOF";
  return bytes.compare(0, 4, "%PDF") == 0 && end != std::string::npos && end + 1 >= close.size() &&
         bytes.compare(end + 1 - close.size(), close.size(), close) == 0;
}

Status SaveChartFiles(ChartRenderer& renderer, const ChartData& chart, const std::string& basePath,
                      const FigureOptions& options) {
  // Pipes, devices and folders are refused before the renderer starts.
  const std::vector<std::string> paths = FigurePaths(basePath, options);
  std::vector<KeptFile> files;
  auto undo = [&] {
    for (const KeptFile& f : files) Restore(f);
  };
  for (const std::string& path : paths) {
    std::string target;
    if (Status s = ResolveOutputTarget(path, target); !s) {
      for (const KeptFile& f : files) Discard(f);
      return s;
    }
    files.push_back({path, {}});
    if (Status s = Keep(files.back(), path); !s) {
      files.pop_back();
      for (const KeptFile& f : files) Discard(f);
      return s;
    }
  }
  Status drawn = renderer.SaveFigure(chart, basePath, options);
  if (!drawn) {
    undo();
    return drawn;
  }
  // A renderer may report success over a file cut short by a full disk:
  // the files written are checked by their ends before they are kept.
  for (const KeptFile& f : files) {
    std::string bytes;
    if (!Rewritten(f)) continue;
    const std::string name = f.path.string();
    const bool whole =
        ReadWhole(f.path, bytes) && (name.ends_with(".svg")   ? IsCompleteSvg(bytes)
                                     : name.ends_with(".png") ? IsCompletePng(bytes)
                                                              : IsCompletePdf(bytes));
    if (!whole) {
      undo();
      return WriteError(name, "the file was cut short (is the disk full?).");
    }
  }
  for (const KeptFile& f : files) Discard(f);
  return Status::Ok();
}

}  // namespace vireltan
