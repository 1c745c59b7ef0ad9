// SPDX-License-Identifier: GPL-3.0-or-later
// Ia and rbarD with missing genotypes under poppr's rule against a direct
// computation, the allele null model of the test, and cancellation of long
// permutation runs.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analyses/clonality/association_permutation.h"
#include "analyses/clonality/index_of_association.h"

namespace vireltan {
namespace {

// N diploid units on L loci, ramets of `genets` genets (every allele drawn
// independently when 0); a genotype in `missingEvery` missing.
Dataset Units(int n, int loci, int genets, std::uint32_t seed, int missingEvery) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> allele(100, 104);
  Dataset d;
  d.sampleCount = n;
  d.locusCount = loci;
  std::vector<Allele> founders(static_cast<size_t>(std::max(genets, 1)) * loci * 2);
  for (Allele& a : founders) a = static_cast<Allele>(allele(rng));
  for (int u = 0; u < n; ++u)
    for (int j = 0; j < loci; ++j) {
      size_t f = (static_cast<size_t>(genets > 0 ? u % genets : 0) * loci + j) * 2;
      Allele a = genets > 0 ? founders[f] : static_cast<Allele>(allele(rng));
      Allele b = genets > 0 ? founders[f + 1] : static_cast<Allele>(allele(rng));
      if (missingEvery > 0 && rng() % missingEvery == 0) a = b = kMissingAllele;
      d.alleles.push_back(std::min(a, b));
      d.alleles.push_back(std::max(a, b));
    }
  d.hasMissingData = missingEvery > 0;
  return d;
}

std::vector<int> AllOf(int n) {
  std::vector<int> v(n);
  for (int i = 0; i < n; ++i) v[i] = i;
  return v;
}

// Alleles not shared (multiset), 0 when either genotype is missing.
int Differing(const Dataset& d, int a, int b, int j) {
  Allele x0 = d.alleleAt(a, j, 0), x1 = d.alleleAt(a, j, 1);
  Allele y0 = d.alleleAt(b, j, 0), y1 = d.alleleAt(b, j, 1);
  if (x0 == kMissingAllele || y0 == kMissingAllele) return 0;
  int straight = (x0 == y0) + (x1 == y1), crossed = (x0 == y1) + (x1 == y0);
  return 2 - std::max(straight, crossed);
}

TEST(AssociationRules, PopprMissingRuleEqualsADirectComputation) {
  for (std::uint32_t seed : {3u, 4u}) {
    Dataset d = Units(41, 5, seed == 3 ? 6 : 0, seed, 7);
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
      AssociationInput in = PrepareAssociation(d, AllOf(n), collapse);
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

TEST(AssociationRules, AlleleNullSeparatesClonalFromPanmicticAndRepeats) {
  NullProgressSink quiet;
  struct Case {
    int genets;
    bool significant;
  };
  for (const Case& c : {Case{8, true}, Case{0, false}}) {
    Dataset d = Units(60, 6, c.genets, 11, 0);
    AssociationTest first, again;
    ASSERT_TRUE(
        TestAssociationAlleles(d, AllOf(60), IaMissing::kPoppr, 99, 5u, &quiet, first).ok());
    ASSERT_TRUE(
        TestAssociationAlleles(d, AllOf(60), IaMissing::kPoppr, 99, 5u, &quiet, again).ok());
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

TEST(AssociationRules, LongRunsStopSoonAfterCancel) {
  // A chunk is about a twentieth of a second of work: one permutation at a
  // time from N = 5,000.
  EXPECT_EQ(PermutationsPerChunk(5000, 20), 1);
  EXPECT_EQ(PermutationsPerChunk(50, 5), 256);
  Dataset d = Units(400, 8, 30, 2, 0);
  AssociationInput in = PrepareAssociation(d, AllOf(400), false);
  CancelOnThirdReport genotypes;
  AssociationTest test;
  EXPECT_TRUE(
      TestAssociation(in, ComputeLocusPairSums(in), 99999, 1u, &genotypes, test).cancelled());
  EXPECT_EQ(genotypes.reports(), 3);
  CancelOnThirdReport alleles;
  EXPECT_TRUE(TestAssociationAlleles(d, AllOf(400), IaMissing::kPoppr, 99999, 1u, &alleles, test)
                  .cancelled());
  EXPECT_EQ(alleles.reports(), 3);
}

}  // namespace
}  // namespace vireltan
