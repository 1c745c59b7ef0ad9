#pragma once
// The MLG map: every sampling unit drawn at its field position and labelled
// with the number of its MLG, so that the user sees how the clones are laid
// out. Coordinates are in the dataset's own units (metres, usually).
#include <vector>

#include "charts/chart_data.h"
#include "dataset/dataset.h"

namespace vireltan {

// The coordinate extents of the dataset, each taken with a starting value of
// 0: minimum <= 0 <= maximum.
struct MapExtents {
  double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
};

// Custom labels of one map axis running from `minimum` (<= 0) to `maximum`
// (>= 0): every integer multiple of the step within that range, the step
// being a tenth of the range rounded to the nearest integer (halves to
// even), at least 1 so that short ranges (5 units or less) are labelled at
// every unit. `labelZero` false leaves 0 unlabelled (the left axis of the
// map, whose 0 would sit on the corner shared with the bottom axis).
// Computed in floating point and never more than a few dozen labels,
// whatever the coordinates.
std::vector<AxisLabel> MapAxisLabels(double minimum, double maximum, bool labelZero);

// Fills the map chart: its units series gets one black point per
// sampling unit in dataset-table order (ascending MLG number), labelled
// with its MLG number; both axes get fixed ranges from the extents (never
// empty: a range of zero width is widened to 1) and their custom labels
// (none when fewer than two would fit: the chart's own ticks then serve).
// Leaves visibility and the other series alone.
void FillMlgMap(const Dataset& dataset, const MlgPartition& mlgs, const MapExtents& extents,
                ChartData& chart);

}  // namespace vireltan
