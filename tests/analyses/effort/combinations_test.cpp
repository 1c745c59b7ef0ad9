// SPDX-License-Identifier: GPL-3.0-or-later
// Exhaustive combinations over loci and over sampling units, against the
// worked cases and against full enumerations written out in the tests.
#include "analyses/effort/combinations.h"

#include <gtest/gtest.h>

#include <numeric>

#include "analyses/effort/effort_input.h"
#include "effort_reference.h"

namespace vireltan {
namespace {

using testing::Genotype;
using testing::MakeDataset;

LociCombinationResult CombineLoci(const Dataset& d) {
  EffortInput in = PrepareEffortInput(d, IdentifyMlgs(d));
  NullProgressSink progress;
  LociCombinationResult result;
  EXPECT_TRUE(CombineLociCurve(in, progress, result).ok());
  return result;
}

// Homozygous genotypes from one allele index per locus.
Genotype Homozygous(const std::vector<int>& alleleIndex) {
  Genotype g;
  for (int a : alleleIndex) g.push_back({100 + a, 100 + a});
  return g;
}

std::vector<bool> Flags(std::initializer_list<int> on, int loci) {
  std::vector<bool> f(loci, false);
  for (int locus : on) f[locus - 1] = true;
  return f;
}

TEST(CombineLoci, PairsReachingAllMlgsAreListedInVisitingOrder) {
  // Locus 1 splits {a,b}|{c,d}, locus 2 {a,c}|{b,d}, locus 3 {a,d}|{b,c}:
  // no single locus separates the 4 MLGs, every pair does.
  Dataset d = MakeDataset(
      {Homozygous({0, 0, 0}), Homozygous({0, 1, 1}), Homozygous({1, 0, 1}), Homozygous({1, 1, 0})});
  LociCombinationResult r = CombineLoci(d);
  EXPECT_EQ(r.minimumSize, 2);
  EXPECT_EQ(r.minimumFound, 3);
  ASSERT_EQ(r.minimumCombinations.size(), 3u);
  EXPECT_EQ(r.minimumCombinations[0], Flags({1, 2}, 3));
  EXPECT_EQ(r.minimumCombinations[1], Flags({1, 3}, 3));
  EXPECT_EQ(r.minimumCombinations[2], Flags({2, 3}, 3));
  ASSERT_EQ(r.rows.size(), 3u);
  EXPECT_DOUBLE_EQ(r.rows[0].averageMlg, 2);
  EXPECT_EQ(r.rows[0].mlgMin, 2);
  EXPECT_EQ(r.rows[0].mlgMax, 2);
  EXPECT_DOUBLE_EQ(r.rows[1].averageMlg, 4);
  // k = L: one subset, the MLG count of the full set.
  EXPECT_DOUBLE_EQ(r.rows[2].averageMlg, 4);
  EXPECT_EQ(r.rows[2].mlgMin, 4);
  EXPECT_EQ(r.rows[2].mlgMax, 4);
}

TEST(CombineLoci, OnlyTheFullSetReachingAllMlgsIsListedAlone) {
  // Dropping any one locus merges a with one of b, c, d.
  Dataset d = MakeDataset(
      {Homozygous({0, 0, 0}), Homozygous({1, 0, 0}), Homozygous({0, 1, 0}), Homozygous({0, 0, 1})});
  LociCombinationResult r = CombineLoci(d);
  EXPECT_EQ(r.minimumSize, 3);
  EXPECT_EQ(r.minimumFound, 1);
  ASSERT_EQ(r.minimumCombinations.size(), 1u);
  EXPECT_EQ(r.minimumCombinations[0], Flags({1, 2, 3}, 3));
  // Singles: 2 MLGs each; pairs: 3 each.
  EXPECT_DOUBLE_EQ(r.rows[0].averageMlg, 2);
  EXPECT_DOUBLE_EQ(r.rows[1].averageMlg, 3);
  EXPECT_EQ(r.rows[2].mlgMin, 4);
}

TEST(CombineLoci, KeepsTheFirstTwentyOfMoreMinimumCombinations) {
  // 5 SUs, 7 loci; locus i merges one pair of SUs, a different pair for
  // each locus: every pair of loci separates the 5 MLGs, no single locus
  // does, so 21 pairs reach G and the first 20 in visiting order are kept.
  const std::vector<std::pair<int, int>> merged{{0, 1}, {0, 2}, {0, 3}, {0, 4},
                                                {1, 2}, {1, 3}, {1, 4}};
  std::vector<Genotype> sus(5);
  for (int s = 0; s < 5; ++s)
    for (auto [p, q] : merged) {
      int a = 100 + (s == q ? p : s);
      sus[s].push_back({a, a});
    }
  LociCombinationResult r = CombineLoci(MakeDataset(sus));
  EXPECT_EQ(r.minimumSize, 2);
  EXPECT_EQ(r.minimumFound, 21);
  ASSERT_EQ(r.minimumCombinations.size(), 20u);
  EXPECT_EQ(r.minimumCombinations[0], Flags({1, 2}, 7));
  EXPECT_EQ(r.minimumCombinations[1], Flags({1, 3}, 7));
  EXPECT_EQ(r.minimumCombinations[2], Flags({2, 3}, 7));
  EXPECT_EQ(r.minimumCombinations[3], Flags({1, 4}, 7));
  // {6, 7} is the last pair visited: left out.
  EXPECT_EQ(r.minimumCombinations[19], Flags({5, 7}, 7));
  EXPECT_DOUBLE_EQ(r.rows[0].averageMlg, 4);
  EXPECT_DOUBLE_EQ(r.rows[1].averageMlg, 5);
}

TEST(CombineLoci, SingleLocus) {
  Dataset d = MakeDataset({{{120, 124}}, {{120, 124}}, {{124, 124}}});
  LociCombinationResult r = CombineLoci(d);
  ASSERT_EQ(r.rows.size(), 1u);
  EXPECT_DOUBLE_EQ(r.rows[0].averageMlg, 2);
  EXPECT_EQ(r.minimumSize, 1);
  EXPECT_EQ(r.minimumCombinations, (std::vector<std::vector<bool>>{{true}}));
}

// The same tables and lists as enumerating every subset with sorted text
// keys, on random datasets with clones and missing alleles.
TEST(CombineLoci, IdenticalToFullEnumerationOnRandomData) {
  struct Shape {
    int n, loci, distinct, alleles;
    double missing;
  };
  for (Shape s : {Shape{12, 5, 8, 2, 0.0}, Shape{30, 7, 20, 3, 0.05}, Shape{25, 8, 25, 2, 0.1},
                  Shape{20, 6, 3, 4, 0.0}}) {
    for (std::uint32_t seed : {11u, 12u}) {
      Dataset d = testing::RandomDataset(seed, s.n, s.loci, s.distinct, s.alleles, s.missing);
      int g = IdentifyMlgs(d).mlgCount;
      LociCombinationResult fast = CombineLoci(d);
      LociCombinationResult slow = testing::ReferenceCombineLoci(d, g);
      ASSERT_EQ(fast.rows.size(), slow.rows.size());
      for (size_t k = 0; k < fast.rows.size(); ++k) {
        EXPECT_EQ(fast.rows[k].averageMlg, slow.rows[k].averageMlg) << k;
        EXPECT_EQ(fast.rows[k].mlgMin, slow.rows[k].mlgMin) << k;
        EXPECT_EQ(fast.rows[k].mlgMax, slow.rows[k].mlgMax) << k;
      }
      EXPECT_EQ(fast.minimumSize, slow.minimumSize);
      EXPECT_EQ(fast.minimumFound, slow.minimumFound);
      EXPECT_EQ(fast.minimumCombinations, slow.minimumCombinations);
    }
  }
}

TEST(CombineLoci, CancelLeavesTheResultUntouched) {
  Dataset d = testing::RandomDataset(3, 50, 14, 40, 3, 0.0);
  EffortInput in = PrepareEffortInput(d, IdentifyMlgs(d));
  NullProgressSink progress;
  progress.RequestCancel();
  LociCombinationResult result;
  result.minimumSize = -7;
  EXPECT_TRUE(CombineLociCurve(in, progress, result).cancelled());
  EXPECT_EQ(result.minimumSize, -7);
  EXPECT_TRUE(result.rows.empty());
}

TEST(CombineIndividuals, ThreeUnitsOfTwoMlgs) {
  // MLG indices 1, 1, 2.
  std::vector<CombinationRow> rows = CombineIndividualsCurve({2, 1});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].averageMlg, 1);
  EXPECT_EQ(rows[0].mlgMin, 1);
  EXPECT_EQ(rows[0].mlgMax, 1);
  EXPECT_DOUBLE_EQ(rows[1].averageMlg, 5.0 / 3.0);
  EXPECT_EQ(rows[1].mlgMin, 1);
  EXPECT_EQ(rows[1].mlgMax, 2);
  EXPECT_EQ(rows[2].averageMlg, 2);
  EXPECT_EQ(rows[2].mlgMin, 2);
  EXPECT_EQ(rows[2].mlgMax, 2);
}

