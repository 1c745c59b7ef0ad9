// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_resampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "analyses/spatial/autocorrelation_output.h"
#include "autocorrelation_fixtures.h"

namespace vireltan {
namespace {

using autocorrelation_testing::LoadRows;

TEST(AutocorrelationResampling, DistancesRoundToFiveDigitsThenTwoDecimals) {
  struct Case {
    double value, expected;
  };
  for (const Case& c : {Case{12.345678, 12.35}, Case{1234.5678, 1234.6}, Case{123456.78, 123460},
                        Case{-3.14159, -3.14}, Case{0.0012345, 0}, Case{0.375, 0.38},
                        Case{0.125, 0.12},  // an exact half goes to the even neighbour
                        Case{1e300, 1e300}, Case{0, 0}}) {
    EXPECT_DOUBLE_EQ(RoundToFiveDigitsTwoDecimals(c.value), c.expected) << c.value;
  }
  EXPECT_FALSE(std::signbit(RoundToFiveDigitsTwoDecimals(-0.001)));  // no "-0"
}

// Genet A has two ramets, at (0, 0) and (100, 0); B and C one each, at
// (0, 10) and (0, 25). With three classes of one pair each, every replicate
// holds the pair B-C at 15, and A's draw decides the rest:
//   A at (0, 0):   A-B 10, B-C 15, A-C 25;
//   A at (100, 0): B-C 15, A-B √10100, A-C √10625.
TEST(AutocorrelationResampling, SingleRametGenetsAlwaysGiveThatRamet) {
  auto l = LoadRows({{"4", "", "", "1", "2"},
                     {"a1", "0", "0", "100102"},
                     {"a2", "100", "0", "100102"},
                     {"b", "0", "10", "100100"},
                     {"c", "0", "25", "102104"}});
  ASSERT_EQ(l.mlgs.mlgCount, 3);
  KinshipCalculator calc(l.dataset, ComputeAlleleFrequencies(l.dataset, l.mlgs.representative));
  KinshipTable table;
  ASSERT_TRUE(ComputeKinshipTable(l.dataset, l.mlgs, calc, false, "MLGs", nullptr, table).ok());
  // MLG numbers follow the genotype keys: 100100 (b), 100102 (a), 102104 (c).
  const int a = l.mlgs.mlgOfSu[0] - 1, b = l.mlgs.mlgOfSu[2] - 1, c = l.mlgs.mlgOfSu[3] - 1;
  const double fAB = table.at(a, b).loiselle, fBC = table.at(b, c).loiselle,
               fAC = table.at(a, c).loiselle;

  const ClassRule rule{DistanceClassRule::kEqualCount, 3, {}};
  const int n = 60;
  ResamplingResults r;
  ASSERT_TRUE(RunResampling(l.dataset, l.mlgs, table, rule, n, 99, 0, nullptr, r).ok());
  std::set<double> firstClass;
  for (int x = 0; x < n; ++x) {
    const double* average = &r.average[static_cast<size_t>(x) * 3];
    const double* loiselle = &r.observedLoiselle[static_cast<size_t>(x) * 3];
    firstClass.insert(average[0]);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(r.pairCount[static_cast<size_t>(x) * 3 + k], 1);
    if (average[0] == 10) {
      EXPECT_EQ(average[1], 15);
      EXPECT_EQ(average[2], 25);
      EXPECT_DOUBLE_EQ(loiselle[0], fAB);
      EXPECT_DOUBLE_EQ(loiselle[1], fBC);
      EXPECT_DOUBLE_EQ(loiselle[2], fAC);
    } else {
      ASSERT_EQ(average[0], 15);
      EXPECT_EQ(average[1], 100.5);   // √10100 = 100.4988
      EXPECT_EQ(average[2], 103.08);  // √10625 = 103.0776
      EXPECT_DOUBLE_EQ(loiselle[0], fBC);
      EXPECT_DOUBLE_EQ(loiselle[1], fAB);
      EXPECT_DOUBLE_EQ(loiselle[2], fAC);
    }
  }
  // A's two ramets are both drawn (each replicate picks one uniformly).
  EXPECT_EQ(firstClass, (std::set<double>{10, 15}));
  EXPECT_DOUBLE_EQ(r.meanLoiselle, (fAB + fBC + fAC) / 3);
}

TEST(AutocorrelationResampling, GenetsOfOneRametRepeatTheCentralTableInEveryReplicate) {
  // No clones: every replicate draws the same positions, so the observed
  // values never vary and both bounds of every class are equal.
  auto l = LoadRows({{"6", "", "", "2", "2"},
                     {"s1", "0", "0", "100102", "120124"},
                     {"s2", "3", "1", "100104", "120120"},
                     {"s3", "7", "2", "102104", "122124"},
                     {"s4", "1", "9", "100100", "120122"},
                     {"s5", "12", "4", "104104", "124124"},
                     {"s6", "6", "13", "102102", "122122"}});
  ASSERT_EQ(l.mlgs.mlgCount, 6);
  KinshipCalculator calc(l.dataset, ComputeAlleleFrequencies(l.dataset, l.mlgs.representative));
  KinshipTable table;
  ASSERT_TRUE(ComputeKinshipTable(l.dataset, l.mlgs, calc, false, "MLGs", nullptr, table).ok());
  const ClassRule rule{DistanceClassRule::kEqualCount, 4, {}};
  ResamplingResults r;
  ASSERT_TRUE(RunResampling(l.dataset, l.mlgs, table, rule, 25, 5, 0, nullptr, r).ok());
  for (int c = 1; c <= 4; ++c) {
    for (const std::vector<double>* v : {&r.minimum, &r.average, &r.maximum, &r.observedLoiselle}) {
      std::vector<double> column;
      for (int x = 0; x < r.n; ++x) column.push_back((*v)[static_cast<size_t>(x) * 4 + c - 1]);
      const SeriesSummary s = SummarizeSeries(column);
      EXPECT_EQ(s.lower95, s.upper95) << c;
      EXPECT_EQ(BoundText(s.lower90) + "/" + BoundText(s.upper90),
                BoundText(column[0]) + "/" + BoundText(column[0]));
    }
  }
  for (int s = 0; s < 4; ++s)
    for (int x = 1; x < r.n; ++x) EXPECT_EQ(r.observedSlopes[s][x], r.observedSlopes[s][0]);
}

}  // namespace
}  // namespace vireltan
