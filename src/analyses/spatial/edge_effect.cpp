// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/edge_effect.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "analyses/spatial/position_permutation.h"
#include "numeric/permutation_p.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

double AxisReference(const std::vector<double>& values, double halfRange) {
  if (values.empty()) return halfRange;
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  if (halfRange >= *low && halfRange <= *high) return halfRange;
  return *low + (*high - *low) / 2;
}

}  // namespace

ReferencePoint EdgeReferencePoint(const SpatialUnits& units, double halfRangeX, double halfRangeY) {
  return {AxisReference(units.x, halfRangeX), AxisReference(units.y, halfRangeY)};
}

std::vector<bool> SingleUnitLabels(const SpatialUnits& units) {
  std::vector<int> cloneSize(units.mlgCount + 1, 0);
  for (int m : units.mlg) ++cloneSize[m];
  std::vector<bool> single(units.size());
  for (int u = 0; u < units.size(); ++u) single[u] = cloneSize[units.mlg[u]] == 1;
  return single;
}

Status ComputeEdgeEffect(const SpatialUnits& units, ReferencePoint reference, int permutations,
                         std::uint32_t runSeed, ProgressSink* progress, EdgeEffectResult& result) {
  result = EdgeEffectResult();
  result.reference = reference;
  const int n = units.size();
  if (permutations < 1) {
    return Status::Error("The number of permutations must be a whole number of at least 1.");
  }
  const std::vector<bool> single = SingleUnitLabels(units);
  std::vector<int> singles;
  for (int u = 0; u < n; ++u) {
    if (single[u]) singles.push_back(u);
  }
  if (singles.empty()) {
    return Status::Error(
        "The edge effect cannot be computed: every MLG has several sampling units, so there is "
        "no single-unit MLG to compare with the whole sample.");
  }

  // Distance of each position (slot) from the reference point.
  std::vector<double> r(n);
  double sumAll = 0;
  for (int u = 0; u < n; ++u) {
    r[u] = PlaneDistance(units.x[u], units.y[u], reference.x, reference.y);
    sumAll += r[u];
  }
  const double meanAll = sumAll / n;
  // Coordinates are checked when read, so this only guards against a
  // caller that skipped the check: an infinite mean would give an empty Ee.
  if (!std::isfinite(sumAll)) {
    return Status::Error(
        "The edge effect cannot be computed: the distances from the reference point are too "
        "large to add up (check the coordinates).");
  }
  if (!(meanAll > 0)) {
    return Status::Error(
        "The edge effect cannot be computed: all sampling units lie at the "
        "reference point (" +
        FormatNumber(reference.x) + ", " + FormatNumber(reference.y) +
        "), so their mean distance from it is 0.");
  }

  // Sum of r over the "s" units for an arrangement, always added up in the
  // same order of units, so that an arrangement putting them on the same
  // positions gives the very same sum.
  auto singleSum = [&](const std::vector<int>& slotOf) {
    double sum = 0;
    for (int u : singles) sum += r[slotOf[u]];
    return sum;
  };
  std::vector<int> observed(n);
  for (int u = 0; u < n; ++u) observed[u] = u;
  const double observedSum = singleSum(observed);
  const int s = static_cast<int>(singles.size());
  result.singleCount = s;
  result.meanAll = meanAll;
  result.meanSingle = observedSum / s;
  result.ee = (result.meanSingle - meanAll) / meanAll;

  // The positions only change hands, so mean_all is the same in every
  // permutation and Ee_t >= Ee exactly when the "s" units' sum of distances
  // is at least the observed one. Sums over different units standing at
  // equal distances can differ in their last bits through the order of
  // addition; such equal values count as ties, hence the small allowance (a
  // bound on the rounding error of the sum).
  const double allowance = 2.0 * s * DBL_EPSILON * observedSum;
  const double threshold = observedSum - allowance;
  int atLeast = 0;
  struct NoScratch {};
  const bool finished = CountPermutations<NoScratch>(
      n, permutations, runSeed, progress,
      [&](const std::vector<int>& slotOf, NoScratch&) { return singleSum(slotOf) >= threshold; },
      atLeast);
  if (!finished) return Status::Cancelled();

  result.permutations = permutations;
  result.atLeastCount = atLeast;
  result.pValue = PermutationPValue(atLeast, permutations);
  return Status::Ok();
}

}  // namespace vireltan
