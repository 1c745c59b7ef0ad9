// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading xlsx workbooks (Office Open XML spreadsheets).
#include <string>
#include <vector>

#include "common/status.h"
#include "sheet/sheet.h"

namespace vireltan {

// Reads the first worksheet of the workbook at `path` into `sheet` (cleared
// first) and gives `sheet` the worksheet's name. Cell styles are ignored, so
// dates arrive as their serial numbers. Errors name `path`. Memory stays
// bounded by the file's size: cells far beyond the used part are ignored
// with a warning added to `warnings` (when given), and a workbook whose
// cells would outgrow CompressedWorkbookByteLimit is refused.
Status ReadXlsxWorkbook(const std::string& path, Sheet& sheet,
                        std::vector<std::string>* warnings = nullptr);

}  // namespace vireltan
