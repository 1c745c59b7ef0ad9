// SPDX-License-Identifier: GPL-3.0-or-later
// Kinship autocorrelation on packed SNP calls against the same genotypes
// written as an allele table (alleles 1 and 2) and run through the
// allele-table calculator, and against the biallelic formulas written out
// pair by pair.
#include "analyses/spatial/snp_kinship.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "analyses/spatial/autocorrelation_analysis.h"
#include "dataset/mlg_identification.h"

namespace vireltan {
namespace {

// Random calls of `genets` genets, each repeated 1..3 times at nearby
// places, with a share of missing calls; the samples as SNP data (packed,
// no allele table) and the same samples as an allele table.
struct Twin {
  PackedGenotypes packed;
  Dataset samples;  // SNP side: L = 0
  Dataset table;    // allele side
  std::vector<std::string> locusNames;
  int ploidy = 2;
};

Twin MakeTwin(std::uint32_t seed, int genets, int loci, int ploidy, double missing) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> copies(1, 3);
  std::vector<std::vector<SnpCall>> rows;
  std::vector<double> xs, ys;
  std::vector<double> alt(loci);
  for (double& q : alt) q = unit(random) < 0.1 ? 0.0 : unit(random);  // a few monomorphic
  for (int g = 0; g < genets; ++g) {
    std::vector<SnpCall> calls(loci);
    for (int l = 0; l < loci; ++l) {
      int a = (unit(random) < alt[l]) + (ploidy == 2 ? (unit(random) < alt[l]) : 0);
      calls[l] = ploidy == 1 ? (a ? kHomAltCall : kHomRefCall)
                 : a == 0    ? kHomRefCall
                 : a == 1    ? kHetCall
                             : kHomAltCall;
    }
    const double cx = 100 * unit(random), cy = 100 * unit(random);
    for (int c = copies(random); c > 0; --c) {
      std::vector<SnpCall> copy = calls;
      for (SnpCall& call : copy)
        if (unit(random) < missing) call = kMissingCall;
      rows.push_back(copy);
      xs.push_back(cx + 3 * unit(random));
      ys.push_back(cy + 3 * unit(random));
    }
  }
  const int n = static_cast<int>(rows.size());
  Twin t;
  t.ploidy = ploidy;
  t.packed = PackedGenotypes(n, loci);
  for (int l = 0; l < loci; ++l) t.locusNames.push_back("snp" + std::to_string(l + 1));
  Dataset& s = t.samples;
  s.sampleCount = n;
  s.ploidy = ploidy;
  s.x = xs;
  s.y = ys;
  s.populationOfSu.assign(n, 0);
  s.populationNames = {"all"};
  for (int i = 0; i < n; ++i) s.designations.push_back(Cell::Text("s" + std::to_string(i + 1)));
  t.table = s;
  t.table.locusCount = loci;
  t.table.locusNames = t.locusNames;
  t.table.alleles.assign(static_cast<size_t>(n) * loci * 2, kMissingAllele);
  for (int i = 0; i < n; ++i)
    for (int l = 0; l < loci; ++l) {
      const SnpCall c = rows[i][l];
      t.packed.set(i, l, c);
      if (c == kMissingCall) continue;
      const int altCopies = AltAlleleCount(c);  // haploid alternate: 2, both copies
      const size_t cell = (static_cast<size_t>(i) * loci + l) * 2;
      t.table.alleles[cell] = altCopies == 2 ? kSnpAlternateAllele : kSnpReferenceAllele;
      t.table.alleles[cell + 1] = altCopies == 0 ? kSnpReferenceAllele : kSnpAlternateAllele;
    }
  return t;
}

// The biallelic formulas of snp_kinship.h, pair by pair, on the allele
// table: x the alternate share, q the alternate frequency among all SUs.
KinshipPair DirectPair(const Dataset& d, int a, int b) {
  double num = 0, den = 0, cor = 0, rit = 0, rden = 0;
  for (int l = 0; l < d.locusCount; ++l) {
    if (d.alleleAt(a, l, 0) == kMissingAllele || d.alleleAt(b, l, 0) == kMissingAllele) continue;
    double alt = 0, copies = 0;
    for (int su = 0; su < d.sampleCount; ++su) {
      if (d.alleleAt(su, l, 0) == kMissingAllele) continue;
      for (int w = 0; w < 2; ++w) alt += d.alleleAt(su, l, w) == kSnpAlternateAllele;
      copies += 2;
    }
    const double q = alt / copies;
    const double n = d.haploid() ? copies / 2 : copies;
    auto share = [&](int su) {
      return 0.5 * ((d.alleleAt(su, l, 0) == kSnpAlternateAllele) +
                    (d.alleleAt(su, l, 1) == kSnpAlternateAllele));
    };
    const double xa = share(a), xb = share(b);
    const double h = 2 * q * (1 - q);
    num += 2 * (xa - q) * (xb - q);
    den += h;
    cor += h / (n - 1);
    if (q > 0 && q < 1) {
      rit += xa * xb / q + (1 - xa) * (1 - xb) / (1 - q) - 1;
      rden += 1;
    }
  }
  return {(num + cor) / den, rit / rden};
}

struct PairCase {
  const char* name;
  std::uint32_t seed;
  int ploidy;
  double missing;
};

class SnpKinshipPairs : public testing::TestWithParam<PairCase> {};

TEST_P(SnpKinshipPairs, EqualTheAlleleTableAndTheDirectFormulas) {
  const PairCase& c = GetParam();
  // 70 loci: three words per row, the last one partly filled.
  const Twin t = MakeTwin(c.seed, 12, 70, c.ploidy, c.missing);
  std::vector<int> all(t.samples.sampleCount);
  std::iota(all.begin(), all.end(), 0);
  const std::vector<LocusFrequencies> packed = SnpAlleleFrequencies(t.packed, t.ploidy, all);
  const std::vector<LocusFrequencies> table = ComputeAlleleFrequencies(t.table, all);
  NullProgressSink cancelled;
  cancelled.RequestCancel();
  EXPECT_TRUE(SnpAlleleFrequencies(t.packed, t.ploidy, all, &cancelled).empty());
  ASSERT_EQ(packed.size(), table.size());
  for (size_t l = 0; l < packed.size(); ++l) {
    EXPECT_EQ(packed[l].alleles, table[l].alleles) << l;
    EXPECT_EQ(packed[l].definedCopies, table[l].definedCopies) << l;
    ASSERT_EQ(packed[l].frequencies.size(), table[l].frequencies.size());
    for (size_t k = 0; k < packed[l].frequencies.size(); ++k)
      EXPECT_NEAR(packed[l].frequencies[k], table[l].frequencies[k], 1e-15);
  }
  const SnpKinshipCalculator snp(t.packed, t.locusNames, packed);
  const KinshipCalculator alleles(t.table, table);
  for (int a = 0; a < t.samples.sampleCount; ++a)
    for (int b = a; b < t.samples.sampleCount; ++b) {
      KinshipPair fromSnp, fromTable;
      ASSERT_EQ(snp.Pair(a, b, fromSnp), KinshipProblem::kNone);
      ASSERT_EQ(alleles.Pair(a, b, fromTable), KinshipProblem::kNone);
      const KinshipPair direct = DirectPair(t.table, a, b);
      EXPECT_NEAR(fromSnp.loiselle, fromTable.loiselle, 1e-12) << a << " " << b;
      EXPECT_NEAR(fromSnp.ritland, fromTable.ritland, 1e-12) << a << " " << b;
      EXPECT_NEAR(fromSnp.loiselle, direct.loiselle, 1e-12) << a << " " << b;
      EXPECT_NEAR(fromSnp.ritland, direct.ritland, 1e-12) << a << " " << b;
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, SnpKinshipPairs,
                         testing::Values(PairCase{"diploid", 3, 2, 0.0},
                                         PairCase{"diploidMissing", 5, 2, 0.1},
                                         PairCase{"haploidMissing", 7, 1, 0.1}),
                         [](const auto& info) { return std::string(info.param.name); });

void ExpectSameTable(const ClassTable& a, const ClassTable& b) {
  ASSERT_EQ(a.k, b.k);
  for (int c = 1; c <= a.k; ++c) {
    EXPECT_EQ(a.pairCount[c], b.pairCount[c]) << c;
    EXPECT_NEAR(a.average[c], b.average[c], 1e-10) << c;
    EXPECT_NEAR(a.loiselle[c], b.loiselle[c], 1e-10) << c;
    EXPECT_NEAR(a.ritland[c], b.ritland[c], 1e-10) << c;
  }
}

void ExpectSameValues(const std::vector<double>& a, const std::vector<double>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-10) << i;
}

struct RunCase {
  const char* name;
  ReplicateProcedure procedure;
  int ploidy;
};

class SnpAutocorrelation : public testing::TestWithParam<RunCase> {};

// The whole run (classes, permutations, resampling) from the packed calls
// equals the run on the allele table, class by class.
TEST_P(SnpAutocorrelation, EqualsTheRunOnTheAlleleTable) {
  const RunCase& c = GetParam();
  const Twin t = MakeTwin(11, 40, 150, c.ploidy, 0.03);
  const MlgPartition mlgs = IdentifyMlgs(t.table);
  AutocorrelationOutcome outcome[2];
  for (int side = 0; side < 2; ++side) {
    AutocorrelationInput input;
    input.mlgs = &mlgs;
    input.datasetName = "twin";
    input.settings.procedure = c.procedure;
    input.settings.PermutationCount = 20;
    input.settings.DistanceClassCount = 6;
    input.runSeed = 99;
    if (side == 0) {
      input.dataset = &t.samples;
      input.snpGenotypes = &t.packed;
      input.snpPloidy = t.ploidy;
      input.snpLocusNames = &t.locusNames;
    } else {
      input.dataset = &t.table;
    }
    NullProgressSink progress;
    const Status s = RunSpatialAutocorrelation(input, progress, outcome[side]);
    ASSERT_TRUE(s.ok()) << s.message();
  }
  const AutocorrelationOutcome &snp = outcome[0], &table = outcome[1];
  ASSERT_EQ(snp.tested.size(), table.tested.size());
  for (size_t i = 0; i < snp.tested.size(); ++i) {
    ExpectSameTable(snp.tested[i].observed, table.tested[i].observed);
    ExpectSameValues(snp.tested[i].permutations.loiselle, table.tested[i].permutations.loiselle);
    ExpectSameValues(snp.tested[i].permutations.ritland, table.tested[i].permutations.ritland);
  }
  ASSERT_EQ(snp.hasResampling, table.hasResampling);
  ExpectSameValues(snp.resampling.observedLoiselle, table.resampling.observedLoiselle);
  ExpectSameValues(snp.resampling.permutedRitland, table.resampling.permutedRitland);
}

INSTANTIATE_TEST_SUITE_P(Procedures, SnpAutocorrelation,
                         testing::Values(RunCase{"entire", ReplicateProcedure::kNone, 2},
                                         RunCase{"weighted", ReplicateProcedure::kWeighted, 2},
                                         RunCase{"central", ReplicateProcedure::kCentral, 2},
                                         RunCase{"resampling", ReplicateProcedure::kResampling, 2},
                                         RunCase{"haploidCentral", ReplicateProcedure::kCentral,
                                                 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Two samples without a SNP called in both have no coefficients: the same
// message as on an allele table, naming them.
TEST(SnpKinship, PairWithoutCommonCallIsNamed) {
  Twin t = MakeTwin(13, 4, 5, 2, 0.0);
  const int last = t.samples.sampleCount - 1;
  auto setMissing = [&](int su, int l) {
    t.packed.set(su, l, kMissingCall);
    const size_t cell = (static_cast<size_t>(su) * t.table.locusCount + l) * 2;
    t.table.alleles[cell] = t.table.alleles[cell + 1] = kMissingAllele;
  };
  for (int l = 1; l < 5; ++l) setMissing(0, l);
  setMissing(last, 0);
  const MlgPartition mlgs = IdentifyMlgs(t.table);
  AutocorrelationInput input;
  input.dataset = &t.samples;
  input.mlgs = &mlgs;
  input.snpGenotypes = &t.packed;
  input.snpLocusNames = &t.locusNames;
  input.settings.PermutationCount = 5;
  input.settings.DistanceClassCount = 2;
  NullProgressSink progress;
  AutocorrelationOutcome out;
  const Status s = RunSpatialAutocorrelation(input, progress, out);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("have no locus typed in both"), std::string::npos) << s.message();
  EXPECT_NE(s.message().find("\"s1\""), std::string::npos) << s.message();
}

}  // namespace
}  // namespace vireltan
