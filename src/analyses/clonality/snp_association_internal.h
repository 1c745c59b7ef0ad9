// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pieces shared by the SNP index of association and its permutation test
// (snp_association.cpp, snp_association_permutation.cpp).
#include <cstdint>
#include <vector>

#include "analyses/clonality/snp_association.h"

namespace vireltan::snp_association {

// The units' packed rows gathered one after another (unit u of the
// analysis is row u): N × L / 4 bytes.
struct PackedUnits {
  int n = 0;
  int loci = 0;
  std::size_t words = 0;  // per row
  bool haploid = false;
  std::vector<std::uint64_t> rows;
};

PackedUnits GatherUnits(const PackedGenotypes& genotypes, int ploidy,
                        const std::vector<int>& units);

// The call classes of every locus over `n` rows: O(N L).
std::vector<SnpCallClasses> CountClasses(const std::uint64_t* rows, int n, std::size_t words,
                                         int loci);

std::vector<LocusPairSums> PairSumsOf(const std::vector<SnpCallClasses>& classes, int n,
                                      bool haploid, IaMissing missing);

// Ia and rbarD from the locus sums and the pair pass's sums (stored scale).
AssociationResult Assemble(const std::vector<LocusPairSums>& sums, std::int64_t storedSumD,
                           std::int64_t storedSumD2, int n, bool haploid);

}  // namespace vireltan::snp_association
