#include "analyses/spatial/mlg_map.h"

#include <cmath>
#include <string>

#include "sheet/table_file.h"

namespace vireltan {

namespace {

// At most this many labels on an axis: a tenth of the range as the step
// gives about eleven; the cap keeps any rounding of huge values from
// producing more.
constexpr int kMaxAxisLabels = 32;

// Whole numbers print without a decimal part or exponent while they are
// exact in a double; beyond, in the shortest form that reads back.
std::string LabelText(double value) {
  if (std::fabs(value) < 1e15) return std::to_string(static_cast<long long>(value));
  return FormatNumber(value);
}

}  // namespace

std::vector<AxisLabel> MapAxisLabels(double minimum, double maximum, bool labelZero) {
  std::vector<AxisLabel> labels;
  if (!std::isfinite(minimum) || !std::isfinite(maximum) || maximum < minimum) return labels;
  // Everything stays in floating point: user coordinates never become
  // integers, whose conversion would overflow on extreme values. A tenth of
  // the range rounded half to even (the default rounding of nearbyint); at
  // least 1, since a range of 5 or less rounds its tenth to 0.
  double step = std::nearbyint((maximum - minimum) / 10.0);
  if (!(step >= 1)) step = 1;
  const double last = std::nearbyint(maximum);
  // First multiple of the step that lies within the axis; labels are
  // computed from their index, so that a step below the spacing of huge
  // values cannot stall the loop.
  const double first = std::ceil(minimum / step) * step;
  if (!std::isfinite(first) || !std::isfinite(last)) return labels;
  for (int i = 0; i < kMaxAxisLabels; ++i) {
    double v = first + i * step;
    if (v > last) break;
    if (v == 0) v = 0;  // no "-0"
    if (v == 0 && !labelZero) continue;
    labels.push_back({v, LabelText(v)});
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
