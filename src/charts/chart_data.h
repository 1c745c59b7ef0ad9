// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plain descriptions of the charts the analyses produce: series of points,
// boxes or bars, axes and labels. Analyses fill them; the window draws them
// with its toolkit and the command line saves them. No drawing here.
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace vireltan {

struct ChartPoint {
  // Built as {x, y}, {x, y, label} ..., the fields left out empty.
  ChartPoint(double x = 0, double y = 0, std::string label = {}, std::string color = {},
             std::string marker = {})
      : x(x), y(y), label(std::move(label)), color(std::move(color)), marker(std::move(marker)) {}
  double x;
  double y;
  std::string label;   // drawn above the point when not empty
  std::string color;   // "" for the series' default, else a name like "blue"
  std::string marker;  // kPoints: "" a circle, "triangle", "diamond" or "square"
  double size = 1;     // kPoints: marker width in multiples of the usual one
};

// One box of a box plot: the statistics drawn, at position x.
struct BoxStats {
  double x = 0;
  double lowerWhisker = 0;  // inner/outer fences as the analysis sets them
  double lowerQuartile = 0;
  double median = 0;
  double upperQuartile = 0;
  double upperWhisker = 0;
  double halfWidthPixels = 0;
};

// A legend entry the drawer cannot derive from a series: one per colour of a
// points series whose points carry several colours (the MLG map's clones).
struct ColourLegend {
  ColourLegend(std::string color = {}, std::string text = {}, std::string marker = {})
      : color(std::move(color)), text(std::move(text)), marker(std::move(marker)) {}
  std::string color;
  std::string text;
  std::string marker;  // as ChartPoint::marker
};

struct ChartSeries {
  // kBand: a shaded area from each point's y up to `high` (an envelope, a
  // range, mean +- SE).
  enum class Kind { kPoints, kLine, kBars, kBoxes, kBand };
  ChartSeries() = default;
  ChartSeries(std::string name, Kind kind, std::vector<ChartPoint> points = {},
              std::vector<BoxStats> boxes = {}, bool showMarks = true)
      : name(std::move(name)),
        kind(kind),
        points(std::move(points)),
        boxes(std::move(boxes)),
        showMarks(showMarks) {}
  std::string name;  // what the series holds ("clone sizes", "fitted line", ...)
  Kind kind = Kind::kPoints;
  std::vector<ChartPoint> points;
  std::vector<BoxStats> boxes;  // kBoxes only
  bool showMarks = true;        // draw each point's label above it (kPoints)
  // kBars: the width of a bar in x units; 0: the smallest gap between two
  // bars (1 for a single bar), for bars at every class.
  double barWidth = 0;
  // What the legend says about the series; empty: not in the legend.
  std::string legend;
  std::string color;                       // "" for the drawer's default of the kind
  bool markers = false;                    // kLine: a marker on every point
  bool dashed = false;                     // kLine: a dashed line (reference lines)
  std::vector<double> high;                // kBand: upper edge, one per point
  std::vector<ColourLegend> colourLegend;  // kPoints of several colours
  // kPoints: when a figure's legend has no room for every colourLegend
  // entry, the last entries (the smallest clones of a map) are drawn in
  // this colour under the entry of this colour, or under `foldText` when
  // there is none. Empty: every entry is always shown.
  std::string foldColour;
  std::string foldText;
  // kPoints: the marker width in points (drawn filled), 0 for the drawer's
  // default; the map's shapes need a few points to be told apart in print.
  double markerPoints = 0;
};

struct AxisLabel {
  double value = 0;
  std::string text;
};

struct ChartAxis {
  std::string title;
  bool fixedRange = false;
  double minimum = 0;
  double maximum = 0;
  double increment = 0;  // 0: automatic
  std::vector<AxisLabel> customLabels;
};

// What a chart shows. Each role has one chart in the session; Save Graph
// names its file after the role.
enum class ChartRole {
  kMap,                  // every sampling unit at its position, labelled with its MLG
  kPareto,               // inverse cumulated clone-size frequencies, log-log, with the fit
  kSamplingEffort,       // distinct MLGs against the number of loci or units
  kAllelicHistogram,     // allelic distances between MLGs
  kMicrosatHistogram,    // microsatellite (allele-size) distances between MLGs
  kSubrange,             // F(r), the share of same-MLG pairs, by distance class
  kCorrelogram,          // mean kinship by distance class with its envelope
  kAssociation,          // permuted rbarD of the test of clonality, observed value marked
  kCallRate,             // SNP data: samples by call rate, drawn at Open on the data page
  kOrdination,           // units, genets or populations on the first two principal axes
  kIsolationByDistance,  // genetic against geographic distance of every pair, with the fit
};
inline constexpr int kChartRoleCount = 11;

struct ChartData {
  ChartRole role = ChartRole::kMap;
  bool visible = false;
  std::string title;
  std::string subtitle;
  std::string foot;
  ChartAxis bottom;
  ChartAxis left;
  std::vector<ChartSeries> series;
  // Both axes drawn at one scale (a map: a metre is as long across as up).
  bool equalScale = false;
  // Labels of points drawn (the map's MLG numbers can be switched off).
  bool showPointLabels = true;
  // The legend's heading ("MLG (units)"), empty for none.
  std::string legendTitle;
  // Tick labels with thousands separators ("4,685,000": map coordinates).
  bool groupDigits = false;

  ChartSeries* findSeries(const std::string& seriesName) {
    for (auto& s : series)
      if (s.name == seriesName) return &s;
    return nullptr;
  }
  void clearSeries() {
    for (auto& s : series) {
      s.points.clear();
      s.boxes.clear();
    }
  }
};

// Series names of the charts with fixed series.
inline constexpr const char* kMapUnitsSeries = "units";
inline constexpr const char* kParetoPointsSeries = "clone sizes";
inline constexpr const char* kParetoFitSeries = "fitted line";
inline constexpr const char* kEffortBoxesSeries = "MLG counts";
inline constexpr const char* kEffortMeanSeries = "mean MLG count";
inline constexpr const char* kAllelicBarsSeries = "allelic distances";
inline constexpr const char* kMicrosatBarsSeries = "microsatellite distances";
inline constexpr const char* kThresholdLineSeries = "suggested threshold";
inline constexpr const char* kAssociationBarsSeries = "permuted rbarD";
inline constexpr const char* kAssociationObservedSeries = "observed rbarD";

// The top of an axis from 0 that shows values up to `highest` (> 0): the
// smallest of 1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten at
// least 2 % above it, so that the largest value sits just under a round
// end (0.18 -> 0.2, 0.37 -> 0.4, 0.2 -> 0.25). 1 for a value that is not
// positive and finite.
double NiceAxisMaximum(double highest);

// Every chart, indexed by its role, with its fixed series and titles.
std::array<ChartData, kChartRoleCount> MakeDefaultCharts();
// An empty chart of `role` as MakeDefaultCharts makes it.
ChartData DefaultChart(ChartRole role);

}  // namespace vireltan
