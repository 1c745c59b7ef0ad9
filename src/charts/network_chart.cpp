// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/network_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace vireltan {

namespace {

// Colour-blind friendly qualitative palette; repeats past its end.
constexpr const char* kPalette[] = {"#4477aa", "#ee6677", "#228833", "#ccbb44",
                                    "#66ccee", "#aa3377", "#bbbbbb", "#000000"};

std::string Number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", v);
  return buffer;
}

std::string Label(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string NetworkSvg(const NetworkChart& chart) {
  // Layout coordinates are scaled so that the drawing spans about 900
  // pixels; node radii grow with the square root of the units (area
  // proportional to units), the largest node 30 pixels across its radius.
  constexpr double kSpan = 900, kMargin = 60, kMaxRadius = 30, kMinRadius = 4;
  double minX = 0, maxX = 1, minY = 0, maxY = 1;
  int maxUnits = 1;
  for (size_t i = 0; i < chart.nodes.size(); ++i) {
    const NetworkNode& n = chart.nodes[i];
    if (i == 0) {
      minX = maxX = n.x;
      minY = maxY = n.y;
    }
    minX = std::min(minX, n.x);
    maxX = std::max(maxX, n.x);
    minY = std::min(minY, n.y);
    maxY = std::max(maxY, n.y);
    maxUnits = std::max(maxUnits, n.units);
  }
  double range = std::max({maxX - minX, maxY - minY, 1e-9});
  double scale = kSpan / range;
  auto px = [&](double x) { return kMargin + (x - minX) * scale; };
  auto py = [&](double y) { return kMargin + 30 + (y - minY) * scale; };
  auto radius = [&](int units) {
    return std::max(kMinRadius, kMaxRadius * std::sqrt(static_cast<double>(units) / maxUnits));
  };
  const double width = std::max(320.0, 2 * kMargin + (maxX - minX) * scale);
  const double height = std::max(200.0, 2 * kMargin + 30 + (maxY - minY) * scale);

  std::map<std::string, int> colourOf;
  std::vector<std::string> groups;
  for (const std::string& g : chart.groups)
    if (colourOf.emplace(g, static_cast<int>(groups.size())).second) groups.push_back(g);
  for (const NetworkNode& n : chart.nodes)
    for (const NetworkSlice& s : n.slices)
      if (colourOf.emplace(s.group, static_cast<int>(groups.size())).second)
        groups.push_back(s.group);
  auto colour = [&](const std::string& group) {
    return kPalette[colourOf[group] % (sizeof kPalette / sizeof kPalette[0])];
  };

  double shortest = 0, longest = 0;
  for (size_t i = 0; i < chart.edges.size(); ++i) {
    double d = chart.edges[i].distance;
    shortest = i == 0 ? d : std::min(shortest, d);
    longest = i == 0 ? d : std::max(longest, d);
  }

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(width) + "\" height=\"" +
         Number(height) + "\" viewBox=\"0 0 " + Number(width) + " " + Number(height) + "\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += "<text x=\"" + Number(kMargin) +
         "\" y=\"30\" font-family=\"sans-serif\" font-size=\"18\">" + Escape(chart.title) +
         "</text>\n";
  // Edges: width 1..6 pixels and grey 60%..0% from the longest to the
  // shortest distance.
  for (const NetworkEdge& e : chart.edges) {
    const NetworkNode& a = chart.nodes[e.from];
    const NetworkNode& b = chart.nodes[e.to];
    double closeness = longest > shortest ? (longest - e.distance) / (longest - shortest) : 1.0;
    int grey = static_cast<int>(std::lround(153 * (1 - closeness)));
    char stroke[16];
    std::snprintf(stroke, sizeof stroke, "#%02x%02x%02x", grey, grey, grey);
    svg += "<line x1=\"" + Number(px(a.x)) + "\" y1=\"" + Number(py(a.y)) + "\" x2=\"" +
           Number(px(b.x)) + "\" y2=\"" + Number(py(b.y)) + "\" stroke=\"" + stroke +
           "\" stroke-width=\"" + Number(1 + 5 * closeness) + "\"/>\n";
    svg += "<text x=\"" + Number((px(a.x) + px(b.x)) / 2) + "\" y=\"" +
           Number((py(a.y) + py(b.y)) / 2 - 3) +
           "\" font-family=\"sans-serif\" font-size=\"11\" fill=\"#333333\" "
           "text-anchor=\"middle\">" +
           Label(e.distance) + "</text>\n";
  }
  for (const NetworkNode& n : chart.nodes) {
    const double cx = px(n.x), cy = py(n.y), r = radius(n.units);
    int total = 0;
    for (const NetworkSlice& s : n.slices) total += s.count;
    if (n.slices.size() <= 1 || total <= 0) {
      std::string fill = n.slices.empty() ? kPalette[0] : colour(n.slices.front().group);
      svg += "<circle cx=\"" + Number(cx) + "\" cy=\"" + Number(cy) + "\" r=\"" + Number(r) +
             "\" fill=\"" + fill + "\" stroke=\"black\" stroke-width=\"0.8\"/>\n";
    } else {
      double angle = -M_PI / 2;
      for (const NetworkSlice& s : n.slices) {
        double sweep = 2 * M_PI * s.count / total;
        double x1 = cx + r * std::cos(angle), y1 = cy + r * std::sin(angle);
        double x2 = cx + r * std::cos(angle + sweep), y2 = cy + r * std::sin(angle + sweep);
        svg += "<path d=\"M" + Number(cx) + "," + Number(cy) + " L" + Number(x1) + "," +
               Number(y1) + " A" + Number(r) + "," + Number(r) + " 0 " +
               (sweep > M_PI ? "1" : "0") + ",1 " + Number(x2) + "," + Number(y2) + " Z\" fill=\"" +
               colour(s.group) + "\" stroke=\"black\" stroke-width=\"0.5\"/>\n";
        angle += sweep;
      }
    }
    svg += "<text x=\"" + Number(cx) + "\" y=\"" + Number(cy + 4) +
           "\" font-family=\"sans-serif\" font-size=\"11\" text-anchor=\"middle\">" +
           std::to_string(n.number) + "</text>\n";
  }
  // Legend of the groups when there is more than one.
  if (groups.size() > 1) {
    double y = 50;
    for (const std::string& g : groups) {
      svg += "<rect x=\"" + Number(width - 150) + "\" y=\"" + Number(y - 10) +
             "\" width=\"12\" height=\"12\" fill=\"" + colour(g) + "\"/>\n";
      svg += "<text x=\"" + Number(width - 132) + "\" y=\"" + Number(y) +
             "\" font-family=\"sans-serif\" font-size=\"12\">" + Escape(g) + "</text>\n";
      y += 18;
    }
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace vireltan
