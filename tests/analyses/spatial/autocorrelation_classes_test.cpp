// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_classes.h"

#include <gtest/gtest.h>

#include <random>

#include "autocorrelation_fixtures.h"

namespace vireltan {
namespace {

using autocorrelation_testing::ListedPair;
using autocorrelation_testing::LiteralWalk;

// Tabulates a 0-based sorted list with the program's class code.
ClassTable Tabulate(const std::vector<ListedPair>& pairs, const ClassRule& rule) {
  const std::int64_t n = static_cast<std::int64_t>(pairs.size());
  auto distanceAt = [&](std::int64_t i) { return pairs[i - 1].distance; };
  auto pairAt = [&](std::int64_t i) { return pairs[i - 1]; };
  return TabulateClasses(n, rule, ClassEnds(n, rule, distanceAt), pairAt);
}

std::vector<ListedPair> Distances(const std::vector<double>& d) {
  std::vector<ListedPair> pairs;
  for (size_t i = 0; i < d.size(); ++i) pairs.push_back({d[i], 0.1 * (i + 1), -0.01 * (i + 1)});
  return pairs;
}

ClassRule EqualCount(int k) {
  return ClassRule{DistanceClassRule::kEqualCount, k, {}};
}
ClassRule Fixed(std::vector<double> limits) {
  const int k = static_cast<int>(limits.size());
  return ClassRule{DistanceClassRule::kFixedLimits, k, std::move(limits)};
}

TEST(AutocorrelationClasses, EqualCountSizesForTenPairs) {
  // N = 5 SUs give 10 pairs.
  struct Case {
    int k;
    std::vector<double> sizes;
  };
  for (const Case& c : {Case{3, {4, 3, 3}}, Case{10, std::vector<double>(10, 1.0)},
                        Case{12, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0}}, Case{1, {10}}}) {
    const ClassTable t = Tabulate(Distances({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), EqualCount(c.k));
    ASSERT_EQ(t.k, c.k);
    for (int i = 1; i <= c.k; ++i) EXPECT_EQ(t.pairCount[i], c.sizes[i - 1]) << c.k << " " << i;
  }
}

TEST(AutocorrelationClasses, ClassesBeyondThePairsStayZero) {
  const ClassTable t = Tabulate(Distances({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), EqualCount(12));
  for (int c : {11, 12}) {
    EXPECT_EQ(t.minimum[c], 0);
    EXPECT_EQ(t.average[c], 0);
    EXPECT_EQ(t.maximum[c], 0);
    EXPECT_EQ(t.lnAverage[c], 0);
    EXPECT_EQ(t.pairCount[c], 0);
    EXPECT_EQ(t.loiselle[c], 0);
    EXPECT_EQ(t.ritland[c], 0);
  }
  EXPECT_EQ(t.maximum[10], 10);
}

TEST(AutocorrelationClasses, NextClassStartsAtThePreviousMaximum) {
  const ClassTable t = Tabulate(Distances({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), EqualCount(3));
  EXPECT_EQ(t.minimum[1], 1);
  EXPECT_EQ(t.maximum[1], 4);
  EXPECT_EQ(t.minimum[2], t.maximum[1]);
  EXPECT_EQ(t.maximum[2], 7);
  EXPECT_EQ(t.minimum[3], 7);
  EXPECT_DOUBLE_EQ(t.average[1], 2.5);
  EXPECT_DOUBLE_EQ(t.lnAverage[1], std::log(2.5));
  EXPECT_DOUBLE_EQ(t.loiselle[1], (0.1 + 0.2 + 0.3 + 0.4) / 4);
  EXPECT_DOUBLE_EQ(t.meanLoiselle, 0.55);
}

TEST(AutocorrelationClasses, FixedLimitsWithinRangeReportTheLargestDistanceLast) {
  // Limits 10, 20, 30 and a largest distance of 25.
  const ClassTable t = Tabulate(Distances({2, 8, 12, 19, 21, 25}), Fixed({10, 20, 30}));
  EXPECT_EQ(t.pairCount[1], 2);
  EXPECT_EQ(t.pairCount[2], 2);
  EXPECT_EQ(t.pairCount[3], 2);
  EXPECT_EQ(t.maximum[1], 10);
  EXPECT_EQ(t.maximum[2], 20);
  EXPECT_EQ(t.maximum[3], 25);  // not 30
  // The minimum of a class is the last pair of the one before.
  EXPECT_EQ(t.minimum[1], 2);
  EXPECT_EQ(t.minimum[2], 8);
  EXPECT_EQ(t.minimum[3], 19);
}

TEST(AutocorrelationClasses, OnePairAfterAGapOpensOnlyTheNextClass) {
  struct Case {
    std::vector<double> distances;
    std::vector<double> counts;
  };
  // Limits 10, 20, 30: 5, 25, 26 give {5}, {25}, {26}; 5, 25 give {5},
  // {25} and an empty third class; a gap past two limits still opens one.
  for (const Case& c : {Case{{5, 25, 26}, {1, 1, 1}}, Case{{5, 25}, {1, 1, 0}},
                        Case{{5, 35, 36, 37}, {1, 1, 2}}, Case{{1, 2, 3}, {3, 0, 0}}}) {
    const ClassTable t = Tabulate(Distances(c.distances), Fixed({10, 20, 30}));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(t.pairCount[i], c.counts[i - 1]) << i;
  }
  const ClassTable t = Tabulate(Distances({5, 25}), Fixed({10, 20, 30}));
  EXPECT_EQ(t.average[3], 0);
  EXPECT_EQ(t.loiselle[3], 0);
  EXPECT_EQ(t.maximum[3], 25);  // the largest distance of the list
}

TEST(AutocorrelationClasses, AgreesWithALiteralWalkOnRandomLists) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 200; ++trial) {
    const int count = std::uniform_int_distribution<int>(1, 60)(random);
    std::vector<ListedPair> pairs(count);
    std::uniform_real_distribution<double> unit(0, 1);
    for (auto& p : pairs) p = {std::floor(unit(random) * 50), unit(random), unit(random) - 0.5};
    std::sort(pairs.begin(), pairs.end(),
              [](const ListedPair& a, const ListedPair& b) { return a.distance < b.distance; });
    const bool equal = trial % 2 == 0;
    const int k = std::uniform_int_distribution<int>(1, 12)(random);
    std::vector<double> limits;
    double limit = 0;
    for (int c = 0; c < k; ++c) limits.push_back(limit += std::floor(unit(random) * 12));
    if (!equal) limits.back() = std::max(limits.back(), pairs.back().distance);
    const ClassTable t = Tabulate(
        pairs, equal ? EqualCount(k) : ClassRule{DistanceClassRule::kFixedLimits, k, limits});
    const auto expected = LiteralWalk(pairs, equal, k, limits);
    for (int c = 1; c <= k; ++c) {
      SCOPED_TRACE(::testing::Message() << "trial " << trial << " class " << c);
      ASSERT_EQ(t.pairCount[c], expected[c].count);
      if (expected[c].count == 0) continue;
      EXPECT_DOUBLE_EQ(t.loiselle[c], expected[c].loiselle);
      EXPECT_DOUBLE_EQ(t.ritland[c], expected[c].ritland);
      EXPECT_DOUBLE_EQ(t.average[c], expected[c].average);
      EXPECT_DOUBLE_EQ(t.minimum[c], expected[c].minimum);
      if (equal) EXPECT_DOUBLE_EQ(t.maximum[c], expected[c].maximum);
    }
  }
}

TEST(AutocorrelationClasses, LnOfAverageIsZeroWhenTheAverageIsNotPositive) {
  EXPECT_EQ(LnAverageDistance(0), 0);
  EXPECT_EQ(LnAverageDistance(-1), 0);
  EXPECT_DOUBLE_EQ(LnAverageDistance(std::exp(2.0)), 2.0);
}

}  // namespace
}  // namespace vireltan
