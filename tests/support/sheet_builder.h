// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds worksheets and data files from rows of cell texts, for tests.
// A text that reads as a number becomes a number cell, "" an empty cell.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sheet/sheet.h"

namespace vireltan::testing {

using Rows = std::vector<std::vector<std::string>>;

inline Sheet SheetFromRows(const Rows& rows) {
  Sheet sheet;
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const std::string& text = rows[r][c];
      if (text.empty()) continue;
      if (auto number = ParseDecimal(text)) {
        sheet.SetNumberAt(static_cast<int>(r + 1), static_cast<int>(c + 1), *number);
      } else {
        sheet.SetTextAt(static_cast<int>(r + 1), static_cast<int>(c + 1), text);
      }
    }
  }
  return sheet;
}

inline void WriteTsv(const std::filesystem::path& path, const Rows& rows) {
  std::ofstream out(path, std::ios::binary);
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) out << (c ? "\t" : "") << row[c];
    out << "\n";
  }
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh empty folder under the system's temporary directory, removed when
// the object goes out of scope.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("vireltan-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace vireltan::testing
