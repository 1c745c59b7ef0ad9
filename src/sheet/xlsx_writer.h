// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing books as xlsx workbooks, one worksheet per sheet.
#include <string>
#include <vector>

#include "common/status.h"
#include "sheet/book.h"

namespace vireltan {

// Writes every sheet of `book` to `path`: numbers as numbers (NaN and
// infinities left empty), texts as texts. The file at `path` is replaced
// only once the whole workbook is written.
Status WriteXlsxWorkbook(const Book& book, const std::string& path);

// The worksheet names used for `book`'s sheets. Workbook names are at most
// 31 characters, may not hold []:*?/\ nor start or end with an apostrophe,
// and must differ ignoring case; sheet names are fitted to that, and an
// empty name becomes "Sheet<n>".
std::vector<std::string> XlsxSheetNames(const Book& book);

}  // namespace vireltan
