// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_kinship.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "common/parallel_for.h"

namespace vireltan {

std::vector<LocusFrequencies> ComputeAlleleFrequencies(const Dataset& dataset,
                                                       const std::vector<int>& items) {
  const int loci = dataset.locusCount;
  std::vector<LocusFrequencies> result(loci);
  std::vector<Allele> copies;
  copies.reserve(items.size() * 2);
  for (int l = 0; l < loci; ++l) {
    // Both copies of every genotype, missing ones dropped, sorted: each run
    // of equal values is one allele.
    copies.clear();
    for (int su : items) {
      for (int which = 0; which < 2; ++which) {
        Allele a = dataset.alleleAt(su, l, which);
        if (a != kMissingAllele) copies.push_back(a);
      }
    }
    std::sort(copies.begin(), copies.end());
    LocusFrequencies& f = result[l];
    const double typed = static_cast<double>(copies.size());
    for (size_t start = 0; start < copies.size();) {
      size_t end = start;
      while (end < copies.size() && copies[end] == copies[start]) ++end;
      f.alleles.push_back(copies[start]);
      f.frequencies.push_back(static_cast<double>(end - start) / typed);
      start = end;
    }
    // A haploid genotype repeats its single allele: one gene copy per SU,
    // so n_l counts each typed haploid SU once. A missing haploid SU takes
    // one copy away from n_l, not two: counting both stored missing alleles would
    // understate n_l and inflate the small-sample term H_l / (n_l − 1).
    f.definedCopies =
        dataset.haploid() ? static_cast<int>(copies.size() / 2) : static_cast<int>(copies.size());
  }
  return result;
}

KinshipCalculator::KinshipCalculator(const Dataset& dataset,
                                     std::vector<LocusFrequencies> frequencies)
    : dataset_(dataset), frequencies_(std::move(frequencies)), loci_(dataset.locusCount) {
  sumSquares_.assign(loci_, 0.0);
  heterozygosity_.assign(loci_, 0.0);
  correction_.assign(loci_, 0.0);
  alleleTerms_.assign(loci_, 0.0);
  singleCopy_.assign(loci_, 0);
  inverseStart_.assign(loci_ + 1, 0);
  // Index of each allele size in its locus's list, sized to the largest
  // typed size of the locus (alleles are sorted, so that is the last one).
  std::vector<std::vector<std::int16_t>> position(loci_);
  for (int l = 0; l < loci_; ++l) {
    const LocusFrequencies& f = frequencies_[l];
    if (!f.alleles.empty()) position[l].assign(static_cast<size_t>(f.alleles.back()) + 1, -1);
    double squares = 0;
    double h = 0;
    for (int k = 0; k < f.alleleCount(); ++k) {
      const double p = f.frequencies[k];
      squares += p * p;
      h += p * (1.0 - p);
      position[l][f.alleles[k]] = static_cast<std::int16_t>(k);
      inverse_.push_back(1.0 / p);
    }
    inverseStart_[l + 1] = static_cast<int>(inverse_.size());
    sumSquares_[l] = squares;
    heterozygosity_[l] = h;
    singleCopy_[l] = f.definedCopies <= 1;
    correction_[l] = singleCopy_[l] ? 0.0 : h / (f.definedCopies - 1);
    alleleTerms_[l] = f.alleleCount() - 1;
  }
  const int n = dataset.sampleCount;
  index_.assign(static_cast<size_t>(n) * loci_ * 2, -1);
  expected_.assign(static_cast<size_t>(n) * loci_, 0.0);
  for (int su = 0; su < n; ++su) {
    for (int l = 0; l < loci_; ++l) {
      const size_t cell = static_cast<size_t>(su) * loci_ + l;
      double expected = 0;
      for (int which = 0; which < 2; ++which) {
        Allele a = dataset.alleleAt(su, l, which);
        std::int16_t k = a < position[l].size() ? position[l][a] : std::int16_t(-1);
        index_[cell * 2 + which] = k;
        if (k >= 0) expected += 0.5 * frequencies_[l].frequencies[k];
      }
      expected_[cell] = expected;
    }
  }
}

KinshipProblem KinshipCalculator::Pair(int a, int b, KinshipPair& out, int* locus) const {
  double num = 0, den = 0, cor = 0, rit = 0, rden = 0;
  bool counted = false;
  const Allele* allelesA = dataset_.allelesOf(a);
  const Allele* allelesB = dataset_.allelesOf(b);
  const size_t cellA = static_cast<size_t>(a) * loci_;
  const size_t cellB = static_cast<size_t>(b) * loci_;
  for (int l = 0; l < loci_; ++l) {
    if (allelesA[2 * l] == kMissingAllele || allelesB[2 * l] == kMissingAllele) continue;
    if (singleCopy_[l]) {
      if (locus) *locus = l;
      return KinshipProblem::kSingleCopy;
    }
    counted = true;
    const std::int16_t* ia = &index_[(cellA + l) * 2];
    const std::int16_t* ib = &index_[(cellB + l) * 2];
    const double* inverse = inverse_.data() + inverseStart_[l];
    // Σ_k x_ak x_bk and Σ_k x_ak x_bk / p_k: each of the four pairings of a
    // copy of a with a copy of b that carry the same typed allele adds ¼.
    double shared = 0;
    double sharedOverP = 0;
    for (int u = 0; u < 2; ++u) {
      if (ia[u] < 0) continue;
      for (int v = 0; v < 2; ++v) {
        if (ia[u] == ib[v]) {
          shared += 0.25;
          sharedOverP += 0.25 * inverse[ia[u]];
        }
      }
    }
    // Σ_k (x_ak − p_k)(x_bk − p_k) = Σ x_a x_b − Σ x_a p − Σ x_b p + Σ p².
    num += shared - expected_[cellA + l] - expected_[cellB + l] + sumSquares_[l];
    den += heterozygosity_[l];
    cor += correction_[l];
    rit += sharedOverP - 1.0;
    rden += alleleTerms_[l];
  }
  if (!counted) return KinshipProblem::kNoCommonLocus;
  if (den == 0.0 || rden == 0.0) return KinshipProblem::kMonomorphic;
  out.loiselle = (num + cor) / den;
  out.ritland = rit / rden;
  return KinshipProblem::kNone;
}

KinshipLayout KinshipLayoutFor(double units, double mlgs) {
  return mlgs * mlgs <= 0.5 * units * (units - 1) ? KinshipLayout::kSquare
                                                  : KinshipLayout::kTriangle;
}

KinshipPair KinshipTable::MeanOverDistinctPairs() const {
  KinshipPair mean;
  double count = 0;
  for (int g = 0; g < size_; ++g) {
    for (int h = g + 1; h < size_; ++h) {
      mean.loiselle += at(g, h).loiselle;
      mean.ritland += at(g, h).ritland;
      count += 1;
    }
  }
  if (count > 0) {
    mean.loiselle /= count;
    mean.ritland /= count;
  }
  return mean;
}

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string ProblemMessage(KinshipProblem problem, const std::string& pair, int locus,
                           const std::vector<std::string>& locusNames) {
  const std::string start = "Spatial autocorrelation stopped: ";
  switch (problem) {
    case KinshipProblem::kNoCommonLocus:
      return start + pair +
             " have no locus typed in both, so their kinship coefficients are undefined "
             "(division by zero). Remove the sampling units typed at too few loci.";
    case KinshipProblem::kMonomorphic:
      return start + "every locus typed in both " + pair +
             " has a single allele in the sample (no expected heterozygosity), so their "
             "kinship coefficients are undefined (division by zero).";
    case KinshipProblem::kSingleCopy:
      return start + "the locus " +
             Quoted(locus >= 0 && locus < static_cast<int>(locusNames.size())
                        ? locusNames[locus]
                        : std::to_string(locus + 1)) +
             " has a single typed gene copy in the sample, so the Loiselle kinship "
             "coefficient of " +
             pair + " is undefined (division by zero).";
    case KinshipProblem::kNone:
      break;
  }
  return start + "undefined kinship coefficient.";
}

}  // namespace

