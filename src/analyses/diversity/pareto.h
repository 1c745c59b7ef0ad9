// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pareto distribution of clone sizes.
//
// For each distinct clone size s, the percentage of sampling units that
// belong to clones of size >= s is plotted against s on log-log scales;
// under a Pareto (power-law) distribution the points fall on a line of slope
// b, and the Pareto exponent is c = 1 - b. A steep decline (large c) means
// few large clones; c near 0 a sample dominated by large clones.
//
// Samples that cannot support a fit give a bound on b and c instead:
//   one MLG (G = 1):            b > log10(N/(N+1)) / log10 2
//   every unit its own MLG:     b < log10(2/(N+1)) / log10 2
//   two distinct clone sizes:   b < the slope through the two points
//   one clone size (G > 1):     nothing is reported.
#include <string>
#include <vector>

#include "numeric/line_fit.h"
#include "charts/chart_data.h"
#include "sheet/sheet.h"

namespace vireltan {

enum class ParetoCase {
  kMonogenotypic,  // G = 1
  kAllDistinct,    // G = N
  kTwoSizes,       // two distinct clone sizes
  kOneSize,        // every clone of one size (G > 1, G < N)
  kFull,           // three sizes or more: the line is fitted
};

struct ParetoResult {
  ParetoCase kind = ParetoCase::kOneSize;
  // Log-log points, one per distinct clone size, ascending: x = log10 s,
  // y = log10 (percentage of units in clones of size >= s); so y_1 = 2.
  std::vector<double> x;
  std::vector<double> y;
  double bBound = 0;  // the bound on b in the three bounded cases
  LineFit fit{};      // kFull only
  double c = 0;       // 1 - b (fitted or bound)
};

// `cloneSizes` holds n_1..n_G (any order), N = their sum.
ParetoResult ComputePareto(const std::vector<int>& cloneSizes);

// The message the window shows for the case, or "" when it shows none.
std::string ParetoMessage(ParetoCase kind);

// Writes the result rows from `row` ("pareto" first). kOneSize writes
// nothing. Returns the number of rows written.
int WriteParetoBlock(Sheet& sheet, int row, const ParetoResult& result);

// Fills the Pareto chart for the full case: title naming the dataset, the fitted
// equation as subtitle, c as foot, the points (labelled "O", blue), the line
// (black), fixed log-scale axes with their labels in plain numbers. The
// chart is made visible.
void FillParetoChart(ChartData& chart, const ParetoResult& result, const std::string& datasetName);

// `value` in fixed notation with 3 decimals, as the chart texts show it.
std::string FormatFixed3(double value);

}  // namespace vireltan
