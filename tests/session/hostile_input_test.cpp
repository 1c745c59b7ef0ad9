// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile data files and failing outputs at the level of Open and the
// commands: memory bounded by the file, finite coordinates, bounded
// messages, whole-or-untouched charts, bounded exhaustive work.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "analyses/spatial/mlg_map.h"
#include "dataset/dataset_reader.h"
#include "session/chart_files.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

class HostileInputTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir.file(name), std::ios::binary) << text;
    return dir.file(name);
  }
  // N diploid SUs on a line, one locus each, as text.
  static std::string Dataset(int n, const std::string& ploidy = "2", const std::string& x = "1") {
    std::string text = std::to_string(n) + "\t\t\t1\t" + ploidy + "\n";
    for (int i = 1; i <= n; ++i)
      text += "s" + std::to_string(i) + "\t" + (i == 2 ? x : std::to_string(i)) + "\t0\t" +
              (i % 2 ? "120124" : "130130") + "\n";
    return text;
  }
};

// Finding 1: one stray cell far right made Open copy a dense grid as wide as
// it, rows x 400,005 cells, and abort with bad_alloc.
TEST_F(HostileInputTest, StrayCellFarRightIsIgnoredWithOneWarning) {
  std::string text = Dataset(5000);
  text += "s5001\t1\t1\t120124" + std::string(400001, '\t') + "x\n";
  text.replace(0, 4, "5001");
  ASSERT_TRUE(session.Open(Write("stray.txt", text)).ok());
  EXPECT_LE(session.datasetGrid.first().LastCol(), 5);  // with the population column
  ASSERT_FALSE(messages.messages.empty());
  EXPECT_NE(messages.messages[0].find("row 5002, column 400005"), std::string::npos)
      << messages.messages[0];
}

// Findings 2 and 3: coordinates of +-1e20 or 1e308 were accepted, overflowed
// every distance, and sent the map's labels into an endless loop.
TEST_F(HostileInputTest, CoordinatesBeyondABillionAreRefusedAtLoad) {
  for (const char* x : {"-1e20", "1e308", "1000000001"}) {
    Status s = session.Open(Write("far.txt", Dataset(3, "2", x)));
    ASSERT_FALSE(s.ok()) << x;
    EXPECT_NE(s.message().find("row 3, column 2"), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("-1e9 to 1e9"), std::string::npos) << s.message();
    EXPECT_FALSE(std::filesystem::exists(dir.file("far.outvireltan.txt")));
  }
  EXPECT_TRUE(session.Open(Write("near.txt", Dataset(3, "2", "-1e9"))).ok());
}

TEST_F(HostileInputTest, MapLabelsStayFewAndFiniteAtExtremeRanges) {
  for (auto [lo, hi] : {std::pair{-1e20, 0.0}, {-1e300, 1e300}, {0.0, 9.1e18}, {-1e9, 1e9}}) {
    auto labels = MapAxisLabels(lo, hi, true);
    EXPECT_LE(labels.size(), 32u) << lo;
    for (const AxisLabel& l : labels) EXPECT_TRUE(std::isfinite(l.value) && !l.text.empty());
  }
}

// Finding 7: a 10 MB cell was quoted whole in the message.
TEST_F(HostileInputTest, ABadCellIsQuotedShortWithItsLength) {
  std::string text = Dataset(3);
  text.replace(text.find("130130"), 6, std::string(10 << 20, 'A'));
  Status s = session.Open(Write("long.txt", text));
  ASSERT_FALSE(s.ok());
  EXPECT_LT(s.message().size(), 400u);
  EXPECT_NE(s.message().find("\"" + std::string(40, 'A') + "\xE2\x80\xA6\" (10485760 characters)"),
            std::string::npos)
      << s.message();
}

// Finding 8: ploidy 3, 4, 99 and -1 were read as their parity.
TEST_F(HostileInputTest, OnlyHaploidAndDiploidDataAreRead) {
  for (const char* ploidy : {"3", "4", "99", "-1"}) {
    Status s = session.Open(Write("p.txt", Dataset(3, ploidy)));
    ASSERT_FALSE(s.ok()) << ploidy;
    EXPECT_NE(s.message().find("only haploid (1) and diploid (2) data are supported"),
              std::string::npos)
        << s.message();
  }
  ASSERT_TRUE(session.Open(Write("p.txt", Dataset(3, ""))).ok());
  EXPECT_EQ(messages.messages.back(), "ploidy level is not defined, it will be set to 2");
}

