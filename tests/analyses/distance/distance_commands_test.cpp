// SPDX-License-Identifier: GPL-3.0-or-later
// The two distance commands as the window and the command line run them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analyses/distance/distance_histogram.h"
#include "cli/cli_runner.h"
#include "session/session.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

// Once armed, cancels the first long computation as it begins.
class CancelOnBegin : public ProgressSink {
 public:
  void Begin() override {
    if (armed) RequestCancel();
  }
  bool armed = false;
};

// `g` distinct diploid MLGs on two loci (the first MLG twice), so that the
// matrix block is (g+1) x (g+1).
Rows DistinctMlgs(int g) {
  Rows rows{{std::to_string(g + 1), "", "", "2", "2"}};
  for (int i = 0; i <= g; ++i) {
    int m = i == g ? 0 : i;
    std::string a = std::to_string(100 + m % 300);
    std::string b = std::to_string(100 + m / 300 + 5 * (m % 7));
    rows.push_back({"su" + std::to_string(i), std::to_string(i), "1", a + a, b + "200"});
  }
  return rows;
}

class DistanceCommands : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  void Open(const Rows& rows, const std::string& name = "d.txt") {
    WriteTsv(dir.path() / name, rows);
    Status s = session.Open(dir.file(name));
    ASSERT_TRUE(s.ok()) << s.message();
  }
  void OpenExample() {
    std::string path = dir.file("seagrass_meadow.txt");
    std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt", path);
    ASSERT_TRUE(session.Open(path).ok());
  }
  const Sheet& results() const { return session.results.first(); }
  const std::vector<ChartPoint>& bars(ChartRole chart) {
    return session.chart(chart).series.at(0).points;
  }
};

// Percentages recomputed from the load-time matrix cells.
std::vector<double> ExpectedPercents(const Session& s, bool allelic, int classes) {
  std::vector<double> counts(classes + 1, 0.0);
  double pairs = 0;
  for (int j = 1; j <= s.info().mlgCount; ++j)
    for (int k = j + 1; k <= s.info().mlgCount; ++k) {
      double x =
          allelic ? s.matrices().MlgAllelicDistance(j, k) : s.matrices().MlgMicrosatDistance(j, k);
      counts.at(static_cast<int>(x + 0.5)) += 1;
      pairs += 1;
    }
  for (double& c : counts) c = 100 * c / pairs;
  return counts;
}

