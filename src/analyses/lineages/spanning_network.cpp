// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/lineages/spanning_network.h"

#include <igraph/igraph.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/word_choice.h"

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

// Every edge of some minimum spanning tree, beside a tree of Prim's in O(n^2).
template <typename Cell>
Status AllTiedEdges(int n, Cell& cell, ProgressSink& progress, SpanningNetwork& out) {
  // Prim's tree in O(n^2): the node closest to the tree joins next (ties to
  // the lowest node, and to the lowest tree node it hangs from).
  std::vector<float> key(static_cast<size_t>(n), std::numeric_limits<float>::infinity());
  std::vector<int> parent(static_cast<size_t>(n), -1);
  std::vector<char> inTree(static_cast<size_t>(n), 0);
  std::vector<std::vector<std::pair<int, double>>> tree(static_cast<size_t>(n));
  std::vector<std::pair<int, int>> treeEdges;
  key[0] = 0;
  for (int step = 0; step < n; ++step) {
    if (step % 256 == 0 && progress.Cancelled()) return Status::Cancelled();
    int u = -1;
    for (int v = 0; v < n; ++v)
      if (!inTree[v] && (u < 0 || key[v] < key[u])) u = v;
    if (u < 0) break;  // never: a node is left at every step
    inTree[u] = 1;
    if (parent[u] >= 0) {
      const double w = cell(u, parent[u]);
      tree[u].push_back({parent[u], w});
      tree[parent[u]].push_back({u, w});
      treeEdges.push_back({std::min(u, parent[u]), std::max(u, parent[u])});
      out.treeWeight += w;
      ++out.treeEdgeCount;
    }
    for (int v = 0; v < n; ++v) {
      if (inTree[v] || v == u) continue;
      const float d = cell(u, v);
      if (d < key[v]) {
        key[v] = d;
        parent[v] = u;
      }
    }
  }
  std::sort(treeEdges.begin(), treeEdges.end());
  auto isTreeEdge = [&](int u, int v) {
    return std::binary_search(treeEdges.begin(), treeEdges.end(), std::make_pair(u, v));
  };
  progress.SetPosition(40);

  // From each node, the longest edge on the tree path to every other
  // node; an edge at exactly that distance belongs to some minimum
  // spanning tree.
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
      const double duv = cell(u, v);
      if (seen[v] && duv <= longest[v]) out.edges.push_back({u + 1, v + 1, duv, isTreeEdge(u, v)});
    }
  }
  return Status::Ok();
}

