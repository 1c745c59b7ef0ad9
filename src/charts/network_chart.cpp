// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/network_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <numeric>

#include "charts/figure_text.h"

namespace vireltan {

namespace {

// Layout units: 1/96 inch, as the other charts; texts and lines in points.
constexpr double kUnitsPerPoint = 96.0 / 72.0;
// Average advance of a character of a sans-serif face, in ems: texts are
// measured without a font engine, a little wide so that nothing overflows.
constexpr double kCharEms = 0.6;
constexpr double kDigitEms = 0.56;

// Okabe & Ito's eight colours that stay distinct under the common colour
// blindnesses; repeated past their end.
constexpr const char* kPalette[] = {"#E69F00", "#56B4E9", "#009E73", "#F0E442",
                                    "#0072B2", "#D55E00", "#CC79A7", "#000000"};
constexpr int kPaletteSize = 8;

std::string Num(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return buffer;
}

std::string Escape(const std::string& text) {
  return XmlEscapedText(text);
}

struct Box {
  double x0, y0, x1, y1;
  bool hits(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

class SvgWriter {
 public:
  SvgWriter(const FigureOptions& options, std::vector<NetworkText>* texts)
      : options_(options), texts_(texts) {}
  std::string svg;

  void Text(double x, double y, const std::string& raw, double points, const char* anchor,
            bool bold = false, const char* fill = "black") {
    const std::string text = ShortFigureText(raw);
    svg += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" +
           Num(points * kUnitsPerPoint) + "\" text-anchor=\"" + anchor + "\" fill=\"" + fill +
           "\"" + (bold ? " font-weight=\"bold\"" : "") + ">" + Escape(text) + "</text>\n";
    if (texts_) texts_->push_back({XmlSafeText(text), points});
  }
  void Circle(double cx, double cy, double r, const std::string& fill, double strokePoints) {
    svg += "<circle cx=\"" + Num(cx) + "\" cy=\"" + Num(cy) + "\" r=\"" + Num(r) + "\" fill=\"" +
           fill + "\" stroke=\"black\" stroke-width=\"" + Num(strokePoints * kUnitsPerPoint) +
           "\"/>\n";
  }
  void Line(double x1, double y1, double x2, double y2, const std::string& stroke,
            double widthPoints, bool dashed) {
    svg += "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
           Num(y2) + "\" stroke=\"" + stroke + "\" stroke-width=\"" +
           Num(widthPoints * kUnitsPerPoint) + "\"" +
           (dashed ? " stroke-dasharray=\"" + Num(2.5 * kUnitsPerPoint) + "," +
                         Num(1.5 * kUnitsPerPoint) + "\""
                   : "") +
           "/>\n";
  }

 private:
  const FigureOptions& options_;
  std::vector<NetworkText>* texts_;
};

std::string Grey(double closeness) {
  // From 60% grey (longest) to black (shortest).
  int grey = static_cast<int>(std::lround(153 * (1 - closeness)));
  char stroke[16];
  std::snprintf(stroke, sizeof stroke, "#%02x%02x%02x", grey, grey, grey);
  return stroke;
}

// Union-find over node indices, for Kruskal's tree.
int Root(std::vector<int>& parent, int i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

// One entry of a legend row: a symbol of `symbolWidth` and its text.
struct LegendEntry {
  double symbolWidth = 0, symbolHeight = 0;
  std::string text;
  std::function<void(SvgWriter&, double x, double midY)> draw;
};

}  // namespace

void MarkOneSpanningTree(NetworkChart& chart) {
  std::vector<size_t> order(chart.edges.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return chart.edges[a].distance < chart.edges[b].distance;
  });
  std::vector<int> parent(chart.nodes.size());
  std::iota(parent.begin(), parent.end(), 0);
  for (size_t i : order) {
    NetworkEdge& e = chart.edges[i];
    const int n = static_cast<int>(parent.size());
    if (e.from < 0 || e.to < 0 || e.from >= n || e.to >= n) continue;
    int a = Root(parent, e.from), b = Root(parent, e.to);
    e.tiedAlternative = a == b;
    if (a != b) parent[a] = b;
  }
}

std::string NetworkSvg(const NetworkChart& source, const FigureOptions& options,
                       std::vector<NetworkText>* texts) {
  NetworkChart chart = source;
  const int n = static_cast<int>(chart.nodes.size());
  const bool anyMarked = std::any_of(chart.edges.begin(), chart.edges.end(),
                                     [](const NetworkEdge& e) { return e.tiedAlternative; });
  if (!anyMarked && static_cast<int>(chart.edges.size()) > n - 1) MarkOneSpanningTree(chart);

  const double W = options.widthMm / 25.4 * 96, H = options.heightMm / 25.4 * 96;
  const double font = options.fontPoints * kUnitsPerPoint;
  const double titleFont = options.titlePoints * kUnitsPerPoint;
  const double pad = 4 * kUnitsPerPoint;
  SvgWriter out(options, texts);
  out.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out.svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(options.widthMm) +
             "mm\" height=\"" + Num(options.heightMm) + "mm\" viewBox=\"0 0 " + Num(W) + " " +
             Num(H) + "\">\n";
  out.svg += "<title>" + Escape(ShortFigureText(chart.title)) + "</title>\n";
  out.svg += "<rect width=\"" + Num(W) + "\" height=\"" + Num(H) + "\" fill=\"white\"/>\n";

  // Title, centred and wrapped, in the style of the other charts.
  double top = pad;
  if (options.showTitle && !chart.title.empty()) {
    for (const std::string& line :
         WrapText(ShortFigureText(chart.title), (W - 2 * pad) / (titleFont * kCharEms))) {
      top += titleFont;
      out.Text(W / 2, top, line, options.titlePoints, "middle", true);
      top += titleFont * 0.25;
    }
    top += pad;
  }

  // Groups and their colours.
  std::map<std::string, int> colourOf;
  std::vector<std::string> groups;
  for (const std::string& g : chart.groups)
    if (colourOf.emplace(g, static_cast<int>(groups.size())).second) groups.push_back(g);
  for (const NetworkNode& node : chart.nodes)
    for (const NetworkSlice& s : node.slices)
      if (colourOf.emplace(s.group, static_cast<int>(groups.size())).second)
        groups.push_back(s.group);
  auto colour = [&](const std::string& group) -> std::string {
    return kPalette[colourOf[group] % kPaletteSize];
  };

  // Node sizes: area proportional to units; the largest radius shrinks as
  // nodes crowd the page, within 3..14 pt.
  int maxUnits = 1;
  for (const NetworkNode& node : chart.nodes) maxUnits = std::max(maxUnits, node.units);
  const double plotGuess = std::max(1.0, (W - 2 * pad) * (H - top - 2 * pad) * 0.6);
  const double maxRadius = std::clamp(0.22 * std::sqrt(plotGuess / std::max(1, n)),
                                      3 * kUnitsPerPoint, 14 * kUnitsPerPoint);
  const double minRadius = 1.2 * kUnitsPerPoint;
  auto radius = [&](int units) {
    return std::max(minRadius, maxRadius * std::sqrt(std::max(0, units) / double(maxUnits)));
  };

  // Distances of the tree edges set width and grey.
  double shortest = 0, longest = 0;
  bool anyTree = false;
  std::vector<double> distinct;
  for (const NetworkEdge& e : chart.edges) {
    if (e.tiedAlternative || !std::isfinite(e.distance)) continue;
    shortest = anyTree ? std::min(shortest, e.distance) : e.distance;
    longest = anyTree ? std::max(longest, e.distance) : e.distance;
    anyTree = true;
    distinct.push_back(e.distance);
  }
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  auto closeness = [&](double d) {
    return longest > shortest ? std::clamp((longest - d) / (longest - shortest), 0.0, 1.0) : 1.0;
  };
  auto widthPoints = [&](double d) { return 0.4 + 0.8 * closeness(d); };

  // Legend rows below the plot: populations (with a title), node sizes,
  // distances. Each row flows left to right and wraps.
  struct LegendRow {
    std::string heading;
    std::vector<LegendEntry> entries;
  };
  std::vector<LegendRow> rows;
  if (groups.size() > 1) {
    LegendRow row{"Populations:", {}};
    for (const std::string& g : groups) {
      const std::string fill = colour(g);
      row.entries.push_back({font * 0.8, font, g, [fill, font](SvgWriter& w, double x, double y) {
                               w.svg += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y - font * 0.4) +
                                        "\" width=\"" + Num(font * 0.8) + "\" height=\"" +
                                        Num(font * 0.8) + "\" fill=\"" + fill +
                                        "\" stroke=\"black\" stroke-width=\"0.5\"/>\n";
                             }});
    }
    rows.push_back(std::move(row));
  }
  if (n > 0) {
    LegendRow row{"Units:", {}};
    std::vector<int> sizes{1};
    if (maxUnits >= 4) sizes.push_back(static_cast<int>(std::lround(std::sqrt(maxUnits) * 1.0)));
    if (maxUnits > 1) sizes.push_back(maxUnits);
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    for (int units : sizes) {
      const double r = radius(units);
      row.entries.push_back(
          {2 * r, 2 * r, std::to_string(units),
           [r](SvgWriter& w, double x, double y) { w.Circle(x + r, y, r, "white", 0.5); }});
    }
    rows.push_back(std::move(row));
  }
  if (anyTree) {
    LegendRow row{"Distance:", {}};
    std::vector<double> shown = distinct;
    if (shown.size() > 4)
      shown = {distinct.front(), distinct[distinct.size() / 2], distinct.back()};
    for (double d : shown) {
      const std::string stroke = Grey(closeness(d));
      const double wp = widthPoints(d);
      row.entries.push_back(
          {font * 2, font, FigureNumber(d), [stroke, wp, font](SvgWriter& w, double x, double y) {
             w.Line(x, y, x + font * 2, y, stroke, wp, false);
           }});
    }
    if (std::any_of(chart.edges.begin(), chart.edges.end(),
                    [](const NetworkEdge& e) { return e.tiedAlternative; }) &&
        chart.showTiedAlternatives)
      row.entries.push_back(
          {font * 2, font, "tied alternative", [font](SvgWriter& w, double x, double y) {
             w.Line(x, y, x + font * 2, y, "#999999", 0.5, true);
           }});
    rows.push_back(std::move(row));
  }
  // Lay the rows out from the bottom of the page upwards: first measure.
  struct Placed {
    double x, y;  // baseline-middle of the entry's line
    const LegendEntry* entry;
    std::string text;
  };
  struct PlacedHeading {
    double x, y;
    std::string text;
  };
  std::vector<Placed> placedEntries;
  std::vector<PlacedHeading> placedHeadings;
  double legendHeight = 0;
  {
    double y = 0;
    const double gap = font * 0.5;
    for (const LegendRow& row : rows) {
      double lineHeight = font * 1.3;
      for (const LegendEntry& e : row.entries)
        lineHeight = std::max(lineHeight, e.symbolHeight + 2);
      double x = pad;
      const double headingWidth = ShortFigureText(row.heading).size() * font * kCharEms;
      y += lineHeight;
      placedHeadings.push_back({x, y - lineHeight / 2, row.heading});
      x += headingWidth + gap;
      for (const LegendEntry& e : row.entries) {
        const double room = W - pad - x - e.symbolWidth - gap;
        std::vector<std::string> lines =
            WrapText(ShortFigureText(e.text),
                     std::max(4.0, (W - 2 * pad - e.symbolWidth - gap) / (font * kCharEms)));
        double textWidth = 0;
        for (const std::string& l : lines)
          textWidth = std::max(textWidth, Utf8Length(l) * font * kCharEms);
        if (textWidth > room && x > pad + headingWidth + gap) {
          x = pad + headingWidth + gap;
          y += lineHeight;
        }
        for (size_t k = 0; k < lines.size(); ++k) {
          placedEntries.push_back(
              {x, y - lineHeight / 2 + k * font * 1.2, k == 0 ? &e : nullptr, lines[k]});
        }
        y += (lines.size() - 1) * font * 1.2;
        x += e.symbolWidth + gap * 0.5 + textWidth + gap * 2;
      }
    }
    legendHeight = y;
  }
  const double legendTop = H - pad - legendHeight;
  for (const PlacedHeading& h : placedHeadings)
    out.Text(h.x, legendTop + h.y + font * 0.35, h.text, options.fontPoints, "start", true);
  for (const Placed& p : placedEntries) {
    const double y = legendTop + p.y;
    const double symbolWidth = p.entry ? p.entry->symbolWidth : 0;
    if (p.entry) p.entry->draw(out, p.x, y);
    out.Text(p.x + (p.entry ? symbolWidth + font * 0.25 : 0), y + font * 0.35, p.text,
             options.fontPoints, "start");
  }

