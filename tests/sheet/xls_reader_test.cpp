// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/xls_reader.h"

#include <gtest/gtest.h>

#include "sheet/table_file.h"
#include "temp_dir.h"
#include "xls_builder.h"

namespace vireltan {
namespace {

class XlsReaderTest : public testing::TempDirTest {};

TEST_F(XlsReaderTest, ReadsFirstWorksheet) {
  // A .txt name: the content decides.
  std::string path = WriteFile("legacy.txt", testing::TinyXlsWorkbook());
  Book book;
  FileType type = FileType::kTextTable;
  Status status = ReadTableFile(path, book, &type);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(type, FileType::kXlsWorkbook);
  const Sheet& sheet = book.first();
  EXPECT_EQ(sheet.name(), "Data");
  EXPECT_EQ(sheet.LastRow(), 300);
  EXPECT_EQ(sheet.LastCol(), 6);
  EXPECT_EQ(sheet.at(1, 1), Cell::Number(513));
  EXPECT_TRUE(sheet.at(1, 2).empty());
  EXPECT_EQ(sheet.at(1, 4), Cell::Number(5));
  EXPECT_EQ(sheet.at(1, 5), Cell::Number(2));
  EXPECT_EQ(sheet.at(1, 6), Cell::Text("PrMS6A1"));
  EXPECT_EQ(sheet.at(2, 1), Cell::Text("WA9-081803 = 1712"));
  EXPECT_EQ(sheet.at(2, 3), Cell::Number(4660671.7));
  EXPECT_EQ(sheet.at(3, 2), Cell::Text("caf\xC3\xA9\xC2\xB4"));
  // Dates and times come back as the serial numbers stored.
  EXPECT_EQ(sheet.at(3, 3), Cell::Number(45000));
  EXPECT_EQ(sheet.at(3, 4), Cell::Number(45000.75));
  EXPECT_EQ(sheet.at(300, 1), Cell::Number(299.5));
}

TEST_F(XlsReaderTest, CompoundFileWithoutWorkbook) {
  std::string path = WriteFile("letter.doc", testing::TinyXlsWorkbook("WordDocument"));
  Sheet sheet;
  Status status = ReadXlsWorkbook(path, sheet);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"" + path + "\""), std::string::npos) << status.message();
}

TEST_F(XlsReaderTest, TruncatedWorkbook) {
  std::string bytes = testing::TinyXlsWorkbook();
  std::string path = WriteFile("cut.xls", bytes.substr(0, 1500));
  Book book;
  Status status = ReadTableFile(path, book);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"" + path + "\""), std::string::npos) << status.message();
  EXPECT_EQ(book.first().LastRow(), 0);
}

TEST_F(XlsReaderTest, HeaderOnly) {
  std::string bytes = testing::TinyXlsWorkbook();
  std::string path = WriteFile("header.xls", bytes.substr(0, 512));
  Book book;
  Status status = ReadTableFile(path, book);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("\"" + path + "\""), std::string::npos) << status.message();
}

}  // namespace
}  // namespace vireltan
