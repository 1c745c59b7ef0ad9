// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/text_table_writer.h"

#include <gtest/gtest.h>

#include <limits>

#include "sheet/table_file.h"
#include "sheet_dump.h"
#include "temp_dir.h"

namespace vireltan {
namespace {

using testing::DumpSheet;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FormatTextTable, OneLinePerRowUpToLastCell) {
  Sheet sheet;
  sheet.SetTextAt(1, 1, "pramorum_curry");
  sheet.SetTextAt(2, 1, "G (richness)");
  sheet.SetNumberAt(2, 2, 70);
  sheet.SetNumberAt(2, 4, 1.0 / 3.0);
  sheet.SetNumberAt(4, 3, -0.0);
  EXPECT_EQ(FormatTextTable(sheet),
            "pramorum_curry\n"
            "G (richness)\t70\t\t0.3333333333333333\n"
            "\n"
            "\t\t0\n");
}

TEST(FormatTextTable, NonFiniteNumbersAreEmptyCells) {
  Sheet sheet;
  sheet.SetNumberAt(1, 1, kNaN);
  sheet.SetNumberAt(1, 2, 5);
  sheet.SetNumberAt(1, 3, kInf);
  sheet.SetNumberAt(2, 1, -kInf);
  EXPECT_EQ(FormatTextTable(sheet), "\t5\n\n");
}

TEST(FormatTextTable, TextsAsTheyAre) {
  Sheet sheet;
  sheet.SetTextAt(1, 1, "WA9-081803 = 1712");
  sheet.SetTextAt(1, 2, "a,b;c \"d\"");
  sheet.SetTextAt(1, 3, "Rupicapra\xC2\xB4s");
  EXPECT_EQ(FormatTextTable(sheet), "WA9-081803 = 1712\ta,b;c \"d\"\tRupicapra\xC2\xB4s\n");
}

TEST(FormatTextTable, QuotesOnlyWhatWouldNotReadBack) {
  Sheet sheet;
  sheet.SetTextAt(1, 1, "two\tcells");
  sheet.SetTextAt(1, 2, "two\nlines");
  sheet.SetTextAt(1, 3, "\"quoted\" start");
  EXPECT_EQ(FormatTextTable(sheet), "\"two\tcells\"\t\"two\nlines\"\t\"\"\"quoted\"\" start\"\n");
}

TEST(FormatTextTable, EmptySheetIsEmptyText) {
  EXPECT_EQ(FormatTextTable(Sheet()), "");
}

class TextTableWriteTest : public testing::TempDirTest {};

TEST_F(TextTableWriteTest, WritesSheetOneOnlyAndReadsBack) {
  Book book;
  Sheet& sheet = book.first();
  sheet.SetNumberAt(1, 1, 513);
  sheet.SetNumberAt(1, 4, 5);
  sheet.SetTextAt(1, 6, "PrMS6A1");
  sheet.SetNumberAt(2, 1, 1004.1);
  sheet.SetNumberAt(2, 3, 4660671.7);
  sheet.SetNumberAt(2, 4, 1e-300);
  sheet.SetTextAt(3, 1, "tab\tinside");
  sheet.SetTextAt(3, 2, "\"quote");
  sheet.SetTextAt(5, 2, "\xC2\xB4");
  Sheet written = sheet;
  book.InsertSheets(2, 1);  // `sheet` no longer valid
  book.sheet(2).SetTextAt(1, 1, "second sheet");

  std::string path = PathOf("log.txt");
  ASSERT_TRUE(WriteTableFile(book, path, FileType::kTextTable).ok());
  EXPECT_EQ(ReadFile(path),
            "513\t\t\t5\t\tPrMS6A1\n1004.1\t\t4660671.7\t1e-300\n"
            "\"tab\tinside\"\t\"\"\"quote\"\n\n\t\xC2\xB4\n");
  Book back;
  ASSERT_TRUE(ReadTableFile(path, back).ok());
  EXPECT_EQ(DumpSheet(back.first()), DumpSheet(written));
}

}  // namespace
}  // namespace vireltan
