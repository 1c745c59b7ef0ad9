// SPDX-License-Identifier: GPL-3.0-or-later
// Designations kept as written, the tables a user takes away, and the
// summary's exact values.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;

// A node table without its last two columns (each node's position in the
// drawing, which the layout tests check).
std::string WithoutPositions(const std::string& csv) {
  std::string out, line;
  std::istringstream in(csv);
  while (std::getline(in, line)) {
    for (int k = 0; k < 2; ++k) line = line.substr(0, line.rfind(','));
    out += line + "\n";
  }
  return out;
}

TEST(ExchangeTables, DesignationsAsWrittenAndTablesToTakeAway) {
  testing::TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s(messages, progress);
  // MLGs 1 (2236.10, 1.1) and 2 (2236.1) one allele apart, MLG 3 (007) far.
  testing::WriteTsv(dir.path() / "bog.txt", {{"4", "", "", "1", "2"},
                                             {"2236.10", "1", "1", "120120"},
                                             {"2236.1", "2", "2", "120122"},
                                             {"1.1", "3", "3", "120120"},
                                             {"007", "4", "4", "150150"}});
  testing::WriteTsv(
      dir.path() / "pops.txt",
      {{"2236.1", "north"}, {"2236.10", "south"}, {"007", "north"}, {"1.1", "south"}});
  ASSERT_TRUE(s.Open(dir.file("bog.txt")).ok());
  EXPECT_NE(ReadWholeFile(s.ResultsLogPath()).find("1\t2236.10\t1.1\n2\t2236.1\n3\t007\n"),
            std::string::npos);
  EXPECT_EQ(s.datasetGrid.first().at(4, 1), Cell::Text("007"));
  ASSERT_TRUE(s.LoadPopulations(dir.file("pops.txt")).ok());
  ASSERT_TRUE(s.Lineages(MlgDistanceKind::kAllelic, Linkage::kNearest, 1).ok());
  // poppr's lineage numbers: poppr numbers MLGs 3, 2, 1 as 1, 2, 3; MLGs 2
  // and 1 (slots 2 and 3) merge with equal sums, (2 + 1) / 3, and slot 2
  // keeps them.
  EXPECT_EQ(ReadWholeFile(dir.file("bog.units.csv")),
            "designation,population,MLG,MLL\n2236.10,south,1,2\n2236.1,north,2,2\n"
            "1.1,south,1,2\n007,north,3,1\n");
  ASSERT_TRUE(s.SpanningNetwork(MlgDistanceKind::kAllelic, false).ok());
  EXPECT_EQ(WithoutPositions(ReadWholeFile(dir.file("bog.msn.nodes.csv"))),
            "node,units,populations\n1,2,south (2)\n2,1,north (1)\n3,1,north (1)\n");
  ASSERT_TRUE(s.PopulationSummary(0, false, true).ok());
  const std::string csv = ReadWholeFile(dir.file("bog.summary.csv"));
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "Pop,N,MLG,eMLG,SE,H,G,lambda,E.5,Hexp,Ia,rbarD,dataset,units_counted,counted,"
            "mll_distance,mll_linkage,mll_threshold,eMLG_n,Ia_missing,null,permutations");
  EXPECT_NE(csv.find(",bog,all units,MLG,,,,10,,,\n"), std::string::npos) << csv;
  EXPECT_LT(csv.find("\nnorth,"), csv.find("\nsouth,")) << csv;  // by name, not file order
}

// The network's node table lists a node's populations in the file's order,
// or by name when asked, on the command line's and the window's call alike.
TEST(ExchangeTables, NetworkNodeTableOrdersPopulationsAsAsked) {
  testing::TempDir dir;
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s(messages, progress);
  testing::WriteTsv(dir.path() / "bay.txt", {{"3", "", "", "1", "2"},
                                             {"a", "1", "1", "120120"},
                                             {"b", "2", "2", "120120"},
                                             {"c", "3", "3", "150150"}});
  testing::WriteTsv(dir.path() / "pops.txt", {{"a", "zeta"}, {"b", "alpha"}, {"c", "alpha"}});
  ASSERT_TRUE(s.Open(dir.file("bay.txt")).ok());
  ASSERT_TRUE(s.LoadPopulations(dir.file("pops.txt")).ok());
  for (bool sorted : {false, true}) {
    ASSERT_TRUE(
        s.SpanningNetwork(MlgDistanceKind::kAllelic, false, NetworkTies::kPoppr, sorted).ok());
    EXPECT_EQ(WithoutPositions(ReadWholeFile(dir.file("bay.msn.nodes.csv"))),
              std::string("node,units,populations\n1,2,") +
                  (sorted ? "alpha (1); zeta (1)" : "zeta (1); alpha (1)") + "\n2,1,alpha (1)\n");
  }
}

// The nancycats colonies' summary (every cat its own MLG) writes its exact
// values exactly: SE 0, E.5 1, G = N, and n = max(smallest colony, 10).
TEST(SummaryNumbers, NancycatsColoniesWriteExactValuesExactly) {
  testing::TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt",
                             dir.path() / "cats.txt");
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session s(messages, progress);
  ASSERT_TRUE(s.Open(dir.file("cats.txt")).ok());
  const Dataset& d = s.dataset();
  // One position per colony: the colonies as populations.
  std::map<std::pair<double, double>, std::string> colony;
  testing::Rows strata;
  for (int su = 0; su < d.sampleCount; ++su)
    strata.push_back(
        {d.designationText(su),
         colony.emplace(std::make_pair(d.x[su], d.y[su]), std::to_string(colony.size()))
             .first->second});
  testing::WriteTsv(dir.path() / "colonies.txt", strata);
  ASSERT_TRUE(s.LoadPopulations(dir.file("colonies.txt")).ok());
  ASSERT_TRUE(s.PopulationSummary(0, false).ok());

  const std::string log = ReadWholeFile(s.ResultsLogPath());
  std::istringstream lines(log.substr(log.rfind("\nPop\tN\t") + 1));
  std::string line;
  // Each row (17 colonies and the total): N, MLG = N, eMLG, SE 0, H, G = N,
  // lambda, E.5 1, then the rest.
  const std::regex exact("[^\t]+\t(\\d+)\t\\1\t[^\t]+\t0\t[^\t]+\t\\1\t[^\t]+\t1\t.*");
  for (int row = 0; row <= 18; ++row) {
    std::getline(lines, line);
    if (row > 0) EXPECT_TRUE(std::regex_match(line, exact)) << line;
  }
  std::getline(lines, line);
  EXPECT_EQ(line, "eMLG and SE for n =\t10");
}

}  // namespace
}  // namespace vireltan
