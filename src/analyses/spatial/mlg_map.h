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

// How many of the largest clones (two units or more) the map marks apart,
// each in one of Okabe and Ito's eight colours with one of four marker
// shapes; the others are grey. The number is fixed, whatever the size of
// the figure, so that a clone keeps its colour and shape in every figure
// of a dataset.
inline constexpr int kMapClonesColoured = 8;

// The words of the map: the unit of the coordinates (e.g. "m"; empty: none
// given) and whether the clones are multilocus lineages (MLLs) rather than
// MLGs.
struct MlgMapWording {
  std::string unit;
  bool lineages = false;
};

// Fills the map chart: its units series gets one point per position of an
// MLG, the kMapClonesColoured largest clones first (ties by number), each
// in its own colour and shape with a legend entry "g (n)" under the legend
// title "MLG (units)", the other MLGs grey under "other MLGs" ("MLL" for
// lineages). A point is labelled with its MLG number, "g ×n" for n units
// of MLG g at one position; a position holding units of several MLGs is
// labelled once, "×n" for its n units. Axes follow the data (the drawer
// adds a margin) at an equal scale. Leaves visibility and the other series
// alone. A unit, when given, is written in the axis titles: "X (m)".
void FillMlgMap(const Dataset& dataset, const MlgPartition& mlgs, const std::string& datasetName,
                ChartData& chart, const MlgMapWording& wording = {});

// The axis titles of the map for `unit` ("X (m)", or "X coordinate").
void SetMapAxisTitles(ChartData& chart, const std::string& unit);

}  // namespace vireltan
