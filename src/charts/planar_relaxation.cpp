// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/planar_relaxation.h"

#include <algorithm>
#include <cmath>

namespace vireltan {

namespace {

// Work allowed in all, in pair visits: a network of a few hundred nodes
// relaxes fully, one of thousands hardly (its balloons stay as they are).
constexpr double kWorkBound = 1e8;

bool Valid(const TreeEdgeLength& e, int n) {
  return e.a >= 0 && e.b >= 0 && e.a < n && e.b < n && e.a != e.b;
}

}  // namespace

int CountCrossings(const std::vector<TreePoint>& at, const std::vector<TreeEdgeLength>& edges) {
  const int n = static_cast<int>(at.size());
  int crossings = 0;
  for (size_t i = 0; i < edges.size(); ++i) {
    if (!Valid(edges[i], n)) continue;
    for (size_t j = i + 1; j < edges.size(); ++j) {
      if (!Valid(edges[j], n)) continue;
      const TreeEdgeLength &e = edges[i], &f = edges[j];
      if (e.a == f.a || e.a == f.b || e.b == f.a || e.b == f.b) continue;
      crossings += SegmentsCross(at[e.a], at[e.b], at[f.a], at[f.b]);
    }
  }
  return crossings;
}

void RelaxPlanarTree(std::vector<TreePoint>& at, const std::vector<double>& radius,
                     const std::vector<TreeEdgeLength>& edges, const PlanarRelaxation& o) {
  const int n = static_cast<int>(at.size());
  if (n < 2 || static_cast<int>(radius.size()) < n) return;
  const double W = o.x1 - o.x0, H = o.y1 - o.y0;
  if (!(W > 0) || !(H > 0)) return;
  std::vector<TreeEdgeLength> tree;
  for (const TreeEdgeLength& e : edges)
    if (Valid(e, n)) tree.push_back(e);
  std::vector<std::vector<int>> incident(static_cast<size_t>(n));
  for (size_t k = 0; k < tree.size(); ++k) {
    incident[tree[k].a].push_back(static_cast<int>(k));
    incident[tree[k].b].push_back(static_cast<int>(k));
  }
  const double work = static_cast<double>(n) * n + 2.0 * n * tree.size();
  const int iterations =
      std::min(o.iterations, static_cast<int>(std::min(1e6, kWorkBound / std::max(1.0, work))));
  // Fruchterman and Reingold's ideal distance from the room per node; the
  // distances measured between the discs' rims.
  const double k = std::sqrt(W * H / n) * 0.6;
  // Nodes farther apart than this do not repel (Fruchterman and Reingold's
  // grid variant), and a pull towards the middle holds the drawing
  // together instead of the rectangle's sides.
  const double reach = 2.5 * k;
  const double gravity = 0.6;
  const TreePoint middle{(o.x0 + o.x1) / 2, (o.y0 + o.y1) / 2};
  const double gap = std::max(0.05, o.gap);
  // Whether node i's disc at p stays in the rectangle (or comes no
  // farther out of it) and comes no closer to another disc than the gap
  // allows (or than it is already): moves never pile nodes up.
  auto fits = [&](int i, TreePoint p) {
    const double r = std::min(radius[i], std::min(W, H) / 2);
    auto out = [&](TreePoint q) {
      return std::max({0.0, o.x0 + r - q.x, q.x - (o.x1 - r), o.y0 + r - q.y, q.y - (o.y1 - r)});
    };
    if (out(p) > 0 && out(p) >= out(at[i])) return false;
    for (int j = 0; j < n; ++j) {
      if (j == i) continue;
      const double near = radius[i] + radius[j] + 0.3 * gap;
      const double dx = p.x - at[j].x, dy = p.y - at[j].y;
      if (dx * dx + dy * dy >= near * near) continue;
      if (std::hypot(dx, dy) < std::hypot(at[i].x - at[j].x, at[i].y - at[j].y)) return false;
    }
    return true;
  };
  // Whether node i at p would make one of its edges cross another edge.
  auto crosses = [&](int i, TreePoint p) {
    for (int e : incident[i]) {
      const int u = tree[e].a == i ? tree[e].b : tree[e].a;
      for (const TreeEdgeLength& f : tree) {
        if (f.a == i || f.b == i || f.a == u || f.b == u) continue;
        if (SegmentsCross(p, at[u], at[f.a], at[f.b])) return true;
      }
    }
    return false;
  };
  std::vector<TreePoint> push(static_cast<size_t>(n));
  const double hottest = std::min(W, H) / 8;
  for (int step = 0; step < iterations; ++step) {
    const double heat = hottest * (1 - static_cast<double>(step) / iterations) + 0.02;
    std::fill(push.begin(), push.end(), TreePoint{});
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) {
        double dx = at[i].x - at[j].x, dy = at[i].y - at[j].y;
        double d = std::hypot(dx, dy);
        if (d - radius[i] - radius[j] > reach) continue;
        if (d < 1e-9) {  // the same place: apart along a fixed slant
          dx = 1e-3 * (1 + (i % 7));
          dy = 1e-3 * (1 + (j % 5));
          d = std::hypot(dx, dy);
        }
        const double rim = std::max(0.05 * gap, d - radius[i] - radius[j]);
        // Discs closer than the gap push hard.
        double f = k * k / rim;
        if (rim < gap) f *= 1 + (gap - rim) / (0.1 * gap);
        push[i].x += dx / d * f;
        push[i].y += dy / d * f;
        push[j].x -= dx / d * f;
        push[j].y -= dy / d * f;
      }
    for (int i = 0; i < n; ++i) {
      push[i].x += gravity * (middle.x - at[i].x) * (H / W);
      push[i].y += gravity * (middle.y - at[i].y) * (W / H);
    }
    for (const TreeEdgeLength& e : tree) {
      const double dx = at[e.a].x - at[e.b].x, dy = at[e.a].y - at[e.b].y;
      const double d = std::hypot(dx, dy);
      if (d < 1e-9) continue;
      const double rim = std::max(0.0, d - radius[e.a] - radius[e.b]);
      // A longer wished length (a longer distance) pulls less.
      const double f = rim * rim / (k * std::clamp(e.length, 0.5, 2.0));
      push[e.a].x -= dx / d * f;
      push[e.a].y -= dy / d * f;
      push[e.b].x += dx / d * f;
      push[e.b].y += dy / d * f;
    }
    for (int i = 0; i < n; ++i) {
      const double length = std::hypot(push[i].x, push[i].y);
      if (length < 1e-12) continue;
      const double move = std::min(length, heat);
      for (double share : {1.0, 0.5, 0.25, 0.1}) {
        const TreePoint p{at[i].x + push[i].x / length * move * share,
                          at[i].y + push[i].y / length * move * share};
        if (fits(i, p) && !crosses(i, p)) {
          at[i] = p;
          break;
        }
      }
    }
  }
}

}  // namespace vireltan
