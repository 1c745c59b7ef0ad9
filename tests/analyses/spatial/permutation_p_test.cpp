// SPDX-License-Identifier: GPL-3.0-or-later
// Every permutation test of the spatial analyses reports p = (b + 1)/(P + 1):
// p·(P + 1) is a whole number from 1 to P + 1, and an observed value that no
// permutation reaches gives exactly 1/(P + 1), never 0.
#include "numeric/permutation_p.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "analyses/spatial/aggregation_index.h"
#include "analyses/spatial/autocorrelation_permutation.h"
#include "analyses/spatial/edge_effect.h"
#include "analyses/spatial/spatial_sheets.h"

namespace vireltan {
namespace {

struct Outcome {
  double p = -1;
  int permutations = 0;
};

struct PCase {
  std::string name;
  std::function<Outcome()> run;
  bool extreme;  // no permutation can reach the observed value
};

// Two MLGs in two rows far apart: Ac = 1, which a random arrangement of 80
// units practically never reaches.
SpatialUnits TwoRows(int perRow) {
  SpatialUnits units;
  for (int m = 1; m <= 2; ++m)
    for (int i = 0; i < perRow; ++i) {
      units.x.push_back((m - 1) * 1000.0 + i);
      units.y.push_back(0);
      units.mlg.push_back(m);
    }
  units.mlgCount = 2;
  return units;
}

// One clone of 98 units near the origin, two single-unit MLGs 1000 away.
SpatialUnits SinglesFarOut() {
  SpatialUnits units;
  for (int i = 0; i < 98; ++i) {
    const double angle = i * 0.064;
    units.x.push_back(std::cos(angle) * (1 + i % 7 * 0.1));
    units.y.push_back(std::sin(angle) * (1 + i % 7 * 0.1));
    units.mlg.push_back(1);
  }
  units.x.insert(units.x.end(), {1000.0, -1000.0});
  units.y.insert(units.y.end(), {0.0, 0.0});
  units.mlg.insert(units.mlg.end(), {2, 3});
  units.mlgCount = 3;
  return units;
}

SpatialUnits Scattered(std::uint32_t seed) {
  std::mt19937 random(seed);
  SpatialUnits units;
  for (int i = 0; i < 30; ++i) {
    units.x.push_back(static_cast<double>(random() % 8));
    units.y.push_back(static_cast<double>(random() % 8));
    units.mlg.push_back(1 + static_cast<int>(random() % 12));
  }
  units.mlgCount = 12;
  return units;
}

Outcome Aggregation(const SpatialUnits& units, int permutations) {
  AggregationResult r;
  EXPECT_TRUE(ComputeAggregationIndex(units, permutations, 31, nullptr, r).ok());
  return {r.pValue, permutations};
}

Outcome Edge(const SpatialUnits& units, ReferencePoint reference, int permutations) {
  EdgeEffectResult r;
  EXPECT_TRUE(ComputeEdgeEffect(units, reference, permutations, 31, nullptr, r).ok());
  return {r.pValue, permutations};
}

std::vector<double> Spread(int count, double from, double step) {
  std::vector<double> v(count);
  for (int i = 0; i < count; ++i) v[i] = from + step * (i % 17);
  return v;
}

TEST(PermutationPTest, EveryTestCountsTheObservedArrangement) {
  const std::vector<PCase> cases = {
      {"aggregation, clones in rows", [] { return Aggregation(TwoRows(40), 199); }, true},
      {"aggregation, scattered", [] { return Aggregation(Scattered(3), 299); }, false},
      {"edge effect, singles far out",
       [] {
         return Edge(SinglesFarOut(), {0, 0}, 199);
       },
       true},
      {"edge effect, scattered",
       [] {
         return Edge(Scattered(4), {4, 4}, 299);
       },
       false},
      {"class p, above every permuted mean",
       [] {
         const std::vector<double> permuted = Spread(99, -0.1, 0.01);
         return Outcome{OneSidedClassP(0.5, 0, permuted.data(), 99, 1), 99};
       },
       true},
      {"class p, below every permuted mean",
       [] {
         const std::vector<double> permuted = Spread(99, -0.1, 0.01);
         return Outcome{OneSidedClassP(-0.5, 0, permuted.data(), 99, 1), 99};
       },
       true},
      {"class p, inside the permuted means",
       [] {
         const std::vector<double> permuted = Spread(99, -0.1, 0.01);
         return Outcome{OneSidedClassP(0.0, 0, permuted.data(), 99, 1), 99};
       },
       false},
      {"slope p(obs<exp), above every permuted slope",
       [] {
         return Outcome{CompareWithPermuted(9, Spread(49, 0, 0.5)).below, 49};
       },
       true},
      {"slope p(obs>exp), below every permuted slope",
       [] {
         return Outcome{CompareWithPermuted(-9, Spread(49, 0, 0.5)).above, 49};
       },
       true},
      {"slope p(obs=exp), no permuted slope equal",
       [] {
         return Outcome{CompareWithPermuted(0.25, Spread(49, 0, 0.5)).equal, 49};
       },
       true},
      {"slope p(obs>exp), among the permuted slopes",
       [] {
         return Outcome{CompareWithPermuted(3, Spread(49, 0, 0.5)).above, 49};
       },
       false},
  };
  for (const PCase& c : cases) {
    const Outcome o = c.run();
    const double scaled = o.p * (o.permutations + 1);
    EXPECT_NEAR(scaled, std::round(scaled), 1e-9) << c.name;
    EXPECT_GE(std::round(scaled), 1) << c.name;
    EXPECT_LE(std::round(scaled), o.permutations + 1) << c.name;
    if (c.extreme) {
      EXPECT_DOUBLE_EQ(o.p, 1.0 / (o.permutations + 1)) << c.name;
    } else {
      EXPECT_GT(o.p, 1.0 / (o.permutations + 1)) << c.name;
    }
  }
}

TEST(PermutationPTest, SmallestPKeepsItsDigitsInTheSheet) {
  struct Row {
    int permutations;
    double written;  // p (Ac) for an Ac that no permutation reached
  };
  const std::vector<Row> rows = {
      {999, 0.001}, {9999, 0.0001}, {99999, 0.00001}, {199999, 0.000005}, {2, 0.3333}};
  for (const Row& row : rows) {
    AggregationResult r;
    r.ac = 1;
    r.permutations = row.permutations;
    r.pValue = PermutationPValue(0, row.permutations);
    const Sheet sheet = AggregationIndexSheet(r);
    EXPECT_DOUBLE_EQ(sheet.NumberAt(3, 2), row.written) << row.permutations;
    EXPECT_GT(sheet.NumberAt(3, 2), 0.0) << row.permutations;
  }
}

TEST(PermutationPTest, CountsOutOfRangeAreClamped) {
  EXPECT_DOUBLE_EQ(PermutationPValue(0, 9), 0.1);
  EXPECT_DOUBLE_EQ(PermutationPValue(9, 9), 1.0);
  EXPECT_DOUBLE_EQ(PermutationPValue(12, 9), 1.0);
  EXPECT_DOUBLE_EQ(PermutationPValue(-3, 9), 0.1);
  EXPECT_DOUBLE_EQ(PermutationPValue(0, 0), 1.0);
}

}  // namespace
}  // namespace vireltan
