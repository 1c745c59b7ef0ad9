// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where everything of a minimum spanning network's figure lies, in
// millimetres from the figure's top left corner (y downwards), for a figure
// of a given printed size: the title's lines, each node's centre and
// radius, the labels, the legend. The SVG drawing, the node table's
// positions and the tests all read it.
//
// The tree (the edges not marked as tied alternatives) is laid out as
// balloons (balloon_tree_layout.h), so its edges never cross; node areas
// are proportional to units; labels are placed from the largest node down
// where they overlap no other label; more than eight populations show as
// the seven with most units and "others"; the legend takes at most a
// quarter of the figure, beside the network when the figure is wider than
// tall, below it otherwise.
#include <map>
#include <string>
#include <vector>

#include "charts/chart_renderer.h"
#include "charts/network_chart.h"

namespace vireltan {

struct MmBox {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // mm, top left and bottom right
  bool Overlaps(const MmBox& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
  double width() const { return x1 - x0; }
  double height() const { return y1 - y0; }
};

struct NetworkLabel {
  int node = 0;         // index into the chart's nodes
  std::string text;     // the node's number
  MmBox box;            // the digits' box; the baseline is its bottom
  bool inside = false;  // drawn inside the node's disc
};

struct NetworkLegendItem {
  enum class Kind { kHeading, kSwatch, kCircle, kLine, kDashedLine };
  Kind kind = Kind::kHeading;
  std::string text;
  std::string colour;              // swatch fill or line stroke
  double lineWidthPoints = 0;      // lines
  double radius = 0;               // circles, mm
  MmBox symbol;                    // where the symbol lies (empty for headings)
  double textX = 0, baseline = 0;  // where the text starts, mm
};

struct NetworkLayout {
  double widthMm = 0, heightMm = 0;
  // Title lines with their baselines (mm), centred on the figure.
  std::vector<std::string> titleLines;
  std::vector<double> titleBaselines;
  MmBox plot;  // where nodes and edges lie
  // Per node of the chart: centre and radius in mm, and its slices with the
  // populations outside the legend's seven folded into one.
  std::vector<double> x, y, radius;
  std::vector<std::vector<NetworkSlice>> slices;
  // Per edge of the chart: whether it is a tied alternative (as marked, or
  // as the drawing marked one tree itself) and whether it is drawn.
  std::vector<char> tied, drawn;
  std::vector<NetworkLabel> labels;
  // Colour of each group the slices and the legend name ("#RRGGBB").
  std::map<std::string, std::string> colourOf;
  MmBox legend;             // the legend's box (empty when there is none)
  double legendPoints = 0;  // its text size
  std::vector<NetworkLegendItem> legendItems;
};

// Lays the network out for `options`' size and texts. Texts are measured
// from the average advance of DejaVu Sans, generously, without a font
// engine. About 10^8 steps at most for the relaxation and 2 x 10^7 for the
// labels, whatever the number of nodes.
NetworkLayout LayOutNetwork(const NetworkChart& chart, const FigureOptions& options);

// The name under which the populations beyond the seven largest are shown.
std::string OtherPopulationsName(int count);

}  // namespace vireltan
