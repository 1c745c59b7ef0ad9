// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test of clonality: is the association between loci (Ia, rbarD)
// stronger than under sexual reproduction with free recombination?
//
// Under that null hypothesis the genotype a unit carries at one locus says
// nothing about its genotype at another, so each permutation shuffles the
// genotypes among the units independently at each locus and recomputes the
// index. A shuffle leaves the multiset of genotypes at every locus as it
// was, hence V_E, the mean of D and the denominator of rbarD: only
// Σ D² over the pairs changes, and rbarD (like Ia) grows with it. The
// p-value is p = (b + 1)/(P + 1), b counting the permuted rbarD at or
// above the observed one (the same b serves Ia, an increasing function of
// the same sum).
//
// Speed: for a shuffle of locus j, the contribution d_j(a, b) of every pair
// is row g_j(a) of a table R_j[x][b] = d_j(x, shuffled genotype of b),
// built in O(G_j N) per locus. The pair sums D(a, ·) of one unit are then a
// sum of L contiguous byte rows, which the compiler turns into vector
// additions: O(N² L) simple operations per permutation, with no table
// look-up in the inner loop. The R_j take Σ_j (G_j + 1) N bytes per thread
// (grows with N² when every genotype is rare: 20 MB at N = 1,000, L = 20);
// beyond kRowTableBudget the plain pair-by-pair pass is used instead.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyses/clonality/index_of_association.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

// The null model of the test: genotypes shuffled whole among the units at
// each locus (poppr's method 4), or the alleles of each locus pooled over
// the typed units and dealt out again two by two (poppr's method 1, its
// default), which also breaks the association of the two alleles of a
// genotype: clonal populations, rich in repeated heterozygotes, then look
// far less random than under the genotype shuffle.
enum class IaNull { kGenotypes, kAlleles };
// "genotypes", "alleles" (the words of the command line).
const char* IaNullName(IaNull null);
bool ParseIaNull(const std::string& word, IaNull& null);

struct AssociationTest {
  IaNull null = IaNull::kGenotypes;
  int permutations = 0;
  std::optional<double> pIa, pRbarD;  // empty when the index is undefined
  std::vector<double> permutedRbarD;  // one per permutation (empty when undefined)
  std::optional<double> observedRbarD;
};

// Σ over pairs a < b of D(a, b)², D summed over the loci both units have
// typed: the one statistic a shuffle changes.
std::int64_t SumOfSquaredPairDistances(const AssociationInput& input);

// The allele null model over the units `units` of `dataset`: each
// permutation deals the alleles of every locus out again among the units
// typed there (units missing a locus stay missing), recomputes Ia and
// rbarD with `missing`'s rule, and counts the permuted values at or above
// the observed ones (separately: V_E changes with the genotypes). O(N² L)
// per permutation on all cores; the cancel flag is polled between
// permutations.
Status TestAssociationAlleles(const Dataset& dataset, const std::vector<int>& units,
                              IaMissing missing, int permutations, std::uint32_t runSeed,
                              ProgressSink* progress, AssociationTest& test);

// Bytes the genotype-shuffle test of `units` units holds at once when its
// loci have the genotype counts of `input` scaled to that many units: per
// thread, the shuffled columns and the rows of shuffled distances (which
// grow with N² when genotypes are rare, up to a fixed budget per thread).
// The memory guard's estimate.
double AssociationTestBytes(const AssociationInput& input, int units);

// Permutations handed out at once: few enough that the cancel flag, polled
// between them, is seen within a fraction of a second (one at N = 5,000).
int PermutationsPerChunk(int units, int loci);

// `input` must hold one row per unit (PrepareAssociation with
// collapseClones = false). Runs `permutations` shuffles, each drawing from its own stream
// RandomGenerator::ForStream(runSeed, i), in parallel; the result does not
// depend on the number of threads. Cancelled: Status::Cancelled(); the
// cancel flag is polled between chunks and every 256 units within one
// permutation.
Status TestAssociation(const AssociationInput& input, const std::vector<LocusPairSums>& locusSums,
                       int permutations, std::uint32_t runSeed, ProgressSink* progress,
                       AssociationTest& test);

}  // namespace vireltan