Status ComputeKinshipTable(const Dataset& dataset, const MlgPartition& mlgs,
                           const KinshipSource& calculator, bool withClonePairs,
                           const std::string& itemWord, ProgressSink* progress, KinshipTable& table,
                           KinshipLayout layout) {
  const int g = mlgs.mlgCount;
  table.size_ = g;
  table.layout_ = layout;
  table.cells_.clear();
  table.cells_.shrink_to_fit();
  table.cells_.assign(layout == KinshipLayout::kSquare ? static_cast<size_t>(g) * g
                                                       : static_cast<size_t>(g) * (g + 1) / 2,
                      KinshipPair());
  const bool square = layout == KinshipLayout::kSquare;

  // The SUs that stand for an MLG: two of a clone when it has two, so that a
  // message can name two real sampling units.
  std::vector<int> second(g, -1);
  {
    std::vector<int> seen(g, 0);
    for (int su : mlgs.keyOrder) {
      int m = mlgs.mlgOfSu[su] - 1;
      if (++seen[m] == 2) second[m] = su;
    }
  }
  std::mutex failureMutex;
  int failedRow = g;  // the lowest failing row wins, whatever the threads do
  std::string failure;
  auto fail = [&](int row, const std::string& message) {
    std::lock_guard<std::mutex> lock(failureMutex);
    if (row < failedRow) {
      failedRow = row;
      failure = message;
    }
  };
  auto describe = [&](int a, int b, int ma, int mb) {
    if (itemWord == "MLGs")
      return "the MLGs " + std::to_string(ma + 1) + " and " + std::to_string(mb + 1);
    return "the sampling units " + Quoted(dataset.designationText(a)) + " and " +
           Quoted(dataset.designationText(b));
  };

  auto work = [&](int begin, int end) {
    for (int r = begin; r < end; ++r) {
      const int a = mlgs.representative[r];
      // Cells (r, h), h >= r, at h - r.
      KinshipPair* row = table.cells_.data() +
                         (square ? static_cast<std::int64_t>(r) * g + r : table.UpperStart(r));
      int locus = -1;
      if (withClonePairs && second[r] >= 0) {
        KinshipPair self;
        KinshipProblem p = calculator.Pair(a, a, self, &locus);
        if (p != KinshipProblem::kNone) {
          fail(r, ProblemMessage(p, describe(a, second[r], r, r), locus, calculator.locusNames()));
          return;
        }
        row[0] = self;
      }
      for (int h = r + 1; h < g; ++h) {
        // A row reads G genotype pairs of L loci each (thousands of SNPs):
        // the cancel flag is polled along it too.
        if (progress && (h & 63) == 0 && progress->Cancelled()) return;
        KinshipPair pair;
        const int b = mlgs.representative[h];
        KinshipProblem p = calculator.Pair(a, b, pair, &locus);
        if (p != KinshipProblem::kNone) {
          fail(r, ProblemMessage(p, describe(a, b, r, h), locus, calculator.locusNames()));
          return;
        }
        row[h - r] = pair;
        if (square) table.cells_[static_cast<size_t>(h) * g + r] = pair;
      }
    }
  };
  // Rows shrink along the triangle: small chunks keep the threads even, and
  // a chunk stays near 2·10^7 locus steps (a few hundredths of a second) so
  // that progress moves and a cancel is seen within moments on thousands of
  // loci.
  const double rowSteps = static_cast<double>(g) * std::max(1, calculator.locusCount());
  const int chunk =
      static_cast<int>(std::clamp(2e7 / rowSteps, 1.0, static_cast<double>(std::max(1, g / 64))));
  bool finished = ParallelFor(g, work, progress, chunk);
  if (failedRow < g) return Status::Error(failure);
  if (!finished) return Status::Cancelled();
  return Status::Ok();
}

}  // namespace vireltan
