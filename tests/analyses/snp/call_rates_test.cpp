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

TEST(SnpCallRates, ChartHasEveryClassAndItsTitles) {
  std::vector<int> counts(kCallRateClasses, 0);
  counts[19] = 30;
  counts[18] = 7;
  counts[3] = 2;
  ChartData chart;
  FillCallRateChart(counts, "study", chart);
  EXPECT_EQ(chart.role, ChartRole::kCallRate);
  EXPECT_TRUE(chart.visible);
  EXPECT_EQ(chart.title, "Sample call rates, \"study\"");
  EXPECT_FALSE(chart.bottom.title.empty());
  EXPECT_FALSE(chart.left.title.empty());
  ASSERT_EQ(chart.series.size(), 1u);
  const ChartSeries& bars = chart.series[0];
  EXPECT_EQ(bars.kind, ChartSeries::Kind::kBars);
  EXPECT_FALSE(bars.legend.empty());
  ASSERT_EQ(bars.points.size(), static_cast<std::size_t>(kCallRateClasses));
  double samples = 0;
  for (int k = 0; k < kCallRateClasses; ++k) {
    // Each bar at the middle of its class, as tall as its count.
    EXPECT_NEAR(bars.points[k].x, 0.05 * k + 0.025, 1e-12);
    EXPECT_EQ(bars.points[k].y, counts[k]);
    samples += bars.points[k].y;
  }
  EXPECT_EQ(samples, 39);
  // The axes hold the whole range of rates and the tallest bar.
  EXPECT_EQ(chart.bottom.minimum, 0);
  EXPECT_EQ(chart.bottom.maximum, 1);
  EXPECT_GE(chart.left.maximum, 30);
}

}  // namespace
}  // namespace vireltan
