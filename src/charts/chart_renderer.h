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
//
// Texts are sized in typographic points (1/72 inch) and lines in points
// too, so that a figure of 80 x 60 mm has the same text size as one of
// 170 x 120 mm: a larger figure shows more room, not larger letters.
struct FigureOptions {
  bool svg = true;
  bool png = true;
  bool pdf = false;
  double widthMm = 160;
  double heightMm = 120;
  int dpi = 300;
  double fontPoints = 8;   // tick labels, legend, point labels (4..24 pt)
  double titlePoints = 9;  // title and axis titles (4..24 pt)
  bool showTitle = true;   // false: no title (journals put it in the caption)
  // The minimum spanning network only: tied alternative edges drawn
  // (dashed; hidden by default), MLG numbers on the nodes.
  bool networkTies = false;
  bool networkLabels = true;
};

// The largest PNG image drawn: 20,000 pixels on a side and 400 megapixels
// (1.6 GB of pixels), so that a typo in the size or resolution cannot
// exhaust the memory.
inline constexpr int kMaxFigurePixelsPerSide = 20000;
inline constexpr double kMaxFigureMegapixels = 400;

// The bytes of a figure's files, rendered in memory before any is written.
struct FigureBytes {
  std::string svg, png, pdf;
};

// Reads a comma list of formats ("svg,png,pdf", any order, at least one)
// into `options`; an unknown name is an error that lists the known ones.
Status ParseFigureFormats(const std::string& list, FigureOptions& options);
// Checks sizes, resolution and text sizes: 20..1000 mm, 30..2400 dpi,
// 4..24 pt, and a PNG image within kMaxFigurePixelsPerSide and
// kMaxFigureMegapixels (the message states the limit).
Status CheckFigureSize(const FigureOptions& options);
// Pixel size of the PNG image of a figure: millimetres at `dpi`, rounded.
int FigurePixels(double millimetres, int dpi);
// The files a save writes: `basePath` + ".svg", ".png", ".pdf" as chosen.
std::vector<std::string> FigurePaths(const std::string& basePath, const FigureOptions& options);

class ChartRenderer {
 public:
  virtual ~ChartRenderer() = default;
  // Draws `chart` in memory as SVG (vector drawing), PNG (image) and PDF
  // (vector, for print) as `options` chooses, into `out`. Nothing is
  // written to disk: the caller checks the bytes and writes the files.
  virtual Status RenderFigure(const ChartData& chart, const FigureOptions& options,
                              FigureBytes& out) = 0;
  // The image twins (PNG, PDF as `options` chooses) of a drawing the engine
  // made as SVG text, at the figure's size; also checks that `svg` is
  // well-formed XML that can be drawn. A renderer that cannot draw returns
  // an error.
  virtual Status RenderSvgDrawing(const std::string& svg, const FigureOptions& options,
                                  FigureBytes& out) = 0;
};

// The renderer of a front end without a window. A library that can draw
// registers a factory at start-up; without one, MakeRegisteredChartRenderer
// returns nullptr and chart files cannot be written.
using ChartRendererFactory = std::unique_ptr<ChartRenderer> (*)();
void SetChartRendererFactory(ChartRendererFactory factory);
std::unique_ptr<ChartRenderer> MakeRegisteredChartRenderer();

}  // namespace vireltan
