// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Delimited text tables: tab-, comma- or semicolon-separated text with
// optional double-quoted cells, as written by spreadsheets and text editors,
// in UTF-8 (byte order mark optional) or UTF-16 with a byte order mark.
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "sheet/sheet.h"

namespace vireltan {

// Reads the text table `content` into `sheet` (which is cleared first).
// Cells that read as decimal numbers become numbers (keeping the text they
// were written as, see Cell::NumberFromText), other cells texts,
// empty cells stay empty. Error messages name `sourceName` and the line.
// Cells far beyond the table's used part are ignored (see SheetAssembler)
// with a warning added to `warnings` when given.
Status ParseTextTable(std::string_view content, const std::string& sourceName, Sheet& sheet,
                      std::vector<std::string>* warnings = nullptr);

// Reads the file at `path` with ParseTextTable.
Status ReadTextTable(const std::string& path, Sheet& sheet,
                     std::vector<std::string>* warnings = nullptr);

// The separator the table most likely uses: '\t', ';' or ','.
char DetectSeparator(std::string_view content);

}  // namespace vireltan
