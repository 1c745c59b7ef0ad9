// SPDX-License-Identifier: GPL-3.0-or-later
// The population-genetics statistics on a hand-sized dataset with missing
// alleles, a monomorphic locus and a population with one typed unit at a
// locus, each against a direct computation written here (Weir & Cockerham
// in their 1984 form, not the analysis-of-variance form of the program).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numeric>
#include <set>

#include "analyses/popgen/gene_diversity.h"
#include "analyses/popgen/hardy_weinberg.h"
#include "analyses/popgen/pairwise_fst.h"
#include "analyses/popgen/weir_cockerham.h"
#include "numeric/chi_square.h"

namespace vireltan {
namespace {

constexpr double kTolerance = 1e-12;
using Genotype = std::pair<int, int>;  // allele sizes; 0 missing

// Units as rows of genotypes (one per locus), with their population.
Dataset MakeDataset(const std::vector<std::vector<Genotype>>& rows, std::vector<int> pops) {
  Dataset d;
  d.sampleCount = static_cast<int>(rows.size());
  d.locusCount = static_cast<int>(rows[0].size());
  for (int l = 0; l < d.locusCount; ++l) d.locusNames.push_back("L" + std::to_string(l + 1));
  for (const auto& row : rows)
    for (const auto& [a, b] : row) {
      const Allele x = a ? Allele(a) : kMissingAllele, y = b ? Allele(b) : kMissingAllele;
      d.alleles.push_back(std::min(x, y));
      d.alleles.push_back(std::max(x, y));
      if (!a || !b) d.hasMissingData = true;
    }
  d.populationOfSu = std::move(pops);
  d.populationNames = {"north", "south"};
  d.populationsGiven = true;
  return d;
}

// Two populations; locus 2 monomorphic; at locus 3 "south" has one typed
// unit; a half-missing genotype counts as untyped.
const std::vector<std::vector<Genotype>> kRows = {
    {{120, 124}, {150, 150}, {200, 204}}, {{120, 120}, {150, 150}, {200, 200}},
    {{124, 128}, {150, 150}, {204, 0}},   {{120, 124}, {150, 150}, {204, 208}},
    {{128, 128}, {150, 150}, {208, 208}}, {{124, 124}, {150, 150}, {0, 0}},
    {{124, 128}, {150, 150}, {0, 0}},     {{128, 128}, {150, 150}, {200, 208}},
    {{120, 128}, {0, 0}, {0, 0}}};
const std::vector<int> kPops = {0, 0, 0, 0, 0, 1, 1, 1, 1};

// The typed genotypes of a population at a locus.
std::vector<Genotype> Typed(int pop, int locus) {
  std::vector<Genotype> g;
  for (std::size_t u = 0; u < kRows.size(); ++u)
    if (kPops[u] == pop && kRows[u][locus].first && kRows[u][locus].second)
      g.push_back(kRows[u][locus]);
  return g;
}

std::map<int, double> Frequencies(const std::vector<Genotype>& g) {
  std::map<int, double> p;
  for (const auto& [a, b] : g) {
    p[a] += 1;
    p[b] += 1;
  }
  for (auto& [allele, x] : p) x /= 2.0 * g.size();
  return p;
}

class HandData : public ::testing::Test {
 protected:
  void SetUp() override {
    dataset = MakeDataset(kRows, kPops);
    units = {{0, 1, 2, 3, 4}, {5, 6, 7, 8}};
    table = CountAlleles(dataset, units);
  }
  Dataset dataset;
  std::vector<std::vector<int>> units;
  AlleleCountTable table;
};

TEST_F(HandData, DiversityRowsAgreeWithDirectFormulas) {
  const DiversityTable t = ComputeDiversity(table, {"north", "south"}, {5, 4}, {});
  ASSERT_EQ(t.rows.size(), 3u);
  EXPECT_EQ(t.rarefiedTo, 2);  // south has 1 unit (2 copies) typed at locus 3
  for (int pop = 0; pop < 2; ++pop) {
    std::vector<double> ho, hs, uhe, fis, na;
    for (int l = 0; l < 3; ++l) {
      const auto g = Typed(pop, l);
      const double n = g.size();
      double het = 0, sp2 = 0;
      for (const auto& [a, b] : g) het += a != b;
      for (const auto& [allele, p] : Frequencies(g)) sp2 += p * p;
      na.push_back(static_cast<double>(Frequencies(g).size()));
      ho.push_back(het / n);
      uhe.push_back(2 * n / (2 * n - 1) * (1 - sp2));
      if (n < 2) continue;  // Hs and Fis need two units
      const double h = n / (n - 1) * (1 - sp2 - het / n / (2 * n));
      hs.push_back(h);
      if (h > 0) fis.push_back(1 - het / n / h);
    }
    auto mean = [](const std::vector<double>& v) {
      return std::accumulate(v.begin(), v.end(), 0.0) / v.size();
    };
    const DiversityRow& r = t.rows[pop];
    SCOPED_TRACE(r.name);
    EXPECT_NEAR(*r.ho.mean, mean(ho), kTolerance);
    EXPECT_NEAR(*r.hs.mean, mean(hs), kTolerance);
    EXPECT_EQ(r.hs.loci, static_cast<int>(hs.size()));
    EXPECT_NEAR(*r.uhe.mean, mean(uhe), kTolerance);
    EXPECT_NEAR(*r.na.mean, mean(na), kTolerance);
    ASSERT_EQ(r.fis.loci, static_cast<int>(fis.size()));  // the monomorphic locus left out
    EXPECT_NEAR(*r.fis.mean, mean(fis), kTolerance);
  }
  // Private alleles: 200 only in north at locus 3; Total sums them.
  EXPECT_EQ(*t.rows[0].privateAlleles, 1);
  EXPECT_EQ(*t.rows[1].privateAlleles, 0);
  EXPECT_EQ(*t.rows[2].privateAlleles, 1);
  EXPECT_EQ(t.cellsBelowTwoTyped, 1);
}

// Allelic richness against the mean number of distinct alleles over every
// subsample of k copies, enumerated.
TEST(AllelicRichness, EqualsTheMeanOverEverySubsample) {
  const std::vector<int> kinds = {0, 0, 0, 1, 1, 2, 3};  // allele of each copy
  for (int k = 1; k <= 7; ++k) {
    double total = 0;
    int subsets = 0;
    for (int mask = 0; mask < (1 << 7); ++mask) {
      if (__builtin_popcount(mask) != k) continue;
      std::set<int> seen;
      for (int i = 0; i < 7; ++i)
        if (mask >> i & 1) seen.insert(kinds[i]);
      total += seen.size();
      ++subsets;
    }
    EXPECT_NEAR(RarefiedRichness({3, 2, 1, 1}, k), total / subsets, kTolerance) << k;
  }
}

// Weir & Cockerham (1984), equations for a, b, c per allele.
struct Components {
  double a = 0, b = 0, c = 0;
};
Components WeirCockerham1984(const std::vector<std::vector<Genotype>>& pops) {
  Components sum;
  std::vector<std::vector<Genotype>> typed;
  for (const auto& g : pops)
    if (!g.empty()) typed.push_back(g);
  const double r = typed.size();
  double nt = 0, n2 = 0;
  std::set<int> alleles;
  for (const auto& g : typed) {
    nt += g.size();
    n2 += double(g.size()) * g.size();
    for (const auto& [a, b] : g) alleles.insert({a, b});
  }
  const double nbar = nt / r, nc = (nt - n2 / nt) / (r - 1);
  for (int allele : alleles) {
    double pbar = 0, hbar = 0;
    std::vector<double> p;
    for (const auto& g : typed) {
      double copies = 0, het = 0;
      for (const auto& [a, b] : g) {
        copies += (a == allele) + (b == allele);
        het += (a != b) && (a == allele || b == allele);
      }
      p.push_back(copies / (2.0 * g.size()));
      pbar += copies / 2.0 / nt;
      hbar += het / nt;
    }
    double s2 = 0;
    for (std::size_t i = 0; i < typed.size(); ++i)
      s2 += typed[i].size() * (p[i] - pbar) * (p[i] - pbar) / ((r - 1) * nbar);
    const double q = pbar * (1 - pbar);
    sum.a += nbar / nc * (s2 - (q - (r - 1) / r * s2 - hbar / 4) / (nbar - 1));
    sum.b += nbar / (nbar - 1) * (q - (r - 1) / r * s2 - (2 * nbar - 1) / (4 * nbar) * hbar);
    sum.c += hbar / 2;
  }
  return sum;
}

TEST_F(HandData, WeirCockerhamEqualsThe1984Equations) {
  FStatisticsResult f;
  ASSERT_TRUE(ComputeFStatistics(table, 0, 1, nullptr, f));
  Components all;
  for (int l : {0, 2}) {  // the monomorphic locus adds nothing
    const Components c = WeirCockerham1984({Typed(0, l), Typed(1, l)});
    SCOPED_TRACE(l);
    EXPECT_NEAR(f.loci[l].among, c.a, kTolerance);
    EXPECT_NEAR(f.loci[l].between, c.b, kTolerance);
    EXPECT_NEAR(f.loci[l].within, c.c, kTolerance);
    all.a += c.a;
    all.b += c.b;
    all.c += c.c;
  }
  EXPECT_FALSE(f.perLocus[1].fst);  // monomorphic: 0/0, left empty
  EXPECT_NEAR(*f.overall.fst, all.a / (all.a + all.b + all.c), kTolerance);
  EXPECT_NEAR(*f.overall.fis, all.b / (all.b + all.c), kTolerance);
  EXPECT_NEAR(*f.overall.fit, (all.a + all.b) / (all.a + all.b + all.c), kTolerance);
  // The bootstrap over identical loci cannot move; over these it brackets
  // nothing in particular but is ordered and reproducible.
  FStatisticsResult once, again;
  ASSERT_TRUE(ComputeFStatistics(table, 200, 7, nullptr, once));
  ASSERT_TRUE(ComputeFStatistics(table, 200, 7, nullptr, again));
  EXPECT_EQ(*once.fstLow, *again.fstLow);
  EXPECT_LE(*once.fstLow, *once.fstHigh);
}

TEST(Quantile, FollowsRsTypeSeven) {
  // quantile(c(1, 2, 3, 4, 10), c(0.025, 0.5, 0.975)) in R: 1.1, 3, 9.4.
  std::vector<double> v = {10, 2, 4, 1, 3};
  EXPECT_NEAR(Quantile7(v, 0.025), 1.1, kTolerance);
  EXPECT_NEAR(Quantile7(v, 0.5), 3, kTolerance);
  EXPECT_NEAR(Quantile7(v, 0.975), 9.4, kTolerance);
}

TEST_F(HandData, PairwisePermutationPValuesAreRatiosOfCounts) {
  PairwiseFstResult r;
  const UnitCounter counter = AlleleTableCounter(dataset, table);
  ASSERT_TRUE(ComputePairwiseFst(table, units, counter, 99, 3, nullptr, r));
  ASSERT_EQ(r.fst.size(), 1u);
  EXPECT_NEAR(*r.fst[0], *OverallTheta(table), kTolerance);
  const double b = *r.p[0] * 100 - 1;
  EXPECT_NEAR(b, std::round(b), 1e-9);
  EXPECT_GE(*r.p[0], 0.01);
  // A counter that recounts the whole populations gives the observed table.
  AlleleCountTable column = SelectPopulations(PoolPopulations(table), {0});
  std::fill(column.copies.begin(), column.copies.end(), 0);
  std::fill(column.typed.begin(), column.typed.end(), 0);
  std::fill(column.heterozygotes.begin(), column.heterozygotes.end(), 0);
  std::fill(column.hetCarrying.begin(), column.hetCarrying.end(), 0);
  counter(units[0].data(), static_cast<int>(units[0].size()), column);
  EXPECT_EQ(column.copies, SelectPopulations(table, {0}).copies);
  EXPECT_EQ(column.hetCarrying, SelectPopulations(table, {0}).hetCarrying);
}

// Populations with no allele in common: every permutation mixes them, so
// the observed θ is the largest and p = 1/(P+1).
TEST(PairwiseFst, SeparatedPopulationsGiveTheSmallestP) {
  std::vector<std::vector<Genotype>> rows;
  for (int u = 0; u < 12; ++u) rows.push_back({u < 6 ? Genotype{100, 102} : Genotype{200, 202}});
  const Dataset d = MakeDataset(rows, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1});
  const std::vector<std::vector<int>> units = {{0, 1, 2, 3, 4, 5}, {6, 7, 8, 9, 10, 11}};
  const AlleleCountTable t = CountAlleles(d, units);
  PairwiseFstResult r;
  ASSERT_TRUE(ComputePairwiseFst(t, units, AlleleTableCounter(d, t), 199, 11, nullptr, r));
  EXPECT_DOUBLE_EQ(*r.p[0], 1.0 / 200);
}

// ln of n! by summing logarithms.
double LogFactorial(int n) {
  double s = 0;
  for (int i = 2; i <= n; ++i) s += std::log(double(i));
  return s;
}

TEST(HardyWeinberg, ExactTestSumsTheNoMoreProbableConfigurations) {
  struct Case {
    int hom1, het, hom2;
  };
  for (const Case c : {Case{10, 0, 10}, Case{3, 14, 3}, Case{57, 14, 50}, Case{0, 1, 0},
                       Case{1, 2, 1}, Case{0, 21, 1}, Case{100, 3, 0}}) {
    const int n = c.hom1 + c.het + c.hom2, nA = 2 * c.hom1 + c.het, nB = 2 * c.hom2 + c.het;
    auto logP = [&](int h) {
      const int a = (nA - h) / 2, b = (nB - h) / 2;
      return LogFactorial(n) - LogFactorial(a) - LogFactorial(h) - LogFactorial(b) +
             h * std::log(2.0) + LogFactorial(nA) + LogFactorial(nB) - LogFactorial(2 * n);
    };
    const double observed = logP(c.het);
    double p = 0;
    for (int h = nA % 2; h <= std::min(nA, nB); h += 2)
      if (logP(h) <= observed + 1e-9) p += std::exp(logP(h));
    SCOPED_TRACE(::testing::Message() << c.hom1 << " " << c.het << " " << c.hom2);
    EXPECT_NEAR(HweExactP(c.het, c.hom1, c.hom2), std::min(1.0, p), 1e-12);
  }
}

TEST(HardyWeinberg, ChiSquareOverEveryGenotype) {
  // Alleles 0, 1, 2; counts n00 = 4, n01 = 2, n11 = 1, n12 = 3 (n = 10):
  // p = (10, 7, 3)/20; χ² summed over the six genotypes by hand.
  LocusGenotypes g;
  g.alleles = 3;
  for (int i = 0; i < 4; ++i) g.units.emplace_back(0, 0);
  for (int i = 0; i < 2; ++i) g.units.emplace_back(0, 1);
  g.units.emplace_back(1, 1);
  for (int i = 0; i < 3; ++i) g.units.emplace_back(1, 2);
  const double p[] = {0.5, 0.35, 0.15};
  const int observed[3][3] = {{4, 2, 0}, {0, 1, 3}, {0, 0, 0}};
  double chi2 = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = i; j < 3; ++j) {
      const double e = i == j ? 10 * p[i] * p[i] : 20 * p[i] * p[j];
      chi2 += (observed[i][j] - e) * (observed[i][j] - e) / e;
    }
  RandomGenerator random(5);
  const HweTest t = TestHardyWeinberg(g, 999, random);
  EXPECT_NEAR(*t.chi2, chi2, kTolerance);
  EXPECT_EQ(*t.df, 3);
  EXPECT_NEAR(*t.pChi2, ChiSquareUpperTail(chi2, 3), kTolerance);
  ASSERT_TRUE(t.monteCarlo);
  const double b = *t.pExact * 1000 - 1;  // p = (b + 1)/(P + 1)
  EXPECT_NEAR(b, std::round(b), 1e-9);
  // One allele: nothing to test.
  LocusGenotypes mono{1, {{0, 0}, {0, 0}}};
  EXPECT_FALSE(TestHardyWeinberg(mono, 99, random).chi2);
}

TEST(ChiSquare, UpperTailAtKnownQuantiles) {
  struct Case {
    double x;
    int df;
    double p;
  };
  // qchisq(p, df, lower.tail = FALSE) in R.
  for (const Case c : {Case{3.841458820694124, 1, 0.05}, Case{5.991464547107979, 2, 0.05},
                       Case{18.30703805327515, 10, 0.05}, Case{-2 * std::log(0.3), 2, 0.3}}) {
    EXPECT_NEAR(ChiSquareUpperTail(c.x, c.df), c.p, 1e-12) << c.x;
  }
}

TEST(FalseDiscoveryRate, BenjaminiHochbergWithGaps) {
  const auto adjusted = AdjustFalseDiscoveryRate({0.01, std::nullopt, 0.04, 0.03, 0.2});
  EXPECT_NEAR(*adjusted[0], 0.04, kTolerance);
  EXPECT_FALSE(adjusted[1]);
  EXPECT_NEAR(*adjusted[2], 0.04 * 4 / 3, kTolerance);
  EXPECT_NEAR(*adjusted[3], 0.04 * 4 / 3, kTolerance);
  EXPECT_NEAR(*adjusted[4], 0.2, kTolerance);
}

}  // namespace
}  // namespace vireltan
