// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shows one worksheet in a grid view. The model holds its own copy of the
// sheet, taken when no command runs, so that painting never reads tables
// that a running command is changing.
#include <QtCore/QAbstractTableModel>
#include <QtCore/QString>
#include <utility>
#include <vector>

#include "sheet/sheet.h"

namespace vireltan::app {

class SheetModel : public QAbstractTableModel {
 public:
  // The role of a cell's full text: every digit of a number (what Copy and
  // Export take), where the grid shows four significant digits.
  static constexpr int kFullTextRole = Qt::UserRole + 1;

  explicit SheetModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void SetSheet(const Sheet& sheet);
  const Sheet& sheet() const { return sheet_; }
  // Square matrices within the sheet, by the row of their header line and
  // their size: shown with the values above the diagonal and blanks on and
  // below it (the sheet keeps its zeros for the file).
  void SetUpperMatrices(std::vector<std::pair<int, int>> headerRowsAndSizes);
  // The full text of the cell at 1-based (row, col); "" when empty.
  QString FullText(int row, int col) const;
  // What the grid shows in the cell at 0-based (row, column): numbers at
  // four significant digits, a bound such as "<0.00714285714285714" as
  // "<0.007143", file words in plain words.
  QString ShownText(int row, int column) const;
  // The longest text each column shows, for sizing the columns to their
  // content: every row is looked at unless the sheet holds more than
  // `cellLimit` cells (then the first rows up to that many cells). Texts
  // longer than `longText` characters (notes, sentences) count as that
  // long: they are cut in the grid and shown whole in their tooltip.
  std::vector<QString> WidestTexts(int longText, long long cellLimit) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  // True when the cell at 1-based (row, col) is on or below the diagonal of
  // one of the matrices.
  bool BlankInMatrix(int row, int col) const;
  Sheet sheet_;
  std::vector<std::pair<int, int>> matrices_;
  int rows_ = 0;
  int cols_ = 0;
};

}  // namespace vireltan::app
