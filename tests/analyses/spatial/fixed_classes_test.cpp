// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>

#include "analyses/spatial/fixed_distance_classes.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::TempDir;

std::string Folder(const TempDir& dir) {
  return dir.path().string() + "/";
}

void WriteText(const TempDir& dir, const std::string& text) {
  std::ofstream out(dir.file("distances.txt"), std::ios::binary);
  out << text;
}

TEST(FixedClassesTest, MissingFileGivesTheProgramsMessage) {
  TempDir dir;
  std::vector<double> limits{1.0};
  Status s = ReadFixedDistanceClasses(Folder(dir), limits);
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.message(), "The file distances.txt is missing from the folder of the data file");
  EXPECT_TRUE(limits.empty());
}

TEST(FixedClassesTest, ReadsFirstRowOnly) {
  TempDir dir;
  // Row 2 is longer and holds texts: ignored.
  WriteText(dir, "10\t20.5\t40\n1\t2\t3\tfour\tfive\n");
  std::vector<double> limits;
  ASSERT_TRUE(ReadFixedDistanceClasses(Folder(dir), limits).ok());
  EXPECT_EQ(limits, (std::vector<double>{10, 20.5, 40}));
}

TEST(FixedClassesTest, TrailingBlankCellsAndWindowsLineEndsAreNotLimits) {
  TempDir dir;
  WriteText(dir, "5\t12.5\t\t\r\n7\r\n");
  std::vector<double> limits;
  ASSERT_TRUE(ReadFixedDistanceClasses(Folder(dir), limits).ok());
  EXPECT_EQ(limits, (std::vector<double>{5, 12.5}));
}

struct BadFile {
  const char* content;
  const char* expectedPiece;  // part of the message naming the cell
};

class FixedClassesBadFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(FixedClassesBadFileTest, RefusedNamingFileAndCell) {
  TempDir dir;
  WriteText(dir, GetParam().content);
  std::vector<double> limits;
  Status s = ReadFixedDistanceClasses(Folder(dir), limits);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find(dir.file("distances.txt")), std::string::npos) << s.message();
  EXPECT_NE(s.message().find(GetParam().expectedPiece), std::string::npos) << s.message();
  EXPECT_TRUE(limits.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, FixedClassesBadFileTest,
                         ::testing::Values(BadFile{"", "empty"},
                                           BadFile{"\n10\t20\n", "first row is empty"},
                                           BadFile{"10\tabc\t30\n", "row 1, column 2"},
                                           BadFile{"10\t\t30\n", "row 1, column 2"},
                                           BadFile{"10\t30\t20\n", "row 1, column 3"},
                                           BadFile{"10\t10\n", "row 1, column 2"}));

}  // namespace
}  // namespace vireltan
