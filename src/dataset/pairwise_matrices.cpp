// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/pairwise_matrices.h"

#include <cmath>
#include <cstdlib>

#include "dataset/one_allele_pairs.h"
#include "numeric/rounding.h"

namespace vireltan {

PairwiseMatrices::PairwiseMatrices(const Dataset* dataset, const MlgPartition* mlgs,
                                   int spatialDims)
    : dataset_(dataset), mlgs_(mlgs), spatialDims_(spatialDims) {}

double PairwiseMatrices::DifferentMlgMatrix(int j, int k) const {
  if (j == k) return 0.0;
  return mlgs_->mlgOfSu[suAt(j)] != mlgs_->mlgOfSu[suAt(k)] ? 1.0 : 0.0;
}

double PairwiseMatrices::SuDistanceMatrix(int j, int k) const {
  if (j == k || spatialDims_ == 0) return 0.0;
  int a = suAt(j);
  int b = suAt(k);
  double dx = dataset_->x[a] - dataset_->x[b];
  double dy = dataset_->y[a] - dataset_->y[b];
  return std::hypot(dx, dy);
}

double PairwiseMatrices::MlgCentroidDistanceMatrix(int j, int k) const {
  if (j == k || spatialDims_ == 0) return 0.0;
  double dx = mlgs_->centroidX[j - 1] - mlgs_->centroidX[k - 1];
  double dy = mlgs_->centroidY[j - 1] - mlgs_->centroidY[k - 1];
  return std::hypot(dx, dy);
}

int PairwiseMatrices::AllelicDistanceSum(const Allele* a, const Allele* b, int loci) {
  int sum = 0;
  for (int l = 0; l < loci; ++l) {
    Allele j1 = a[2 * l], j2 = a[2 * l + 1];
    Allele k1 = b[2 * l], k2 = b[2 * l + 1];
    int c = (k1 != j1) + (k1 != j2) + (k2 != j1) + (k2 != j2);
    // c counts unequal allele pairings: 0 identical, 4 no shared allele,
    // 3 one shared allele between heterozygotes; 2 is either two identical
    // heterozygotes written crosswise (distance 0) or a homozygote against a
    // heterozygote that shares its allele (distance 1).
    if (c == 3) {
      sum += 1;
    } else if (c == 4) {
      sum += 2;
    } else if (c == 2) {
      bool jHomo = j1 == j2;
      bool kHomo = k1 == k2;
      if (jHomo != kHomo) sum += 1;
    }
  }
  return sum;
}

int PairwiseMatrices::MicrosatDistanceSum(const Allele* a, const Allele* b, int loci) {
  int sum = 0;
  for (int l = 0; l < loci; ++l) {
    int j1 = a[2 * l], j2 = a[2 * l + 1];
    int k1 = b[2 * l], k2 = b[2 * l + 1];
    int straight = std::abs(k1 - j1) + std::abs(k2 - j2);
    int crossed = std::abs(k1 - j2) + std::abs(k2 - j1);
    sum += straight < crossed ? straight : crossed;
  }
  return sum;
}

double PairwiseMatrices::MlgAllelicDistance(int j, int k) const {
  if (j == 0) return k;
  if (k == 0) return j;
  if (j >= k) return 0.0;
  const Dataset& d = *dataset_;
  int sum = AllelicDistanceSum(d.allelesOf(mlgs_->representative[j - 1]),
                               d.allelesOf(mlgs_->representative[k - 1]), d.locusCount);
  return d.haploid() ? sum / 2.0 : sum;
}

double PairwiseMatrices::MlgMicrosatDistance(int j, int k) const {
  if (j == 0) return k;
  if (k == 0) return j;
  if (j >= k) return 0.0;
  const Dataset& d = *dataset_;
  int sum = MicrosatDistanceSum(d.allelesOf(mlgs_->representative[j - 1]),
                                d.allelesOf(mlgs_->representative[k - 1]), d.locusCount);
  return d.haploid() ? static_cast<double>(RoundHalfEven(sum / 2.0)) : sum;
}

MlgPairScan ScanMlgPairs(const Dataset& d, const MlgPartition& mlgs) {
  MlgPairScan scan;
  scan.oneAllelePairs = FindOneAllelePairs(d, mlgs);
  scan.maxMicrosatDistance = MaxMicrosatDistance(d, mlgs);
  return scan;
}

std::int64_t CountSameMlgPairs(const MlgPartition& mlgs) {
  std::int64_t pairs = 0;
  for (int n : mlgs.cloneSize) pairs += static_cast<std::int64_t>(n) * (n - 1) / 2;
  return pairs;
}

}  // namespace vireltan
