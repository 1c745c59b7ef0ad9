// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/diversity/pareto.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "numeric/rounding.h"

namespace vireltan {

namespace {

void SetNumberIfDefined(Sheet& sheet, int row, int col, double value) {
  if (std::isfinite(value)) sheet.SetNumberAt(row, col, value);
}

}  // namespace

ParetoResult ComputePareto(const std::vector<int>& cloneSizes) {
  ParetoResult r;
  std::vector<int> sizes(cloneSizes);
  std::sort(sizes.begin(), sizes.end());
  std::int64_t total = 0;
  for (int s : sizes) total += s;
  const double n = static_cast<double>(total);
  const std::size_t g = sizes.size();

  // The bounds are written as the slope from the first point (size 1 or N,
  // 100 %) to the point the next unit would add, in the form the published
  // values were computed with.
  if (g == 1) {
    r.kind = ParetoCase::kMonogenotypic;
    r.bBound = (std::log10(100.0 * n / (n + 1.0)) - std::log10(100.0 * (n + 1.0) / (n + 1.0))) /
               (std::log10(2.0) - std::log10(1.0));
    r.c = 1.0 - r.bBound;
    return r;
  }
  if (static_cast<double>(g) == n) {
    r.kind = ParetoCase::kAllDistinct;
    r.bBound = (std::log10(100.0 * 2.0 / (n + 1.0)) - 2.0) / (std::log10(2.0) - std::log10(1.0));
    r.c = 1.0 - r.bBound;
    return r;
  }

  // One point per distinct size s, at the last clone of its run: y is the
  // percentage of units in clones of size >= s, i.e. before this run's units
  // are counted.
  std::int64_t counted = 0;
  double percent = 100.0;
  for (std::size_t i = 0; i < g; ++i) {
    counted += sizes[i];
    if (i + 1 == g || sizes[i + 1] != sizes[i]) {
      r.x.push_back(std::log10(static_cast<double>(sizes[i])));
      r.y.push_back(std::log10(percent));
      percent = static_cast<double>(total - counted) / n * 100.0;
    }
  }

  if (r.x.size() == 1) {
    r.kind = ParetoCase::kOneSize;
    return r;
  }
  if (r.x.size() == 2) {
    r.kind = ParetoCase::kTwoSizes;
    r.bBound = (r.y[1] - r.y[0]) / (r.x[1] - r.x[0]);
    r.c = 1.0 - r.bBound;
    return r;
  }
  r.kind = ParetoCase::kFull;
  r.fit = FitStraightLine(r.x, r.y);
  r.c = 1.0 - r.fit.b;
  return r;
}

std::string ParetoMessage(ParetoCase kind) {
  switch (kind) {
    case ParetoCase::kMonogenotypic:
      return "monogenotypic sample";
    case ParetoCase::kAllDistinct:
      return "maximum genotypic diversity :1";
    case ParetoCase::kTwoSizes:
      // The line is fitted through one point per distinct clone size.
      return "not enough groups of size (2 distinct clone sizes, 3 needed) to compute Pareto, an "
             "approximation of c min or max will be given in the result file";
    case ParetoCase::kOneSize:
    case ParetoCase::kFull:
      break;
  }
  return "";
}

int WriteParetoBlock(Sheet& sheet, int row, const ParetoResult& r) {
  switch (r.kind) {
    case ParetoCase::kOneSize:
      return 0;
    case ParetoCase::kMonogenotypic:
    case ParetoCase::kAllDistinct:
    case ParetoCase::kTwoSizes:
      sheet.SetTextAt(row, 1, "pareto");
      sheet.SetTextAt(row + 1, 1, r.kind == ParetoCase::kMonogenotypic ? "b>" : "b<");
      SetNumberIfDefined(sheet, row + 1, 2, r.bBound);
      sheet.SetTextAt(row + 2, 1, "c pareto<");
      SetNumberIfDefined(sheet, row + 2, 2, r.c);
      return 3;
    case ParetoCase::kFull:
      break;
  }
  sheet.SetTextAt(row, 1, "pareto");
  sheet.SetTextAt(row, 2, "ignoring Sdt Dev.");
  sheet.SetTextAt(row + 1, 1, "c pareto");
  SetNumberIfDefined(sheet, row + 1, 2, r.c);
  sheet.SetTextAt(row + 2, 1, "a");
  SetNumberIfDefined(sheet, row + 2, 2, r.fit.a);
  sheet.SetTextAt(row + 2, 3, "uncertainty");
  if (r.fit.sigmasDefined) SetNumberIfDefined(sheet, row + 2, 4, r.fit.sigmaA);
  sheet.SetTextAt(row + 3, 1, "b");
  SetNumberIfDefined(sheet, row + 3, 2, r.fit.b);
  sheet.SetTextAt(row + 3, 3, "uncertainty");
  if (r.fit.sigmasDefined) SetNumberIfDefined(sheet, row + 3, 4, r.fit.sigmaB);
  sheet.SetTextAt(row + 4, 1, "chi-squared");
  SetNumberIfDefined(sheet, row + 4, 2, r.fit.chiSquared);
  sheet.SetTextAt(row + 5, 1, "goodness-of-fit");
  SetNumberIfDefined(sheet, row + 5, 2, r.fit.goodnessOfFit);
  sheet.SetTextAt(row + 6, 1, "x");
  sheet.SetTextAt(row + 6, 2, "y");
  for (std::size_t i = 0; i < r.x.size(); ++i) {
    const int at = row + 7 + static_cast<int>(i);
    SetNumberIfDefined(sheet, at, 1, r.x[i]);
    SetNumberIfDefined(sheet, at, 2, r.y[i]);
  }
  return 7 + static_cast<int>(r.x.size());
}

std::string FormatFixed3(double value) {
  if (!std::isfinite(value)) return "";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.3f", value);
  std::string text(buffer);
  if (text == "-0.000") text = "0.000";
  return text;
}

namespace {

// Labels of a log10 axis from `lo` to `hi` (in log10 units): the values 1,
// 2 and 5 times each power of ten, written as plain numbers; 1 to 9 times
// on an axis shorter than a decade and a half.
std::vector<AxisLabel> LogAxisLabels(double lo, double hi) {
  std::vector<AxisLabel> labels;
  const std::vector<int> multiples =
      hi - lo < 1.5 ? std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9} : std::vector<int>{1, 2, 5};
  for (int decade = static_cast<int>(std::floor(lo)); decade <= static_cast<int>(std::ceil(hi));
       ++decade) {
    for (int m : multiples) {
      const double v = decade + std::log10(static_cast<double>(m));
      if (v < lo - 1e-9 || v > hi + 1e-9) continue;
      char text[32];
      std::snprintf(text, sizeof text, "%.10g", m * std::pow(10.0, decade));
      labels.push_back({v, text});
    }
  }
  return labels;
}

// A log axis over the data from `lo` to `hi` with a margin, so that no
// point sits on the frame.
void SetLogAxis(ChartAxis& axis, double lo, double hi) {
  const double pad = 0.05 * std::max(hi - lo, 0.3);
  axis.fixedRange = true;
  axis.minimum = lo - pad;
  axis.maximum = hi + pad;
  axis.customLabels = LogAxisLabels(axis.minimum, axis.maximum);
}

}  // namespace

