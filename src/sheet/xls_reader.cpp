#include "sheet/xls_reader.h"

#include <freexl.h>

#include <cstdio>

namespace vireltan {

namespace {

Status ReadError(const std::string& path, const std::string& reason) {
  return Status::Error("Cannot read \"" + path + "\": " + reason);
}

std::string DescribeFreexlError(int code) {
  switch (code) {
    case FREEXL_FILE_NOT_FOUND:
      return "the file cannot be opened.";
    case FREEXL_INSUFFICIENT_MEMORY:
      return "there is not enough memory to read it.";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      return "it is an OLE2 compound file but holds no xls workbook.";
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
      return "its texts use a character set that cannot be converted.";
    default:
      return "the xls workbook is damaged or in a form that cannot be read (code " +
             std::to_string(code) + ").";
  }
}

// Closes the workbook however the reading ends (FreeXL wants a close even
// after a failed open).
class FreexlHandle {
 public:
  ~FreexlHandle() {
    if (handle_ != nullptr) freexl_close(handle_);
  }
  const void** out() { return &handle_; }
  const void* get() const { return handle_; }

 private:
  const void* handle_ = nullptr;
};

// Days from 1970-01-01 to a proleptic Gregorian date.
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

// FreeXL hands dates and times over as text ("YYYY-MM-DD", "YYYY-MM-DD
// HH:MM:SS", "HH:MM:SS"); the workbook stored the spreadsheet serial number,
// which is what the xlsx reader gives too, so it is rebuilt here.
Cell DateTimeCell(unsigned char type, const char* text, bool epoch1904) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  double serial = 0.0;
  if (type == FREEXL_CELL_DATE || type == FREEXL_CELL_DATETIME) {
    if (std::sscanf(text, "%d-%d-%d", &year, &month, &day) != 3) return Cell::Text(text);
    long epoch = epoch1904 ? DaysFromCivil(1904, 1, 1) : DaysFromCivil(1899, 12, 30);
    serial = static_cast<double>(DaysFromCivil(year, month, day) - epoch);
    if (type == FREEXL_CELL_DATETIME &&
        std::sscanf(text, "%*d-%*d-%*d %d:%d:%d", &hour, &minute, &second) != 3) {
      return Cell::Text(text);
    }
  } else if (std::sscanf(text, "%d:%d:%d", &hour, &minute, &second) != 3) {
    return Cell::Text(text);
  }
  serial += (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return Cell::Number(serial);
}

Cell ToCell(const FreeXL_CellValue& value, bool epoch1904) {
  switch (value.type) {
    case FREEXL_CELL_INT:
      return Cell::Number(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
      return Cell::Number(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
      if (value.value.text_value == nullptr || value.value.text_value[0] == '\0') return Cell();
      return Cell::Text(value.value.text_value);
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
      if (value.value.text_value == nullptr) return Cell();
      return DateTimeCell(value.type, value.value.text_value, epoch1904);
    default:
      return Cell();
  }
}

}  // namespace

Status ReadXlsWorkbook(const std::string& path, Sheet& sheet) {
  sheet.Clear();
  FreexlHandle workbook;
  int code = freexl_open(path.c_str(), workbook.out());
  if (code != FREEXL_OK) return ReadError(path, DescribeFreexlError(code));

  unsigned info = 0;
  if (freexl_get_info(workbook.get(), FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
      info == FREEXL_BIFF_OBFUSCATED) {
    return ReadError(path, "the workbook is protected by a password.");
  }
  unsigned sheetCount = 0;
  code = freexl_get_info(workbook.get(), FREEXL_BIFF_SHEET_COUNT, &sheetCount);
  if (code != FREEXL_OK) return ReadError(path, DescribeFreexlError(code));
  if (sheetCount == 0) return ReadError(path, "the workbook has no worksheet.");
  bool epoch1904 = freexl_get_info(workbook.get(), FREEXL_BIFF_DATEMODE, &info) == FREEXL_OK &&
                   info == FREEXL_BIFF_DATEMODE_1904;

  code = freexl_select_active_worksheet(workbook.get(), 0);
  if (code != FREEXL_OK) return ReadError(path, DescribeFreexlError(code));
  const char* name = nullptr;
  if (freexl_get_worksheet_name(workbook.get(), 0, &name) != FREEXL_OK) name = nullptr;
  unsigned rows = 0;
  unsigned short columns = 0;
  code = freexl_worksheet_dimensions(workbook.get(), &rows, &columns);
  if (code != FREEXL_OK) return ReadError(path, DescribeFreexlError(code));

  // FreeXL's documentation is unclear whether the dimensions are counts or
  // last indexes; one row and column more is asked for, and the library
  // refuses cells beyond the sheet.
  for (unsigned r = 0; r <= rows; ++r) {
    for (unsigned c = 0; c <= columns && c < 65536; ++c) {
      FreeXL_CellValue value;
      code = freexl_get_cell_value(workbook.get(), r, static_cast<unsigned short>(c), &value);
      if (code == FREEXL_ILLEGAL_CELL_ROW_COL) continue;
      if (code != FREEXL_OK) {
        sheet.Clear();
        return ReadError(path, DescribeFreexlError(code));
      }
      Cell cell = ToCell(value, epoch1904);
      if (!cell.empty()) sheet.set(static_cast<int>(r) + 1, static_cast<int>(c) + 1, cell);
    }
  }
  if (name != nullptr) sheet.setName(name);
  return Status::Ok();
}

}  // namespace vireltan
