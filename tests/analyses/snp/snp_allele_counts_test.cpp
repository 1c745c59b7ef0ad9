// SPDX-License-Identifier: GPL-3.0-or-later
// The allele count table of packed SNP calls against counting the calls
// one by one: diploid and haploid, missing calls, rows of more than one
// word with a partial last word, and a population without units.
#include "analyses/popgen/snp_allele_counts.h"

#include <gtest/gtest.h>

#include <random>

namespace vireltan {
namespace {

// Counts of one population from the calls read one at a time.
AlleleCountTable CountOneByOne(const PackedGenotypes& g, bool haploid,
                               const std::vector<std::vector<int>>& pops) {
  const int L = g.locusCount(), P = static_cast<int>(pops.size());
  AlleleCountTable t;
  t.populationCount = P;
  t.locusCount = L;
  t.haploid = haploid;
  t.typed.assign(static_cast<std::size_t>(L) * P, 0);
  t.heterozygotes.assign(t.typed.size(), 0);
  t.copies.assign(static_cast<std::size_t>(2 * L) * P, 0);
  t.hetCarrying.assign(t.copies.size(), 0);
  for (int p = 0; p < P; ++p)
    for (int s : pops[p])
      for (int l = 0; l < L; ++l) {
        const SnpCall c = g.call(s, l);
        if (c == kMissingCall) continue;
        const std::size_t cell = static_cast<std::size_t>(l) * P + p;
        const std::size_t ref = static_cast<std::size_t>(2 * l) * P + p, alt = ref + P;
        ++t.typed[cell];
        const int alts = AltAlleleCount(c);
        if (haploid) {
          ++t.copies[alts == 2 ? alt : ref];
          continue;
        }
        t.copies[ref] += 2 - alts;
        t.copies[alt] += alts;
        if (alts == 1) {
          ++t.heterozygotes[cell];
          ++t.hetCarrying[ref];
          ++t.hetCarrying[alt];
        }
      }
  return t;
}

PackedGenotypes RandomCalls(int samples, int loci, bool haploid, unsigned seed) {
  std::mt19937 rng(seed);
  PackedGenotypes g(samples, loci);
  const SnpCall diploid[] = {kHomRefCall, kHetCall, kHomAltCall, kMissingCall};
  const SnpCall haploidCalls[] = {kHomRefCall, kHomAltCall, kMissingCall};
  for (int s = 0; s < samples; ++s)
    for (int l = 0; l < loci; ++l)
      g.set(s, l, haploid ? haploidCalls[rng() % 3] : diploid[rng() % 4]);
  return g;
}

void ExpectSameTable(const AlleleCountTable& a, const AlleleCountTable& b) {
  EXPECT_EQ(a.populationCount, b.populationCount);
  EXPECT_EQ(a.locusCount, b.locusCount);
  EXPECT_EQ(a.haploid, b.haploid);
  EXPECT_EQ(a.typed, b.typed);
  EXPECT_EQ(a.heterozygotes, b.heterozygotes);
  EXPECT_EQ(a.copies, b.copies);
  EXPECT_EQ(a.hetCarrying, b.hetCarrying);
}

struct Case {
  const char* name;
  int samples, loci;
  bool haploid;
  std::vector<std::vector<int>> populations;
};

TEST(CountSnpAlleles, MatchesCountingCallByCall) {
  const Case cases[] = {
      {"diploid, three words a row", 9, 70, false, {{0, 2, 5}, {1, 3, 4, 6, 8}, {}}},
      {"diploid, one partial word", 5, 3, false, {{}, {4, 0}, {1, 2, 3}}},
      {"diploid, exactly two words", 6, 64, false, {{0, 1, 2, 3, 4, 5}}},
      {"haploid, three words a row", 8, 95, true, {{7, 1}, {}, {0, 2, 3, 4, 5, 6}}},
      {"haploid, a unit in two populations", 4, 33, true, {{0, 1}, {1, 2, 3}}},
  };
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PackedGenotypes g = RandomCalls(c.samples, c.loci, c.haploid, seed++);
    AlleleCountTable table;
    ASSERT_TRUE(CountSnpAlleles(g, c.haploid ? 1 : 2, c.populations, nullptr, table));
    const AlleleCountTable expected = CountOneByOne(g, c.haploid, c.populations);
    ExpectSameTable(table, expected);
    ASSERT_EQ(table.alleleOffset.size(), static_cast<std::size_t>(c.loci) + 1);
    for (int l = 0; l <= c.loci; ++l) EXPECT_EQ(table.alleleOffset[l], 2 * l);
    EXPECT_TRUE(table.alleleSize.empty());
    // The counter of the permutation tests gives each population's column.
    const UnitCounter counter = SnpUnitCounter(g, c.haploid ? 1 : 2);
    for (std::size_t p = 0; p < c.populations.size(); ++p) {
      AlleleCountTable column;
      column.populationCount = 1;
      column.locusCount = c.loci;
      column.haploid = c.haploid;
      column.alleleOffset = table.alleleOffset;
      column.typed.assign(c.loci, 0);
      column.heterozygotes.assign(c.loci, 0);
      column.copies.assign(2 * c.loci, 0);
      column.hetCarrying.assign(2 * c.loci, 0);
      counter(c.populations[p].data(), static_cast<int>(c.populations[p].size()), column);
      ExpectSameTable(column, CountOneByOne(g, c.haploid, {c.populations[p]}));
    }
  }
}

TEST(CountSnpAlleles, SmallDiploidStudyByHand) {
  // 4 samples x 2 loci; population 0 = samples 0, 1, 2; population 1 none;
  // population 2 = sample 3.
  PackedGenotypes g(4, 2);
  const SnpCall calls[4][2] = {{kHomRefCall, kHetCall},
                               {kHetCall, kMissingCall},
                               {kHomAltCall, kHetCall},
                               {kMissingCall, kHomAltCall}};
  for (int s = 0; s < 4; ++s)
    for (int l = 0; l < 2; ++l) g.set(s, l, calls[s][l]);
  AlleleCountTable t;
  ASSERT_TRUE(CountSnpAlleles(g, 2, {{0, 1, 2}, {}, {3}}, nullptr, t));
  EXPECT_EQ(t.Typed(0, 0), 3);
  EXPECT_EQ(t.Heterozygotes(0, 0), 1);
  EXPECT_EQ(t.Copies(0, 0, 0), 3);  // 2 + 1 reference copies
  EXPECT_EQ(t.Copies(0, 1, 0), 3);  // 1 + 2 alternate copies
  EXPECT_EQ(t.HetCarrying(0, 1, 0), 1);
  EXPECT_EQ(t.Typed(1, 0), 2);
  EXPECT_EQ(t.Heterozygotes(1, 0), 2);
  EXPECT_EQ(t.Copies(1, 0, 0), 2);
  EXPECT_EQ(t.Copies(1, 1, 0), 2);
  for (int l = 0; l < 2; ++l) {
    EXPECT_EQ(t.Typed(l, 1), 0);
    EXPECT_EQ(t.Copies(l, 0, 1), 0);
    EXPECT_EQ(t.Copies(l, 1, 1), 0);
  }
  EXPECT_EQ(t.Typed(0, 2), 0);
  EXPECT_EQ(t.Typed(1, 2), 1);
  EXPECT_EQ(t.Copies(1, 1, 2), 2);
  EXPECT_EQ(t.GeneCopies(1, 2), 2);
}

}  // namespace
}  // namespace vireltan
