// SPDX-License-Identifier: GPL-3.0-or-later
// Sample call rates on packed calls against a count call by call, their
// classes of 0.05 at the class edges, and the chart drawn from them.
#include "analyses/snp/call_rates.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace vireltan {
namespace {

// Rows with a share `missing` of missing calls; loci not a multiple of 32
// leave a padded tail in the last word, which is no locus.
TEST(SnpCallRates, EqualACountCallByCall) {
  for (int loci : {1, 31, 32, 33, 70, 640}) {
    std::mt19937 rng(static_cast<std::uint32_t>(loci));
    std::uniform_real_distribution<double> u(0, 1);
    const int n = 9;
    PackedGenotypes g(n, loci);
    std::vector<int> called(n, 0);
    for (int i = 0; i < n; ++i) {
      const double missing = i / 8.0;  // from none to all missing
      for (int k = 0; k < loci; ++k) {
        const double r = u(rng);
        const SnpCall c = r < missing ? kMissingCall : r < 0.5 ? kHomRefCall : kHetCall;
        g.set(i, k, c);
        if (c != kMissingCall) ++called[i];
      }
    }
    const std::vector<double> rates = SampleCallRates(g);
    ASSERT_EQ(rates.size(), static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(rates[i], static_cast<double>(called[i]) / loci, 1e-12) << loci << " " << i;
  }
}

TEST(SnpCallRates, NoLocusGivesRatesOfZero) {
  PackedGenotypes g(3, 0);
  EXPECT_EQ(SampleCallRates(g), std::vector<double>(3, 0.0));
}

TEST(SnpCallRates, ClassesOpenAtTheirLowerEdge) {
  struct Case {
    double rate;
    int expectedClass;
  };
  // 0.35 and 0.7 are not exact in binary: they still open their classes.
  const Case cases[] = {{0, 0},    {0.0499, 0},       {0.05, 1},        {0.35, 7},
                        {0.7, 14}, {0.9499, 18},      {0.95, 19},       {0.999, 19},
                        {1.0, 19}, {1.0 - 1e-12, 19}, {99.0 / 100, 19}, {3.0 / 60, 1}};
  for (const Case& c : cases) {
    const std::vector<int> counts = CallRateClassCounts({c.rate});
    ASSERT_EQ(counts.size(), static_cast<std::size_t>(kCallRateClasses));
    for (int k = 0; k < kCallRateClasses; ++k)
      EXPECT_EQ(counts[k], k == c.expectedClass ? 1 : 0) << c.rate << " class " << k;
  }
}

// Bars over the rates met: a study whose samples are called at 0.93 to 1
// gets classes of a hundredth, not one bar at the end of 0..1.
TEST(SnpCallRates, ChartClassesSpanTheRatesMet) {
  struct Case {
    std::vector<double> rates;
    double from, width;
    int count;
  };
  const Case cases[] = {
      {{0.93, 0.95, 0.99, 1.0, 1.0}, 0.93, 0.005, 14},
      {{0.2, 1.0}, 0.2, 0.05, 16},
      {{0.0, 1.0}, 0.0, 0.05, 20},
      {{1.0, 1.0, 1.0}, 0.999, 0.001, 1},  // every SNP called: one class ending at 1
      {{0.5, 0.5}, 0.5, 0.001, 1},         // alike: one class starting at them
      {{0.951, 0.952, 0.9525}, 0.951, 0.001, 2},
      {{}, 0.0, 0.05, 20},  // no sample: the whole range
  };
  for (const Case& c : cases) {
    const CallRateBins bins = ChooseCallRateBins(c.rates);
    EXPECT_NEAR(bins.from, c.from, 1e-12) << c.rates.size();
    EXPECT_NEAR(bins.width, c.width, 1e-12) << c.rates.size();
    EXPECT_EQ(bins.count, c.count) << c.rates.size();
    EXPECT_LE(bins.count, kMaxCallRateBins);
    ChartData chart;
    FillCallRateChart(c.rates, "study", chart);
    ASSERT_EQ(chart.series.size(), 1u);
    const ChartSeries& bars = chart.series[0];
    ASSERT_EQ(bars.points.size(), static_cast<std::size_t>(bins.count));
    double samples = 0;
    for (const ChartPoint& p : bars.points) samples += p.y;
    EXPECT_EQ(samples, static_cast<double>(c.rates.size()));  // every sample in a class
    // The axis holds exactly the classes, and every rate lies within it.
    EXPECT_NEAR(chart.bottom.minimum, bins.from, 1e-12);
    EXPECT_NEAR(chart.bottom.maximum, bins.from + bins.count * bins.width, 1e-9);
    for (double r : c.rates) {
      EXPECT_GE(r, chart.bottom.minimum - 1e-12);
      EXPECT_LE(r, chart.bottom.maximum + 1e-12);
    }
  }
}

TEST(SnpCallRates, ChartHasItsTitlesAndARateOnAnEdgeOpensItsClass) {
  // 0.95 is not exact in binary; it still opens the class [0.95, 0.955).
  const std::vector<double> rates{0.93, 0.95, 0.95, 1.0};
  ChartData chart;
  FillCallRateChart(rates, "study", chart);
  EXPECT_EQ(chart.role, ChartRole::kCallRate);
  EXPECT_TRUE(chart.visible);
  EXPECT_EQ(chart.title, "Sample call rates, \"study\"");
  EXPECT_FALSE(chart.bottom.title.empty());
  EXPECT_FALSE(chart.left.title.empty());
  const ChartSeries& bars = chart.series.at(0);
  EXPECT_EQ(bars.kind, ChartSeries::Kind::kBars);
  EXPECT_EQ(bars.legend, "samples in each class of 0.005");
  ASSERT_EQ(bars.points.size(), 14u);
  EXPECT_NEAR(bars.points[4].x, 0.9525, 1e-12);
  EXPECT_EQ(bars.points[4].y, 2);
  EXPECT_EQ(bars.points[13].y, 1);  // 1 in the last, closed class
  EXPECT_GE(chart.left.maximum, 2);
}

}  // namespace
}  // namespace vireltan