TEST_F(DistanceCommands, AllelicHistogramOfTheExample) {
  OpenExample();
  session.chart(ChartRole::kMicrosatHistogram).visible = true;  // left by an earlier command
  const int lastRowBefore = results().LastRow();
  ASSERT_TRUE(session.AllelicDistances().ok());
  EXPECT_TRUE(session.chart(ChartRole::kAllelicHistogram).visible);
  EXPECT_FALSE(session.chart(ChartRole::kMicrosatHistogram).visible);
  const int d = 2 * session.info().locusCount;
  std::vector<double> expected = ExpectedPercents(session, true, d);
  ASSERT_EQ(bars(ChartRole::kAllelicHistogram).size(), static_cast<size_t>(d));
  double total = 0, highest = 0;
  for (int k = 1; k <= d; ++k) {
    EXPECT_DOUBLE_EQ(bars(ChartRole::kAllelicHistogram)[k - 1].x, k);
    EXPECT_NEAR(bars(ChartRole::kAllelicHistogram)[k - 1].y, expected[k], 1e-9) << k;
    total += bars(ChartRole::kAllelicHistogram)[k - 1].y;
    highest = std::max(highest, bars(ChartRole::kAllelicHistogram)[k - 1].y);
  }
  EXPECT_NEAR(total, 100, 1e-9);
  int last = 1;
  for (int k = 1; k <= d; ++k)
    if (expected[k] > 0) last = k;
  EXPECT_NEAR(session.chart(ChartRole::kAllelicHistogram).left.maximum, highest * 1.05, 1e-9);
  EXPECT_DOUBLE_EQ(session.chart(ChartRole::kAllelicHistogram).bottom.maximum, last + 0.5);
  EXPECT_EQ(session.chart(ChartRole::kAllelicHistogram).bottom.title,
            "Allelic distance (number of differing alleles)");
  EXPECT_EQ(session.chart(ChartRole::kAllelicHistogram).left.title, "Percentage of MLG pairs (%)");

  // The block: one empty row, then G+1 rows with "MLGs" first.
  const int g = session.info().mlgCount;
  const int top = lastRowBefore + 2;
  EXPECT_EQ(results().LastRow(), top + g);
  EXPECT_EQ(results().TextAt(top, 1), "MLGs");
  EXPECT_EQ(results().NumberAt(top, g + 1), g);
  EXPECT_EQ(results().NumberAt(top + g, 1), g);
  EXPECT_EQ(results().NumberAt(top + 1, 3), session.matrices().MlgAllelicDistance(1, 2));
  EXPECT_EQ(results().NumberAt(top + 3, 2), 0);  // lower triangle
  EXPECT_TRUE(results().at(top - 1, 1).empty());
  std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_NE(log.find("\nMLGs\t1\t2\t3\t"), std::string::npos);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(DistanceCommands, MicrosatHistogramFollowsTheAllelicBlock) {
  OpenExample();
  ASSERT_TRUE(session.AllelicDistances().ok());
  const int allelicEnd = results().LastRow();
  ASSERT_TRUE(session.MicrosatelliteDistances().ok());
  EXPECT_FALSE(session.chart(ChartRole::kAllelicHistogram).visible);
  EXPECT_TRUE(session.chart(ChartRole::kAllelicHistogram).series[0].points.empty());
  EXPECT_TRUE(session.chart(ChartRole::kMicrosatHistogram).visible);
  const int d = session.info().maxMicrosatDistance;
  std::vector<double> expected = ExpectedPercents(session, false, d);
  // More than 60 distinct distances: grouped into classes of a round
  // width, each bar the sum of its distances' percentages.
  int distinct = 0;
  for (int k = 1; k <= d; ++k) distinct += expected[k] > 0 ? 1 : 0;
  ASSERT_GT(distinct, kMaxMicrosatBars);
  const auto& grouped = bars(ChartRole::kMicrosatHistogram);
  ASSERT_GE(grouped.size(), 2u);
  ASSERT_LE(grouped.size(), static_cast<size_t>(kMaxMicrosatBars / 2));
  const int width = static_cast<int>(std::lround(2 * (grouped[0].x - 1))) + 1;
  double total = 0;
  for (size_t i = 0; i < grouped.size(); ++i) {
    double sum = 0;
    for (int k = 1 + static_cast<int>(i) * width;
         k <= std::min(d, (static_cast<int>(i) + 1) * width); ++k)
      sum += expected[k];
    EXPECT_NEAR(grouped[i].y, sum, 1e-9) << i;
    total += grouped[i].y;
  }
  EXPECT_NEAR(total, 100, 1e-9);
  EXPECT_EQ(results().TextAt(allelicEnd + 2, 1), "MLGs");
  EXPECT_EQ(results().NumberAt(allelicEnd + 3, 3), session.matrices().MlgMicrosatDistance(1, 2));
}

TEST_F(DistanceCommands, BlockUpTo254MlgsOnly) {
  Open(DistinctMlgs(254));
  ASSERT_EQ(session.info().mlgCount, 254);
  int before = results().LastRow();
  ASSERT_TRUE(session.AllelicDistances().ok());
  EXPECT_EQ(results().LastRow(), before + 2 + 254);
  EXPECT_EQ(results().LastCol(), 255);
  EXPECT_EQ(results().TextAt(before + 2, 1), "MLGs");
  EXPECT_EQ(results().NumberAt(before + 2, 255), 254);

  TempDir other;
  RecordingMessageSink m;
  Session big(m, progress);
  WriteTsv(other.path() / "big.txt", DistinctMlgs(255));
  ASSERT_TRUE(big.Open(other.file("big.txt")).ok());
  ASSERT_EQ(big.info().mlgCount, 255);
  const std::string logBefore = ReadWholeFile(big.ResultsLogPath());
  const int rowsBefore = big.results.first().LastRow();
  // Make the log differ from the worksheet: the command must not rewrite it.
  big.results.first().SetTextAt(rowsBefore + 1, 1, "not yet logged");
  for (bool allelic : {true, false}) {
    ASSERT_TRUE(allelic ? big.AllelicDistances().ok() : big.MicrosatelliteDistances().ok());
    EXPECT_TRUE(
        big.chart(allelic ? ChartRole::kAllelicHistogram : ChartRole::kMicrosatHistogram).visible);
    EXPECT_FALSE(big.chart(allelic ? ChartRole::kAllelicHistogram : ChartRole::kMicrosatHistogram)
                     .series[0]
                     .points.empty());
    EXPECT_EQ(big.results.first().LastRow(), rowsBefore + 1);
    EXPECT_EQ(ReadWholeFile(big.ResultsLogPath()), logBefore);
  }
}

TEST_F(DistanceCommands, SingleMlgShowsEmptyChartsAndATinyBlock) {
  Open({{"2", "", "", "1", "2"}, {"a", "1", "1", "120124"}, {"b", "2", "2", "124120"}});
  ASSERT_EQ(session.info().mlgCount, 1);
  for (bool allelic : {true, false}) {
    int before = results().LastRow();
    ASSERT_TRUE(allelic ? session.AllelicDistances().ok() : session.MicrosatelliteDistances().ok());
    const ChartData& chart =
        session.chart(allelic ? ChartRole::kAllelicHistogram : ChartRole::kMicrosatHistogram);
    EXPECT_TRUE(chart.visible);
    EXPECT_TRUE(chart.series[0].points.empty());
    EXPECT_FALSE(chart.left.fixedRange);
    EXPECT_EQ(results().TextAt(before + 2, 1), "MLGs");
    EXPECT_EQ(results().NumberAt(before + 2, 2), 1);
    EXPECT_EQ(results().NumberAt(before + 3, 1), 1);
    EXPECT_EQ(results().LastRow(), before + 3);
  }
  std::string log = ReadWholeFile(session.ResultsLogPath());
  EXPECT_EQ(log.find("nan"), std::string::npos);
  EXPECT_EQ(log.find("inf"), std::string::npos);
}

TEST_F(DistanceCommands, HaploidHalvesDistancesButNotTheMicrosatClassCount) {
  // Three haploid MLGs on two loci.
  Open({{"3", "", "", "2", "1"},
        {"a", "1", "1", "120", "150"},
        {"b", "1", "1", "126", "150"},
        {"c", "1", "1", "126", "141"}});
  ASSERT_TRUE(session.AllelicDistances().ok());
  // Allelic: D = L = 2; pairs at 1 (a-b, b-c) and 2 (a-c).
  ASSERT_EQ(bars(ChartRole::kAllelicHistogram).size(), 2u);
  EXPECT_NEAR(bars(ChartRole::kAllelicHistogram)[0].y, 200.0 / 3, 1e-9);
  EXPECT_NEAR(bars(ChartRole::kAllelicHistogram)[1].y, 100.0 / 3, 1e-9);
  EXPECT_DOUBLE_EQ(session.chart(ChartRole::kAllelicHistogram).bottom.maximum, 2.5);
  ASSERT_TRUE(session.MicrosatelliteDistances().ok());
  // Sizes: a-b 6, b-c 9, a-c 15 (stored halved); D = 30 unhalved.
  EXPECT_EQ(session.info().maxMicrosatDistance, 30);
  ASSERT_EQ(bars(ChartRole::kMicrosatHistogram).size(), 30u);
  for (int d = 1; d <= 30; ++d) {
    bool filled = d == 6 || d == 9 || d == 15;
    EXPECT_NEAR(bars(ChartRole::kMicrosatHistogram)[d - 1].y, filled ? 100.0 / 3 : 0, 1e-9) << d;
  }
  EXPECT_DOUBLE_EQ(session.chart(ChartRole::kMicrosatHistogram).bottom.maximum, 15.5);
  // The block holds the halved distances: MLG 1 = a (120, 150), 2 = c (126,
  // 141), 3 = b (126, 150) in key order; a-c 15, a-b 6, c-b 9.
  const int top = results().LastRow() - 3;
  EXPECT_EQ(results().TextAt(top, 1), "MLGs");
  EXPECT_EQ(results().NumberAt(top + 1, 3), 15);
  EXPECT_EQ(results().NumberAt(top + 1, 4), 6);
  EXPECT_EQ(results().NumberAt(top + 2, 4), 9);
  // The allelic block just above it: a-c 2, a-b 1, c-b 1.
  const int allelicTop = top - 5;
  EXPECT_EQ(results().TextAt(allelicTop, 1), "MLGs");
  EXPECT_EQ(results().NumberAt(allelicTop + 1, 3), 2);
  EXPECT_EQ(results().NumberAt(allelicTop + 1, 4), 1);
  EXPECT_EQ(results().NumberAt(allelicTop + 2, 4), 1);
}

// Records what Save Graph would draw, without drawing.
class RecordingRenderer : public ChartRenderer {
 public:
  Status SaveFigure(const ChartData& chart, const std::string& basePath,
                    const FigureOptions&) override {
    saved.push_back({basePath + ".svg", chart.role, chart.series.at(0).points.size()});
    return Status::Ok();
  }
  struct Saved {
    std::string path;
    ChartRole chart;
    size_t bars;
  };
  std::vector<Saved> saved;
};

TEST_F(DistanceCommands, SaveGraphWritesTheShownHistogram) {
  Open(DistinctMlgs(5));
  ASSERT_TRUE(session.AllelicDistances().ok());
  RecordingRenderer renderer;
  ASSERT_TRUE(session.SaveGraph(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 1u);
  EXPECT_EQ(renderer.saved[0].path, dir.file("d.gendist.svg"));
  EXPECT_EQ(renderer.saved[0].chart, ChartRole::kAllelicHistogram);
  EXPECT_EQ(renderer.saved[0].bars, 4u);  // D = 2L, L = 2

  ASSERT_TRUE(session.MicrosatelliteDistances().ok());
  ASSERT_TRUE(session.SaveGraph(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 2u);
  EXPECT_EQ(renderer.saved[1].path, dir.file("d.microsatdist.svg"));
  EXPECT_EQ(renderer.saved[1].chart, ChartRole::kMicrosatHistogram);
  EXPECT_EQ(renderer.saved[1].bars, static_cast<size_t>(session.info().maxMicrosatDistance));
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(DistanceCommands, RefusedWithoutDatasetRunWithMissingData) {
  Status none = session.AllelicDistances();
  EXPECT_FALSE(none.ok());
  EXPECT_NE(none.message().find("open a data file"), std::string::npos);
  Open({{"3", "", "", "2", "2"},
        {"a", "1", "1", "999999", "120124"},
        {"b", "2", "2", "120124", "120126"},
        {"c", "3", "3", "120124", "130130"}});
  EXPECT_TRUE(session.AllelicDistances().ok());
  EXPECT_TRUE(session.MicrosatelliteDistances().ok());
  EXPECT_TRUE(session.chart(ChartRole::kMicrosatHistogram).visible);
  // a-b: one allele over the one typed locus, scaled to two loci = 2; the
  // size distance 2 likewise becomes 4; the largest, a-c: (10 + 6) · 2 = 32.
  EXPECT_EQ(session.MaxMicrosatDistance(), 32);
}

TEST_F(DistanceCommands, CancelledRunChangesNothing) {
  OpenExample();
  CancelOnBegin cancelling;
  RecordingMessageSink m;
  Session s(m, cancelling);
  ASSERT_TRUE(s.Open(dir.file("seagrass_meadow.txt")).ok());
  cancelling.armed = true;
  const std::string log = ReadWholeFile(s.ResultsLogPath());
  const int rows = s.results.first().LastRow();
  std::string matrixFile = dir.file("m.tsv");
  EXPECT_TRUE(s.AllelicDistancesWithMatrixFile(matrixFile).cancelled());
  EXPECT_TRUE(s.MicrosatelliteDistances().cancelled());
  EXPECT_FALSE(s.chart(ChartRole::kAllelicHistogram).visible ||
               s.chart(ChartRole::kMicrosatHistogram).visible);
  EXPECT_EQ(s.results.first().LastRow(), rows);
  EXPECT_EQ(ReadWholeFile(s.ResultsLogPath()), log);
  EXPECT_FALSE(std::filesystem::exists(matrixFile));
}

// Reads a tab-separated file into rows of cells.
std::vector<std::vector<std::string>> ReadCells(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    rows.emplace_back();
    std::stringstream fields(line);
    std::string cell;
    while (std::getline(fields, cell, '\t')) rows.back().push_back(cell);
  }
  return rows;
}

TEST_F(DistanceCommands, MatrixFileHoldsTheFullMatrixForAnyG) {
  Open(DistinctMlgs(300));
  const int g = session.info().mlgCount;
  ASSERT_EQ(g, 300);
  std::string path = dir.file("allelic.tsv");
  ASSERT_TRUE(session.AllelicDistancesWithMatrixFile(path).ok());
  auto cells = ReadCells(path);
  ASSERT_EQ(cells.size(), static_cast<size_t>(g + 1));
  EXPECT_EQ(cells[0][0], "MLGs");
  EXPECT_EQ(cells[0][g], std::to_string(g));
  int mismatches = 0;
  for (int j = 1; j <= g; ++j) {
    ASSERT_EQ(cells[j].size(), static_cast<size_t>(g + 1));
    if (cells[j][0] != std::to_string(j)) ++mismatches;
    for (int k = 1; k <= g; ++k) {
      double expected =
          j == k ? 0 : session.matrices().MlgAllelicDistance(std::min(j, k), std::max(j, k));
      if (std::stod(cells[j][k]) != expected) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  // The chart is still drawn; no block past 254 MLGs.
  EXPECT_TRUE(session.chart(ChartRole::kAllelicHistogram).visible);
}

TEST_F(DistanceCommands, MatrixFileNeverReplacesTheDataFile) {
  Open(DistinctMlgs(3));
  const std::string data = ReadWholeFile(dir.file("d.txt"));
  Status s = session.MicrosatelliteDistancesWithMatrixFile(dir.file("d.txt"));
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("data file"), std::string::npos) << s.message();
  EXPECT_EQ(ReadWholeFile(dir.file("d.txt")), data);
  EXPECT_FALSE(session.chart(ChartRole::kMicrosatHistogram).visible);
}

struct CliOutcome {
  int status;
  std::string err;
};

CliOutcome RunCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = cli::Run(args, out, err);
  return {status, err.str()};
}

TEST_F(DistanceCommands, CommandLine) {
  WriteTsv(dir.path() / "d.txt", DistinctMlgs(5));
  std::string data = dir.file("d.txt");
  std::string matrix = dir.file("micro.tsv");
  CliOutcome ok = RunCli({data, "allelic-distance", "microsat-distance", "--matrix-file=" + matrix,
                          "quorvex", "arlequin"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ReadCells(matrix).size(), 6u);
  EXPECT_TRUE(std::filesystem::exists(dir.file("d.quorvex.txt")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("d.arlequin.arp")));
  std::string log = ReadWholeFile(dir.file("d.outvireltan.txt"));
  size_t first = log.find("MLGs\t1\t2\t3\t4\t5\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(log.find("MLGs\t1\t2\t3\t4\t5\n", first + 1), std::string::npos);

  EXPECT_EQ(RunCli({data, "allelic-distance", "--matrix-file"}).status, 2);
  EXPECT_EQ(RunCli({data, "quorvex", "--matrix-file=x"}).status, 2);

  std::string missing = dir.file("missing.txt");
  WriteTsv(missing,
           {{"2", "", "", "1", "2"}, {"a", "1", "1", "999999"}, {"b", "1", "1", "120124"}});
  // Missing alleles: the distances over the loci typed in both units.
  EXPECT_EQ(RunCli({missing, "microsat-distance"}).status, 0);
  // The exports are allowed with missing data.
  EXPECT_EQ(RunCli({missing, "quorvex", "arlequin"}).status, 0);
}

}  // namespace
}  // namespace vireltan
