// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/dataset_reader.h"

#include <gtest/gtest.h>

#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::Rows;
using testing::SheetFromRows;

Status Read(const Rows& rows, Dataset& d, DatasetReadReport& report) {
  return ReadDataset(SheetFromRows(rows), "meadow.txt", d, report);
}

TEST(DatasetReader, CodesDiploidGenotypesSmallerAlleleFirst) {
  Dataset d;
  DatasetReadReport report;
  ASSERT_TRUE(Read({{"2", "", "", "2", "2", "A", "B"},
                    {"s1", "1.5", "2", "124120", "130130"},
                    {"s2", "3", "4", "120124", "999999"}},
                   d, report));
  EXPECT_EQ(d.sampleCount, 2);
  EXPECT_EQ(d.locusCount, 2);
  EXPECT_EQ(d.alleleAt(0, 0, 0), 120);
  EXPECT_EQ(d.alleleAt(0, 0, 1), 124);
  EXPECT_EQ(d.genotypeCode(0, 0), 120124);
  EXPECT_EQ(d.genotypeCode(1, 1), 999999);
  EXPECT_TRUE(d.hasMissingData);
  EXPECT_EQ(d.locusNames, (std::vector<std::string>{"A", "B"}));
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_EQ(report.warnings[0], kMissingDataWarning);
}

TEST(DatasetReader, HaploidAlleleIsRepeated) {
  Dataset d;
  DatasetReadReport report;
  ASSERT_TRUE(Read({{"1", "", "", "1", "1"}, {"s1", "999", "999", "135"}}, d, report));
  EXPECT_TRUE(d.haploid());
  EXPECT_EQ(d.alleleAt(0, 0, 0), 135);
  EXPECT_EQ(d.alleleAt(0, 0, 1), 135);
  EXPECT_EQ(d.genotypeCode(0, 0), 135135);
  EXPECT_EQ(d.locusNames, (std::vector<std::string>{"locus1"}));
  EXPECT_TRUE(report.warnings.empty());
}

TEST(DatasetReader, MissingCodeOfEitherWidthIsRecognised) {
  Dataset d;
  DatasetReadReport report;
  ASSERT_TRUE(Read({{"1", "", "", "2", "1"}, {"s1", "0", "0", "999999", "999"}}, d, report));
  EXPECT_TRUE(d.hasMissingData);
  EXPECT_EQ(d.genotypeCode(0, 0), 999999);
  EXPECT_EQ(d.genotypeCode(0, 1), 999999);
}

TEST(DatasetReader, HeaderWarningsInOrderAndLoadingGoesOn) {
  Dataset d;
  DatasetReadReport report;
  // N says 3, two rows present; L says 3, two genotype columns; ploidy 0.
  ASSERT_TRUE(Read({{"3", "", "", "3", "0"},
                    {"a", "1", "1", "120120", "130130"},
                    {"b", "2", "2", "120124", "130130"}},
                   d, report));
  ASSERT_EQ(report.warnings.size(), 3u);
  EXPECT_EQ(report.warnings[0],
            std::string(kLinesWarning) + "(sampling units: 3 in the header, 2 in the file)");
  EXPECT_EQ(report.warnings[1],
            std::string(kColumnsWarning) + "(loci: 3 in the header, 2 in the file)");
  EXPECT_EQ(report.warnings[2], kPloidyWarning);
  // Only what is present is analysed: no phantom SU or locus.
  EXPECT_EQ(d.sampleCount, 2);
  EXPECT_EQ(d.locusCount, 2);
  EXPECT_EQ(d.ploidy, 2);
  EXPECT_EQ(report.headerSampleCount, 3);
}

TEST(DatasetReader, ExtraGenotypeColumnsBeyondTheHeaderAreIgnored) {
  Dataset d;
  DatasetReadReport report;
  ASSERT_TRUE(Read({{"1", "", "", "1", "2"}, {"a", "1", "1", "120120", "not a locus"}}, d, report));
  EXPECT_EQ(d.locusCount, 1);
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_EQ(report.warnings[0],
            std::string(kColumnsWarning) + "(loci: 1 in the header, 2 in the file)");
}

