// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/balloon_tree_layout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vireltan {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Angle left free around the edge back to a node's parent, radians: the
// children fan out over the half turn ahead at most, so that a node sits
// near the side of its balloon facing its parent and its edge stays short.
constexpr double kBackGap = kPi;
// Angle a fan of children opens at least per child, radians (about 57
// degrees), so that two or three children spread out rather than bunch.
constexpr double kFanPerChild = 1.0;

int Root(std::vector<int>& parent, int i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

struct Child {
  int node = 0;
  double length = 0;  // wished centre distance, mm
};

// The tree as adjacency lists, edges closing a cycle left out.
std::vector<std::vector<Child>> Forest(int n, const std::vector<TreeEdgeLength>& edges) {
  std::vector<std::vector<Child>> next(static_cast<size_t>(n));
  std::vector<int> parent(static_cast<size_t>(n));
  std::iota(parent.begin(), parent.end(), 0);
  for (const TreeEdgeLength& e : edges) {
    if (e.a < 0 || e.b < 0 || e.a >= n || e.b >= n || e.a == e.b) continue;
    const int a = Root(parent, e.a), b = Root(parent, e.b);
    if (a == b) continue;
    parent[a] = b;
    const double length = std::isfinite(e.length) ? std::max(0.0, e.length) : 0.0;
    next[e.a].push_back({e.b, length});
    next[e.b].push_back({e.a, length});
  }
  return next;
}

// Nodes in breadth-first order from `from`, with each one's hop count.
std::vector<int> Breadth(const std::vector<std::vector<Child>>& next, int from,
                         std::vector<int>& hops) {
  std::vector<int> order{from};
  hops[from] = 0;
  for (size_t k = 0; k < order.size(); ++k)
    for (const Child& c : next[order[k]])
      if (hops[c.node] < 0) {
        hops[c.node] = hops[order[k]] + 1;
        order.push_back(c.node);
      }
  return order;
}

// The centre of the tree holding `any`: the middle of a longest path.
int Centre(const std::vector<std::vector<Child>>& next, int any) {
  std::vector<int> hops(next.size(), -1);
  const int far = Breadth(next, any, hops).back();
  std::fill(hops.begin(), hops.end(), -1);
  const std::vector<int> order = Breadth(next, far, hops);
  int node = order.back();
  for (int step = hops[node] / 2; step > 0; --step)
    for (const Child& c : next[node])
      if (hops[c.node] == hops[node] - 1) {
        node = c.node;
        break;
      }
  return node;
}

// Total angle the children's cones take at `scale` times their lengths.
double Need(const std::vector<Child>& children, const std::vector<double>& balloon, double scale) {
  double sum = 0;
  for (const Child& c : children)
    sum += 2 * std::asin(std::min(1.0, balloon[c.node] / (scale * c.length)));
  return sum;
}

}  // namespace

