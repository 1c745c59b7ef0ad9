// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/lineages/spanning_network.h"

#include <igraph/igraph.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vireltan {

namespace {

// igraph objects released on every way out.
struct Graph {
  igraph_t g;
  bool made = false;
  ~Graph() {
    if (made) igraph_destroy(&g);
  }
};
struct IntVector {
  igraph_vector_int_t v;
  bool made = false;
  ~IntVector() {
    if (made) igraph_vector_int_destroy(&v);
  }
};
struct RealVector {
  igraph_vector_t v;
  bool made = false;
  ~RealVector() {
    if (made) igraph_vector_destroy(&v);
  }
};
struct Matrix {
  igraph_matrix_t m;
  bool made = false;
  ~Matrix() {
    if (made) igraph_matrix_destroy(&m);
  }
};

// igraph aborts the program on an error unless told otherwise; here every
// call's result is checked instead.
struct QuietIgraphErrors {
  igraph_error_handler_t* previous;
  QuietIgraphErrors() : previous(igraph_set_error_handler(igraph_error_handler_ignore)) {}
  ~QuietIgraphErrors() { igraph_set_error_handler(previous); }
};

Status IgraphFailure(const char* what) {
  return Status::Error(std::string("The network could not be built: ") + what +
                       " failed (out of memory?).");
}

// Fixed seed of the layout: the same data always give the same drawing.
constexpr igraph_uint_t kLayoutSeed = 20260101;

}  // namespace

