// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/snp_kinship.h"

#include <algorithm>
#include <cstdint>

namespace vireltan {

namespace {

// Alternate alleles of a packed code, -1 when missing (code 10).
constexpr int kAltOfCode[4] = {0, 1, -1, 2};

}  // namespace

std::vector<LocusFrequencies> SnpAlleleFrequencies(const PackedGenotypes& genotypes, int ploidy,
                                                   const std::vector<int>& items,
                                                   const ProgressSink* cancel) {
  const int loci = genotypes.locusCount();
  // Called samples and alternate copies (counted as stored: 0, 1 or 2) per
  // locus, one row after the other.
  std::vector<std::int64_t> called(loci, 0), alternate(loci, 0);
  for (size_t i = 0; i < items.size(); ++i) {
    if (cancel && i % 64 == 0 && cancel->Cancelled()) return {};
    const std::uint64_t* row = genotypes.row(items[i]);
    for (int l = 0; l < loci; ++l) {
      const int alt = kAltOfCode[CallAt(row, l)];
      if (alt < 0) continue;
      ++called[l];
      alternate[l] += alt;
    }
  }
  const bool haploid = ploidy % 2 != 0;
  std::vector<LocusFrequencies> result(loci);
  for (int l = 0; l < loci; ++l) {
    LocusFrequencies& f = result[l];
    // Two stored copies per call, as an allele table holds a haploid's
    // allele twice: the shares are the same either way.
    const double copies = 2.0 * static_cast<double>(called[l]);
    const std::int64_t ref = 2 * called[l] - alternate[l];
    if (ref > 0) {
      f.alleles.push_back(kSnpReferenceAllele);
      f.frequencies.push_back(static_cast<double>(ref) / copies);
    }
    if (alternate[l] > 0) {
      f.alleles.push_back(kSnpAlternateAllele);
      f.frequencies.push_back(static_cast<double>(alternate[l]) / copies);
    }
    f.definedCopies = static_cast<int>(haploid ? called[l] : 2 * called[l]);
  }
  return result;
}

SnpKinshipCalculator::SnpKinshipCalculator(const PackedGenotypes& genotypes,
                                           const std::vector<std::string>& locusNames,
                                           std::vector<LocusFrequencies> frequencies)
    : genotypes_(genotypes), locusNames_(locusNames), frequencies_(std::move(frequencies)) {
  const int loci = genotypes_.locusCount();
  terms_.resize(loci);
  singleCopy_.assign(loci, 0);
  for (int l = 0; l < loci; ++l) {
    const LocusFrequencies& f = frequencies_[l];
    double p[3] = {0, 0, 0};  // by allele number: reference 1, alternate 2
    double h = 0, squares = 0;
    for (int k = 0; k < f.alleleCount(); ++k) {
      p[f.alleles[k]] = f.frequencies[k];
      h += f.frequencies[k] * (1.0 - f.frequencies[k]);
      squares += f.frequencies[k] * f.frequencies[k];
    }
    LocusTerms& t = terms_[l];
    t.heterozygosity = h;
    singleCopy_[l] = f.definedCopies <= 1;
    t.correction = singleCopy_[l] ? 0.0 : h / (f.definedCopies - 1);
    t.alleleTerm = f.alleleCount() - 1;
    // An allele absent from the frequencies adds nothing (the allele-table
    // calculator skips a copy it cannot find in the locus's list).
    for (int ca = 0; ca < 3; ++ca) {
      for (int cb = 0; cb < 3; ++cb) {
        const double xa[3] = {0, 1.0 - 0.5 * ca, 0.5 * ca};
        const double xb[3] = {0, 1.0 - 0.5 * cb, 0.5 * cb};
        double shared = 0, sharedOverP = 0, expectedA = 0, expectedB = 0;
        for (int k = 1; k <= 2; ++k) {
          if (p[k] == 0.0) continue;
          shared += xa[k] * xb[k];
          sharedOverP += xa[k] * xb[k] / p[k];
          expectedA += xa[k] * p[k];
          expectedB += xb[k] * p[k];
        }
        t.loiselle[3 * ca + cb] = shared - expectedA - expectedB + squares;
        t.ritland[3 * ca + cb] = sharedOverP - 1.0;
      }
    }
  }
}

KinshipProblem SnpKinshipCalculator::Pair(int a, int b, KinshipPair& out, int* locus) const {
  double num = 0, den = 0, cor = 0, rit = 0, rden = 0;
  bool counted = false;
  const std::uint64_t* rowA = genotypes_.row(a);
  const std::uint64_t* rowB = genotypes_.row(b);
  const int loci = genotypes_.locusCount();
  const std::size_t words = genotypes_.wordsPerSample();
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t wa = rowA[w], wb = rowB[w];
    // Loci missing in either call are skipped word by word.
    const std::uint64_t missing = MissingLowBits(wa) | MissingLowBits(wb);
    if (missing == 0x5555555555555555ULL) continue;
    const int first = static_cast<int>(w) * kCallsPerWord;
    const int end = std::min(loci, first + kCallsPerWord);
    for (int l = first; l < end; ++l) {
      const int shift = 2 * (l - first);
      if (missing >> shift & 1u) continue;
      if (singleCopy_[l]) {
        if (locus) *locus = l;
        return KinshipProblem::kSingleCopy;
      }
      counted = true;
      const int cell = 3 * kAltOfCode[wa >> shift & 3u] + kAltOfCode[wb >> shift & 3u];
      const LocusTerms& t = terms_[l];
      num += t.loiselle[cell];
      den += t.heterozygosity;
      cor += t.correction;
      rit += t.ritland[cell];
      rden += t.alleleTerm;
    }
  }
  if (!counted) return KinshipProblem::kNoCommonLocus;
  if (den == 0.0 || rden == 0.0) return KinshipProblem::kMonomorphic;
  out.loiselle = (num + cor) / den;
  out.ritland = rit / rden;
  return KinshipProblem::kNone;
}

}  // namespace vireltan
