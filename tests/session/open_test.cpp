// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "session/session.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

class OpenTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  Status OpenRows(const std::string& name, const Rows& rows) {
    WriteTsv(dir.path() / name, rows);
    return session.Open(dir.file(name));
  }
  const Sheet& results() const { return session.results.first(); }
};

const Rows kFiveSus{{"5", "", "", "2", "2", "A", "B"},    {"s1", "1", "1", "120124", "150152"},
                    {"s2", "2", "2", "124120", "152150"}, {"s3", "3", "3", "120124", "150152"},
                    {"s4", "4", "4", "101130", "150152"}, {"s5", "5", "5", "130130", "160160"}};

TEST_F(OpenTest, WritesMlgListRichnessAndLog) {
  ASSERT_TRUE(OpenRows("meadow.data.txt", kFiveSus).ok());
  EXPECT_EQ(session.info().datasetName, "meadow.data");
  EXPECT_EQ(session.info().outputPrefix, dir.file("meadow.data"));
  EXPECT_EQ(session.info().dataDirectory, dir.path().string() + "/");
  EXPECT_EQ(session.info().mlgCount, 3);
  EXPECT_EQ(session.info().sameMlgPairCount, 3);
  EXPECT_EQ(results().TextAt(1, 1), "meadow.data");
  EXPECT_EQ(results().TextAt(2, 1), "Distinct MLG designation");
  EXPECT_EQ(results().TextAt(2, 2), "sampling unit designation");
  // MLG 1 holds s4 (allele 101), MLG 2 the three identical SUs in file order.
  EXPECT_EQ(results().NumberAt(3, 1), 1);
  EXPECT_EQ(results().TextAt(3, 2), "s4");
  EXPECT_EQ(results().TextAt(4, 2), "s1");
  EXPECT_EQ(results().TextAt(4, 3), "s2");
  EXPECT_EQ(results().TextAt(4, 4), "s3");
  EXPECT_EQ(results().TextAt(7, 1), "G (richness)");
  EXPECT_EQ(results().NumberAt(7, 2), 3);
  EXPECT_EQ(results().TextAt(7, 3), "R [(G-1)/(N-1)]");
  EXPECT_DOUBLE_EQ(results().NumberAt(7, 4), 0.5);
  EXPECT_EQ(session.lastBlockRow(), 5);  // no one-allele block: the last MLG row
  EXPECT_TRUE(messages.messages.empty());
  std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_NE(log.find("G (richness)\t3\tR [(G-1)/(N-1)]\t0.5"), std::string::npos) << log;
  EXPECT_TRUE(session.availability().psex);
  EXPECT_TRUE(session.availability().spatialMenu);
  EXPECT_EQ(session.datasetGrid.first().ColumnHeading(1), "individu");
  EXPECT_EQ(session.datasetGrid.first().ColumnHeading(4), "A");
  EXPECT_EQ(session.datasetGrid.first().TextAt(1, 1), "s1");
}

TEST_F(OpenTest, OneAlleleListingFollowsTheRichnessLine) {
  ASSERT_TRUE(OpenRows("d.txt", {{"3", "", "", "2", "2"},
                                 {"a", "1", "1", "120124", "150150"},
                                 {"b", "1", "1", "120126", "150150"},
                                 {"c", "1", "1", "130140", "160160"}})
                  .ok());
  // Rows: 3..5 MLGs, 7 richness, 9 header, 12 the first pair.
  EXPECT_EQ(results().TextAt(9, 1), "MLGs distant");
  EXPECT_EQ(results().TextAt(9, 2), "1 allele");
  EXPECT_EQ(results().TextAt(9, 3), "scoring error?");
  EXPECT_EQ(results().TextAt(9, 4), "somatic mutation?");
  EXPECT_EQ(session.lastBlockRow(), 9);
  EXPECT_EQ(results().TextAt(12, 1), "MLGs");
  EXPECT_EQ(results().NumberAt(12, 2), 1);
  EXPECT_EQ(results().NumberAt(12, 3), 2);
  EXPECT_EQ(results().LastRow(), 12);
}

