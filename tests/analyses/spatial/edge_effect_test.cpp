// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/edge_effect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analyses/spatial/position_permutation.h"
#include "analyses/spatial/spatial_sheets.h"

namespace vireltan {
namespace {

SpatialUnits Units(const std::vector<std::array<double, 3>>& rows) {
  SpatialUnits units;
  for (const auto& [x, y, m] : rows) {
    units.x.push_back(x);
    units.y.push_back(y);
    units.mlg.push_back(static_cast<int>(m));
    units.mlgCount = std::max(units.mlgCount, static_cast<int>(m));
  }
  return units;
}

TEST(EdgeEffectTest, SingleUnitMlgsAtTheReferencePointGiveMinusOne) {
  // MLG 1 at two corners, single-unit MLGs 2 and 3 at the centre (5, 5).
  SpatialUnits units = Units({{0, 0, 1}, {10, 10, 1}, {5, 5, 2}, {5, 5, 3}});
  EdgeEffectResult r;
  ASSERT_TRUE(ComputeEdgeEffect(units, EdgeReferencePoint(units, 5, 5), 200, 3, nullptr, r).ok());
  EXPECT_EQ(r.reference.x, 5);
  EXPECT_EQ(r.reference.y, 5);
  EXPECT_EQ(r.singleCount, 2);
  EXPECT_EQ(r.meanSingle, 0.0);
  EXPECT_DOUBLE_EQ(r.ee, -1.0);
  // Every arrangement has Ee >= -1.
  EXPECT_EQ(r.pValue, 1.0);
  Sheet sheet = EdgeEffectSheet(r);
  EXPECT_EQ(sheet.TextAt(1, 1), "Edge effect");
  EXPECT_EQ(sheet.TextAt(2, 1), "Ee");
  EXPECT_EQ(sheet.NumberAt(3, 1), -1.0);
  EXPECT_EQ(sheet.TextAt(2, 2), "p (Ee)");
  EXPECT_EQ(sheet.NumberAt(3, 2), 1.0);
  EXPECT_EQ(sheet.TextAt(2, 3), "Nb perm");
  EXPECT_EQ(sheet.NumberAt(3, 3), 200);
}

TEST(EdgeEffectTest, SingleUnitMlgsTwiceAsFarGiveOne) {
  // Distances from (0, 0): clone of three at 1, 1 and 2; the single unit at
  // 4. mean_all = 8 / 4 = 2, mean_s = 4.
  SpatialUnits units = Units({{1, 0, 1}, {0, 1, 1}, {2, 0, 1}, {4, 0, 2}});
  EdgeEffectResult r;
  ASSERT_TRUE(ComputeEdgeEffect(units, {0, 0}, 100, 3, nullptr, r).ok());
  EXPECT_DOUBLE_EQ(r.meanAll, 2.0);
  EXPECT_DOUBLE_EQ(r.meanSingle, 4.0);
  EXPECT_DOUBLE_EQ(r.ee, 1.0);
  EXPECT_EQ(FormatIndexValue(r.ee), "1.0000");
  // Only arrangements putting the single unit (the last) at distance 4 reach
  // Ee = 1: about a quarter of them, plus the observed one.
  int atLeast = 0;
  for (int t = 0; t < 100; ++t) {
    RandomGenerator generator = RandomGenerator::ForStream(3, t);
    std::vector<int> slotOf;
    RandomArrangement(generator, 4, slotOf);
    atLeast += slotOf[3] == 3 ? 1 : 0;
  }
  EXPECT_EQ(r.atLeastCount, atLeast);
  EXPECT_DOUBLE_EQ(r.pValue, (atLeast + 1) / 101.0);
  EXPECT_NEAR(r.pValue, 0.25, 0.15);
}

TEST(EdgeEffectTest, LabelsMarkOnlyMlgsWithOneUnit) {
  // The first unit of MLG 1 belongs to a clone of two: "m" like its clonemate.
  SpatialUnits units = Units({{0, 0, 1}, {1, 0, 2}, {2, 0, 1}, {3, 0, 3}});
  EXPECT_EQ(SingleUnitLabels(units), (std::vector<bool>{false, true, false, true}));
}

TEST(EdgeEffectTest, PermutedValueEqualToTheObservedCounts) {
  // All units 5 from the reference point: every arrangement gives the
  // observed Ee, and each counts.
  SpatialUnits units = Units(
      {{5, 0, 1}, {0, 5, 1}, {-5, 0, 2}, {0, -5, 3}, {3, 4, 4}, {4, 3, 4}, {-3, 4, 5}, {3, -4, 6}});
  EdgeEffectResult r;
  ASSERT_TRUE(ComputeEdgeEffect(units, {0, 0}, 500, 11, nullptr, r).ok());
  EXPECT_DOUBLE_EQ(r.ee, 0.0);
  EXPECT_EQ(r.atLeastCount, 500);
  EXPECT_EQ(r.pValue, 1.0);
}

TEST(EdgeEffectTest, PValueMatchesAnIndependentCount) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> coordinate(0, 100);
  SpatialUnits units;
  for (int i = 0; i < 40; ++i) {
    units.x.push_back(coordinate(random));
    units.y.push_back(coordinate(random));
    units.mlg.push_back(1 + static_cast<int>(random() % 25));
  }
  units.mlgCount = 25;
  const int n = units.size();
  const ReferencePoint ref{50, 50};
  const std::vector<bool> single = SingleUnitLabels(units);
  auto eeOf = [&](const std::vector<int>& slotOf) {
    double all = 0, singles = 0;
    int count = 0;
    for (int u = 0; u < n; ++u) {
      double r = std::hypot(units.x[slotOf[u]] - ref.x, units.y[slotOf[u]] - ref.y);
      all += r;
      if (single[u]) {
        singles += r;
        ++count;
      }
    }
    return (singles / count - all / n) / (all / n);
  };
  std::vector<int> identity(n);
  for (int u = 0; u < n; ++u) identity[u] = u;
  const double observed = eeOf(identity);
  const int permutations = 2000;
  int atLeast = 0;
  for (int t = 0; t < permutations; ++t) {
    RandomGenerator generator = RandomGenerator::ForStream(77, t);
    std::vector<int> slotOf;
    RandomArrangement(generator, n, slotOf);
    if (eeOf(slotOf) >= observed) ++atLeast;
  }
  EdgeEffectResult r;
  ASSERT_TRUE(ComputeEdgeEffect(units, ref, permutations, 77, nullptr, r).ok());
  EXPECT_NEAR(r.ee, observed, 1e-12);
  EXPECT_EQ(r.atLeastCount, atLeast);
  EXPECT_DOUBLE_EQ(r.pValue, (atLeast + 1.0) / (permutations + 1.0));
}

TEST(EdgeEffectTest, ReferencePointStaysInsideTheSampledArea) {
  // Plot coordinates from near 0: the centre of origin..maximum.
  SpatialUnits plot = Units({{2, 1, 1}, {98, 49, 2}});
  ReferencePoint p = EdgeReferencePoint(plot, 49, 24.5);
  EXPECT_EQ(p.x, 49);
  EXPECT_EQ(p.y, 24.5);
  // On the edge of the units' range is still inside: kept.
  SpatialUnits edge = Units({{10, 0, 1}, {20, 30, 2}});
  p = EdgeReferencePoint(edge, 10, 15);
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, 15);
  // UTM metres: half of the largest coordinate lies far outside the area,
  // so the centre of the units' range is taken.
  SpatialUnits utm = Units({{400000, 4600000, 1}, {401000, 4602000, 2}});
  p = EdgeReferencePoint(utm, 200500, 2301000);
  EXPECT_EQ(p.x, 400500);
  EXPECT_EQ(p.y, 4601000);
  // An absent axis holds 999 everywhere and then adds nothing to r.
  SpatialUnits line = Units({{0, 999, 1}, {10, 999, 2}});
  p = EdgeReferencePoint(line, 5, 499.5);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 999);
  // Negative coordinates.
  SpatialUnits negative = Units({{-100, -40, 1}, {-10, -4, 2}});
  p = EdgeReferencePoint(negative, 50, 20);
  EXPECT_EQ(p.x, -55);
  EXPECT_EQ(p.y, -22);
}

