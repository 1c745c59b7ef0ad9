// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/network_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "charts/balloon_tree_layout.h"
#include "charts/figure_text.h"
#include "charts/planar_relaxation.h"

namespace vireltan {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMmPerPoint = 25.4 / 72;
// Average advance of a character of DejaVu Sans in ems, a little wide so
// that nothing measured overflows; its digits are 0.636 em wide.
constexpr double kCharEms = 0.6;
constexpr double kBoldCharEms = 0.66;
constexpr double kDigitEms = 0.64;
// Height of digits above the baseline, ems (DejaVu Sans: 0.729).
constexpr double kDigitHeightEms = 0.76;
// Margin around the figure and between its parts, mm (4 pt).
constexpr double kPad = 4 * kMmPerPoint;
// Smallest node drawn, mm (radius): a dot still seen at print size.
constexpr double kMinRadius = 0.5;
// Share of the plot's area the nodes may cover together: the rest is
// room for edges and labels.
constexpr double kNodeShare = 0.18;
// Okabe & Ito's colours, distinct under the common colour blindnesses; the
// eighth (black) is for an eighth population, else "others" take grey.
constexpr const char* kPalette[] = {"#E69F00", "#56B4E9", "#009E73", "#F0E442",
                                    "#0072B2", "#D55E00", "#CC79A7", "#000000"};
constexpr const char* kOthersColour = "#BBBBBB";
constexpr int kLegendPopulations = 8;

double TextWidth(const std::string& text, double points, bool bold = false) {
  return Utf8Length(text) * points * kMmPerPoint * (bold ? kBoldCharEms : kCharEms);
}

// --- Colours --------------------------------------------------------------

// Groups in the legend's order with their colours; with more than eight,
// the seven with most units (ties: the first listed) and "others".
void ChooseColours(const NetworkChart& chart, NetworkLayout& out, std::vector<std::string>& shown) {
  std::vector<std::string> groups;
  std::map<std::string, long long> units;
  for (const std::string& g : chart.groups)
    if (units.emplace(g, 0).second) groups.push_back(g);
  for (const NetworkNode& node : chart.nodes)
    for (const NetworkSlice& s : node.slices) {
      if (units.emplace(s.group, 0).second) groups.push_back(s.group);
      units[s.group] += std::max(0, s.count);
    }
  std::vector<std::string> kept = groups;
  if (static_cast<int>(groups.size()) > kLegendPopulations) {
    std::vector<size_t> order(groups.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return units[groups[a]] > units[groups[b]]; });
    order.resize(kLegendPopulations - 1);
    std::sort(order.begin(), order.end());
    kept.clear();
    for (size_t k : order) kept.push_back(groups[k]);
  }
  for (size_t k = 0; k < kept.size(); ++k) out.colourOf[kept[k]] = kPalette[k];
  shown = kept;
  const int others = static_cast<int>(groups.size() - kept.size());
  if (others > 0) {
    const std::string name = OtherPopulationsName(others);
    out.colourOf[name] = kOthersColour;
    shown.push_back(name);
  }
  // Each node's slices, the populations left out folded into one.
  for (const NetworkNode& node : chart.nodes) {
    std::vector<NetworkSlice> slices;
    int folded = 0;
    for (const NetworkSlice& s : node.slices) {
      if (out.colourOf.count(s.group) && (others == 0 || s.group != shown.back()))
        slices.push_back(s);
      else
        folded += s.count;
    }
    if (folded > 0) slices.push_back({shown.back(), folded});
    out.slices.push_back(std::move(slices));
  }
}

// --- Legend ---------------------------------------------------------------

struct Piece {
  NetworkLegendItem::Kind kind;
  std::string text, colour;
  double lineWidthPoints = 0, radius = 0;
};
using Section = std::vector<Piece>;  // a heading, then its entries

struct LegendSize {
  double width = 0, height = 0;
};

// Width and height of a piece at `points`, mm; its symbol's width.
void Measure(const Piece& p, double points, double& width, double& height, double& symbol) {
  const double em = points * kMmPerPoint;
  using Kind = NetworkLegendItem::Kind;
  symbol = p.kind == Kind::kHeading  ? 0
           : p.kind == Kind::kSwatch ? 0.8 * em
           : p.kind == Kind::kCircle ? 2 * p.radius
                                     : 1.6 * em;
  width =
      symbol + (symbol > 0 ? 0.3 * em : 0) + TextWidth(p.text, points, p.kind == Kind::kHeading);
  height = std::max(1.25 * em, p.kind == Kind::kCircle ? 2 * p.radius + 0.4 : 0);
}

