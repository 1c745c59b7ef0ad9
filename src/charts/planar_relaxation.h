// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Spreads a tree drawn without crossings over a rectangle, keeping it
// without crossings.
//
// A balloon layout (balloon_tree_layout.h) never crosses but draws long
// chains of nodes as straight lines that a page cannot hold at a legible
// size. The relaxation lets springs on the edges and a repulsion between
// nodes (Fruchterman and Reingold's forces) bend such chains and fill the
// rectangle, node by node with a step that cools; a step that would make
// an edge of the moved node cross another edge is not taken, so the
// drawing stays free of crossings.
#include <vector>

#include "charts/balloon_tree_layout.h"

namespace vireltan {

struct PlanarRelaxation {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the rectangle, mm
  double gap = 1;                         // wished room between discs, mm
  int iterations = 400;                   // at most; fewer for large trees
};

// Moves `at` (nodes 0..n-1 with discs of `radius`, mm) within the
// rectangle; `edges` are the tree's, each with a relative length (1: the
// usual pull; 2: half of it, so that the edge stretches; 0.5 to 2).
// Discs are kept inside the rectangle. About iterations x
// (n^2 + n x edges) steps, bounded to some 10^8 in all.
void RelaxPlanarTree(std::vector<TreePoint>& at, const std::vector<double>& radius,
                     const std::vector<TreeEdgeLength>& edges, const PlanarRelaxation& options);

// Pairs of the edges that cross (segments meeting inside both), O(edges^2).
int CountCrossings(const std::vector<TreePoint>& at, const std::vector<TreeEdgeLength>& edges);

}  // namespace vireltan
