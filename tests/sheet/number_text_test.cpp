// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers read from text keep the text they were written as, and the text
// writers give it back byte for byte.
#include <gtest/gtest.h>

#include "sheet/text_table_reader.h"
#include "sheet/text_table_writer.h"

namespace vireltan {
namespace {

TEST(NumberText, ReadAndWrittenAsInTheFile) {
  const std::string table = "2236.10\t2236.1\t007\t1e3\t120124\t0\t-4.50\n";
  Sheet sheet;
  ASSERT_TRUE(ParseTextTable(table, "t.txt", sheet).ok());
  const std::vector<std::pair<std::string, double>> cells{
      {"2236.10", 2236.1}, {"2236.1", 2236.1}, {"007", 7},     {"1e3", 1000},
      {"120124", 120124},  {"0", 0},           {"-4.50", -4.5}};
  for (int c = 1; c <= 7; ++c) {
    EXPECT_TRUE(sheet.at(1, c).isNumber()) << c;
    EXPECT_EQ(sheet.NumberAt(1, c), cells[c - 1].second) << c;
    EXPECT_EQ(sheet.TextAt(1, c), cells[c - 1].first) << c;
  }
  EXPECT_EQ(FormatTextTable(sheet), table);
  EXPECT_EQ(FormatTextTable(sheet, ','), "2236.10,2236.1,007,1e3,120124,0,-4.50\n");
  // Numbers the program writes have no text of their own.
  EXPECT_FALSE(Cell::Number(7).hasSourceText());
  EXPECT_EQ(Cell::NumberFromText(7, "7"), Cell::Number(7));
}

TEST(NumberText, CsvQuotesSeparatorsAndQuotes) {
  Sheet sheet;
  sheet.SetTextAt(1, 1, "a,b");
  sheet.SetTextAt(1, 2, "say \"hi\"");
  sheet.SetNumberAt(1, 3, 0.5);
  EXPECT_EQ(FormatTextTable(sheet, ','), "\"a,b\",\"say \"\"hi\"\"\",0.5\n");
}

}  // namespace
}  // namespace vireltan
