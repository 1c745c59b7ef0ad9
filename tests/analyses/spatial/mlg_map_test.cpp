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
        {"c", "5", "5", "120120"}});
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "stack", chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  ASSERT_EQ(s->points.size(), 2u);
  EXPECT_EQ(s->points[0].label, "2 \u00d72");
  EXPECT_EQ(s->points[1].label, "1");
  EXPECT_NE(chart.foot.find("n units"), std::string::npos);
}

TEST_F(MlgMapTest, EightColoursThenSquaresForAtMost16Clones) {
  Rows rows{{"50", "", "", "1", "2"}};
  // 25 clones of two units each, at distinct genotypes.
  for (int g = 0; g < 25; ++g)
    for (int copy = 0; copy < 2; ++copy)
      rows.push_back({"u" + std::to_string(2 * g + copy), std::to_string(g), std::to_string(copy),
                      std::to_string(100100 + 1001 * g)});
  Open(rows);
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), "many", chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  ASSERT_EQ(s->colourLegend.size(), 17u);  // 16 clones and "other MLGs"
  EXPECT_EQ(s->colourLegend.back().text, "other MLGs");
  std::set<std::string> colours;
  std::set<std::pair<std::string, std::string>> looks;
  for (const ColourLegend& c : s->colourLegend) {
    colours.insert(c.color);
    looks.insert({c.color, c.marker});
  }
  EXPECT_EQ(colours.size(), 9u);  // eight colours and the grey
  EXPECT_EQ(looks.size(), 17u);   // every clone told apart
}

}  // namespace
}  // namespace vireltan