TEST(EdgeEffectTest, DegenerateDataAreRefused) {
  EdgeEffectResult r;
  Status noSingle = ComputeEdgeEffect(Units({{0, 0, 1}, {1, 0, 1}, {5, 5, 2}, {6, 6, 2}}), {3, 3},
                                      10, 1, nullptr, r);
  ASSERT_FALSE(noSingle.ok());
  EXPECT_NE(noSingle.message().find("no single-unit MLG"), std::string::npos);
  Status atCentre =
      ComputeEdgeEffect(Units({{2, 2, 1}, {2, 2, 2}, {2, 2, 2}}), {2, 2}, 10, 1, nullptr, r);
  ASSERT_FALSE(atCentre.ok());
  EXPECT_NE(atCentre.message().find("reference point"), std::string::npos);
  EXPECT_FALSE(ComputeEdgeEffect(Units({{0, 0, 1}, {1, 0, 2}}), {0, 0}, 0, 1, nullptr, r).ok());
}

// Distances too large to add up gave an empty Ee and no message.
TEST(EdgeEffectTest, DistancesBeyondTheNumbersGiveAMessage) {
  SpatialUnits units = Units({{-1e308, 0, 1}, {1e308, 0, 1}, {0, 1e308, 2}, {1, 1, 3}});
  EdgeEffectResult r;
  Status s = ComputeEdgeEffect(units, {0, 0}, 10, 3, nullptr, r);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("too large"), std::string::npos) << s.message();
}

}  // namespace
}  // namespace vireltan
