// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/xlsx_reader.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/message_quote.h"
#include "sheet/sheet_assembler.h"
#include "sheet/xlsx_package.h"
#include "sheet/zip_xml.h"

namespace vireltan {

namespace {

// Limits of the format; references beyond them mean a damaged file.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// A workbook cell holds at most 32,767 characters (of up to 4 bytes each).
constexpr std::size_t kMaxCellTextBytes = 4 * 32767;

Status ReadError(const std::string& path, const std::string& reason) {
  return Status::Error("Cannot read \"" + path + "\": " + reason);
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Spreadsheet text escapes characters XML cannot carry as "_xHHHH_" (a
// literal "_x" sequence is itself written "_x005F_x...").
std::string DecodeEscapes(const std::string& text) {
  if (text.find("_x") == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned code = 0;
    if (text.compare(i, 2, "_x") == 0 && i + 7 <= text.size() && text[i + 6] == '_') {
      auto result = std::from_chars(text.data() + i + 2, text.data() + i + 6, code, 16);
      bool surrogate = code >= 0xD800 && code <= 0xDFFF;
      if (result.ec == std::errc() && result.ptr == text.data() + i + 6 && !surrogate) {
        AppendUtf8(out, code);
        i += 7;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

// "AB12" -> column 28, row 12. False unless the reference is well formed.
bool ParseCellReference(std::string_view ref, int& row, int& col) {
  size_t i = 0;
  col = 0;
  while (i < ref.size() && i < 3 && std::isalpha(static_cast<unsigned char>(ref[i]))) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(ref[i])) - 'A' + 1);
    ++i;
  }
  if (i == 0 || i == ref.size()) return false;
  auto result = std::from_chars(ref.data() + i, ref.data() + ref.size(), row);
  if (result.ec != std::errc() || result.ptr != ref.data() + ref.size()) return false;
  return row >= 1 && row <= kMaxRows && col >= 1 && col <= kMaxColumns;
}

std::string ColumnLetters(int col) {
  std::string letters;
  for (; col > 0; col = (col - 1) / 26) letters.insert(letters.begin(), 'A' + (col - 1) % 26);
  return letters;
}

// Collects the text of a string item: its <t>, or the <t> of each rich-text
// run <r>, leaving out phonetic guides <rPh>.
class StringItemText {
 public:
  void Start(std::string_view name) {
    if (name == "rPh") ++phoneticDepth_;
    if (name == "t" && phoneticDepth_ == 0) inText_ = true;
  }
  void End(std::string_view name) {
    if (name == "rPh") --phoneticDepth_;
    if (name == "t") inText_ = false;
  }
  // Text beyond what a cell can hold is dropped, so that a hostile item
  // cannot grow without bound.
  void Text(std::string_view text) {
    if (inText_ && text_.size() <= kMaxCellTextBytes) text_ += text;
  }
  std::string Take() {
    std::string decoded = DecodeEscapes(text_);
    text_.clear();
    inText_ = false;
    phoneticDepth_ = 0;
    return decoded;
  }

 private:
  std::string text_;
  bool inText_ = false;
  int phoneticDepth_ = 0;
};

class SharedStringsHandler : public XmlHandler {
 public:
  SharedStringsHandler(std::vector<std::string>& strings, std::size_t byteLimit)
      : strings_(strings), byteLimit_(byteLimit) {}
  bool overLimit = false;

  void StartElement(std::string_view name, const char**) override {
    if (name == "si") inItem_ = true;
    if (inItem_) item_.Start(name);
  }
  void EndElement(std::string_view name) override {
    if (!inItem_) return;
    item_.End(name);
    if (name == "si") {
      if (overLimit) return;
      strings_.push_back(item_.Take());
      bytes_ += sizeof(std::string) + strings_.back().capacity();
      if (bytes_ > byteLimit_) {
        overLimit = true;
        strings_.clear();
      }
      inItem_ = false;
    }
  }
  void CharacterData(std::string_view text) override {
    if (inItem_ && !overLimit) item_.Text(text);
  }

 private:
  std::vector<std::string>& strings_;
  std::size_t byteLimit_;
  std::size_t bytes_ = 0;
  StringItemText item_;
  bool inItem_ = false;
};

class WorksheetHandler : public XmlHandler {
 public:
  WorksheetHandler(const std::vector<std::string>& sharedStrings, SheetAssembler& cells)
      : sharedStrings_(sharedStrings), cells_(cells) {}

  void StartElement(std::string_view name, const char** attributes) override {
    if (!error.empty()) return;
    if (inCell_) {
      if (name == "v") {
        inValue_ = true;
        hasValue_ = true;
      } else if (name == "is") {
        inInline_ = true;
      } else if (inInline_) {
        inline_.Start(name);
      }
      return;
    }
    if (name == "row") {
      // Rows and cells may leave out their position; they then follow the
      // previous one.
      const char* r = FindAttribute(attributes, "r");
      // from_chars, unlike atoi, reports numbers too large for an int.
      int row = row_ + 1;
      if (r != nullptr) {
        std::string_view text(r);
        auto parsed = std::from_chars(text.data(), text.data() + text.size(), row);
        if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) row = 0;
      }
      if (row < 1 || row > kMaxRows) {
        error = "it holds a row numbered " + QuoteForMessage(r != nullptr ? r : "") + ".";
        return;
      }
      row_ = row;
      col_ = 0;
    } else if (name == "c") {
      const char* ref = FindAttribute(attributes, "r");
      int row = row_;
      int col = col_ + 1;
      if (ref != nullptr && !ParseCellReference(ref, row, col)) {
        error = "it holds a cell with the bad reference " + QuoteForMessage(ref) + ".";
        return;
      }
      if (row < 1) row = 1;
      if (col > kMaxColumns) {
        error = "row " + std::to_string(row) + " has too many cells.";
        return;
      }
      row_ = row;
      col_ = col;
      const char* type = FindAttribute(attributes, "t");
      type_ = type != nullptr ? type : "n";
      value_.clear();
      inCell_ = true;
      hasValue_ = false;
    }
  }

  void EndElement(std::string_view name) override {
    if (!error.empty() || !inCell_) return;
    if (name == "v") {
      inValue_ = false;
    } else if (name == "is") {
      inInline_ = false;
    } else if (name == "c") {
      StoreCell();
      inCell_ = false;
    } else if (inInline_) {
      inline_.End(name);
    }
  }

  void CharacterData(std::string_view text) override {
    if (!error.empty()) return;
    if (inValue_) value_ += text;
    if (inInline_) inline_.Text(text);
    // A single cell's text may not outgrow the budget of the whole sheet.
    if (value_.size() > kMaxCellTextBytes)
      error = "cell " + ColumnLetters(col_) + std::to_string(row_) + " (row " +
              std::to_string(row_) + ", column " + std::to_string(col_) +
              ") holds more text than a cell can (32,767 characters).";
  }

  std::string error;

 private:
  void StoreCell() {
    Cell cell;
    if (type_ == "inlineStr") {
      cell = TextCell(inline_.Take());
    } else if (!hasValue_) {
      return;
    } else if (type_ == "s") {
      size_t index = 0;
      auto result = std::from_chars(value_.data(), value_.data() + value_.size(), index);
      if (result.ec != std::errc() || index >= sharedStrings_.size()) {
        error = "cell " + ColumnLetters(col_) + std::to_string(row_) +
                " refers to a shared string that does not exist.";
        return;
      }
      cell = TextCell(sharedStrings_[index]);
    } else if (type_ == "str" || type_ == "e" || type_ == "d") {
      // A formula's text result, an error value such as "#N/A", or a date
      // written out as ISO text: all kept as the text shown.
      cell = TextCell(DecodeEscapes(value_));
    } else {
      // "n" and "b" (booleans are 0 and 1).
      cell = NumberCell(value_);
    }
    if (!cells_.Add(row_, col_, std::move(cell))) error = TooManyCellsReason();
  }

  static Cell TextCell(std::string text) {
    return text.empty() ? Cell() : Cell::Text(std::move(text));
  }

  // from_chars, unlike strtod, does not depend on the user's locale.
  static Cell NumberCell(const std::string& value) {
    size_t begin = value.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return Cell();
    size_t end = value.find_last_not_of(" \t\r\n") + 1;
    double number = 0.0;
    auto result = std::from_chars(value.data() + begin, value.data() + end, number);
    // A numeric cell has no text of its own (the workbook stores the
    // double): where it names something, CellText gives the shortest form
    // that reads back to the same number.
    if (result.ec == std::errc() && result.ptr == value.data() + end) return Cell::Number(number);
    return Cell::Text(value);
  }

  const std::vector<std::string>& sharedStrings_;
  SheetAssembler& cells_;
  int row_ = 0;
  int col_ = 0;
  bool inCell_ = false;
  bool inValue_ = false;
  bool inInline_ = false;
  bool hasValue_ = false;
  std::string type_;
  std::string value_;
  StringItemText inline_;
};

}  // namespace

Status ReadXlsxWorkbook(const std::string& path, Sheet& sheet, std::vector<std::string>* warnings) {
  sheet.Clear();
  std::error_code ec;
  std::uintmax_t fileSize = std::filesystem::file_size(path, ec);
  if (ec) fileSize = 0;
  const std::size_t byteLimit = CompressedWorkbookByteLimit(static_cast<std::size_t>(fileSize));
  ZipArchive archive;
  Status status = archive.Open(path);
  if (!status.ok()) return ReadError(path, status.message());

  XlsxParts parts;
  status = FindXlsxParts(archive, parts);
  if (!status.ok()) return ReadError(path, status.message());

  std::vector<std::string> sharedStrings;
  if (!parts.sharedStringsPart.empty()) {
    SharedStringsHandler handler(sharedStrings, byteLimit);
    status = archive.ParseXml(parts.sharedStringsPart, handler);
    if (status.ok() && handler.overLimit) status = Status::Error(TooManyCellsReason());
    if (!status.ok()) return ReadError(path, status.message());
  }

  SheetAssembler cells(byteLimit);
  WorksheetHandler handler(sharedStrings, cells);
  status = archive.ParseXml(parts.worksheetPart, handler, [&] { return !handler.error.empty(); });
  if (status.ok() && !handler.error.empty()) status = Status::Error(handler.error);
  if (!status.ok()) return ReadError(path, status.message());
  cells.Finish(sheet, path, warnings);
  sheet.setName(parts.worksheetName);
  return Status::Ok();
}

}  // namespace vireltan
