// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Nearest neighbours of sampling units whose positions are reassigned among
// them, as in the permutation test of the aggregation index.
//
// The rule: the nearest neighbour of unit d (units numbered in designation
// order) is found by examining the other units in the order d+1, ..., N,
// then d-1, ..., 1, and keeping the first one whose distance is strictly
// smaller than that of the unit kept so far. Among equidistant units the
// first in that order wins: the lowest-numbered one after d if any, else the
// highest-numbered one before d.
//
// A permutation only changes which unit sits at which position, never the
// positions themselves. So the index is built once, in O(D^2) for D distinct
// positions: for each distinct position, the set of distinct positions at
// the smallest distance from it (ties kept; a position shared by several
// units is at distance 0 from itself). For a given arrangement the units are
// then bucketed by position in O(N), and each unit's neighbour is the first
// unit after it (else the last before it) in the buckets of its nearest
// positions, found by binary search. With real data, where several units
// often share a position, one arrangement costs O(N log k) for buckets of
// size k instead of the O(N^2) of a full scan; a unit whose nearest position
// is unique and unshared costs O(1).
//
// Memory: the index holds O(D) positions plus the tied nearest positions of
// each (O(N) in practice); no table grows with N² (the build time does).
#include <vector>

#include "analyses/spatial/spatial_units.h"

namespace vireltan {

class NearestNeighbourIndex {
 public:
  // `x`, `y`: the positions of the N slots (slot s = where unit s sits in
  // the observed data).
  NearestNeighbourIndex(const std::vector<double>& x, const std::vector<double>& y);

  int slotCount() const { return static_cast<int>(positionOfSlot_.size()); }
  int positionCount() const { return static_cast<int>(bucketStart_.size()) - 1; }

  // Scratch space for one thread.
  struct Workspace {
    std::vector<int> unitAt;     // the unit sitting at each slot
    std::vector<int> occupants;  // units bucketed by position, ascending within a bucket
  };

  // Fills `nearest[u]` (0-based unit numbers) for the arrangement in which
  // unit u sits at the position of slot `slotOf[u]` (a permutation of
  // 0..N-1). Needs N >= 2.
  void Nearest(const std::vector<int>& slotOf, std::vector<int>& nearest, Workspace& work) const;

  // The number of units whose nearest neighbour belongs to another MLG
  // (`mlg` indexed by unit), for the arrangement `slotOf`.
  int CountDifferentMlgNeighbours(const std::vector<int>& slotOf, const std::vector<int>& mlg,
                                  Workspace& work) const;

 private:
  void Bucket(const std::vector<int>& slotOf, Workspace& work) const;
  int NearestOf(int unit, int position, const Workspace& work) const;

  std::vector<int> positionOfSlot_;    // distinct position of each slot
  std::vector<int> bucketStart_;       // D+1 offsets: slots per position
  std::vector<int> slotsByPosition_;   // the slots, grouped by position
  std::vector<int> sharedPositions_;   // positions holding several slots
  std::vector<int> nearestStart_;      // D+1 offsets into nearestPositions_
  std::vector<int> nearestPositions_;  // for each position, its nearest positions
  // The common case: a slot whose nearest position is unique and holds one
  // slot has that slot's occupant as nearest neighbour, whatever the
  // numbering; -1 for slots that need the tie rule.
  std::vector<int> soleNearestSlot_;
  bool anyTies_ = false;
};

}  // namespace vireltan
