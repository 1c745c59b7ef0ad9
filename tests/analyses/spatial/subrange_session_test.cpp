// SPDX-License-Identifier: GPL-3.0-or-later
// The spatial commands run through the session and the command line: the
// sheets they add to the spatial results workbook, the saved file read back,
// repeated runs, refusals and cancellation.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_runner.h"
#include "session/session.h"
#include "sheet/xlsx_reader.h"
#include "sheet/zip_xml.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// Sheet names of an xlsx workbook in tab order, from its workbook part.
std::vector<std::string> XlsxSheetNames(const std::string& path) {
  struct Names : XmlHandler {
    std::vector<std::string> names;
    void StartElement(std::string_view name, const char** attributes) override {
      if (name == "sheet") {
        if (const char* n = FindAttribute(attributes, "name")) names.push_back(n);
      }
    }
    void EndElement(std::string_view) override {}
    void CharacterData(std::string_view) override {}
  } handler;
  ZipArchive archive;
  if (!archive.Open(path).ok()) return {};
  if (!archive.ParseXml("xl/workbook.xml", handler).ok()) return {};
  return handler.names;
}

std::vector<std::string> BookNames(const Book& book) {
  std::vector<std::string> names;
  for (int i = 1; i <= book.NumSheets(); ++i) names.push_back(book.SheetName(i));
  return names;
}

class SpatialSessionTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;
  std::string example;

  void SetUp() override {
    example = dir.file("seagrass_meadow.txt");
    std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt",
                               example);
    session.SetSeed(20240607u);
    ASSERT_TRUE(session.Open(example).ok());
    messages.messages.clear();
  }
  std::string workbook() const { return dir.file("seagrass_meadow.spatialcomponents.xlsx"); }
};

TEST_F(SpatialSessionTest, EachCommandPutsItsSheetInFrontAndSavesTheWorkbook) {
  ASSERT_TRUE(session.AggregationIndex(99).ok());
  ASSERT_TRUE(session.EdgeEffect(99).ok());
  ASSERT_TRUE(session.ClonalSubrange(6).ok());
  const std::vector<std::string> expected{"clonal subrange", "Edge effect", "aggregation index",
                                          "1"};
  EXPECT_EQ(BookNames(session.spatialResults), expected);
  // The file holds the results only, not the empty sheet "1".
  EXPECT_EQ(XlsxSheetNames(workbook()),
            (std::vector<std::string>{"clonal subrange", "Edge effect", "aggregation index"}));
  EXPECT_EQ(messages.messages,
            (std::vector<std::string>{"permutations done", "permutations done"}));

  // The first sheet read back: texts as texts, numbers as numbers.
  Sheet back;
  ASSERT_TRUE(ReadXlsxWorkbook(workbook(), back).ok());
  EXPECT_EQ(back.name(), "clonal subrange");
  const Sheet& held = session.spatialResults.sheet(1);
  EXPECT_EQ(back.TextAt(1, 1), "CLONAL SUBRANGE ");
  EXPECT_EQ(back.TextAt(2, 5), "p(genotypic identity)/ F(r)");
  for (int row = 3; row <= 8; ++row) {
    for (int col = 2; col <= 7; ++col) {
      EXPECT_EQ(back.at(row, col).kind(), held.at(row, col).kind()) << row << "," << col;
      EXPECT_DOUBLE_EQ(back.NumberAt(row, col), held.NumberAt(row, col)) << row << "," << col;
    }
  }
  // 79 units: 3081 pairs in six classes of 514, 514, 514, 513, 513, 513.
  EXPECT_EQ(held.NumberAt(3, 7), 514);
  EXPECT_EQ(held.NumberAt(8, 7), 513);
  EXPECT_TRUE(session.chart(ChartRole::kSubrange).visible);
  EXPECT_FALSE(session.chart(ChartRole::kSubrange).series.empty());

  const Sheet& aggregation = session.spatialResults.sheet(3);
  EXPECT_EQ(aggregation.TextAt(1, 1), "aggregation index");
  // Ac is a numeric cell, at four decimals.
  ASSERT_TRUE(aggregation.at(3, 1).isNumber());
  EXPECT_NEAR(aggregation.NumberAt(3, 1) * 1e4, std::round(aggregation.NumberAt(3, 1) * 1e4), 1e-6);
  EXPECT_EQ(aggregation.NumberAt(3, 3), 99);
}

TEST_F(SpatialSessionTest, RepeatedAggregationAndEdgeEffectKeepTheFirstResult) {
  ASSERT_TRUE(session.AggregationIndex(50).ok());
  ASSERT_TRUE(session.EdgeEffect(50).ok());
  const std::string before = ReadWholeFile(workbook());
  messages.messages.clear();
  ASSERT_TRUE(session.AggregationIndex(70).ok());
  ASSERT_TRUE(session.EdgeEffect(70).ok());
  EXPECT_EQ(session.spatialResults.NumSheets(), 3);
  EXPECT_EQ(session.spatialResults.sheet(2).NumberAt(3, 3), 50);
  EXPECT_EQ(ReadWholeFile(workbook()), before);
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_NE(messages.messages[0].find("aggregation index"), std::string::npos);
  EXPECT_NE(messages.messages[1].find("Edge effect"), std::string::npos);
}

