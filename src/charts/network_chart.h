// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A network drawing described plainly: nodes at positions with a size and
// colour slices, edges with a distance. The minimum spanning network fills
// one; the engine writes it as an SVG drawing laid out for the figure's
// printed size (a network is not a plot over axes), and front ends show or
// convert that drawing.
#include <string>
#include <vector>

#include "charts/chart_renderer.h"

namespace vireltan {

struct NetworkSlice {
  std::string group;  // what the colour stands for (a population)
  int count = 0;      // units of the node in that group
};

struct NetworkNode {
  int number = 0;  // MLG or MLL number, drawn in or beside the node
  int units = 0;   // sampling units: the node's area is proportional to it
  double x = 0, y = 0;
  std::vector<NetworkSlice> slices;  // one slice: a plain disc; more: a pie
};

struct NetworkEdge {
  int from = 0, to = 0;  // indices into nodes
  double distance = 0;   // shorter edges are drawn thicker and darker
  // An edge of an equally short alternative tree, not of the tree drawn
  // solid: thin and dashed, or hidden. When no edge of a network with more
  // edges than a tree is marked, the drawing picks one minimum spanning tree
  // itself (the shortest edges first, in the edges' order) and marks the
  // others.
  bool tiedAlternative = false;
};

struct NetworkChart {
  bool visible = false;
  std::string title;
  std::vector<NetworkNode> nodes;
  std::vector<NetworkEdge> edges;
  // Groups in the order their colours and legend follow (populations in
  // file order); groups met only in the slices come after them.
  std::vector<std::string> groups;
  // Draw the alternative edges (dashed, and free to cross the tree); by
  // default only the tree is drawn, whose edges never cross.
  bool showTiedAlternatives = false;
  bool showNodeLabels = true;  // MLG numbers where they do not collide
};

// One text of the drawing, as laid out: its words and size in points.
struct NetworkText {
  std::string text;
  double points = 0;
  // Where it lies, when the drawing records it (the heat map does; all zero
  // otherwise), in millimetres from the figure's top left corner: the top
  // left corner of the text's box, the box's length along the baseline and
  // its height across it, and the baseline's angle in degrees, clockwise
  // from left-to-right as SVG turns (-90: reads upwards).
  double x = 0, y = 0, width = 0, height = 0, angle = 0;
};

// The drawing as a standalone SVG document (UTF-8) of the figure's size in
// millimetres (its header says so; the view box is in 1/96 inch), laid out
// by LayOutNetwork (network_layout.h): title, the tree without crossings,
// nodes with area proportional to units, edges whose width and grey follow
// the distance, labels that never overlap, and a legend for populations,
// node sizes and distances in a quarter of the figure at most. Texts are
// in points as `options` sets them (the legend's down to 6 pt where room
// is short); control characters are dropped (XML forbids them). `texts`,
// when given, receives every text drawn.
std::string NetworkSvg(const NetworkChart& chart, const FigureOptions& options = {},
                       std::vector<NetworkText>* texts = nullptr);

// Marks as tied alternatives the edges outside one minimum spanning tree
// (Kruskal's: the shortest edges first, ties in the edges' order).
void MarkOneSpanningTree(NetworkChart& chart);

}  // namespace vireltan
