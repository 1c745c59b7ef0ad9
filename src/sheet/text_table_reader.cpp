// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/text_table_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <vector>

#include "sheet/sheet_assembler.h"
#include "sheet/text_encoding.h"

namespace vireltan {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// How many records the separator guess looks at: enough to see past a
// header row that is wider or narrower than the data rows.
constexpr int kRecordsForDetection = 50;

Status ReadError(const std::string& sourceName, const std::string& reason) {
  return Status::Error("Cannot read \"" + sourceName + "\": " + reason);
}

std::string_view WithoutBom(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  return text;
}

// Splits text into records of fields: separators and line ends (LF, CRLF or
// a lone CR) end fields and records, except inside double quotes, where a
// doubled quote stands for one quote character.
class RecordReader {
 public:
  enum class Result { kRecord, kEnd, kOpenQuote };

  RecordReader(std::string_view text, char separator) : text_(text), separator_(separator) {}

  // Only the non-empty fields are kept, with their 1-based column, so that
  // a line of a million separators costs nothing but its count.
  struct Record {
    int width = 0;  // number of fields, empty ones included
    std::vector<std::pair<int, std::string>> cells;
  };

  Result Next(Record& record) {
    record.width = 0;
    record.cells.clear();
    if (pos_ >= text_.size()) return Result::kEnd;
    std::string field;
    bool isQuoted = false;
    auto finishField = [&] {
      ++record.width;
      if (!field.empty()) record.cells.emplace_back(record.width, std::move(field));
      field.clear();
      isQuoted = false;
    };
    while (true) {
      if (pos_ >= text_.size()) {
        finishField();
        return Result::kRecord;
      }
      char c = text_[pos_];
      if (c == separator_) {
        ++pos_;
        finishField();
      } else if (c == '\n' || c == '\r') {
        SkipLineEnd();
        finishField();
        return Result::kRecord;
      } else if (c == '"' && field.empty() && !isQuoted) {
        isQuoted = true;
        if (!ReadQuoted(field)) return Result::kOpenQuote;
      } else {
        // Text after a closing quote, or a quote inside an unquoted cell,
        // is kept as it stands.
        field += c;
        ++pos_;
      }
    }
  }

  int openQuoteLine() const { return openQuoteLine_; }

 private:
  void SkipLineEnd() {
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
  }

  // Reads a quoted cell from its opening quote; line ends inside become "\n".
  bool ReadQuoted(std::string& field) {
    openQuoteLine_ = line_;
    ++pos_;
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '"') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
          field += '"';
          pos_ += 2;
          continue;
        }
        ++pos_;
        return true;
      }
      if (c == '\n' || c == '\r') {
        SkipLineEnd();
        field += '\n';
        continue;
      }
      field += c;
      ++pos_;
    }
    return false;
  }

  std::string_view text_;
  char separator_;
  size_t pos_ = 0;
  int line_ = 1;
  int openQuoteLine_ = 0;
};

struct SeparatorScore {
  int linesSplit = 0;   // records the separator splits into several cells
  int commonWidth = 0;  // records sharing the most frequent cell count
  int preference = 0;   // on a tie, semicolon before comma

  auto operator<=>(const SeparatorScore&) const = default;
};

struct SeparatorCount {
  SeparatorScore score;
  int linesWithText = 0;  // non-empty records looked at
};

SeparatorCount CountSeparator(std::string_view text, char separator, int preference) {
  SeparatorCount count;
  count.score.preference = preference;
  RecordReader reader(text, separator);
  RecordReader::Record record;
  std::map<int, int> widths;
  for (int i = 0; i < kRecordsForDetection; ++i) {
    if (reader.Next(record) != RecordReader::Result::kRecord) break;
    if (record.width > 1 || !record.cells.empty()) ++count.linesWithText;
    if (record.width > 1) {
      ++count.score.linesSplit;
      ++widths[record.width];
    }
  }
  for (const auto& [width, n] : widths) {
    count.score.commonWidth = std::max(count.score.commonWidth, n);
  }
  return count;
}

Cell ToCell(std::string&& field) {
  if (field.empty()) return Cell();
  // The number keeps its bytes when they differ from its shortest form:
  // "2236.10", "007" and "1e3" are names in a designation column.
  if (auto number = ParseDecimal(field)) return Cell::NumberFromText(*number, std::move(field));
  return Cell::Text(std::move(field));
}

}  // namespace

char DetectSeparator(std::string_view content) {
  content = WithoutBom(content);
  // Our own tables are tab-separated, and a tab hardly ever sits inside a
  // cell, while commas do (in names, in notes): a tab that splits at least
  // half the lines settles it, however ragged the rows.
  SeparatorCount tab = CountSeparator(content, '\t', 3);
  if (tab.score.linesSplit > 0 && 2 * tab.score.linesSplit >= tab.linesWithText) return '\t';
  // A semicolon-separated table usually comes from a locale whose decimal
  // mark is the comma, so on a tie the semicolon is the better guess.
  SeparatorScore semicolon = CountSeparator(content, ';', 2).score;
  SeparatorScore comma = CountSeparator(content, ',', 1).score;
  SeparatorScore best = std::max({tab.score, semicolon, comma});
  if (best.linesSplit == 0 || best == tab.score) return '\t';
  return best == semicolon ? ';' : ',';
}

Status ParseTextTable(std::string_view content, const std::string& sourceName, Sheet& sheet,
                      std::vector<std::string>* warnings) {
  sheet.Clear();
  std::string text;
  Status encoding = DecodeText(content, sourceName, text);
  if (!encoding.ok()) return encoding;

  RecordReader reader(text, DetectSeparator(text));
  RecordReader::Record record;
  SheetAssembler cells;
  int row = 0;
  while (true) {
    RecordReader::Result result = reader.Next(record);
    if (result == RecordReader::Result::kEnd) break;
    if (result == RecordReader::Result::kOpenQuote) {
      sheet.Clear();
      return ReadError(sourceName, "the quoted cell that starts on line " +
                                       std::to_string(reader.openQuoteLine()) +
                                       " is never closed.");
    }
    if (row == std::numeric_limits<int>::max()) {
      return ReadError(sourceName, "it has more lines than a table can hold.");
    }
    ++row;
    // Quoted and unquoted cells convert alike, as spreadsheets do: "12" is
    // the number 12. Empty rows keep their place; trailing ones vanish
    // because the sheet stores nothing for them.
    for (auto& [col, field] : record.cells) cells.Add(row, col, ToCell(std::move(field)));
  }
  cells.Finish(sheet, sourceName, warnings);
  return Status::Ok();
}

Status ReadTextTable(const std::string& path, Sheet& sheet, std::vector<std::string>* warnings) {
  sheet.Clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return ReadError(path, std::string(std::strerror(errno)) + ".");
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return ReadError(path, "the file could not be read to its end.");
  return ParseTextTable(content, path, sheet, warnings);
}

}  // namespace vireltan
