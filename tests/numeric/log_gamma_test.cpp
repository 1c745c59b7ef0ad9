// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/log_gamma.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace vireltan {
namespace {

TEST(LogGammaTest, VanishesAtOneAndTwo) {
  // Γ(1) = Γ(2) = 1; the series is good to about 2e-10 there.
  EXPECT_NEAR(static_cast<double>(LogGamma(1.0L)), 0.0, 1e-9);
  EXPECT_NEAR(static_cast<double>(LogGamma(2.0L)), 0.0, 1e-9);
}

TEST(LogGammaTest, AgreesWithLibraryLogGamma) {
  // The six-term Lanczos series is accurate to a few parts in 1e10 in ln Γ
  // over the whole range the factorial table needs (x up to 501).
  struct Case {
    long double x;
  };
  const Case cases[] = {{0.5L}, {1.5L}, {3.0L}, {6.0L}, {10.25L}, {100.0L}, {171.0L}, {501.0L}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.x));
    EXPECT_NEAR(static_cast<double>(LogGamma(c.x)), static_cast<double>(std::lgamma(c.x)), 1e-9);
  }
}

TEST(LogGammaTest, HalfIsLogOfRootPi) {
  // Γ(1/2) = √π, worked out independently of any library gamma.
  EXPECT_NEAR(static_cast<double>(LogGamma(0.5L)), 0.5 * std::log(3.14159265358979323846), 1e-9);
}

TEST(FactrlTest, ZeroFactorialIsOne) {
  EXPECT_NEAR(static_cast<double>(factrl(0)), 1.0, 1e-9);
}

TEST(FactrlTest, FiveFactorialCarriesTheSeriesError) {
  // The factorials are not rounded: 5! comes out a little under 120.
  const long double five = factrl(5);
  EXPECT_NEAR(static_cast<double>(five), 119.99999998, 5e-9);
  EXPECT_NE(five, 120.0L);
}

TEST(FactrlTest, SmallFactorialsWithinTwoPartsInTenToTheTen) {
  long double exact = 1.0L;
  for (int n = 1; n <= 20; ++n) {
    exact *= n;
    SCOPED_TRACE(n);
    EXPECT_NEAR(static_cast<double>(factrl(n) / exact), 1.0, 3e-10);
  }
}

TEST(FactrlTest, ReachesBeyondDoubleRange) {
  // 500! ≈ 1.2201e1134 cannot be held in a double; compare in log space with
  // the library's extended-precision log-gamma.
  const long double f = factrl(500);
  ASSERT_TRUE(std::isfinite(f));
  EXPECT_NEAR(static_cast<double>(std::log(f) - std::lgamma(501.0L)), 0.0, 1e-9);
  EXPECT_NEAR(static_cast<double>(std::log10(f)), 1134.0864, 1e-4);
}

TEST(FactrlTest, NegativeArgumentWarnsAndReturnsZero) {
  testing::internal::CaptureStdout();
  const long double result = factrl(-1);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, 0.0L);
  EXPECT_EQ(output, "pause in FACTRL - negative factorial\n");
}

}  // namespace
}  // namespace vireltan