TEST_F(SpatialSessionTest, RepeatedSubrangeAddsASuffixedSheet) {
  ASSERT_TRUE(session.ClonalSubrange(3).ok());
  ASSERT_TRUE(session.ClonalSubrange(4).ok());
  ASSERT_TRUE(session.ClonalSubrange(5).ok());
  const std::vector<std::string> expected{"clonal subrange (3)", "clonal subrange (2)",
                                          "clonal subrange", "1"};
  EXPECT_EQ(BookNames(session.spatialResults), expected);
  EXPECT_EQ(XlsxSheetNames(workbook()),
            (std::vector<std::string>(expected.begin(), expected.end() - 1)));
  Sheet back;
  ASSERT_TRUE(ReadXlsxWorkbook(workbook(), back).ok());
  EXPECT_EQ(back.LastRow(), 2 + 5);
}

TEST_F(SpatialSessionTest, SeededRunsRepeatExactly) {
  ASSERT_TRUE(session.AggregationIndex(200).ok());
  ASSERT_TRUE(session.EdgeEffect(200).ok());
  RecordingMessageSink otherMessages;
  Session other(otherMessages, progress);
  other.SetSeed(20240607u);
  ASSERT_TRUE(other.Open(example).ok());
  ASSERT_TRUE(other.AggregationIndex(200).ok());
  ASSERT_TRUE(other.EdgeEffect(200).ok());
  for (int sheet = 1; sheet <= 2; ++sheet) {
    EXPECT_EQ(other.spatialResults.sheet(sheet).TextAt(3, 1),
              session.spatialResults.sheet(sheet).TextAt(3, 1));
    EXPECT_EQ(other.spatialResults.sheet(sheet).TextAt(3, 2),
              session.spatialResults.sheet(sheet).TextAt(3, 2));
  }
}

TEST_F(SpatialSessionTest, FixedClassesFromDistancesFile) {
  Status missing = session.ClonalSubrangeFixed();
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.message(),
            "The file distances.txt is missing from the folder of the data file");
  EXPECT_FALSE(std::filesystem::exists(workbook()));

  // Limits well below the meadow's extent: a class is added up to the
  // largest distance and the user is told after the save.
  WriteTsv(dir.path() / "distances.txt", {{"2", "5", "10"}});
  ASSERT_TRUE(session.ClonalSubrangeFixed().ok());
  EXPECT_EQ(BookNames(session.spatialResults),
            (std::vector<std::string>{"clonal subrange fix.", "1"}));
  EXPECT_EQ(messages.messages,
            (std::vector<std::string>{"The dataset contains values out of the range defined in "
                                      "\"distances.txt\"!"}));
  const Sheet& sheet = session.spatialResults.sheet(1);
  EXPECT_EQ(sheet.TextAt(1, 1), "CLONAL SUBRANGE");
  EXPECT_EQ(sheet.NumberAt(3, 4), 2);
  EXPECT_EQ(sheet.NumberAt(5, 4), 10);
  EXPECT_GT(sheet.NumberAt(6, 4), 10);
  EXPECT_EQ(sheet.LastRow(), 6);
  double pairs = 0;
  for (int row = 3; row <= 6; ++row) pairs += sheet.NumberAt(row, 7);
  EXPECT_EQ(pairs, 79 * 78 / 2);
  EXPECT_EQ(XlsxSheetNames(workbook()), (std::vector<std::string>{"clonal subrange fix."}));
}

