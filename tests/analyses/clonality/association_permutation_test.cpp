// SPDX-License-Identifier: GPL-3.0-or-later
// The permutation test of the index of association: the shuffled statistic
// against a plain pair-by-pair sum, and the test's verdict on simulated
// clonal and sexual populations (fixed seeds).
#include "analyses/clonality/association_permutation.h"

#include <gtest/gtest.h>

#include <random>

namespace vireltan {
namespace {

// N diploid units on L loci: with `genets` > 0 the units are ramets of
// that many genets (clonal), else every allele is drawn independently
// (panmictic). One genotype in `missingEvery` is missing (none when 0).
Dataset Simulate(int n, int loci, int genets, std::uint32_t seed, int missingEvery = 50) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> allele(100, 105);
  Dataset d;
  d.sampleCount = n;
  d.locusCount = loci;
  d.ploidy = 2;
  std::vector<Allele> founders(static_cast<size_t>(std::max(genets, 1)) * loci * 2);
  for (Allele& a : founders) a = static_cast<Allele>(allele(rng));
  for (int u = 0; u < n; ++u) {
    for (int j = 0; j < loci; ++j) {
      Allele a, b;
      if (genets > 0) {
        a = founders[(static_cast<size_t>(u % genets) * loci + j) * 2];
        b = founders[(static_cast<size_t>(u % genets) * loci + j) * 2 + 1];
      } else {
        a = static_cast<Allele>(allele(rng));
        b = static_cast<Allele>(allele(rng));
      }
      if (missingEvery > 0 && rng() % missingEvery == 0) a = b = kMissingAllele;
      d.alleles.push_back(std::min(a, b));
      d.alleles.push_back(std::max(a, b));
    }
  }
  return d;
}

std::vector<int> AllUnits(int n) {
  std::vector<int> units(n);
  for (int u = 0; u < n; ++u) units[u] = u;
  return units;
}

TEST(AssociationPermutation, SumOfSquaresMatchesAPlainPairSum) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    Dataset d = Simulate(37, 6, seed == 2 ? 5 : 0, seed);
    AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
    std::int64_t want = 0;
    for (int a = 0; a < d.sampleCount; ++a)
      for (int b = a + 1; b < d.sampleCount; ++b) {
        std::int64_t sum = 0;
        for (int j = 0; j < d.locusCount; ++j) {
          Allele a1 = d.alleleAt(a, j, 0), a2 = d.alleleAt(a, j, 1);
          Allele b1 = d.alleleAt(b, j, 0), b2 = d.alleleAt(b, j, 1);
          if (a1 == kMissingAllele || b1 == kMissingAllele) continue;
          int straight = (a1 == b1) + (a2 == b2), crossed = (a1 == b2) + (a2 == b1);
          sum += 2 - std::max(straight, crossed);
        }
        want += sum * sum;
      }
    EXPECT_EQ(SumOfSquaredPairDistances(in), want) << seed;
  }
}

TEST(AssociationPermutation, ObservedValueIsTheSummarysAndSeedsRepeat) {
  for (int missingEvery : {0, 20}) {
    Dataset d = Simulate(60, 8, 0, 7, missingEvery);
    AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
    std::vector<LocusPairSums> sums = ComputeLocusPairSums(in);
    AssociationTest first, again;
    ASSERT_TRUE(TestAssociation(in, sums, 99, 42, nullptr, first).ok());
    ASSERT_TRUE(TestAssociation(in, sums, 99, 42, nullptr, again).ok());
    ASSERT_TRUE(first.observedRbarD && first.pRbarD);
    EXPECT_EQ(*first.observedRbarD, *IndexOfAssociation(in, sums).rbarD);
    EXPECT_EQ(first.permutedRbarD, again.permutedRbarD);
    EXPECT_EQ(first.permutedRbarD.size(), 99u);
  }
}

TEST(AssociationPermutation, ClonalPopulationIsSignificant) {
  Dataset d = Simulate(120, 10, 12, 11);
  AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
  AssociationTest test;
  ASSERT_TRUE(TestAssociation(in, ComputeLocusPairSums(in), 499, 5, nullptr, test).ok());
  ASSERT_TRUE(test.pIa && test.pRbarD);
  EXPECT_LT(*test.pRbarD, 0.01);
  EXPECT_EQ(*test.pIa, *test.pRbarD);
}

TEST(AssociationPermutation, PanmicticPopulationIsMostlyNotSignificant) {
  int notSignificant = 0;
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    Dataset d = Simulate(80, 8, 0, 100 + seed);
    AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
    AssociationTest test;
    ASSERT_TRUE(TestAssociation(in, ComputeLocusPairSums(in), 199, seed, nullptr, test).ok());
    ASSERT_TRUE(test.pRbarD);
    notSignificant += *test.pRbarD >= 0.05;
  }
  // About 9.5 of 10 expected under the null; 7 leaves room for chance.
  EXPECT_GE(notSignificant, 7);
}

TEST(AssociationPermutation, CancelStopsWithoutAResult) {
  Dataset d = Simulate(50, 5, 0, 3);
  AssociationInput in = PrepareAssociation(d, AllUnits(d.sampleCount), false);
  NullProgressSink progress;
  progress.RequestCancel();
  AssociationTest test;
  test.permutations = -1;
  EXPECT_TRUE(TestAssociation(in, ComputeLocusPairSums(in), 99, 1, &progress, test).cancelled());
  EXPECT_EQ(test.permutations, -1);
}

}  // namespace
}  // namespace vireltan
