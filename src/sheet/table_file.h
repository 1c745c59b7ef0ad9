// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading and writing whole books as files.
//
// Reading picks the format from the file's content (an xlsx workbook is a
// zip archive, a legacy xls workbook an OLE2 compound file, anything else is
// tried as a delimited text table); the extension is not trusted.
// Writing always goes to a temporary file in the target's folder that is then
// renamed over the target, so a failed write never leaves a truncated file.
#include <string>
#include <vector>

#include "common/status.h"
#include "sheet/book.h"

namespace vireltan {

enum class FileType {
  kXlsxWorkbook = 4,   // spreadsheet workbook, one worksheet per sheet
  kTextTable = 6,      // tab-separated text, UTF-8, one line per row
  kXlsWorkbook = 100,  // legacy binary workbook (read only)
};

// Ok when `path` names an existing regular file (through symbolic links);
// else an error naming it: a folder, a pipe, a device or a socket is
// refused before anything tries to read it.
Status CheckInputFile(const std::string& path);

// Reads `path` into `book` (its sheets replaced). Text tables and legacy
// workbooks give one sheet; xlsx workbooks give their first worksheet only.
// `detectedType` receives the format found. On failure `book` is left empty
// and the message names the file (and row/column where that helps). Cells
// far beyond the table's used part are ignored, with a warning added to
// `warnings` when given; memory stays a small multiple of the file's size.
Status ReadTableFile(const std::string& path, Book& book, FileType* detectedType = nullptr,
                     std::vector<std::string>* warnings = nullptr);

// Writes `book`: kTextTable writes sheet 1 as tab-separated lines (numbers in
// their shortest round-trip form, NaN/inf cells left empty); kXlsxWorkbook
// writes every sheet, numbers as numbers and texts as texts.
Status WriteTableFile(const Book& book, const std::string& path, FileType type);

// The largest sheet an xlsx workbook holds.
inline constexpr int kXlsxMaxRows = 1048576;
inline constexpr int kXlsxMaxColumns = 16384;
inline bool FitsXlsxSheet(const Sheet& sheet) {
  return sheet.LastRow() <= kXlsxMaxRows && sheet.LastCol() <= kXlsxMaxColumns;
}

// Shortest decimal text that reads back to the same double (at most 17
// significant digits, no exponent for ordinary magnitudes); "" for NaN/inf.
std::string FormatNumber(double value);

}  // namespace vireltan
