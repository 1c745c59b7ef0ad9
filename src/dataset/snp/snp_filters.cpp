// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/snp/snp_filters.h"

#include <bit>
#include <cmath>

namespace vireltan {

namespace {

// Missing calls of one locus column among the samples whose mask bits are
// set (kept samples: both bits of their call set).
int MissingAmong(const std::uint64_t* column, const std::vector<std::uint64_t>& keep,
                 std::size_t words) {
  int missing = 0;
  for (std::size_t w = 0; w < words; ++w)
    missing += std::popcount(MissingLowBits(column[w]) & keep[w]);
  return missing;
}

// Alternate allele copies among the kept samples' calls, as stored (a
// haploid alternate counts 2: see packed_genotypes.h).
std::int64_t StoredAltCopies(const std::uint64_t* column, const std::vector<std::uint64_t>& keep,
                             std::size_t words) {
  std::int64_t copies = 0;
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t called = ~MissingLowBits(column[w]) & keep[w] & 0x5555555555555555ULL;
    copies += std::popcount(column[w] & (called | called << 1));
  }
  return copies;
}

}  // namespace

Status CheckSnpFilterOptions(const SnpFilterOptions& o) {
  const std::pair<const char*, double> all[] = {{"--min-call-rate-locus", o.minCallRateLocus},
                                                {"--min-call-rate-sample", o.minCallRateSample},
                                                {"--min-maf", o.minMaf}};
  for (const auto& [name, value] : all)
    if (!std::isfinite(value) || value < 0 || value > 1)
      return Status::Error(std::string(name) + ": a fraction from 0 to 1 is expected.");
  return Status::Ok();
}

Status FilterAndPack(const RawSnpData& raw, const SnpFilterOptions& options, ProgressSink& progress,
                     std::vector<int>& keptSamples, std::vector<int>& keptLoci,
                     PackedGenotypes& packed, SnpFilterReport& report) {
  if (Status ok = CheckSnpFilterOptions(options); !ok) return ok;
  const int n = static_cast<int>(raw.sampleNames.size());
  const int loci = raw.calls.locusCount();
  const std::size_t words = raw.calls.wordsPerLocus();
  report = SnpFilterReport();
  report.lociRead = loci;
  report.samplesRead = n;
  // Low bit of every sample's call slot: all samples, then the kept ones.
  std::vector<std::uint64_t> keep(words, 0);
  for (int i = 0; i < n; ++i)
    keep[i / kCallsPerWord] |= std::uint64_t{1} << (2 * (i % kCallsPerWord));

  // 1 and 2: loci by call rate over all samples.
  std::vector<int> lociAfterRate;
  for (int k = 0; k < loci; ++k) {
    if (k % kSitesPerCancelCheck == 0 && progress.Cancelled()) return Status::Cancelled();
    const int called = n - MissingAmong(raw.calls.column(k), keep, words);
    if (called == 0) {
      ++report.allMissingLoci;
    } else if (static_cast<double>(called) / n < options.minCallRateLocus) {
      ++report.lowCallRateLoci;
    } else {
      lociAfterRate.push_back(k);
    }
  }
  if (lociAfterRate.empty())
    return Status::Error("No locus is left: " + std::to_string(report.allMissingLoci) + " of the " +
                         std::to_string(loci) + " SNPs read have no call, " +
                         std::to_string(report.lowCallRateLoci) +
                         " are called in too few samples (the least call rate of a SNP).");

  // 3: samples by call rate over the loci kept.
  std::vector<int> missingOfSample(static_cast<std::size_t>(n), 0);
  for (int k : lociAfterRate) {
    const std::uint64_t* column = raw.calls.column(k);
    for (std::size_t w = 0; w < words; ++w)
      for (std::uint64_t m = MissingLowBits(column[w]) & keep[w]; m; m &= m - 1)
        ++missingOfSample[w * kCallsPerWord + std::countr_zero(m) / 2];
  }
  keptSamples.clear();
  const double lociKept = static_cast<double>(lociAfterRate.size());
  for (int i = 0; i < n; ++i) {
    if ((lociKept - missingOfSample[i]) / lociKept < options.minCallRateSample) {
      ++report.lowCallRateSamples;
      report.removedSamples.push_back(raw.sampleNames[i]);
      keep[i / kCallsPerWord] &= ~(std::uint64_t{1} << (2 * (i % kCallsPerWord)));
    } else {
      keptSamples.push_back(i);
    }
  }
  if (keptSamples.empty())
    return Status::Error("No sample is left: every sample is called at fewer than " +
                         std::to_string(options.minCallRateSample) +
                         " of the loci (the least call rate of a sample).");

  // 4: loci by minor allele frequency over the kept samples.
  keptLoci.clear();
  const int keptN = static_cast<int>(keptSamples.size());
  for (int k : lociAfterRate) {
    const std::uint64_t* column = raw.calls.column(k);
    const int called = keptN - MissingAmong(column, keep, words);
    if (called == 0) {
      ++report.allMissingLoci;
      continue;
    }
    // Stored copies are on a scale of 2 per call whatever the ploidy.
    const double p = static_cast<double>(StoredAltCopies(column, keep, words)) / (2.0 * called);
    if (std::min(p, 1 - p) < options.minMaf) {
      ++report.lowMafLoci;
      continue;
    }
    keptLoci.push_back(k);
  }
  if (keptLoci.empty())
    return Status::Error("No locus is left: every SNP has a minor allele frequency below " +
                         std::to_string(options.minMaf) +
                         " (the least minor allele frequency), or no call.");

  // Packing: 32 loci at a time, so that each sample's word is built whole
  // from 32 columns that stay in the cache.
  packed = PackedGenotypes(keptN, static_cast<int>(keptLoci.size()));
  const int keptL = static_cast<int>(keptLoci.size());
  for (int first = 0; first < keptL; first += kCallsPerWord) {
    if ((first / kCallsPerWord) % 128 == 0 && progress.Cancelled()) return Status::Cancelled();
    const int last = std::min(keptL, first + kCallsPerWord);
    const std::size_t word = static_cast<std::size_t>(first / kCallsPerWord);
    for (int s = 0; s < keptN; ++s) {
      const int from = keptSamples[s];
      std::uint64_t value = kAllMissingWord;
      for (int k = first; k < last; ++k) {
        const int shift = 2 * (k - first);
        value = (value & ~(std::uint64_t{3} << shift)) |
                std::uint64_t{CallAt(raw.calls.column(keptLoci[k]), from)} << shift;
      }
      packed.row(s)[word] = value;
    }
  }
  return Status::Ok();
}

}  // namespace vireltan