std::vector<TreePoint> BalloonTreeLayout(int n, const std::vector<TreeEdgeLength>& edges,
                                         const std::vector<double>& radius, double gap) {
  std::vector<TreePoint> at(static_cast<size_t>(std::max(0, n)));
  if (n <= 0) return at;
  const std::vector<std::vector<Child>> next = Forest(n, edges);
  auto r = [&](int v) {
    return v < static_cast<int>(radius.size()) && std::isfinite(radius[v])
               ? std::max(0.0, radius[v])
               : 0.0;
  };
  gap = std::isfinite(gap) ? std::max(0.0, gap) : 0.0;

  std::vector<int> hops(static_cast<size_t>(n), -1);
  std::vector<char> placed(static_cast<size_t>(n), 0);
  // Per node: its balloon's radius, how far the balloon's centre lies
  // ahead of the node (along the direction away from its parent), and
  // its children's directions (relative to that) and balloon distances.
  std::vector<double> balloon(static_cast<size_t>(n), 0), ahead(static_cast<size_t>(n), 0);
  std::vector<std::vector<Child>> children(static_cast<size_t>(n));
  std::vector<std::vector<double>> angleOf(static_cast<size_t>(n)), reach(static_cast<size_t>(n));
  double rowX = 0;  // left edge of the next tree's balloon, mm
  for (int first = 0; first < n; ++first) {
    if (placed[first]) continue;
    const int root = Centre(next, first);
    const std::vector<int> order = Breadth(next, root, hops);
    for (int v : order) {
      placed[v] = 1;
      for (const Child& c : next[v])
        if (hops[c.node] == hops[v] + 1) children[v].push_back(c);
    }
    // Balloons from the leaves up. A child's balloon holds the child near
    // its side facing the parent, so that the edge stays short; the
    // children's cones must fit in the node's fan, their balloons moved
    // out alike until they do.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
      const int v = *it;
      std::vector<Child>& kids = children[v];
      // The largest balloons in the middle of the fan, smaller ones to
      // either side.
      std::stable_sort(kids.begin(), kids.end(), [&](const Child& a, const Child& b) {
        return balloon[a.node] > balloon[b.node];
      });
      if (!kids.empty()) {
        std::vector<Child> fan(kids.size());
        size_t left = (kids.size() - 1) / 2, right = left + 1;
        for (size_t k = 0; k < kids.size(); ++k) fan[k % 2 == 0 ? left-- : right++] = kids[k];
        kids = std::move(fan);
      }
      // Distance from v to each child's balloon centre: the wished edge
      // plus how far the centre lies beyond the child, and clear of v.
      for (Child& c : kids)
        c.length = std::max(ahead[c.node] + c.length, r(v) + balloon[c.node] + gap);
      const double budget = v == root ? 2 * kPi : 2 * kPi - kBackGap;
      double s = 1;
      if (!kids.empty() && Need(kids, balloon, 1) > budget) {
        double lo = 1, hi = 2;
        while (Need(kids, balloon, hi) > budget && hi < 1e9) hi *= 2;
        for (int step = 0; step < 50; ++step) {
          const double mid = (lo + hi) / 2;
          (Need(kids, balloon, mid) > budget ? lo : hi) = mid;
        }
        s = hi;
      }
      const double need = Need(kids, balloon, s);
      const double span =
          v == root ? budget : std::min(budget, std::max(need, kFanPerChild * kids.size()));
      const double extra = kids.empty() ? 0 : (span - need) / kids.size();
      double angle = -span / 2;
      std::vector<TreePoint> centres;
      for (const Child& c : kids) {
        const double half = std::asin(std::min(1.0, balloon[c.node] / (s * c.length)));
        const double a = angle + half + extra / 2;
        angleOf[v].push_back(a);
        reach[v].push_back(s * c.length);
        centres.push_back({s * c.length * std::cos(a), s * c.length * std::sin(a)});
        angle += 2 * half + extra;
      }
      // The balloon: the smallest disc centred on the outward axis (the
      // root's: on the root) holding v's disc and the children's.
      auto radiusAt = [&](double x) {
        double most = std::abs(x) + r(v) + gap / 2;
        for (size_t k = 0; k < kids.size(); ++k)
          most = std::max(most, std::hypot(centres[k].x - x, centres[k].y) + balloon[kids[k].node]);
        return most;
      };
      double lo = 0, hi = 0;
      if (v != root)
        for (const TreePoint& c : centres) hi = std::max(hi, c.x);
      for (int step = 0; step < 60 && hi - lo > 1e-9; ++step) {
        const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
        if (radiusAt(m1) > radiusAt(m2))
          lo = m1;
        else
          hi = m2;
      }
      ahead[v] = (lo + hi) / 2;
      balloon[v] = radiusAt(ahead[v]);
    }
    // Positions from the root down: each child's balloon centre at its
    // distance and direction from the node, the child just before it.
    at[root] = {rowX + balloon[root], 0};
    std::vector<double> outward(static_cast<size_t>(n), 0);
    for (int v : order) {
      const std::vector<Child>& kids = children[v];
      for (size_t k = 0; k < kids.size(); ++k) {
        const int c = kids[k].node;
        const double a = outward[v] + angleOf[v][k];
        const double d = reach[v][k] - ahead[c];
        at[c] = {at[v].x + d * std::cos(a), at[v].y + d * std::sin(a)};
        outward[c] = a;
      }
    }
    rowX += 2 * balloon[root] + gap;
  }
  return at;
}

bool SegmentsCross(TreePoint p1, TreePoint p2, TreePoint q1, TreePoint q2) {
  auto cross = [](TreePoint o, TreePoint a, TreePoint b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
  };
  auto same = [](TreePoint a, TreePoint b) { return a.x == b.x && a.y == b.y; };
  if (same(p1, q1) || same(p1, q2) || same(p2, q1) || same(p2, q2)) return false;
  const double d1 = cross(q1, q2, p1), d2 = cross(q1, q2, p2);
  const double d3 = cross(p1, p2, q1), d4 = cross(p1, p2, q2);
  return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

}  // namespace vireltan
