// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Expected heterozygosity over biallelic SNPs, for the population summary
// on SNP data: the mean over loci of Nei's (1978) unbiased gene diversity
//   h = n / (n − 1) · (1 − p² − q²),
// n the allele copies called at the locus among the units (2 per diploid
// call, 1 per haploid call), p and q the allele frequencies among them.
// Loci with fewer than two copies called are left out of the mean.
#include <optional>
#include <vector>

#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

// Time O(units · L), memory O(L).
std::optional<double> SnpMeanGeneDiversity(const PackedGenotypes& genotypes, int ploidy,
                                           const std::vector<int>& units);

}  // namespace vireltan
