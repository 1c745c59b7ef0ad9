// SPDX-License-Identifier: GPL-3.0-or-later
// Tests > Psex as the window and the command line run it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analyses/identity/identity_fixtures.h"
#include "cli/cli_runner.h"
#include "charts/chart_renderer.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::IndependentUpperTail;
using testing::ReadWholeFile;
using testing::TempDir;

// Counts how often the progress panel is shown and hidden.
class CountingProgress : public ProgressSink {
 public:
  int begins = 0, ends = 0;
  void Begin() override { ++begins; }
  void End() override { ++ends; }
};

class PsexCommand : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  CountingProgress progress;
  Session session{messages, progress};
  TempDir dir;

  // A diploid dataset of n units and three loci; unit s carries genotype
  // number s % distinct, so the MLGs are repeated about n / distinct times.
  std::string WriteSynthetic(int n, int distinct) {
    std::string path = dir.file("synthetic" + std::to_string(n) + ".txt");
    std::ofstream out(path);
    out << n << "\t\t\t3\t2\n";
    for (int s = 0; s < n; ++s) {
      int g = s % distinct;
      out << "su" << s << "\t" << s << "\t" << s % 17;
      for (int l = 0; l < 3; ++l) {
        int a = 100 + (g * 7 + l * 3) % 11;
        int b = 100 + (g * 13 + l * 5 + g / 11) % 9;
        out << "\t" << a << b;
      }
      out << "\n";
    }
    return path;
  }

  const Sheet& results() const { return session.results.first(); }

  int RowOf(const std::string& text, int col = 1) const {
    for (int r = 1; r <= results().LastRow(); ++r)
      if (results().TextAt(r, col) == text) return r;
    return 0;
  }

  // Checks every re-encounter row of the block against the direct sum, with
  // the given relative tolerance; returns the number of rows checked.
  int CheckPsexRows(int n, double tolerance) {
    int headings = RowOf("pgen", 3);
    EXPECT_GT(headings, 0);
    int checked = 0;
    for (int r = headings + 1; r <= results().LastRow(); ++r) {
      if (results().at(r, 6).empty()) continue;
      int k = static_cast<int>(results().NumberAt(r, 6));
      double pgen = results().NumberAt(r, 3);
      double psex = results().NumberAt(r, 7);
      long double expected = IndependentUpperTail(k, n, pgen);
      if (expected < 1e-300L) {
        EXPECT_LT(psex, 1e-290);
      } else {
        EXPECT_NEAR(psex / static_cast<double>(expected), 1.0, tolerance) << "row " << r;
      }
      if (!results().at(r, 4).empty()) {
        long double expectedFis = IndependentUpperTail(k, n, results().NumberAt(r, 4));
        if (expectedFis >= 1e-300L)
          EXPECT_NEAR(results().NumberAt(r, 8) / static_cast<double>(expectedFis), 1.0, tolerance);
      }
      ++checked;
    }
    return checked;
  }
};

TEST_F(PsexCommand, AppendsTheBlockWritesTheLogAndDisablesItself) {
  ASSERT_TRUE(session.Open(WriteSynthetic(30, 12)).ok());
  const int before = results().LastRow();
  ASSERT_TRUE(session.availability().psex);
  ASSERT_TRUE(session.Psex().ok());
  // Two empty rows, then the block.
  EXPECT_EQ(session.lastBlockRow(), before + 2);
  EXPECT_EQ(results().TextAt(before + 3, 1), "round rob");
  EXPECT_TRUE(results().at(before + 1, 1).empty());
  EXPECT_TRUE(results().at(before + 2, 1).empty());
  EXPECT_EQ(session.LocusFis.size(), 3u);
  EXPECT_GT(session.LocusHnb[0], 0);
  EXPECT_EQ(progress.begins, 1);
  EXPECT_EQ(progress.ends, 1);
  EXPECT_TRUE(messages.messages.empty());
  std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_NE(log.find("round rob\tall. freq\tpgen&psex"), std::string::npos);
  EXPECT_NE(log.find("\t\tpgen\tpgen (fis)\tnbramets\treencounter\tpsex 1 reencounter\t"
                     "psex (fis) 1 reencounter"),
            std::string::npos);
  EXPECT_EQ(CheckPsexRows(30, 1e-8), session.info().unitCount - session.info().mlgCount);

  // Once per dataset; a new Open enables it again.
  EXPECT_FALSE(session.availability().psex);
  Status again = session.Psex();
  EXPECT_FALSE(again.ok());
  EXPECT_NE(again.message().find("already"), std::string::npos);
  ASSERT_TRUE(session.Open(session.info().dataFilePath).ok());
  EXPECT_TRUE(session.availability().psex);
}

