// SPDX-License-Identifier: GPL-3.0-or-later
// GenAlEx and Genepop in and out, strata tables, and their bad input.
#include <gtest/gtest.h>

#include <filesystem>

#include "session/session.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// The results log without its first line (the dataset's name) and without
// the block listing the populations of each MLG.
std::string LogBody(const Session& s) {
  std::string log = ReadWholeFile(s.ResultsLogPath());
  log = log.substr(log.find('\n') + 1);
  size_t block = log.find("MLG\tpopulations\n");
  if (block != std::string::npos) {
    size_t end = log.find("\n\n", block);
    log.erase(block, end == std::string::npos ? std::string::npos : end + 2 - block);
  }
  // The summary's title names the data file, which differs between copies.
  const std::string title = "Population summary\t";
  for (size_t at = log.find(title); at != std::string::npos; at = log.find(title, at + 1))
    log.erase(at + title.size(), log.find('\t', at + title.size()) - at - title.size());
  return log;
}

// A workbook's first sheet as comma-separated text (a GenAlEx .csv).
void WriteCsv(const std::string& from, const std::string& to) {
  Book book;
  ASSERT_TRUE(ReadTableFile(from, book).ok());
  std::string text;
  const Sheet& s = book.first();
  for (int r = 1; r <= s.LastRow(); ++r) {
    for (int c = 1; c <= s.LastCol(); ++c) text += (c > 1 ? "," : "") + s.TextAt(r, c);
    text += "\r\n";
  }
  std::ofstream(to, std::ios::binary) << text;
}

class RoundTripTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTripTest, NativeGenAlExCsvAndGenepopGiveTheSameResults) {
  TempDir dir;
  const std::string name = GetParam();
  fs::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/../tests/data/" + name + ".txt",
                dir.path() / (name + ".txt"));
  RecordingMessageSink messages;
  NullProgressSink progress;
  auto run = [&](Session& s, const std::string& path) {
    ASSERT_TRUE(s.Open(path).ok()) << path;
    if (!s.info().hasMissingData) {
      ASSERT_TRUE(s.Psex().ok());
      ASSERT_TRUE(s.Diversity().ok());
    }
    ASSERT_TRUE(s.PopulationSummary(0, true).ok());
  };
  Session native(messages, progress);
  run(native, dir.file(name + ".txt"));
  ASSERT_TRUE(native.ExportGenAlEx(false).ok());
  ASSERT_TRUE(native.ExportGenepop(false).ok());
  fs::rename(dir.file(name + ".genalex.xlsx"), dir.file("gx.xlsx"));
  fs::rename(dir.file(name + ".genepop.gen"), dir.file("gp.gen"));
  WriteCsv(dir.file("gx.xlsx"), dir.file("gx.csv"));
  const Dataset& d = native.dataset();
  for (const char* copy : {"gx.xlsx", "gx.csv", "gp.gen"}) {
    Session s(messages, progress);
    run(s, dir.file(copy));
    EXPECT_EQ(LogBody(s), LogBody(native)) << copy;
    const Dataset& e = s.dataset();
    ASSERT_EQ(e.sampleCount, d.sampleCount);
    EXPECT_EQ(e.ploidy % 2, d.ploidy % 2);
    EXPECT_EQ(e.locusNames, d.locusNames);
    for (int su = 0; su < d.sampleCount; ++su) {
      EXPECT_EQ(e.designationText(su), d.designationText(su));
      EXPECT_EQ(e.populationNames[e.populationOfSu[su]], name);
      if (std::string(copy) != "gp.gen") {  // Genepop has no coordinates
        EXPECT_EQ(e.x[su], d.x[su]);
        EXPECT_EQ(e.y[su], d.y[su]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Datasets, RoundTripTest,
                         ::testing::Values("pramorum_curry", "nancycats_colonies",
                                           "monilinia_haploid"));

class PopulationFilesTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;
  Status OpenRows(const std::string& name, const Rows& rows) {
    WriteTsv(dir.path() / name, rows);
    return session.Open(dir.file(name));
  }
  Status OpenText(const std::string& name, const std::string& text) {
    std::ofstream(dir.path() / name, std::ios::binary) << text;
    return session.Open(dir.file(name));
  }
};

const Rows kGenAlEx{{"2", "3", "2", "2", "1"},
                    {"survey", "", "", "north", "south"},
                    {"Sample", "Pop", "A", "", "B", "", "", "X", "Y"},
                    {"s1", "north", "1500", "120", "7", "9", "", "1", "2"},
                    {"s2", "north", "1500", "120", "7", "9", "", "3", "4"},
                    {"s3", "south", "0", "0", "8", "-9", "", "5", "6"}};

TEST_F(PopulationFilesTest, GenAlExKeepsRealSizesAndRefusesThreeDigitExports) {
  ASSERT_TRUE(OpenRows("gx.txt", kGenAlEx).ok());
  const Dataset& d = session.dataset();
  EXPECT_EQ(d.alleleAt(0, 0, 0), 120);
  EXPECT_EQ(d.alleleAt(0, 0, 1), 1500);
  EXPECT_EQ(d.populationCount(), 2);
  EXPECT_EQ(d.x[2], 5);
  EXPECT_TRUE(d.hasMissingData);
  Status quorvex = session.ExportQuorvex();
  ASSERT_FALSE(quorvex.ok());
  EXPECT_NE(quorvex.message().find("allele 1500 at locus \"A\""), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.file("gx.quorvex.txt")));
  EXPECT_FALSE(session.ExportArlequin().ok());
  EXPECT_FALSE(session.ExportGenepop(false).ok());
  EXPECT_FALSE(fs::exists(dir.file("gx.genepop.gen")));
  ASSERT_TRUE(session.ExportGenAlEx(true).ok());
  // Clone-corrected: s1 and s2 are one MLG in one population.
  Book written;
  ASSERT_TRUE(ReadTableFile(dir.file("gx.genalex.xlsx"), written).ok());
  EXPECT_EQ(written.first().NumberAt(1, 2), 2);
  EXPECT_EQ(written.first().TextAt(5, 1), "s3");
}

TEST_F(PopulationFilesTest, BadInputNamesFileRowAndColumn) {
  Rows counts = kGenAlEx;
  counts[0][1] = "5";
  ASSERT_TRUE(OpenRows("counts.txt", counts).ok());
  ASSERT_FALSE(messages.messages.empty());
  EXPECT_NE(messages.messages[0].find("counts.txt\", row 1, column 2: the header gives 5 samples"),
            std::string::npos)
      << messages.messages[0];

  Rows fraction = kGenAlEx;
  fraction[4][4] = "7.5";
  Status s = OpenRows("fraction.txt", fraction);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("fraction.txt\", row 5, column 5 (locus \"B\"): \"7.5\""),
            std::string::npos)
      << s.message();

  s = OpenText("short.gen", "cats\nfca8, fca23\nPop\nN1 , 0102 0304\nN2 , 0102\n");
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("short.gen\", row 5, column 3: individual \"N2\" has 1 genotypes"),
            std::string::npos)
      << s.message();

  ASSERT_TRUE(OpenRows("native.txt", {{"3", "", "", "1", "2"},
                                      {"a", "1", "1", "120120"},
                                      {"b", "2", "2", "120122"},
                                      {"c", "3", "3", "122122"}})
                  .ok());
  const std::string log = ReadWholeFile(session.ResultsLogPath());
  WriteTsv(dir.path() / "strata.txt", {{"unit", "population"}, {"a", "P1"}, {"zz", "P2"}});
  s = session.LoadPopulations(dir.file("strata.txt"));
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("strata.txt\", row 3, column 1: \"zz\" is not a designation"),
            std::string::npos)
      << s.message();
  WriteTsv(dir.path() / "strata.txt", {{"a", "P1"}, {"b", "P2"}});
  s = session.LoadPopulations(dir.file("strata.txt"));
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("\"c\""), std::string::npos) << s.message();
  EXPECT_EQ(ReadWholeFile(session.ResultsLogPath()), log);
}

TEST_F(PopulationFilesTest, StrataGiveNativeUnitsTheirPopulations) {
  ASSERT_TRUE(OpenRows("native.txt", {{"3", "", "", "1", "2"},
                                      {"a", "1", "1", "120120"},
                                      {"b", "2", "2", "120122"},
                                      {"c", "3", "3", "120120"}})
                  .ok());
  EXPECT_EQ(session.dataset().populationNames, std::vector<std::string>{"native"});
  std::ofstream(dir.path() / "strata.csv") << "a,P1\nb,P2\nc,P2\n";
  ASSERT_TRUE(session.LoadPopulations(dir.file("strata.csv")).ok());
  const std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_NE(log.find("MLG\tpopulations\n1\tP1\tP2\n2\tP2\n"), std::string::npos) << log;
  EXPECT_EQ(session.datasetGrid.first().TextAt(3, 5), "P2");
}

}  // namespace
}  // namespace vireltan
