#include "analyses/spatial/mlg_map.h"

#include <gtest/gtest.h>

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

TEST_F(MlgMapTest, EveryUnitAtItsPositionLabelledWithItsMlgInMlgOrder) {
  Open(kPlot);
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(),
             {session.info().minX, session.info().maxX, session.info().minY, session.info().maxY}, chart);
  const ChartSeries* s = chart.findSeries(kMapUnitsSeries);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->points.size(), 5u);
  struct Expected {
    double x, y;
    const char* label;
  };
  // Dataset-table order: MLG 1 (s4), MLG 2 (s1, s3), MLG 3 (s2, s5).
  const Expected expected[] = {
      {40, 20, "1"}, {10, 5, "2"}, {12, 7, "2"}, {100, 50, "3"}, {41, 21, "3"}};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(s->points[i].x, expected[i].x) << i;
    EXPECT_DOUBLE_EQ(s->points[i].y, expected[i].y) << i;
    EXPECT_EQ(s->points[i].label, expected[i].label) << i;
    EXPECT_EQ(s->points[i].color, "black");
  }
  EXPECT_TRUE(chart.bottom.fixedRange);
  EXPECT_DOUBLE_EQ(chart.bottom.minimum, 0);
  EXPECT_DOUBLE_EQ(chart.bottom.maximum, 100);
  EXPECT_DOUBLE_EQ(chart.left.minimum, 0);
  EXPECT_DOUBLE_EQ(chart.left.maximum, 50);
  EXPECT_EQ(Values(chart.bottom.customLabels), Multiples(0, 100, 10));
  EXPECT_EQ(Values(chart.left.customLabels), Multiples(5, 50, 5));
}

TEST_F(MlgMapTest, ZeroWidthRangeIsWidenedSoTheAxisCanBeDrawn) {
  Open({{"2", "", "", "1", "2"}, {"a", "0", "0", "120124"}, {"b", "0", "0", "120120"}});
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(), {0, 0, 0, 0}, chart);
  EXPECT_DOUBLE_EQ(chart.bottom.minimum, 0);
  EXPECT_DOUBLE_EQ(chart.bottom.maximum, 1);
  // A lone label at 0 says nothing: the axes keep the chart's own ticks.
  EXPECT_TRUE(chart.bottom.customLabels.empty());
  EXPECT_TRUE(chart.left.customLabels.empty());
}

TEST_F(MlgMapTest, AxesShorterThanTwoUnitsKeepTheChartsOwnTicks) {
  // Positions in kilometres: 0.8 km by 1.6 km.
  Open({{"3", "", "", "1", "2"},
        {"a", "0.2", "1.6", "120124"},
        {"b", "0.8", "0.4", "120120"},
        {"c", "0.5", "0.1", "120120"}});
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(),
             {session.info().minX, session.info().maxX, session.info().minY, session.info().maxY}, chart);
  EXPECT_DOUBLE_EQ(chart.bottom.maximum, 0.8);
  EXPECT_DOUBLE_EQ(chart.left.maximum, 1.6);
  // Only 0 would be labelled across, only 1 up (2, at the rounded maximum,
  // lies beyond 1.6).
  EXPECT_TRUE(chart.bottom.customLabels.empty());
  EXPECT_TRUE(chart.left.customLabels.empty());
  // From two units on, whole numbers label the axis.
  EXPECT_EQ(Values(MapAxisLabels(0, 2.2, true)), (std::vector<double>{0, 1, 2}));
}

TEST_F(MlgMapTest, NegativeCoordinatesStayOnTheMap) {
  Open({{"2", "", "", "1", "2"}, {"a", "-30", "-10", "120124"}, {"b", "-5", "-2", "120120"}});
  ChartData chart;
  FillMlgMap(session.dataset(), session.mlgs(),
             {session.info().minX, session.info().maxX, session.info().minY, session.info().maxY}, chart);
  EXPECT_DOUBLE_EQ(chart.bottom.minimum, -30);
  EXPECT_DOUBLE_EQ(chart.bottom.maximum, 0);
  EXPECT_DOUBLE_EQ(chart.left.minimum, -10);
  for (const ChartPoint& p : chart.findSeries(kMapUnitsSeries)->points) {
    EXPECT_GE(p.x, chart.bottom.minimum);
    EXPECT_LE(p.x, chart.bottom.maximum);
    EXPECT_GE(p.y, chart.left.minimum);
    EXPECT_LE(p.y, chart.left.maximum);
  }
}

}  // namespace
}  // namespace vireltan
