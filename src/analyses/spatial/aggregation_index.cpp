// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/aggregation_index.h"

#include "analyses/spatial/nearest_neighbours.h"
#include "analyses/spatial/position_permutation.h"
#include "numeric/permutation_p.h"

namespace vireltan {

Status ComputeAggregationIndex(const SpatialUnits& units, int permutations, std::uint32_t runSeed,
                               ProgressSink* progress, AggregationResult& result) {
  result = AggregationResult();
  const int n = units.size();
  if (n < 2) {
    return Status::Error(
        "The aggregation index needs at least two sampling units: it compares each unit with "
        "its nearest neighbour.");
  }
  if (permutations < 1) {
    return Status::Error("The number of permutations must be a whole number of at least 1.");
  }

  // p_all from the clone sizes: of the N(N-1) ordered pairs, sum n_m(n_m-1)
  // share an MLG. Counted exactly in integers.
  std::vector<std::int64_t> cloneSize(units.mlgCount + 1, 0);
  for (int m : units.mlg) ++cloneSize[m];
  const std::int64_t orderedPairs = static_cast<std::int64_t>(n) * (n - 1);
  std::int64_t samePairs = 0;
  for (std::int64_t size : cloneSize) samePairs += size * (size - 1);
  const std::int64_t differentPairs = orderedPairs - samePairs;
  if (differentPairs == 0) {
    return Status::Error(
        "The aggregation index cannot be computed: all sampling units belong to one MLG, so no "
        "pair of units belongs to different MLGs (p_all = 0).");
  }
  result.pAll = static_cast<double>(differentPairs) / static_cast<double>(orderedPairs);

  const NearestNeighbourIndex index(units.x, units.y);
  NearestNeighbourIndex::Workspace work;
  std::vector<int> observed(n);
  for (int u = 0; u < n; ++u) observed[u] = u;
  result.differentNeighbourCount = index.CountDifferentMlgNeighbours(observed, units.mlg, work);
  result.pNn = static_cast<double>(result.differentNeighbourCount) / n;
  result.ac = (result.pAll - result.pNn) / result.pAll;

  // Ac_t >= Ac exactly when no more units have a nearest neighbour of another
  // MLG than observed (p_all does not change), so the counts are compared as
  // integers, free of rounding, and ties count as at least as extreme.
  const int observedCount = result.differentNeighbourCount;
  int atLeast = 0;
  const bool finished = CountPermutations<NearestNeighbourIndex::Workspace>(
      n, permutations, runSeed, progress,
      [&](const std::vector<int>& slotOf, NearestNeighbourIndex::Workspace& scratch) {
        return index.CountDifferentMlgNeighbours(slotOf, units.mlg, scratch) <= observedCount;
      },
      atLeast);
  if (!finished) return Status::Cancelled();

  result.permutations = permutations;
  result.atLeastCount = atLeast;
  result.pValue = PermutationPValue(atLeast, permutations);
  return Status::Ok();
}

}  // namespace vireltan
