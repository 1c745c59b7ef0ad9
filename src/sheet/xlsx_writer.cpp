// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/xlsx_writer.h"

#include <xlsxwriter.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <set>

#include "sheet/atomic_file.h"
#include "sheet/zip_xml.h"

namespace vireltan {

namespace {

constexpr size_t kMaxSheetNameChars = 31;

// Failures of the device or its limits, which the system's error number
// names better than the library's text.
bool IsDiskError(int error) {
#ifdef EDQUOT
  if (error == EDQUOT) return true;
#endif
  return error == ENOSPC || error == EFBIG || error == EIO;
}

// Ignores what it is fed: parsing is the check.
class NoXmlHandler : public XmlHandler {
 public:
  void StartElement(std::string_view, const char**) override {}
  void EndElement(std::string_view) override {}
  void CharacterData(std::string_view) override {}
};

// Whether the workbook at `path` opens as a zip archive whose shared
// strings and `sheets` worksheets parse as whole XML documents.
bool ReadsBackWhole(const std::string& path, int sheets) {
  ZipArchive archive;
  if (!archive.Open(path).ok()) return false;
  NoXmlHandler handler;
  for (int i = 1; i <= sheets; ++i) {
    const std::string part = "xl/worksheets/sheet" + std::to_string(i) + ".xml";
    if (!archive.Contains(part) || !archive.ParseXml(part, handler).ok()) return false;
  }
  return !archive.Contains("xl/sharedStrings.xml") ||
         archive.ParseXml("xl/sharedStrings.xml", handler).ok();
}

Status WriteError(const std::string& path, const std::string& reason) {
  return Status::Error("Cannot write \"" + path + "\": " + reason);
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The first `count` characters (not bytes) of UTF-8 text.
std::string FirstChars(const std::string& text, size_t count) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsContinuationByte(text[i]) && chars++ == count) return text.substr(0, i);
  }
  return text;
}

std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

std::string AllowedSheetName(const std::string& name, int index) {
  std::string cleaned;
  for (char c : name)
    cleaned += std::string_view("[]:*?/\\").find(c) == std::string_view::npos ? c : '_';
  cleaned = FirstChars(cleaned, kMaxSheetNameChars);
  if (!cleaned.empty() && cleaned.front() == '\'') cleaned.front() = '_';
  if (!cleaned.empty() && cleaned.back() == '\'') cleaned.back() = '_';
  if (cleaned.empty()) cleaned = "Sheet" + std::to_string(index);
  return cleaned;
}

Status WriteSheet(lxw_worksheet* worksheet, const Sheet& sheet, const std::string& sheetName,
                  const std::string& path) {
  if (sheet.LastRow() > LXW_ROW_MAX || sheet.LastCol() > LXW_COL_MAX) {
    return WriteError(path, "the sheet \"" + sheetName + "\" is too large for an xlsx workbook.");
  }
  const auto& rows = sheet.rows();
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const Cell& cell = rows[r][c];
      lxw_error error = LXW_NO_ERROR;
      auto row = static_cast<lxw_row_t>(r);
      auto col = static_cast<lxw_col_t>(c);
      // A number read as "007" or "2236.10" would lose its text as a
      // numeric cell: it is written as the text it was read from.
      if (cell.isNumber() && std::isfinite(cell.number()) && !cell.hasSourceText()) {
        error = worksheet_write_number(worksheet, row, col, cell.number(), nullptr);
      } else if ((cell.isText() || cell.hasSourceText()) && !cell.text().empty()) {
        error = worksheet_write_string(worksheet, row, col, cell.text().c_str(), nullptr);
      }
      if (error != LXW_NO_ERROR) {
        return WriteError(path, "cell (" + std::to_string(r + 1) + ", " + std::to_string(c + 1) +
                                    ") of sheet \"" + sheetName + "\": " + lxw_strerror(error) +
                                    ".");
      }
    }
  }
  return Status::Ok();
}

}  // namespace

std::vector<std::string> XlsxSheetNames(const Book& book) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (int i = 1; i <= book.NumSheets(); ++i) {
    std::string base = AllowedSheetName(book.SheetName(i), i);
    std::string name = base;
    for (int n = 2; taken.count(FoldCase(name)) > 0; ++n) {
      std::string suffix = " (" + std::to_string(n) + ")";
      name = FirstChars(base, kMaxSheetNameChars - suffix.size()) + suffix;
    }
    taken.insert(FoldCase(name));
    names.push_back(name);
  }
  return names;
}

Status WriteXlsxWorkbook(const Book& book, const std::string& path) {
  return ReplaceFileAtomically(path, [&](const std::string& tempPath) {
    lxw_workbook* workbook = workbook_new(tempPath.c_str());
    if (workbook == nullptr) return WriteError(path, "the workbook could not be started.");
    Status status;
    std::vector<std::string> names = XlsxSheetNames(book);
    for (int i = 1; i <= book.NumSheets() && status.ok(); ++i) {
      const std::string& name = names[i - 1];
      lxw_worksheet* worksheet = workbook_add_worksheet(workbook, name.c_str());
      if (worksheet == nullptr) {
        status = WriteError(path, "the sheet name \"" + name + "\" is refused.");
      } else {
        status = WriteSheet(worksheet, book.sheet(i), name, path);
      }
    }
    // Closing also frees the workbook, so it happens even after an error
    // (the temporary file is then thrown away).
    errno = 0;
    lxw_error closed = workbook_close(workbook);
    if (status.ok() && closed != LXW_NO_ERROR) {
      // The library's own text does not tell a full disk (or quota, or a
      // file size limit, or a failing device) from other failures; the
      // system's error number does.
      const int error = errno;
      status = WriteError(path, IsDiskError(error) ? WriteFailureReason(error)
                                                   : std::string(lxw_strerror(closed)) + ".");
    } else if (status.ok()) {
      // The library may report success when a write of its zip archive
      // failed (a full disk, a file size limit): a whole archive ends
      // with its directory, which a cut one lacks.
      // The library may also write its parts through temporary files
      // whose failed writes it does not notice: every part it wrote must
      // read back as whole XML.
      const int error = errno;
      if (!ReadsBackWhole(tempPath, book.NumSheets()))
        status =
            WriteError(path, IsDiskError(error)
                                 ? WriteFailureReason(error)
                                 : "the workbook file came out incomplete (is the disk full?).");
    }
    return status;
  });
}

}  // namespace vireltan
