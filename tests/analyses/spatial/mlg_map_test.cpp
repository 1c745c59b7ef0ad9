// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/mlg_map.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

std::vector<double> Values(const std::vector<AxisLabel>& labels) {
  std::vector<double> v;
  for (const AxisLabel& l : labels) v.push_back(l.value);
  return v;
}

std::vector<double> Multiples(long long from, long long to, long long step) {
  std::vector<double> v;
  for (long long x = from; x <= to; x += step) v.push_back(static_cast<double>(x));
  return v;
}

struct LabelCase {
  const char* name;
  double minimum, maximum;
  bool labelZero;
  std::vector<double> expected;
};

TEST(MapAxisLabels, StepIsATenthOfTheRangeRoundedHalfEvenAtLeastOne) {
  const LabelCase cases[] = {
      // The worked example: MaxX = 100 and MaxY = 50.
      {"bottom 0..100", 0, 100, true, Multiples(0, 100, 10)},
      {"left 0..50 skips 0", 0, 50, false, Multiples(5, 50, 5)},
      // 25/10 = 2.5 rounds to the even 2; 35/10 = 3.5 rounds to 4.
      {"half to even down", 0, 25, true, Multiples(0, 24, 2)},
      {"half to even up", 0, 35, true, Multiples(0, 32, 4)},
      // A range of 5 or less: the tenth rounds to 0, the step becomes 1.
      {"short range", 0, 5, true, Multiples(0, 5, 1)},
      {"short range left", 0, 3.4, false, Multiples(1, 3, 1)},
      {"empty range", 0, 0, true, {0}},
      {"empty range left", 0, 0, false, {}},
      // The last label is at the rounded maximum: 46.6 -> 47, step 5.
      {"rounded maximum", 0, 46.6, true, Multiples(0, 45, 5)},
      // Negative coordinates extend the axis below 0.
      {"negative minimum", -20, 0, true, Multiples(-20, 0, 2)},
      {"both sides", -13, 27, false, {-12, -8, -4, 4, 8, 12, 16, 20, 24}},
  };
  for (const LabelCase& c : cases) {
    EXPECT_EQ(Values(MapAxisLabels(c.minimum, c.maximum, c.labelZero)), c.expected) << c.name;
  }
}

TEST(MapAxisLabels, TextsAreTheDecimalValues) {
  auto labels = MapAxisLabels(0, 100, true);
  ASSERT_EQ(labels.size(), 11u);
  EXPECT_EQ(labels[0].text, "0");
  EXPECT_EQ(labels[3].text, "30");
  EXPECT_EQ(labels[10].text, "100");
}

TEST(MapAxisLabels, LargeCoordinatesStayAtAboutElevenLabels) {
  auto labels = MapAxisLabels(0, 4'650'000, true);
  EXPECT_EQ(labels.size(), 11u);
  EXPECT_EQ(labels.back().text, "4650000");
}

class MlgMapTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  TempDir dir;

  void Open(const Rows& rows) {
    WriteTsv(dir.path() / "plot.txt", rows);
    ASSERT_TRUE(session.Open(dir.file("plot.txt")).ok());
  }
};

// Three MLGs, numbered in ascending order of their genotype keys:
// "101130..." (s4) < "120124..." (s1, s3) < "130130..." (s2, s5).
const Rows kPlot{{"5", "", "", "2", "2"},
                 {"s1", "10", "5", "120124", "150152"},
                 {"s2", "100", "50", "130130", "160160"},
                 {"s3", "12", "7", "124120", "152150"},
                 {"s4", "40", "20", "101130", "150152"},
                 {"s5", "41", "21", "130130", "160160"}};