TEST_F(SpatialSessionTest, BadCountsAreRefusedBeforeAnyWork) {
  EXPECT_FALSE(session.AggregationIndex(0).ok());
  EXPECT_FALSE(session.EdgeEffect(-3).ok());
  Status classes = session.ClonalSubrange(0);
  ASSERT_FALSE(classes.ok());
  EXPECT_NE(classes.message().find("distance classes"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(workbook()));
  EXPECT_EQ(session.spatialResults.NumSheets(), 1);
}

TEST_F(SpatialSessionTest, CancelledRunWritesNothing) {
  progress.RequestCancel();
  EXPECT_TRUE(session.AggregationIndex(1000).cancelled());
  EXPECT_TRUE(session.EdgeEffect(1000).cancelled());
  EXPECT_TRUE(session.ClonalSubrange(6).cancelled());
  progress.ResetCancel();
  EXPECT_FALSE(std::filesystem::exists(workbook()));
  EXPECT_EQ(session.spatialResults.NumSheets(), 1);
  EXPECT_TRUE(messages.messages.empty());
}

TEST(SpatialRefusalTest, DatasetWithoutCoordinatesIsRefused) {
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  TempDir dir;
  WriteTsv(dir.path() / "flat.txt", {{"3", "", "", "1", "2"},
                                     {"a", "999", "999", "120124"},
                                     {"b", "999", "999", "120126"},
                                     {"c", "999", "999", "120124"}});
  ASSERT_TRUE(session.Open(dir.file("flat.txt")).ok());
  for (Status s : {session.AggregationIndex(10), session.EdgeEffect(10), session.ClonalSubrange(3),
                   session.ClonalSubrangeFixed()}) {
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find("coordinates"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("flat.spatialcomponents.xlsx")));
}

// Edge effect through the session, on four units: a clone of two at
// opposite corners and two single-unit MLGs, one at the centre of the plot
// and one at the middle of an edge. Ee is worked out by hand from the
// reference point the session derives from the loaded extents.
struct EdgeCase {
  const char* name;
  double dx, dy;   // shift of every position (UTM-like offsets)
  bool absentY;    // y column all 999 (a transect)
  const char* ee;  // expected Ee as the sheet shows it
};

class EdgeEffectSessionTest : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(EdgeEffectSessionTest, ReferencePointFromTheLoadedExtents) {
  const EdgeCase& c = GetParam();
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  session.SetSeed(3u);
  TempDir dir;
  auto cell = [](double v) {
    std::ostringstream out;
    out.precision(17);
    out << v;
    return out.str();
  };
  auto row = [&](const char* name, double x, double y, const char* genotype) {
    return std::vector<std::string>{name, cell(x + c.dx), c.absentY ? "999" : cell(y + c.dy),
                                    genotype};
  };
  WriteTsv(dir.path() / "plot.txt", {{"4", "", "", "1", "2"},
                                     row("a", 0, 0, "120124"),
                                     row("b", 10, 10, "120124"),
                                     row("c", 5, 5, "126128"),
                                     row("d", 10, 5, "130132")});
  ASSERT_TRUE(session.Open(dir.file("plot.txt")).ok());
  ASSERT_TRUE(session.EdgeEffect(100).ok());
  const Sheet& sheet = session.spatialResults.sheet(1);
  EXPECT_EQ(sheet.TextAt(1, 1), "Edge effect");
  EXPECT_EQ(sheet.TextAt(3, 1), c.ee) << c.name;
}

// Plot from the origin: centre (5, 5); r = 7.0711, 7.0711, 0, 5; mean_all =
// 4.7855, mean_s = 2.5, Ee = -0.47759. Shifted far from the origin the
// centre of the units' range (the same point of the plot) is taken, so Ee is
// unchanged. Without a y axis: centre x = 5; r = 5, 5, 0, 5; Ee = 2.5 / 3.75
// - 1.
INSTANTIATE_TEST_SUITE_P(Plots, EdgeEffectSessionTest,
                         ::testing::Values(EdgeCase{"plot", 0, 0, false, "-0.4776"},
                                           EdgeCase{"utm", 400000, 4600000, false, "-0.4776"},
                                           EdgeCase{"negative", -20, -20, false, "-0.4776"},
                                           EdgeCase{"transect", 0, 0, true, "-0.3333"}),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) {
                           return std::string(info.param.name);
                         });

struct CliRun {
  int status;
  std::string err;
};

CliRun RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = cli::Run(args, out, err);
  return {status, err.str()};
}

TEST_F(SpatialSessionTest, CommandLineRunsTheThreeCommandsInOneInvocation) {
  CliRun r = RunCli({"--seed=9", example, "aggregation", "--permutations=99", "edge-effect",
                     "subrange", "--classes=6"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(XlsxSheetNames(workbook()),
            (std::vector<std::string>{"clonal subrange", "Edge effect", "aggregation index"}));
  EXPECT_NE(r.err.find("permutations done"), std::string::npos);
}

TEST_F(SpatialSessionTest, CommandLineRefusesBadOptions) {
  // A value that is not a whole number is a usage error, found before any work.
  EXPECT_EQ(RunCli({example, "aggregation", "--permutations=abc"}).status, 2);
  EXPECT_EQ(RunCli({example, "edge-effect", "--permutations=0"}).status,
            2);  // below the minimum: a usage error
  EXPECT_EQ(RunCli({example, "subrange", "--classes=2.5"}).status, 2);
  EXPECT_EQ(RunCli({example, "subrange", "--fixed", "--classes=3"}).status, 1);
  EXPECT_EQ(RunCli({example, "subrange", "--bins=3"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists(workbook()));
  CliRun fixed = RunCli({example, "subrange", "--fixed"});
  EXPECT_EQ(fixed.status, 1);
  EXPECT_NE(fixed.err.find("The file distances.txt is missing from the folder of the data file"),
            std::string::npos);
}

}  // namespace
}  // namespace vireltan