// Places the pieces from (0, 0): in columns filled downwards (`columns`),
// or in lines filled rightwards, each section on a line of its own.
LegendSize Flow(const std::vector<Section>& sections, double points, bool columns, double maxWidth,
                double maxHeight, std::vector<NetworkLegendItem>& items) {
  items.clear();
  const double em = points * kMmPerPoint, gap = 0.8 * em;
  LegendSize size;
  double x = 0, y = 0, columnWidth = 0, lineHeight = 0;
  for (const Section& section : sections) {
    if (!columns && y + lineHeight > 0) {
      y += lineHeight;
      x = 0;
      lineHeight = 0;
    }
    for (size_t k = 0; k < section.size(); ++k) {
      const Piece& p = section[k];
      double w = 0, h = 0, symbol = 0;
      Measure(p, points, w, h, symbol);
      if (columns) {
        // A heading does not end a column alone.
        double need = h;
        if (k == 0 && section.size() > 1) {
          double w2 = 0, h2 = 0, s2 = 0;
          Measure(section[1], points, w2, h2, s2);
          need += h2;
        }
        if (y > 0 && y + need > maxHeight) {
          x += columnWidth + gap;
          y = 0;
          columnWidth = 0;
        }
      } else if (x > 0 && x + w > maxWidth) {
        y += lineHeight;
        x = 0;
        lineHeight = 0;
      }
      NetworkLegendItem item;
      item.kind = p.kind;
      item.text = p.text;
      item.colour = p.colour;
      item.lineWidthPoints = p.lineWidthPoints;
      item.radius = p.radius;
      const double mid = y + h / 2;
      if (symbol > 0) {
        const double sh = p.kind == NetworkLegendItem::Kind::kSwatch   ? 0.8 * em
                          : p.kind == NetworkLegendItem::Kind::kCircle ? 2 * p.radius
                                                                       : 0;
        item.symbol = {x, mid - sh / 2, x + symbol, mid + sh / 2};
      }
      item.textX = x + symbol + (symbol > 0 ? 0.3 * em : 0);
      item.baseline = mid + 0.35 * em;
      items.push_back(item);
      size.width = std::max(size.width, x + w);
      if (columns) {
        columnWidth = std::max(columnWidth, w);
        y += h;
        size.height = std::max(size.height, y);
      } else {
        x += w + gap;
        lineHeight = std::max(lineHeight, h);
        size.height = std::max(size.height, y + lineHeight);
      }
    }
  }
  return size;
}

// The legend's sections for node radius `radiusOf(units)`.
template <typename RadiusOf>
std::vector<Section> LegendSections(const NetworkChart& chart, const NetworkLayout& out,
                                    const std::vector<std::string>& shown, int maxUnits,
                                    const std::vector<double>& distances, bool tiesDrawn,
                                    RadiusOf radiusOf,
                                    double (*widthPoints)(double, double, double),
                                    std::string (*grey)(double, double, double)) {
  using Kind = NetworkLegendItem::Kind;
  std::vector<Section> sections;
  if (shown.size() > 1) {
    Section s{{Kind::kHeading, "Populations:", ""}};
    for (const std::string& g : shown)
      s.push_back({Kind::kSwatch, ShortFigureText(g), out.colourOf.at(g)});
    sections.push_back(std::move(s));
  }
  if (!chart.nodes.empty()) {
    Section s{{Kind::kHeading, "Units:", ""}};
    std::vector<int> sizes{1};
    if (maxUnits >= 4) sizes.push_back(static_cast<int>(std::lround(std::sqrt(maxUnits))));
    if (maxUnits > 1) sizes.push_back(maxUnits);
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    for (int units : sizes)
      s.push_back({Kind::kCircle, std::to_string(units), "white", 0.5, radiusOf(units)});
    sections.push_back(std::move(s));
  }
  if (!distances.empty()) {
    Section s{{Kind::kHeading, "Distance:", ""}};
    std::vector<double> shownDistances = distances;
    if (distances.size() > 4)
      shownDistances = {distances.front(), distances[distances.size() / 2], distances.back()};
    const double lo = distances.front(), hi = distances.back();
    for (double d : shownDistances)
      s.push_back({Kind::kLine, FigureNumber(d), grey(d, lo, hi), widthPoints(d, lo, hi)});
    if (tiesDrawn) s.push_back({Kind::kDashedLine, "tied edge", "#999999", 0.5});
    sections.push_back(std::move(s));
  }
  return sections;
}

