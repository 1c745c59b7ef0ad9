// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/distance/mlg_distance_table.h"

#include <algorithm>

#include "dataset/pairwise_matrices.h"
#include "numeric/rounding.h"

namespace vireltan {

namespace {

// Unhalved allelic distance summed over loci. With each locus's alleles
// sorted, the distance at a locus is 2 minus the number of alleles the two
// genotypes share (counting a homozygote's allele twice only against the
// same homozygote): the best of the straight and crossed pairings. It gives
// the same values as the load-time rule on unequal allele pairings, without
// its branches, which matters over millions of pairs.
int AllelicSum(const Allele* a, const Allele* b, int loci) {
  int sum = 0;
  for (int l = 0; l < 2 * loci; l += 2) {
    int straight = (a[l] == b[l]) + (a[l + 1] == b[l + 1]);
    int crossed = (a[l] == b[l + 1]) + (a[l + 1] == b[l]);
    sum += 2 - (straight > crossed ? straight : crossed);
  }
  return sum;
}

bool Typed(const Allele* a, const Allele* b, int l) {
  return a[l] != kMissingAllele && a[l + 1] != kMissingAllele && b[l] != kMissingAllele &&
         b[l + 1] != kMissingAllele;
}

}  // namespace

MlgDistanceTable::MlgDistanceTable(const Dataset& dataset, const MlgPartition& mlgs,
                                   MlgDistanceKind kind, DistanceMissing missing)
    : kind_(kind),
      mlgCount_(mlgs.mlgCount),
      loci_(dataset.locusCount),
      width_(dataset.locusCount * 2),
      haploid_(dataset.haploid()),
      rescale_(missing == DistanceMissing::kRescale) {
  genotypes_.resize(static_cast<size_t>(mlgCount_) * width_);
  for (int m = 1; m <= mlgCount_; ++m) {
    const Allele* source = dataset.allelesOf(mlgs.representative[m - 1]);
    std::copy(source, source + width_, genotypes_.begin() + static_cast<size_t>(m - 1) * width_);
  }
  missing_ = std::find(genotypes_.begin(), genotypes_.end(), kMissingAllele) != genotypes_.end();
  if (!missing_) return;
  // A pair has a locus missing in either genotype unless both are complete.
  long long complete = 0;
  for (int m = 1; m <= mlgCount_; ++m) {
    const Allele* g = genotype(m);
    complete += std::find(g, g + width_, kMissingAllele) == g + width_;
  }
  const long long all = static_cast<long long>(mlgCount_) * (mlgCount_ - 1) / 2;
  pairsWithMissingLocus_ = all - complete * (complete - 1) / 2;
  // The largest unhalved distance: two alleles per locus, or twice the
  // allele-size range of the locus over the MLGs typed there.
  for (int l = 0; l < loci_; ++l) {
    if (kind_ == MlgDistanceKind::kAllelic) {
      farthestSum_ += 2;
      continue;
    }
    int smallest = kMissingAllele, largest = 0;
    for (int m = 0; m < mlgCount_; ++m) {
      for (int w = 0; w < 2; ++w) {
        Allele a = genotypes_[static_cast<size_t>(m) * width_ + 2 * l + w];
        if (a == kMissingAllele) continue;
        smallest = std::min<int>(smallest, a);
        largest = std::max<int>(largest, a);
      }
    }
    if (largest >= smallest) farthestSum_ += 2 * (largest - smallest);
  }
}

double MlgDistanceTable::ScaledDistance(const Allele* a, const Allele* b) const {
  int sum = 0, typed = 0;
  for (int l = 0; l < 2 * loci_; l += 2) {
    if (!Typed(a, b, l)) continue;
    ++typed;
    sum += kind_ == MlgDistanceKind::kAllelic
               ? AllelicSum(a + l, b + l, 1)
               : PairwiseMatrices::MicrosatDistanceSum(a + l, b + l, 1);
  }
  if (!rescale_ || typed == loci_) return Finish(sum);
  if (typed == 0) return Finish(farthestSum_);
  return Finish(sum) * loci_ / typed;
}

double MlgDistanceTable::Finish(int unhalvedSum) const {
  if (!haploid_) return unhalvedSum;
  if (kind_ == MlgDistanceKind::kAllelic) return unhalvedSum / 2.0;
  return static_cast<double>(RoundHalfEven(unhalvedSum / 2.0));
}

double MlgDistanceTable::Distance(int j, int k) const {
  if (j == k) return 0.0;
  const Allele* a = genotype(std::min(j, k));
  const Allele* b = genotype(std::max(j, k));
  if (missing_) return ScaledDistance(a, b);
  int sum = kind_ == MlgDistanceKind::kAllelic ? AllelicSum(a, b, loci_)
                                               : PairwiseMatrices::MicrosatDistanceSum(a, b, loci_);
  return Finish(sum);
}

void MlgDistanceTable::FillRow(int j, int first, std::vector<double>& row) const {
  const Allele* a = genotype(j);
  if (missing_) {
    for (int k = first; k <= mlgCount_; ++k)
      row[k - 1] = k == j ? 0.0 : ScaledDistance(a, genotype(k));
  } else if (kind_ == MlgDistanceKind::kAllelic) {
    for (int k = first; k <= mlgCount_; ++k)
      row[k - 1] = k == j ? 0.0 : Finish(AllelicSum(a, genotype(k), loci_));
  } else {
    for (int k = first; k <= mlgCount_; ++k)
      row[k - 1] =
          k == j ? 0.0 : Finish(PairwiseMatrices::MicrosatDistanceSum(a, genotype(k), loci_));
  }
}

std::string MissingRuleTitle(DistanceMissing missing) {
  return missing == DistanceMissing::kPoppr ? "missing loci: count as no difference (poppr)"
                                            : "missing loci: scale to all loci";
}

std::string MissingPairsTitle(long long pairs) {
  return std::to_string(pairs) + (pairs == 1 ? " MLG pair" : " MLG pairs") +
         " with a locus missing in either unit";
}

bool ParseDistanceMissing(const std::string& word, DistanceMissing& missing) {
  if (word == "rescale") {
    missing = DistanceMissing::kRescale;
  } else if (word == "poppr") {
    missing = DistanceMissing::kPoppr;
  } else {
    return false;
  }
  return true;
}

}  // namespace vireltan
