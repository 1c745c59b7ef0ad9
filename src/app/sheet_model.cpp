// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sheet_model.h"

#include <algorithm>
#include <cmath>

#include "sheet/table_file.h"

namespace vireltan::app {

namespace {

// Texts that results and data files keep as they always were (scripts read
// them) but that the window shows in plain, correctly spelt words.
const std::pair<const char*, const char*> kOnScreenWords[] = {
    {"individu", "individual"},
    {"Eveness ED*", "Evenness ED*"},
    {"EvenessV\u00b4H\u00b4\u00b4", "Evenness V(H\u2033)"},
    {"Shannon H\u00b4\u00b4", "Shannon H\u2033"},
    {"Hill\u00b4s", "Hill's"},
    {"ignoring Sdt Dev.", "ignoring SD"},
    {"SE Nballeles", "SE Nb alleles"},
};

// Four significant digits, large values (coordinates, distances in
// metres) whole rather than as 2.093e+04.
QString ShownNumber(double v) {
  if (std::fabs(v) >= 1e4 && std::fabs(v) < 1e15) return QString::number(v, 'f', 0);
  return QString::number(v, 'g', 4);
}

// A bound or value written as text with every digit ("<0.00714285714285714",
// ">= 0.95"), shown at four significant digits like the numbers. Texts
// without a decimal point or exponent (allele codes, names) stay as they
// are.
QString ShownBound(const QString& text) {
  qsizetype start = 0;
  while (start < text.size() && QStringLiteral("<>=\u2264\u2265 ").contains(text[start])) ++start;
  const QString digits = text.mid(start);
  if (digits.isEmpty() || digits.size() <= 6) return text;
  if (!digits.contains('.') && !digits.contains('e') && !digits.contains('E')) return text;
  bool number = false;
  const double v = digits.toDouble(&number);
  if (!number || !std::isfinite(v)) return text;
  return text.left(start) + ShownNumber(v);
}

QString OnScreen(const std::string& text) {
  for (const auto& [written, shown] : kOnScreenWords)
    if (text == written) return QString::fromUtf8(shown);
  return ShownBound(QString::fromStdString(text));
}

}  // namespace

void SheetModel::SetSheet(const Sheet& sheet) {
  beginResetModel();
  sheet_ = sheet;
  rows_ = sheet_.LastRow();
  cols_ = std::max(sheet_.LastCol(), static_cast<int>(sheet_.columnHeadings().size()));
  endResetModel();
}

void SheetModel::SetUpperMatrices(std::vector<std::pair<int, int>> headerRowsAndSizes) {
  beginResetModel();
  matrices_ = std::move(headerRowsAndSizes);
  endResetModel();
}

bool SheetModel::BlankInMatrix(int row, int col) const {
  for (const auto& [header, size] : matrices_) {
    // Row header + j holds MLG j, column 1 + k MLG k (1-based).
    const int j = row - header, k = col - 1;
    if (j >= 1 && j <= size && k >= 1 && k <= size) return k <= j;
  }
  return false;
}

int SheetModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int SheetModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cols_;
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const Cell& cell = sheet_.at(index.row() + 1, index.column() + 1);
  if (role == Qt::DisplayRole) {
    if (BlankInMatrix(index.row() + 1, index.column() + 1)) return {};
    return ShownText(index.row(), index.column());
  }
  if (role == kFullTextRole || role == Qt::ToolTipRole) {
    QString text = FullText(index.row() + 1, index.column() + 1);
    if (role == Qt::ToolTipRole && text.isEmpty()) return {};
    return text;
  }
  if (role == Qt::TextAlignmentRole && cell.isNumber())
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  return {};
}

QString SheetModel::ShownText(int row, int column) const {
  // Four significant digits fit a narrow cell; copying and exporting take
  // the full value (FullText).
  const Cell& cell = sheet_.at(row + 1, column + 1);
  if (cell.isNumber()) return ShownNumber(cell.number());
  if (cell.isText()) return OnScreen(cell.text());
  return {};
}

std::vector<QString> SheetModel::WidestTexts(int longText, long long cellLimit) const {
  std::vector<QString> widest(static_cast<std::size_t>(cols_));
  const long long cols = std::max(1, cols_);
  const int rows = static_cast<int>(std::min<long long>(rows_, std::max(1LL, cellLimit / cols)));
  for (int c = 0; c < cols_; ++c) {
    QString& longest = widest[static_cast<std::size_t>(c)];
    for (int r = 0; r < rows; ++r) {
      const Cell& cell = sheet_.at(r + 1, c + 1);
      if (cell.empty()) continue;
      // A number is at most 16 characters on screen: formatted only while
      // it may be longer than the longest so far.
      if (cell.isNumber() && longest.size() >= 16) continue;
      QString shown = ShownText(r, c);
      if (shown.size() > longText) shown.truncate(longText);
      if (shown.size() > longest.size()) longest = shown;
    }
  }
  return widest;
}

QString SheetModel::FullText(int row, int col) const {
  const Cell& cell = sheet_.at(row, col);
  if (cell.isNumber()) return QString::fromStdString(FormatNumber(cell.number()));
  if (cell.isText()) return QString::fromStdString(cell.text());
  return {};
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  std::string heading = sheet_.ColumnHeading(section + 1);
  if (heading.empty()) return section + 1;
  return OnScreen(heading);
}

}  // namespace vireltan::app