// Lays the legend out within maxWidth x maxHeight: at the figure's text
// size if it fits, else smaller down to 6 pt, else without the distances,
// then without the node sizes; at last with names shortened.
LegendSize FitLegend(std::vector<Section> sections, double points, bool columns, double maxWidth,
                     double maxHeight, std::vector<NetworkLegendItem>& items, double& usedPoints,
                     int& keptSections) {
  const double smallest = std::min(points, 6.0);
  auto fits = [&](const LegendSize& s) {
    return s.width <= maxWidth + 1e-9 && s.height <= maxHeight + 1e-9;
  };
  for (size_t drop = 0; drop < sections.size(); ++drop) {
    std::vector<Section> tried(sections.begin(), sections.end() - drop);
    for (double p = points; p >= smallest - 1e-9; p -= 0.5) {
      const LegendSize s = Flow(tried, p, columns, maxWidth, maxHeight, items);
      if (fits(s)) {
        usedPoints = p;
        keptSections = static_cast<int>(tried.size());
        return s;
      }
    }
  }
  // Names shortened to what the width holds, the first section alone.
  sections.resize(1);
  const double em = smallest * kMmPerPoint;
  const size_t chars =
      static_cast<size_t>(std::max(3.0, (maxWidth - 1.2 * em) / (em * kCharEms) - 1));
  for (Piece& p : sections.front()) p.text = ShortFigureText(p.text, chars);
  usedPoints = smallest;
  keptSections = 1;
  return Flow(sections, smallest, columns, maxWidth, maxHeight, items);
}

double EdgeWidthPoints(double d, double lo, double hi) {
  const double closeness = hi > lo ? std::clamp((hi - d) / (hi - lo), 0.0, 1.0) : 1.0;
  return 0.4 + 0.8 * closeness;
}

std::string EdgeGrey(double d, double lo, double hi) {
  // From 60% grey (longest) to black (shortest).
  const double closeness = hi > lo ? std::clamp((hi - d) / (hi - lo), 0.0, 1.0) : 1.0;
  const int grey = static_cast<int>(std::lround(153 * (1 - closeness)));
  char stroke[16];
  std::snprintf(stroke, sizeof stroke, "#%02x%02x%02x", grey, grey, grey);
  return stroke;
}

// --- Labels ---------------------------------------------------------------

bool DiscHitsBox(double cx, double cy, double r, const MmBox& b) {
  const double dx = cx - std::clamp(cx, b.x0, b.x1), dy = cy - std::clamp(cy, b.y0, b.y1);
  return dx * dx + dy * dy < r * r;
}

bool SegmentHitsBox(double x1, double y1, double x2, double y2, const MmBox& b) {
  // Liang-Barsky clipping of the segment against the box.
  double t0 = 0, t1 = 1;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {x1 - b.x0, b.x1 - x1, y1 - b.y0, b.y1 - y1};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  return true;
}

