// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/coordinates.h"

#include <cmath>
#include <optional>

#include "sheet/sheet.h"

namespace vireltan {

bool IsAllowedCoordinate(double value) {
  return std::isfinite(value) && std::fabs(value) <= kMaxCoordinate;
}

bool ReadCoordinateCell(const Cell& cell, double& value, std::string& why) {
  std::optional<double> number;
  if (cell.isNumber()) number = cell.number();
  if (cell.isText()) number = ParseDecimal(cell.text());
  if (!number) {
    why = "not a number (write 999 in x and y when there are no coordinates).";
    return false;
  }
  if (!IsAllowedCoordinate(*number)) {
    why =
        "beyond the coordinates allowed (finite numbers from -1e9 to 1e9, which any projected "
        "or geographic system fits).";
    return false;
  }
  value = *number;
  return true;
}

}  // namespace vireltan
