// SPDX-License-Identifier: GPL-3.0-or-later
// Hexp over SNPs against values worked by hand.
#include "analyses/clonality/snp_gene_diversity.h"

#include <gtest/gtest.h>

#include <random>

namespace vireltan {
namespace {

TEST(SnpGeneDiversity, MatchesHandValues) {
  // Diploid: locus 1 0/0 0/1 1/1 (n = 6, p = 1/2: h = 6/5 · 1/2 = 0.6);
  // locus 2 0/0 0/0 missing (n = 4, p = 0: h = 0); locus 3 a single
  // heterozygote (n = 2, p = 1/2: h = 2 · 1/2 = 1). Mean 1.6 / 3.
  PackedGenotypes d(3, 3);
  d.set(0, 0, kHomRefCall);
  d.set(1, 0, kHetCall);
  d.set(2, 0, kHomAltCall);
  d.set(0, 1, kHomRefCall);
  d.set(1, 1, kHomRefCall);
  d.set(0, 2, kHetCall);
  EXPECT_NEAR(*SnpMeanGeneDiversity(d, 2, {0, 1, 2}), 1.6 / 3, 1e-12);
  // Units 1 and 2 only at locus 1: n = 4, p = 3/4: h = 4/3 · 6/16 = 0.5;
  // locus 2: n = 2, p = 0; locus 3 uncalled (left out).
  EXPECT_NEAR(*SnpMeanGeneDiversity(d, 2, {1, 2}), 0.25, 1e-12);

  // Haploid: 0, 1, 1 (n = 3, p = 2/3: h = 3/2 · 4/9 = 2/3).
  PackedGenotypes h(3, 1);
  h.set(0, 0, kHomRefCall);
  h.set(1, 0, kHomAltCall);
  h.set(2, 0, kHomAltCall);
  EXPECT_NEAR(*SnpMeanGeneDiversity(h, 1, {0, 1, 2}), 2.0 / 3, 1e-12);
  // One haploid unit: no locus has two copies.
  EXPECT_FALSE(SnpMeanGeneDiversity(h, 1, {0}).has_value());
}

// Random calls over several words (loci not a multiple of 32) against the
// formula applied call by call.
TEST(SnpGeneDiversity, EqualsACallByCallCount) {
  std::mt19937 rng(7);
  const SnpCall codes[] = {kHomRefCall, kHetCall, kHomAltCall, kMissingCall};
  for (int loci : {1, 32, 33, 101}) {
    PackedGenotypes g(12, loci);
    for (int i = 0; i < 12; ++i)
      for (int k = 0; k < loci; ++k) g.set(i, k, codes[rng() % 4]);
    const std::vector<int> units = {0, 2, 3, 5, 7, 8, 11};
    double sum = 0;
    int counted = 0;
    for (int k = 0; k < loci; ++k) {
      double copies = 0, alternate = 0;
      for (int u : units) {
        const SnpCall c = g.call(u, k);
        if (c == kMissingCall) continue;
        copies += 2;
        alternate += AltAlleleCount(c);
      }
      if (copies < 2) continue;
      const double p = alternate / copies;
      sum += copies / (copies - 1) * (1 - p * p - (1 - p) * (1 - p));
      ++counted;
    }
    ASSERT_TRUE(SnpMeanGeneDiversity(g, 2, units).has_value()) << loci;
    EXPECT_NEAR(*SnpMeanGeneDiversity(g, 2, units), sum / counted, 1e-12) << loci;
  }
}

}  // namespace
}  // namespace vireltan