std::vector<int> RowsInMlgOrder(const std::vector<int>& cloneSizes) {
  std::vector<int> mlgOfRow;
  for (size_t g = 0; g < cloneSizes.size(); ++g)
    mlgOfRow.insert(mlgOfRow.end(), cloneSizes[g], static_cast<int>(g) + 1);
  return mlgOfRow;
}

// Against every one of the 2^N - 1 subsets, for N up to 16: identical
// through exact quotients, and within 1e-12 through the running products
// used for larger N.
TEST(CombineIndividuals, MatchesEnumerationOfEverySubset) {
  RandomGenerator r(2024);
  std::vector<std::vector<int>> cases{{1}, {5}, {1, 1, 1, 1}, {3, 1, 2}, {16}, {8, 8}};
  for (int extra = 0; extra < 12; ++extra) {
    std::vector<int> sizes;
    int n = 1 + r.Below(16);
    for (int left = n; left > 0;) {
      int s = 1 + r.Below(left);
      sizes.push_back(s);
      left -= s;
    }
    cases.push_back(sizes);
  }
  for (const std::vector<int>& sizes : cases) {
    std::vector<CombinationRow> slow = testing::ReferenceCombineIndividuals(RowsInMlgOrder(sizes));
    std::vector<CombinationRow> exact = CombineIndividualsCurve(sizes);
    std::vector<CombinationRow> products = CombineIndividualsCurve(sizes, false);
    ASSERT_EQ(exact.size(), slow.size());
    for (size_t j = 0; j < slow.size(); ++j) {
      EXPECT_EQ(exact[j].averageMlg, slow[j].averageMlg) << j;
      EXPECT_NEAR(products[j].averageMlg, slow[j].averageMlg, 1e-12) << j;
      EXPECT_EQ(exact[j].mlgMin, slow[j].mlgMin) << j;
      EXPECT_EQ(exact[j].mlgMax, slow[j].mlgMax) << j;
      EXPECT_EQ(products[j].mlgMin, slow[j].mlgMin);
      EXPECT_EQ(products[j].mlgMax, slow[j].mlgMax);
    }
  }
}