Status Layout(int n, ProgressSink& progress, SpanningNetwork& out, SpanningNetwork& network) {
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

// poppr's network: igraph's Prim tree (igraph_minimum_spanning_tree_prim)
// of the graph of every pair of nodes, weighted by distance, the nodes taken
// in poppr's order; then, with ties, at each node in that order every pair
// with a later node that is not in the tree and is as short as the node's
// shortest tree edge (within poppr's tolerance, 1.5e-8). poppr leaves out
// the pairs at distance 0 (distinct MLGs that differ only where alleles are
// missing), which can leave its tree in pieces; here they stay, at length 0.
template <typename Cell>
Status PopprNetwork(int n, Cell& cell, NetworkTies ties, const std::vector<int>& nodeRank,
                    ProgressSink& progress, SpanningNetwork& out) {
  std::vector<int> nodeAt(static_cast<size_t>(n));  // vertex -> node, 0-based
  for (int k = 0; k < n; ++k) nodeAt[k] = k;
  if (static_cast<int>(nodeRank.size()) == n)
    std::stable_sort(nodeAt.begin(), nodeAt.end(),
                     [&](int a, int b) { return nodeRank[a] < nodeRank[b]; });
  auto distance = [&](int v, int w) -> double { return cell(nodeAt[v], nodeAt[w]); };
  const auto pairs = static_cast<igraph_integer_t>(n) * (n - 1) / 2;
  Graph graph;
  RealVector weights;
  {
    IntVector ends;
    if (igraph_vector_int_init(&ends.v, 2 * pairs) != IGRAPH_SUCCESS)
      return IgraphFailure("the graph of distances");
    ends.made = true;
    if (igraph_vector_init(&weights.v, pairs) != IGRAPH_SUCCESS)
      return IgraphFailure("the graph of distances");
    weights.made = true;
    igraph_integer_t e = 0;
    for (int v = 0; v < n; ++v) {
      if (v % 256 == 0 && progress.Cancelled()) return Status::Cancelled();
      for (int w = v + 1; w < n; ++w, ++e) {
        VECTOR(ends.v)[2 * e] = v;
        VECTOR(ends.v)[2 * e + 1] = w;
        VECTOR(weights.v)[e] = distance(v, w);
      }
    }
    if (igraph_create(&graph.g, &ends.v, n, IGRAPH_UNDIRECTED) != IGRAPH_SUCCESS)
      return IgraphFailure("the graph of distances");
    graph.made = true;
  }
  if (progress.Cancelled()) return Status::Cancelled();
  Graph tree;
  if (igraph_minimum_spanning_tree_prim(&graph.g, &tree.g, &weights.v) != IGRAPH_SUCCESS)
    return IgraphFailure("the minimum spanning tree");
  tree.made = true;
  progress.SetPosition(40);

  std::vector<std::pair<int, int>> treeEdges;  // vertices, smaller first
  std::vector<double> shortest(static_cast<size_t>(n), std::numeric_limits<double>::infinity());
  for (igraph_integer_t e = 0; e < igraph_ecount(&tree.g); ++e) {
    igraph_integer_t from = 0, to = 0;
    if (igraph_edge(&tree.g, e, &from, &to) != IGRAPH_SUCCESS)
      return IgraphFailure("the minimum spanning tree");
    const int v = static_cast<int>(std::min(from, to)), w = static_cast<int>(std::max(from, to));
    const double d = distance(v, w);
    treeEdges.push_back({v, w});
    shortest[v] = std::min(shortest[v], d);
    shortest[w] = std::min(shortest[w], d);
    const int a = nodeAt[v], b = nodeAt[w];
    out.edges.push_back({std::min(a, b) + 1, std::max(a, b) + 1, d, true});
    out.treeWeight += d;
    ++out.treeEdgeCount;
  }
  std::sort(treeEdges.begin(), treeEdges.end());
  if (ties == NetworkTies::kPoppr) {
    constexpr double kTolerance = 1.5e-8;
    for (int v = 0; v < n; ++v) {
      if (v % 256 == 0 && progress.Cancelled()) return Status::Cancelled();
      if (!std::isfinite(shortest[v])) continue;
      for (int w = v + 1; w < n; ++w) {
        const double d = distance(v, w);
        if (std::fabs(d - shortest[v]) > kTolerance ||
            std::binary_search(treeEdges.begin(), treeEdges.end(), std::make_pair(v, w)))
          continue;
        const int a = nodeAt[v], b = nodeAt[w];
        out.edges.push_back({std::min(a, b) + 1, std::max(a, b) + 1, d, false});
      }
    }
  }
  std::sort(out.edges.begin(), out.edges.end(), [](const SpanningEdge& x, const SpanningEdge& y) {
    return x.from != y.from ? x.from < y.from : x.to < y.to;
  });
  return Status::Ok();
}

}  // namespace

const char* NetworkTiesName(NetworkTies ties) {
  switch (ties) {
    case NetworkTies::kAll:
      return "all";
    case NetworkTies::kPoppr:
      return "poppr";
    case NetworkTies::kNone:
      return "none";
  }
  return "";
}

bool ParseNetworkTies(const std::string& word, NetworkTies& ties) {
  return ParseByName(word, {NetworkTies::kAll, NetworkTies::kPoppr, NetworkTies::kNone},
                     NetworkTiesName, ties);
}

std::vector<int> PopprNodeOrder(const std::vector<int>& nodeOfUnit, int n) {
  std::vector<int> rank(static_cast<size_t>(n), -1);
  int next = 0;
  for (int node : nodeOfUnit)
    if (rank[node - 1] < 0) rank[node - 1] = next++;
  for (int& r : rank)  // nodes without units, if any, last
    if (r < 0) r = next++;
  return rank;
}

