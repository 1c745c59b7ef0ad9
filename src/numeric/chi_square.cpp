// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/chi_square.h"

#include <cmath>
#include <limits>

namespace vireltan {

namespace {

constexpr int kMaxIterations = 100000;
constexpr double kEpsilon = 1e-16;

// P(a, x) by its series Σ x^n / (a (a+1) ... (a+n)), for x < a + 1.
double LowerSeries(double a, double x) {
  double term = 1 / a, sum = term;
  for (int n = 1; n < kMaxIterations; ++n) {
    term *= x / (a + n);
    sum += term;
    if (std::abs(term) < std::abs(sum) * kEpsilon) break;
  }
  return sum * std::exp(-x + a * std::log(x) - std::lgamma(a));
}

// Q(a, x) by Lentz's continued fraction, for x >= a + 1.
double UpperFraction(double a, double x) {
  constexpr double kTiny = std::numeric_limits<double>::min() / kEpsilon;
  double b = x + 1 - a, c = 1 / kTiny, d = 1 / b, h = d;
  for (int i = 1; i < kMaxIterations; ++i) {
    const double an = -i * (i - a);
    b += 2;
    d = an * d + b;
    if (std::abs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::abs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double delta = d * c;
    h *= delta;
    if (std::abs(delta - 1) < kEpsilon) break;
  }
  return std::exp(-x + a * std::log(x) - std::lgamma(a)) * h;
}

}  // namespace

double UpperIncompleteGamma(double a, double x) {
  if (x <= 0) return 1;
  if (x < a + 1) return 1 - LowerSeries(a, x);
  return UpperFraction(a, x);
}

double ChiSquareUpperTail(double x, int df) {
  return UpperIncompleteGamma(df / 2.0, x / 2.0);
}

}  // namespace vireltan
