// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tests of Hardy–Weinberg proportions in one population at one locus, from
// the genotypes of its typed (diploid) units.
//   χ²: over every possible genotype of the k alleles seen (k(k+1)/2 of
//       them), expected n p_i² and 2n p_i p_j, df = k(k−1)/2 = genotypes −
//       alleles, as pegas's hw.test.
//   Exact, two alleles: Wigginton, Cutler & Abecasis (2005), the summed
//       probability of every heterozygote count no more probable than the
//       observed one given the allele counts (plink 1.9's --hardy).
//   Exact, more alleles: Monte-Carlo; the gene copies are dealt out again
//       among the units (Guo & Thompson 1992) and the statistic is the
//       probability of the genotype counts given the allele counts,
//       Pr ∝ 2^H / Π n_ij! (H heterozygotes); p = (b + 1)/(P + 1) with b the
//       permutations no more probable than the observed counts.
// Benjamini & Hochberg's (1995) false-discovery-rate adjustment is applied
// over the exact p-values of a whole table.
#include <cstdint>
#include <optional>
#include <vector>

#include "numeric/random.h"

namespace vireltan {

// The genotypes of one population at one locus: the allele indices
// (0..alleles−1, smaller first) of each typed unit.
struct LocusGenotypes {
  int alleles = 0;  // k: alleles seen (every index below k occurs)
  std::vector<std::pair<int, int>> units;
};

struct HweTest {
  int typed = 0;
  int alleles = 0;
  std::optional<double> chi2;
  std::optional<int> df;
  std::optional<double> pChi2;
  std::optional<double> pExact;
  bool monteCarlo = false;  // pExact from permutations (more than two alleles)
};

// Both tests; `permutations` for the Monte-Carlo test (0: none), drawn
// from `random`. Fewer than two alleles or no unit typed: empty values.
HweTest TestHardyWeinberg(const LocusGenotypes& genotypes, int permutations,
                          RandomGenerator& random);

// A biallelic locus from its genotype counts (SNP calls): χ² with 1 df and
// the exact test.
HweTest TestHardyWeinbergBiallelic(int homozygous1, int heterozygous, int homozygous2);

// The exact test of Wigginton et al.: P of heterozygote counts no more
// probable than `heterozygous`, given the allele counts; 1 for no units.
double HweExactP(int heterozygous, int homozygous1, int homozygous2);

// Benjamini–Hochberg adjusted p-values of the defined entries, at the same
// positions (empty stays empty): min over j >= i of p_(j) m / j, at most 1.
std::vector<std::optional<double>> AdjustFalseDiscoveryRate(
    const std::vector<std::optional<double>>& p);

}  // namespace vireltan