double SpanningNetworkBytes(double n, NetworkTies ties) {
  // The float triangle, a row of the table (8 bytes per node) and the
  // per-node records of the tree, tie search and layout (about 100 bytes);
  // for poppr's tree, igraph's graph of every pair (its ends twice, two
  // indexes and a weight) and Prim's heap: about 84 bytes a pair more.
  const double perPair = ties == NetworkTies::kAll ? 4 : 88;
  return n * (n - 1) / 2 * perPair + 108 * n;
}

Status BuildSpanningNetwork(const MlgDistanceRows& distances, ProgressSink& progress,
                            SpanningNetwork& network) {
  return BuildSpanningNetwork(distances, NetworkTies::kAll, {}, progress, network);
}

Status BuildSpanningNetwork(const MlgDistanceRows& distances, NetworkTies ties,
                            ProgressSink& progress, SpanningNetwork& network) {
  return BuildSpanningNetwork(distances, ties, {}, progress, network);
}

Status BuildSpanningNetwork(const MlgDistanceRows& distances, NetworkTies ties,
                            const std::vector<int>& nodeRank, ProgressSink& progress,
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

  // The distances once, upper triangle as floats (whole or half numbers,
  // or proportions of loci).
  std::vector<float> triangle(static_cast<size_t>(n) * (n - 1) / 2);
  auto cell = [&](int u, int v) -> float& {  // u != v, 0-based
    if (u > v) std::swap(u, v);
    return triangle[static_cast<size_t>(u) * n - static_cast<size_t>(u) * (u + 1) / 2 +
                    (v - u - 1)];
  };
  {
    std::vector<double> row(static_cast<size_t>(n), 0.0);
    for (int j = 1; j < n; ++j) {
      if (progress.Cancelled()) return Status::Cancelled();
      distances.FillRow(j, j + 1, row);
      for (int k = j + 1; k <= n; ++k) cell(j - 1, k - 1) = static_cast<float>(row[k - 1]);
    }
  }
  progress.SetPosition(20);

  if (ties != NetworkTies::kAll) {
    if (Status built = PopprNetwork(n, cell, ties, nodeRank, progress, out); !built) return built;
  } else {
    if (Status built = AllTiedEdges(n, cell, progress, out); !built) return built;
  }
  triangle.clear();
  triangle.shrink_to_fit();
  // The edges found on the floats carry the distances as computed (13/3,
  // not the float nearest to it): one row of the table per first node.
  {
    std::vector<double> row(static_cast<size_t>(n), 0.0);
    int filled = 0;
    for (SpanningEdge& e : out.edges) {
      if (e.from != filled) {
        if (progress.Cancelled()) return Status::Cancelled();
        distances.FillRow(e.from, e.from + 1, row);
        filled = e.from;
      }
      // A table whose row disagrees with the float it gave keeps the float.
      const double exact = row[e.to - 1];
      if (e.to > e.from && static_cast<float>(exact) == static_cast<float>(e.distance))
        e.distance = exact;
    }
  }
  progress.SetPosition(60);
  return Layout(n, progress, out, network);
}

GroupDistanceRows::GroupDistanceRows(const MlgDistanceRows& mlgDistances,
                                     const std::vector<int>& groupOfMlg, int groupCount)
    : n_(groupCount),
      matrix_(static_cast<size_t>(groupCount) * (groupCount > 0 ? groupCount - 1 : 0) / 2,
              std::numeric_limits<double>::infinity()) {
  const int g = mlgDistances.mlgCount();
  std::vector<double> row(static_cast<size_t>(g), 0.0);
  for (int j = 1; j < g; ++j) {
    mlgDistances.FillRow(j, j + 1, row);
    const int a = groupOfMlg[j - 1] - 1;
    for (int k = j + 1; k <= g; ++k) {
      const int b = groupOfMlg[k - 1] - 1;
      if (a == b) continue;
      double& ab = a < b ? at(a, b) : at(b, a);
      ab = std::min(ab, row[k - 1]);
    }
  }
}

void GroupDistanceRows::FillRow(int j, int first, std::vector<double>& row) const {
  const int a = j - 1;
  for (int k = first; k <= n_; ++k) {
    const int b = k - 1;
    row[k - 1] = a == b ? 0.0 : a < b ? at(a, b) : at(b, a);
  }
}

}  // namespace vireltan
