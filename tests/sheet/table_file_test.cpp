// SPDX-License-Identifier: GPL-3.0-or-later
// Reading picks the format by content, and every failure names the file.
#include "sheet/table_file.h"

#include <gtest/gtest.h>

#include <random>

#include "sheet_dump.h"
#include "temp_dir.h"

namespace vireltan {
namespace {

using testing::DumpSheet;

class TableFileTest : public testing::TempDirTest {
 protected:
  // Reads `path`, expecting failure; checks the message names the file and
  // that the book is left empty.
  std::string ExpectReadError(const std::string& path) {
    Book book;
    book.first().SetTextAt(1, 1, "left over");
    book.InsertSheets(2, 1);
    Status status = ReadTableFile(path, book);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("\"" + path + "\""), std::string::npos) << status.message();
    EXPECT_EQ(book.NumSheets(), 1);
    EXPECT_EQ(book.first().LastRow(), 0);
    return status.message();
  }
};

TEST_F(TableFileTest, XlsxContentUnderTextName) {
  Book book;
  book.first().SetNumberAt(1, 1, 7);
  std::string xlsx = PathOf("book.xlsx");
  ASSERT_TRUE(WriteTableFile(book, xlsx, FileType::kXlsxWorkbook).ok());
  std::string disguised = WriteFile("book.txt", ReadFile(xlsx));
  Book back;
  FileType type = FileType::kTextTable;
  Status status = ReadTableFile(disguised, back, &type);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(type, FileType::kXlsxWorkbook);
  EXPECT_EQ(back.first().at(1, 1), Cell::Number(7));
}

TEST_F(TableFileTest, TextContentUnderWorkbookName) {
  std::string path = WriteFile("table.xlsx", "3\t\t\t2\t2\n");
  Book book;
  FileType type = FileType::kXlsxWorkbook;
  Status status = ReadTableFile(path, book, &type);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(type, FileType::kTextTable);
  EXPECT_EQ(DumpSheet(book.first()), "#3|||#2|#2");
}

TEST_F(TableFileTest, ReadReplacesTheWholeBook) {
  std::string path = WriteFile("t.txt", "a\n");
  Book book;
  book.InsertSheets(1, 3);
  book.sheet(4).SetNumberAt(9, 9, 1);
  ASSERT_TRUE(ReadTableFile(path, book).ok());
  EXPECT_EQ(book.NumSheets(), 1);
  EXPECT_EQ(DumpSheet(book.first()), "'a");
}

TEST_F(TableFileTest, MissingFile) {
  std::string message = ExpectReadError(PathOf("nowhere.txt"));
  EXPECT_NE(message.find("does not exist"), std::string::npos) << message;
}

TEST_F(TableFileTest, Folder) {
  ExpectReadError(dir_.string());
}

TEST_F(TableFileTest, EmptyFile) {
  std::string message = ExpectReadError(WriteFile("empty.txt", ""));
  EXPECT_NE(message.find("empty"), std::string::npos) << message;
}

TEST_F(TableFileTest, BinaryGarbage) {
  std::mt19937 random(12345);
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(random() & 0xFF);
  bytes[0] = 'x';  // no format's magic
  ExpectReadError(WriteFile("garbage.txt", bytes));
}

TEST_F(TableFileTest, ZipMagicOnly) {
  ExpectReadError(WriteFile("stub.xlsx", "PK\x03\x04 junk"));
}

TEST_F(TableFileTest, Ole2MagicOnly) {
  std::string bytes = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  bytes += std::string(600, '\x01');
  ExpectReadError(WriteFile("stub.xls", bytes));
}

TEST_F(TableFileTest, XlsIsReadOnly) {
  Book book;
  std::string path = PathOf("out.xls");
  Status status = WriteTableFile(book, path, FileType::kXlsWorkbook);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find(path), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace vireltan
