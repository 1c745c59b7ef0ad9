// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pairwise matrices between sampling units and between MLGs.
//
// None of them is stored as a square: a 10,000-SU dataset would need 800 MB
// per SU matrix. Every cell is computed on demand from the typed arrays in
// O(1) (SU matrices, centroid distances) or O(L) (genetic distances), with
// the same indexing the analyses expect:
//   - SU matrices: indices 1..N are the SUs in ascending designation order;
//     both triangles filled, diagonal 0;
//   - MLG matrices: indices 1..G are MLG numbers; the genetic distances fill
//     only the upper triangle j < k, row 0 and column 0 hold the MLG
//     numbers (cell [0][j] = cell [j][0] = j) and every other cell is 0.
#include <cstdint>
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

class PairwiseMatrices {
 public:
  PairwiseMatrices() = default;
  PairwiseMatrices(const Dataset* dataset, const MlgPartition* mlgs, int spatialDims);

  int suCount() const { return dataset_ ? dataset_->sampleCount : 0; }
  int mlgCount() const { return mlgs_ ? mlgs_->mlgCount : 0; }
  bool hasSpatialMatrices() const { return spatialDims_ != 0; }

  // 1 when SUs j and k (designation order, 1..N) belong to different MLGs.
  double DifferentMlgMatrix(int j, int k) const;
  // Euclidean distance between SUs j and k (designation order, 1..N); 0
  // when the dataset has no coordinates.
  double SuDistanceMatrix(int j, int k) const;
  // Euclidean distance between the centroids of MLGs j and k (1..G).
  double MlgCentroidDistanceMatrix(int j, int k) const;
  // Allelic distance (0, 1 or 2 per locus), halved for odd ploidy.
  double MlgAllelicDistance(int j, int k) const;
  // Allele-size distance, halved and rounded (halves to even) for odd ploidy.
  double MlgMicrosatDistance(int j, int k) const;

  // SU index (0-based file order) of designation-order index j (1..N).
  int suAt(int j) const { return mlgs_->designationOrder[j - 1]; }

  // Unhalved sums over loci, for MLG numbers j != k (1..G).
  static int AllelicDistanceSum(const Allele* a, const Allele* b, int loci);
  static int MicrosatDistanceSum(const Allele* a, const Allele* b, int loci);

 private:
  const Dataset* dataset_ = nullptr;
  const MlgPartition* mlgs_ = nullptr;
  int spatialDims_ = 0;
};

// The one-allele pairs and the largest allele-size distance together (see
// dataset/one_allele_pairs.h; the maximum compares every pair of MLGs).
struct MlgPairScan {
  // Pairs (j, k), j < k, at allelic distance exactly 1, in order of j then k:
  // candidates for scoring errors or somatic mutations.
  std::vector<std::pair<int, int>> oneAllelePairs;
  // Largest allele-size distance of any MLG pair, before haploid halving
  // (0 when G < 2).
  int maxMicrosatDistance = 0;
};
MlgPairScan ScanMlgPairs(const Dataset& dataset, const MlgPartition& mlgs);

// Number of SU pairs j < k that share an MLG: sum of n(n-1)/2 over clones.
std::int64_t CountSameMlgPairs(const MlgPartition& mlgs);

}  // namespace vireltan
