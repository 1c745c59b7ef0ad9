// SPDX-License-Identifier: GPL-3.0-or-later
// Random resampling over loci and over sampling units: the rows that take
// every element are identical to the step-by-step procedure, and every
// other row agrees with exact expectations and with that procedure within
// sampling error.
#include "analyses/effort/resampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "analyses/effort/combinations.h"
#include "analyses/effort/effort_input.h"
#include "analyses/effort/locus_census.h"
#include "effort_reference.h"

namespace vireltan {
namespace {

using testing::MakeDataset;

std::vector<ResamplingRow> Loci(const Dataset& d, int permutations, std::uint32_t seed) {
  EffortInput in = PrepareEffortInput(d, IdentifyMlgs(d));
  RandomGenerator r(seed);
  NullProgressSink progress;
  std::vector<ResamplingRow> rows;
  EXPECT_TRUE(ResampleLociCurve(in, permutations, r, progress, rows).ok());
  return rows;
}

std::vector<ResamplingRow> Individuals(const Dataset& d, int permutations, std::uint32_t seed) {
  EffortInput in = PrepareEffortInput(d, IdentifyMlgs(d));
  RandomGenerator r(seed);
  NullProgressSink progress;
  std::vector<ResamplingRow> rows;
  EXPECT_TRUE(ResampleIndividualsCurve(in, permutations, r, progress, rows).ok());
  return rows;
}

void ExpectIdentical(const ResamplingRow& a, const ResamplingRow& b) {
  EXPECT_EQ(a.meanAlleles, b.meanAlleles);
  EXPECT_EQ(a.seAlleles, b.seAlleles);
  EXPECT_EQ(a.meanMlg, b.meanMlg);
  EXPECT_EQ(a.seMlg, b.seMlg);
  EXPECT_EQ(a.mlgMin, b.mlgMin);
  EXPECT_EQ(a.mlgMax, b.mlgMax);
  EXPECT_EQ(a.meanDiversity, b.meanDiversity);
  EXPECT_EQ(a.seDiversity, b.seDiversity);
}

// |a - b| within `sigmas` standard errors of the difference of two
// independent means (plus rounding).
void ExpectWithinSamplingError(double a, double seA, double b, double seB, const char* what,
                               int k) {
  const double sigmas = 5;
  EXPECT_LE(std::fabs(a - b), sigmas * std::sqrt(seA * seA + seB * seB) + 1e-12)
      << what << " at k = " << k;
}

struct Shape {
  std::uint32_t seed;
  int n, loci, distinct, alleles;
  double missing;
};
const Shape kShapes[] = {{21, 30, 6, 18, 3, 0.0},
                         {22, 25, 5, 25, 4, 0.08},
                         {23, 40, 7, 10, 2, 0.0},
                         {24, 12, 4, 6, 3, 0.2}};

TEST(ResampleLoci, RowOfAllLociIsIdenticalToTheStepByStepProcedure) {
  for (const Shape& s : kShapes) {
    Dataset d = testing::RandomDataset(s.seed, s.n, s.loci, s.distinct, s.alleles, s.missing);
    RandomGenerator r(5);
    std::vector<ResamplingRow> slow = testing::ReferenceResampleLoci(d, 30, r);
    std::vector<ResamplingRow> fast = Loci(d, 30, 6);
    ASSERT_EQ(fast.size(), slow.size());
    ExpectIdentical(fast.back(), slow.back());
    EXPECT_EQ(fast.back().mlgMin, IdentifyMlgs(d).mlgCount);
    EXPECT_EQ(fast.back().seMlg, 0);
    EXPECT_EQ(fast.back().seAlleles, 0);
  }
}

TEST(ResampleLoci, MeansAgreeWithExactExpectationsAndTheStepByStepProcedure) {
  const int permutations = 400;
  for (const Shape& s : kShapes) {
    Dataset d = testing::RandomDataset(s.seed, s.n, s.loci, s.distinct, s.alleles, s.missing);
    EffortInput in = PrepareEffortInput(d, IdentifyMlgs(d));
    RandomGenerator r(77);
    std::vector<ResamplingRow> slow = testing::ReferenceResampleLoci(d, permutations, r);
    std::vector<ResamplingRow> fast = Loci(d, permutations, 78);
    // Exact expectations over all k-subsets: the mean MLG count is the
    // combination average; alleles and diversity are linear in the loci.
    NullProgressSink progress;
    LociCombinationResult all;
    ASSERT_TRUE(CombineLociCurve(in, progress, all).ok());
    double totalAlleles = 0, meanDiversity = 0;
    for (int j = 0; j < s.loci; ++j) {
      LocusCensus c = CensusOfLocus(in, j);
      totalAlleles += c.alleles;
      meanDiversity += c.geneDiversity / s.loci;
    }
    for (int k = 1; k <= s.loci; ++k) {
      const ResamplingRow& f = fast[k - 1];
      const ResamplingRow& l = slow[k - 1];
      ExpectWithinSamplingError(f.meanMlg, f.seMlg, all.rows[k - 1].averageMlg, 0, "MLGs", k);
      ExpectWithinSamplingError(f.meanAlleles, f.seAlleles, totalAlleles * k / s.loci, 0, "alleles",
                                k);
      ExpectWithinSamplingError(f.meanDiversity, f.seDiversity, meanDiversity, 0, "Hnb", k);
      ExpectWithinSamplingError(f.meanMlg, f.seMlg, l.meanMlg, l.seMlg, "MLGs vs steps", k);
      ExpectWithinSamplingError(f.meanAlleles, f.seAlleles, l.meanAlleles, l.seAlleles,
                                "alleles vs steps", k);
      ExpectWithinSamplingError(f.meanDiversity, f.seDiversity, l.meanDiversity, l.seDiversity,
                                "Hnb vs steps", k);
      // The spread of the draws matches too (within 30 %), and the range
      // met lies within the range over all subsets.
      if (l.seMlg > 0.01) EXPECT_NEAR(f.seMlg / l.seMlg, 1, 0.3) << k;
      EXPECT_GE(f.mlgMin, all.rows[k - 1].mlgMin);
      EXPECT_LE(f.mlgMax, all.rows[k - 1].mlgMax);
    }
  }
}

TEST(ResampleLoci, SingleLocusGivesOneRowWithoutSpread) {
  Dataset d = MakeDataset({{{120, 124}}, {{120, 124}}, {{124, 130}}, {{999, 130}}});
  std::vector<ResamplingRow> rows = Loci(d, 10, 1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].meanAlleles, 3);
  EXPECT_EQ(rows[0].seAlleles, 0);
  EXPECT_EQ(rows[0].meanMlg, 3);
  EXPECT_EQ(rows[0].seMlg, 0);
  EXPECT_EQ(rows[0].mlgMin, 3);
  EXPECT_EQ(rows[0].mlgMax, 3);
  // Copies 120 x2, 124 x3, 130 x2 of 7 observed; 2n = 8 copies.
  double sum = (4.0 + 9.0 + 4.0) / 49.0;
  EXPECT_NEAR(rows[0].meanDiversity, 8.0 / 7.0 * (1 - sum), 1e-15);
}

TEST(ResampleIndividuals, RowOfAllUnitsIsIdenticalToTheStepByStepProcedure) {
  for (const Shape& s : kShapes) {
    Dataset d = testing::RandomDataset(s.seed, s.n, s.loci, s.distinct, s.alleles, s.missing);
    RandomGenerator r(5);
    std::vector<ResamplingRow> slow = testing::ReferenceResampleIndividuals(d, 20, r);
    std::vector<ResamplingRow> fast = Individuals(d, 20, 6);
    ASSERT_EQ(fast.size(), slow.size());
    ExpectIdentical(fast.back(), slow.back());
    EXPECT_EQ(fast.back().mlgMax, IdentifyMlgs(d).mlgCount);
  }
}

TEST(ResampleIndividuals, MeansAgreeWithExactExpectationsAndTheStepByStepProcedure) {
  const int permutations = 150;
  for (const Shape& s : kShapes) {
    Dataset d = testing::RandomDataset(s.seed, s.n, s.loci, s.distinct, s.alleles, s.missing);
    MlgPartition p = IdentifyMlgs(d);
    RandomGenerator r(41);
    std::vector<ResamplingRow> slow = testing::ReferenceResampleIndividuals(d, permutations, r);
    std::vector<ResamplingRow> fast = Individuals(d, permutations, 42);
    std::vector<CombinationRow> all = CombineIndividualsCurve(p.cloneSize);
    for (int k = 1; k <= s.n; ++k) {
      const ResamplingRow& f = fast[k - 1];
      const ResamplingRow& l = slow[k - 1];
      ExpectWithinSamplingError(f.meanMlg, f.seMlg, all[k - 1].averageMlg, 0, "MLGs", k);
      ExpectWithinSamplingError(f.meanMlg, f.seMlg, l.meanMlg, l.seMlg, "MLGs vs steps", k);
      ExpectWithinSamplingError(f.meanAlleles, f.seAlleles, l.meanAlleles, l.seAlleles,
                                "alleles vs steps", k);
      ExpectWithinSamplingError(f.meanDiversity, f.seDiversity, l.meanDiversity, l.seDiversity,
                                "Hnb vs steps", k);
      EXPECT_GE(f.mlgMin, all[k - 1].mlgMin);
      EXPECT_LE(f.mlgMax, all[k - 1].mlgMax);
    }
  }
}

TEST(ResampleIndividuals, OneUnitIsOneMlgAndItsOwnDiversity) {
  // Locus 1 heterozygous in every SU (h = 1 for one diploid), locus 2
  // homozygous (h = 0); three MLGs.
  Dataset d = MakeDataset({{{120, 124}, {150, 150}},
                           {{130, 134}, {152, 152}},
                           {{120, 124}, {150, 150}},
                           {{140, 144}, {156, 156}}});
  std::vector<ResamplingRow> rows = Individuals(d, 50, 3);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].meanMlg, 1);
  EXPECT_EQ(rows[0].seMlg, 0);
  EXPECT_EQ(rows[0].mlgMin, 1);
  EXPECT_EQ(rows[0].mlgMax, 1);
  EXPECT_EQ(rows[0].meanAlleles, 3);             // 2 + 1
  EXPECT_DOUBLE_EQ(rows[0].meanDiversity, 0.5);  // (1 + 0) / 2 loci
  EXPECT_EQ(rows[0].seDiversity, 0);
  EXPECT_EQ(rows[3].mlgMin, 3);
  EXPECT_EQ(rows[3].mlgMax, 3);
}

TEST(ResampleIndividuals, MissingAllelesAreNoAlleleButStillCopies) {
  // One SU 120/999 alone: one allele, frequency 1 over the observed copy,
  // diversity 0; a SU missing both alleles adds no allele and no diversity.
  Dataset d = MakeDataset({{{120, 999}}, {{999, 999}}});
  std::vector<ResamplingRow> rows = Individuals(d, 400, 9);
  // k = 1: half the draws give 1 allele, half 0.
  EXPECT_NEAR(rows[0].meanAlleles, 0.5, 5 * rows[0].seAlleles);
  EXPECT_EQ(rows[0].meanDiversity, 0);
  // k = 2: copies 120, 999, 999, 999 -> one allele, p = 1, h = 0.
  EXPECT_EQ(rows[1].meanAlleles, 1);
  EXPECT_EQ(rows[1].meanDiversity, 0);
  EXPECT_EQ(rows[1].mlgMax, 2);
}

}  // namespace
}  // namespace vireltan
