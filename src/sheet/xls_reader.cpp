// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/xls_reader.h"

#include <freexl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sheet/isolated_reader.h"
#include "sheet/sheet_assembler.h"

namespace vireltan {

namespace {

constexpr unsigned kMaxRows = 65536;
constexpr unsigned kMaxColumns = 256;

Status ReadError(const std::string& path, const std::string& reason) {
  return Status::Error("Cannot read \"" + path + "\": " + reason);
}

// FreeXL's error codes in words. Most mean a damaged file; the text says
// which part of it is at fault, as far as the library tells.
std::string DescribeFreexlError(int code) {
  switch (code) {
    case FREEXL_FILE_NOT_FOUND:
      return "the file cannot be opened.";
    case FREEXL_INSUFFICIENT_MEMORY:
      return "there is not enough memory to read it.";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
      return "it is not a legacy xls workbook (its compound-file header is not valid).";
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
      return "the file is shorter than its own header says (it is truncated or damaged).";
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
    case FREEXL_CFBF_EMPTY_FAT_CHAIN:
    case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
    case FREEXL_INVALID_MINI_STREAM:
    case FREEXL_CFBF_ILLEGAL_MINI_FAT_ENTRY:
      return "the compound file that holds the workbook is damaged (its allocation table is "
             "not valid).";
    case FREEXL_BIFF_INVALID_BOF:
      return "the workbook stream is damaged (it does not start as a workbook should).";
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX:
      return "the workbook's table of texts is damaged.";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      return "it is an OLE2 compound file but holds no xls workbook.";
    case FREEXL_BIFF_ILLEGAL_SHEET_INDEX:
    case FREEXL_BIFF_UNSELECTED_SHEET:
      return "its first worksheet cannot be found.";
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
      return "its texts use a character set that cannot be converted.";
    case FREEXL_ILLEGAL_RK_VALUE:
      return "a number stored in it is damaged.";
    case FREEXL_CRAFTED_FILE:
      return "the workbook is severely damaged or deliberately malformed.";
    default:
      return "the xls workbook is damaged or in a form that cannot be read.";
  }
}

// FreeXL passes the name length of each compound-file directory entry to
// the character conversion unchecked, reading far past its buffer when a
// damaged file gives a length above the 64 bytes a name field has. The
// entries FreeXL looks at (those of the first directory sector) are
// checked here first, with the library's own reading
// of the header: sector size from the shift at byte 30, first directory
// sector at byte 48, sector n at byte (n + 1) x size.
bool DirectoryNamesFit(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string header(512, '\0');
  if (!in.read(header.data(), 512)) return true;  // FreeXL refuses it itself
  auto u16 = [](const std::string& b, size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(b[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
  };
  unsigned shift = u16(header, 30);
  if (shift != 9 && shift != 12) return true;
  const std::uint64_t sectorSize = std::uint64_t{1} << shift;
  std::uint32_t start = u16(header, 48) | static_cast<std::uint32_t>(u16(header, 50)) << 16;
  // FreeXL computes the offset in 32 bits (unsigned), as here.
  std::uint32_t where = (start + 1u) * static_cast<std::uint32_t>(sectorSize);
  std::string block(sectorSize, '\0');
  in.seekg(static_cast<std::streamoff>(where));
  if (!in || !in.read(block.data(), static_cast<std::streamsize>(sectorSize))) return true;
  constexpr size_t kEntrySize = 128;
  constexpr unsigned kNameBytes = 64;
  // Every entry of the sector is checked: FreeXL's search for the workbook
  // may run through all of them, and honest files never hold such names.
  for (size_t entry = 0; entry < sectorSize / kEntrySize; ++entry) {
    if (u16(block, entry * kEntrySize + kNameBytes) > kNameBytes) return false;
  }
  return true;
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
    // Numeric cells have no text of their own: where one names a unit,
    // CellText gives its shortest round-trip decimal form.
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

// The reading itself, run in a child process (see ReadXlsWorkbook).
Status ReadWithFreexl(const std::string& path, Sheet& sheet, std::vector<std::string>* warnings) {
  sheet.Clear();
  std::error_code ec;
  std::uintmax_t fileSize = std::filesystem::file_size(path, ec);
  SheetAssembler cells(CompressedWorkbookByteLimit(ec ? 0 : static_cast<std::size_t>(fileSize)));
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
  // A legacy worksheet has at most 65,536 rows of 256 columns: larger
  // dimensions come from a damaged file and would only cost time.
  // FreeXL has no way to list only the cells present, so every position
  // of the claimed grid is asked for. A file claiming far more than its
  // size can hold (each cell takes at least 6 bytes) is read up to a budget
  // of positions, the rest ignored with a warning.
  const std::uint64_t budget = 65536 + 16 * static_cast<std::uint64_t>(ec ? 0 : fileSize);
  const std::uint64_t width = std::min<std::uint64_t>(columns + 1u, kMaxColumns);
  for (unsigned r = 0; r <= rows && r < kMaxRows; ++r) {
    if ((r + 1) * width > budget) {
      if (warnings != nullptr)
        warnings->push_back("!!\"" + path + "\": the workbook claims " + std::to_string(rows) +
                            " rows, far more than its size holds; rows from " +
                            std::to_string(r + 1) + " on are ignored.");
      break;
    }
    for (unsigned c = 0; c <= columns && c < kMaxColumns; ++c) {
      FreeXL_CellValue value;
      code = freexl_get_cell_value(workbook.get(), r, static_cast<unsigned short>(c), &value);
      if (code == FREEXL_ILLEGAL_CELL_ROW_COL) continue;
      if (code != FREEXL_OK) return ReadError(path, DescribeFreexlError(code));
      // Texts of the shared table may be repeated in every cell: the
      // assembler's limit keeps that from exhausting memory.
      if (!cells.Add(static_cast<int>(r) + 1, static_cast<int>(c) + 1, ToCell(value, epoch1904)))
        return ReadError(path, TooManyCellsReason());
    }
  }
  cells.Finish(sheet, path, warnings);
  if (name != nullptr) sheet.setName(name);
  return Status::Ok();
}

}  // namespace

Status ReadXlsWorkbook(const std::string& path, Sheet& sheet, std::vector<std::string>* warnings) {
  sheet.Clear();
  if (!DirectoryNamesFit(path))
    return ReadError(path,
                     "the compound file that holds the workbook is damaged (a name in its "
                     "directory is longer than a name can be).");
  // FreeXL allocates its whole cell grid from the dimensions the file
  // claims (up to 65,536 x 256 cells); beyond 2 GB the child fails cleanly.
  IsolationLimits limits;
  limits.addressSpace = std::size_t{2} << 30;
#if defined(__SANITIZE_ADDRESS__)
  limits.addressSpace = 0;  // the sanitizer's shadow memory needs terabytes of address space
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  limits.addressSpace = 0;
#endif
#endif
  return ReadInChildProcess(
      [&](Sheet& childSheet, std::vector<std::string>& childWarnings) {
        return ReadWithFreexl(path, childSheet, &childWarnings);
      },
      path, "legacy xls workbook", limits, sheet, warnings);
}

}  // namespace vireltan
