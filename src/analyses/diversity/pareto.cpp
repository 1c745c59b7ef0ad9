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
      return "not enough groups of size  to compute Pareto, an approximation of c min or max will "
             "be given in the result file";
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

void FillParetoChart(ChartData& chart, const ParetoResult& r, const std::string& datasetName) {
  chart.clearSeries();
  chart.title = "Pareto distribution for \"" + datasetName + "\"";
  chart.subtitle = "y = " + FormatFixed3(r.fit.b) + "x +" + FormatFixed3(r.fit.a);
  chart.foot = "c(pareto) = " + FormatFixed3(r.c);

  if (ChartSeries* points = chart.findSeries(kParetoPointsSeries)) {
    for (std::size_t i = 0; i < r.x.size(); ++i)
      points->points.push_back({r.x[i], r.y[i], "O", "blue"});
  }
  if (ChartSeries* line = chart.findSeries(kParetoFitSeries)) {
    for (std::size_t i = 0; i < r.x.size(); ++i)
      line->points.push_back({r.x[i], r.fit.a + r.fit.b * r.x[i], "", "black"});
  }

  // Left axis: log10 of the percentage, labelled in percent.
  chart.left.fixedRange = true;
  chart.left.minimum = 0;
  chart.left.maximum = 2.5;
  chart.left.customLabels = {{0.69897, "5"},           {1, "10"},
                             {1.39794000867204, "25"}, {1.69897000433602, "50"},
                             {1.8750612633917, "75"},  {2, "100"}};

  // Bottom axis: log10 of the clone size, labelled 1, 2, 3, ... up to ten
  // times the largest clone, each at log10 of its number.
  const double xMax = r.x.empty() ? 0.0 : r.x.back();
  chart.bottom.fixedRange = true;
  chart.bottom.minimum = 0;
  chart.bottom.maximum = xMax + 1.0;
  chart.bottom.customLabels.clear();
  const long long last = RoundHalfEven(std::pow(10.0, xMax + 1.0));
  // Past a thousand labels (clones of more than a hundred units) only the
  // values 1..9 times a power of ten are kept: the others could not be told
  // apart on a log axis anyway, and a clone of 10^5 units would otherwise
  // make a million label strings.
  const bool thin = last > 1000;
  for (long long i = 1, decade = 1; i <= last; i += thin ? decade : 1) {
    if (i >= 10 * decade) decade *= 10;
    chart.bottom.customLabels.push_back({std::log10(static_cast<double>(i)), std::to_string(i)});
  }
  chart.visible = true;
}

}  // namespace vireltan
