// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/book.h"

#include <gtest/gtest.h>

namespace vireltan {
namespace {

TEST(Book, StartsWithOneSheet) {
  Book book;
  EXPECT_EQ(book.NumSheets(), 1);
  EXPECT_EQ(book.SheetName(1), "1");
  EXPECT_EQ(&book.first(), &book.sheet(1));
}

TEST(Book, InsertSheets) {
  Book book;
  book.first().SetNumberAt(1, 1, 1);
  book.InsertSheets(1, 2);
  EXPECT_EQ(book.NumSheets(), 3);
  EXPECT_EQ(book.sheet(3).NumberAt(1, 1), 1);
  EXPECT_EQ(book.sheet(1).LastRow(), 0);
  book.InsertSheets(4, 1);  // after the last
  EXPECT_EQ(book.NumSheets(), 4);
  book.SetSheetName(4, "Edge effect");
  EXPECT_TRUE(book.HasSheetNamed("Edge effect"));
  EXPECT_FALSE(book.HasSheetNamed("edge effect"));
  book.InsertSheets(2, 0);
  EXPECT_EQ(book.NumSheets(), 4);
}

TEST(Book, DeleteSheets) {
  Book book;
  book.InsertSheets(2, 3);
  for (int i = 1; i <= 4; ++i) book.SetSheetName(i, "s" + std::to_string(i));
  book.DeleteSheets(2, 2);
  ASSERT_EQ(book.NumSheets(), 2);
  EXPECT_EQ(book.SheetName(1), "s1");
  EXPECT_EQ(book.SheetName(2), "s4");
  book.DeleteSheets(2, 10);  // more than there are
  EXPECT_EQ(book.NumSheets(), 1);
  book.DeleteSheets(5, 1);  // no such sheet
  EXPECT_EQ(book.NumSheets(), 1);
}

TEST(Book, DeletingAllLeavesOneEmptySheet) {
  Book book;
  book.InsertSheets(2, 2);
  book.first().SetTextAt(1, 1, "x");
  book.DeleteSheets(1, 3);
  ASSERT_EQ(book.NumSheets(), 1);
  EXPECT_EQ(book.first().LastRow(), 0);
  EXPECT_EQ(book.SheetName(1), "1");
}

TEST(Book, Reset) {
  Book book;
  book.InsertSheets(1, 4);
  book.sheet(5).SetNumberAt(2, 2, 2);
  book.Reset();
  EXPECT_EQ(book.NumSheets(), 1);
  EXPECT_EQ(book.SheetName(1), "1");
  EXPECT_EQ(book.first().LastRow(), 0);
}

}  // namespace
}  // namespace vireltan
