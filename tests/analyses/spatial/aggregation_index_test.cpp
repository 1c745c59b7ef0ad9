// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/aggregation_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "analyses/spatial/nearest_neighbours.h"
#include "analyses/spatial/position_permutation.h"
#include "analyses/spatial/spatial_sheets.h"

namespace vireltan {
namespace {

SpatialUnits Units(const std::vector<std::array<double, 3>>& rows) {
  SpatialUnits units;
  for (const auto& [x, y, m] : rows) {
    units.x.push_back(x);
    units.y.push_back(y);
    units.mlg.push_back(static_cast<int>(m));
    units.mlgCount = std::max(units.mlgCount, static_cast<int>(m));
  }
  return units;
}

// The nearest neighbour of every unit by a full scan in the examination
// order d+1..N, then d-1..1, keeping the first strictly closer unit; units
// placed by `slotOf` on the positions (x, y).
std::vector<int> ScanNearest(const std::vector<double>& x, const std::vector<double>& y,
                             const std::vector<int>& slotOf) {
  const int n = static_cast<int>(x.size());
  std::vector<int> nearest(n);
  for (int d = 0; d < n; ++d) {
    std::vector<int> order;
    for (int e = d + 1; e < n; ++e) order.push_back(e);
    for (int e = d - 1; e >= 0; --e) order.push_back(e);
    int kept = order[0];
    auto dist = [&](int e) {
      return std::sqrt(std::pow(x[slotOf[d]] - x[slotOf[e]], 2) +
                       std::pow(y[slotOf[d]] - y[slotOf[e]], 2));
    };
    double best = dist(kept);
    for (int e : order) {
      if (dist(e) < best) {
        best = dist(e);
        kept = e;
      }
    }
    nearest[d] = kept;
  }
  return nearest;
}

std::vector<int> Identity(int n) {
  std::vector<int> v(n);
  for (int i = 0; i < n; ++i) v[i] = i;
  return v;
}

TEST(AggregationNearestTest, FastPathMatchesFullScanOnRandomDataWithTies) {
  std::mt19937 random(12345);
  for (int trial = 0; trial < 200; ++trial) {
    const int n = 2 + static_cast<int>(random() % 30);
    // Small integer grids: many shared positions and equidistant neighbours.
    const int side = 1 + static_cast<int>(random() % 5);
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
      x[i] = static_cast<double>(random() % side);
      y[i] = trial % 3 == 0 ? 999.0 : static_cast<double>(random() % side);
    }
    NearestNeighbourIndex index(x, y);
    NearestNeighbourIndex::Workspace work;
    for (int arrangement = 0; arrangement < 5; ++arrangement) {
      RandomGenerator generator = RandomGenerator::ForStream(trial, arrangement);
      std::vector<int> slotOf = Identity(n);
      if (arrangement > 0) RandomArrangement(generator, n, slotOf);
      std::vector<int> fast;
      index.Nearest(slotOf, fast, work);
      ASSERT_EQ(fast, ScanNearest(x, y, slotOf)) << "trial " << trial << " n " << n;
    }
  }
}

TEST(AggregationNearestTest, TieGoesToTheFirstUnitAfterElseTheLastBefore) {
  // Unit 1 (index 1) at 0 has units 0 and 2 at distance 1: the one after wins.
  // The last unit (3, at 10) has only units before it; unit 2 at 1 is nearest.
  std::vector<double> x{-1, 0, 1, 10};
  std::vector<double> y{0, 0, 0, 0};
  NearestNeighbourIndex index(x, y);
  NearestNeighbourIndex::Workspace work;
  std::vector<int> nearest;
  index.Nearest(Identity(4), nearest, work);
  EXPECT_EQ(nearest, (std::vector<int>{1, 2, 1, 2}));
  // Three units tied at distance 0 behind unit 3: the highest-numbered wins.
  std::vector<double> x2{5, 5, 5, 5};
  NearestNeighbourIndex shared(x2, y);
  shared.Nearest(Identity(4), nearest, work);
  EXPECT_EQ(nearest, (std::vector<int>{1, 2, 3, 2}));
}

TEST(AggregationIndexTest, TwoSeparatePatchesGiveAcOne) {
  // MLG 1 in a patch near the origin, MLG 2 far away.
  SpatialUnits units = Units({{0, 0, 1},
                              {1, 0, 1},
                              {0, 1, 1},
                              {1, 1, 1},  //
                              {50, 50, 2},
                              {51, 50, 2},
                              {50, 51, 2},
                              {51, 51, 2}});
  AggregationResult r;
  ASSERT_TRUE(ComputeAggregationIndex(units, 1000, 7, nullptr, r).ok());
  // p_all = 2 * 4 * 4 / (8 * 7) = 32 / 56.
  EXPECT_DOUBLE_EQ(r.pAll, 32.0 / 56.0);
  EXPECT_EQ(r.pNn, 0.0);
  EXPECT_EQ(r.ac, 1.0);
  // Ac = 1 is the largest possible value; the arrangements that keep both
  // patches whole reach it too, and count, as does the observed one.
  int atLeast = 0;
  for (int t = 0; t < 1000; ++t) {
    RandomGenerator generator = RandomGenerator::ForStream(7, t);
    std::vector<int> slotOf;
    RandomArrangement(generator, 8, slotOf);
    const std::vector<int> nearest = ScanNearest(units.x, units.y, slotOf);
    bool allSame = true;
    for (int d = 0; d < 8; ++d) allSame = allSame && units.mlg[nearest[d]] == units.mlg[d];
    atLeast += allSame ? 1 : 0;
  }
  EXPECT_EQ(r.atLeastCount, atLeast);
  EXPECT_DOUBLE_EQ(r.pValue, (atLeast + 1) / 1001.0);
  EXPECT_GT(r.pValue, 0.0);
  Sheet sheet = AggregationIndexSheet(r);
  EXPECT_EQ(sheet.TextAt(1, 1), "aggregation index");
  EXPECT_EQ(sheet.TextAt(2, 1), "Ac");
  EXPECT_EQ(sheet.NumberAt(3, 1), 1.0);
  EXPECT_EQ(sheet.TextAt(2, 2), "p (Ac)");
  EXPECT_TRUE(sheet.at(3, 2).isNumber());
  EXPECT_DOUBLE_EQ(sheet.NumberAt(3, 2), std::round(r.pValue * 1e4) / 1e4);
  EXPECT_EQ(sheet.TextAt(2, 3), "Nb perm");
  EXPECT_TRUE(sheet.at(3, 3).isNumber());
  EXPECT_EQ(sheet.NumberAt(3, 3), 1000);
}

TEST(AggregationIndexTest, PValueMatchesAnIndependentCount) {
  std::mt19937 random(99);
  SpatialUnits units;
  for (int i = 0; i < 25; ++i) {
    units.x.push_back(static_cast<double>(random() % 6));
    units.y.push_back(static_cast<double>(random() % 6));
    units.mlg.push_back(1 + static_cast<int>(random() % 5));
  }
  units.mlgCount = 5;
  const int n = units.size();
  const int permutations = 300;
  const std::uint32_t seed = 4242;

  // Observed and permuted Ac by full scans, arrangement t drawn from stream t.
  auto acOf = [&](const std::vector<int>& slotOf) {
    std::vector<int> nearest = ScanNearest(units.x, units.y, slotOf);
    int different = 0, pairs = 0;
    for (int d = 0; d < n; ++d) different += units.mlg[nearest[d]] != units.mlg[d];
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) pairs += j != k && units.mlg[j] != units.mlg[k];
    double pAll = static_cast<double>(pairs) / (n * n - n);
    return (pAll - static_cast<double>(different) / n) / pAll;
  };
  const double observed = acOf(Identity(n));
  // At least as large: ties count (the same number of units with a
  // nearest neighbour of another MLG gives the very same Ac).
  int atLeast = 0;
  for (int t = 0; t < permutations; ++t) {
    RandomGenerator generator = RandomGenerator::ForStream(seed, t);
    std::vector<int> slotOf;
    RandomArrangement(generator, n, slotOf);
    if (acOf(slotOf) >= observed - 1e-12) ++atLeast;
  }