TEST_F(MlgMapTest, EveryUnitAtItsPositionLargestClonesFirstEachInItsColour) {
  Open(kPlot);
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "plot", chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->points.size(), 5u);
  struct Expected {
    double x, y;
    const char* label;
    const char* colour;
  };
  // MLG 2 (s1, s3) and MLG 3 (s2, s5) are clones of two, coloured in that
  // order; MLG 1 (s4), a single unit, is grey and comes last.
  const Expected expected[] = {{10, 5, "2", "#E69F00"},
                               {12, 7, "2", "#E69F00"},
                               {100, 50, "3", "#0072B2"},
                               {41, 21, "3", "#0072B2"},
                               {40, 20, "1", "#BBBBBB"}};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(s->points[i].x, expected[i].x) << i;
    EXPECT_DOUBLE_EQ(s->points[i].y, expected[i].y) << i;
    EXPECT_EQ(s->points[i].label, expected[i].label) << i;
    EXPECT_EQ(s->points[i].color, expected[i].colour) << i;
  }
  ASSERT_EQ(s->colourLegend.size(), 3u);
  EXPECT_EQ(s->colourLegend[0].text, "2 (2)");
  EXPECT_EQ(s->colourLegend[1].text, "3 (2)");
  EXPECT_EQ(chart.legendTitle, "MLG (units)");
  EXPECT_EQ(s->colourLegend[2].text, "other MLGs");
  EXPECT_EQ(chart.title, "MLG map of \"plot\"");
  // The axes follow the data (the drawer adds the margin) at one scale.
  EXPECT_FALSE(chart.bottom.fixedRange);
  EXPECT_FALSE(chart.left.fixedRange);
  EXPECT_TRUE(chart.equalScale);
  EXPECT_EQ(chart.bottom.title, "X coordinate");
}

TEST_F(MlgMapTest, UnitsOfOneMlgAtOnePositionMakeOnePointWithTheirCount) {
  Open({{"3", "", "", "1", "2"},
        {"a", "5", "5", "120124"},
        {"b", "5", "5", "120124"},
        {"c", "6", "5", "120120"}});
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "stack", chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  ASSERT_EQ(s->points.size(), 2u);
  EXPECT_EQ(s->points[0].label, "2 \u00d72");
  EXPECT_EQ(s->points[1].label, "1");
  EXPECT_NE(chart.foot.find("n units"), std::string::npos);
}

// `clones` clones of two units each, at distinct genotypes, then `singles`
// units of MLGs of their own.
Rows ClonesOfTwo(int clones, int singles) {
  Rows rows{{std::to_string(2 * clones + singles), "", "", "1", "2"}};
  for (int g = 0; g < clones; ++g)
    for (int copy = 0; copy < 2; ++copy)
      rows.push_back({"u" + std::to_string(2 * g + copy), std::to_string(g), std::to_string(copy),
                      std::to_string(100100 + 1001 * g)});
  for (int i = 0; i < singles; ++i)
    rows.push_back({"s" + std::to_string(i), std::to_string(100 + i), "50",
                    std::to_string(500500 + 1001 * i)});
  return rows;
}

TEST_F(MlgMapTest, EightClonesEachInItsOwnColourAndShapeTheOthersGrey) {
  Open(ClonesOfTwo(25, 0));
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "many", chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  ASSERT_EQ(s->colourLegend.size(), 9u);  // 8 clones and "other MLGs"
  EXPECT_EQ(s->colourLegend.back().text, "other MLGs");
  std::set<std::string> colours, shapes;
  std::set<std::pair<std::string, std::string>> looks;
  for (size_t i = 0; i + 1 < s->colourLegend.size(); ++i) {
    colours.insert(s->colourLegend[i].color);
    shapes.insert(s->colourLegend[i].marker);
    looks.insert({s->colourLegend[i].color, s->colourLegend[i].marker});
  }
  EXPECT_EQ(colours.size(), 8u);
  EXPECT_EQ(shapes, (std::set<std::string>{"", "triangle", "diamond", "square"}));
  EXPECT_EQ(colours.count("#BBBBBB"), 0u);
  // Nothing folds away in a small figure: the legend holds every clone.
  EXPECT_TRUE(s->foldColour.empty());
  EXPECT_GT(s->markerPoints, 0);
  // The ninth clone on is grey circles.
  int grey = 0;
  for (const ChartPoint& p : s->points) {
    if (p.color != "#BBBBBB") continue;
    ++grey;
    EXPECT_EQ(p.marker, "");
  }
  EXPECT_EQ(grey, 2 * (25 - 8));
}

