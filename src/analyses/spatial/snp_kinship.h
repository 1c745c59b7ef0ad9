// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kinship coefficients of the spatial autocorrelation on packed
// biallelic SNP calls, without unpacking them into a table of alleles.
//
// A SNP locus has two alleles, numbered as the GenAlEx export writes them:
// 1 the reference, 2 the alternate. With x the alternate share of a call
// (0, ½ or 1; a haploid call counts its allele twice, 0 or 1) and q the
// alternate frequency, the sums over alleles of autocorrelation_kinship.h
// reduce to
//   Σ_k (x_ak − p_k)(x_bk − p_k) = 2 (x_a − q)(x_b − q),
//   Σ_k x_ak x_bk / p_k − 1     = x_a x_b / q + (1 − x_a)(1 − x_b) / (1 − q) − 1,
// so a pair needs only the two calls and per-locus terms: each locus keeps
// its two terms for the 3 x 3 pairs of called codes (memory O(L), never an
// N x L table). The rules (which loci count for a pair, the zero
// denominators) are those of the allele-table calculator, so both give the
// same coefficients for the same genotypes. The run keeps one cell per pair
// of genets (growing with N², see KinshipTable) and asks the memory guard
// first (RunSpatialAutocorrelation); a pair costs O(L), so the table of
// pairs is polled for cancellation along its rows.
#include <array>
#include <string>
#include <vector>

#include "analyses/spatial/autocorrelation_kinship.h"
#include "common/progress_sink.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

// Allele numbers of a SNP locus in the frequency tables.
constexpr Allele kSnpReferenceAllele = 1;
constexpr Allele kSnpAlternateAllele = 2;

// Frequencies at every locus among the calls of `items` (sample indices; a
// sample may be listed for its lineage). Missing calls are left out of the
// frequencies and of n_l (one copy per haploid call, two per diploid call).
// Time O(items x L), memory O(L): about a second at 5,000 x 100,000, so
// `cancel` is polled every 64 items; once it is set the result is empty.
std::vector<LocusFrequencies> SnpAlleleFrequencies(const PackedGenotypes& genotypes, int ploidy,
                                                   const std::vector<int>& items,
                                                   const ProgressSink* cancel = nullptr);

class SnpKinshipCalculator final : public KinshipSource {
 public:
  // `genotypes` and `locusNames` must outlive the calculator.
  SnpKinshipCalculator(const PackedGenotypes& genotypes, const std::vector<std::string>& locusNames,
                       std::vector<LocusFrequencies> frequencies);

  const std::vector<LocusFrequencies>& frequencies() const override { return frequencies_; }
  const std::vector<std::string>& locusNames() const override { return locusNames_; }
  KinshipProblem Pair(int a, int b, KinshipPair& out, int* locus = nullptr) const override;
  int locusCount() const override { return genotypes_.locusCount(); }

 private:
  // Per locus: the Loiselle numerator term and the Ritland term of each
  // pair of called codes (index 3 x code of a + code of b, codes 0, 1, 2 the
  // alternate alleles), then H_l, H_l / (n_l − 1) and a_l − 1.
  struct LocusTerms {
    std::array<double, 9> loiselle{};
    std::array<double, 9> ritland{};
    double heterozygosity = 0;
    double correction = 0;
    double alleleTerm = 0;
  };
  const PackedGenotypes& genotypes_;
  const std::vector<std::string>& locusNames_;
  std::vector<LocusFrequencies> frequencies_;
  std::vector<LocusTerms> terms_;
  std::vector<char> singleCopy_;  // n_l <= 1
};

}  // namespace vireltan
