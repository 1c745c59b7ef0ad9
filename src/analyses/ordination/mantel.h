// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Mantel test (Mantel 1967) between two symmetric distance matrices
// over the same n items, as ade4's mantel.randtest: r the correlation of
// the n(n−1)/2 pairs (Pearson's, or Spearman's: Pearson's on mid-ranks),
// the rows and columns of the first matrix permuted together P times, and
// p = (b + 1)/(P + 1) with b the permutations whose r is at least the
// observed one (one-sided: the two distances grow together).
//
// Both matrices are held as condensed lower triangles: memory grows with
// n²: the caller's two (16 bytes a pair), the test's copies or ranks of
// them and the centred second one (24 bytes); callers ask the memory guard
// with MantelBytes first. Permutation k draws from stream k
// of `runSeed`, spread over the cores.
#include <cstdint>
#include <optional>
#include <vector>

#include "common/progress_sink.h"

namespace vireltan {

// Pair (i, j), i > j, at i(i−1)/2 + j.
inline std::size_t PairIndex(int i, int j) {
  return static_cast<std::size_t>(i) * (i - 1) / 2 + static_cast<std::size_t>(j);
}

inline double MantelBytes(int n) {
  return 5.0 * static_cast<double>(n) * (n - 1) / 2 * 8;
}

struct MantelResult {
  int n = 0;
  std::optional<double> r;  // empty when either matrix has no variance
  std::optional<double> p;  // empty without permutations or without r
  int permutations = 0;
  int atLeast = 0;  // b
};

// Pearson's correlation of two equally long series; empty without variance.
std::optional<double> PearsonCorrelation(const std::vector<double>& a,
                                         const std::vector<double>& b);
// Mid-ranks (1-based; ties share their mean rank).
std::vector<double> MidRanks(const std::vector<double>& values);

// False when cancelled.
bool MantelTest(const std::vector<double>& first, const std::vector<double>& second, int n,
                bool spearman, int permutations, std::uint32_t runSeed, ProgressSink* progress,
                MantelResult& out);

}  // namespace vireltan
