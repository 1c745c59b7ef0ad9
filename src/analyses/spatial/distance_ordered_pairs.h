// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pairs of points in ascending order of distance, walked without holding the
// whole sorted list.
//
// The autocorrelation cuts its distance classes on the list of all pairs of
// points sorted by the program's heap sort, and sums coefficients in that
// order. When no two pairs lie at exactly the same distance, that order is
// the only ascending one, so the pairs can be produced in slices of
// ascending distance: each slice is a range of squared distances, gathered
// from the pairs of those cells of a grid over the points whose distances
// can fall in it, and sorted on its own (memory: one slice of about
// kSlicePairs pairs of 16 bytes, whatever N). Slice limits come from the
// quantiles of a sample of pairs, aiming at 3/4 of a slice each. Each pair
// is looked at by the few slices its two cells span: the walk costs
// O(N²) in all, not O(N²) per slice.
//
// When some pairs tie, the order among them is the heap sort's, which
// depends on the whole list. Unless the visitor can tell that no result
// depends on it (two tied pairs inside one class whose sums come out the
// same in either order), the walk starts over and runs the heap sort on
// 8 bytes per pair (the pair's rank among distinct distances and its index),
// grows with N², then replays it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/progress_sink.h"

namespace vireltan {

struct RankedPair {
  double distance;
  std::uint32_t a;  // the lower point index
  std::uint32_t b;  // the higher one
};

class RankedPairVisitor {
 public:
  virtual ~RankedPairVisitor() = default;
  // Before the first pair; again when the walk starts over on its exact path.
  virtual void Start() = 0;
  // Before the exact path allocates its 8 bytes per pair: a chance to
  // release large tables until the walk is over.
  virtual void ExactPathStarts() {}
  // Whether the pairs tied so far may stay in the order given (ascending
  // distance, ties in no particular order) because no result depends on
  // the order among them; else the walk starts over on its exact path.
  virtual bool CanTakeAnyTieOrder() const { return false; }
  // The next `count` pairs in rank order.
  virtual void Visit(const RankedPair* pairs, std::size_t count) = 0;
};

// Pairs per slice (64 MB): small beside the one byte per pair the
// autocorrelation keeps, at the cost of one pass over all pairs per slice.
inline constexpr std::size_t kSlicePairs = std::size_t{1} << 22;

struct PairWalk {
  const std::vector<double>* x = nullptr;
  const std::vector<double>* y = nullptr;
  // When set, pairs of points of one group are left out (the weighted
  // dataset); the order is then the heap sort's of the kept pairs alone.
  const std::vector<int>* group = nullptr;
  std::size_t slicePairs = kSlicePairs;
  // Bytes the exact path may take (0: no limit); beyond it the walk stops
  // with kTooLarge rather than allocate.
  double memoryLimit = 0;
};

enum class PairWalkPath { kDistinct, kTied, kCancelled, kTooLarge };

// Number of pairs a < b the walk visits.
std::int64_t KeptPairCount(const PairWalk& walk);

// Visits every kept pair once, in the order HeapSortBy on the list of kept
// pairs (a = 0.., b = a+1.., keyed by Euclidean distance) would give.
// Returns which path ran; kCancelled when `progress` was cancelled.
PairWalkPath WalkPairsByDistance(const PairWalk& walk, const ProgressSink* progress,
                                 RankedPairVisitor& visitor);

// Visits every kept pair once in ascending order of distance, pairs at one
// distance in an order of the walk's own (not the heap sort's): for results
// that do not depend on the order of tied pairs. Holds one slice. Returns false when
// cancelled.
bool WalkPairsAscending(const PairWalk& walk, const ProgressSink* progress,
                        RankedPairVisitor& visitor);

// Bytes the walk holds at once beyond its input: one slice on the distinct
// path, 8 per kept pair on the tied one.
double PairWalkBytes(std::int64_t keptPairs, bool tied);

// Index of the pair of points a < b in row order (a = 0.., b = a+1..).
inline std::int64_t PairIndex(std::int64_t m, std::int64_t a, std::int64_t b) {
  return a * m - a * (a + 1) / 2 + (b - a - 1);
}

}  // namespace vireltan