  // The plot: node positions scaled alike across and up, inside a margin
  // of the largest radius.
  const Box plot{pad + maxRadius, top + maxRadius, W - pad - maxRadius,
                 legendTop - pad - maxRadius};
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (int i = 0; i < n; ++i) {
    const NetworkNode& node = chart.nodes[i];
    minX = i == 0 ? node.x : std::min(minX, node.x);
    maxX = i == 0 ? node.x : std::max(maxX, node.x);
    minY = i == 0 ? node.y : std::min(minY, node.y);
    maxY = i == 0 ? node.y : std::max(maxY, node.y);
  }
  const double plotW = std::max(1.0, plot.x1 - plot.x0), plotH = std::max(1.0, plot.y1 - plot.y0);
  const double spanX = maxX - minX, spanY = maxY - minY;
  double scale = std::min(spanX > 0 ? plotW / spanX : 1e300, spanY > 0 ? plotH / spanY : 1e300);
  if (!std::isfinite(scale) || scale > 1e299) scale = 1;
  const double offX = plot.x0 + (plotW - spanX * scale) / 2;
  const double offY = plot.y0 + (plotH - spanY * scale) / 2;
  auto px = [&](double x) { return offX + (x - minX) * scale; };
  auto py = [&](double y) { return offY + (y - minY) * scale; };
  auto valid = [&](int i) { return i >= 0 && i < n; };

