// SPDX-License-Identifier: GPL-3.0-or-later
// Every real dataset shipped for testing reads as a text table with the
// expected header and shape.
#include <gtest/gtest.h>

#include <string>

#include "sheet/table_file.h"

namespace vireltan {
namespace {

struct DatasetCase {
  const char* file;
  int samples;
  int loci;
  int ploidy;
  const char* firstLocus;
};

class DatasetFiles : public ::testing::TestWithParam<DatasetCase> {};

TEST_P(DatasetFiles, HeaderAndShape) {
  const DatasetCase& c = GetParam();
  std::string path = std::string(VIRELTAN_TEST_DATA_DIR) + "/" + c.file;
  Book book;
  FileType type = FileType::kXlsxWorkbook;
  Status status = ReadTableFile(path, book, &type);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(type, FileType::kTextTable);
  const Sheet& sheet = book.first();
  EXPECT_EQ(sheet.at(1, 1), Cell::Number(c.samples));
  EXPECT_TRUE(sheet.at(1, 2).empty());
  EXPECT_TRUE(sheet.at(1, 3).empty());
  EXPECT_EQ(sheet.at(1, 4), Cell::Number(c.loci));
  EXPECT_EQ(sheet.at(1, 5), Cell::Number(c.ploidy));
  EXPECT_EQ(sheet.at(1, 6), Cell::Text(c.firstLocus));
  EXPECT_TRUE(sheet.at(1, 5 + c.loci).isText());
  EXPECT_EQ(sheet.LastRow(), c.samples + 1);
  EXPECT_EQ(sheet.LastCol(), 5 + c.loci);
  for (int row = 2; row <= c.samples + 1; ++row) {
    ASSERT_EQ(sheet.rows()[row - 1].size(), static_cast<size_t>(3 + c.loci)) << "row " << row;
    EXPECT_FALSE(sheet.at(row, 1).empty()) << "row " << row;
    for (int col = 2; col <= 3 + c.loci; ++col) {
      ASSERT_TRUE(sheet.at(row, col).isNumber()) << "row " << row << " col " << col;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Real, DatasetFiles,
    ::testing::Values(DatasetCase{"pramorum_curry.txt", 513, 5, 2, "PrMS6A1"},
                      DatasetCase{"pramorum_forest_nursery_nocoords.txt", 729, 5, 2, "PrMS6A1"},
                      DatasetCase{"monilinia_haploid.txt", 694, 13, 1, "CHMFc4"},
                      DatasetCase{"rupica.txt", 335, 9, 2, "Bm1818"},
                      DatasetCase{"nancycats_colonies.txt", 237, 9, 2, "fca8"}),
    [](const auto& info) {
      std::string name = info.param.file;
      return name.substr(0, name.find('.'));
    });

TEST(DatasetFiles, DesignationsAndLargeCoordinates) {
  Book book;
  Status status = ReadTableFile(std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt", book);
  ASSERT_TRUE(status.ok()) << status.message();
  const Sheet& sheet = book.first();
  EXPECT_EQ(sheet.at(2, 1), Cell::Number(1004.1));
  EXPECT_EQ(sheet.at(2, 2), Cell::Number(394573.8));
  EXPECT_EQ(sheet.at(2, 3), Cell::Number(4660671.7));
  EXPECT_EQ(sheet.at(2, 4), Cell::Number(165168));
  EXPECT_EQ(sheet.at(177, 1), Cell::Text("WA9-081803 = 1712"));
  EXPECT_EQ(sheet.at(177, 3), Cell::Number(4660731.2));
}

}  // namespace
}  // namespace vireltan
