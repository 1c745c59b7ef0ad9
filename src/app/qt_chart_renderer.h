// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saves charts as SVG drawings, PNG images and PDF pages, drawn by Qt
// Charts off screen at the figure's size, so that the window and the
// command line write the same files.
#include <QtCore/QSizeF>

#include "charts/chart_renderer.h"

namespace vireltan::app {

class QtChartRenderer : public ChartRenderer {
 public:
  // Points per inch of the layout: texts and lines are sized in 1/96 inch.
  static constexpr int kLogicalDpi = 96;
  // The layout size of a figure (and the SVG's user units).
  static QSizeF LogicalSize(const FigureOptions& options);

  // Must be called on the thread that owns the application object (the
  // GUI thread); without an application object (the command line) one is
  // made, on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
  Status SaveFigure(const ChartData& chart, const std::string& basePath,
                    const FigureOptions& options) override;
  // The PNG and PDF twins of an SVG drawing, at the drawing's own size.
  Status SaveSvgDrawing(const std::string& svg, const std::string& basePath,
                        const FigureOptions& options) override;
};

}  // namespace vireltan::app