Status BuildSpanningNetwork(const MlgDistanceRows& distances, ProgressSink& progress,
                            SpanningNetwork& network) {
  QuietIgraphErrors quiet;
  const int n = distances.mlgCount();
  SpanningNetwork out;
  out.x.assign(static_cast<size_t>(n), 0.0);
  out.y.assign(static_cast<size_t>(n), 0.0);
  if (n <= 1) {
    network = std::move(out);
    return Status::Ok();
  }
  progress.SetPosition(0);

  // The complete graph, edges in row order (j < k), with its distances.
  const igraph_integer_t pairs = static_cast<igraph_integer_t>(n) * (n - 1) / 2;
  IntVector edges;
  RealVector weights;
  if (igraph_vector_int_init(&edges.v, 2 * pairs) != IGRAPH_SUCCESS)
    return IgraphFailure("the edge list");
  edges.made = true;
  if (igraph_vector_init(&weights.v, pairs) != IGRAPH_SUCCESS) return IgraphFailure("the weights");
  weights.made = true;
  // The full distance matrix serves the tie search below (n^2 doubles).
  std::vector<double> d(static_cast<size_t>(n) * n, 0.0);
  std::vector<double> row(static_cast<size_t>(n), 0.0);
  igraph_integer_t e = 0;
  for (int j = 1; j < n; ++j) {
    if (progress.Cancelled()) return Status::Cancelled();
    distances.FillRow(j, j + 1, row);
    for (int k = j + 1; k <= n; ++k, ++e) {
      VECTOR(edges.v)[2 * e] = j - 1;
      VECTOR(edges.v)[2 * e + 1] = k - 1;
      VECTOR(weights.v)[e] = row[k - 1];
      d[static_cast<size_t>(j - 1) * n + (k - 1)] = row[k - 1];
      d[static_cast<size_t>(k - 1) * n + (j - 1)] = row[k - 1];
    }
  }
  Graph complete;
  if (igraph_create(&complete.g, &edges.v, n, IGRAPH_UNDIRECTED) != IGRAPH_SUCCESS)
    return IgraphFailure("the complete graph");
  complete.made = true;
  IntVector treeEdges;
  if (igraph_vector_int_init(&treeEdges.v, 0) != IGRAPH_SUCCESS) return IgraphFailure("the tree");
  treeEdges.made = true;
  if (igraph_minimum_spanning_tree(&complete.g, &treeEdges.v, &weights.v) != IGRAPH_SUCCESS)
    return IgraphFailure("the minimum spanning tree");
  progress.SetPosition(30);

  // The tree as adjacency lists.
  std::vector<std::vector<std::pair<int, double>>> tree(static_cast<size_t>(n));
  for (igraph_integer_t i = 0; i < igraph_vector_int_size(&treeEdges.v); ++i) {
    igraph_integer_t id = VECTOR(treeEdges.v)[i];
    int a = static_cast<int>(IGRAPH_FROM(&complete.g, id));
    int b = static_cast<int>(IGRAPH_TO(&complete.g, id));
    double w = VECTOR(weights.v)[id];
    tree[a].push_back({b, w});
    tree[b].push_back({a, w});
    out.treeWeight += w;
    ++out.treeEdgeCount;
  }

  // From each node, the longest edge on the tree path to every other node;
  // an edge at exactly that distance belongs to some minimum spanning tree.
  std::vector<double> longest(static_cast<size_t>(n));
  std::vector<int> stack;
  std::vector<char> seen(static_cast<size_t>(n));
  for (int u = 0; u < n; ++u) {
    if (progress.Cancelled()) return Status::Cancelled();
    std::fill(seen.begin(), seen.end(), 0);
    longest[u] = 0;
    seen[u] = 1;
    stack.assign(1, u);
    while (!stack.empty()) {
      int v = stack.back();
      stack.pop_back();
      for (auto [w, weight] : tree[v]) {
        if (seen[w]) continue;
        seen[w] = 1;
        longest[w] = std::max(longest[v], weight);
        stack.push_back(w);
      }
    }
    for (int v = u + 1; v < n; ++v) {
      double duv = d[static_cast<size_t>(u) * n + v];
      if (seen[v] && duv <= longest[v]) out.edges.push_back({u + 1, v + 1, duv});
    }
  }
  d.clear();
  d.shrink_to_fit();
  progress.SetPosition(60);

  // Force-directed layout of the network itself.
  IntVector networkEdges;
  if (igraph_vector_int_init(&networkEdges.v,
                             2 * static_cast<igraph_integer_t>(out.edges.size())) != IGRAPH_SUCCESS)
    return IgraphFailure("the network edges");
  networkEdges.made = true;
  for (size_t i = 0; i < out.edges.size(); ++i) {
    VECTOR(networkEdges.v)[2 * i] = out.edges[i].from - 1;
    VECTOR(networkEdges.v)[2 * i + 1] = out.edges[i].to - 1;
  }
  Graph graph;
  if (igraph_create(&graph.g, &networkEdges.v, n, IGRAPH_UNDIRECTED) != IGRAPH_SUCCESS)
    return IgraphFailure("the network graph");
  graph.made = true;
  Matrix layout;
  if (igraph_matrix_init(&layout.m, n, 2) != IGRAPH_SUCCESS) return IgraphFailure("the layout");
  layout.made = true;
  igraph_rng_seed(igraph_rng_default(), kLayoutSeed);
  if (igraph_layout_fruchterman_reingold(&graph.g, &layout.m, false, 500, std::sqrt(n),
                                         IGRAPH_LAYOUT_AUTOGRID, nullptr, nullptr, nullptr, nullptr,
                                         nullptr) != IGRAPH_SUCCESS)
    return IgraphFailure("the layout");
  for (int k = 0; k < n; ++k) {
    out.x[k] = MATRIX(layout.m, k, 0);
    out.y[k] = MATRIX(layout.m, k, 1);
  }
  progress.SetPosition(100);
  network = std::move(out);
  return Status::Ok();
}

GroupDistanceRows::GroupDistanceRows(const MlgDistanceRows& mlgDistances,
                                     const std::vector<int>& groupOfMlg, int groupCount)
    : n_(groupCount),
      matrix_(static_cast<size_t>(groupCount) * groupCount,
              std::numeric_limits<double>::infinity()) {
  const int g = mlgDistances.mlgCount();
  std::vector<double> row(static_cast<size_t>(g), 0.0);
  for (int j = 1; j < g; ++j) {
    mlgDistances.FillRow(j, j + 1, row);
    const int a = groupOfMlg[j - 1] - 1;
    for (int k = j + 1; k <= g; ++k) {
      const int b = groupOfMlg[k - 1] - 1;
      if (a == b) continue;
      double& ab = matrix_[static_cast<size_t>(a) * n_ + b];
      ab = std::min(ab, row[k - 1]);
      matrix_[static_cast<size_t>(b) * n_ + a] = ab;
    }
  }
  for (int a = 0; a < n_; ++a) matrix_[static_cast<size_t>(a) * n_ + a] = 0;
}

void GroupDistanceRows::FillRow(int j, int first, std::vector<double>& row) const {
  for (int k = first; k <= n_; ++k) row[k - 1] = matrix_[static_cast<size_t>(j - 1) * n_ + k - 1];
}

}  // namespace vireltan