TEST_F(OpenTest, MissingDataAndNoCoordinatesRestrictCommands) {
  ASSERT_TRUE(OpenRows("d.txt", {{"2", "", "", "1", "2"},
                                 {"a", "999", "999", "999999"},
                                 {"b", "999", "999", "120124"}})
                  .ok());
  ASSERT_EQ(messages.messages.size(), 1u);
  // The warning says how many units lack data and at which loci.
  EXPECT_EQ(messages.messages[0],
            "!!Missing data: 1 sampling unit(s) lack an allele at one locus or more (loci: "
            "locus1). MLG membership might be wrong; Psex, the diversity indices and the "
            "Pareto distribution are not available. The distances, lineages and the network "
            "use the loci typed in both units.");
  EXPECT_EQ(session.info().unitsWithMissingData, 1);
  EXPECT_EQ(session.info().lociWithMissingData, std::vector<std::string>{"locus1"});
  const CommandAvailability& a = session.availability();
  EXPECT_TRUE(a.dataset);
  EXPECT_FALSE(a.psex || a.mlgMenu || a.spatialMenu);
  // The distances leave out loci missing in either unit.
  EXPECT_TRUE(a.allelicMatrix && a.microsatMatrix);
  EXPECT_EQ(session.info().spatialDims, 0);
  EXPECT_FALSE(session.Require(CommandGroup::kPsex).ok());
  EXPECT_NE(session.Require(CommandGroup::kSpatialMenu).message().find("coordinates"),
            std::string::npos);
}

TEST_F(OpenTest, SingleSamplingUnitLeavesRichnessCellEmpty) {
  ASSERT_TRUE(OpenRows("d.txt", {{"1", "", "", "1", "2"}, {"a", "1", "1", "120124"}}).ok());
  EXPECT_EQ(results().TextAt(5, 1), "G (richness)");
  EXPECT_TRUE(results().at(5, 4).empty());
  std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_EQ(log.find("nan"), std::string::npos);
  EXPECT_EQ(log.find("inf"), std::string::npos);
}

TEST_F(OpenTest, BadFileLeavesThePreviousOutputsAlone) {
  ASSERT_TRUE(OpenRows("good.txt", kFiveSus).ok());
  std::string goodLog = ReadWholeFile(dir.file("good.outvireltan.txt"));
  Status s = OpenRows("good.csv", {{"1", "", "", "1", "2"}, {"a", "1", "1", "12x"}});
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("row 2, column 4"), std::string::npos) << s.message();
  EXPECT_EQ(ReadWholeFile(dir.file("good.outvireltan.txt")), goodLog);
  EXPECT_TRUE(session.availability().dataset);  // the dataset before stays loaded
  EXPECT_EQ(session.info().datasetName, "good");
  EXPECT_FALSE(std::filesystem::exists(dir.file("good.outvireltan.txt.tmp")));
}

TEST_F(OpenTest, WorkbookDataFileLoadsLikeItsTextTable) {
  Book book;
  book.first() = testing::SheetFromRows(kFiveSus);
  // A workbook saved under a text name: the content decides the reader.
  ASSERT_TRUE(WriteTableFile(book, dir.file("meadow.txt"), FileType::kXlsxWorkbook).ok());
  Status s = session.Open(dir.file("meadow.txt"));
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(session.info().mlgCount, 3);
  EXPECT_EQ(results().TextAt(4, 4), "s3");
  EXPECT_DOUBLE_EQ(results().NumberAt(7, 4), 0.5);
}

TEST_F(OpenTest, UnreadableFileGivesAClearError) {
  Status s = session.Open(dir.file("absent.txt"));
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("absent.txt"), std::string::npos) << s.message();
}

