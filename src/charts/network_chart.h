// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A network drawing described plainly: nodes at positions with a size and
// colour slices, edges with a length label. The minimum spanning network
// fills one; the engine writes it as an SVG drawing itself (a network is
// not a plot over axes), and front ends show or convert that drawing.
#include <string>
#include <vector>

namespace vireltan {

struct NetworkSlice {
  std::string group;  // what the colour stands for (a population)
  int count = 0;      // units of the node in that group
};

struct NetworkNode {
  int number = 0;  // MLG or MLL number, drawn in the node
  int units = 0;   // sampling units: the node's area is proportional to it
  double x = 0, y = 0;
  std::vector<NetworkSlice> slices;  // one slice: a plain disc; more: a pie
};

struct NetworkEdge {
  int from = 0, to = 0;  // indices into nodes
  double distance = 0;   // drawn as the label; shorter edges are thicker and darker
  bool inTree = true;    // in the minimum spanning tree found; false: a tied alternative
};

struct NetworkChart {
  bool visible = false;
  std::string title;
  std::vector<NetworkNode> nodes;
  std::vector<NetworkEdge> edges;
  // Groups in the order their colours and legend follow (populations in
  // file order); groups met only in the slices come after them.
  std::vector<std::string> groups;
};

// The drawing as a standalone SVG document (UTF-8), sized to hold every
// node. Node areas are proportional to units, group colours follow the
// order in which groups are first met.
std::string NetworkSvg(const NetworkChart& chart);

}  // namespace vireltan
