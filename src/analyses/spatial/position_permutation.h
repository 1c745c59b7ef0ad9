// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The random arrangements of the permutation tests of the aggregation index
// and the edge effect: the positions of the sampling units are reassigned
// among them, the MLGs staying with their units.
//
// Each permutation is a fresh, uniformly random arrangement (Fisher-Yates),
// drawn from its own random stream derived from the run's seed and the
// permutation's number. Permutations are therefore independent of one
// another, can run on all cores, and a seeded run gives the same p-value
// whatever the number of threads.
#include <atomic>
#include <cstdint>
#include <vector>

#include "common/parallel_for.h"
#include "common/progress_sink.h"
#include "numeric/random.h"

namespace vireltan {

// Sets `slotOf` to a uniformly random permutation of 0..n-1: unit u sits at
// the position of slot slotOf[u].
inline void RandomArrangement(RandomGenerator& generator, int n, std::vector<int>& slotOf) {
  slotOf.resize(n);
  for (int u = 0; u < n; ++u) slotOf[u] = u;
  for (int m = n - 1; m >= 1; --m) {
    const int g = generator.Below(m + 1);  // 0..m
    std::swap(slotOf[m], slotOf[g]);
  }
}

// Runs `permutations` arrangements of `n` units spread over the cores and
// sets `count` to the number of them for which counts(slotOf, scratch) is
// true. Permutation t (0-based) draws its arrangement from stream t of
// `runSeed`; `Scratch` is per-chunk working memory. Only the count is kept,
// so memory does not grow with the number of permutations, and the count is
// the same whatever the number of threads. Returns false when cancelled
// through `progress`.
template <typename Scratch, typename Counts>
bool CountPermutations(int n, int permutations, std::uint32_t runSeed, ProgressSink* progress,
                       Counts counts, int& count) {
  std::atomic<int> total{0};
  const bool finished = ParallelFor(
      permutations,
      [&](int begin, int end) {
        Scratch scratch;
        std::vector<int> slotOf;
        int chunkCount = 0;
        for (int t = begin; t < end; ++t) {
          RandomGenerator generator = RandomGenerator::ForStream(runSeed, static_cast<uint64_t>(t));
          RandomArrangement(generator, n, slotOf);
          if (counts(slotOf, scratch)) ++chunkCount;
        }
        total.fetch_add(chunkCount);
      },
      progress);
  count = total.load();
  return finished;
}

}  // namespace vireltan