TEST_F(OpenTest, CloseWritesTheLogOnceAndDisablesCommands) {
  ASSERT_TRUE(OpenRows("d.txt", kFiveSus).ok());
  session.results.first().SetTextAt(20, 1, "an analysis block");
  ASSERT_TRUE(session.Close().ok());
  std::string log = ReadWholeFile(dir.file("d.outvireltan.txt"));
  EXPECT_NE(log.find("an analysis block"), std::string::npos);
  EXPECT_FALSE(session.availability().dataset);
  EXPECT_EQ(session.results.first().LastRow(), 0);
  // A second Close (or a Quit) must not replace the log with an empty one.
  ASSERT_TRUE(session.Close().ok());
  ASSERT_TRUE(session.Quit().ok());
  EXPECT_EQ(ReadWholeFile(dir.file("d.outvireltan.txt")), log);
  EXPECT_TRUE(session.info().openAttempted);
}

TEST_F(OpenTest, QuitRewritesTheLogWithTheCurrentResults) {
  ASSERT_TRUE(OpenRows("d.txt", kFiveSus).ok());
  session.results.first().SetTextAt(30, 2, "late");
  ASSERT_TRUE(session.Quit().ok());
  EXPECT_NE(ReadWholeFile(dir.file("d.outvireltan.txt")).find("\tlate"), std::string::npos);
}

TEST_F(OpenTest, HeaderMismatchWarnsThenAnalysesRowsPresent) {
  Rows rows = kFiveSus;
  rows[0][0] = "50";
  ASSERT_TRUE(OpenRows("d.txt", rows).ok());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0],
            "!!the number of lines in the dataset does not correspond to the number of sampling "
            "units, please check (sampling units: 50 in the header, 5 in the file)");
  EXPECT_EQ(session.info().unitCount, 5);
  EXPECT_DOUBLE_EQ(results().NumberAt(7, 4), 0.5);
}

TEST_F(OpenTest, ExampleDatasetLoads) {
  std::string path = dir.file("seagrass_meadow.txt");
  std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt", path);
  ASSERT_TRUE(session.Open(path).ok());
  EXPECT_EQ(session.info().unitCount, 79);
  EXPECT_EQ(session.info().locusCount, 8);
  EXPECT_GT(session.info().mlgCount, 10);
  EXPECT_FALSE(session.info().oneAllelePairs.empty());  // the built-in somatic mutant
}

struct RealDataset {
  const char* file;
  int n, l;
  bool missing;
  int spatialDims;
  int mlgs;  // distinct genotypes, counted independently with a shell script
};

class RealDatasets : public ::testing::TestWithParam<RealDataset> {};

TEST_P(RealDatasets, OpenWithoutErrors) {
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  TempDir dir;
  // Outputs go beside the data file, so work on a copy in a temporary folder.
  std::string path = dir.file(GetParam().file);
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/" + GetParam().file, path);
  Status s = session.Open(path);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(session.info().unitCount, GetParam().n);
  EXPECT_EQ(session.info().locusCount, GetParam().l);
  EXPECT_EQ(session.info().hasMissingData, GetParam().missing);
  EXPECT_EQ(session.info().spatialDims, GetParam().spatialDims);
  EXPECT_EQ(session.info().mlgCount, GetParam().mlgs);
  EXPECT_TRUE(std::filesystem::exists(session.ResultsLogPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealDatasets,
    ::testing::Values(RealDataset{"pramorum_curry.txt", 513, 5, false, 2, 70},
                      RealDataset{"monilinia_haploid.txt", 694, 13, true, 0, 264},
                      RealDataset{"rupica.txt", 335, 9, true, 2, 332},
                      RealDataset{"nancycats_colonies.txt", 237, 9, true, 2, 237},
                      RealDataset{"pramorum_forest_nursery_nocoords.txt", 729, 5, false, 0, 98}));

}  // namespace
}  // namespace vireltan