void FillParetoChart(ChartData& chart, const ParetoResult& r, const std::string& datasetName) {
  chart.clearSeries();
  chart.title = "Pareto distribution of clone sizes, \"" + datasetName + "\"";
  chart.subtitle.clear();
  chart.foot = "Pareto index c = 1 - b = " + FormatFixed3(r.c);
  chart.bottom.title = "Clone size s (sampling units, log scale)";
  chart.left.title = "Units in clones of size \u2265 s (%, log scale)";

  if (ChartSeries* points = chart.findSeries(kParetoPointsSeries)) {
    points->legend = "observed clone sizes";
    points->color = "#0072B2";
    for (std::size_t i = 0; i < r.x.size(); ++i)
      points->points.push_back({r.x[i], r.y[i], "O", "#0072B2"});
  }
  if (ChartSeries* line = chart.findSeries(kParetoFitSeries)) {
    // The fit is a straight line in log10 units, as the equation says.
    const std::string sign = r.fit.a < 0 ? " - " : " + ";
    line->legend = "fit: log10(%) = " + FormatFixed3(r.fit.b) + " log10(s)" + sign +
                   FormatFixed3(std::fabs(r.fit.a));
    for (std::size_t i = 0; i < r.x.size(); ++i)
      line->points.push_back({r.x[i], r.fit.a + r.fit.b * r.x[i], "", "black"});
  }

  double xMax = 0, yMin = 2, yMax = 2;
  for (std::size_t i = 0; i < r.x.size(); ++i) {
    if (std::isfinite(r.x[i])) xMax = std::max(xMax, r.x[i]);
    if (std::isfinite(r.y[i])) yMin = std::min(yMin, r.y[i]);
    // The fitted line is drawn whole.
    const double fitted = r.fit.a + r.fit.b * r.x[i];
    if (std::isfinite(fitted)) {
      yMin = std::min(yMin, fitted);
      yMax = std::max(yMax, fitted);
    }
  }
  SetLogAxis(chart.bottom, 0, xMax);
  SetLogAxis(chart.left, yMin, yMax);
  chart.visible = true;
}

}  // namespace vireltan