  AggregationResult r;
  ASSERT_TRUE(ComputeAggregationIndex(units, permutations, seed, nullptr, r).ok());
  EXPECT_NEAR(r.ac, observed, 1e-12);
  EXPECT_EQ(r.atLeastCount, atLeast);
  EXPECT_DOUBLE_EQ(r.pValue, (atLeast + 1.0) / (permutations + 1.0));

  // Same seed, same result (whatever the threads); another seed differs in
  // its arrangements but not in the observed value.
  AggregationResult again;
  ASSERT_TRUE(ComputeAggregationIndex(units, permutations, seed, nullptr, again).ok());
  EXPECT_EQ(again.atLeastCount, r.atLeastCount);
}

TEST(AggregationIndexTest, ArrangementsAreUniform) {
  // Every arrangement of 3 units should come up about 1/6 of the time.
  std::map<std::vector<int>, int> seen;
  const int draws = 60000;
  for (int t = 0; t < draws; ++t) {
    RandomGenerator generator = RandomGenerator::ForStream(2024, t);
    std::vector<int> slotOf;
    RandomArrangement(generator, 3, slotOf);
    ++seen[slotOf];
  }
  ASSERT_EQ(seen.size(), 6u);
  for (const auto& [arrangement, count] : seen) EXPECT_NEAR(count, draws / 6.0, 500);
}

