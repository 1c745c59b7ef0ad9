#include "analyses/spatial/mlg_map.h"

#include <cmath>
#include <string>

#include "numeric/rounding.h"

namespace vireltan {

std::vector<AxisLabel> MapAxisLabels(double minimum, double maximum, bool labelZero) {
  std::vector<AxisLabel> labels;
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || maximum < minimum) return labels;
  // A tenth of the range; at least 1, since a range of 5 or less rounds its
  // tenth to 0 and every integer would then be a multiple of nothing.
  long long step = RoundHalfEven((maximum - minimum) / 10.0);
  if (step < 1) step = 1;
  const long long last = RoundHalfEven(maximum);
  // First multiple of the step that lies within the axis.
  long long first = static_cast<long long>(std::ceil(minimum / static_cast<double>(step))) * step;
  for (long long v = first; v <= last; v += step) {
    if (v == 0 && !labelZero) continue;
    labels.push_back({static_cast<double>(v), std::to_string(v)});
  }
  return labels;
}

void FillMlgMap(const Dataset& dataset, const MlgPartition& mlgs, const MapExtents& extents,
                ChartData& chart) {
  ChartSeries* series = chart.findSeries(kMapUnitsSeries);
  if (!series) {
    chart.series.push_back({kMapUnitsSeries, ChartSeries::Kind::kPoints, {}, {}});
    series = &chart.series.back();
  }
  series->points.clear();
  series->points.reserve(mlgs.keyOrder.size());
  for (int su : mlgs.keyOrder)
    series->points.push_back(
        {dataset.x[su], dataset.y[su], std::to_string(mlgs.mlgOfSu[su]), "black"});

  // The origin is always on the map (the extents start at 0); negative
  // coordinates stretch the axes below it so that no unit falls off the map.
  auto setAxis = [](ChartAxis& axis, double minimum, double maximum, bool labelZero) {
    axis.fixedRange = true;
    axis.minimum = minimum;
    axis.maximum = maximum > minimum ? maximum : minimum + 1;
    axis.customLabels = MapAxisLabels(minimum, maximum, labelZero);
    // An axis spanning less than two units (coordinates in kilometres or
    // degrees) would carry one whole-number label or none: it keeps the
    // drawer's own ticks instead, so that the map can still be read.
    // (A label at the rounded maximum may lie just beyond the axis.)
    int onAxis = 0;
    for (const AxisLabel& label : axis.customLabels)
      if (label.value >= axis.minimum && label.value <= axis.maximum) ++onAxis;
    if (onAxis < 2) axis.customLabels.clear();
  };
  setAxis(chart.bottom, extents.MinX, extents.MaxX, true);
  setAxis(chart.left, extents.MinY, extents.MaxY, false);
}

}  // namespace vireltan
