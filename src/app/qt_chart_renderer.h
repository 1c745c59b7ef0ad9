#pragma once
// Saves charts as SVG drawings (the vector format that replaces the Windows
// metafile) with a PNG image beside each, drawn by Qt Charts off screen at a
// fixed size, so that the window and the command line write the same files.
#include "charts/chart_renderer.h"

namespace vireltan::app {

class QtChartRenderer : public ChartRenderer {
 public:
  // Size of the saved drawing, in pixels (SVG user units).
  static constexpr int kWidth = 1000;
  static constexpr int kHeight = 750;

  // Must be called on the thread that owns the application object (the
  // GUI thread); without an application object (the command line) one is
  // made, on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
  Status SaveSvgAndPng(const ChartData& chart, const std::string& svgPath) override;
  // The PNG and PDF twins of an SVG drawing, at the drawing's own size.
  Status ConvertSvgDrawing(const std::string& svgPath) override;
};

}  // namespace vireltan::app
