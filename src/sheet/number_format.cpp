// SPDX-License-Identifier: GPL-3.0-or-later
#include <charconv>
#include <cmath>
#include <string>

#include "sheet/table_file.h"

namespace vireltan {

std::string FormatNumber(double value) {
  if (!std::isfinite(value)) return "";
  if (value == 0.0) return "0";  // also folds -0 into "0"
  char buffer[64];
  // std::to_chars without a precision gives the shortest form that reads back
  // to the same double; the general format avoids exponents for ordinary
  // magnitudes, which spreadsheet users read more easily.
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
  std::string text(buffer, result.ptr);
  // Plain notation when it is short enough to stay readable (up to 1e15).
  if (text.find('e') != std::string::npos && std::fabs(value) >= 1e-5 && std::fabs(value) < 1e15) {
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    text.assign(buffer, result.ptr);
  }
  return text;
}

}  // namespace vireltan
