// SPDX-License-Identifier: GPL-3.0-or-later
// The map and the network stay available to save-map and save-graph
// whatever commands follow them, and their files are whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

// Runs the command line program (it draws with the desktop build's
// renderer); the exit status, or -1 when it cannot draw.
int RunProgram(const TempDir& dir, const std::string& commands) {
  const std::string data = dir.file("meadow.txt");
  const std::string line = std::string(VIRELTAN_CLI_PATH) + " --quiet --seed=1 '" + data + "' " +
                           commands + " 2>'" + dir.file("err.txt") + "'";
  const int status = std::system(line.c_str());
  if (ReadWholeFile(dir.file("err.txt")).find("built without") != std::string::npos) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

class FigureCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt",
                               dir.file("meadow.txt"));
  }
  TempDir dir;
};

TEST_F(FigureCommands, TheMapSurvivesLaterCommands) {
  const int status = RunProgram(dir,
                                "map --coordinate-unit=m psex save-map --format=svg "
                                "--width=80 --height=60");
  if (status == -1) GTEST_SKIP() << "this vireltan-cli was built without the chart library";
  ASSERT_EQ(status, 0) << ReadWholeFile(dir.file("err.txt"));
  const std::string svg = ReadWholeFile(dir.file("meadow.svg"));
  EXPECT_NE(svg.find("width=\"80mm\" height=\"60mm\""), std::string::npos);
  EXPECT_NE(svg.find("X (m)"), std::string::npos);
}

// The unit given on one command is kept for the ones after it, and the
// figures say what the session says.
TEST_F(FigureCommands, TheCoordinateUnitReachesTheSubrangeAndTheCorrelogram) {
  const int status = RunProgram(dir,
                                "subrange --classes=5 --coordinate-unit=m autocorrelation "
                                "--classes=4 --permutations=9 save-graph --format=svg");
  if (status == -1) GTEST_SKIP() << "this vireltan-cli was built without the chart library";
  ASSERT_EQ(status, 0) << ReadWholeFile(dir.file("err.txt"));
  const std::string subrange = ReadWholeFile(dir.file("meadow.subrange.svg"));
  const std::string correlogram = ReadWholeFile(dir.file("meadow.correlogram.svg"));
  EXPECT_NE(subrange.find("Average distance of the class (m)"), std::string::npos);
  EXPECT_NE(correlogram.find("Average distance of the class (m)"), std::string::npos);
  EXPECT_EQ(correlogram.find("coordinate units"), std::string::npos);

  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  TempDir other;
  std::filesystem::copy_file(dir.file("meadow.txt"), other.file("meadow.txt"));
  ASSERT_TRUE(session.Open(other.file("meadow.txt")).ok());
  ASSERT_TRUE(session.SetCoordinateUnit("m").ok());
  ASSERT_TRUE(session.ClonalSubrange(5).ok());
  const std::string& foot = session.chart(ChartRole::kSubrange).foot;
  EXPECT_NE(subrange.find(foot), std::string::npos) << foot;
}

TEST_F(FigureCommands, TheNetworkSurvivesLaterCommands) {
  const int status = RunProgram(dir, "msn summary save-graph --format=svg");
  if (status == -1) GTEST_SKIP() << "this vireltan-cli was built without the chart library";
  ASSERT_EQ(status, 0) << ReadWholeFile(dir.file("err.txt"));
  const std::string svg = ReadWholeFile(dir.file("meadow.msn.svg"));
  EXPECT_NE(svg.find("width=\"160.00mm\" height=\"120.00mm\""), std::string::npos);
  EXPECT_NE(svg.find("Minimum spanning network"), std::string::npos);
}

// Tied edges: hidden by default (and with the older --hide-ties), drawn
// dashed with --ties-shown; the node table then holds the positions of the
// figure saved, 80 mm wide.
TEST_F(FigureCommands, TiedEdgesAreDrawnOnlyWithTiesShown) {
  auto dashes = [](const std::string& svg) {
    size_t count = 0;
    for (size_t at = svg.find("stroke-dasharray"); at != std::string::npos;
         at = svg.find("stroke-dasharray", at + 1))
      ++count;
    return count;
  };
  size_t drawn[3] = {};
  const char* options[] = {"", "--hide-ties", "--ties-shown"};
  for (int k = 0; k < 3; ++k) {
    const int status = RunProgram(dir, std::string("msn save-graph --format=svg --width=80 "
                                                   "--height=60 ") +
                                           options[k]);
    if (status == -1) GTEST_SKIP() << "this vireltan-cli was built without the chart library";
    ASSERT_EQ(status, 0) << ReadWholeFile(dir.file("err.txt"));
    drawn[k] = dashes(ReadWholeFile(dir.file("meadow.msn.svg")));
  }
  EXPECT_EQ(drawn[0], 0u);
  EXPECT_EQ(drawn[1], 0u);
  EXPECT_GT(drawn[2], 1u);  // the tied edges and their legend sample
  const std::string nodes = ReadWholeFile(dir.file("meadow.msn.nodes.csv"));
  EXPECT_EQ(nodes.substr(0, nodes.find('\n')), "node,units,populations,x (mm),y (mm)");
  std::istringstream rows(nodes.substr(nodes.find('\n') + 1));
  std::string row;
  while (std::getline(rows, row)) {
    const double y = std::stod(row.substr(row.rfind(',') + 1));
    const std::string rest = row.substr(0, row.rfind(','));
    const double x = std::stod(rest.substr(rest.rfind(',') + 1));
    EXPECT_TRUE(x > 0 && x < 80 && y > 0 && y < 60) << row;
  }
  EXPECT_NE(RunProgram(dir, "msn save-graph --ties-shown --hide-ties"), 0);
}

TEST_F(FigureCommands, AnImageBeyondThePixelLimitIsRefusedAndNothingWritten) {
  const int status = RunProgram(dir, "map save-map --dpi=2400 --width=1000 --height=1000");
  if (status == -1) GTEST_SKIP() << "this vireltan-cli was built without the chart library";
  EXPECT_NE(status, 0);
  const std::string err = ReadWholeFile(dir.file("err.txt"));
  EXPECT_NE(err.find("20,000 pixels"), std::string::npos) << err;
  EXPECT_EQ(err.find("QPainter"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("meadow.png")));
}

// SNP data: Open draws the histogram of sample call rates, which save-graph
// writes as .callrate beside the charts of the commands after it.
TEST(SnpFigureCommands, SaveGraphWritesTheCallRates) {
  TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/clonal.vcf.gz",
                             dir.file("clonal.vcf.gz"));
  const std::string line =
      std::string(VIRELTAN_CLI_PATH) + " --quiet '" + dir.file("clonal.vcf.gz") +
      "' allelic-distance save-graph --format=svg 2>'" + dir.file("err.txt") + "'";
  const int status = std::system(line.c_str());
  if (ReadWholeFile(dir.file("err.txt")).find("built without") != std::string::npos)
    GTEST_SKIP() << "this vireltan-cli was built without the chart library";
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadWholeFile(dir.file("err.txt"));
  const std::string svg = ReadWholeFile(dir.file("clonal.callrate.svg"));
  EXPECT_NE(svg.find("Sample call rates"), std::string::npos);
  EXPECT_NE(svg.find("Number of samples"), std::string::npos);
  EXPECT_NE(svg.find("Sample call rate (share of the SNPs called)"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("clonal.gendist.svg")));
}

}  // namespace
}  // namespace vireltan
