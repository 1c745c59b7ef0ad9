// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/network_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <numeric>

#include "charts/figure_text.h"
#include "charts/network_layout.h"

namespace vireltan {

namespace {

// Layout units: 1/96 inch, as the other charts; texts and lines in points.
constexpr double kUnitsPerPoint = 96.0 / 72.0;
constexpr double kUnitsPerMm = 96.0 / 25.4;
// The colour of a node whose population is unknown (Okabe & Ito's orange).
constexpr const char* kPalette[] = {"#E69F00"};

// Whether black text would not show on `fill` ("#RRGGBB"): relative
// luminance below 0.3 or so.
bool IsDark(const std::string& fill) {
  if (fill.size() != 7 || fill[0] != '#') return false;
  const long rgb = std::strtol(fill.c_str() + 1, nullptr, 16);
  const double r = (rgb >> 16 & 255) / 255.0, g = (rgb >> 8 & 255) / 255.0, b = (rgb & 255) / 255.0;
  return 0.2126 * r + 0.7152 * g + 0.0722 * b < 0.35;
}

std::string Num(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return buffer;
}

std::string Escape(const std::string& text) {
  return XmlEscapedText(text);
}

class SvgWriter {
 public:
  explicit SvgWriter(std::vector<NetworkText>* texts) : texts_(texts) {}
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
  // A white outline under a label drawn next (not recorded as a text).
  void Halo(double x, double y, const std::string& raw, double points) {
    svg += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) +
           "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" font-size=\"" +
           Num(points * kUnitsPerPoint) +
           "\" text-anchor=\"middle\" fill=\"white\" stroke=\"white\" " + "stroke-width=\"" +
           Num(1.5 * kUnitsPerPoint) + "\" stroke-linejoin=\"round\">" +
           Escape(ShortFigureText(raw)) + "</text>\n";
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

std::string NetworkSvg(const NetworkChart& chart, const FigureOptions& options,
                       std::vector<NetworkText>* texts) {
  const NetworkLayout layout = LayOutNetwork(chart, options);
  const double W = options.widthMm * kUnitsPerMm, H = options.heightMm * kUnitsPerMm;
  auto u = [](double mm) { return mm * kUnitsPerMm; };
  SvgWriter out(texts);
  out.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out.svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(options.widthMm) +
             "mm\" height=\"" + Num(options.heightMm) + "mm\" viewBox=\"0 0 " + Num(W) + " " +
             Num(H) + "\">\n";
  out.svg += "<title>" + Escape(ShortFigureText(chart.title)) + "</title>\n";
  out.svg += "<rect width=\"" + Num(W) + "\" height=\"" + Num(H) + "\" fill=\"white\"/>\n";
  for (size_t k = 0; k < layout.titleLines.size(); ++k)
    out.Text(W / 2, u(layout.titleBaselines[k]), layout.titleLines[k], options.titlePoints,
             "middle", true);

  // Legend: headings bold, then swatches, circles and line samples.
  using Kind = NetworkLegendItem::Kind;
  for (const NetworkLegendItem& item : layout.legendItems) {
    const MmBox& b = item.symbol;
    switch (item.kind) {
      case Kind::kHeading:
        break;
      case Kind::kSwatch:
        out.svg += "<rect x=\"" + Num(u(b.x0)) + "\" y=\"" + Num(u(b.y0)) + "\" width=\"" +
                   Num(u(b.width())) + "\" height=\"" + Num(u(b.height())) + "\" fill=\"" +
                   item.colour + "\" stroke=\"black\" stroke-width=\"" + Num(0.4 * kUnitsPerPoint) +
                   "\"/>\n";
        break;
      case Kind::kCircle:
        out.Circle(u(b.x0 + item.radius), u((b.y0 + b.y1) / 2), u(item.radius), "white", 0.5);
        break;
      case Kind::kLine:
      case Kind::kDashedLine:
        out.Line(u(b.x0), u(b.y0), u(b.x1), u(b.y0), item.colour, item.lineWidthPoints,
                 item.kind == Kind::kDashedLine);
        break;
    }
    out.Text(u(item.textX), u(item.baseline), item.text, layout.legendPoints, "start",
             item.kind == Kind::kHeading);
  }

  // Edges: alternatives first (under), then the tree, longest first so
  // that the short dark ones stay on top.
  std::vector<size_t> drawn;
  for (size_t e = 0; e < chart.edges.size(); ++e)
    if (layout.drawn[e]) drawn.push_back(e);
  std::stable_sort(drawn.begin(), drawn.end(), [&](size_t a, size_t b) {
    if (layout.tied[a] != layout.tied[b]) return layout.tied[a] > layout.tied[b];
    return chart.edges[a].distance > chart.edges[b].distance;
  });
  double shortest = 0, longest = 0;
  bool any = false;
  for (size_t e : drawn)
    if (!layout.tied[e] && std::isfinite(chart.edges[e].distance)) {
      shortest = any ? std::min(shortest, chart.edges[e].distance) : chart.edges[e].distance;
      longest = any ? std::max(longest, chart.edges[e].distance) : chart.edges[e].distance;
      any = true;
    }
  for (size_t e : drawn) {
    const NetworkEdge& edge = chart.edges[e];
    const double x1 = u(layout.x[edge.from]), y1 = u(layout.y[edge.from]);
    const double x2 = u(layout.x[edge.to]), y2 = u(layout.y[edge.to]);
    if (layout.tied[e]) {
      out.Line(x1, y1, x2, y2, "#999999", 0.5, true);
    } else {
      const double closeness =
          longest > shortest
              ? std::clamp((longest - edge.distance) / (longest - shortest), 0.0, 1.0)
              : 1.0;
      out.Line(x1, y1, x2, y2, Grey(closeness), 0.4 + 0.8 * closeness, false);
    }
  }

  // Nodes: a disc of one colour, or a pie of the populations.
  auto colour = [&](const std::string& group) -> std::string {
    auto it = layout.colourOf.find(group);
    return it == layout.colourOf.end() ? kPalette[0] : it->second;
  };
  for (size_t i = 0; i < chart.nodes.size(); ++i) {
    const double cx = u(layout.x[i]), cy = u(layout.y[i]), r = u(layout.radius[i]);
    const std::vector<NetworkSlice>& slices = layout.slices[i];
    int total = 0;
    for (const NetworkSlice& s : slices) total += std::max(0, s.count);
    if (slices.size() <= 1 || total <= 0) {
      out.Circle(cx, cy, r, slices.empty() ? kPalette[0] : colour(slices.front().group), 0.5);
      continue;
    }
    double angle = -M_PI / 2;
    for (const NetworkSlice& s : slices) {
      const double sweep = 2 * M_PI * std::max(0, s.count) / total;
      if (sweep <= 0) continue;
      if (sweep >= 2 * M_PI - 1e-9) {
        out.Circle(cx, cy, r, colour(s.group), 0.5);
        continue;
      }
      const double x1 = cx + r * std::cos(angle), y1 = cy + r * std::sin(angle);
      const double x2 = cx + r * std::cos(angle + sweep), y2 = cy + r * std::sin(angle + sweep);
      out.svg += "<path d=\"M" + Num(cx) + "," + Num(cy) + " L" + Num(x1) + "," + Num(y1) + " A" +
                 Num(r) + "," + Num(r) + " 0 " + (sweep > M_PI ? "1" : "0") + ",1 " + Num(x2) +
                 "," + Num(y2) + " Z\" fill=\"" + colour(s.group) +
                 "\" stroke=\"black\" stroke-width=\"" + Num(0.4 * kUnitsPerPoint) + "\"/>\n";
      angle += sweep;
    }
  }

  // Labels: inside a node of one colour in black or white, whichever
  // shows; elsewhere black over a white halo that keeps them readable
  // across edges and slices.
  for (const NetworkLabel& label : layout.labels) {
    const double x = u((label.box.x0 + label.box.x1) / 2), y = u(label.box.y1);
    const std::vector<NetworkSlice>& slices = layout.slices[label.node];
    if (label.inside && slices.size() <= 1) {
      const std::string fill = slices.empty() ? kPalette[0] : colour(slices.front().group);
      out.Text(x, y, label.text, options.fontPoints, "middle", false,
               IsDark(fill) ? "white" : "black");
    } else {
      out.Halo(x, y, label.text, options.fontPoints);
      out.Text(x, y, label.text, options.fontPoints, "middle");
    }
  }
  out.svg += "</svg>\n";
  return out.svg;
}

}  // namespace vireltan
