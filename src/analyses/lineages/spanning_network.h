// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The minimum spanning network of MLGs (or MLLs): how genotypes relate.
//
// Over the complete graph of the nodes weighted by their genetic distance, a
// minimum spanning tree joins every node with the least total distance. It
// is seldom unique: genetic distances take few values, so equally short
// alternative edges abound, and drawing one tree would suggest relations the
// data do not single out. Which tied edges the network keeps beside the tree:
//   - all: every edge that belongs to some minimum spanning tree, i.e. whose
//     distance equals the longest edge on the tree path between its ends (it
//     could replace that edge), beside a tree of Prim's (ties to the lowest
//     node number);
//   - poppr (the default, poppr's msn with its ties): the tree poppr draws,
//     igraph's Prim tree with the nodes in poppr's order (PopprNodeOrder:
//     as their first units come in the file), and then, at each node in
//     that order, every pair with a later node as short as the node's
//     shortest tree edge;
//   - none: poppr's tree alone.
// poppr leaves distinct MLGs at distance 0 (they differ only where alleles
// are missing) unconnected; here they are joined at length 0.
// Each edge says whether it is in the tree or a tied alternative, so that
// the drawing can tell them apart. The drawing comes from igraph's
// force-directed (Fruchterman-Reingold) layout of the network.
#include <string>
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

enum class NetworkTies { kAll, kPoppr, kNone };
// "all", "poppr", "none" (the words of the command line).
const char* NetworkTiesName(NetworkTies ties);
bool ParseNetworkTies(const std::string& word, NetworkTies& ties);

struct SpanningEdge {
  int from = 0, to = 0;  // node numbers (1..n), from < to
  double distance = 0;
  bool inTree = true;  // in the tree found; false: a tied alternative
};

struct SpanningNetwork {
  // The edges of the network, ties included, ordered by from then to.
  std::vector<SpanningEdge> edges;
  // Total distance of the edges of the single tree found (no ties).
  double treeWeight = 0;
  int treeEdgeCount = 0;
  // Layout position of node k at index k-1.
  std::vector<double> x, y;
};

// poppr's order of the nodes of a network (0-based rank per node, index
// k-1): the order in which their first units come in the file. nodeOfUnit
// holds each unit's node (1..n), in file order.
std::vector<int> PopprNodeOrder(const std::vector<int>& nodeOfUnit, int n);

// Builds the network over nodes 1..n of `distances`; `nodeRank` (0-based
// per node, index k-1) is the order of the nodes for poppr's tree and ties,
// empty for node order.
// Holds the n(n-1)/2 distances once, as floats (the edges found then take
// their distances from `distances` again, exact), and for poppr's tree
// igraph's graph of every pair (see SpanningNetworkBytes: 50 MB at
// n = 5,000 with every tied edge, about 1.1 GB with poppr's); the tree and
// the tie search cost O(n^2 log n) time at most. The layout is seeded, so the
// same data give the same picture.
Status BuildSpanningNetwork(const MlgDistanceRows& distances, NetworkTies ties,
                            const std::vector<int>& nodeRank, ProgressSink& progress,
                            SpanningNetwork& network);
// The same in node order.
Status BuildSpanningNetwork(const MlgDistanceRows& distances, NetworkTies ties,
                            ProgressSink& progress, SpanningNetwork& network);
// Every edge of some minimum spanning tree (NetworkTies::kAll).
Status BuildSpanningNetwork(const MlgDistanceRows& distances, ProgressSink& progress,
                            SpanningNetwork& network);

// Bytes the network of n nodes holds at once (the memory guard's estimate).
double SpanningNetworkBytes(double n, NetworkTies ties);

// Distances between groups of MLGs (lineages): the smallest distance between
// an MLG of one and an MLG of the other. Holds the n(n-1)/2 group distances
// as doubles (the network's edges carry them exactly).
class GroupDistanceRows : public MlgDistanceRows {
 public:
  // groupOfMlg[m-1] is the group (1..groupCount) of MLG m.
  GroupDistanceRows(const MlgDistanceRows& mlgDistances, const std::vector<int>& groupOfMlg,
                    int groupCount);
  int mlgCount() const override { return n_; }
  void FillRow(int j, int first, std::vector<double>& row) const override;

 private:
  double& at(int a, int b) {  // a < b, 0-based
    return matrix_[static_cast<size_t>(a) * n_ - static_cast<size_t>(a) * (a + 1) / 2 +
                   (b - a - 1)];
  }
  double at(int a, int b) const {
    return matrix_[static_cast<size_t>(a) * n_ - static_cast<size_t>(a) * (a + 1) / 2 +
                   (b - a - 1)];
  }
  int n_;
  std::vector<double> matrix_;
};

}  // namespace vireltan
