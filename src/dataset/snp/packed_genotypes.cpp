// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

PackedGenotypes::PackedGenotypes(int sampleCount, int locusCount)
    : sampleCount_(sampleCount),
      locusCount_(locusCount),
      words_(WordsForCalls(locusCount)),
      data_(static_cast<std::size_t>(sampleCount) * words_, kAllMissingWord) {}

LocusMajorCalls::LocusMajorCalls(int sampleCount)
    : sampleCount_(sampleCount), words_(WordsForCalls(sampleCount)) {}

std::uint64_t* LocusMajorCalls::AppendLocus() {
  const std::size_t block = static_cast<std::size_t>(locusCount_) / kLociPerBlock;
  const std::size_t within = static_cast<std::size_t>(locusCount_) % kLociPerBlock;
  if (block == blocks_.size()) blocks_.emplace_back(kLociPerBlock * words_);
  ++locusCount_;
  std::uint64_t* column = blocks_[block].data() + within * words_;
  for (std::size_t w = 0; w < words_; ++w) column[w] = kAllMissingWord;
  return column;
}

const std::uint64_t* LocusMajorCalls::column(int locus) const {
  const std::size_t block = static_cast<std::size_t>(locus) / kLociPerBlock;
  const std::size_t within = static_cast<std::size_t>(locus) % kLociPerBlock;
  return blocks_[block].data() + within * words_;
}

std::size_t LocusMajorCalls::bytes() const {
  return blocks_.size() * kLociPerBlock * words_ * sizeof(std::uint64_t);
}

}  // namespace vireltan
