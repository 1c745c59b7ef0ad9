// SPDX-License-Identifier: GPL-3.0-or-later
// Ia and rbarD on packed SNP calls: against a direct computation (unpacked,
// pair by pair, locus by locus, the L² cross term term by term), against
// the allele-table version on the same genotypes written as alleles 100
// (reference) and 200 (alternate), and the permutation test against the
// allele-table tests drawing from the same seed.
#include "analyses/clonality/snp_association.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

namespace vireltan {
namespace {

constexpr int kMissing = -1;

// Alternate allele counts (0..ploidy, kMissing) of `n` units at `loci`
// SNPs: ramets of a few genets with one call in 30 changed (clonal, so that
// Ia is well above 0) and one in `missingEvery` missing.
struct Calls {
  int n = 0, loci = 0, ploidy = 2;
  std::vector<int> g;  // g[u * loci + j]
  int at(int u, int j) const { return g[static_cast<std::size_t>(u) * loci + j]; }
};

Calls Simulate(int n, int loci, int ploidy, std::uint32_t seed, int missingEvery = 12,
               bool clonal = true) {
  std::mt19937 rng(seed);
  Calls c{n, loci, ploidy, {}};
  const int genets = clonal ? std::max(2, n / 4) : n;
  std::vector<int> founders(static_cast<std::size_t>(genets) * loci);
  std::uniform_int_distribution<int> allele(0, ploidy);
  for (int& f : founders) f = allele(rng);
  for (int u = 0; u < n; ++u)
    for (int j = 0; j < loci; ++j) {
      int g = founders[static_cast<std::size_t>(u % genets) * loci + j];
      if (rng() % 30 == 0) g = allele(rng);
      if (missingEvery > 0 && rng() % missingEvery == 0) g = kMissing;
      c.g.push_back(g);
    }
  return c;
}

PackedGenotypes Pack(const Calls& c) {
  PackedGenotypes p(c.n, c.loci);
  for (int u = 0; u < c.n; ++u)
    for (int j = 0; j < c.loci; ++j) {
      const int g = c.at(u, j);
      SnpCall call = kMissingCall;
      if (g == 0) call = kHomRefCall;
      if (g > 0) call = c.ploidy == 1 || g == 2 ? kHomAltCall : kHetCall;
      p.set(u, j, call);
    }
  return p;
}

// The same genotypes as an allele table: 100 reference, 200 alternate.
Dataset AsAlleles(const Calls& c) {
  Dataset d;
  d.sampleCount = c.n;
  d.locusCount = c.loci;
  d.ploidy = c.ploidy;
  for (int u = 0; u < c.n; ++u)
    for (int j = 0; j < c.loci; ++j) {
      const int g = c.at(u, j);
      Allele a = kMissingAllele, b = kMissingAllele;
      if (g != kMissing) {
        a = c.ploidy == 1 ? (g ? 200 : 100) : (g == 2 ? 200 : 100);
        b = c.ploidy == 1 ? a : (g >= 1 ? 200 : 100);
      }
      d.alleles.push_back(a);
      d.alleles.push_back(b);
    }
  return d;
}

struct Direct {
  std::optional<double> ia, rbarD;
};

// The definitions, pair by pair and locus by locus.
Direct DirectIndex(const Calls& c, const std::vector<int>& units, IaMissing rule) {
  const int n = static_cast<int>(units.size());
  std::vector<double> pairs(c.loci, 0), sum(c.loci, 0), squares(c.loci, 0);
  double sumD = 0, sumD2 = 0, allPairs = 0;
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b) {
      double d = 0;
      allPairs += 1;
      for (int j = 0; j < c.loci; ++j) {
        const int x = c.at(units[a], j), y = c.at(units[b], j);
        const bool typed = x != kMissing && y != kMissing;
        if (rule == IaMissing::kPoppr || typed) pairs[j] += 1;
        if (!typed) continue;
        const double dj = std::abs(x - y);
        sum[j] += dj;
        squares[j] += dj * dj;
        d += dj;
      }
      sumD += d;
      sumD2 += d * d;
    }
  std::vector<double> v(c.loci, 0);
  double expected = 0;
  for (int j = 0; j < c.loci; ++j) {
    if (pairs[j] > 0) v[j] = squares[j] / pairs[j] - (sum[j] / pairs[j]) * (sum[j] / pairs[j]);
    expected += v[j];
  }
  double cross = 0;
  for (int j = 0; j < c.loci; ++j)
    for (int k = j + 1; k < c.loci; ++k) cross += std::sqrt(v[j] * v[k]);
  const double observed = sumD2 / allPairs - (sumD / allPairs) * (sumD / allPairs);
  Direct r;
  if (expected > 0) r.ia = observed / expected - 1;
  if (cross > 0) r.rbarD = (observed - expected) / (2 * cross);
  return r;
}

// Every unit but every seventh, in reverse order (the units are gathered
// from anywhere in the rows).
std::vector<int> SomeUnits(int n) {
  std::vector<int> units;
  for (int u = n - 1; u >= 0; --u)
    if (u % 7 != 3) units.push_back(u);
  return units;
}

struct Case {
  int n, loci, ploidy;
};
// Word and tile edges: 64 calls per two words, 32 rows per tile, 256 words
// (8,192 SNPs) per chunk.
const Case kCases[] = {{40, 70, 2}, {40, 45, 1}, {75, 130, 2}, {75, 64, 1}, {7, 8300, 2}};

TEST(SnpAssociation, EqualsTheDirectComputation) {
  // Every kernel the processor has (the widest by default, then capped).
  for (const char* kernel : {"", "popcnt", "portable"})
    for (const Case& k : kCases)
      for (IaMissing rule : {IaMissing::kPoppr, IaMissing::kTypedPairs}) {
        setenv("VIRELTAN_POPCOUNT", kernel, 1);
        SCOPED_TRACE(std::to_string(k.n) + " units, " + std::to_string(k.loci) + " SNPs, ploidy " +
                     std::to_string(k.ploidy) + ", " + IaMissingName(rule) + ", kernel " + kernel);
        const Calls c = Simulate(k.n, k.loci, k.ploidy, static_cast<std::uint32_t>(k.n + k.loci));
        const std::vector<int> units = SomeUnits(k.n);
        const Direct want = DirectIndex(c, units, rule);
        const AssociationResult got = SnpIndexOfAssociation(Pack(c), k.ploidy, units, rule);
        ASSERT_TRUE(want.ia && want.rbarD && got.ia && got.rbarD);
        EXPECT_NEAR(*got.ia, *want.ia, 1e-10);
        EXPECT_NEAR(*got.rbarD, *want.rbarD, 1e-10);
        EXPECT_GT(*got.rbarD, 0.01);  // clonal: clearly associated

        // The allele-table version on the same genotypes.
        const Dataset d = AsAlleles(c);
        const AssociationInput in = PrepareAssociation(d, units);
        const AssociationResult table = IndexOfAssociation(in, ComputeLocusPairSums(in, rule));
        EXPECT_NEAR(*got.ia, *table.ia, 1e-10);
        EXPECT_NEAR(*got.rbarD, *table.rbarD, 1e-10);
      }
  unsetenv("VIRELTAN_POPCOUNT");
}

TEST(SnpAssociation, PermutationsMatchTheAlleleTableTests) {
  for (const Case& k : {kCases[0], kCases[1], kCases[2]})
    for (IaNull null : {IaNull::kAlleles, IaNull::kGenotypes})
      for (IaMissing rule : {IaMissing::kPoppr, IaMissing::kTypedPairs}) {
        SCOPED_TRACE(std::to_string(k.n) + " units, ploidy " + std::to_string(k.ploidy) + ", " +
                     IaNullName(null) + ", " + IaMissingName(rule));
        // Clonal, and (the last case) panmictic, whose p-values are far
        // from their least value; the permuted values, compared one by
        // one, say whether the draws match.
        const bool clonal = k.n != kCases[2].n;
        const Calls c = Simulate(k.n, k.loci, k.ploidy, 99u + k.n, 12, clonal);
        const std::vector<int> units = SomeUnits(k.n);
        const Dataset d = AsAlleles(c);
        constexpr int kPermutations = 49;
        constexpr std::uint32_t kSeed = 2024;
        AssociationTest table;
        if (null == IaNull::kAlleles) {
          ASSERT_TRUE(
              TestAssociationAlleles(d, units, rule, kPermutations, kSeed, nullptr, table).ok());
        } else {
          const AssociationInput in = PrepareAssociation(d, units, false);
          ASSERT_TRUE(TestAssociation(in, ComputeLocusPairSums(in, rule), kPermutations, kSeed,
                                      nullptr, table)
                          .ok());
        }
        AssociationTest snp;
        const PackedGenotypes packed = Pack(c);
        const AssociationResult observed = SnpIndexOfAssociation(packed, k.ploidy, units, rule);
        ASSERT_TRUE(TestSnpAssociation(packed, k.ploidy, units, rule, null, observed, kPermutations,
                                       kSeed, nullptr, snp)
                        .ok());
        ASSERT_EQ(snp.permutedRbarD.size(), table.permutedRbarD.size());
        for (std::size_t i = 0; i < snp.permutedRbarD.size(); ++i)
          EXPECT_NEAR(snp.permutedRbarD[i], table.permutedRbarD[i], 1e-10) << i;
        ASSERT_TRUE(snp.pRbarD && table.pRbarD && snp.pIa && table.pIa);
        EXPECT_EQ(*snp.pRbarD, *table.pRbarD);
        EXPECT_EQ(*snp.pIa, *table.pIa);
        EXPECT_NEAR(*snp.observedRbarD, *table.observedRbarD, 1e-10);
        if (!clonal) EXPECT_GT(*snp.pRbarD, 0.1);
      }
}

TEST(SnpAssociation, PermutationTestIsReproducibleWithItsSeed) {
  const Calls c = Simulate(60, 100, 2, 5u);
  const PackedGenotypes p = Pack(c);
  const std::vector<int> units = SomeUnits(c.n);
  const AssociationResult observed = SnpIndexOfAssociation(p, 2, units, IaMissing::kPoppr);
  AssociationTest first, again, other;
  for (auto [seed, test] : {std::pair{7u, &first}, {7u, &again}, {8u, &other}})
    ASSERT_TRUE(TestSnpAssociation(p, 2, units, IaMissing::kPoppr, IaNull::kAlleles, observed, 30,
                                   seed, nullptr, *test)
                    .ok());
  EXPECT_EQ(first.permutedRbarD, again.permutedRbarD);
  EXPECT_EQ(first.pRbarD, again.pRbarD);
  EXPECT_NE(first.permutedRbarD, other.permutedRbarD);
  // The clonal units are far more associated than any permutation.
  EXPECT_NEAR(*first.pRbarD, 1.0 / 31, 1e-12);
}

TEST(SnpAssociation, CancelledTestSaysSo) {
  const Calls c = Simulate(40, 70, 2, 3u);
  NullProgressSink progress;
  progress.RequestCancel();
  AssociationTest test;
  const AssociationResult observed =
      SnpIndexOfAssociation(Pack(c), 2, SomeUnits(c.n), IaMissing::kPoppr);
  const Status s = TestSnpAssociation(Pack(c), 2, SomeUnits(c.n), IaMissing::kPoppr,
                                      IaNull::kGenotypes, observed, 20, 1, &progress, test);
  EXPECT_TRUE(s.cancelled());
  EXPECT_FALSE(SnpIndexOfAssociation(Pack(c), 2, SomeUnits(c.n), IaMissing::kPoppr, &progress).ia);
}

TEST(SnpAssociation, TooFewUnitsOrNoVariationLeaveTheIndexEmpty) {
  const Calls c = Simulate(10, 20, 2, 4u);
  EXPECT_FALSE(SnpIndexOfAssociation(Pack(c), 2, {0, 1}, IaMissing::kPoppr).ia);
  Calls same = c;
  for (int& g : same.g) g = 1;
  const AssociationResult r =
      SnpIndexOfAssociation(Pack(same), 2, SomeUnits(10), IaMissing::kPoppr);
  EXPECT_FALSE(r.ia);
  EXPECT_FALSE(r.rbarD);
}

}  // namespace
}  // namespace vireltan