void PlaceLabels(const NetworkChart& chart, const FigureOptions& options,
                 const std::vector<MmBox>& forbidden, NetworkLayout& out) {
  const int n = static_cast<int>(chart.nodes.size());
  const double em = options.fontPoints * kMmPerPoint;
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return chart.nodes[a].units > chart.nodes[b].units; });
  const MmBox figure{0, 0, out.widthMm, out.heightMm};
  // Each label tries nine places against every node and edge: in a network
  // of thousands of nodes only the largest few hundred are tried (the
  // others would find no room at print size anyway).
  const double perLabel = 9.0 * (n + chart.edges.size() + 1);
  const int tried = static_cast<int>(std::min<double>(n, std::max(50.0, 2e7 / perLabel)));
  for (int rank = 0; rank < tried; ++rank) {
    const int i = order[rank];
    const std::string text = std::to_string(chart.nodes[i].number);
    const double w = (text.size() * kDigitEms + 0.2) * em, h = kDigitHeightEms * em;
    const double cx = out.x[i], cy = out.y[i], r = out.radius[i];
    struct Candidate {
      MmBox box;
      bool inside;
    };
    std::vector<Candidate> candidates;
    if (std::hypot(w / 2, h / 2) <= r)
      candidates.push_back({{cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2}, true});
    const double g = 0.25 * em;
    for (double a : {0.0, 180.0, 270.0, 90.0, 315.0, 225.0, 45.0, 135.0}) {
      // The box's nearest side or corner just off the disc.
      const double ux = std::cos(a * kPi / 180), uy = std::sin(a * kPi / 180);
      const double bx = cx + (r + g) * ux + (std::abs(ux) < 1e-9 ? 0 : (ux > 0 ? w / 2 : -w / 2));
      const double by = cy + (r + g) * uy + (std::abs(uy) < 1e-9 ? 0 : (uy > 0 ? h / 2 : -h / 2));
      candidates.push_back({{bx - w / 2, by - h / 2, bx + w / 2, by + h / 2}, false});
    }
    auto allowed = [&](const MmBox& b) {
      if (b.x0 < figure.x0 || b.y0 < figure.y0 || b.x1 > figure.x1 || b.y1 > figure.y1)
        return false;
      for (const MmBox& f : forbidden)
        if (f.Overlaps(b)) return false;
      for (const NetworkLabel& l : out.labels)
        if (l.box.Overlaps(b)) return false;
      return true;
    };
    auto hitsNodes = [&](const Candidate& c) {
      for (int k = 0; k < n; ++k)
        if ((k != i || !c.inside) && DiscHitsBox(out.x[k], out.y[k], out.radius[k], c.box))
          return true;
      return false;
    };
    auto hitsEdges = [&](const Candidate& c) {
      for (size_t e = 0; e < chart.edges.size(); ++e) {
        if (!out.drawn[e]) continue;
        const NetworkEdge& edge = chart.edges[e];
        if (c.inside && (edge.from == i || edge.to == i)) continue;
        if (SegmentHitsBox(out.x[edge.from], out.y[edge.from], out.x[edge.to], out.y[edge.to],
                           c.box))
          return true;
      }
      return false;
    };
    // Best: clear of nodes and edges; then clear of nodes; the largest
    // node is labelled wherever its label fits.
    const Candidate* chosen = nullptr;
    for (int pass = 0; pass < (rank == 0 ? 3 : 2) && !chosen; ++pass)
      for (const Candidate& c : candidates) {
        if (!allowed(c.box)) continue;
        if (pass < 2 && hitsNodes(c)) continue;
        if (pass < 1 && hitsEdges(c)) continue;
        chosen = &c;
        break;
      }
    if (chosen) out.labels.push_back({i, text, chosen->box, chosen->inside});
  }
}

}  // namespace

std::string OtherPopulationsName(int count) {
  return std::to_string(count) + " others";
}

