// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/fixed_distance_classes.h"

#include <cmath>
#include <filesystem>

#include "sheet/table_file.h"

namespace vireltan {

namespace {

std::string CellName(int col) {
  return "row 1, column " + std::to_string(col);
}

}  // namespace

Status ReadFixedDistanceClasses(const std::string& dataDirectory,
                                std::vector<double>& upperLimits) {
  upperLimits.clear();
  const std::string path = dataDirectory + kFixedDistanceClassesFile;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return Status::Error("The file distances.txt is missing from the folder of the data file");
  }

  Book book;
  Status read = ReadTableFile(path, book);
  if (!read) return read;
  const Sheet& sheet = book.first();

  // Only row 1 counts: its own last used cell ends the list, whatever the
  // length of the rows below.
  const int lastCol = sheet.rows().empty() ? 0 : static_cast<int>(sheet.rows().front().size());
  if (lastCol == 0) {
    return Status::Error("The file \"" + path +
                         "\" holds no distance class limits: its first row is empty.");
  }

  std::vector<double> limits;
  limits.reserve(lastCol);
  for (int col = 1; col <= lastCol; ++col) {
    const Cell& cell = sheet.at(1, col);
    if (cell.empty()) {
      return Status::Error("The file \"" + path + "\" has an empty cell (" + CellName(col) +
                           ") among its distance class limits.");
    }
    double value = 0;
    if (cell.isNumber()) {
      value = cell.number();
    } else {
      std::optional<double> parsed = ParseDecimal(cell.text());
      if (!parsed) {
        return Status::Error("The file \"" + path + "\" has \"" + cell.text() + "\" in " +
                             CellName(col) + ": a distance class limit must be a number.");
      }
      value = *parsed;
    }
    if (!std::isfinite(value)) {
      return Status::Error("The file \"" + path + "\" has an invalid number in " + CellName(col) +
                           ".");
    }
    if (!limits.empty() && !(value > limits.back())) {
      return Status::Error("The file \"" + path + "\" has the limit " + FormatNumber(value) +
                           " in " + CellName(col) + ", not above the limit " +
                           FormatNumber(limits.back()) + " before it: the distance class " +
                           "limits must be in strictly ascending order.");
    }
    limits.push_back(value);
  }
  upperLimits = std::move(limits);
  return Status::Ok();
}

}  // namespace vireltan
