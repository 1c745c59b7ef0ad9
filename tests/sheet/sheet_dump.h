// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A compact picture of a sheet for comparisons in tests: one line per row,
// cells joined by '|', numbers as "#<value>", texts as "'<text>", empty
// cells as nothing.
#include <string>

#include "sheet/sheet.h"
#include "sheet/table_file.h"

namespace vireltan::testing {

inline std::string DumpCell(const Cell& cell) {
  if (cell.isNumber()) return "#" + FormatNumber(cell.number());
  if (cell.isText()) return "'" + cell.text();
  return "";
}

inline std::string DumpSheet(const Sheet& sheet) {
  std::string out;
  for (int r = 1; r <= sheet.LastRow(); ++r) {
    if (r > 1) out += '\n';
    const auto& cells = sheet.rows()[r - 1];
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c > 0) out += '|';
      out += DumpCell(cells[c]);
    }
  }
  return out;
}

}  // namespace vireltan::testing
