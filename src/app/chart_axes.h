// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The axes of a drawn chart: ranges from the data (with a margin, or fixed
// by the analysis), round tick values spaced so that their labels never
// collide, custom labels thinned to the roundest, and equal scales for maps.
// Private to the chart drawer.
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QChart>
#include <limits>

#include "charts/chart_data.h"

namespace vireltan::app {

// The span of the values a series draws along one axis.
struct Extent {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void add(double v);
  bool any() const { return lo <= hi; }
};

// Smallest gap between distinct positions (the width one bar or box may
// take without touching its neighbour), `fallback` when there is none.
double SmallestGap(std::vector<double> xs, double fallback);
// Full width of the bars of a kBars series.
double BarWidth(const ChartSeries& s);
// Half-width of the boxes of a kBoxes series in axis units, from the
// analysis's pixels of the chart's width when it gives them.
double BoxHalfWidth(const ChartSeries& s, double span, double chartWidthPixels);

// The x and y extents of everything `data` draws.
void AddToExtents(const ChartData& data, Extent& x, Extent& y);

// A round step (1, 2 or 5 times a power of ten) giving at most about
// `ticks` intervals over `span`.
double NiceStep(double span, int ticks);

// A horizontal or vertical axis for `settings` over the data's extent: a
// category axis when the analysis gives custom labels, else a value axis
// whose ticks the chart keeps round (see KeepTicksRound); `groupDigits`
// writes its ticks with thousands separators.
QAbstractAxis* MakeAxis(const ChartAxis& settings, const Extent& data, bool horizontal,
                        bool groupDigits = false);

// The next rounder step below `step` (5 -> 2 -> 1 -> 0.5 times a power of
// ten).
double SmallerNiceStep(double step);

// Keeps the value axes of `chart` at round ticks spaced for their labels to
// fit the plot area (at least 3 ticks, 4 on a map), after each resize, zoom
// or pan; whatever the spans, an axis never has more than about 25 ticks
// (the tick step is set before any range change); with `equalScale` the
// axes' ranges are also widened so that one unit has the same length across
// and up.
void KeepTicksRound(QChart& chart, bool equalScale);

}  // namespace vireltan::app
