// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The index of association Ia and rbarD over biallelic SNPs, on the packed
// calls (dataset/snp/packed_genotypes.h), with the definitions of the
// allele-table version (index_of_association.h): d_j(a, b) is the number
// of alleles by which units a and b differ at locus j, |g_a − g_b| for
// diploid alternate-allele counts g (0 or 1 for haploids), 0 when either
// call is missing; D = Σ_j d_j; Ia = V_D / Σ var(d_j) − 1 and
// rbarD = (V_D − Σ var(d_j)) / (2 Σ_{j<k} √(var(d_j) var(d_k))).
//
// Costs, for N units and L SNPs:
//   - var(d_j) from the counts of the four call classes of the locus
//     (0, 1, 2 alternate copies, missing): O(N) per locus, O(N L) in all;
//   - Σ_{j<k} √(v_j v_k) = ((Σ √v_j)² − Σ v_j) / 2: O(L), never O(L²);
//   - V_D needs every pair's D: popcount on the packed words, O(N² L / 32)
//     word operations, tiled for the cache and spread over the cores. The
//     pass holds nothing that grows with N² (only N × L / 4 bytes of calls).
// With many SNPs read rbarD: Ia grows with the number of loci.
//
// The permutation test works on the packed form too: each permutation
// writes a shuffled packed copy of the units' calls (N × L / 4 bytes per
// thread, never an N × L table of cells) and runs the pair pass on it.
#include <cstdint>
#include <vector>

#include "analyses/clonality/association_permutation.h"
#include "analyses/clonality/index_of_association.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

// Calls per locus among a set of units, by class.
struct SnpCallClasses {
  std::int64_t ref = 0, het = 0, alt = 0, missing = 0;
};

// Σ d_j and Σ d_j² over the pairs of units from the class counts (O(1)):
// d = 1 between 0 and 1 or 1 and 2 copies, 2 between 0 and 2 (1 for
// haploids, which have no heterozygote). `units` counts all of them,
// missing or not (poppr's rule takes all their pairs).
LocusPairSums SnpLocusPairSums(const SnpCallClasses& classes, std::int64_t units, bool haploid,
                               IaMissing missing);

// Σ_{j<k} √(v_j v_k) in O(L); exactly 0 when at most one locus varies.
double SnpLocusCrossTerm(const std::vector<LocusPairSums>& locusSums);

// Σ D and Σ D² over all pairs of `n` packed rows of `words` words each
// (`rows` holds them one after another), D counted on the stored scale
// (2 per differing haploid locus). `cancel` (may be null) is polled every
// few hundredths of a second; returns false when it was set. On all cores
// when `parallel`, else on the calling thread only.
bool PackedPairDistanceSums(const std::uint64_t* rows, int n, std::size_t words, bool parallel,
                            ProgressSink* cancel, std::int64_t& sumD, std::int64_t& sumD2);

// Ia and rbarD of `units` (sample rows of `genotypes`); `ploidy` 1 or 2.
// Cancelled midway (`progress`): the result is left empty.
AssociationResult SnpIndexOfAssociation(const PackedGenotypes& genotypes, int ploidy,
                                        const std::vector<int>& units, IaMissing missing,
                                        ProgressSink* progress = nullptr);

// Bytes the test over `units` units, `loci` SNPs and `permutations`
// permutations holds at once: the units' packed rows and columns, per
// thread a shuffled copy and the unpacked columns of 32 loci, and the
// permuted values. Linear in N (the pair pass is O(N²) in time only): the
// memory guard's estimate.
double SnpAssociationTestBytes(int units, int loci, int permutations);

// The permutation test under `null` (association_permutation.h): P
// permutations, permutation i drawing from RandomGenerator::ForStream(
// runSeed, i) exactly as the allele-table test does on the same units, so
// that the two give the same p-values for the same seed. Genotypes: each
// locus's calls shuffled among the units called there (missing calls
// stay), the locus sums unchanged. Alleles: each locus's allele copies of
// the called units dealt out again two by two (one by one for haploids),
// missing calls kept in place. Permutations run in parallel, one per core;
// the cancel flag is polled within each at least every tenth of a second.
// `observed` is SnpIndexOfAssociation of the same units under `missing`
// (its pair pass is not run again).
Status TestSnpAssociation(const PackedGenotypes& genotypes, int ploidy,
                          const std::vector<int>& units, IaMissing missing, IaNull null,
                          const AssociationResult& observed, int permutations,
                          std::uint32_t runSeed, ProgressSink* progress, AssociationTest& test);

}  // namespace vireltan
