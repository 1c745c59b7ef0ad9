// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/sheet.h"

#include <gtest/gtest.h>

#include "sheet_dump.h"

namespace vireltan {
namespace {

using testing::DumpSheet;

// Fills rows from a DumpSheet-like picture: "#n" numbers, "'t" texts.
Sheet MakeSheet(const std::vector<std::vector<std::string>>& rows) {
  Sheet sheet;
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const std::string& v = rows[r][c];
      if (v.empty()) continue;
      int row = static_cast<int>(r) + 1;
      int col = static_cast<int>(c) + 1;
      if (v[0] == '#') sheet.SetNumberAt(row, col, std::stod(v.substr(1)));
      if (v[0] == '\'') sheet.SetTextAt(row, col, v.substr(1));
    }
  }
  return sheet;
}

TEST(Sheet, SetAndGet) {
  Sheet sheet;
  sheet.SetNumberAt(2, 3, 4.5);
  sheet.SetTextAt(1, 1, "a");
  EXPECT_EQ(sheet.at(2, 3), Cell::Number(4.5));
  EXPECT_EQ(sheet.at(1, 1), Cell::Text("a"));
  EXPECT_TRUE(sheet.at(1, 2).empty());
  EXPECT_TRUE(sheet.at(100, 100).empty());
  EXPECT_TRUE(sheet.at(0, 1).empty());
  EXPECT_TRUE(sheet.at(1, -1).empty());
  sheet.set(0, 5, Cell::Number(1));  // outside the grid: ignored
  EXPECT_EQ(sheet.LastRow(), 2);
}

TEST(Sheet, NumberAt) {
  Sheet sheet;
  sheet.SetNumberAt(1, 1, 7);
  sheet.SetTextAt(1, 2, " 12.5 ");
  sheet.SetTextAt(1, 3, "abc");
  sheet.SetTextAt(1, 4, "12abc");
  sheet.SetTextAt(1, 5, "inf");
  sheet.SetTextAt(1, 6, "0x10");
  EXPECT_EQ(sheet.NumberAt(1, 1), 7);
  EXPECT_EQ(sheet.NumberAt(1, 2), 12.5);
  EXPECT_EQ(sheet.NumberAt(1, 3), 0);
  EXPECT_EQ(sheet.NumberAt(1, 4), 0);
  EXPECT_EQ(sheet.NumberAt(1, 5), 0);
  EXPECT_EQ(sheet.NumberAt(1, 6), 0);
  EXPECT_EQ(sheet.NumberAt(1, 7), 0);
  EXPECT_EQ(sheet.NumberAt(9, 9), 0);
}

TEST(Sheet, TextAt) {
  Sheet sheet;
  sheet.SetNumberAt(1, 1, 165168);
  sheet.SetNumberAt(1, 2, 0.1);
  sheet.SetNumberAt(1, 3, 1.0 / 3.0);
  sheet.SetTextAt(1, 4, " kept as is ");
  EXPECT_EQ(sheet.TextAt(1, 1), "165168");
  EXPECT_EQ(sheet.TextAt(1, 2), "0.1");
  EXPECT_EQ(sheet.TextAt(1, 3), "0.3333333333333333");
  EXPECT_EQ(sheet.TextAt(1, 4), " kept as is ");
  EXPECT_EQ(sheet.TextAt(1, 5), "");
}

TEST(ParseDecimal, Forms) {
  EXPECT_EQ(ParseDecimal("42"), 42.0);
  EXPECT_EQ(ParseDecimal(" -1.5e3\t"), -1500.0);
  EXPECT_EQ(ParseDecimal("+.5"), 0.5);
  EXPECT_FALSE(ParseDecimal("").has_value());
  EXPECT_FALSE(ParseDecimal("  ").has_value());
  EXPECT_FALSE(ParseDecimal("nan").has_value());
  EXPECT_FALSE(ParseDecimal("-inf").has_value());
  EXPECT_FALSE(ParseDecimal("0x1p3").has_value());
  EXPECT_FALSE(ParseDecimal("1,5").has_value());
  EXPECT_FALSE(ParseDecimal("1 2").has_value());
  EXPECT_FALSE(ParseDecimal("1e999").has_value());
}

