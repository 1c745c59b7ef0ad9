// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/diversity/pareto.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "charts/chart_data.h"

namespace vireltan {
namespace {

// N = 10, clone sizes 1, 1, 1, 1, 2, 4: points (0, 2), (log 2, log 60),
// (log 4, log 40).
const std::vector<int> kTenUnits{1, 2, 1, 4, 1, 1};

TEST(Pareto, FullCaseMatchesTheWorkedExample) {
  ParetoResult r = ComputePareto(kTenUnits);
  ASSERT_EQ(r.kind, ParetoCase::kFull);
  ASSERT_EQ(r.x.size(), 3u);
  EXPECT_DOUBLE_EQ(r.x[1], std::log10(2.0));
  EXPECT_DOUBLE_EQ(r.y[0], 2.0);
  EXPECT_NEAR(r.y[1], std::log10(60.0), 1e-15);
  EXPECT_NEAR(r.y[2], std::log10(40.0), 1e-15);
  EXPECT_NEAR(r.fit.a, 1.99237, 5e-6);
  EXPECT_NEAR(r.fit.b, -0.66096, 5e-6);
  EXPECT_NEAR(r.c, 1.66096, 5e-6);
  EXPECT_NEAR(r.fit.chiSquared, 0.000349, 5e-7);
  EXPECT_NEAR(r.fit.sigmaA, 0.01705, 5e-6);
  EXPECT_NEAR(r.fit.sigmaB, 0.04388, 5e-6);
  EXPECT_EQ(r.fit.goodnessOfFit, 1.0);
  EXPECT_EQ(ParetoMessage(r.kind), "");
}

// The fit against the textbook least-squares formulas in long double.
TEST(Pareto, FitAgreesWithTheNormalEquations) {
  std::vector<int> sizes{1, 1, 1, 1, 1, 1, 2, 2, 2, 3, 3, 5, 8, 13, 13, 40};
  ParetoResult r = ComputePareto(sizes);
  ASSERT_EQ(r.kind, ParetoCase::kFull);
  const long double n = static_cast<long double>(r.x.size());
  long double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (size_t i = 0; i < r.x.size(); ++i) {
    sx += r.x[i];
    sy += r.y[i];
    sxx += static_cast<long double>(r.x[i]) * r.x[i];
    sxy += static_cast<long double>(r.x[i]) * r.y[i];
  }
  const long double delta = n * sxx - sx * sx;
  const long double b = (n * sxy - sx * sy) / delta;
  const long double a = (sxx * sy - sx * sxy) / delta;
  long double chi2 = 0;
  for (size_t i = 0; i < r.x.size(); ++i) {
    long double e = r.y[i] - a - b * r.x[i];
    chi2 += e * e;
  }
  const long double s2 = chi2 / (n - 2);
  EXPECT_NEAR(r.fit.b, static_cast<double>(b), 1e-12);
  EXPECT_NEAR(r.fit.a, static_cast<double>(a), 1e-12);
  EXPECT_NEAR(r.fit.chiSquared, static_cast<double>(chi2), 1e-12);
  EXPECT_NEAR(r.fit.sigmaB, static_cast<double>(std::sqrt(s2 * n / delta)), 1e-12);
  EXPECT_NEAR(r.fit.sigmaA, static_cast<double>(std::sqrt(s2 * sxx / delta)), 1e-12);
  // Sizes 1, 2, 3, 5, 8, 13, 40: seven points; 97 units, 6 in clones of 1.
  ASSERT_EQ(r.x.size(), 7u);
  EXPECT_NEAR(r.y[1], std::log10(91.0 / 97 * 100), 1e-14);
}

struct BoundCase {
  const char* name;
  std::vector<int> sizes;
  ParetoCase kind;
  const char* bLabel;
  double b;
  const char* message;
};

class ParetoBound : public ::testing::TestWithParam<BoundCase> {};

TEST_P(ParetoBound, WritesTheBoundAndNamesTheCase) {
  const BoundCase& c = GetParam();
  ParetoResult r = ComputePareto(c.sizes);
  ASSERT_EQ(r.kind, c.kind);
  EXPECT_NEAR(r.bBound, c.b, 5e-5);
  EXPECT_NEAR(r.c, 1 - c.b, 5e-5);
  EXPECT_EQ(ParetoMessage(r.kind), c.message);
  Sheet sheet;
  EXPECT_EQ(WriteParetoBlock(sheet, 3, r), 3);
  EXPECT_EQ(sheet.TextAt(3, 1), "pareto");
  EXPECT_TRUE(sheet.at(3, 2).empty());
  EXPECT_EQ(sheet.TextAt(4, 1), c.bLabel);
  EXPECT_DOUBLE_EQ(sheet.NumberAt(4, 2), r.bBound);
  EXPECT_EQ(sheet.TextAt(5, 1), "c pareto<");
  EXPECT_DOUBLE_EQ(sheet.NumberAt(5, 2), 1 - r.bBound);
  EXPECT_EQ(sheet.LastRow(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParetoBound,
    ::testing::Values(
        BoundCase{
            "OneMlg", {9}, ParetoCase::kMonogenotypic, "b>", -0.152003, "monogenotypic sample"},
        BoundCase{"AllDistinct",
                  {1, 1, 1, 1, 1, 1, 1, 1, 1},
                  ParetoCase::kAllDistinct,
                  "b<",
                  -2.321928,
                  "maximum genotypic diversity :1"},
        BoundCase{
            "TwoSizes",
            {1, 4},
            ParetoCase::kTwoSizes,
            "b<",
            -0.160964,
            "not enough groups of size (2 distinct clone sizes, 3 needed) to compute Pareto, an "
            "approximation of c min or max "
            "will be given in the result file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pareto, OneCloneSizeWritesNothing) {
  ParetoResult r = ComputePareto({3, 3});
  EXPECT_EQ(r.kind, ParetoCase::kOneSize);
  EXPECT_EQ(ParetoMessage(r.kind), "");
  Sheet sheet;
  EXPECT_EQ(WriteParetoBlock(sheet, 1, r), 0);
  EXPECT_EQ(sheet.LastRow(), 0);
}

TEST(Pareto, FullBlockRows) {
  ParetoResult r = ComputePareto(kTenUnits);
  Sheet sheet;
  EXPECT_EQ(WriteParetoBlock(sheet, 2, r), 10);
  EXPECT_EQ(sheet.TextAt(2, 1), "pareto");
  EXPECT_EQ(sheet.TextAt(2, 2), "ignoring Sdt Dev.");
  EXPECT_EQ(sheet.TextAt(3, 1), "c pareto");
  EXPECT_DOUBLE_EQ(sheet.NumberAt(3, 2), r.c);
  EXPECT_EQ(sheet.TextAt(4, 1), "a");
  EXPECT_EQ(sheet.TextAt(4, 3), "uncertainty");
  EXPECT_DOUBLE_EQ(sheet.NumberAt(4, 4), r.fit.sigmaA);
  EXPECT_EQ(sheet.TextAt(5, 1), "b");
  EXPECT_DOUBLE_EQ(sheet.NumberAt(5, 4), r.fit.sigmaB);
  EXPECT_EQ(sheet.TextAt(6, 1), "chi-squared");
  EXPECT_EQ(sheet.TextAt(7, 1), "goodness-of-fit");
  EXPECT_EQ(sheet.NumberAt(7, 2), 1);
  EXPECT_EQ(sheet.TextAt(8, 1), "x");
  EXPECT_EQ(sheet.TextAt(8, 2), "y");
  EXPECT_EQ(sheet.NumberAt(9, 1), 0);
  EXPECT_EQ(sheet.NumberAt(9, 2), 2);
  EXPECT_DOUBLE_EQ(sheet.NumberAt(11, 1), std::log10(4.0));
  EXPECT_EQ(sheet.LastRow(), 11);
}

// Each label of a log axis stands at log10 of the number it writes, within
// the axis.
void ExpectLogLabels(const ChartAxis& axis) {
  for (const AxisLabel& label : axis.customLabels) {
    EXPECT_NEAR(label.value, std::log10(std::stod(label.text)), 1e-12) << label.text;
    EXPECT_GE(label.value, axis.minimum) << label.text;
    EXPECT_LE(label.value, axis.maximum) << label.text;
  }
}

TEST(Pareto, ChartTextsSeriesAndAxes) {
  ParetoResult r = ComputePareto(kTenUnits);
  ChartData chart = MakeDefaultCharts()[1];
  FillParetoChart(chart, r, "meadow");
  EXPECT_TRUE(chart.visible);
  EXPECT_EQ(chart.title, "Pareto distribution of clone sizes, \"meadow\"");
  EXPECT_EQ(chart.foot, "Pareto index c = 1 - b = 1.661");
  const ChartSeries* points = chart.findSeries(kParetoPointsSeries);
  const ChartSeries* line = chart.findSeries(kParetoFitSeries);
  // The fit's equation, in log10 units, names the line in the legend.
  EXPECT_EQ(line->legend, "fit: log10(%) = -0.661 log10(s) + 1.992");
  ASSERT_EQ(points->points.size(), 3u);
  EXPECT_EQ(points->points[0].label, "O");
  ASSERT_EQ(line->points.size(), 3u);
  EXPECT_NEAR(line->points[2].y, r.fit.a + r.fit.b * std::log10(4.0), 1e-15);
  // Axes over the data and the line with a margin: no point on the frame,
  // no empty decade.
  EXPECT_TRUE(chart.left.fixedRange);
  EXPECT_TRUE(chart.bottom.fixedRange);
  for (const ChartSeries* s : {points, line})
    for (const ChartPoint& p : s->points) {
      EXPECT_GT(p.x, chart.bottom.minimum);
      EXPECT_LT(p.x, chart.bottom.maximum);
      EXPECT_GT(p.y, chart.left.minimum);
      EXPECT_LT(p.y, chart.left.maximum);
    }
  EXPECT_LT(chart.bottom.maximum, std::log10(4.0) + 0.1);
  ExpectLogLabels(chart.left);
  ExpectLogLabels(chart.bottom);
  // Less than a decade and a half: every whole number 1..4 labels the sizes.
  ASSERT_EQ(chart.bottom.customLabels.size(), 4u);
  EXPECT_EQ(chart.bottom.customLabels[3].text, "4");
  EXPECT_EQ(chart.bottom.title, "Clone size s (sampling units, log scale)");

  // A second run replaces points and labels instead of piling them up.
  FillParetoChart(chart, r, "meadow");
  EXPECT_EQ(chart.findSeries(kParetoPointsSeries)->points.size(), 3u);
  EXPECT_EQ(chart.bottom.customLabels.size(), 4u);
}

TEST(Pareto, HugeClonesGetOneTwoFiveLabelsPerDecade) {
  // Clone sizes 1, 2 and 5,000: labels 1, 2, 5, 10 ... 5000, no further.
  ParetoResult r = ComputePareto({1, 2, 5000});
  ChartData chart = MakeDefaultCharts()[1];
  FillParetoChart(chart, r, "meadow");
  const auto& labels = chart.bottom.customLabels;
  ASSERT_EQ(labels.size(), 12u);
  EXPECT_EQ(labels[3].text, "10");
  EXPECT_EQ(labels.back().text, "5000");
  ExpectLogLabels(chart.bottom);
}

TEST(Pareto, ChartNumbersInFixedNotation) {
  EXPECT_EQ(FormatFixed3(-0.66096), "-0.661");
  EXPECT_EQ(FormatFixed3(2), "2.000");
  EXPECT_EQ(FormatFixed3(-0.0001), "0.000");
  EXPECT_EQ(FormatFixed3(12.3456), "12.346");
}

}  // namespace
}  // namespace vireltan
