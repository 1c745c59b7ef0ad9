// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing a sheet as a tab-separated text table, the form of the results
// log and the export tables: meant to be read by people as much as by
// programs.
#include <string>

#include "common/status.h"
#include "sheet/sheet.h"

namespace vireltan {

// One line per row up to the last used row (empty rows give empty lines),
// each ending in "\n"; cells separated by tabs up to the row's last
// non-empty cell. Numbers in their shortest round-trip form (NaN and
// infinities as empty cells), texts unchanged unless they hold a tab or a
// line end or start with a double quote: those are quoted, so that reading
// the table back gives the same cells. With a `separator` other than a tab
// (',' for CSV), texts holding it or a double quote are quoted too.
std::string FormatTextTable(const Sheet& sheet, char separator = '\t');
// One cell as FormatTextTable writes it (for tables written row by row).
std::string FormatTextCell(const Cell& cell, char separator = '\t');

// Writes FormatTextTable(sheet) to `path`, replacing any file there only once
// the whole table is written.
Status WriteTextTable(const Sheet& sheet, const std::string& path);
// The same, comma-separated (the .csv tables R and spreadsheets read).
Status WriteCsvTable(const Sheet& sheet, const std::string& path);
// A data table for R's read.csv and pandas' read_csv without options: the
// first row the header, every row given all of the table's fields (empty
// ones as nothing between commas), comma-separated.
std::string FormatDataCsv(const Sheet& sheet);
Status WriteDataCsv(const Sheet& sheet, const std::string& path);

}  // namespace vireltan