TEST(DatasetReader, LocusNamesOnlyWhenColumnSixHoldsText) {
  Dataset d;
  DatasetReadReport report;
  ASSERT_TRUE(
      Read({{"1", "", "", "2", "2", "", "B"}, {"a", "1", "1", "120120", "130130"}}, d, report));
  EXPECT_EQ(d.locusNames, (std::vector<std::string>{"locus1", "locus2"}));
}

struct BadCellCase {
  const char* name;
  Rows rows;
  const char* expectedPiece;  // part of the message
};

class DatasetReaderBadInput : public ::testing::TestWithParam<BadCellCase> {};

TEST_P(DatasetReaderBadInput, StopsWithMessageNamingFileRowAndColumn) {
  Dataset d;
  DatasetReadReport report;
  Status s = Read(GetParam().rows, d, report);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("meadow.txt"), std::string::npos) << s.message();
  EXPECT_NE(s.message().find(GetParam().expectedPiece), std::string::npos) << s.message();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DatasetReaderBadInput,
    ::testing::Values(
        BadCellCase{
            "text_genotype", {{"1", "", "", "1", "2"}, {"a", "1", "1", "abc"}}, "row 2, column 4"},
        BadCellCase{
            "negative", {{"1", "", "", "1", "2"}, {"a", "1", "1", "-120124"}}, "row 2, column 4"},
        BadCellCase{
            "fraction", {{"1", "", "", "1", "2"}, {"a", "1", "1", "120124.5"}}, "row 2, column 4"},
        BadCellCase{"five_digits_diploid",
                    {{"1", "", "", "1", "2"}, {"a", "1", "1", "12012"}},
                    "row 2, column 4"},
        BadCellCase{"second_allele_two_digits",
                    {{"1", "", "", "1", "2"}, {"a", "1", "1", "120099"}},
                    "row 2, column 4"},
        BadCellCase{"six_digits_haploid",
                    {{"1", "", "", "1", "1"}, {"a", "1", "1", "120124"}},
                    "row 2, column 4"},
        BadCellCase{"two_digits_haploid",
                    {{"1", "", "", "1", "1"}, {"a", "1", "1", "99"}},
                    "row 2, column 4"},
        BadCellCase{"empty_genotype",
                    {{"2", "", "", "2", "2"},
                     {"a", "1", "1", "120124", "130130"},
                     {"b", "1", "1", "", "130130"}},
                    "row 3, column 4"},
        BadCellCase{"empty_designation",
                    {{"2", "", "", "1", "2"}, {"a", "1", "1", "120124"}, {"", "1", "1", "120124"}},
                    "row 3, column 1"},
        BadCellCase{"text_coordinate",
                    {{"1", "", "", "1", "2"}, {"a", "north", "1", "120124"}},
                    "row 2, column 2"},
        BadCellCase{"no_data_row", {{"0", "", "", "1", "2"}}, "no data row"},
        BadCellCase{"text_header",
                    {{"many", "", "", "1", "2"}, {"a", "1", "1", "120124"}},
                    "row 1, column 1"}),
    [](const ::testing::TestParamInfo<BadCellCase>& info) { return info.param.name; });

TEST(DatasetReader, ExtentsStartAtZeroAndDetectAbsentAxes) {
  Dataset d;
  DatasetReadReport report;
  ASSERT_TRUE(
      Read({{"2", "", "", "1", "2"}, {"a", "-5", "999", "120124"}, {"b", "-2", "999", "120124"}}, d,
           report));
  Extents e = ComputeExtents(d);
  EXPECT_EQ(e.MinX, -5);
  EXPECT_EQ(e.MaxX, 0);  // all x negative: the maximum stays at its start, 0
  EXPECT_EQ(e.MaxY, 999);
  EXPECT_EQ(e.SpatialDims, 1);
  EXPECT_DOUBLE_EQ(e.HalfRangeX, 2.5);
  EXPECT_DOUBLE_EQ(e.HalfRangeY, 499.5);
}

}  // namespace
}  // namespace vireltan
