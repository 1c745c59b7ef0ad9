// SPDX-License-Identifier: GPL-3.0-or-later
// Histogram, chart, matrix block and matrix file over distance matrices given
// by hand, so that the worked cases need no genotypes that realise them.
#include "analyses/distance/distance_histogram.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

// A symmetric matrix given by its upper triangle: upper[j-1][k-j-1] = d(j, k).
class HandMatrix : public MlgDistanceRows {
 public:
  explicit HandMatrix(std::vector<std::vector<double>> upper) : upper_(std::move(upper)) {}
  int mlgCount() const override { return static_cast<int>(upper_.size()) + 1; }
  double At(int j, int k) const {
    if (j == k) return 0;
    if (j > k) std::swap(j, k);
    return upper_[j - 1][k - j - 1];
  }
  void FillRow(int j, int first, std::vector<double>& row) const override {
    for (int k = first; k <= mlgCount(); ++k) row[k - 1] = At(j, k);
  }

 private:
  std::vector<std::vector<double>> upper_;
};

// Three MLGs: d(1,2), d(1,3), d(2,3).
HandMatrix Three(double d12, double d13, double d23) {
  return HandMatrix({{d12, d13}, {d23}});
}

DistanceHistogram Tabulate(const MlgDistanceRows& m, int classes) {
  NullProgressSink progress;
  DistanceHistogram h;
  EXPECT_TRUE(TabulateMlgDistances(m, classes, progress, h).ok());
  return h;
}

ChartData Chart(const char* series) {
  ChartData c;
  c.series = {{series, ChartSeries::Kind::kBars, {}, {}}};
  return c;
}

TEST(DistanceHistogram, AllelicWorkedCase) {
  // Diploid, L = 2 (D = 4), distances 1, 2 and 4.
  DistanceHistogram h = Tabulate(Three(1, 2, 4), AllelicDistanceClassCount(2, 2));
  EXPECT_EQ(h.classCount, 4);
  EXPECT_EQ(h.counts, (std::vector<double>{0, 1, 1, 0, 1}));
  EXPECT_EQ(h.pairCount, 3);
  EXPECT_EQ(h.maxCount, 1);

  ChartData chart = Chart(kAllelicBarsSeries);
  FillAllelicDistanceChart(h, chart);
  EXPECT_TRUE(chart.visible);
  EXPECT_TRUE(chart.left.fixedRange);
  EXPECT_DOUBLE_EQ(chart.left.minimum, 0);
  EXPECT_NEAR(chart.left.maximum, 35.0, 1e-9);  // 33.33% and 5% above it
  EXPECT_TRUE(chart.bottom.fixedRange);
  EXPECT_DOUBLE_EQ(chart.bottom.maximum, 4.5);
  const auto& bars = chart.series[0].points;
  ASSERT_EQ(bars.size(), 4u);
  const double expected[] = {100.0 / 3, 100.0 / 3, 0, 100.0 / 3};
  for (int d = 1; d <= 4; ++d) {
    EXPECT_DOUBLE_EQ(bars[d - 1].x, d);
    EXPECT_NEAR(bars[d - 1].y, expected[d - 1], 1e-12);
    EXPECT_TRUE(bars[d - 1].label.empty());
  }
}

struct MicrosatAxisCase {
  const char* name;
  int ploidy;
  double bottomMaximum;
};

class MicrosatAxis : public ::testing::TestWithParam<MicrosatAxisCase> {};

TEST_P(MicrosatAxis, WorkedCase) {
  // Distances 2, 4 and 26 with D = MaxMicrosatDistance = 26.
  DistanceHistogram h = Tabulate(Three(2, 4, 26), 26);
  ChartData chart = Chart(kMicrosatBarsSeries);
  FillMicrosatDistanceChart(h, GetParam().ploidy, chart);
  EXPECT_TRUE(chart.visible);
  EXPECT_DOUBLE_EQ(chart.left.maximum, 35.0);  // 33.33% and 5% above it
  EXPECT_DOUBLE_EQ(chart.bottom.maximum, GetParam().bottomMaximum);
  const auto& bars = chart.series[0].points;
  ASSERT_EQ(bars.size(), 26u);
  for (int d = 1; d <= 26; ++d) {
    bool filled = d == 2 || d == 4 || d == 26;
    EXPECT_NEAR(bars[d - 1].y, filled ? 100.0 / 3 : 0.0, 1e-12) << d;
  }
}

