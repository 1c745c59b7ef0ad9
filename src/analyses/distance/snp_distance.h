// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Genetic distance between samples of biallelic SNPs: the proportion of
// differing alleles over the loci called in both (poppr's bitwise distance;
// PLINK's 1 − IBS with flat-missing, every locus called in both weighing
// the same):
//   d(a, b) = Σ |g_a − g_b| / (2 · loci called in both),
// g the alternate allele count (0, 1, 2; a haploid call counts 0 or 2, so
// that a haploid distance is the share of differing loci). d lies in [0, 1].
//
// On the packed calls (dataset/snp/packed_genotypes.h) one 64-bit word
// holds 32 calls: the XOR of two words has |g_a − g_b| bits set per called
// locus, so a word of loci costs a few instructions and two popcounts.
// The pairs are computed in tiles of rows over chunks of words that stay in
// the cache, spread over the cores.
#include <cstdint>
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

struct AlleleMismatch {
  std::int64_t differing = 0;   // Σ |g_a − g_b| on the stored scale (2 per haploid locus)
  std::int64_t calledBoth = 0;  // loci called in both
};

// One pair of packed rows of `words` words (the scalar path, for checks and
// single pairs; ComputeSnpDistances uses the same arithmetic).
AlleleMismatch CompareSnpRows(const std::uint64_t* a, const std::uint64_t* b, std::size_t words);

// The distance of a comparison; 1 (as far apart as can be) when no locus is
// called in both, so that such a pair never joins a lineage.
inline double SnpDistanceOf(const AlleleMismatch& m) {
  return m.calledBoth == 0 ? 1.0 : static_cast<double>(m.differing) / (2.0 * m.calledBoth);
}

// The distances between a set of rows (nodes 1..n: the MLGs' representative
// samples), held as float in one condensed upper triangle: n(n−1)/2 cells,
// 4 bytes each (50 MB for 5,000 nodes). Also read row by row as the
// histogram, clustering and matrix file want it.
class SnpDistanceMatrix : public MlgDistanceRows {
 public:
  int mlgCount() const override { return n_; }
  // Distance between nodes j and k (1..n); 0 when j == k.
  double Distance(int j, int k) const;
  void FillRow(int j, int first, std::vector<double>& row) const override;
  // Pairs with no locus called in both (their distance is set to 1).
  std::int64_t pairsWithoutCommonLoci() const { return noCommon_; }
  std::size_t bytes() const { return cells_.size() * sizeof(float); }

 private:
  friend Status ComputeSnpDistances(const PackedGenotypes&, const std::vector<int>&, ProgressSink&,
                                    SnpDistanceMatrix&);
  std::size_t Index(int j, int k) const {  // 1 <= j < k <= n
    const std::size_t a = static_cast<std::size_t>(j - 1);
    return a * (2 * static_cast<std::size_t>(n_) - a - 1) / 2 + static_cast<std::size_t>(k - j - 1);
  }
  int n_ = 0;
  std::vector<float> cells_;
  std::int64_t noCommon_ = 0;
};

// Bytes of the condensed matrix over n nodes: what the memory guard is asked.
inline double SnpDistanceMatrixBytes(int n) {
  return static_cast<double>(n) * (n - 1) / 2 * sizeof(float);
}

// Computes every pair of `rows` (sample indices of `genotypes`; node k is
// rows[k-1]). Time O(n² L / 32) word operations on all cores; asks the
// memory guard for the n² matrix first. Polls `progress` about every
// tenth of a second of work and reports percent.
Status ComputeSnpDistances(const PackedGenotypes& genotypes, const std::vector<int>& rows,
                           ProgressSink& progress, SnpDistanceMatrix& matrix);

}  // namespace vireltan