TEST(Sheet, LastRowAndColShrinkWhenCleared) {
  Sheet sheet;
  EXPECT_EQ(sheet.LastRow(), 0);
  EXPECT_EQ(sheet.LastCol(), 0);
  sheet.SetNumberAt(3, 2, 1);
  sheet.SetNumberAt(1, 5, 1);
  EXPECT_EQ(sheet.LastRow(), 3);
  EXPECT_EQ(sheet.LastCol(), 5);
  sheet.ClearCell(3, 2);
  EXPECT_EQ(sheet.LastRow(), 1);
  sheet.ClearCell(1, 5);
  EXPECT_EQ(sheet.LastRow(), 0);
  EXPECT_EQ(sheet.LastCol(), 0);
}

TEST(Sheet, DeleteRows) {
  Sheet sheet = MakeSheet({{"#1"}, {"#2"}, {"#3"}, {"#4"}});
  sheet.DeleteRows(2, 3);
  EXPECT_EQ(DumpSheet(sheet), "#1\n#4");
  sheet.DeleteRows(5, 9);  // beyond the used range
  EXPECT_EQ(DumpSheet(sheet), "#1\n#4");
  sheet.DeleteRows(2, 100);
  EXPECT_EQ(DumpSheet(sheet), "#1");
}

TEST(Sheet, DeleteRowsLeavingTrailingEmptyRows) {
  Sheet sheet = MakeSheet({{"#1"}, {}, {"#3"}});
  sheet.DeleteRows(3, 3);
  EXPECT_EQ(sheet.LastRow(), 1);
}

TEST(Sheet, DeleteColumns) {
  Sheet sheet = MakeSheet({{"#1", "#2", "#3", "#4"}, {"'a", "'b"}, {"", "", "#9"}});
  sheet.DeleteColumns(2, 3);
  EXPECT_EQ(DumpSheet(sheet), "#1|#4\n'a");
  EXPECT_EQ(sheet.LastCol(), 2);
}

TEST(Sheet, DeleteColumnsMovesHeadings) {
  Sheet sheet;
  sheet.SetColumnHeading(1, "x");
  sheet.SetColumnHeading(2, "y");
  sheet.SetColumnHeading(3, "z");
  sheet.DeleteColumns(1, 1);
  EXPECT_EQ(sheet.ColumnHeading(1), "y");
  EXPECT_EQ(sheet.ColumnHeading(2), "z");
  EXPECT_EQ(sheet.ColumnHeading(3), "");
}

TEST(Sheet, InsertRows) {
  Sheet sheet = MakeSheet({{"#1"}, {"#2"}});
  sheet.InsertRows(2, 2);
  EXPECT_EQ(DumpSheet(sheet), "#1\n\n\n#2");
  sheet.InsertRows(1, 1);
  EXPECT_EQ(DumpSheet(sheet), "\n#1\n\n\n#2");
  sheet.InsertRows(10, 3);  // below the last row: nothing moves
  EXPECT_EQ(sheet.LastRow(), 5);
}

TEST(Sheet, InsertColumns) {
  Sheet sheet = MakeSheet({{"#1", "#2", "#3"}, {"'a"}});
  sheet.InsertColumns(2, 2);
  EXPECT_EQ(DumpSheet(sheet), "#1|||#2|#3\n'a");
  sheet.InsertColumns(1, 1);
  EXPECT_EQ(DumpSheet(sheet), "|#1|||#2|#3\n|'a");
}