// Every bar is drawn whatever the ploidy: the axis reaches the longest
// distance met (it used to stop at D/2 for odd ploidy, hiding the bar at 26).
INSTANTIATE_TEST_SUITE_P(Ploidies, MicrosatAxis,
                         ::testing::Values(MicrosatAxisCase{"diploid", 2, 26.5},
                                           MicrosatAxisCase{"haploid", 1, 26.5},
                                           MicrosatAxisCase{"triploid", 3, 26.5},
                                           MicrosatAxisCase{"tetraploid", 4, 26.5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DistanceHistogram, ManyMicrosatDistancesAreGroupedIntoRoundClasses) {
  // 100 distinct distances 1..100, one pair each: classes of 5 (20 bars of
  // 5%), the first spanning 1..5 drawn at 3.
  DistanceHistogram h;
  h.classCount = 100;
  h.counts.assign(101, 1.0);
  h.counts[0] = 0;
  h.pairCount = 100;
  h.maxCount = 1;
  ChartData chart = Chart(kMicrosatBarsSeries);
  FillMicrosatDistanceChart(h, 2, chart);
  const auto& bars = chart.series[0].points;
  ASSERT_EQ(bars.size(), 20u);
  EXPECT_DOUBLE_EQ(bars[0].x, 3);
  double total = 0;
  for (const ChartPoint& b : bars) total += b.y;
  EXPECT_NEAR(total, 100, 1e-9);
  EXPECT_NEAR(bars[0].y, 5, 1e-12);
  EXPECT_DOUBLE_EQ(chart.bottom.maximum, 100.5);
  EXPECT_NE(chart.bottom.title.find("classes of 5"), std::string::npos);
}

TEST(DistanceHistogram, HalvedDistancesRoundHalfToEven) {
  // Haploid allelic distances come halved: 0.5 is never stored for distinct
  // MLGs, but rounding must follow the program's rule.
  DistanceHistogram h = Tabulate(Three(1.5, 2.5, 3), 3);
  EXPECT_EQ(h.counts, (std::vector<double>{0, 0, 2, 1}));
}

TEST(DistanceHistogram, ZeroCellsAreNotCounted) {
  DistanceHistogram h = Tabulate(Three(0, 2, 2), 4);
  EXPECT_EQ(h.pairCount, 2);
  EXPECT_EQ(h.counts[2], 2);
  ChartData chart = Chart(kAllelicBarsSeries);
  FillAllelicDistanceChart(h, chart);
  EXPECT_DOUBLE_EQ(chart.series[0].points[1].y, 100);
  EXPECT_DOUBLE_EQ(chart.left.maximum, 105);
}

TEST(DistanceHistogram, SingleMlgShowsAnEmptyChartWithoutDivisionByZero) {
  HandMatrix one({});
  DistanceHistogram h = Tabulate(one, 4);
  EXPECT_EQ(h.pairCount, 0);
  for (const char* series : {kAllelicBarsSeries, kMicrosatBarsSeries}) {
    ChartData chart = Chart(series);
    chart.left.fixedRange = chart.bottom.fixedRange = true;  // from a previous run
    chart.series[0].points.push_back({1, 50, "", ""});
    if (std::string(series) == kAllelicBarsSeries) {
      FillAllelicDistanceChart(h, chart);
    } else {
      FillMicrosatDistanceChart(h, 2, chart);
    }
    EXPECT_TRUE(chart.visible);
    EXPECT_TRUE(chart.series[0].points.empty());
    EXPECT_FALSE(chart.left.fixedRange);
    EXPECT_FALSE(chart.bottom.fixedRange);
  }
}

class RecordingProgress : public ProgressSink {
 public:
  void Begin() override { ++begun; }
  void SetPosition(int percent) override {
    positions.push_back(percent);
    if (cancelAt >= 0 && percent >= cancelAt) RequestCancel();
  }
  void End() override { ++ended; }
  int begun = 0, ended = 0, cancelAt = -1;
  std::vector<int> positions;
};

HandMatrix Sequential(int g) {
  std::vector<std::vector<double>> upper;
  for (int j = 1; j < g; ++j) {
    upper.emplace_back();
    for (int k = j + 1; k <= g; ++k) upper.back().push_back((j + k) % 5 + 1);
  }
  return HandMatrix(upper);
}

TEST(DistanceHistogram, ReportsProgressByPairsAndStopsWhenCancelled) {
  HandMatrix m = Sequential(40);
  RecordingProgress progress;
  DistanceHistogram h;
  ASSERT_TRUE(TabulateMlgDistances(m, 6, progress, h).ok());
  EXPECT_EQ(progress.begun, 1);
  EXPECT_EQ(progress.ended, 1);
  EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
  EXPECT_EQ(progress.positions.back(), 100);
  EXPECT_EQ(h.pairCount, 40 * 39 / 2);

  RecordingProgress cancelling;
  cancelling.cancelAt = 30;
  DistanceHistogram untouched;
  untouched.pairCount = -7;
  Status s = TabulateMlgDistances(m, 6, cancelling, untouched);
  EXPECT_TRUE(s.cancelled());
  EXPECT_EQ(untouched.pairCount, -7);
  EXPECT_EQ(cancelling.ended, 1);
}

TEST(MatrixBlock, HeaderNumbersUpperTriangleAndZeros) {
  Sheet block;
  block.SetTextAt(9, 9, "stale");
  BuildMatrixBlock(Three(1, 2, 4), block);
  EXPECT_EQ(block.LastRow(), 4);
  EXPECT_EQ(block.LastCol(), 4);
  EXPECT_EQ(block.TextAt(1, 1), "MLGs");
  // Row by row as the results log shows it.
  const std::vector<std::vector<double>> expected{
      {0, 1, 2, 3}, {1, 0, 1, 2}, {2, 0, 0, 4}, {3, 0, 0, 0}};
  for (int r = 1; r <= 4; ++r)
    for (int c = 1; c <= 4; ++c) {
      if (r == 1 && c == 1) continue;
      EXPECT_TRUE(block.at(r, c).isNumber()) << r << "," << c;
      EXPECT_EQ(block.NumberAt(r, c), expected[r - 1][c - 1]) << r << "," << c;
    }
}

TEST(MatrixFile, FullSymmetricTable) {
  TempDir dir;
  NullProgressSink progress;
  std::string path = dir.file("m.tsv");
  ASSERT_TRUE(WriteDistanceMatrixFile(Three(1, 2.5, 4), path, progress).ok());
  EXPECT_EQ(ReadWholeFile(path),
            "MLGs\t1\t2\t3\n"
            "1\t0\t1\t2.5\n"
            "2\t1\t0\t4\n"
            "3\t2.5\t4\t0\n");
}

TEST(MatrixFile, CancelledOrFailedWriteLeavesNoFile) {
  TempDir dir;
  std::string path = dir.file("m.tsv");
  testing::WriteTsv(path, {{"old"}});
  RecordingProgress progress;
  progress.cancelAt = 40;
  Status s = WriteDistanceMatrixFile(Sequential(30), path, progress);
  EXPECT_TRUE(s.cancelled());
  EXPECT_EQ(ReadWholeFile(path), "old\n");
  // Only the old file is left: no temporary file beside it.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);

  NullProgressSink quiet;
  Status missingFolder = WriteDistanceMatrixFile(Sequential(3), dir.file("no/m.tsv"), quiet);
  ASSERT_FALSE(missingFolder.ok());
  EXPECT_NE(missingFolder.message().find("no/m.tsv"), std::string::npos) << missingFolder.message();
}

}  // namespace
}  // namespace vireltan