NetworkLayout LayOutNetwork(const NetworkChart& source, const FigureOptions& options) {
  NetworkChart chart = source;
  const int n = static_cast<int>(chart.nodes.size());
  // Edges naming nodes that do not exist are left out.
  auto valid = [&](const NetworkEdge& e) {
    return e.from >= 0 && e.to >= 0 && e.from < n && e.to < n;
  };
  const bool anyMarked = std::any_of(chart.edges.begin(), chart.edges.end(),
                                     [](const NetworkEdge& e) { return e.tiedAlternative; });
  if (!anyMarked && static_cast<int>(chart.edges.size()) > n - 1) MarkOneSpanningTree(chart);

  NetworkLayout out;
  const double W = options.widthMm, H = options.heightMm;
  out.widthMm = W;
  out.heightMm = H;
  for (const NetworkEdge& e : chart.edges) {
    out.tied.push_back(e.tiedAlternative);
    out.drawn.push_back(valid(e) && (!e.tiedAlternative || chart.showTiedAlternatives));
  }

  // Title, centred and wrapped.
  const double titleEm = options.titlePoints * kMmPerPoint;
  double top = kPad;
  if (options.showTitle && !chart.title.empty()) {
    for (const std::string& line :
         WrapText(ShortFigureText(chart.title), (W - 2 * kPad) / (titleEm * kBoldCharEms))) {
      top += titleEm;
      out.titleLines.push_back(line);
      out.titleBaselines.push_back(top);
      top += titleEm * 0.25;
    }
    top += kPad;
  }

  std::vector<std::string> shown;
  ChooseColours(chart, out, shown);

  // Distances of the tree edges: they set the edges' widths and greys.
  std::vector<double> distances;
  for (const NetworkEdge& e : chart.edges)
    if (valid(e) && !e.tiedAlternative && std::isfinite(e.distance))
      distances.push_back(e.distance);
  std::sort(distances.begin(), distances.end());
  distances.erase(std::unique(distances.begin(), distances.end()), distances.end());
  const double shortest = distances.empty() ? 0 : distances.front();
  const double longest = distances.empty() ? 0 : distances.back();
  const bool tiesDrawn =
      chart.showTiedAlternatives &&
      std::any_of(chart.edges.begin(), chart.edges.end(),
                  [&](const NetworkEdge& e) { return valid(e) && e.tiedAlternative; });

  // Node radii before fitting: the largest node holds its number at the
  // figure's text size, unless the nodes together would then cover more
  // than their share of the page.
  int maxUnits = 1;
  double unitSum = 0;
  for (const NetworkNode& node : chart.nodes) {
    maxUnits = std::max(maxUnits, node.units);
    unitSum += std::max(0, node.units);
  }
  const double em = options.fontPoints * kMmPerPoint;
  int widestNumber = 1;
  for (const NetworkNode& node : chart.nodes)
    if (node.units == maxUnits)
      widestNumber = std::max(widestNumber, static_cast<int>(std::to_string(node.number).size()));
  const double legibleRadius =
      std::hypot((widestNumber * kDigitEms + 0.2) * em / 2, kDigitHeightEms * em / 2) * 1.05;

  // The legend: beside the network on a figure wider than tall, below it
  // otherwise; a quarter of the figure at most.
  const bool beside = W > H;
  const double legendMaxW = beside ? W / 4 : W - 2 * kPad;
  const double legendMaxH = beside ? H - top - kPad : H / 4;
  const double roughPlotArea = std::max(1.0, (W - 2 * kPad - (beside ? legendMaxW : 0)) *
                                                 (H - top - kPad - (beside ? 0 : legendMaxH)));
  double maxRadius = legibleRadius;
  if (unitSum > 0)
    maxRadius =
        std::min(maxRadius, std::sqrt(kNodeShare * roughPlotArea * maxUnits / (kPi * unitSum)));
  maxRadius = std::max(maxRadius, kMinRadius);
  auto radiusOf = [&](double units, double scale) {
    return std::max(kMinRadius, scale * maxRadius * std::sqrt(std::max(0.0, units) / maxUnits));
  };

  std::vector<NetworkLegendItem> items;
  double legendPoints = options.fontPoints;
  int keptSections = 0;
  LegendSize legendSize;
  auto layLegend = [&](double scale) {
    const auto sections = LegendSections(
        chart, out, shown, maxUnits, distances, tiesDrawn,
        [&](int units) { return radiusOf(units, scale); }, &EdgeWidthPoints, &EdgeGrey);
    legendSize = FitLegend(sections, options.fontPoints, beside, legendMaxW, legendMaxH, items,
                           legendPoints, keptSections);
  };
  layLegend(1);
  const bool hasLegend = !items.empty();
  if (hasLegend) {
    out.legend = beside
                     ? MmBox{W - kPad - legendSize.width, top, W - kPad, top + legendSize.height}
                     : MmBox{kPad, H - kPad - legendSize.height, kPad + legendSize.width, H - kPad};
  }
  out.plot = {kPad, top, W - kPad, H - kPad};
  if (hasLegend) {
    if (beside)
      out.plot.x1 = out.legend.x0 - kPad;
    else
      out.plot.y1 = out.legend.y0 - kPad;
  }
  out.plot.x1 = std::max(out.plot.x1, out.plot.x0 + 1);
  out.plot.y1 = std::max(out.plot.y1, out.plot.y0 + 1);

  // The tree as balloons (edges longer with distance, up to four gaps
  // more), turned to fill the plot best and fitted in it, then relaxed
  // over the plot without letting two edges cross.
  const double gap = std::max(1.0, 0.6 * em);
  std::vector<double> radius(n);
  for (int i = 0; i < n; ++i) radius[i] = radiusOf(chart.nodes[i].units, 1);
  std::vector<TreeEdgeLength> tree;
  for (const NetworkEdge& e : chart.edges) {
    if (!valid(e) || e.tiedAlternative) continue;
    const double share = longest > shortest && std::isfinite(e.distance)
                             ? (e.distance - shortest) / (longest - shortest)
                             : 0;
    tree.push_back({e.from, e.to, radius[e.from] + radius[e.to] + gap + 4 * gap * share});
  }
  std::vector<TreePoint> at = BalloonTreeLayout(n, tree, radius, gap);
  double bestScale = -1, bestAngle = 0;
  double maxR = 0;
  for (double r : radius) maxR = std::max(maxR, r);
  const double roomW = std::max(1e-3, out.plot.width() - 2 * maxR);
  const double roomH = std::max(1e-3, out.plot.height() - 2 * maxR);
  for (int step = 0; step < 12; ++step) {
    const double a = step * kPi / 12, c = std::cos(a), s = std::sin(a);
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int i = 0; i < n; ++i) {
      const double x = c * at[i].x - s * at[i].y, y = s * at[i].x + c * at[i].y;
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
    }
    const double scale = std::min(roomW / std::max(1e-9, x1 - x0), roomH / std::max(1e-9, y1 - y0));
    if (scale > bestScale * 1.02) {
      bestScale = scale;
      bestAngle = a;
    }
  }
  // Centres scaled into the plot less the largest radius all round; a
  // small network no more than one and a half times its balloons.
  const double scale = n > 0 ? std::min(bestScale, 1.5) : 1;
  {
    const double c = std::cos(bestAngle), s = std::sin(bestAngle);
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int i = 0; i < n; ++i) {
      at[i] = {scale * (c * at[i].x - s * at[i].y), scale * (s * at[i].x + c * at[i].y)};
      x0 = std::min(x0, at[i].x);
      x1 = std::max(x1, at[i].x);
      y0 = std::min(y0, at[i].y);
      y1 = std::max(y1, at[i].y);
    }
    const double dx = (out.plot.x0 + out.plot.x1) / 2 - (x0 + x1) / 2;
    const double dy = (out.plot.y0 + out.plot.y1) / 2 - (y0 + y1) / 2;
    for (TreePoint& p : at) p = {p.x + dx, p.y + dy};
  }
  // Only a network too large for its balloons to hold at full size is
  // relaxed: one that fits keeps its balloons.
  if (scale < 1) {
    std::vector<TreeEdgeLength> pulls = tree;
    for (TreeEdgeLength& e : pulls) e.length = e.length / (radius[e.a] + radius[e.b] + gap);
    RelaxPlanarTree(at, radius, pulls, {out.plot.x0, out.plot.y0, out.plot.x1, out.plot.y1, gap});
  }
  out.x.resize(n);
  out.y.resize(n);
  out.radius = radius;
  for (int i = 0; i < n; ++i) {
    out.x[i] = at[i].x;
    out.y[i] = at[i].y;
  }
  const double nodeScale = 1;

  // The legend again with the node sizes as drawn (no larger than before).
  if (hasLegend) {
    const auto sections = LegendSections(
        chart, out, shown, maxUnits, distances, tiesDrawn,
        [&](int units) { return radiusOf(units, nodeScale); }, &EdgeWidthPoints, &EdgeGrey);
    std::vector<Section> kept(sections.begin(),
                              sections.begin() + std::min<size_t>(keptSections, sections.size()));
    // Smaller circles than before: the same text size and sections fit
    // (or the names shortened as before).
    legendSize = FitLegend(kept, legendPoints, beside, legendMaxW, legendMaxH, items, legendPoints,
                           keptSections);
    out.legend = beside
                     ? MmBox{W - kPad - legendSize.width, top, W - kPad, top + legendSize.height}
                     : MmBox{kPad, H - kPad - legendSize.height, kPad + legendSize.width, H - kPad};
    for (NetworkLegendItem& item : items) {
      const double ox = out.legend.x0, oy = out.legend.y0;
      if (item.symbol.x1 > item.symbol.x0 || item.symbol.y1 > item.symbol.y0)
        item.symbol = {item.symbol.x0 + ox, item.symbol.y0 + oy, item.symbol.x1 + ox,
                       item.symbol.y1 + oy};
      item.textX += ox;
      item.baseline += oy;
    }
    out.legendItems = std::move(items);
    out.legendPoints = legendPoints;
  }

  if (chart.showNodeLabels) {
    std::vector<MmBox> forbidden;
    if (hasLegend) forbidden.push_back(out.legend);
    if (!out.titleLines.empty())
      forbidden.push_back({0, 0, W, out.titleBaselines.back() + titleEm * 0.3});
    PlaceLabels(chart, options, forbidden, out);
  }
  return out;
}

}  // namespace vireltan