TEST_F(PsexCommand, FiveHundredUnitsUseTheTableWithoutMessage) {
  ASSERT_TRUE(session.Open(WriteSynthetic(500, 420)).ok());
  ASSERT_TRUE(session.Psex().ok());
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(CheckPsexRows(500, 1e-8), 500 - session.info().mlgCount);
}

TEST_F(PsexCommand, MoreThanFiveHundredUnitsAreComputedInLogSpaceWithoutMessage) {
  ASSERT_TRUE(session.Open(WriteSynthetic(501, 420)).ok());
  ASSERT_TRUE(session.Psex().ok());
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(CheckPsexRows(501, 1e-11), 501 - session.info().mlgCount);
}

TEST_F(PsexCommand, RealDatasetOfMoreThanFiveHundredIsolates) {
  const std::string path = dir.file("pramorum_curry.txt");
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt", path);
  ASSERT_TRUE(session.Open(path).ok());
  ASSERT_EQ(session.info().unitCount, 513);
  ASSERT_TRUE(session.Psex().ok());
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(CheckPsexRows(513, 1e-11), 513 - session.info().mlgCount);
}

TEST_F(PsexCommand, CancelledRunWritesNothing) {
  ASSERT_TRUE(session.Open(WriteSynthetic(40, 10)).ok());
  const std::string logBefore = ReadWholeFile(session.ResultsLogPath());
  const int rowsBefore = results().LastRow();
  progress.RequestCancel();
  EXPECT_TRUE(session.Psex().cancelled());
  EXPECT_EQ(results().LastRow(), rowsBefore);
  EXPECT_EQ(ReadWholeFile(session.ResultsLogPath()), logBefore);
  EXPECT_TRUE(session.availability().psex);
  EXPECT_EQ(progress.ends, progress.begins);
}

TEST_F(PsexCommand, RefusedWithMissingDataOrWithoutDataset) {
  EXPECT_FALSE(session.Psex().ok());
  testing::WriteTsv(
      dir.path() / "missing.txt",
      {{"2", "", "", "1", "2"}, {"a", "1", "1", "120124"}, {"b", "2", "2", "999999"}});
  ASSERT_TRUE(session.Open(dir.file("missing.txt")).ok());
  Status refused = session.Psex();
  EXPECT_FALSE(refused.ok());
  EXPECT_NE(refused.message().find("missing data"), std::string::npos);
  EXPECT_FALSE(session.Diversity().ok());
  EXPECT_FALSE(session.Pareto().ok());
}

// One invocation of the command line: the three blocks in order in the log,
// and the Pareto chart saved when this build can draw charts.
TEST(IdentityCommandLine, PsexDiversityParetoInOneRun) {
  TempDir dir;
  const std::string data = dir.file("seagrass_meadow.txt");
  std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt", data);
  const bool canDraw = MakeRegisteredChartRenderer() != nullptr;
  std::vector<std::string> args{data, "psex", "diversity", "pareto"};
  if (canDraw) args.push_back("save-graph");
  std::ostringstream out, err;
  ASSERT_EQ(cli::Run(args, out, err), 0) << err.str();
  std::string log = ReadWholeFile(dir.file("seagrass_meadow.outvireltan.txt"));
  size_t psex = log.find("round rob");
  size_t diversity = log.find("diversity indices");
  size_t pareto = log.find("pareto\tignoring Sdt Dev.");
  ASSERT_NE(psex, std::string::npos);
  ASSERT_NE(diversity, std::string::npos);
  ASSERT_NE(pareto, std::string::npos);
  EXPECT_LT(psex, diversity);
  EXPECT_LT(diversity, pareto);
  if (canDraw) EXPECT_TRUE(std::filesystem::exists(dir.file("seagrass_meadow.pareto.svg")));

  // A second psex in the same run is refused: exit status 1 with a message.
  std::ostringstream out2, err2;
  EXPECT_EQ(cli::Run({data, "psex", "psex"}, out2, err2), 1);
  EXPECT_NE(err2.str().find("already"), std::string::npos);
}

}  // namespace
}  // namespace vireltan