TEST(AggregationIndexTest, DegenerateDataAreRefused) {
  AggregationResult r;
  Status one = ComputeAggregationIndex(Units({{0, 0, 1}, {1, 1, 1}, {2, 2, 1}}), 10, 1, nullptr, r);
  ASSERT_FALSE(one.ok());
  EXPECT_NE(one.message().find("one MLG"), std::string::npos);
  Status single = ComputeAggregationIndex(Units({{0, 0, 1}}), 10, 1, nullptr, r);
  ASSERT_FALSE(single.ok());
  EXPECT_NE(single.message().find("at least two"), std::string::npos);
  Status none = ComputeAggregationIndex(Units({{0, 0, 1}, {1, 1, 2}}), 0, 1, nullptr, r);
  EXPECT_FALSE(none.ok());
}

TEST(AggregationIndexTest, CancelledRunReportsCancelled) {
  NullProgressSink progress;
  progress.RequestCancel();
  AggregationResult r;
  Status s =
      ComputeAggregationIndex(Units({{0, 0, 1}, {1, 1, 2}, {3, 3, 1}}), 1000, 1, &progress, r);
  EXPECT_TRUE(s.cancelled());
}

struct Formatted {
  double value;
  const char* text;
};

class IndexFormatTest : public ::testing::TestWithParam<Formatted> {};

TEST_P(IndexFormatTest, FiveSignificantDigitsWithFourDecimals) {
  EXPECT_EQ(FormatIndexValue(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IndexFormatTest,
    ::testing::Values(Formatted{1.0, "1.0000"}, Formatted{0.0, "0.0000"},
                      Formatted{0.123456, "0.1235"}, Formatted{-0.5, "-0.5000"},
                      Formatted{12.34567, "12.3460"}, Formatted{-37.891234, "-37.8910"},
                      Formatted{123456.7, "123460.0000"}, Formatted{9.99996, "10.0000"},
                      Formatted{0.03125, "0.0313"}, Formatted{-0.00001, "0.0000"},
                      Formatted{NAN, ""}));

}  // namespace
}  // namespace vireltan
