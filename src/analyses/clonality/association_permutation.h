// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The test of clonality: is the association between loci (Ia, rbarD)
// stronger than under sexual reproduction with free recombination?
//
// Under that null hypothesis the genotype a unit carries at one locus says
// nothing about its genotype at another, so each permutation shuffles the
// genotypes among the units typed at each locus, independently from locus
// to locus (a missing genotype stays with its unit), and recomputes the
// index. A shuffle leaves the multiset of genotypes at every locus and the
// pairs typed there as they were, hence V_E, the mean of D and the
// denominator of rbarD: only Σ D² over the pairs changes, and rbarD (like
// Ia) grows with it. The p-value is p = (b + 1)/(P + 1), b counting the
// permuted rbarD at or above the observed one (the same b serves Ia, an
// increasing function of the same sum). With a single varying locus Ia
// cannot move (V_O = V_E whatever the shuffle): p(Ia) = (P + 1)/(P + 1) = 1.
//
// Both null models compute Σ D² by the pass of association_pair_pass.h,
// O(N² L) simple operations per permutation on byte rows of distances.
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
// the observed ones (separately: V_E changes with the genotypes). The
// dealt genotypes of a locus are recoded as classes (the unordered pairs
// of its alleles that occur), whose distances feed the same pass as the
// genotype shuffle: O(N² L) per permutation, permutations spread over the
// cores, each drawing from its own stream RandomGenerator::ForStream(runSeed,
// i); the cancel flag is polled between chunks and within a permutation.
// A permutation whose Ia (rbarD) is undefined counts as below.
Status TestAssociationAlleles(const Dataset& dataset, const std::vector<int>& units,
                              IaMissing missing, int permutations, std::uint32_t runSeed,
                              ProgressSink* progress, AssociationTest& test);

// Bytes the genotype-shuffle test of `units` units holds at once when its
// loci have the genotype counts of `input` scaled to that many units: per
// thread, the shuffled columns and the rows of shuffled distances (which
// grow with N² when genotypes are rare, up to a fixed budget per thread).
// The memory guard's estimate.
double AssociationTestBytes(const AssociationInput& input, int units);

// The same for the allele null model: a locus with k alleles can form up to
// k(k+1)/2 genotypes (k for haploids) once its alleles are dealt out.
double AssociationAlleleTestBytes(const AssociationInput& input, int units);

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

// What permutation `permutation` of a run seeded `runSeed` hands each
// unit, for checking the draws: the genotype null's columns
// (columns[j * n + u], ids of `input`), and the allele null's dealt table
// (unit i of `units` is unit i of the result).
std::vector<std::uint32_t> ShuffledGenotypeColumns(const AssociationInput& input,
                                                   std::uint32_t runSeed, int permutation);
Dataset DealtAlleles(const Dataset& dataset, const std::vector<int>& units, std::uint32_t runSeed,
                     int permutation);

}  // namespace vireltan