TEST(Sheet, SortRowsNumbersBeforeTextsBeforeEmpty) {
  Sheet sheet = MakeSheet({{"'head"},
                           {"'b", "#1"},
                           {"#10", "#2"},
                           {"", "#3"},
                           {"'a", "#4"},
                           {"#-1", "#5"},
                           {"'B", "#6"}});
  sheet.SortRows(2, 7, {1});
  EXPECT_EQ(DumpSheet(sheet), "'head\n#-1|#5\n#10|#2\n'B|#6\n'a|#4\n'b|#1\n|#3");
}

TEST(Sheet, SortRowsIsStableAndUsesLaterKeys) {
  Sheet sheet = MakeSheet({{"#2", "#1", "'first"},
                           {"#1", "#9", "'second"},
                           {"#2", "#0", "'third"},
                           {"#1", "#9", "'fourth"},
                           {"#2", "#1", "'fifth"}});
  sheet.SortRows(1, 5, {1, 2});
  EXPECT_EQ(DumpSheet(sheet),
            "#1|#9|'second\n#1|#9|'fourth\n#2|#0|'third\n#2|#1|'first\n#2|#1|'fifth");
}

TEST(Sheet, SortRowsOnlyInItsRange) {
  Sheet sheet = MakeSheet({{"#3"}, {"#2"}, {"#1"}, {"#0"}});
  sheet.SortRows(2, 3, {1});
  EXPECT_EQ(DumpSheet(sheet), "#3\n#1\n#2\n#0");
}

TEST(Sheet, SortRowsMovingEmptyRowsToTheEnd) {
  Sheet sheet = MakeSheet({{"#3"}, {}, {"#1"}});
  sheet.SortRows(1, 3, {1});
  EXPECT_EQ(DumpSheet(sheet), "#1\n#3");
  EXPECT_EQ(sheet.LastRow(), 2);
}

TEST(Sheet, CopyBlockFromAnotherSheet) {
  Sheet source = MakeSheet({{"#1", "#2"}, {"'a", "'b"}});
  Sheet target = MakeSheet({{"#9", "#9", "#9"}, {"#9", "#9", "#9"}});
  target.CopyBlock(source, 1, 1, 2, 2, 2, 2);
  EXPECT_EQ(DumpSheet(target), "#9|#9|#9\n#9|#1|#2\n|'a|'b");
}

TEST(Sheet, CopyBlockEmptySourceEmptiesTarget) {
  Sheet source;
  Sheet target = MakeSheet({{"#1", "#2"}, {"#3", "#4"}});
  target.CopyBlock(source, 1, 1, 2, 2, 1, 1);
  EXPECT_EQ(target.LastRow(), 0);
}

TEST(Sheet, CopyBlockOverlappingDownRight) {
  Sheet sheet = MakeSheet({{"#1", "#2", "#3"}, {"#4", "#5", "#6"}, {"#7", "#8", "#9"}});
  sheet.CopyBlock(sheet, 1, 1, 2, 2, 2, 2);
  EXPECT_EQ(DumpSheet(sheet), "#1|#2|#3\n#4|#1|#2\n#7|#4|#5");
}

TEST(Sheet, CopyBlockOverlappingUpLeft) {
  Sheet sheet = MakeSheet({{"#1", "#2", "#3"}, {"#4", "#5", "#6"}, {"#7", "#8", "#9"}});
  sheet.CopyBlock(sheet, 2, 2, 3, 3, 1, 1);
  EXPECT_EQ(DumpSheet(sheet), "#5|#6|#3\n#8|#9|#6\n#7|#8|#9");
}

TEST(Sheet, ColumnHeadings) {
  Sheet sheet;
  EXPECT_EQ(sheet.ColumnHeading(3), "");
  sheet.SetColumnHeading(3, "locus");
  EXPECT_EQ(sheet.ColumnHeading(3), "locus");
  EXPECT_EQ(sheet.ColumnHeading(0), "");
  sheet.Clear();
  EXPECT_EQ(sheet.ColumnHeading(3), "");
}

}  // namespace
}  // namespace vireltan
