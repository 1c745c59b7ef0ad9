// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A balloon layout of a tree (or forest) whose edges never cross.
//
// Each node's subtree is drawn inside a disc around the node (its balloon).
// A node's children sit around it, each child's balloon inside a cone seen
// from the node that no other child's cone overlaps and that leaves out the
// direction back to the node's own parent; the edge to a child runs inside
// the child's cone. Subtrees therefore never meet and no two edges cross,
// whatever the node sizes. Edges are as long as asked where the children's
// cones fit around the node, longer (all of one node's children alike)
// where they do not.
#include <vector>

namespace vireltan {

struct TreeEdgeLength {
  int a = 0, b = 0;   // node indices, 0 .. n-1
  double length = 0;  // wished distance between the two centres, mm
};

struct TreePoint {
  double x = 0, y = 0;  // mm, y downwards as on the page
};

// Positions of nodes 0..n-1 with discs of `radius` (mm) kept at least `gap`
// (mm) apart from any disc outside their subtree. Edges closing a cycle
// are left out of the tree (the first edges given win); nodes of separate
// trees are laid side by side. Each tree is rooted at its centre (the node
// of fewest hops to its farthest node). O(n log n) in the number of nodes.
std::vector<TreePoint> BalloonTreeLayout(int n, const std::vector<TreeEdgeLength>& edges,
                                         const std::vector<double>& radius, double gap);

// Whether segments p1-p2 and q1-q2 cross at a point inside both (segments
// that only share an end do not cross).
bool SegmentsCross(TreePoint p1, TreePoint p2, TreePoint q1, TreePoint q2);

}  // namespace vireltan
