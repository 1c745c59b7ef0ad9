// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pass over all pairs that both null models of the test of clonality
// share: Σ D² over the pairs of units whose genotype ids are given column
// by column (one column per locus), D summed over the loci both units have
// typed, d_j read from the locus's table of genotype-class distances.
//
// For locus j the distance d_j(a, b) of every pair is row g_j(a) of a table
// R_j[x][b] = d_j(x, genotype of b), built in O(G_j N) per locus. The pair
// sums D(a, ·) of one unit are then a sum of L contiguous byte rows, which
// the compiler turns into vector additions: O(N² L) simple operations per
// permutation, with no table look-up in the inner loop. The R_j take
// Σ_j (G_j + 1) N bytes (grows with N² when every genotype is rare: 20 MB
// at N = 1,000, L = 20); beyond kRowTableBudget the plain pair-by-pair pass
// is used instead. Both give the same integer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analyses/clonality/index_of_association.h"
#include "common/progress_sink.h"

namespace vireltan {

// Bytes of distance rows one thread may hold.
inline constexpr std::size_t kRowTableBudget = std::size_t{256} << 20;

class PairSquareSums {
 public:
  // `cancel` (may be null) is polled every 256 rows of the pass, so that
  // even one permutation of a large dataset stops soon (the sum is then 0).
  explicit PairSquareSums(const ProgressSink* cancel = nullptr) : cancel_(cancel) {}

  // columns[j * n + u]: the id unit u carries at locus j (an id of `in`'s
  // locus j, or AssociationInput::kMissing), n = in.rowCount. Every row
  // weighs one unit.
  std::int64_t Compute(const AssociationInput& in, const std::uint32_t* columns);

 private:
  std::int64_t ByRows(const AssociationInput& in, const std::uint32_t* columns);
  std::int64_t ByPairs(const AssociationInput& in, const std::uint32_t* columns) const;
  bool Stopped() const { return cancel_ && cancel_->Cancelled(); }
  static constexpr int kRowsBetweenPolls = 256;

  const ProgressSink* cancel_;
  std::vector<std::size_t> offset_;
  std::vector<std::uint8_t> rows_;
  std::vector<std::uint16_t> sums_;
};

// Ia and rbarD from Σ D² over the pairs and the locus sums of the same
// arrangement, as IndexOfAssociation computes them.
AssociationResult IndexFromSums(std::int64_t sumD2, int unitCount,
                                const std::vector<LocusPairSums>& locusSums);

}  // namespace vireltan
