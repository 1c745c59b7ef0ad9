// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers whole in the grids: four significant digits on screen (bounds
// written as text included), every digit in copies; columns sized on every
// row; copied rows without the sheet's empty columns.
#include <gtest/gtest.h>

#include <QtWidgets/QTableView>

#include "app/sheet_model.h"
#include "app/table_actions.h"

namespace vireltan::app {
namespace {

TEST(SheetModelTest, ShowsFourSignificantDigitsAndKeepsEveryDigitForCopies) {
  struct Case {
    bool number;
    double value;
    const char* text;
    const char* shown;
  };
  const Case cases[] = {
      {true, 4.608, "", "4.608"},
      {true, 129.1, "", "129.1"},
      {true, 0.00714285714285714, "", "0.007143"},
      {true, 20931.4, "", "20931"},  // coordinates whole, not 2.093e+04
      {false, 0, "<0.00714285714285714", "<0.007143"},
      {false, 0, ">= 0.95123456", ">= 0.9512"},
      {false, 0, "120124", "120124"},  // an allele code stays as it is
      {false, 0, "R001", "R001"},
      {false, 0, "p < 0.05", "p < 0.05"},
      {false, 0, "Eveness ED*", "Evenness ED*"},
  };
  Sheet sheet;
  int row = 0;
  for (const Case& c : cases) {
    ++row;
    if (c.number) {
      sheet.SetNumberAt(row, 1, c.value);
    } else {
      sheet.SetTextAt(row, 1, c.text);
    }
  }
  SheetModel model;
  model.SetSheet(sheet);
  row = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(model.data(model.index(row, 0)).toString().toStdString(), c.shown) << row;
    ++row;
  }
  // Copies keep the file's text.
  EXPECT_EQ(model.data(model.index(4, 0), SheetModel::kFullTextRole).toString(),
            "<0.00714285714285714");
}

TEST(SheetModelTest, ColumnsAreSizedOnEveryRow) {
  Sheet sheet;
  for (int r = 1; r <= 600; ++r) sheet.SetNumberAt(r, 1, 3);
  sheet.SetNumberAt(500, 1, 4.608);  // far below the first rows
  sheet.SetTextAt(1, 2, "colony 263.3");
  sheet.SetTextAt(2, 2,
                  "another order of tied merges gives other lineages for some MLGs of the file");
  SheetModel model;
  model.SetSheet(sheet);
  const std::vector<QString> widest = model.WidestTexts(40, 1000000);
  ASSERT_EQ(widest.size(), 2u);
  EXPECT_EQ(widest[0], "4.608");
  // A note counts as 40 characters; a population name is whole.
  EXPECT_EQ(widest[1].size(), 40);
  // A sheet beyond the limit is sized on its first rows.
  EXPECT_EQ(model.WidestTexts(40, 2 * 100)[0], "3");
}

TEST(TableCopyTest, RowsSelectedWholeCarryNoEmptyColumns) {
  Sheet sheet;
  sheet.SetTextAt(1, 1, "Pop");
  sheet.SetNumberAt(1, 2, 0.125);
  sheet.SetTextAt(2, 1, "total");
  sheet.SetTextAt(1, 140, "");  // the sheet is 140 columns wide elsewhere
  sheet.SetNumberAt(5, 140, 1);
  SheetModel model;
  model.SetSheet(sheet);
  QTableView view;
  view.setModel(&model);
  view.setSelectionMode(QAbstractItemView::ExtendedSelection);
  view.setSelectionBehavior(QAbstractItemView::SelectRows);
  view.selectRow(0);
  view.selectionModel()->select(model.index(1, 0),
                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_EQ(SelectedBlockAsTsv(view).toStdString(), "Pop\t0.125\ntotal\t\n");
}

}  // namespace
}  // namespace vireltan::app
