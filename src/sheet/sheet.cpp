// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/sheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "sheet/table_file.h"

namespace vireltan {

namespace {
const Cell kEmptyCell;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
}  // namespace

std::optional<double> ParseDecimal(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  if (begin < end && text[begin] == '+') {
    ++begin;
    if (begin < end && (text[begin] == '+' || text[begin] == '-')) return std::nullopt;
  }
  if (begin == end) return std::nullopt;
  // Plain decimal notation with "." whatever the user's locale (strtod
  // would follow it); from_chars also refuses "inf", "nan" and hexadecimal.
  const char* first = text.data() + begin;
  const char* last = text.data() + end;
  for (const char* c = first; c < last; ++c) {
    bool allowed =
        (*c >= '0' && *c <= '9') || *c == '.' || *c == '-' || *c == '+' || *c == 'e' || *c == 'E';
    if (!allowed) return std::nullopt;
  }
  double value = 0;
  auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ptr != last) return std::nullopt;
  if (result.ec == std::errc::result_out_of_range) {
    // Only overflow is refused; a value too small for a double reads as 0.
    bool tiny = false;
    for (const char* c = first; c < last; ++c)
      if ((*c == 'e' || *c == 'E') && c + 1 < last && c[1] == '-') tiny = true;
    if (!tiny) return std::nullopt;
    value = 0.0;
  } else if (result.ec != std::errc()) {
    return std::nullopt;
  }
  return value;
}

const Cell& Sheet::at(int row, int col) const {
  if (row < 1 || col < 1 || row > static_cast<int>(rows_.size())) return kEmptyCell;
  const auto& cells = rows_[row - 1];
  if (col > static_cast<int>(cells.size())) return kEmptyCell;
  return cells[col - 1];
}

void Sheet::set(int row, int col, Cell cell) {
  if (row < 1 || col < 1) return;
  if (cell.empty()) {
    if (row > static_cast<int>(rows_.size())) return;
    auto& cells = rows_[row - 1];
    if (col > static_cast<int>(cells.size())) return;
    cells[col - 1] = Cell();
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    while (!rows_.empty() && rows_.back().empty()) rows_.pop_back();
    return;
  }
  if (row > static_cast<int>(rows_.size())) rows_.resize(row);
  auto& cells = rows_[row - 1];
  if (col > static_cast<int>(cells.size())) cells.resize(col);
  cells[col - 1] = std::move(cell);
}

double Sheet::NumberAt(int row, int col) const {
  const Cell& cell = at(row, col);
  if (cell.isNumber()) return cell.number();
  if (cell.isText()) return ParseDecimal(cell.text()).value_or(0.0);
  return 0.0;
}

void Sheet::SetNumberAt(int row, int col, double value) {
  set(row, col, Cell::Number(value));
}

Cell Cell::NumberFromText(double value, std::string sourceText) {
  Cell c = Number(value);
  // Plain whole numbers ("120124", the bulk of a genotype table) are their
  // own shortest form: no need to format them to find out.
  const bool plainWhole = !sourceText.empty() && sourceText.size() <= 15 &&
                          (sourceText[0] != '0' || sourceText.size() == 1) &&
                          sourceText.find_first_not_of("0123456789") == std::string::npos;
  if (!plainWhole && sourceText != FormatNumber(value)) c.text_ = std::move(sourceText);
  return c;
}

std::string CellText(const Cell& cell) {
  if (cell.isText() || cell.hasSourceText()) return cell.text();
  if (cell.isNumber()) return FormatNumber(cell.number());
  return "";
}

std::string Sheet::TextAt(int row, int col) const {
  return CellText(at(row, col));
}

void Sheet::SetTextAt(int row, int col, std::string text) {
  set(row, col, Cell::Text(std::move(text)));
}

int Sheet::LastRow() const {
  return static_cast<int>(rows_.size());
}

int Sheet::LastCol() const {
  size_t widest = 0;
  for (const auto& cells : rows_) widest = std::max(widest, cells.size());
  return static_cast<int>(widest);
}

void Sheet::DeleteRows(int firstRow, int lastRow) {
  int used = LastRow();
  firstRow = std::max(firstRow, 1);
  lastRow = std::min(lastRow, used);
  if (firstRow > lastRow) return;
  rows_.erase(rows_.begin() + (firstRow - 1), rows_.begin() + lastRow);
  while (!rows_.empty() && rows_.back().empty()) rows_.pop_back();
}

void Sheet::DeleteColumns(int firstCol, int lastCol) {
  firstCol = std::max(firstCol, 1);
  if (firstCol > lastCol) return;
  for (auto& cells : rows_) {
    int size = static_cast<int>(cells.size());
    if (firstCol > size) continue;
    int stop = std::min(lastCol, size);
    cells.erase(cells.begin() + (firstCol - 1), cells.begin() + stop);
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
  }
  if (firstCol <= static_cast<int>(headings_.size())) {
    int stop = std::min(lastCol, static_cast<int>(headings_.size()));
    headings_.erase(headings_.begin() + (firstCol - 1), headings_.begin() + stop);
  }
  while (!rows_.empty() && rows_.back().empty()) rows_.pop_back();
}