// The colours follow the clone sizes, ties going to the lower MLG number,
// whatever the order of the units in the file.
TEST_F(MlgMapTest, ColoursGoToTheLargestClonesTiesByNumber) {
  // MLG numbers follow the genotype keys: 1 "101101" (2 units), 2 "102102"
  // (3 units), 3 "103103" (2 units), 4 "104104" (1 unit).
  Open({{"8", "", "", "1", "2"},
        {"a", "0", "0", "103103"},
        {"b", "1", "0", "103103"},
        {"c", "2", "0", "104104"},
        {"d", "3", "0", "101101"},
        {"e", "4", "0", "102102"},
        {"f", "5", "0", "102102"},
        {"g", "6", "0", "102102"},
        {"h", "7", "0", "101101"}});
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "ties", chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  ASSERT_EQ(s->colourLegend.size(), 4u);
  EXPECT_EQ(s->colourLegend[0].text, "2 (3)");
  EXPECT_EQ(s->colourLegend[1].text, "1 (2)");
  EXPECT_EQ(s->colourLegend[2].text, "3 (2)");
  EXPECT_EQ(s->colourLegend[3].text, "other MLGs");
  EXPECT_EQ(s->colourLegend[0].marker, "");
  EXPECT_EQ(s->colourLegend[1].marker, "triangle");
  EXPECT_EQ(s->colourLegend[2].marker, "diamond");
}

// Units of several MLGs at one position: one label, their number, on the
// point drawn on top (the largest clone's); the other points there bare.
TEST_F(MlgMapTest, APositionSharedBySeveralMlgsIsLabelledWithItsUnits) {
  Open({{"6", "", "", "1", "2"},
        {"a", "5", "5", "120124"},
        {"b", "5", "5", "120124"},
        {"c", "5", "5", "130130"},
        {"d", "5", "5", "140140"},
        {"e", "9", "9", "130130"},
        {"f", "1", "1", "150150"}});
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "shared", chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  std::vector<std::string> labelsAt55;
  for (const ChartPoint& p : s->points)
    if (p.x == 5 && p.y == 5) labelsAt55.push_back(p.label);
  // MLG 1 (a, b), MLG 2 (c), MLG 3 (d) at (5, 5): three points, one label.
  ASSERT_EQ(labelsAt55.size(), 3u);
  EXPECT_EQ(labelsAt55[0], "\u00d74");
  EXPECT_EQ(labelsAt55[1], "");
  EXPECT_EQ(labelsAt55[2], "");
  // A unit alone at its position keeps its MLG number.
  for (const ChartPoint& p : s->points)
    if (p.x == 1) EXPECT_EQ(p.label, "4");
  EXPECT_NE(chart.foot.find("; \u00d7n: n units of several MLGs"), std::string::npos) << chart.foot;
}

TEST_F(MlgMapTest, LineagesAreCalledMllsAndTheUnitGoesIntoTheAxisTitles) {
  Open(kPlot);
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "plot", chart, {"m", true});
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  EXPECT_EQ(chart.legendTitle, "MLL (units)");
  EXPECT_EQ(s->colourLegend.back().text, "other MLLs");
  EXPECT_EQ(chart.title, "MLL map of \"plot\"");
  EXPECT_EQ(chart.foot.rfind("Labels: MLL number", 0), 0u) << chart.foot;
  EXPECT_EQ(chart.bottom.title, "X (m)");
  EXPECT_EQ(chart.left.title, "Y (m)");
}

}  // namespace
}  // namespace vireltan
