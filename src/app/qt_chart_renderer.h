// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Renders charts as SVG drawings, PNG images and PDF pages in memory, drawn
// by Qt Charts off screen at the figure's size, so that the window and the
// command line write the same files.
#include <QtCore/QRectF>
#include <QtCore/QSizeF>
#include <QtCore/QString>
#include <memory>
#include <vector>

#include "charts/chart_renderer.h"

class QChart;
class QGraphicsScene;

namespace vireltan::app {

// One text of a laid-out figure as it is drawn: its words (with "…" if Qt
// shortened it) and its size in points.
struct FigureText {
  QString text;
  double points = 0;
  QRectF rect;  // where it is drawn, in layout units
};

// A chart laid out for a figure's size, ready to draw.
struct LaidOutChart {
  LaidOutChart();
  ~LaidOutChart();
  std::unique_ptr<QGraphicsScene> scene;
  QChart* chart = nullptr;  // owned by the scene
  QRectF area;              // in layout units (1/kLogicalDpi inch)
};

class QtChartRenderer : public ChartRenderer {
 public:
  // Layout units per inch: the figure is laid out in half points (1/144
  // inch), so that texts of whole and half points have whole sizes.
  static constexpr int kLogicalDpi = 144;
  // The layout size of a figure (and the SVG's user units).
  static QSizeF LogicalSize(const FigureOptions& options);

  // Lays `chart` out at the figure's size; what RenderFigure draws. Must run
  // on the thread that owns the application object (one is made, on the
  // offscreen platform, when there is none).
  static std::unique_ptr<LaidOutChart> LayOut(const ChartData& chart, const FigureOptions& options);
  // Every visible text of a laid-out chart, in points.
  static std::vector<FigureText> Texts(const LaidOutChart& laidOut);

  Status RenderFigure(const ChartData& chart, const FigureOptions& options,
                      FigureBytes& out) override;
  Status RenderSvgDrawing(const std::string& svg, const FigureOptions& options,
                          FigureBytes& out) override;

  // Renders and writes the files (session/chart_files.h): for the window.
  Status SaveFigure(const ChartData& chart, const std::string& basePath,
                    const FigureOptions& options);
};

// Routes Qt's own warnings (QPainter's on huge or failed devices ...) away
// from the user: they are dropped unless VIRELTAN_QT_DEBUG is set. Call
// once at start-up in every front end that draws with Qt.
void InstallQtMessageFilter();

}  // namespace vireltan::app
