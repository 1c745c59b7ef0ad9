// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/mlg_map.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <utility>

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

namespace {

// Okabe and Ito's eight colours, which stay distinct under the common colour
// vision deficiencies, ordered so that neighbours in the legend differ
// most; each clone also has a shape, so that clones stay apart in print
// and in black and white.
constexpr const char* kClonePalette[kMapClonesColoured] = {
    "#E69F00", "#0072B2", "#009E73", "#CC79A7", "#D55E00", "#56B4E9", "#000000", "#F0E442"};
constexpr const char* kCloneMarkers[] = {"", "triangle", "diamond", "square"};
constexpr int kCloneMarkerCount = 4;
// Opaque light grey, drawn under the clones' colours.
constexpr const char* kOtherMlgsColour = "#BBBBBB";
// Marker width of the map's points in points: large enough at print size
// for a circle, a triangle, a diamond and a square to be told apart.
constexpr double kMapMarkerPoints = 5;

const char* CloneColour(int rank) {
  return kClonePalette[rank % kMapClonesColoured];
}
const char* CloneMarker(int rank) {
  return kCloneMarkers[rank % kCloneMarkerCount];
}

}  // namespace

void SetMapAxisTitles(ChartData& chart, const std::string& unit) {
  chart.bottom.title = unit.empty() ? "X coordinate" : "X (" + unit + ")";
  chart.left.title = unit.empty() ? "Y coordinate" : "Y (" + unit + ")";
}

void FillMlgMap(const Dataset& dataset, const MlgPartition& mlgs, const std::string& datasetName,
                ChartData& chart, const MlgMapWording& wording) {
  ChartSeries* series = chart.findSeries(kMapUnitsSeries);
  if (!series) {
    chart.series.push_back({kMapUnitsSeries, ChartSeries::Kind::kPoints, {}, {}});
    series = &chart.series.back();
  }
  series->points.clear();
  series->colourLegend.clear();
  const std::string clone = wording.lineages ? "MLL" : "MLG";

  // Clone sizes; the largest clones (of two units or more) get a colour,
  // ties going to the lower number, so that the choice depends on the data
  // alone.
  std::vector<int> size(static_cast<size_t>(mlgs.mlgCount) + 1, 0);
  for (int su : mlgs.keyOrder) ++size[mlgs.mlgOfSu[su]];
  std::vector<int> byRank;
  for (int g = 1; g <= mlgs.mlgCount; ++g)
    if (size[g] >= 2) byRank.push_back(g);
  std::stable_sort(byRank.begin(), byRank.end(), [&](int a, int b) { return size[a] > size[b]; });
  if (byRank.size() > kMapClonesColoured) byRank.resize(kMapClonesColoured);
  std::vector<int> rank(size.size(), kMapClonesColoured);  // kMapClonesColoured: grey
  for (size_t i = 0; i < byRank.size(); ++i) rank[byRank[i]] = static_cast<int>(i);

  // Units of one MLG at one position make one point; the units at each
  // position are counted over all MLGs.
  using Position = std::pair<double, double>;
  std::map<std::tuple<int, double, double>, int> stacked;
  std::map<Position, int> unitsAt, mlgsAt;
  std::vector<std::tuple<int, double, double>> firstSeen;
  for (int su : mlgs.keyOrder) {
    auto key = std::make_tuple(mlgs.mlgOfSu[su], dataset.x[su], dataset.y[su]);
    if (stacked[key]++ == 0) {
      firstSeen.push_back(key);
      ++mlgsAt[{dataset.x[su], dataset.y[su]}];
    }
    ++unitsAt[{dataset.x[su], dataset.y[su]}];
  }
  // Labels are placed in this order and a label that would cover another
  // is left out: the largest clones come first.
  std::stable_sort(firstSeen.begin(), firstSeen.end(), [&](const auto& a, const auto& b) {
    return rank[std::get<0>(a)] < rank[std::get<0>(b)];
  });
  bool anyStack = false, anyShared = false, anyOther = false;
  std::map<Position, bool> sharedLabelled;
  for (const auto& key : firstSeen) {
    const auto& [mlg, x, y] = key;
    const int count = stacked[key];
    std::string label = std::to_string(mlg);
    if (mlgsAt[{x, y}] > 1) {
      // Several MLGs at one position: one label, the number of units
      // there, on the point of the largest clone (drawn on top).
      label.clear();
      if (!sharedLabelled[{x, y}]) label = "\u00d7" + std::to_string(unitsAt[{x, y}]);
      sharedLabelled[{x, y}] = true;
      anyShared = true;
    } else if (count > 1) {
      label += " \u00d7" + std::to_string(count);
      anyStack = true;
    }
    const int r = rank[mlg];
    const bool coloured = r < kMapClonesColoured;
    anyOther = anyOther || !coloured;
    series->points.push_back({x, y, label, coloured ? CloneColour(r) : kOtherMlgsColour});
    if (coloured) series->points.back().marker = CloneMarker(r);
  }
  for (size_t i = 0; i < byRank.size(); ++i)
    series->colourLegend.push_back(
        {CloneColour(static_cast<int>(i)),
         std::to_string(byRank[i]) + " (" + std::to_string(size[byRank[i]]) + ")",
         CloneMarker(static_cast<int>(i))});
  if (anyOther)
    series->colourLegend.push_back(
        {kOtherMlgsColour, byRank.empty() ? clone + "s (one unit each)" : "other " + clone + "s"});

  // Every entry is always shown: a clone keeps its colour at any size.
  series->foldColour.clear();
  series->foldText.clear();
  series->markerPoints = kMapMarkerPoints;
  // Compact entries under one heading, so that the legend fits beside the
  // map of a journal column.
  chart.legendTitle = byRank.empty() ? "" : clone + " (units)";
  chart.title = clone + " map of \"" + datasetName + "\"";
  chart.foot = "Labels: " + clone + " number";
  if (anyStack) chart.foot += "; g \u00d7n: n units of " + clone + " g at one position";
  if (anyShared) chart.foot += "; \u00d7n: n units of several " + clone + "s";
  chart.equalScale = true;
  chart.groupDigits = true;
  // The axes span the units with a margin (the drawer adds it), at one
  // scale, in the coordinates of the data file.
  for (ChartAxis* axis : {&chart.bottom, &chart.left}) {
    axis->fixedRange = false;
    axis->customLabels.clear();
    axis->increment = 0;
  }
  SetMapAxisTitles(chart, wording.unit);
}

}  // namespace vireltan
