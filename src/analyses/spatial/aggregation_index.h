// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The aggregation index Ac: do units of one MLG lie closer together than
// chance would have it?
//
//   p_all = share of ordered pairs of distinct units belonging to different
//           MLGs;
//   p_nn  = share of units whose nearest neighbour belongs to another MLG;
//   Ac    = (p_all - p_nn) / p_all,
//
// 1 when every unit's nearest neighbour is of its own MLG, about 0 when
// clones are scattered at random, negative when neighbours tend to differ.
// Significance: the positions are reassigned at random among the units. The
// test is one-sided, towards aggregation: with b the permutations whose Ac is
// at least the observed one, p (Ac) = (b + 1)/(P + 1), the observed
// arrangement counting as one of the P + 1. It is never 0; an Ac that no
// permutation reaches gives 1/(P + 1).
//
// Memory: O(N) beyond the nearest-neighbour index (see
// nearest_neighbours.h); no table grows with N².
#include <cstdint>

#include "analyses/spatial/spatial_units.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

struct AggregationResult {
  double pAll = 0;
  double pNn = 0;
  double ac = 0;
  int differentNeighbourCount = 0;  // units counted in p_nn
  int permutations = 0;
  int atLeastCount = 0;  // permutations with Ac_t >= Ac
  double pValue = 0;     // (atLeastCount + 1) / (permutations + 1)
};

// Computes Ac and its permutation test over `permutations` (>= 1)
// arrangements drawn from `runSeed`'s streams. Refuses, with a message,
// fewer than two units or a single MLG (p_all = 0, so Ac undefined).
// Returns Status::Cancelled() when `progress` is cancelled.
Status ComputeAggregationIndex(const SpatialUnits& units, int permutations, std::uint32_t runSeed,
                               ProgressSink* progress, AggregationResult& result);

}  // namespace vireltan
