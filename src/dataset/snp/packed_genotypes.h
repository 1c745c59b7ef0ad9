// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Biallelic SNP genotypes held packed, two bits per call, one row of 64-bit
// words per sample: 32 calls per word, locus k of a row in bits 2(k mod 32)
// and 2(k mod 32)+1 of word k / 32. N = 5,000 samples by 200,000 SNPs take
// 250 MB; nothing ever holds an N x L table of cells.
//
// The codes are chosen so that the bits set in the XOR of two called codes
// count the alleles by which the calls differ, which lets the distances run
// on whole words with the hardware popcount:
//   homozygous reference 00, heterozygous 01, homozygous alternate 11,
//   missing 10 (the only code whose high bit is set and low bit clear).
// A haploid call is 00 (reference) or 11 (alternate): a differing haploid
// locus then counts 2, the same scale as a diploid one, and every distance
// is (set bits) / (2 x loci called in both).
#include <cstdint>
#include <vector>

namespace vireltan {

using SnpCall = std::uint8_t;
constexpr SnpCall kHomRefCall = 0b00;
constexpr SnpCall kHetCall = 0b01;
constexpr SnpCall kHomAltCall = 0b11;
constexpr SnpCall kMissingCall = 0b10;
constexpr int kCallsPerWord = 32;

// Alternate alleles carried by a called code (0, 1 or 2; a haploid
// alternate call counts 2 as it is stored, halve it for haploids).
inline int AltAlleleCount(SnpCall call) {
  return call == kHetCall ? 1 : call == kHomAltCall ? 2 : 0;
}

// Low bit of every call of `word` that is missing (code 10).
inline std::uint64_t MissingLowBits(std::uint64_t word) {
  constexpr std::uint64_t kLow = 0x5555555555555555ULL;
  return (word >> 1) & ~word & kLow;
}

// Both bits of every called locus of `word`: the mask of the loci it calls.
inline std::uint64_t CalledMask(std::uint64_t word) {
  constexpr std::uint64_t kLow = 0x5555555555555555ULL;
  const std::uint64_t calledLow = ~MissingLowBits(word) & kLow;
  return calledLow | calledLow << 1;
}

// Words of one packed row of `calls` calls.
inline std::size_t WordsForCalls(std::int64_t calls) {
  return static_cast<std::size_t>((calls + kCallsPerWord - 1) / kCallsPerWord);
}

// Call `index` of a packed row.
inline SnpCall CallAt(const std::uint64_t* row, std::int64_t index) {
  return static_cast<SnpCall>(row[index / kCallsPerWord] >> (2 * (index % kCallsPerWord)) & 3u);
}
inline void SetCallAt(std::uint64_t* row, std::int64_t index, SnpCall call) {
  std::uint64_t& w = row[index / kCallsPerWord];
  const int shift = 2 * static_cast<int>(index % kCallsPerWord);
  w = (w & ~(std::uint64_t{3} << shift)) | (std::uint64_t{call} << shift);
}

// A row's unused tail calls are filled with the missing code, so that they
// never count as called.
inline constexpr std::uint64_t kAllMissingWord = 0xAAAAAAAAAAAAAAAAULL;

// Sample-major genotypes: sampleCount rows of wordsPerSample words.
class PackedGenotypes {
 public:
  PackedGenotypes() = default;
  // All calls missing.
  PackedGenotypes(int sampleCount, int locusCount);

  int sampleCount() const { return sampleCount_; }
  int locusCount() const { return locusCount_; }
  std::size_t wordsPerSample() const { return words_; }
  const std::uint64_t* row(int sample) const { return data_.data() + sample * words_; }
  std::uint64_t* row(int sample) { return data_.data() + sample * words_; }
  SnpCall call(int sample, int locus) const { return CallAt(row(sample), locus); }
  void set(int sample, int locus, SnpCall c) { SetCallAt(row(sample), locus, c); }
  std::size_t bytes() const { return data_.size() * sizeof(std::uint64_t); }

 private:
  int sampleCount_ = 0;
  int locusCount_ = 0;
  std::size_t words_ = 0;
  std::vector<std::uint64_t> data_;
};

// Genotypes as the readers meet them, one locus at a time: locus-major
// packed columns of N calls, kept in blocks so that growing never copies
// (nor doubles) what is already read.
class LocusMajorCalls {
 public:
  explicit LocusMajorCalls(int sampleCount = 0);
  int sampleCount() const { return sampleCount_; }
  int locusCount() const { return locusCount_; }
  std::size_t wordsPerLocus() const { return words_; }
  // Appends one locus; returns its column to fill (all missing at first).
  std::uint64_t* AppendLocus();
  const std::uint64_t* column(int locus) const;
  void RemoveLastLocus() { --locusCount_; }
  std::size_t bytes() const;

 private:
  static constexpr int kLociPerBlock = 1024;
  int sampleCount_ = 0;
  int locusCount_ = 0;
  std::size_t words_ = 0;
  std::vector<std::vector<std::uint64_t>> blocks_;
};

}  // namespace vireltan
