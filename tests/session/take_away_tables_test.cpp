// SPDX-License-Identifier: GPL-3.0-or-later
// The tables a user takes away: units with MLG and MLL, the summary as CSV
// under its title, the network's nodes.
#include <gtest/gtest.h>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;

class TakeAwayTables : public ::testing::Test {
 protected:
  void SetUp() override {
    // Four units, three MLGs; MLGs 1 and 2 one allele apart, MLG 3 far.
    testing::WriteTsv(dir.path() / "bog.txt", {{"4", "", "", "2", "2"},
                                               {"007", "1", "1", "120120", "130130"},
                                               {"b", "2", "2", "120122", "130130"},
                                               {"1.10", "3", "3", "120120", "130130"},
                                               {"d", "4", "4", "150150", "160160"}});
    testing::WriteTsv(dir.path() / "pops.txt",
                      {{"007", "south"}, {"b", "north"}, {"1.10", "south"}, {"d", "north"}});
    ASSERT_TRUE(session.Open(dir.file("bog.txt")).ok());
    ASSERT_TRUE(session.LoadPopulations(dir.file("pops.txt")).ok());
  }
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  testing::TempDir dir;
};

TEST_F(TakeAwayTables, UnitsTableBeforeAndAfterLineages) {
  ASSERT_TRUE(session.WriteUnitsTable().ok());
  EXPECT_EQ(ReadWholeFile(dir.file("bog.units.csv")),
            "designation,population,MLG,MLL\n007,south,1\nb,north,2\n1.10,south,1\nd,north,3\n");
  ASSERT_TRUE(session.Lineages(MlgDistanceKind::kAllelic, Linkage::kNearest, 1).ok());
  EXPECT_EQ(ReadWholeFile(dir.file("bog.units.csv")),
            "designation,population,MLG,MLL\n007,south,1,1\nb,north,2,1\n1.10,south,1,1\n"
            "d,north,3,2\n");
  ASSERT_TRUE(session.SpanningNetwork(MlgDistanceKind::kAllelic, false).ok());
  EXPECT_EQ(ReadWholeFile(dir.file("bog.msn.nodes.csv")),
            "node,units,populations\n1,2,south (2)\n2,1,north (1)\n3,1,north (1)\n");
}

TEST_F(TakeAwayTables, SummaryCsvHasItsTitleAndPopulationsInTheOrderAsked) {
  for (bool sorted : {false, true}) {
    ASSERT_TRUE(session.PopulationSummary(0, true, sorted).ok());
    const std::string csv = ReadWholeFile(dir.file("bog.summary.csv"));
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "Population summary,bog,clone-corrected,counting MLGs");
    const size_t south = csv.find("\nsouth,1,1,"), north = csv.find("\nnorth,2,2,");
    ASSERT_NE(south, std::string::npos) << csv;
    ASSERT_NE(north, std::string::npos) << csv;
    EXPECT_EQ(north < south, sorted) << csv;
    // The results log holds the same block under the same title.
    const std::string log = ReadWholeFile(session.ResultsLogPath());
    EXPECT_NE(log.find("Population summary\tbog\tclone-corrected\tcounting MLGs\nPop\tN\t"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace vireltan
