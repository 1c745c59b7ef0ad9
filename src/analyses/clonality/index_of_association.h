// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The index of association Ia and its standardised form rbarD (Agapow and
// Burt 2001) over all pairs of a set of sampling units.
//
// For a pair of units, d_j is the number of alleles by which their genotypes
// differ at locus j (0, 1 or 2; 0 or 1 for haploids) and D = Σ_j d_j. Over
// the pairs, V_O is the variance of D and V_E = Σ_j var(d_j); then
//   Ia    = V_O / V_E − 1,
//   rbarD = (V_O − V_E) / (2 Σ_{j<k} √(var(d_j) var(d_k))),
// variances with the number of pairs as divisor. Under random mating the
// loci are independent and both are near 0; clonal reproduction links them.
// A pair in which a unit's genotype at locus j is missing adds 0 to D. Two
// rules for var(d_j):
//   - poppr's (the default of the commands): the locus counts as no
//     difference, d_j = 0, for that pair: var(d_j) over all pairs;
//   - typed pairs: the pair leaves the locus out of var(d_j), whose divisor
//     is then the locus's own count of typed pairs.
// Both agree without missing data.
//
// Cost: V_O needs a pass over all N(N−1)/2 pairs, L look-ups each, O(N² L)
// time (O(G² L) for G distinct genotypes, clonemates being grouped); nothing
// grows with N² in memory. The var(d_j) come from the counts
// of each genotype at the locus, O(G_j²) for G_j distinct genotypes.
//
// Permutation tests (genotypes shuffled among units independently per
// locus) reuse this layout: prepare without collapsing clones, shuffle the
// per-locus columns of AssociationInput::genotype, keep the LocusPairSums (a shuffle does not
// change the multiset of genotypes at a locus, hence not var(d_j)), and call
// IndexOfAssociation again.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "dataset/dataset.h"

namespace vireltan {

// d_j of two genotypes: their alleles that cannot be paired with an equal
// allele of the other, 0, 1 or 2 for diploids (a haploid genotype repeats
// its allele, so it differs by 0 or 2, halved to 0 or 1).
int GenotypeDistance(Allele a1, Allele a2, Allele b1, Allele b2, bool haploid);

// The units' genotypes recoded per locus as small ids, and per locus the
// table of d_j between any two ids. A row stands for `weight[row]` units
// with that same multilocus genotype (clonemates): their pairs have D = 0,
// and a pair of rows counts weight × weight unit pairs, so the pass costs
// O(R² L) for R distinct rows.
struct AssociationInput {
  static constexpr std::uint32_t kMissing = 0xFFFFFFFF;
  int unitCount = 0;  // units (sum of the weights)
  int rowCount = 0;
  int locusCount = 0;
  // genotype[r * locusCount + j]: id of row r's genotype at locus j
  // (0..genotypeCount[j]-1), kMissing when an allele is missing.
  std::vector<std::uint32_t> genotype;
  std::vector<std::int64_t> weight;
  std::vector<int> genotypeCount;
  // The allele pair of each id, per locus.
  std::vector<std::vector<std::pair<Allele, Allele>>> alleles;
  bool haploid = false;
  // distance[j][g * genotypeCount[j] + h] = d_j between ids g and h; left
  // empty for a locus with more than kLargestTable ids (its table would grow
  // with the square of its genotypes), whose d_j are then computed from
  // `alleles` pair by pair.
  static constexpr int kLargestTable = 1024;
  std::vector<std::vector<std::uint8_t>> distance;
  int Distance(int locus, std::uint32_t g, std::uint32_t h) const;
};

// Recodes the units `units` (SU indices) of `dataset`: one row per distinct
// multilocus genotype when `collapseClones`, else one row per unit of
// weight 1 (what a permutation test shuffles).
AssociationInput PrepareAssociation(const Dataset& dataset, const std::vector<int>& units,
                                    bool collapseClones = true);

enum class IaMissing { kPoppr, kTypedPairs };
// "poppr", "typed-pairs" (the words of the command line).
const char* IaMissingName(IaMissing rule);
bool ParseIaMissing(const std::string& word, IaMissing& rule);

// Per locus: the pairs var(d_j) is taken over (typed pairs, or all pairs
// under poppr's rule), Σ d_j and Σ d_j² over them.
struct LocusPairSums {
  std::int64_t pairs = 0;
  std::int64_t sum = 0;
  std::int64_t sumSquares = 0;
  double variance() const;  // divisor: pairs; 0 when there is no pair
};
std::vector<LocusPairSums> ComputeLocusPairSums(const AssociationInput& input,
                                                IaMissing missing = IaMissing::kTypedPairs);

// V_O − V_E, the numerator of Ia and rbarD, from Σ D and Σ D² over the
// N(N−1)/2 pairs of `unitCount` units and V_E = `expectedVariance`.
// Without missing data every locus has all the pairs and P² (V_O − V_E) is
// a whole number: it is then computed exactly, so that a dataset whose
// loci are independent gets 0, not a rounding residue such as −2e−16.
double VarianceExcess(std::int64_t sumD, std::int64_t sumD2, int unitCount,
                      const std::vector<LocusPairSums>& locusSums, double expectedVariance);

// Σ_{j<k} √(v_j v_k), half the denominator of rbarD; term by term so that
// it is exactly 0 when at most one locus varies.
double LocusCrossTerm(const std::vector<LocusPairSums>& locusSums);

struct AssociationResult {
  std::optional<double> ia;     // empty when V_E = 0 or fewer than 3 units
  std::optional<double> rbarD;  // empty when its denominator is 0 or fewer than 3 units
  double observedVariance = 0;  // V_O
  double expectedVariance = 0;  // V_E
};

// The pass over all pairs (O(N² L) time, O(1) extra memory), on all
// cores. When `progress` is cancelled midway the result is left empty.
AssociationResult IndexOfAssociation(const AssociationInput& input,
                                     const std::vector<LocusPairSums>& locusSums,
                                     ProgressSink* progress = nullptr);

}  // namespace vireltan
