// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pairwise genetic relatedness for the spatial autocorrelation:
//   - the kinship coefficient of Loiselle et al. (1995), "Fij(Loiselle)":
//       F_ij = [Σ_l Σ_k (x_ik − p_k)(x_jk − p_k) + Σ_l H_l / (n_l − 1)] / Σ_l H_l
//     with H_l = Σ_k p_k(1 − p_k) the expected heterozygosity of locus l and
//     n_l its number of defined gene copies (the second term removes the
//     small-sample bias);
//   - the relationship coefficient of Ritland (1996), "Fij(Ritland)":
//       r_ij = Σ_l (Σ_k x_ik x_jk / p_k − 1) / Σ_l (a_l − 1)
//     with a_l the number of alleles of locus l.
// x_ik is the share of allele k in individual i's two gene copies (0, ½ or
// 1; a haploid's single allele is counted twice, giving 0 or 1). A locus
// counts for a pair only when the first (smaller) allele of both is typed;
// since the missing allele sorts above every size, that is "neither genotype is missing".
//
// Both coefficients depend only on the two genotypes and the allele
// frequencies, so the coefficient of any two SUs is the coefficient of their
// two MLGs. The tables below therefore hold one cell per pair of MLGs, the
// diagonal (two SUs of one clone) included: G² cells instead of N².
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/large_allocator.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"

namespace vireltan {

// Allele frequencies of one locus in a sample.
struct LocusFrequencies {
  std::vector<Allele> alleles;      // distinct typed alleles, ascending
  std::vector<double> frequencies;  // share of each among the typed copies
  int definedCopies = 0;            // n_l: typed gene copies (one per haploid SU)
  int alleleCount() const { return static_cast<int>(alleles.size()); }  // a_l
};

// Frequencies at every locus among the genotypes of `items` (SU indices in
// file order; an SU may stand for its MLG). Missing alleles are left
// out of both the frequencies and n_l.
std::vector<LocusFrequencies> ComputeAlleleFrequencies(const Dataset& dataset,
                                                       const std::vector<int>& items);

struct KinshipPair {
  double loiselle = 0;
  double ritland = 0;
};

// Why a pair has no coefficients (a zero denominator).
enum class KinshipProblem {
  kNone,
  kNoCommonLocus,  // no locus typed in both
  kMonomorphic,    // every locus typed in both has a single allele in the sample
  kSingleCopy,     // a counted locus has a single typed gene copy in the sample
};

// Where the coefficients of a pair of SUs come from: an allele table
// (KinshipCalculator below) or packed biallelic SNP calls (snp_kinship.h).
class KinshipSource {
 public:
  virtual ~KinshipSource() = default;
  // The frequencies the coefficients are computed under, one per locus.
  virtual const std::vector<LocusFrequencies>& frequencies() const = 0;
  // Locus names (0-based), for the messages and the matrices sheet.
  virtual const std::vector<std::string>& locusNames() const = 0;
  // Coefficients of SUs `a` and `b` (file order; a == b allowed: an SU with
  // itself stands for two SUs of one clone). On a zero denominator returns
  // the problem (and `locus`, 0-based, for kSingleCopy) and leaves `out`.
  virtual KinshipProblem Pair(int a, int b, KinshipPair& out, int* locus = nullptr) const = 0;
  // Loci a pair reads: the cost of Pair in steps.
  virtual int locusCount() const = 0;
};

// Precomputed per-locus terms and per-genotype allele positions, so that a
// pair costs a few operations per locus.
class KinshipCalculator final : public KinshipSource {
 public:
  KinshipCalculator(const Dataset& dataset, std::vector<LocusFrequencies> frequencies);

  const std::vector<LocusFrequencies>& frequencies() const override { return frequencies_; }
  const std::vector<std::string>& locusNames() const override { return dataset_.locusNames; }
  KinshipProblem Pair(int a, int b, KinshipPair& out, int* locus = nullptr) const override;
  int locusCount() const override { return loci_; }

 private:
  const Dataset& dataset_;
  std::vector<LocusFrequencies> frequencies_;
  int loci_ = 0;
  // Per locus: Σ p², H_l, H_l / (n_l − 1), a_l − 1.
  std::vector<double> sumSquares_, heterozygosity_, correction_, alleleTerms_;
  std::vector<char> singleCopy_;  // n_l <= 1
  // Per SU and locus: indices of its two alleles in the locus's table (-1
  // when missing), whether the locus is typed, and Σ_k x_k p_k.
  std::vector<std::int16_t> index_;
  std::vector<double> expected_;
  std::vector<double> inverse_;  // per locus and allele: 1 / p, flattened
  std::vector<int> inverseStart_;
};

// How a table of coefficients between G MLGs is kept: the whole square
// (G² cells of 16 bytes; rows whole, as the permutations read them row
// after row) or its upper triangle with the diagonal (G(G+1)/2 cells, half
// the memory).
enum class KinshipLayout { kSquare, kTriangle };

// The layout the autocorrelation keeps for `mlgs` MLGs among `units`
// positions: the square while it is no larger than a table per pair of
// positions would be (G² ≤ N(N−1)/2, clonal data), else the triangle
// (mostly distinct genotypes, and the genets at their centroids).
KinshipLayout KinshipLayoutFor(double units, double mlgs);

// Coefficients between all MLGs, under the given frequencies. Cell (g, h),
// 0-based MLG indices, holds the coefficients of any SU of MLG g with any SU
// of MLG h; the table is symmetric. The diagonal is filled only for clones
// of at least two SUs when `withClonePairs` is set (else 0).
class KinshipTable {
 public:
  int size() const { return size_; }
  bool square() const { return layout_ == KinshipLayout::kSquare; }
  const KinshipPair& at(int g, int h) const {
    if (square()) return cells_[static_cast<size_t>(g) * size_ + h];
    if (g > h) std::swap(g, h);
    return cells_[static_cast<size_t>(UpperStart(g) + (h - g))];
  }
  // The square only: cells (g, 0..G-1).
  const KinshipPair* row(int g) const { return cells_.data() + static_cast<size_t>(g) * size_; }
  // Cells (g, h) for h >= g, at h - g, in either layout.
  const KinshipPair* upperRow(int g) const {
    return square() ? row(g) + g : cells_.data() + UpperStart(g);
  }
  // Mean of the coefficients over all unordered pairs of distinct MLGs.
  KinshipPair MeanOverDistinctPairs() const;

 private:
  friend Status ComputeKinshipTable(const Dataset&, const MlgPartition&, const KinshipSource&, bool,
                                    const std::string&, ProgressSink*, KinshipTable&,
                                    KinshipLayout);
  // Offset of cell (g, g) in the triangle: the rows before it hold
  // G + (G−1) + ... + (G−g+1) cells.
  std::int64_t UpperStart(std::int64_t g) const { return g * size_ - g * (g - 1) / 2; }
  KinshipLayout layout_ = KinshipLayout::kSquare;
  int size_ = 0;
  LargeTable<KinshipPair> cells_;
};

// Fills `table`. A pair with a zero denominator stops with a message naming
// the two SUs (or MLGs, when `itemWord` is "MLGs") and what is missing.
// Returns Status::Cancelled() when `progress` is cancelled meanwhile.
Status ComputeKinshipTable(const Dataset& dataset, const MlgPartition& mlgs,
                           const KinshipSource& calculator, bool withClonePairs,
                           const std::string& itemWord, ProgressSink* progress, KinshipTable& table,
                           KinshipLayout layout = KinshipLayout::kSquare);

}  // namespace vireltan