  // Alternatives first (under), then the tree, longest edges first so that
  // the short dark ones stay on top.
  std::vector<const NetworkEdge*> drawn;
  for (const NetworkEdge& e : chart.edges)
    if (valid(e.from) && valid(e.to) && (!e.tiedAlternative || chart.showTiedAlternatives))
      drawn.push_back(&e);
  std::stable_sort(drawn.begin(), drawn.end(), [](const NetworkEdge* a, const NetworkEdge* b) {
    if (a->tiedAlternative != b->tiedAlternative) return a->tiedAlternative;
    return a->distance > b->distance;
  });
  for (const NetworkEdge* e : drawn) {
    const NetworkNode& a = chart.nodes[e->from];
    const NetworkNode& b = chart.nodes[e->to];
    if (e->tiedAlternative)
      out.Line(px(a.x), py(a.y), px(b.x), py(b.y), "#999999", 0.5, true);
    else
      out.Line(px(a.x), py(a.y), px(b.x), py(b.y), Grey(closeness(e->distance)),
               widthPoints(e->distance), false);
  }
  for (const NetworkNode& node : chart.nodes) {
    const double cx = px(node.x), cy = py(node.y), r = radius(node.units);
    int total = 0;
    for (const NetworkSlice& s : node.slices) total += s.count;
    if (node.slices.size() <= 1 || total <= 0) {
      std::string fill = node.slices.empty() ? kPalette[0] : colour(node.slices.front().group);
      out.Circle(cx, cy, r, fill, 0.5);
    } else {
      double angle = -M_PI / 2;
      for (const NetworkSlice& s : node.slices) {
        double sweep = 2 * M_PI * s.count / total;
        if (sweep >= 2 * M_PI - 1e-9) {
          out.Circle(cx, cy, r, colour(s.group), 0.5);
          continue;
        }
        double x1 = cx + r * std::cos(angle), y1 = cy + r * std::sin(angle);
        double x2 = cx + r * std::cos(angle + sweep), y2 = cy + r * std::sin(angle + sweep);
        out.svg += "<path d=\"M" + Num(cx) + "," + Num(cy) + " L" + Num(x1) + "," + Num(y1) + " A" +
                   Num(r) + "," + Num(r) + " 0 " + (sweep > M_PI ? "1" : "0") + ",1 " + Num(x2) +
                   "," + Num(y2) + " Z\" fill=\"" + colour(s.group) +
                   "\" stroke=\"black\" stroke-width=\"" + Num(0.4 * kUnitsPerPoint) + "\"/>\n";
        angle += sweep;
      }
    }
  }

