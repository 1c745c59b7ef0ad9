// SPDX-License-Identifier: GPL-3.0-or-later
// eMLG/SE against direct binomial sums, Ia/rbarD against a direct loop over
// all pairs, and the summary's other columns on a case worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analyses/clonality/index_of_association.h"
#include "analyses/clonality/population_summary.h"
#include "dataset/mlg_identification.h"

namespace vireltan {
namespace {

// C(a, b) as a double by the product formula (small arguments only).
double Choose(int a, int b) {
  if (b < 0 || b > a) return 0;
  double c = 1;
  for (int i = 1; i <= b; ++i) c = c * (a - b + i) / i;
  return c;
}

TEST(RarefactionTest, AgreesWithDirectSumsOverClones) {
  const std::vector<std::vector<int>> cases = {{3, 1, 1}, {5, 2, 2, 1, 1, 1}, {1, 1, 1, 1}, {4}};
  for (const auto& sizes : cases) {
    int total = 0;
    for (int s : sizes) total += s;
    for (int n = 1; n <= total; ++n) {
      // Hurlbert: Σ_i 1 − C(N−N_i, n)/C(N, n); Heck: variance over clones
      // i and pairs i ≠ j, written out clone by clone.
      const double all = Choose(total, n);
      double expected = 0, variance = 0;
      for (size_t i = 0; i < sizes.size(); ++i) {
        const double qi = Choose(total - sizes[i], n) / all;
        expected += 1 - qi;
        variance += qi * (1 - qi);
        for (size_t j = 0; j < sizes.size(); ++j)
          if (j != i)
            variance += Choose(total - sizes[i] - sizes[j], n) / all -
                        qi * Choose(total - sizes[j], n) / all;
      }
      Rarefaction r = RarefyMlgs(sizes, n);
      EXPECT_NEAR(r.expected, expected, 1e-9) << n;
      ASSERT_TRUE(r.se.has_value());
      EXPECT_NEAR(*r.se * *r.se, variance, 1e-10) << n;
    }
  }
  // By hand: sizes {2, 1}, n = 2: the clone of 1 is missed with chance
  // C(2,2)/C(3,2) = 1/3, the clone of 2 never: eMLG = 5/3; Var = 2/9.
  Rarefaction r = RarefyMlgs({2, 1}, 2);
  EXPECT_NEAR(r.expected, 5.0 / 3, 1e-12);
  EXPECT_NEAR(*r.se, std::sqrt(2.0 / 9), 1e-9);
  // A sample smaller than n keeps its MLG count, with SE 0 (as poppr).
  EXPECT_EQ(RarefyMlgs({2, 1}, 5).expected, 2);
  EXPECT_EQ(RarefyMlgs({2, 1}, 5).se, 0.0);
}

// A dataset from allele pairs per unit and locus (0 = missing).
Dataset Build(const std::vector<std::vector<std::pair<int, int>>>& units, int ploidy,
              const std::vector<int>& population = {}) {
  Dataset d;
  d.sampleCount = static_cast<int>(units.size());
  d.locusCount = static_cast<int>(units[0].size());
  d.ploidy = ploidy;
  for (int k = 0; k < d.locusCount; ++k) d.locusNames.push_back("L" + std::to_string(k + 1));
  for (int u = 0; u < d.sampleCount; ++u) {
    d.designations.push_back(Cell::Number(u + 1));
    d.x.push_back(999);
    d.y.push_back(999);
    for (auto [a, b] : units[u]) {
      Allele x = a ? Allele(a) : kMissingAllele, y = b ? Allele(b) : kMissingAllele;
      d.alleles.push_back(std::min(x, y));
      d.alleles.push_back(std::max(x, y));
      d.hasMissingData = d.hasMissingData || !a || !b;
    }
  }
  d.populationOfSu = population.empty() ? std::vector<int>(d.sampleCount, 0) : population;
  int pops = 0;
  for (int p : d.populationOfSu) pops = std::max(pops, p + 1);
  for (int p = 0; p < pops; ++p) d.populationNames.push_back("P" + std::to_string(p + 1));
  return d;
}

// d_j by counting the alleles of a left without a partner in b.
int Differing(const Dataset& d, int a, int b, int j) {
  if (d.haploid()) return d.alleleAt(a, j, 0) != d.alleleAt(b, j, 0);
  std::vector<Allele> rest = {d.alleleAt(b, j, 0), d.alleleAt(b, j, 1)};
  int unmatched = 0;
  for (int c = 0; c < 2; ++c) {
    auto it = std::find(rest.begin(), rest.end(), d.alleleAt(a, j, c));
    if (it == rest.end())
      ++unmatched;
    else
      rest.erase(it);
  }
  return unmatched;
}

TEST(IndexOfAssociationTest, AgreesWithDirectLoopOverAllPairs) {
  std::mt19937 rng(5);
  for (int ploidy : {1, 2}) {
    for (int trial = 0; trial < 4; ++trial) {
      const int n = 12 + trial * 5, loci = 4;
      std::vector<std::vector<std::pair<int, int>>> units(n);
      for (auto& u : units)
        for (int k = 0; k < loci; ++k) {
          int a = 100 + static_cast<int>(rng() % 3), b = 100 + static_cast<int>(rng() % 3);
          if (trial % 2 && rng() % 10 == 0) a = b = 0;  // missing genotypes in odd trials
          u.emplace_back(a, ploidy == 1 ? a : b);
        }
      units[1] = units[2] = units[0];  // clonemates, grouped into one weighted row
      Dataset d = Build(units, ploidy);
      // Direct: per locus over pairs typed at it; V_O over all pairs with a
      // missing locus adding 0.
      std::vector<double> s1(loci), s2(loci), pairs(loci);
      double sumD = 0, sumD2 = 0, allPairs = 0;
      auto missing = [&](int u, int j) { return d.alleleAt(u, j, 0) == kMissingAllele; };
      for (int a = 0; a < n; ++a)
        for (int b = a + 1; b < n; ++b) {
          double dPair = 0;
          for (int j = 0; j < loci; ++j) {
            if (missing(a, j) || missing(b, j)) continue;
            const int dj = Differing(d, a, b, j);
            s1[j] += dj;
            s2[j] += dj * dj;
            pairs[j] += 1;
            dPair += dj;
          }
          sumD += dPair;
          sumD2 += dPair * dPair;
          allPairs += 1;
        }
      std::vector<double> var(loci);
      double ve = 0, cross = 0;
      for (int j = 0; j < loci; ++j) {
        var[j] = s2[j] / pairs[j] - (s1[j] / pairs[j]) * (s1[j] / pairs[j]);
        ve += var[j];
      }
      for (int j = 0; j < loci; ++j)
        for (int k = j + 1; k < loci; ++k) cross += std::sqrt(var[j] * var[k]);
      const double vo = sumD2 / allPairs - (sumD / allPairs) * (sumD / allPairs);

      std::vector<int> all(n);
      for (int i = 0; i < n; ++i) all[i] = i;
      AssociationInput input = PrepareAssociation(d, all);
      AssociationResult r = IndexOfAssociation(input, ComputeLocusPairSums(input));
      ASSERT_TRUE(r.ia && r.rbarD);
      EXPECT_NEAR(*r.ia, vo / ve - 1, 1e-9);
      EXPECT_NEAR(*r.rbarD, (vo - ve) / (2 * cross), 1e-9);
      // One row per unit, as a permutation test prepares it: the same.
      AssociationInput perUnit = PrepareAssociation(d, all, false);
      EXPECT_EQ(perUnit.rowCount, n);
      EXPECT_LT(input.rowCount, n);
      AssociationResult u = IndexOfAssociation(perUnit, ComputeLocusPairSums(perUnit));
      EXPECT_NEAR(*u.ia, *r.ia, 1e-12);
    }
  }
}

TEST(PopulationSummaryTest, ColumnsOfACaseWorkedByHand) {
  // P1: units 1-3 one clone (100/102, 200), unit 4 another (104/104, 202);
  // P2: two units of a third genotype. One locus monomorphic within P2.
  Dataset d = Build({{{100, 102}, {200, 200}},
                     {{100, 102}, {200, 200}},
                     {{100, 102}, {200, 200}},
                     {{104, 104}, {202, 202}},
                     {{106, 106}, {204, 204}},
                     {{106, 106}, {204, 204}}},
                    2, {0, 0, 0, 0, 1, 1});
  MlgPartition mlgs = IdentifyMlgs(d);
  PopulationSummaryOptions options;
  options.rarefyTo = 2;
  PopulationSummaryResult s = SummarisePopulations(d, mlgs, options);
  ASSERT_EQ(s.rows.size(), 3u);
  const PopulationSummaryRow& p1 = s.rows[0];
  EXPECT_EQ(p1.units, 4);
  EXPECT_EQ(p1.mlgs, 2);
  // p = 3/4, 1/4.
  EXPECT_NEAR(p1.shannon, -(0.75 * std::log(0.75) + 0.25 * std::log(0.25)), 1e-12);
  EXPECT_NEAR(p1.stoddartTaylor, 1 / 0.625, 1e-12);
  EXPECT_NEAR(p1.simpson, 0.375, 1e-12);
  EXPECT_NEAR(*p1.evenness, (1.6 - 1) / (std::exp(p1.shannon) - 1), 1e-12);
  // eMLG at n = 2: the clone of 3 is missed with C(1,2)=0, the single one
  // with C(3,2)/C(4,2) = 1/2: 1.5.
  EXPECT_NEAR(p1.rarefied.expected, 1.5, 1e-12);
  // Hexp, locus 1: copies 100 x3, 102 x3, 104 x2 of n = 8:
  // 8/7 (1 − (9+9+4)/64); locus 2: 200 x6, 202 x2: 8/7 (1 − 40/64).
  EXPECT_NEAR(*p1.hexp, (8.0 / 7 * (1 - 22.0 / 64) + 8.0 / 7 * (1 - 40.0 / 64)) / 2, 1e-12);
  // P2: a single MLG, so no evenness; both loci monomorphic: Ia undefined.
  EXPECT_FALSE(s.rows[1].evenness.has_value());
  EXPECT_FALSE(s.rows[1].ia.has_value());
  EXPECT_EQ(s.rows[2].name, "Total");
  EXPECT_EQ(s.rows[2].units, 6);
  EXPECT_EQ(s.rows[2].mlgs, 3);
  // Clone-corrected: one unit per MLG per population.
  options.cloneCorrect = true;
  s = SummarisePopulations(d, mlgs, options);
  EXPECT_EQ(s.rows[0].units, 2);
  EXPECT_EQ(s.rows[2].units, 3);

  Sheet block = PopulationSummaryBlock(s, true);
  std::string header;
  for (int c = 1; c <= 12; ++c) header += block.TextAt(1, c) + (c < 12 ? "\t" : "");
  EXPECT_EQ(header, "Pop\tN\tMLG\teMLG\tSE\tH\tG\tlambda\tE.5\tHexp\tIa\trbarD");
  EXPECT_EQ(block.TextAt(4, 1), "Total");
}

}  // namespace
}  // namespace vireltan
