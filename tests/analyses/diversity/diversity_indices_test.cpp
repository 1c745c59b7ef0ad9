// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/diversity/diversity_indices.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace vireltan {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

struct DiversityCase {
  const char* name;
  std::vector<int> sizes;
  double s, d, hill, h, v, dmin, dmax, e;  // NaN: undefined
};

void ExpectValue(double actual, double expected, const char* what) {
  if (std::isnan(expected)) {
    EXPECT_FALSE(std::isfinite(actual)) << what << " should be undefined, is " << actual;
  } else {
    EXPECT_NEAR(actual, expected, 1e-4) << what;
  }
}

class DiversityIndicesCase : public ::testing::TestWithParam<DiversityCase> {};

TEST_P(DiversityIndicesCase, MatchesTheHandValues) {
  const DiversityCase& c = GetParam();
  DiversityIndices r = ComputeDiversityIndices(c.sizes);
  ExpectValue(r.simpsonSum, c.s, "S");
  ExpectValue(r.simpson, c.d, "D");
  ExpectValue(r.hill, c.hill, "Hill");
  ExpectValue(r.shannon, c.h, "H");
  ExpectValue(r.shannonEvenness, c.v, "V");
  ExpectValue(r.dmin, c.dmin, "Dmin");
  ExpectValue(r.dmax, c.dmax, "Dmax");
  ExpectValue(r.simpsonEvenness, c.e, "E");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiversityIndicesCase,
    ::testing::Values(
        // One clone and singletons: the least even sample of its G (E = 0).
        DiversityCase{
            "CloneAndSingletons", {2, 1, 1}, 0.1667, 0.8333, 6, 1.0397, 0.9464, 0.8333, 0.8889, 0},
        // Clones of equal size: the most even (E = 1, V = 1).
        DiversityCase{"TwoEqualClones", {2, 2}, 1.0 / 3, 2.0 / 3, 3, 0.6931, 1, 0.5, 2.0 / 3, 1},
        // Every unit its own MLG: S = 0, so Hill's number and E are undefined.
        DiversityCase{"AllDistinct", {1, 1, 1, 1}, 0, 1, kNan, std::log(4.0), 1, 1, 1, kNan},
        // One MLG: V and E are 0/0.
        DiversityCase{"OneMlg", {5}, 1, 0, 1, 0, kNan, 0, 0, kNan},
        // A single unit: only H is defined.
        DiversityCase{"OneUnit", {1}, kNan, kNan, kNan, 0, kNan, kNan, kNan, kNan}),
    [](const auto& info) { return std::string(info.param.name); });

// Against the same indices written another way: S from binomial
// coefficients, H = ln N - Σ n ln n / N.
TEST(DiversityIndices, AgreeWithAnIndependentFormulation) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<int> sizes;
    const int g = 2 + static_cast<int>(random() % 40);
    for (int i = 0; i < g; ++i) sizes.push_back(1 + static_cast<int>(random() % (1 + trial)));
    long double n = 0, pairs = 0, nLogN = 0;
    for (int s : sizes) {
      n += s;
      pairs += s * (s - 1) / 2.0L;
      nLogN += s * std::log(static_cast<long double>(s));
    }
    if (n == g) continue;  // S = 0
    const long double simpson = pairs / (n * (n - 1) / 2);
    const long double shannon = std::log(n) - nLogN / n;
    DiversityIndices r = ComputeDiversityIndices(sizes);
    EXPECT_NEAR(r.simpsonSum, static_cast<double>(simpson), 1e-13);
    EXPECT_NEAR(r.hill, static_cast<double>(1 / simpson), 1e-9 * r.hill);
    EXPECT_NEAR(r.shannon, static_cast<double>(shannon), 1e-12);
    EXPECT_NEAR(r.shannonEvenness, static_cast<double>(shannon / std::log((long double)g)), 1e-12);
    // Dmax - Dmin = (G-1)/(N-1) · (N-G)² / (GN).
    const long double span = (g - 1) / (n - 1) * (n - g) * (n - g) / (g * n);
    EXPECT_NEAR(r.dmax - r.dmin, static_cast<double>(span), 1e-12);
    EXPECT_GE(r.simpsonEvenness, -1e-9);
    EXPECT_LE(r.simpsonEvenness, 1 + 1e-9);
  }
}

TEST(DiversityIndices, BlockLabelsAndEmptyUndefinedCells) {
  Sheet sheet;
  WriteDiversityBlock(sheet, 4, ComputeDiversityIndices({1, 1, 1}));
  EXPECT_EQ(sheet.TextAt(4, 1), "diversity indices");
  EXPECT_EQ(sheet.TextAt(5, 1), "Shannon H\xC2\xB4\xC2\xB4");
  EXPECT_EQ(sheet.TextAt(5, 3),
            "Eveness"
            "V\xC2\xB4H\xC2\xB4\xC2\xB4");
  EXPECT_EQ(sheet.TextAt(6, 1), "Simpson D*");
  EXPECT_EQ(sheet.TextAt(6, 3), "Eveness ED*");
  EXPECT_EQ(sheet.TextAt(7, 1), "Hill\xC2\xB4s");
  EXPECT_NEAR(sheet.NumberAt(5, 2), std::log(3.0), 1e-15);
  EXPECT_NEAR(sheet.NumberAt(5, 4), 1.0, 1e-15);
  EXPECT_EQ(sheet.NumberAt(6, 2), 1.0);
  EXPECT_TRUE(sheet.at(6, 4).empty());  // E = 0/0
  EXPECT_TRUE(sheet.at(7, 2).empty());  // Hill = 1/0
  EXPECT_EQ(sheet.LastRow(), 7);
}

}  // namespace
}  // namespace vireltan
