// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_permutation.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "autocorrelation_fixtures.h"

namespace vireltan {
namespace {

using autocorrelation_testing::ListedPair;
using autocorrelation_testing::LiteralWalk;
using autocorrelation_testing::LoadRows;
using autocorrelation_testing::RandomRows;

TEST(AutocorrelationSummary, SdScalesThePopulationVarianceByNPlusOneOverN) {
  const SeriesSummary s = SummarizeSeries({3, 1, 2});
  EXPECT_DOUBLE_EQ(s.mean, 2);
  EXPECT_NEAR(s.sd, std::sqrt(8.0 / 9.0), 1e-15);  // not 0.8165, not 1
  EXPECT_NEAR(s.sd, 0.9428, 1e-4);
  // Equal values: no rounding residue (nor a NaN from a negative one).
  const SeriesSummary flat = SummarizeSeries(std::vector<double>(7, 0.1));
  EXPECT_LT(flat.sd, 1e-16);
  // Far from 0 the digits survive.
  const SeriesSummary far = SummarizeSeries({1e9 + 1, 1e9 + 2, 1e9 + 3});
  EXPECT_NEAR(far.sd, std::sqrt(8.0 / 9.0), 1e-9);
}

TEST(AutocorrelationSummary, BoundPositions) {
  struct Case {
    int n;
    BoundPositions expected;
  };
  for (const Case& c :
       {Case{10, {1, 10, 2, 10}}, Case{100, {4, 98, 6, 95}}, Case{1000, {26, 975, 51, 950}},
        Case{999, {26, 974, 51, 949}}, Case{1, {1, 1, 1, 1}}}) {
    const BoundPositions b = BoundPositionsFor(c.n);
    EXPECT_EQ(b.lower95, c.expected.lower95) << c.n;
    EXPECT_EQ(b.upper95, c.expected.upper95) << c.n;
    EXPECT_EQ(b.lower90, c.expected.lower90) << c.n;
    EXPECT_EQ(b.upper90, c.expected.upper90) << c.n;
  }
  // The bounds are read at those positions of the sorted series.
  std::vector<double> values(100);
  std::iota(values.begin(), values.end(), 1.0);
  std::shuffle(values.begin(), values.end(), std::mt19937(3));
  const SeriesSummary s = SummarizeSeries(values);
  EXPECT_EQ(s.lower95, 4);
  EXPECT_EQ(s.upper95, 98);
  EXPECT_EQ(s.lower90, 6);
  EXPECT_EQ(s.upper90, 95);
}

struct SideCase {
  double observed;
  double overallMean;  // for the class p: the side is that of the overall mean
  std::vector<double> permuted;
};

// (b + 1)/(P + 1) with b counted here, one value at a time.
double CountedP(const std::vector<double>& permuted, bool (*extreme)(double, double),
                double observed) {
  int b = 0;
  for (double v : permuted) b += extreme(v, observed) ? 1 : 0;
  return (b + 1.0) / (static_cast<double>(permuted.size()) + 1.0);
}

TEST(AutocorrelationSummary, PValuesCountTiesOnTheTestedSide) {
  const std::vector<SideCase> cases = {
      {0.5, 0.2, {0.1, 0.5, 0.9, 0.7}},  // above the overall mean, one tie
      {0.5, 0.8, {0.1, 0.5, 0.9, 0.7}},  // below it
      {0.5, 0.5, {0.1, 0.5, 0.9, 0.7}},  // equal to it: the upper side
      {2.0, 0.0, {0.1, 0.5, 0.9, 0.7}},  // beyond every permuted value
      {-1.0, 0.0, {0.1, 0.5, 0.9}},      // below every permuted value
      {0.3, 0.0, {0.3, 0.3, 0.3}},       // all ties
  };
  auto atOrAbove = [](double v, double o) { return v >= o; };
  auto atOrBelow = [](double v, double o) { return v <= o; };
  auto equal = [](double v, double o) { return v == o; };
  for (const SideCase& c : cases) {
    const SlopeTest t = CompareWithPermuted(c.observed, c.permuted);
    EXPECT_DOUBLE_EQ(t.below, CountedP(c.permuted, atOrAbove, c.observed)) << c.observed;
    EXPECT_DOUBLE_EQ(t.above, CountedP(c.permuted, atOrBelow, c.observed)) << c.observed;
    EXPECT_DOUBLE_EQ(t.equal, CountedP(c.permuted, equal, c.observed)) << c.observed;
    // Ties sit on both sides, so the two one-sided p less the tied share is 1.
    EXPECT_NEAR(t.below + t.above - t.equal, 1.0, 1e-12) << c.observed;
    const bool upper = c.observed >= c.overallMean;
    const int count = static_cast<int>(c.permuted.size());
    EXPECT_DOUBLE_EQ(OneSidedClassP(c.observed, c.overallMean, c.permuted.data(), count, 1),
                     CountedP(c.permuted, upper ? +atOrAbove : +atOrBelow, c.observed))
        << c.observed;
  }
  // Strided reading of a permutations x classes array: 20 and 30 of
  // {10, 20, 30} are >= 20.
  const double grid[] = {1, 10, 2, 20, 3, 30};
  EXPECT_DOUBLE_EQ(OneSidedClassP(20, 0, grid + 1, 3, 2), 3.0 / 4.0);
  // No permutations: no test, nothing claimed.
  EXPECT_EQ(OneSidedClassP(1, 0, grid, 0, 1), 0.0);
  EXPECT_EQ(CompareWithPermuted(1, {}).below, 0.0);
}

// The straightforward way: place the units at their positions, recompute
// every distance, list and sort the pairs, walk the classes.
std::vector<autocorrelation_testing::WalkedClass> Straightforward(
    const std::vector<double>& x, const std::vector<double>& y, const std::vector<int>& group,
    const KinshipTable& table, bool skip, const std::vector<int>& unitAt, bool equal, int k,
    const std::vector<double>& limits) {
  const int m = static_cast<int>(x.size());
  std::vector<int> positionOf(m);
  for (int p = 0; p < m; ++p) positionOf[unitAt[p]] = p;
  std::vector<SortTriple> list(1);
  std::vector<KinshipPair> coefficients;
  for (int i = 0; i < m; ++i)
    for (int j = i + 1; j < m; ++j) {
      if (skip && group[i] == group[j]) continue;
      const double dx = x[positionOf[i]] - x[positionOf[j]];
      const double dy = y[positionOf[i]] - y[positionOf[j]];
      list.push_back({std::sqrt(dx * dx + dy * dy), static_cast<double>(coefficients.size()), 0});
      coefficients.push_back(table.at(group[i], group[j]));
    }
  HeapSortTriples(static_cast<int>(list.size()) - 1, list);
  std::vector<ListedPair> sorted;
  for (size_t i = 1; i < list.size(); ++i) {
    const KinshipPair& c = coefficients[static_cast<size_t>(list[i].first)];
    sorted.push_back({list[i].key, c.loiselle, c.ritland});
  }
  return LiteralWalk(sorted, equal, k, limits);
}

TEST(AutocorrelationPermutation, FastPassMatchesRecomputingAndSorting) {
  std::mt19937 random(2024);
  for (int trial = 0; trial < 24; ++trial) {
    const int n = std::uniform_int_distribution<int>(6, 40)(random);
    // Few clones (left-out pairs listed from the MLGs) or many (found by a
    // scan of every pair).
    auto l = LoadRows(RandomRows(random, n, 3, 4, trial % 4 < 2 ? 0.3 : 0.85));
    const Dataset& d = l.dataset;
    const MlgPartition& mlgs = l.mlgs;
    std::vector<int> all(n);
    std::iota(all.begin(), all.end(), 0);
    KinshipCalculator calc(d, ComputeAlleleFrequencies(d, all));
    // Coefficients as a square (rows read whole) or a triangle (classes
    // then read from a square).
    const KinshipLayout layout =
        (trial / 2) % 2 ? KinshipLayout::kTriangle : KinshipLayout::kSquare;
    KinshipTable table;
    if (!ComputeKinshipTable(d, mlgs, calc, true, "SUs", nullptr, table, layout).ok()) continue;

    // Units: SUs (entire, weighted) or genets at their centroids.
    const int kind = trial % 3;  // 0 entire, 1 weighted, 2 central
    const bool skip = kind == 1;
    std::vector<double> x, y;
    std::vector<int> group;
    if (kind == 2) {
      x = mlgs.centroidX;
      y = mlgs.centroidY;
      group.resize(mlgs.mlgCount);
      std::iota(group.begin(), group.end(), 0);
    } else {
      for (int su : mlgs.designationOrder) {
        x.push_back(d.x[su]);
        y.push_back(d.y[su]);
        group.push_back(mlgs.mlgOfSu[su] - 1);
      }
    }
    const int m = static_cast<int>(x.size());
    if (m < 3) continue;
    const bool equal = trial % 2 == 0;
    const int k = std::uniform_int_distribution<int>(2, 7)(random);
    std::vector<double> limits;
    if (trial % 8 < 4) {
      for (int c = 1; c <= k; ++c) limits.push_back(c * 140.0 / k);  // up to the diagonal
    } else {
      // Close limits at short range: classes of one pair past a gap.
      std::uniform_real_distribution<double> close(0, 40);
      for (int c = 1; c <= k; ++c) limits.push_back(close(random));
      std::sort(limits.begin(), limits.end());
    }
    ClassRule rule{equal ? DistanceClassRule::kEqualCount : DistanceClassRule::kFixedLimits, k,
                   limits};

    std::vector<PointPair> all_pairs;
    ASSERT_TRUE(SortedPointPairs(
        x, y, [](int, int) { return true; }, nullptr, all_pairs));
    const SortedPositionPairs positions = CompactPositionPairs(m, all_pairs);
    const std::int64_t total = positions.size();
    std::int64_t kept = 0;
    for (int a = 0; a < m; ++a)
      for (int b = a + 1; b < m; ++b) kept += !skip || group[a] != group[b];
    if (kept == 0) continue;
    const auto ends = ClassEnds(total, rule, [&](std::int64_t i) { return all_pairs[i].distance; });
    PermutationPass pass(positions, PermutedUnits{group, &table, skip}, rule, ends, kept);

    PermutationPass::Scratch scratch;
    ArrangementMeans means;
    for (int arrangement = 0; arrangement < 5; ++arrangement) {
      std::vector<int> unitAt(m);
      std::iota(unitAt.begin(), unitAt.end(), 0);
      if (arrangement > 0) std::shuffle(unitAt.begin(), unitAt.end(), random);
      pass.Evaluate(unitAt, scratch, means);
      const auto expected = Straightforward(x, y, group, table, skip, unitAt, equal, k, limits);
      for (int c = 1; c <= k; ++c) {
        SCOPED_TRACE(::testing::Message()
                     << "trial " << trial << " arrangement " << arrangement << " class " << c);
        EXPECT_NEAR(means.loiselle[c], expected[c].count ? expected[c].loiselle : 0.0, 1e-12);
        EXPECT_NEAR(means.ritland[c], expected[c].count ? expected[c].ritland : 0.0, 1e-12);
      }
    }
  }
}

TEST(AutocorrelationPermutation, PairsAtEqualDistancesKeepTheHeapSortOrder) {
  // Points on a small grid: many pairs share a distance.
  std::vector<double> x, y;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j) x.push_back(i), y.push_back(j);
  std::vector<PointPair> sorted;
  ASSERT_TRUE(SortedPointPairs(
      x, y, [](int a, int b) { return (a + b) % 7 != 0; }, nullptr, sorted));
  std::vector<SortTriple> triples(1);
  for (size_t a = 0; a < x.size(); ++a)
    for (size_t b = a + 1; b < x.size(); ++b) {
      if ((a + b) % 7 == 0) continue;
      const double dx = x[a] - x[b], dy = y[a] - y[b];
      triples.push_back(
          {std::sqrt(dx * dx + dy * dy), static_cast<double>(a), static_cast<double>(b)});
    }
  HeapSortTriples(static_cast<int>(triples.size()) - 1, triples);
  ASSERT_EQ(sorted.size(), triples.size());
  for (size_t i = 1; i < sorted.size(); ++i) {
    EXPECT_EQ(sorted[i].distance, triples[i].key);
    EXPECT_EQ(sorted[i].first, triples[i].first) << i;
    EXPECT_EQ(sorted[i].second, triples[i].second) << i;
  }
}

TEST(AutocorrelationPermutation, RunsAreReproducibleFromTheSeed) {
  std::mt19937 random(5);
  auto l = LoadRows(RandomRows(random, 30, 3, 5, 0.2));
  std::vector<int> all(30);
  std::iota(all.begin(), all.end(), 0);
  KinshipCalculator calc(l.dataset, ComputeAlleleFrequencies(l.dataset, all));
  KinshipTable table;
  ASSERT_TRUE(ComputeKinshipTable(l.dataset, l.mlgs, calc, true, "SUs", nullptr, table).ok());
  std::vector<double> x, y;
  std::vector<int> group;
  for (int su : l.mlgs.designationOrder) {
    x.push_back(l.dataset.x[su]);
    y.push_back(l.dataset.y[su]);
    group.push_back(l.mlgs.mlgOfSu[su] - 1);
  }
  std::vector<PointPair> sorted;
  ASSERT_TRUE(SortedPointPairs(
      x, y, [](int, int) { return true; }, nullptr, sorted));
  const SortedPositionPairs positions = CompactPositionPairs(30, sorted);
  ClassRule rule{DistanceClassRule::kEqualCount, 5, {}};
  const auto ends = EqualCountClassEnds(positions.size(), 5);
  PermutationPass pass(positions, PermutedUnits{group, &table, false}, rule, ends,
                       positions.size());
  const std::vector<double> xd{0, 10, 20, 30, 40, 50}, xl{0, 1, 2, 3, 4, 5};
  PermutationResults a, b, c;
  ASSERT_TRUE(RunPermutations(pass, 57, 99, 0, xd, xl, nullptr, a).ok());
  ASSERT_TRUE(RunPermutations(pass, 57, 99, 0, xd, xl, nullptr, b).ok());
  ASSERT_TRUE(RunPermutations(pass, 57, 100, 0, xd, xl, nullptr, c).ok());
  EXPECT_EQ(a.loiselle, b.loiselle);
  EXPECT_EQ(a.slopes[1], b.slopes[1]);
  EXPECT_NE(a.loiselle, c.loiselle);
  // Every permuted arrangement keeps the overall mean of the pairs.
  double overall = 0;
  for (int i = 0; i < 30; ++i)
    for (int j = i + 1; j < 30; ++j) overall += table.at(group[i], group[j]).loiselle;
  overall /= positions.size();
  for (int x = 0; x < 57; ++x) {
    double sum = 0;
    for (int cl = 0; cl < 5; ++cl) sum += a.loiselle[x * 5 + cl] * (positions.size() / 5);
    EXPECT_NEAR(sum / positions.size(), overall, 1e-12);
  }
}

TEST(AutocorrelationPermutation, CancelStopsTheRun) {
  std::mt19937 random(6);
  auto l = LoadRows(RandomRows(random, 12, 2, 4, 0.0));
  std::vector<int> all(12);
  std::iota(all.begin(), all.end(), 0);
  KinshipCalculator calc(l.dataset, ComputeAlleleFrequencies(l.dataset, all));
  KinshipTable table;
  ASSERT_TRUE(ComputeKinshipTable(l.dataset, l.mlgs, calc, true, "SUs", nullptr, table).ok());
  std::vector<int> group(12);
  for (int i = 0; i < 12; ++i) group[i] = l.mlgs.mlgOfSu[l.mlgs.designationOrder[i]] - 1;
  std::vector<double> x, y;
  for (int su : l.mlgs.designationOrder) x.push_back(l.dataset.x[su]), y.push_back(l.dataset.y[su]);
  std::vector<PointPair> sorted;
  ASSERT_TRUE(SortedPointPairs(
      x, y, [](int, int) { return true; }, nullptr, sorted));
  const auto positions = CompactPositionPairs(12, sorted);
  PermutationPass pass(positions, PermutedUnits{group, &table, false},
                       ClassRule{DistanceClassRule::kEqualCount, 3, {}},
                       EqualCountClassEnds(positions.size(), 3), positions.size());
  NullProgressSink progress;
  progress.RequestCancel();
  PermutationResults r;
  Status s = RunPermutations(pass, 100, 1, 0, {0, 1, 2, 3}, {0, 0.5, 1, 2}, &progress, r);
  EXPECT_TRUE(s.cancelled());
}

}  // namespace
}  // namespace vireltan
