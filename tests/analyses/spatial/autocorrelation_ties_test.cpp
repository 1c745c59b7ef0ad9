// SPDX-License-Identifier: GPL-3.0-or-later
// The observed tables of a real dataset where many isolates share a
// position (so many pairs tie), against the whole list of pairs sorted by
// the heap sort and cut by TabulateClasses: identical to the last bit.
#include <gtest/gtest.h>

#include <numeric>

#include "analyses/spatial/autocorrelation_analysis.h"
#include "analyses/spatial/autocorrelation_kinship.h"
#include "analyses/spatial/autocorrelation_permutation.h"
#include "autocorrelation_fixtures.h"

namespace vireltan {
namespace {

std::string DataFile(const std::string& name) {
  return std::string(VIRELTAN_TEST_DATA_DIR) + "/" + name;
}

ClassTable HeapSortedTable(const std::vector<double>& x, const std::vector<double>& y,
                           const std::vector<int>& group, bool skipSameGroup,
                           const KinshipTable& table, const ClassRule& rule) {
  std::vector<PointPair> sorted;
  EXPECT_TRUE(SortedPointPairs(
      x, y, [&](int a, int b) { return !skipSameGroup || group[a] != group[b]; }, nullptr, sorted));
  const std::int64_t pairs = static_cast<std::int64_t>(sorted.size()) - 1;
  struct Listed {
    double distance, loiselle, ritland;
  };
  auto pairAt = [&](std::int64_t i) {
    const KinshipPair& p = table.at(group[sorted[i].first], group[sorted[i].second]);
    return Listed{sorted[i].distance, p.loiselle, p.ritland};
  };
  auto distanceAt = [&](std::int64_t i) { return sorted[i].distance; };
  return TabulateClasses(pairs, rule, ClassEnds(pairs, rule, distanceAt), pairAt);
}

void ExpectSame(const ClassTable& t, const ClassTable& e) {
  EXPECT_EQ(t.minimum, e.minimum);
  EXPECT_EQ(t.average, e.average);
  EXPECT_EQ(t.maximum, e.maximum);
  EXPECT_EQ(t.pairCount, e.pairCount);
  EXPECT_EQ(t.loiselle, e.loiselle);
  EXPECT_EQ(t.ritland, e.ritland);
}

void ExpectHeapSortedTables(const autocorrelation_testing::Loaded& l) {
  const Dataset& d = l.dataset;
  const int n = d.sampleCount;
  std::vector<double> x(n), y(n);
  std::vector<int> group(n), all(n);
  for (int i = 0; i < n; ++i) {
    const int su = l.mlgs.designationOrder[i];
    x[i] = d.x[su], y[i] = d.y[su], group[i] = l.mlgs.mlgOfSu[su] - 1;
  }
  std::iota(all.begin(), all.end(), 0);
  KinshipCalculator suCalculator(d, ComputeAlleleFrequencies(d, all));
  KinshipTable suTable, genetTable;
  ASSERT_TRUE(ComputeKinshipTable(d, l.mlgs, suCalculator, true, "SUs", nullptr, suTable).ok());
  KinshipCalculator genetCalculator(d, ComputeAlleleFrequencies(d, l.mlgs.representative));
  ASSERT_TRUE(
      ComputeKinshipTable(d, l.mlgs, genetCalculator, false, "MLGs", nullptr, genetTable).ok());
  std::vector<int> genets(l.mlgs.mlgCount);
  std::iota(genets.begin(), genets.end(), 0);

  for (ReplicateProcedure procedure :
       {ReplicateProcedure::kWeighted, ReplicateProcedure::kCentral}) {
    for (int k : {7, 12}) {
      AutocorrelationInput input;
      input.dataset = &d;
      input.mlgs = &l.mlgs;
      input.settings.procedure = procedure;
      input.settings.PermutationCount = 3;
      input.settings.DistanceClassCount = k;
      NullProgressSink progress;
      AutocorrelationOutcome out;
      ASSERT_TRUE(RunSpatialAutocorrelation(input, progress, out).ok());
      ASSERT_EQ(out.tested.size(), 2u);
      ExpectSame(out.tested[0].observed, HeapSortedTable(x, y, group, false, suTable, out.rule));
      if (procedure == ReplicateProcedure::kWeighted) {
        ExpectSame(out.tested[1].observed, HeapSortedTable(x, y, group, true, suTable, out.rule));
      } else {
        ExpectSame(out.tested[1].observed, HeapSortedTable(l.mlgs.centroidX, l.mlgs.centroidY,
                                                           genets, false, genetTable, out.rule));
      }
    }
  }
}

TEST(AutocorrelationTies, PramorumTablesAreTheHeapSortedOnes) {
  ExpectHeapSortedTables(autocorrelation_testing::LoadFile(DataFile("pramorum_curry.txt")));
}

// Enough pairs (about 245,000) for the pairs to be gathered in several
// blocks and on both cores, with class limits falling inside them.
TEST(AutocorrelationTies, GeneratedTablesAreTheHeapSortedOnes) {
  std::mt19937 random(17);
  ExpectHeapSortedTables(autocorrelation_testing::LoadRows(
      autocorrelation_testing::RandomRows(random, 700, 6, 5, 0.3)));
}

// Few clones: the coefficients are kept as a triangle and the classes as a
// square.
TEST(AutocorrelationTies, FewClonesTablesAreTheHeapSortedOnes) {
  std::mt19937 random(23);
  ExpectHeapSortedTables(autocorrelation_testing::LoadRows(
      autocorrelation_testing::RandomRows(random, 300, 6, 5, 0.05)));
}

// Positions in continuous values but for two pairs of units at exactly 5
// apart: a lone tie, which may keep any order when its sums allow it.
TEST(AutocorrelationTies, LoneTieGivesTheHeapSortedTables) {
  std::mt19937 random(3);
  for (int run = 0; run < 4; ++run) {
    testing::Rows rows = autocorrelation_testing::RandomRows(random, 60, 4, 5, 0.3);
    const char* fixed[4][2] = {{"10", "10"}, {"13", "14"}, {"50", "50"}, {"54", "53"}};
    for (int i = 0; i < 4; ++i)
      rows[1 + 10 * i][1] = fixed[i][0], rows[1 + 10 * i][2] = fixed[i][1];
    ExpectHeapSortedTables(autocorrelation_testing::LoadRows(rows));
  }
}

}  // namespace
}  // namespace vireltan
