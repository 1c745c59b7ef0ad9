// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading legacy binary workbooks (.xls, BIFF inside an OLE2 compound file).
#include <string>
#include <vector>

#include "common/status.h"
#include "sheet/sheet.h"

namespace vireltan {

// Reads the first worksheet of the workbook at `path` into `sheet` (cleared
// first) and gives `sheet` the worksheet's name. Numbers stay numbers,
// dates and times become their serial numbers as in xlsx workbooks, texts
// stay texts. Errors name `path` and say in words what went wrong. Memory is
// bounded as for xlsx workbooks (see ReadXlsxWorkbook).
Status ReadXlsWorkbook(const std::string& path, Sheet& sheet,
                       std::vector<std::string>* warnings = nullptr);

}  // namespace vireltan
