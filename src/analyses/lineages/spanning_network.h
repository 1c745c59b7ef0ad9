// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The minimum spanning network of MLGs (or MLLs): how genotypes relate.
//
// Over the complete graph of the nodes weighted by their genetic distance, a
// minimum spanning tree joins every node with the least total distance. It
// is seldom unique: genetic distances take few values, so equally short
// alternative edges abound, and drawing one tree would suggest relations the
// data do not single out. The network therefore keeps every edge that
// belongs to some minimum spanning tree: an edge (u, v) is kept when its
// distance equals the longest edge on the tree path from u to v (it could
// replace that edge). The tree comes from igraph's minimum spanning tree and
// the drawing from its force-directed (Fruchterman-Reingold) layout.
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

struct SpanningEdge {
  int from = 0, to = 0;  // node numbers (1..n), from < to
  double distance = 0;
};

struct SpanningNetwork {
  // The edges of the network, ties included, ordered by from then to.
  std::vector<SpanningEdge> edges;
  // Total distance of the edges of the single tree igraph found (no ties).
  double treeWeight = 0;
  int treeEdgeCount = 0;
  // Layout position of node k at index k-1.
  std::vector<double> x, y;
};

// Builds the network over nodes 1..n of `distances`. The complete graph has
// n(n-1)/2 edges (2 million at n = 2,000), held in memory while igraph finds
// the tree; the tie search then costs O(n^2). The layout is seeded, so the
// same data give the same picture.
Status BuildSpanningNetwork(const MlgDistanceRows& distances, ProgressSink& progress,
                            SpanningNetwork& network);

// Distances between groups of MLGs (lineages): the smallest distance between
// an MLG of one and an MLG of the other. Holds the n x n group matrix.
class GroupDistanceRows : public MlgDistanceRows {
 public:
  // groupOfMlg[m-1] is the group (1..groupCount) of MLG m.
  GroupDistanceRows(const MlgDistanceRows& mlgDistances, const std::vector<int>& groupOfMlg,
                    int groupCount);
  int mlgCount() const override { return n_; }
  void FillRow(int j, int first, std::vector<double>& row) const override;

 private:
  int n_;
  std::vector<double> matrix_;
};

}  // namespace vireltan
