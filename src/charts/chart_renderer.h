#pragma once
// Drawing a chart to image files. The engine only describes charts
// (ChartData); a front end that can draw supplies a renderer. The desktop
// build's chart library draws with Qt Charts; the command line uses the
// renderer registered by that library when it is linked in.
#include <memory>
#include <string>

#include "charts/chart_data.h"
#include "common/status.h"

namespace vireltan {

class ChartRenderer {
 public:
  virtual ~ChartRenderer() = default;
  // Writes `chart` as a vector drawing to `svgPath` (which ends in ".svg")
  // and as a PNG image beside it (the same name ending in ".png"), each
  // replacing any earlier file only once it is complete.
  virtual Status SaveSvgAndPng(const ChartData& chart, const std::string& svgPath) = 0;
  // Adds the image twins (".png", ".pdf") of a drawing the engine has
  // already written as SVG to `svgPath`. A renderer that cannot draw
  // leaves the SVG alone.
  virtual Status ConvertSvgDrawing(const std::string& /*svgPath*/) { return Status::Ok(); }
};

// The ".png" twin of an ".svg" path.
std::string PngPathFor(const std::string& svgPath);

// The renderer of a front end without a window. A library that can draw
// registers a factory at start-up; without one, MakeRegisteredChartRenderer
// returns nullptr and chart files cannot be written.
using ChartRendererFactory = std::unique_ptr<ChartRenderer> (*)();
void SetChartRendererFactory(ChartRendererFactory factory);
std::unique_ptr<ChartRenderer> MakeRegisteredChartRenderer();

}  // namespace vireltan
