// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/sheet_model.h"

#include <algorithm>
#include <cmath>

#include "sheet/table_file.h"

namespace vireltan::app {

void SheetModel::SetSheet(const Sheet& sheet) {
  beginResetModel();
  sheet_ = sheet;
  rows_ = sheet_.LastRow();
  cols_ = std::max(sheet_.LastCol(), static_cast<int>(sheet_.columnHeadings().size()));
  endResetModel();
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
    // Four significant digits fit a narrow cell; copying and exporting
    // take the full value (FullText).
    if (cell.isNumber()) {
      // Large values (coordinates, distances in metres) read better whole
      // than as 2.093e+04.
      const double v = cell.number();
      if (std::fabs(v) >= 1e4 && std::fabs(v) < 1e15) return QString::number(v, 'f', 0);
      return QString::number(v, 'g', 4);
    }
    if (cell.isText()) return QString::fromStdString(cell.text());
    return {};
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
  return QString::fromStdString(heading);
}

}  // namespace vireltan::app