TEST(CombineIndividuals, LargeSamplesStayAccurate) {
  // 2,000 units in 300 clones of sizes 1..; the two paths meet at N = 60.
  std::vector<int> sizes;
  int n = 0;
  for (int g = 0; n < 2000; ++g) {
    int s = std::min(1 + g % 13, 2000 - n);
    sizes.push_back(s);
    n += s;
  }
  const int g = static_cast<int>(sizes.size());
  std::vector<CombinationRow> rows = CombineIndividualsCurve(sizes);
  ASSERT_EQ(rows.size(), 2000u);
  EXPECT_EQ(rows[0].averageMlg, 1);
  EXPECT_EQ(rows.back().averageMlg, g);
  for (size_t j = 1; j < rows.size(); ++j) {
    EXPECT_GE(rows[j].averageMlg, rows[j - 1].averageMlg - 1e-9);
    EXPECT_LE(rows[j].averageMlg, rows[j].mlgMax);
    EXPECT_GE(rows[j].averageMlg, rows[j].mlgMin);
  }
  // Two units: both of one clone with probability sum C(n_g, 2) / C(N, 2).
  double pairsWithin = 0;
  for (int s : sizes) pairsWithin += s * (s - 1) / 2.0;
  EXPECT_NEAR(rows[1].averageMlg, 2 - pairsWithin / (2000.0 * 1999 / 2), 1e-13);
  // N - 1 units: one unit left out; its MLG is lost only if a singleton.
  int singletons = static_cast<int>(std::count(sizes.begin(), sizes.end(), 1));
  EXPECT_NEAR(rows[1998].averageMlg, g - singletons / 2000.0, 1e-11);

  std::vector<int> small{20, 10, 5, 5, 3, 3, 3, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1};  // N = 60
  std::vector<CombinationRow> exact = CombineIndividualsCurve(small);
  std::vector<CombinationRow> products = CombineIndividualsCurve(small, false);
  for (size_t j = 0; j < exact.size(); ++j)
    EXPECT_NEAR(products[j].averageMlg, exact[j].averageMlg, 1e-12 * exact[j].averageMlg) << j;
}

TEST(CombineIndividuals, MinimumTakesTheLargestClonesFirst) {
  std::vector<CombinationRow> rows = CombineIndividualsCurve({1, 4, 2});  // N = 7
  const int expectedMin[] = {1, 1, 1, 1, 2, 2, 3};
  const int expectedMax[] = {1, 2, 3, 3, 3, 3, 3};
  for (int j = 0; j < 7; ++j) {
    EXPECT_EQ(rows[j].mlgMin, expectedMin[j]) << j + 1;
    EXPECT_EQ(rows[j].mlgMax, expectedMax[j]) << j + 1;
  }
}

}  // namespace
}  // namespace vireltan
