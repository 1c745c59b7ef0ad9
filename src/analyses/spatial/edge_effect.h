// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The edge effect Ee: do the MLGs sampled only once lie farther from the
// centre of the sampled area than the sampling units as a whole, as when
// clones spreading from the inside leave the unique genotypes at the margin?
//
//   r_u      = distance of unit u from the reference point;
//   mean_all = mean of r_u over all units;
//   mean_s   = mean of r_u over the units whose MLG has no other unit ("s");
//   Ee       = (mean_s - mean_all) / mean_all,
//
// -1 when the single-unit MLGs all sit at the reference point, 0 when they
// are as far out as the average unit, 1 when twice as far. Significance: the
// positions are reassigned at random among the units. The test is one-sided,
// towards the margin: with b the permutations whose Ee is greater than or
// equal to the observed one, p (Ee) = (b + 1)/(P + 1), the observed
// arrangement counting as one of the P + 1 (never 0).
//
// Memory and time per permutation: O(N) (one distance per unit, from the
// reference point); no table grows with N².
#include <cstdint>

#include "analyses/spatial/spatial_units.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

struct ReferencePoint {
  double x = 0;
  double y = 0;
};

// The reference point: (HalfRangeX, HalfRangeY), the centre of the rectangle
// from the origin to the largest coordinates, which is the centre of the
// sampled area for the usual plot coordinates that start near 0. On an axis
// where that value lies outside the units' own range (coordinates far from
// the origin such as UTM metres, negative coordinates, or an absent axis that
// holds 999 everywhere) the centre of the units' range on that axis is taken
// instead, so that the distances measure the position within the sampled
// area rather than the distance to the origin of the coordinate system.
ReferencePoint EdgeReferencePoint(const SpatialUnits& units, double halfRangeX, double halfRangeY);

struct EdgeEffectResult {
  ReferencePoint reference;
  double meanAll = 0;
  double meanSingle = 0;
  double ee = 0;
  int singleCount = 0;  // units labelled "s"
  int permutations = 0;
  int atLeastCount = 0;  // permutations with Ee_t >= Ee
  double pValue = 0;     // (atLeastCount + 1) / (permutations + 1)
};

// Labels of the units: true ("s") when the unit's MLG has no other unit.
std::vector<bool> SingleUnitLabels(const SpatialUnits& units);

// Computes Ee and its permutation test over `permutations` (>= 1)
// arrangements drawn from `runSeed`'s streams. Refuses, with a message, a
// dataset without single-unit MLGs (mean_s undefined) and one whose units all
// lie at the reference point (mean_all = 0). Returns Status::Cancelled() when
// `progress` is cancelled.
Status ComputeEdgeEffect(const SpatialUnits& units, ReferencePoint reference, int permutations,
                         std::uint32_t runSeed, ProgressSink* progress, EdgeEffectResult& result);

}  // namespace vireltan
