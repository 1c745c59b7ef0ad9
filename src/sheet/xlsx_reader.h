#pragma once
// Reading xlsx workbooks (Office Open XML spreadsheets).
#include <string>

#include "common/status.h"
#include "sheet/sheet.h"

namespace vireltan {

// Reads the first worksheet of the workbook at `path` into `sheet` (cleared
// first) and gives `sheet` the worksheet's name. Cell styles are ignored, so
// dates arrive as their serial numbers. Errors name `path`.
Status ReadXlsxWorkbook(const std::string& path, Sheet& sheet);

}  // namespace vireltan
