// SPDX-License-Identifier: GPL-3.0-or-later
// MLG > Diversity and richness and MLG > Pareto distribution on a session.
#include <gtest/gtest.h>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// Diploid units at one locus; `codes` gives each unit's genotype, so equal
// codes are one MLG.
Rows Dataset(const std::vector<std::string>& codes) {
  Rows rows{{std::to_string(codes.size()), "", "", "1", "2"}};
  int s = 0;
  for (const std::string& code : codes) {
    ++s;
    rows.push_back({"u" + std::to_string(s), std::to_string(s), "1", code});
  }
  return rows;
}

class MlgMenuCommands : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  void Open(const std::vector<std::string>& codes) {
    WriteTsv(dir.path() / "clones.txt", Dataset(codes));
    ASSERT_TRUE(session.Open(dir.file("clones.txt")).ok());
  }
  const Sheet& results() const { return session.results.first(); }
};

TEST_F(MlgMenuCommands, DiversityBlocksFollowEachOtherAfterOneEmptyRow) {
  Open({"120124", "120124", "130130", "140140"});  // clone sizes 2, 1, 1
  const int last = results().LastRow();
  ASSERT_TRUE(session.Diversity().ok());
  EXPECT_TRUE(results().at(last + 1, 1).empty());
  EXPECT_EQ(results().TextAt(last + 2, 1), "diversity indices");
  EXPECT_NEAR(results().NumberAt(last + 4, 2), 5.0 / 6.0, 1e-15);
  EXPECT_DOUBLE_EQ(results().NumberAt(last + 5, 2), 6.0);
  ASSERT_TRUE(session.Diversity().ok());
  EXPECT_EQ(results().TextAt(last + 7, 1), "diversity indices");
  const std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_NE(log.find("Shannon H\xC2\xB4\xC2\xB4\t"), std::string::npos);
  EXPECT_NE(log.find("\nHill\xC2\xB4s\t6\n"), std::string::npos) << log;
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(MlgMenuCommands, ParetoFullCaseFillsTheChartAndTheLog) {
  // Clone sizes 1, 1, 1, 1, 2, 4.
  Open({"101101", "102102", "103103", "104104", "110110", "110110", "120120", "120120", "120120",
        "120120"});
  session.chart(ChartRole::kMap).visible = true;  // left over from a previous command
  ASSERT_TRUE(session.Pareto().ok());
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_TRUE(session.chart(ChartRole::kPareto).visible);
  EXPECT_FALSE(session.chart(ChartRole::kMap).visible);
  EXPECT_EQ(session.chart(ChartRole::kPareto).title,
            "Pareto distribution of clone sizes, \"clones\"");
  EXPECT_EQ(session.chart(ChartRole::kPareto).foot, "Pareto index c = 1 - b = 1.661");
  const std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_NE(log.find("\n\npareto\tignoring Sdt Dev.\nc pareto\t1.66"), std::string::npos) << log;
}

TEST_F(MlgMenuCommands, ParetoBoundIsShownAndSaved) {
  Open({"120124", "120124", "120124"});
  ASSERT_TRUE(session.Pareto().ok());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0], "monogenotypic sample");
  EXPECT_FALSE(session.chart(ChartRole::kPareto).visible);
  const std::string log = ReadWholeFile(session.ResultsLogPath());
  // b = log10(3/4) / log10 2.
  EXPECT_NE(log.find("pareto\nb>\t-0.415037"), std::string::npos) << log;
  EXPECT_NE(log.find("c pareto<\t1.415037"), std::string::npos) << log;
}

TEST_F(MlgMenuCommands, ParetoWithOneCloneSizeWritesNothing) {
  Open({"120124", "120124", "130130", "130130"});
  const std::string before = ReadWholeFile(session.ResultsLogPath());
  const int rows = results().LastRow();
  ASSERT_TRUE(session.Pareto().ok());
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(results().LastRow(), rows);
  EXPECT_EQ(ReadWholeFile(session.ResultsLogPath()), before);
}

}  // namespace
}  // namespace vireltan
