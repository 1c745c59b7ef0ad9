// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Principal components of SNP genotypes (Patterson, Price & Reich 2006) as
// plink 1.9's --pca finds them on complete data: the eigenvalues and unit
// eigenvectors of the relationship matrix
//   A_ij = (1/L) Σ_l z_il z_jl,  z_il = (g_il − 2p_l) / √(2p_l(1 − p_l)),
// g the alternate allele count (0, 1, 2), p_l the alternate allele
// frequency over the samples analysed and called at l, L every locus
// (monomorphic loci and missing calls add z = 0: a missing call is the
// locus mean). plink 1.9 divides each pair's sum by the loci called in both
// instead of L; with no missing call the two are the same matrix.
//
// A is never formed: Spectra's Lanczos solver asks for products A x, each
// computed from the packed calls in two passes, t = Zᵀx (one value per
// locus) then A x = Z t / L, with a table of the four z values of each
// locus. Memory O(N + L) beyond the calls; time O(N L) per product, spread
// over the cores; the cancel flag is polled between chunks of samples.
#include <vector>

#include "common/progress_sink.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

struct SnpPrincipalComponents {
  int n = 0;                        // samples analysed
  int loci = 0;                     // L, the divisor
  int polymorphic = 0;              // loci with 0 < p < 1 among the samples
  bool missingCalls = false;        // some sample analysed lacks a call
  int axes = 0;                     // components found
  bool converged = true;            // false: the Lanczos iterations stopped short of 1e-10
  int products = 0;                 // products A x the Lanczos iterations asked for
  std::vector<double> eigenvalues;  // axes values, descending
  double trace = 0;                 // Σ_i A_ii: the total the eigenvalues share
  // n x axes, row-major: unit eigenvectors (plink's .eigenvec columns), the
  // sign of each fixed so that its largest element in absolute value is
  // positive.
  std::vector<double> vectors;
};

// `rows`: the samples (rows of `genotypes`) analysed, in output order.
// `axes` is cut to n − 1. False when cancelled.
bool ComputeSnpPrincipalComponents(const PackedGenotypes& genotypes, const std::vector<int>& rows,
                                   int axes, ProgressSink* progress, SnpPrincipalComponents& out);

}  // namespace vireltan
