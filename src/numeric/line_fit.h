// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Least-squares straight line y = a + b·x through points that carry no
// measurement errors. Used for the Pareto exponent of clone sizes and for
// the slope of spatial autocorrelation against log distance.
#include <vector>

namespace vireltan {

struct LineFit {
  double a;              // intercept
  double b;              // slope
  double sigmaA;         // uncertainty of a, scaled by the scatter about the line
  double sigmaB;         // uncertainty of b, likewise
  double chiSquared;     // sum of squared residuals
  double goodnessOfFit;  // always 1: without per-point errors there is no test
  bool sigmasDefined;    // false when they cannot be estimated (see below)
};

// Fits the n = x.size() points (x[i], y[i]); x and y must have the same size.
// The uncertainties come from the residual variance χ²/(n - 2), so with two
// points or fewer they are undefined: sigmasDefined is false and both sigmas
// are 0. When all x are equal (or there are no points) no slope exists:
// b = 0, a = mean of y (0 with no points) and sigmasDefined is false.
LineFit FitStraightLine(const std::vector<double>& x, const std::vector<double>& y);

}  // namespace vireltan
