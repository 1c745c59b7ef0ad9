#pragma once
// Plain descriptions of the five charts. Analyses fill them; the window draws
// them with its toolkit and the command line saves them. No drawing here.
#include <array>
#include <string>
#include <vector>

namespace vireltan {

struct ChartPoint {
  double x = 0;
  double y = 0;
  std::string label;  // drawn above the point when not empty
  std::string color;  // "" for the series' default, else a name like "blue"
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

struct ChartSeries {
  enum class Kind { kPoints, kLine, kBars, kBoxes };
  std::string name;  // "Series1" .. "Series7", or a generated box series name
  Kind kind = Kind::kPoints;
  std::vector<ChartPoint> points;
  std::vector<BoxStats> boxes;  // kBoxes only
  bool showMarks = true;        // draw each point's label above it (kPoints)
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

struct ChartData {
  std::string name;  // "Chart1" .. "Chart5"
  bool visible = false;
  std::string title;
  std::string subtitle;
  std::string foot;
  ChartAxis bottom;
  ChartAxis left;
  std::vector<ChartSeries> series;

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

// The five charts of the main window with their fixed series and titles.
std::array<ChartData, 5> MakeDefaultCharts();

}  // namespace vireltan