  // Node labels: inside a node large enough, else beside it; a label that
  // would cover another label or another node is left out. Largest nodes
  // first. Costs O(n^2) box tests for n nodes.
  if (chart.showNodeLabels) {
    std::vector<Box> nodes(n);
    for (int i = 0; i < n; ++i) {
      const double r = radius(chart.nodes[i].units);
      nodes[i] = {px(chart.nodes[i].x) - r, py(chart.nodes[i].y) - r, px(chart.nodes[i].x) + r,
                  py(chart.nodes[i].y) + r};
    }
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return chart.nodes[a].units > chart.nodes[b].units; });
    std::vector<Box> labels;
    for (int i : order) {
      const NetworkNode& node = chart.nodes[i];
      const std::string text = std::to_string(node.number);
      const double w = text.size() * font * kDigitEms, h = font;
      const double cx = px(node.x), cy = py(node.y), r = radius(node.units);
      const bool inside = w <= 1.7 * r && h <= 1.5 * r;
      std::vector<Box> candidates;
      if (inside) {
        candidates.push_back({cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2});
      } else {
        const double g = 1 * kUnitsPerPoint;
        candidates = {{cx + r + g, cy - h / 2, cx + r + g + w, cy + h / 2},
                      {cx - r - g - w, cy - h / 2, cx - r - g, cy + h / 2},
                      {cx - w / 2, cy - r - g - h, cx + w / 2, cy - r - g},
                      {cx - w / 2, cy + r + g, cx + w / 2, cy + r + g + h}};
      }
      for (const Box& b : candidates) {
        if (b.x0 < 0 || b.y0 < top || b.x1 > W || b.y1 > legendTop) continue;
        bool free =
            std::none_of(labels.begin(), labels.end(), [&](const Box& o) { return o.hits(b); });
        for (int k = 0; free && k < n; ++k)
          if (k != i && nodes[k].hits(b)) free = false;
        if (!free) continue;
        labels.push_back(b);
        std::string fill = "black";
        if (inside && !node.slices.empty() && node.slices.size() == 1) {
          const std::string c = colour(node.slices.front().group);
          if (c == "#000000" || c == "#0072B2") fill = "white";
        }
        out.Text((b.x0 + b.x1) / 2, b.y1 - h * 0.15, text, options.fontPoints, "middle", false,
                 fill.c_str());
        break;
      }
    }
  }
  out.svg += "</svg>\n";
  return out.svg;
}

}  // namespace vireltan
