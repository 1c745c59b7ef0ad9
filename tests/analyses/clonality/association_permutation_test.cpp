// SPDX-License-Identifier: GPL-3.0-or-later
// The permutation test of the index of association: the shuffled statistic
// against a plain pair-by-pair sum, and the test's verdict on simulated
// clonal and sexual populations (fixed seeds).
#include "analyses/clonality/association_permutation.h"

#include <gtest/gtest.h>

#include <cmath>
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

// Ia and rbarD with missing genotypes under poppr's rule, the allele null
// model, and cancellation of long runs.
// Alleles not shared (multiset), 0 when either genotype is missing.
int Differing(const Dataset& d, int a, int b, int j) {
  Allele x0 = d.alleleAt(a, j, 0), x1 = d.alleleAt(a, j, 1);
  Allele y0 = d.alleleAt(b, j, 0), y1 = d.alleleAt(b, j, 1);
  if (x0 == kMissingAllele || y0 == kMissingAllele) return 0;
  int straight = (x0 == y0) + (x1 == y1), crossed = (x0 == y1) + (x1 == y0);
  return 2 - std::max(straight, crossed);
}

TEST(AssociationPermutation, PopprMissingRuleEqualsADirectComputation) {
  for (std::uint32_t seed : {3u, 4u}) {
    Dataset d = Simulate(41, 5, seed == 3 ? 6 : 0, seed, 7);
    const int n = d.sampleCount, loci = d.locusCount;
    // Every pair counts at every locus, a missing locus as d_j = 0.
    const double pairs = n * (n - 1) / 2.0;
    std::vector<double> s(loci, 0), s2(loci, 0);
    double sumD = 0, sumD2 = 0;
    for (int a = 0; a < n; ++a)
      for (int b = a + 1; b < n; ++b) {
        double dPair = 0;
        for (int j = 0; j < loci; ++j) {
          int dj = Differing(d, a, b, j);
          s[j] += dj;
          s2[j] += dj * dj;
          dPair += dj;
        }
        sumD += dPair;
        sumD2 += dPair * dPair;
      }
    double ve = 0, cross = 0;
    std::vector<double> v(loci);
    for (int j = 0; j < loci; ++j) {
      v[j] = s2[j] / pairs - (s[j] / pairs) * (s[j] / pairs);
      ve += v[j];
    }
    for (int j = 0; j < loci; ++j)
      for (int k = j + 1; k < loci; ++k) cross += std::sqrt(v[j] * v[k]);
    const double vo = sumD2 / pairs - (sumD / pairs) * (sumD / pairs);

    for (bool collapse : {false, true}) {
      AssociationInput in = PrepareAssociation(d, AllUnits(n), collapse);
      AssociationResult r = IndexOfAssociation(in, ComputeLocusPairSums(in, IaMissing::kPoppr));
      ASSERT_TRUE(r.ia && r.rbarD);
      EXPECT_NEAR(*r.ia, vo / ve - 1, 1e-9) << seed;
      EXPECT_NEAR(*r.rbarD, (vo - ve) / (2 * cross), 1e-9) << seed;
      // The typed-pairs rule gives another value on these data.
      AssociationResult typed = IndexOfAssociation(in, ComputeLocusPairSums(in));
      EXPECT_GT(std::fabs(*typed.ia - *r.ia), 1e-6) << seed;
    }
  }
}

// Asks for cancellation at its third progress report.
class CancelOnThirdReport : public ProgressSink {
 public:
  void SetPosition(int) override {
    if (++reports_ == 3) RequestCancel();
  }
  int reports() const { return reports_; }

 private:
  int reports_ = 0;
};

TEST(AssociationPermutation, AlleleNullSeparatesClonalFromPanmicticAndRepeats) {
  NullProgressSink quiet;
  struct Case {
    int genets;
    bool significant;
  };
  for (const Case& c : {Case{8, true}, Case{0, false}}) {
    Dataset d = Simulate(60, 6, c.genets, 11, 0);
    AssociationTest first, again;
    ASSERT_TRUE(
        TestAssociationAlleles(d, AllUnits(60), IaMissing::kPoppr, 99, 5u, &quiet, first).ok());
    ASSERT_TRUE(
        TestAssociationAlleles(d, AllUnits(60), IaMissing::kPoppr, 99, 5u, &quiet, again).ok());
    ASSERT_TRUE(first.pRbarD && first.pIa);
    EXPECT_EQ(first.null, IaNull::kAlleles);
    EXPECT_EQ(first.permutedRbarD, again.permutedRbarD);
    EXPECT_EQ(first.permutedRbarD.size(), 99u);
    if (c.significant) {
      EXPECT_LE(*first.pRbarD, 0.02);
    } else {
      EXPECT_GT(*first.pRbarD, 0.02);
    }
  }
}

TEST(AssociationPermutation, LongRunsStopSoonAfterCancel) {
  // A chunk is about a twentieth of a second of work: one permutation at a
  // time from N = 5,000.
  EXPECT_EQ(PermutationsPerChunk(5000, 20), 1);
  EXPECT_EQ(PermutationsPerChunk(50, 5), 256);
  Dataset d = Simulate(400, 8, 30, 2, 0);
  AssociationInput in = PrepareAssociation(d, AllUnits(400), false);
  CancelOnThirdReport genotypes;
  AssociationTest test;
  EXPECT_TRUE(
      TestAssociation(in, ComputeLocusPairSums(in), 99999, 1u, &genotypes, test).cancelled());
  EXPECT_EQ(genotypes.reports(), 3);
  CancelOnThirdReport alleles;
  EXPECT_TRUE(TestAssociationAlleles(d, AllUnits(400), IaMissing::kPoppr, 99999, 1u, &alleles, test)
                  .cancelled());
  EXPECT_EQ(alleles.reports(), 3);
}

}  // namespace
}  // namespace vireltan