TEST_F(HostileInputTest, HeaderMismatchWarningsGiveBothNumbers) {
  std::string text = Dataset(4);
  text.replace(0, 1, "6");
  text.replace(text.find("\t1\t2"), 4, "\t3\t2");
  ASSERT_TRUE(session.Open(Write("m.txt", text)).ok());
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(messages.messages[0],
            std::string(kLinesWarning) + "(sampling units: 6 in the header, 4 in the file)");
  EXPECT_EQ(messages.messages[1],
            std::string(kColumnsWarning) + "(loci: 3 in the header, 1 in the file)");
}

// Finding 8: a read-only data folder made Open fail; outputs can now go
// elsewhere.
TEST_F(HostileInputTest, OutputFolderLetsAReadOnlyDataFolderBeOpened) {
  TempDir out;
  std::filesystem::create_directory(dir.path() / "data");
  std::ofstream(dir.path() / "data" / "ro.txt") << Dataset(3);
  chmod((dir.path() / "data").c_str(), 0555);
  ASSERT_TRUE(session.SetOutputDirectory(out.path().string()).ok());
  Status s = session.Open((dir.path() / "data" / "ro.txt").string());
  chmod((dir.path() / "data").c_str(), 0755);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_TRUE(std::filesystem::exists(out.file("ro.outvireltan.txt")));
  EXPECT_FALSE(session.SetOutputDirectory(dir.file("missing")).ok());
}

// Finding 6: 2^L subsets were enumerated for any L, without end at 64.
TEST_F(HostileInputTest, CombinationsOfManyLociAreEstimatedNotRun) {
  std::string text = "3\t\t\t25\t2\n";
  for (int i = 1; i <= 3; ++i) {
    text += "s" + std::to_string(i) + "\t1\t1";
    for (int k = 0; k < 25; ++k) text += i == 1 ? "\t120124" : "\t130130";
    text += "\n";
  }
  ASSERT_TRUE(session.Open(Write("wide.txt", text)).ok());
  ExhaustiveEstimate estimate = session.EstimateCombinationLoci();
  EXPECT_EQ(estimate.subsets, 33554431.0);
  EXPECT_TRUE(estimate.tooLarge);
  EXPECT_GT(estimate.seconds, 0.0);
  int rows = session.results.first().LastRow();
  Status s = session.CombineLoci();
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("33554431 subsets"), std::string::npos) << s.message();
  EXPECT_NE(s.message().find("resample-loci"), std::string::npos);
  EXPECT_EQ(session.results.first().LastRow(), rows);
}

// Finding 4: a renderer whose drawing came out cut short left a truncated
// SVG in place of the chart.
class TruncatingRenderer : public ChartRenderer {
 public:
  Status RenderFigure(const ChartData&, const FigureOptions&, FigureBytes& out) override {
    out.svg = "<svg><g>";
    out.png = "\x89PNG";
    return Status::Ok();
  }
  Status RenderSvgDrawing(const std::string&, const FigureOptions&, FigureBytes&) override {
    return Status::Ok();
  }
};

TEST_F(HostileInputTest, ACutShortChartLeavesTheOldFilesUntouched) {
  ASSERT_TRUE(session.Open(Write("map.txt", Dataset(3))).ok());
  std::ofstream(dir.file("map.svg")) << "old";
  ASSERT_TRUE(session.MlgMap().ok());
  TruncatingRenderer renderer;
  Status s = session.SaveMap(renderer);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find(dir.file("map.svg")), std::string::npos) << s.message();
  EXPECT_EQ(ReadWholeFile(dir.file("map.svg")), "old");
  EXPECT_FALSE(std::filesystem::exists(dir.file("map.png")));
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 3);  // data, log, old map: no temporary file left
}

}  // namespace
}  // namespace vireltan
