// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drawing a chart to image files. The engine only describes charts
// (ChartData); a front end that can draw supplies a renderer. The desktop
// build's chart library draws with Qt Charts; the command line uses the
// renderer registered by that library when it is linked in.
#include <memory>
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "common/status.h"

namespace vireltan {

// How a chart is written: which files, at what size. The size is that of
// the printed figure (a journal column is about 80 mm, a page 160-170 mm);
// the PNG image has `dpi` pixels per inch of it.
struct FigureOptions {
  bool svg = true;
  bool png = true;
  bool pdf = false;
  double widthMm = 160;
  double heightMm = 120;
  int dpi = 300;
};

// Reads a comma list of formats ("svg,png,pdf", any order, at least one)
// into `options`; an unknown name is an error that lists the known ones.
Status ParseFigureFormats(const std::string& list, FigureOptions& options);
// Checks sizes and resolution: 20..1000 mm and 30..2400 dpi, so that a typo
// cannot ask for a gigapixel image.
Status CheckFigureSize(const FigureOptions& options);
// Pixel size of the PNG image of a figure: millimetres at `dpi`, rounded.
int FigurePixels(double millimetres, int dpi);
// The files a save writes: `basePath` + ".svg", ".png", ".pdf" as chosen.
std::vector<std::string> FigurePaths(const std::string& basePath, const FigureOptions& options);

class ChartRenderer {
 public:
  virtual ~ChartRenderer() = default;
  // Writes `chart` to `basePath` + ".svg" (vector drawing), ".png" (image)
  // and ".pdf" (vector, for print) as `options` chooses, each replacing any
  // earlier file only once it is complete.
  virtual Status SaveFigure(const ChartData& chart, const std::string& basePath,
                            const FigureOptions& options) = 0;
  // Writes the image twins (`basePath` + ".png", ".pdf", as `options`
  // chooses) of a drawing the engine made as SVG text, at the figure's size
  // (the drawing keeps its proportions, centred on a white page). The
  // ".svg" itself is the caller's. A renderer that cannot draw writes
  // nothing.
  virtual Status SaveSvgDrawing(const std::string& /*svg*/, const std::string& /*basePath*/,
                                const FigureOptions& /*options*/) {
    return Status::Ok();
  }
};

// The renderer of a front end without a window. A library that can draw
// registers a factory at start-up; without one, MakeRegisteredChartRenderer
// returns nullptr and chart files cannot be written.
using ChartRendererFactory = std::unique_ptr<ChartRenderer> (*)();
void SetChartRendererFactory(ChartRendererFactory factory);
std::unique_ptr<ChartRenderer> MakeRegisteredChartRenderer();

}  // namespace vireltan
