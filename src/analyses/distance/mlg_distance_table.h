// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Genetic distances between MLGs, row by row.
//
// The two distance commands walk every pair of MLGs (G(G-1)/2 pairs, each
// costing L loci): 12.5 million pairs for 5,000 MLGs. The genotypes of the
// G MLGs are therefore copied once into one contiguous block (G x 2L allele
// codes, O(G·L) memory) so that the pass reads memory in order, and the
// distances are computed with the very per-locus sums of the load-time
// matrices, halved the same way for odd ploidy:
//   - allelic distance: 0, 1 or 2 alleles per locus; halved for haploids
//     (their single allele is stored twice, so a differing locus counts 2);
//   - allele-size (microsatellite) distance: the smaller of the straight and
//     crossed sums of allele-code differences per locus; halved for
//     haploids, rounded half to even.
// Cell [j][k] of the matrices (j < k) equals Distance(j, k); the table also
// gives the lower triangle, by symmetry, for the full-matrix file.
//
// Missing alleles (as poppr scales its allelic distance): a locus where
// either genotype lacks an allele is left out, and the sum over the Lt loci
// typed in both is scaled to all L loci, d = d(typed loci) · L / Lt, so that
// distances between fully and partly typed genotypes stay on one scale (the
// distance a pair would have if the untyped loci differed as the typed ones
// do). Two genotypes with no locus typed in both are placed as far apart as
// any two can be: 2L alleles (L for haploids) for the allelic distance, the
// sum over loci of twice the locus's allele-size range for the size
// distance, so that lineages never join on no evidence. Datasets without
// missing alleles give exactly the unscaled values above.
//
// DistanceMissing::kPoppr instead counts a locus untyped in either genotype
// as no difference and does not rescale (poppr's diss.dist): two genotypes
// with no locus typed in both are then at distance 0. Rescaling is the
// default because a genotype missing half its loci is not half as distant
// from the others: poppr's rule draws partly typed genotypes towards every
// other one, and lineages join through them.
#include <cstdint>
#include <string>
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

enum class MlgDistanceKind { kAllelic, kMicrosat };
enum class DistanceMissing { kRescale, kPoppr };

// A symmetric distance matrix over MLGs 1..G read one row at a time, the
// way the histogram, the results block and the matrix file consume it.
class MlgDistanceRows {
 public:
  virtual ~MlgDistanceRows() = default;
  virtual int mlgCount() const = 0;
  // row[k - 1] = distance between MLGs j and k for k = first..G (0 when
  // k == j); entries before first-1 are left as they are. `row` must hold
  // G entries.
  virtual void FillRow(int j, int first, std::vector<double>& row) const = 0;
};

class MlgDistanceTable : public MlgDistanceRows {
 public:
  MlgDistanceTable(const Dataset& dataset, const MlgPartition& mlgs, MlgDistanceKind kind,
                   DistanceMissing missing = DistanceMissing::kRescale);

  MlgDistanceKind kind() const { return kind_; }
  DistanceMissing missingRule() const {
    return rescale_ ? DistanceMissing::kRescale : DistanceMissing::kPoppr;
  }
  int mlgCount() const override { return mlgCount_; }
  // Pairs of MLGs j < k with a locus missing in either genotype: the pairs
  // the rule for missing loci applies to.
  long long pairsWithMissingLocus() const { return pairsWithMissingLocus_; }

  // Distance between MLGs j and k (MLG numbers 1..G); 0 when j == k.
  double Distance(int j, int k) const;
  void FillRow(int j, int first, std::vector<double>& row) const override;

 private:
  const Allele* genotype(int m) const {
    return genotypes_.data() + static_cast<size_t>(m - 1) * width_;
  }
  double Finish(int unhalvedSum) const;
  // The distance of a pair when the dataset has missing alleles.
  double ScaledDistance(const Allele* a, const Allele* b) const;

  MlgDistanceKind kind_;
  int mlgCount_ = 0;
  int loci_ = 0;
  int width_ = 0;  // 2L allele codes per MLG
  bool haploid_ = false;
  bool missing_ = false;  // some allele of some MLG is missing
  bool rescale_ = true;   // DistanceMissing::kRescale
  int farthestSum_ = 0;   // unhalved distance of a pair with no locus typed in both
  long long pairsWithMissingLocus_ = 0;
  std::vector<Allele> genotypes_;
};

// The words of a results block's title row on the rule for missing loci:
// "missing loci: scale to all loci" or "missing loci: count as no
// difference (poppr)", then "N MLG pairs with a locus missing in either
// unit".
std::string MissingRuleTitle(DistanceMissing missing);
std::string MissingPairsTitle(long long pairs);
// "rescale" or "poppr" (the command line's words); false for any other.
bool ParseDistanceMissing(const std::string& word, DistanceMissing& missing);

}  // namespace vireltan