void Sheet::InsertRows(int beforeRow, int count) {
  if (count <= 0 || beforeRow < 1 || beforeRow > LastRow()) return;
  rows_.insert(rows_.begin() + (beforeRow - 1), count, std::vector<Cell>());
}

void Sheet::InsertColumns(int beforeCol, int count) {
  if (count <= 0 || beforeCol < 1) return;
  for (auto& cells : rows_) {
    if (beforeCol > static_cast<int>(cells.size())) continue;
    cells.insert(cells.begin() + (beforeCol - 1), count, Cell());
  }
  if (beforeCol <= static_cast<int>(headings_.size()))
    headings_.insert(headings_.begin() + (beforeCol - 1), count, std::string());
}

void Sheet::Clear() {
  rows_.clear();
  headings_.clear();
}

namespace {
// Numbers < texts < empty; numbers by value, texts by bytes.
int CompareCells(const Cell& a, const Cell& b) {
  auto rank = [](const Cell& c) { return c.isNumber() ? 0 : (c.isText() ? 1 : 2); };
  int ra = rank(a);
  int rb = rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (a.isNumber()) {
    // NaN after every number, so that the order stays a strict weak one.
    bool na = std::isnan(a.number()), nb = std::isnan(b.number());
    if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
    return a.number() < b.number() ? -1 : (b.number() < a.number() ? 1 : 0);
  }
  if (a.isText()) return a.text().compare(b.text()) < 0 ? -1 : (a.text() == b.text() ? 0 : 1);
  return 0;
}
}  // namespace

void Sheet::SortRows(int r1, int r2, const std::vector<int>& keyColumns) {
  r1 = std::max(r1, 1);
  r2 = std::min(r2, LastRow());
  if (r2 - r1 < 1) return;
  auto first = rows_.begin() + (r1 - 1);
  auto last = rows_.begin() + r2;
  std::stable_sort(first, last, [&](const std::vector<Cell>& a, const std::vector<Cell>& b) {
    for (int key : keyColumns) {
      const Cell& ca = key <= static_cast<int>(a.size()) ? a[key - 1] : kEmptyCell;
      const Cell& cb = key <= static_cast<int>(b.size()) ? b[key - 1] : kEmptyCell;
      int c = CompareCells(ca, cb);
      if (c != 0) return c < 0;
    }
    return false;
  });
  while (!rows_.empty() && rows_.back().empty()) rows_.pop_back();
}

void Sheet::MoveBlockIn(Sheet&& source, int dr) {
  if (dr <= LastRow() || dr < 1) {
    CopyBlock(source, 1, 1, source.LastRow(), source.LastCol(), dr, 1);
    return;
  }
  if (source.rows_.empty()) return;
  rows_.resize(static_cast<std::size_t>(dr) - 1 + source.rows_.size());
  std::move(source.rows_.begin(), source.rows_.end(), rows_.begin() + (dr - 1));
  source.rows_.clear();
}

void Sheet::CopyBlock(const Sheet& source, int sr1, int sc1, int sr2, int sc2, int dr, int dc) {
  if (sr2 < sr1 || sc2 < sc1) return;
  // Copy through a buffer so that overlapping blocks of one sheet work. The
  // buffer holds only what the source rows store, not the whole rectangle:
  // a block as wide as one stray cell would otherwise cost rows x width.
  // Rows and columns beyond what either sheet stores are empty on both
  // sides and need no copying.
  sr2 = std::min(sr2, sr1 + std::max(source.LastRow(), LastRow() - dr + 1));
  std::vector<std::vector<Cell>> block;
  for (int r = sr1; r <= sr2; ++r) {
    block.emplace_back();
    if (r < 1 || r > source.LastRow()) continue;
    const auto& cells = source.rows_[r - 1];
    int stop = std::min(sc2, static_cast<int>(cells.size()));
    for (int c = sc1; c <= stop; ++c) block.back().push_back(source.at(r, c));
  }
  for (int r = 0; r < static_cast<int>(block.size()); ++r) {
    int row = dr + r;
    int width = static_cast<int>(block[r].size());
    for (int c = 0; c < width; ++c) set(row, dc + c, block[r][c]);
    // Cells of the destination that the empty part of the block covers.
    if (row < 1 || row > LastRow()) continue;
    int stored = static_cast<int>(rows_[row - 1].size());
    for (int c = std::max(dc + width, 1); c <= std::min(dc + (sc2 - sc1), stored); ++c)
      set(row, c, Cell());
  }
}

std::string Sheet::ColumnHeading(int col) const {
  if (col < 1 || col > static_cast<int>(headings_.size())) return "";
  return headings_[col - 1];
}

void Sheet::SetColumnHeading(int col, std::string text) {
  if (col < 1) return;
  if (col > static_cast<int>(headings_.size())) headings_.resize(col);
  headings_[col - 1] = std::move(text);
}

}  // namespace vireltan
