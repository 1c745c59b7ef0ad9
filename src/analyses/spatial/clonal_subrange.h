// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The clonal subrange: how the probability that two sampling units share an
// MLG, F(r), falls off with the distance r between them.
//
// All N(N-1)/2 pairs of units are sorted by distance and cut into distance
// classes, either K classes of (nearly) equal numbers of pairs or classes up
// to fixed upper limits (the file "distances.txt"). For each class: its
// smallest, average and largest distance, the share of same-MLG pairs F(r)
// and the number of pairs. The clonal subrange proper is the largest
// distance between two units of one MLG.
//
// The pairs are walked in ascending order of distance in slices (see
// distance_ordered_pairs.h) of 64 MB, or of 1/16 of the pairs (one byte per
// pair) for large N so that the passes over all pairs stay about 20. Only when tied pairs of one
// MLG and of different MLGs are cut by a class end is the whole list built and heap-sorted: 8 bytes
// per pair (the distance's bits and the different-MLG flag), N = 5,000 units (12.5 million pairs)
// 100 MB, refused up front when the computer lacks it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "analyses/spatial/spatial_units.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

// A pair record: the bits of its distance (a non-negative double, whose bit
// pattern orders like its value) shifted left by one, and the different-MLG
// flag in the low bit. Comparing records by key() compares distances.
using ClonalPair = std::uint64_t;

inline ClonalPair PackClonalPair(double distance, bool different) {
  std::uint64_t bits;
  std::memcpy(&bits, &distance, sizeof bits);
  return (bits << 1) | (different ? 1u : 0u);
}
inline std::uint64_t ClonalPairKey(ClonalPair pair) {
  return pair >> 1;
}
inline double ClonalPairDistance(ClonalPair pair) {
  const std::uint64_t bits = pair >> 1;
  double distance;
  std::memcpy(&distance, &bits, sizeof distance);
  return distance;
}
inline bool ClonalPairDifferent(ClonalPair pair) {
  return (pair & 1u) != 0;
}

// The clonal pair list, 1-based (element 0 unused): one record per pair of
// units i < k (designation order), filled in the order i = 1..N,
// k = i+1..N. Returns false when cancelled through `progress`.
bool BuildClonalPairs(const SpatialUnits& units, std::vector<ClonalPair>& pairs,
                      ProgressSink* progress);

// The program's heap sort (the one of HeapSortTriples, step for step) on
// packed records, ascending by distance: pairs at equal distances come out
// in exactly the order that sort gives them, which decides which tied pairs
// fall on each side of an equal-count class boundary. Sorts pairs[1..m].
// Returns false when cancelled through `progress` (the array is then only
// partly sorted).
bool HeapSortClonalPairs(std::int64_t m, std::vector<ClonalPair>& pairs,
                         ProgressSink* progress = nullptr);

struct SubrangeClass {
  double minimum = 0;
  double average = 0;
  double maximum = 0;
  double same = 0;  // F(r): share of same-MLG pairs
  std::int64_t pairs = 0;
};

struct ClonalSubrangeResult {
  double subrange = 0;  // largest distance between two units of one MLG; 0 if none
  std::vector<SubrangeClass> classes;
  // Fixed classes only: the largest pair distance lay beyond the last limit,
  // and a class up to it was added.
  bool outOfRange = false;
};

// How the pair list is ordered. kAuto walks the pairs in slices and falls
// back to the heap sort of the whole list only when pairs at one distance, some of one MLG and some
// of different MLGs, straddle a class boundary (the only case in which the heap sort's placement of
// ties changes the table). kHeapSort always runs the heap sort.
enum class PairSortStrategy { kAuto, kHeapSort };

// The most equal-count classes a run accepts: the result table takes one
// row per class below its two heading rows, and a workbook sheet holds at
// most 1,048,576 rows.
inline constexpr int kMaxSubrangeClasses = 1048576 - 2;

// K classes of equal numbers of pairs (the first M mod K classes one pair
// more). 1 <= K <= kMaxSubrangeClasses; classes beyond the number of pairs
// stay empty (all zeros). Needs at least two units.
Status ComputeClonalSubrange(const SpatialUnits& units, int classCount, ProgressSink* progress,
                             ClonalSubrangeResult& result,
                             PairSortStrategy strategy = PairSortStrategy::kAuto);

// Classes up to the ascending `upperLimits`. A pair closes its class when
// the next pair lies beyond the class's limit; one pair closes at most one
// class, so the pair after a gap spanning several limits opens the next
// class even if it lies beyond that class's limit (and pairs tied with it
// may then fall in the class after: the heap sort decides which). When the
// largest pair distance exceeds the last limit, a class up to that distance
// is added and `outOfRange` set. The maximum of each class is its limit.
// Needs at least two units and one limit.
Status ComputeClonalSubrangeFixed(const SpatialUnits& units, const std::vector<double>& upperLimits,
                                  ProgressSink* progress, ClonalSubrangeResult& result,
                                  PairSortStrategy strategy = PairSortStrategy::kAuto);

}  // namespace vireltan
