// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/line_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vireltan {
namespace {

TEST(FitStraightLineTest, ParetoOfTenUnitsInClonesOfOneTwoAndFour) {
  // Clone sizes 1, 1, 1, 1, 2, 4 among 10 sampling units: 100 % of units are
  // in clones of size >= 1, 60 % in clones >= 2, 40 % in clones >= 4.
  const std::vector<double> x = {0.0, std::log10(2.0), std::log10(4.0)};
  const std::vector<double> y = {2.0, std::log10(60.0), std::log10(40.0)};
  const LineFit fit = FitStraightLine(x, y);
  EXPECT_NEAR(fit.a, 1.99237, 5e-6);
  EXPECT_NEAR(fit.b, -0.66096, 5e-6);
  EXPECT_NEAR(1.0 - fit.b, 1.66096, 5e-6);
  EXPECT_NEAR(fit.chiSquared, 0.000349, 5e-7);
  EXPECT_NEAR(fit.sigmaA, 0.01705, 5e-6);
  EXPECT_NEAR(fit.sigmaB, 0.04388, 5e-6);
  EXPECT_EQ(fit.goodnessOfFit, 1.0);
  EXPECT_TRUE(fit.sigmasDefined);
}

TEST(FitStraightLineTest, ThreePointsWorkedByHand) {
  // (0,0), (1,1), (2,1): mean x = 1, Stt = 2, Σt·y = 1 -> b = 1/2,
  // a = (2 - 3/2)/3 = 1/6; residuals -1/6, 1/3, -1/6 -> χ² = 1/6;
  // σa = √((1 + 9/6)/3) · √(χ²/1) = √5/6, σb = √(1/2) · √(1/6) = 1/√12.
  const LineFit fit = FitStraightLine({0.0, 1.0, 2.0}, {0.0, 1.0, 1.0});
  EXPECT_NEAR(fit.b, 0.5, 1e-15);
  EXPECT_NEAR(fit.a, 1.0 / 6.0, 1e-15);
  EXPECT_NEAR(fit.chiSquared, 1.0 / 6.0, 1e-15);
  EXPECT_NEAR(fit.sigmaA, std::sqrt(5.0) / 6.0, 1e-15);
  EXPECT_NEAR(fit.sigmaB, 1.0 / std::sqrt(12.0), 1e-15);
  EXPECT_TRUE(fit.sigmasDefined);
}

TEST(FitStraightLineTest, AgreesWithNormalEquations) {
  // Slope and intercept from the uncentred normal equations, an independent
  // route to the same least-squares line.
  const std::vector<double> x = {0.3, 1.1, 1.9, 2.2, 3.7, 4.0, 5.5};
  const std::vector<double> y = {1.0, 2.9, 3.1, 4.4, 7.2, 7.0, 11.3};
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const double n = static_cast<double>(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    sxy += x[i] * y[i];
  }
  const double delta = n * sxx - sx * sx;
  const double b = (n * sxy - sx * sy) / delta;
  const double a = (sxx * sy - sx * sxy) / delta;
  double chi2 = 0;
  for (size_t i = 0; i < x.size(); ++i) chi2 += (y[i] - a - b * x[i]) * (y[i] - a - b * x[i]);
  // Textbook standard errors: σb² = s²·n/Δ, σa² = s²·Σx²/Δ with s² = χ²/(n-2).
  const double s2 = chi2 / (n - 2);

  const LineFit fit = FitStraightLine(x, y);
  EXPECT_NEAR(fit.b, b, 1e-12);
  EXPECT_NEAR(fit.a, a, 1e-12);
  EXPECT_NEAR(fit.chiSquared, chi2, 1e-12);
  EXPECT_NEAR(fit.sigmaB, std::sqrt(s2 * n / delta), 1e-12);
  EXPECT_NEAR(fit.sigmaA, std::sqrt(s2 * sxx / delta), 1e-12);
}

TEST(FitStraightLineTest, PointsOnALineFitExactly) {
  const LineFit fit = FitStraightLine({-1.0, 0.0, 2.0, 5.0}, {5.0, 3.0, -1.0, -7.0});
  EXPECT_NEAR(fit.a, 3.0, 1e-14);
  EXPECT_NEAR(fit.b, -2.0, 1e-14);
  EXPECT_NEAR(fit.chiSquared, 0.0, 1e-25);
  EXPECT_NEAR(fit.sigmaA, 0.0, 1e-12);
  EXPECT_NEAR(fit.sigmaB, 0.0, 1e-12);
  EXPECT_TRUE(fit.sigmasDefined);
}

TEST(FitStraightLineTest, DegenerateInputsGiveFiniteResults) {
  struct Case {
    const char* name;
    std::vector<double> x, y;
    double a, b, chi2;
  };
  const Case cases[] = {
      // Two points: the line through them, no scatter to estimate errors from.
      {"two points", {1.0, 3.0}, {2.0, 6.0}, 0.0, 2.0, 0.0},
      // One point: no slope; the line is flat through it.
      {"one point", {4.0}, {7.5}, 7.5, 0.0, 0.0},
      // All x equal: flat line through the mean of y, χ² about that mean.
      {"equal x", {2.0, 2.0, 2.0}, {1.0, 2.0, 6.0}, 3.0, 0.0, 14.0},
      {"no points", {}, {}, 0.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LineFit fit = FitStraightLine(c.x, c.y);
    EXPECT_NEAR(fit.a, c.a, 1e-14);
    EXPECT_NEAR(fit.b, c.b, 1e-14);
    EXPECT_NEAR(fit.chiSquared, c.chi2, 1e-13);
    EXPECT_FALSE(fit.sigmasDefined);
    EXPECT_EQ(fit.sigmaA, 0.0);
    EXPECT_EQ(fit.sigmaB, 0.0);
    EXPECT_EQ(fit.goodnessOfFit, 1.0);
  }
}

}  // namespace
}  // namespace vireltan
