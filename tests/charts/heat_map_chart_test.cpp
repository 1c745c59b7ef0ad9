// SPDX-License-Identifier: GPL-3.0-or-later
// The pairwise heat map read back from its SVG and from the texts it
// records: well-formed XML, every name and value drawn, nothing outside the
// page, no two texts on top of each other, at a journal column and a page.
#include "charts/heat_map_chart.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "charts/figure_text.h"

namespace vireltan {
namespace {

// Values cycled over the pairs, with the text each is printed as.
struct Printed {
  double value;
  const char* text;
};
constexpr Printed kValues[] = {{0.0853, "0.085"}, {0.1234, "0.123"},   {0.0451, "0.045"},
                               {0.3217, "0.322"}, {-0.0121, "-0.012"}, {0.0077, "0.008"},
                               {0.2049, "0.205"}, {0.1666, "0.167"}};

// Every third pair is marked.
std::string MarkOf(size_t pair) {
  return pair % 3 == 0 ? "*" : "";
}

HeatMapChart Chart(int groups, int undefinedEvery = 0) {
  HeatMapChart chart;
  chart.title = "Pairwise Fst (\u03b8), \"meadow\"";
  chart.legendTitle = "Fst";
  chart.foot = "* p < 0.05 (999 permutations)";
  for (int i = 0; i < groups; ++i) chart.groups.push_back("Pop" + std::to_string(i + 1));
  for (int k = 0; k < groups * (groups - 1) / 2; ++k) {
    const bool undefined = undefinedEvery > 0 && k % undefinedEvery == undefinedEvery - 1;
    chart.values.push_back(undefined ? std::nullopt : std::optional<double>(kValues[k % 8].value));
    chart.marks.push_back(MarkOf(k));
  }
  return chart;
}

FigureOptions Size(double widthMm, double heightMm) {
  FigureOptions o;
  o.widthMm = widthMm;
  o.heightMm = heightMm;
  return o;
}

bool WellFormed(const std::string& svg) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  const bool ok = XML_Parse(parser, svg.data(), static_cast<int>(svg.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok;
}

// The four corners of a recorded text's box, in mm.
std::array<std::array<double, 2>, 4> Corners(const NetworkText& t) {
  const double a = t.angle * M_PI / 180, c = std::cos(a), s = std::sin(a);
  std::array<std::array<double, 2>, 4> p;
  for (int k = 0; k < 4; ++k) {
    const double along = (k & 1) ? t.width : 0, across = (k & 2) ? t.height : 0;
    p[k] = {t.x + along * c - across * s, t.y + along * s + across * c};
  }
  return p;
}

// Whether two (turned) boxes share more than a hair, by separating axes.
bool Overlap(const NetworkText& a, const NetworkText& b) {
  const auto pa = Corners(a), pb = Corners(b);
  for (const NetworkText* t : {&a, &b})
    for (double angle : {t->angle, t->angle + 90}) {
      const double ux = std::cos(angle * M_PI / 180), uy = std::sin(angle * M_PI / 180);
      double a0 = 1e300, a1 = -1e300, b0 = 1e300, b1 = -1e300;
      for (const auto& p : pa)
        a0 = std::min(a0, p[0] * ux + p[1] * uy), a1 = std::max(a1, p[0] * ux + p[1] * uy);
      for (const auto& p : pb)
        b0 = std::min(b0, p[0] * ux + p[1] * uy), b1 = std::max(b1, p[0] * ux + p[1] * uy);
      if (a1 <= b0 + 0.01 || b1 <= a0 + 0.01) return false;
    }
  return true;
}

// Drawn, parsed and checked for what holds of every heat map: XML, finite
// numbers, texts within the page and apart.
std::vector<NetworkText> Draw(const HeatMapChart& chart, const FigureOptions& o,
                              std::string* svgOut = nullptr) {
  std::vector<NetworkText> texts;
  const std::string svg = HeatMapSvg(chart, o, &texts);
  if (const char* dir = std::getenv("VIRELTAN_HEAT_MAP_DIR"))  // to look at it
    std::ofstream(std::string(dir) + "/heatmap_" + std::to_string(chart.groups.size()) + "_" +
                  std::to_string(static_cast<int>(o.widthMm)) + ".svg")
        << svg;
  EXPECT_TRUE(WellFormed(svg));
  EXPECT_EQ(svg.find("nan"), std::string::npos);
  EXPECT_EQ(svg.find("inf"), std::string::npos);
  char header[96];
  std::snprintf(header, sizeof header, "width=\"%.2fmm\" height=\"%.2fmm\"", o.widthMm, o.heightMm);
  EXPECT_NE(svg.find(header), std::string::npos);
  for (size_t i = 0; i < texts.size(); ++i) {
    for (const auto& p : Corners(texts[i])) {
      EXPECT_GE(p[0], -0.01) << texts[i].text;
      EXPECT_LE(p[0], o.widthMm + 0.01) << texts[i].text;
      EXPECT_GE(p[1], -0.01) << texts[i].text;
      EXPECT_LE(p[1], o.heightMm + 0.01) << texts[i].text;
    }
    for (size_t k = 0; k < i; ++k)
      EXPECT_FALSE(Overlap(texts[i], texts[k])) << texts[i].text << " / " << texts[k].text;
  }
  if (svgOut) *svgOut = svg;
  return texts;
}

std::multiset<std::string> Words(const std::vector<NetworkText>& texts) {
  std::multiset<std::string> words;
  for (const NetworkText& t : texts) words.insert(t.text);
  return words;
}

// Whether every value is printed, or all of them or none (the marks then
// alone in their cells).
enum class Values { kEvery, kEveryOrNone };

// The legend's tick labels: the texts that read whole as numbers right of
// the colour bar and level with it, give or take half a millimetre (the
// cells level with the bar lie left of it).
std::vector<std::string> TickLabels(const std::string& svg, const std::vector<NetworkText>& texts) {
  const size_t bar = svg.rfind("<rect", svg.find("fill=\"url(#vireltan-heat-scale)\""));
  EXPECT_NE(bar, std::string::npos);
  if (bar == std::string::npos) return {};
  auto attribute = [&](const char* name) {
    const size_t at = svg.find(std::string(" ") + name + "=\"", bar);
    return std::strtod(svg.c_str() + at + std::strlen(name) + 3, nullptr) * 25.4 / 96;  // mm
  };
  const double right = attribute("x") + attribute("width"), top = attribute("y"),
               bottom = top + attribute("height");
  std::vector<std::string> labels;
  for (const NetworkText& t : texts) {
    char* end = nullptr;
    std::strtod(t.text.c_str(), &end);
    const double middle = t.y + t.height / 2;
    if (!t.text.empty() && *end == '\0' && t.x > right && middle >= top - 0.5 &&
        middle <= bottom + 0.5)
      labels.push_back(t.text);
  }
  return labels;
}

// Tick labels at 3 to 5 round values within lo..hi: evenly spaced,
// multiples of a unit of 1, 2 or 5 times a power of ten no finer than a
// fifth of their spacing, each written with the fewest decimals.
void ExpectRoundTicks(const std::vector<std::string>& labels, double lo, double hi) {
  ASSERT_GE(labels.size(), 3u);
  ASSERT_LE(labels.size(), 5u);
  std::vector<double> ticks;
  for (const std::string& label : labels) {
    ticks.push_back(std::strtod(label.c_str(), nullptr));
    EXPECT_NE(label, "-0");
    if (label.find('.') != std::string::npos) EXPECT_NE(label.back(), '0') << label;
    EXPECT_GE(ticks.back(), lo - 1e-12 * std::fabs(lo)) << label;
    EXPECT_LE(ticks.back(), hi + 1e-12 * std::fabs(hi)) << label;
  }
  std::sort(ticks.begin(), ticks.end());
  const double spacing = (ticks.back() - ticks.front()) / (ticks.size() - 1);
  ASSERT_GT(spacing, 0);
  for (size_t k = 1; k < ticks.size(); ++k)
    EXPECT_NEAR(ticks[k] - ticks[k - 1], spacing, 1e-9 * spacing);
  bool round = false;
  for (int e = -12; e <= 12 && !round; ++e)
    for (double multiple : {1.0, 2.0, 5.0}) {
      const double unit = multiple * std::pow(10.0, e);
      if (unit < spacing / 5 - 1e-12 * spacing) continue;
      bool all = true;
      for (double t : ticks) all = all && std::fabs(t / unit - std::round(t / unit)) < 1e-6;
      round = round || all;
    }
  std::string joined;
  for (const std::string& label : labels) joined += label + " ";
  EXPECT_TRUE(round) << joined;
}

struct LayoutCase {
  int groups;
  double widthMm, heightMm;
  int undefinedEvery;
  Values values;
};

class HeatMapLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(HeatMapLayout, DrawsEveryNameAndValueInsideThePage) {
  const LayoutCase& c = GetParam();
  const HeatMapChart chart = Chart(c.groups, c.undefinedEvery);
  std::string svg;
  const std::vector<NetworkText> texts = Draw(chart, Size(c.widthMm, c.heightMm), &svg);
  const std::multiset<std::string> words = Words(texts);
  for (const std::string& name : chart.groups) EXPECT_TRUE(words.count(name)) << name;
  // Each defined value once with its mark, in its cell, else (where allowed)
  // no value and the marks alone; the undefined pairs print nothing.
  std::multiset<std::string> withValues, marksAlone, drawn;
  for (size_t k = 0; k < chart.values.size(); ++k)
    if (chart.values[k]) {
      withValues.insert(kValues[k % 8].text + MarkOf(k));
      if (!MarkOf(k).empty()) marksAlone.insert(MarkOf(k));
    }
  ASSERT_FALSE(marksAlone.empty());
  for (const Printed& p : kValues)
    for (const std::string& text : {std::string(p.text), std::string(p.text) + "*"})
      drawn.insert(words.lower_bound(text), words.upper_bound(text));
  const bool values = !drawn.empty() || c.values == Values::kEvery;
  if (values) {
    EXPECT_EQ(drawn, withValues);
    EXPECT_EQ(words.count("*"), 0u);
  } else {
    EXPECT_EQ(words.count("*"), marksAlone.size());
  }
  EXPECT_TRUE(words.count("Fst"));
  EXPECT_EQ(words.count("undefined"), c.undefinedEvery > 0 ? 1u : 0u);
  for (const NetworkText& t : texts) {
    EXPECT_GE(t.points, 5) << t.text;
    if (t.text == "Fst") EXPECT_LE(t.width, c.widthMm / 4);
  }
  ExpectRoundTicks(TickLabels(svg, texts), -0.0121, 0.3217);
}

INSTANTIATE_TEST_SUITE_P(ColumnAndPage, HeatMapLayout,
                         testing::Values(LayoutCase{2, 80, 60, 0, Values::kEvery},
                                         LayoutCase{3, 80, 60, 0, Values::kEvery},
                                         LayoutCase{3, 170, 120, 2, Values::kEvery},
                                         LayoutCase{6, 80, 60, 4, Values::kEvery},
                                         LayoutCase{6, 170, 120, 0, Values::kEvery},
                                         // Values shrunk to fit their cells, 5 pt or more.
                                         LayoutCase{9, 80, 60, 5, Values::kEvery},
                                         LayoutCase{9, 170, 120, 5, Values::kEvery},
                                         LayoutCase{17, 170, 120, 7, Values::kEvery},
                                         // Cells of about 4 x 2.5 mm: perhaps colours and marks
                                         // only, names at 5 pt or more.
                                         LayoutCase{17, 80, 60, 7, Values::kEveryOrNone}));

// Nine populations at a journal column's 80 x 60 mm, names of a dozen
// characters, values about -0.04 to 0.1 marked where p < 0.05 and a foot
// of two lines: every value printed (at 5 pt or more) with its mark.
TEST(HeatMap, NinePopulationsInAColumn) {
  HeatMapChart chart;
  chart.title = "Pairwise Fst, \"nursery survey\"";
  chart.legendTitle = "Fst";
  chart.groups = {"Nursery_CA",   "NFChetHigh_OR", "NFChetLow_OR", "HunterCr_OR", "Winchuck_OR",
                  "PistolRSF_OR", "JHallCr_OR",    "BrookBend_CA", "Coast_OR"};
  chart.foot =
      "* p < 0.05 (999 permutations); 9 populations, 412 units, clone-corrected within "
      "populations";
  std::multiset<std::string> expected;
  for (int k = 0; k < 36; ++k) {
    const double v = -0.0383 + 0.1377 * ((k * 7) % 36) / 35.0;
    chart.values.push_back(v);
    chart.marks.push_back(v > 0.03 ? "*" : "");
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    std::string printed = text;
    printed.erase(printed.find_last_not_of('0') + 1);
    if (printed.back() == '.') printed.pop_back();
    if (printed == "-0") printed = "0";
    expected.insert(printed + chart.marks.back());
  }
  std::string svg;
  const std::vector<NetworkText> texts = Draw(chart, Size(80, 60), &svg);
  std::multiset<std::string> drawn;
  for (const NetworkText& t : texts)
    if (expected.count(t.text)) {
      drawn.insert(t.text);
      EXPECT_GE(t.points, 5) << t.text;
    }
  EXPECT_EQ(drawn, expected);
  ExpectRoundTicks(TickLabels(svg, texts), -0.0383, 0.0994);
}

// Round ticks whatever the scale's range and place, the bar short or long
// (labels of five decimals, values of 1e-5, have room from 80 mm on).
TEST(HeatMap, LegendTicksAreRound) {
  for (double scale : {1e-4, 0.0371, 1.0, 7.3, 1234.5})
    for (double shift : {0.0, -0.5, 0.02})
      for (const FigureOptions& o : {Size(80, 60), Size(170, 120), Size(60, 45)}) {
        if (scale < 1e-3 && o.widthMm < 80) continue;
        HeatMapChart chart = Chart(5, 4);
        chart.marks.clear();
        double lo = 0, hi = -1e300;  // the scale reaches down to 0 at least
        for (std::optional<double>& v : chart.values) {
          if (!v) continue;
          v = (*v + shift) * scale;
          lo = std::min(lo, *v);
          hi = std::max(hi, *v);
        }
        std::string svg;
        const std::vector<NetworkText> texts = Draw(chart, o, &svg);
        SCOPED_TRACE(std::to_string(scale) + " " + std::to_string(shift) + " " +
                     std::to_string(o.widthMm));
        ExpectRoundTicks(TickLabels(svg, texts), lo, hi);
      }
}

TEST(HeatMap, NoPairsToDraw) {
  for (int groups : {0, 1}) {
    const std::multiset<std::string> words = Words(Draw(Chart(groups), Size(80, 60)));
    EXPECT_TRUE(words.count("no pairs of populations"));
    EXPECT_TRUE(words.count("Pairwise Fst (\u03b8), \"meadow\""));
  }
}

TEST(HeatMap, ValuesAllAlikeOrMissingOrNotFinite) {
  for (const std::vector<std::optional<double>>& values :
       std::vector<std::vector<std::optional<double>>>{{0.0, 0.0, 0.0},
                                                       {-0.02, -0.02, -0.02},
                                                       {std::nullopt, std::nullopt, std::nullopt},
                                                       {NAN, INFINITY, 0.1}}) {
    HeatMapChart chart = Chart(3);
    chart.values = values;
    std::string svg;
    Draw(chart, Size(80, 60), &svg);
  }
}

TEST(HeatMap, TextsAreEscapedAndMarked) {
  HeatMapChart chart = Chart(3);
  chart.groups[1] = "A<B> & \"C\"\x01";
  chart.marks = {"*", "", "**"};
  chart.title = "a & b";
  std::string svg;
  const std::multiset<std::string> words = Words(Draw(chart, Size(170, 120), &svg));
  EXPECT_TRUE(words.count("A<B> & \"C\""));
  EXPECT_NE(svg.find("A&lt;B&gt; &amp; &quot;C&quot;"), std::string::npos);
  EXPECT_TRUE(words.count("0.085*"));
  EXPECT_TRUE(words.count("0.123"));
  EXPECT_TRUE(words.count("0.045**"));
}

TEST(HeatMap, TitleCanBeLeftOut) {
  FigureOptions o = Size(80, 60);
  o.showTitle = false;
  for (const NetworkText& t : Draw(Chart(4), o))
    EXPECT_EQ(t.text.find("Pairwise"), 0u + std::string::npos);
}

TEST(HeatMap, LongNamesAreShortenedAndTurned) {
  for (const FigureOptions& o : {Size(80, 60), Size(170, 120)}) {
    HeatMapChart chart = Chart(9);
    for (int i = 0; i < 9; ++i)
      chart.groups[i] = "Meadow north of the river, plot " + std::to_string(i + 1);
    // Each name drawn whole or as its start and end about an ellipsis.
    std::set<std::string> named;
    for (const NetworkText& t : Draw(chart, o)) {
      const size_t cut = t.text.find("\u2026");
      for (const std::string& name : chart.groups)
        if (t.text == name ||
            (cut != std::string::npos && name.rfind(t.text.substr(0, cut), 0) == 0 &&
             name.size() >= t.text.size() - cut - 3 &&
             name.compare(name.size() - (t.text.size() - cut - 3), std::string::npos,
                          t.text.substr(cut + 3)) == 0))
          named.insert(name);
    }
    EXPECT_EQ(named.size(), chart.groups.size());
  }
}

TEST(HeatMap, HugeNameIsShortened) {
  HeatMapChart chart = Chart(4);
  chart.groups[2] = std::string(1 << 20, 'x');
  chart.title = std::string(1 << 20, 't');
  chart.foot = std::string(1 << 20, 'f');
  int shortened = 0;
  for (const NetworkText& t : Draw(chart, Size(80, 60))) {
    EXPECT_LE(Utf8Length(t.text), 60) << t.text.substr(0, 80);
    if (t.text.rfind("xxx", 0) == 0) {
      ++shortened;
      EXPECT_NE(t.text.find("\u2026"), std::string::npos);
    }
  }
  EXPECT_EQ(shortened, 2);  // a row and a column
}

}  // namespace
}  // namespace vireltan
