// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The MLG map: every sampling unit drawn at its field position and labelled
// with the number of its MLG, so that the user sees how the clones are laid
// out. Coordinates are in the dataset's own units (metres, usually).
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "dataset/dataset.h"

namespace vireltan {

// Custom labels of one map axis running from `minimum` (<= 0) to `maximum`
// (>= 0): every integer multiple of the step within that range, the step
// being a tenth of the range rounded to the nearest integer (halves to
// even), at least 1 so that short ranges (5 units or less) are labelled at
// every unit. `labelZero` false leaves 0 unlabelled (the left axis of the
// map, whose 0 would sit on the corner shared with the bottom axis).
// Computed in floating point and never more than a few dozen labels,
// whatever the coordinates.
std::vector<AxisLabel> MapAxisLabels(double minimum, double maximum, bool labelZero);

// How many of the largest clones the map marks apart: eight colours, then
// the same colours with square markers; the others are grey. More could
// not be told apart. A figure whose legend has no room for them all (a
// journal column) colours fewer: the smallest join "other MLGs"
// (ChartSeries::foldColour).
inline constexpr int kMapClonesColoured = 16;

// Fills the map chart: its units series gets one point per position of an
// MLG (units of one MLG at one position make one point labelled "MLG ×n"),
// the largest clones of two or more units first, each in its own colour
// with a legend entry "g (n)" under the legend title "MLG (units)", the other MLGs grey; axes
// follow the data (the drawer adds a margin) at an equal scale. Leaves visibility and the other
// series alone. `unit` (e.g. "m"), when given, is written in the axis titles: "X (m)".
void FillMlgMap(const Dataset& dataset, const MlgPartition& mlgs, const std::string& datasetName,
                ChartData& chart, const std::string& unit = "");

}  // namespace vireltan
