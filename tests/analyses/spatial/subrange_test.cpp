// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "analyses/spatial/clonal_subrange.h"
#include "analyses/spatial/spatial_sheets.h"
#include "numeric/heap_sort.h"

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

// The equal-count table computed the plain way: SortTriple records sorted
// by the numeric module's HeapSortTriples, then the class walk.
ClonalSubrangeResult PlainEqualCount(const SpatialUnits& units, int k, bool heapSort = true) {
  const int n = units.size();
  std::vector<SortTriple> list(1, SortTriple{0, 0, 0});
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      list.push_back({std::sqrt((units.x[i] - units.x[j]) * (units.x[i] - units.x[j]) +
                                (units.y[i] - units.y[j]) * (units.y[i] - units.y[j])),
                      units.mlg[i] != units.mlg[j] ? 1.0 : 0.0, 0.0});
  const int m = static_cast<int>(list.size()) - 1;
  if (heapSort) {
    HeapSortTriples(m, list);
  } else {  // ties by flag, whatever the heap sort would do
    std::sort(list.begin() + 1, list.end(), [](const SortTriple& a, const SortTriple& b) {
      return a.key != b.key ? a.key < b.key : a.first < b.first;
    });
  }
  ClonalSubrangeResult r;
  r.classes.assign(k, SubrangeClass());
  int per = m / k, rem = m - per * k;
  int boundary = rem > 0 ? (--rem, per + 1) : per;
  int c = 0;
  double count = 0, diff = 0, dist = 0;
  r.classes[0].minimum = list[1].key;
  for (int b = 1; b <= m; ++b) {
    count += 1;
    diff += list[b].first;
    dist += list[b].key;
    if (list[b].first == 0) r.subrange = list[b].key;
    if (b == boundary) {
      r.classes[c].pairs = static_cast<std::int64_t>(count);
      r.classes[c].same = (count - diff) / count;
      r.classes[c].average = dist / count;
      r.classes[c].maximum = list[b].key;
      count = diff = dist = 0;
      ++c;
      if (c < k) {
        r.classes[c].minimum = list[b].key;
        boundary += rem > 0 ? (--rem, per + 1) : per;
      }
    }
  }
  return r;
}

void ExpectSameTable(const ClonalSubrangeResult& a, const ClonalSubrangeResult& b) {
  EXPECT_EQ(a.subrange, b.subrange);
  ASSERT_EQ(a.classes.size(), b.classes.size());
  for (size_t c = 0; c < a.classes.size(); ++c) {
    EXPECT_EQ(a.classes[c].pairs, b.classes[c].pairs) << "class " << c + 1;
    EXPECT_EQ(a.classes[c].same, b.classes[c].same) << "class " << c + 1;
    EXPECT_EQ(a.classes[c].average, b.classes[c].average) << "class " << c + 1;
    EXPECT_EQ(a.classes[c].minimum, b.classes[c].minimum) << "class " << c + 1;
    EXPECT_EQ(a.classes[c].maximum, b.classes[c].maximum) << "class " << c + 1;
  }
}

bool SameTable(const ClonalSubrangeResult& a, const ClonalSubrangeResult& b) {
  for (size_t c = 0; c < a.classes.size(); ++c)
    if (a.classes[c].same != b.classes[c].same) return false;
  return true;
}

// Five units on a line at 0, 1, 3, 7, 15; MLGs 1, 1, 2, 2, 3. Sorted pair
// distances: 1s 2d 3d 4s 6d 7d 8d 12d 14d 15d (s: same MLG, d: different).
const SpatialUnits kFive = Units({{0, 0, 1}, {1, 0, 1}, {3, 0, 2}, {7, 0, 2}, {15, 0, 3}});

TEST(SubrangeTest, FiveUnitsInThreeClassesOfFourThreeAndThreePairs) {
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrange(kFive, 3, nullptr, r).ok());
  ASSERT_EQ(r.classes.size(), 3u);
  EXPECT_EQ(r.subrange, 4);
  const double expected[3][5] = {{1, 2.5, 4, 0.5, 4}, {4, 7, 8, 0, 3}, {8, 41.0 / 3, 15, 0, 3}};
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(r.classes[c].minimum, expected[c][0]);
    EXPECT_DOUBLE_EQ(r.classes[c].average, expected[c][1]);
    EXPECT_EQ(r.classes[c].maximum, expected[c][2]);
    EXPECT_EQ(r.classes[c].same, expected[c][3]);
    EXPECT_EQ(r.classes[c].pairs, expected[c][4]);
  }
  Sheet sheet = ClonalSubrangeSheet(r, false);
  EXPECT_EQ(sheet.TextAt(1, 1), "CLONAL SUBRANGE ");
  EXPECT_EQ(sheet.TextAt(1, 2), "N. distance classes ");
  const char* headings[] = {"clonal subrange",
                            "minimum distance",
                            "average distance",
                            "maximum distance",
                            "p(genotypic identity)/ F(r)",
                            "log [F(r)]",
                            "nb pairs"};
  for (int col = 1; col <= 7; ++col) EXPECT_EQ(sheet.TextAt(2, col), headings[col - 1]);
  EXPECT_EQ(sheet.NumberAt(3, 1), 4);
  EXPECT_TRUE(sheet.at(4, 1).empty());
  EXPECT_DOUBLE_EQ(sheet.NumberAt(3, 6), std::log10(0.5));
  // A class without same-MLG pairs: F(r) = 0 and the text "0" for its log.
  EXPECT_EQ(sheet.NumberAt(4, 5), 0);
  EXPECT_TRUE(sheet.at(4, 6).isText());
  EXPECT_EQ(sheet.TextAt(4, 6), "0");
  EXPECT_EQ(sheet.NumberAt(5, 7), 3);
  EXPECT_EQ(sheet.LastRow(), 5);
}

TEST(SubrangeTest, TwoUnitsOneClass) {
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrange(Units({{0, 0, 1}, {3, 4, 1}}), 1, nullptr, r).ok());
  ASSERT_EQ(r.classes.size(), 1u);
  EXPECT_EQ(r.classes[0].pairs, 1);
  EXPECT_EQ(r.classes[0].minimum, 5);
  EXPECT_EQ(r.classes[0].maximum, 5);
  EXPECT_EQ(r.classes[0].same, 1);
  EXPECT_EQ(r.subrange, 5);
}

TEST(SubrangeTest, MoreClassesThanPairsLeavesEmptyClassesAtZero) {
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrange(kFive, 12, nullptr, r).ok());
  ASSERT_EQ(r.classes.size(), 12u);
  for (int c = 0; c < 10; ++c) EXPECT_EQ(r.classes[c].pairs, 1);
  for (int c = 10; c < 12; ++c) {
    EXPECT_EQ(r.classes[c].pairs, 0);
    EXPECT_EQ(r.classes[c].minimum, 0);
    EXPECT_EQ(r.classes[c].maximum, 0);
    EXPECT_EQ(r.classes[c].average, 0);
  }
  Sheet sheet = ClonalSubrangeSheet(r, false);
  EXPECT_EQ(sheet.TextAt(14, 6), "0");
  EXPECT_EQ(sheet.NumberAt(14, 7), 0);
}

TEST(SubrangeTest, NoSameMlgPairGivesSubrangeZero) {
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrange(Units({{0, 0, 1}, {1, 0, 2}, {2, 0, 3}}), 2, nullptr, r).ok());
  EXPECT_EQ(r.subrange, 0);
}

TEST(SubrangeTest, FixedLimitsTenAndTwenty) {
  // A triangle with sides 5, 12 and 15.
  const double cx = 10.6, cy = std::sqrt(225 - cx * cx);
  SpatialUnits units = Units({{0, 0, 1}, {5, 0, 1}, {cx, cy, 2}});
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrangeFixed(units, {10, 20}, nullptr, r).ok());
  EXPECT_FALSE(r.outOfRange);
  ASSERT_EQ(r.classes.size(), 2u);
  EXPECT_EQ(r.classes[0].pairs, 1);
  EXPECT_EQ(r.classes[0].minimum, 5);
  EXPECT_EQ(r.classes[0].maximum, 10);
  EXPECT_EQ(r.classes[0].same, 1);
  EXPECT_EQ(r.classes[1].pairs, 2);
  EXPECT_NEAR(r.classes[1].minimum, 12, 1e-9);
  EXPECT_EQ(r.classes[1].maximum, 20);
  EXPECT_NEAR(r.classes[1].average, 13.5, 1e-9);
  EXPECT_EQ(r.classes[1].same, 0);
  EXPECT_EQ(r.subrange, 5);
  Sheet sheet = ClonalSubrangeSheet(r, true);
  EXPECT_EQ(sheet.TextAt(1, 1), "CLONAL SUBRANGE");
  EXPECT_EQ(sheet.TextAt(1, 2), "Defined distance classes");
  EXPECT_EQ(sheet.NumberAt(3, 4), 10);
  EXPECT_EQ(sheet.NumberAt(4, 4), 20);
  EXPECT_EQ(sheet.TextAt(4, 6), "0");
  EXPECT_EQ(sheet.TextAt(3, 6), "0");  // log10(1) is the number 0
  EXPECT_TRUE(sheet.at(3, 6).isNumber());
}

TEST(SubrangeTest, FixedLimitsBelowTheLargestDistanceAddAClass) {
  // Distances 5, 20 and 25 with limits 10 and 20.
  SpatialUnits units = Units({{0, 0, 1}, {5, 0, 2}, {25, 0, 3}});
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrangeFixed(units, {10, 20}, nullptr, r).ok());
  EXPECT_TRUE(r.outOfRange);
  ASSERT_EQ(r.classes.size(), 3u);
  EXPECT_EQ(r.classes[2].pairs, 1);
  EXPECT_EQ(r.classes[2].minimum, 25);
  EXPECT_EQ(r.classes[2].maximum, 25);
  EXPECT_EQ(r.classes[1].minimum, 20);
}

TEST(SubrangeTest, FixedGapSpanningLimitsOpensOnlyTheNextClass) {
  // Distances 1, 25, 26 with limits 10, 20, 30: classes {1}, {25}, {26};
  // with distances 1 and 25 only... the third class stays empty.
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrangeFixed(Units({{0, 0, 1}, {1, 0, 2}, {26, 0, 3}}), {10, 20, 30},
                                         nullptr, r)
                  .ok());
  ASSERT_EQ(r.classes.size(), 3u);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(r.classes[c].pairs, 1);
  EXPECT_EQ(r.classes[1].minimum, 25);
  EXPECT_EQ(r.classes[2].minimum, 26);
  EXPECT_EQ(r.classes[2].maximum, 30);

  ASSERT_TRUE(
      ComputeClonalSubrangeFixed(Units({{0, 0, 1}, {1, 0, 2}}), {10, 20, 30}, nullptr, r).ok());
  EXPECT_EQ(r.classes[0].pairs, 1);
  EXPECT_EQ(r.classes[1].pairs, 0);
  EXPECT_EQ(r.classes[2].pairs, 0);
  EXPECT_EQ(r.classes[2].minimum, 0);
  EXPECT_EQ(r.classes[2].maximum, 30);
}

// The fixed-limit table computed the plain way: HeapSortTriples, then the
// class walk (a class closes when the next pair lies beyond its limit).
ClonalSubrangeResult PlainFixed(const SpatialUnits& units, std::vector<double> limits) {
  const int n = units.size();
  std::vector<SortTriple> list(1, SortTriple{0, 0, 0});
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      list.push_back({std::sqrt((units.x[i] - units.x[j]) * (units.x[i] - units.x[j]) +
                                (units.y[i] - units.y[j]) * (units.y[i] - units.y[j])),
                      units.mlg[i] != units.mlg[j] ? 1.0 : 0.0, 0.0});
  const int m = static_cast<int>(list.size()) - 1;
  HeapSortTriples(m, list);
  ClonalSubrangeResult r;
  if (limits.back() < list[m].key) {
    limits.push_back(list[m].key);
    r.outOfRange = true;
  }
  const int classes = static_cast<int>(limits.size());
  r.classes.assign(classes, SubrangeClass());
  r.classes[0].minimum = list[1].key;
  int e = 0;
  double count = 0, diff = 0, dist = 0;
  for (int j = 1; j <= m; ++j) {
    count += 1;
    diff += list[j].first;
    dist += list[j].key;
    if (list[j].first == 0) r.subrange = list[j].key;
    if (j == m || list[j + 1].key > limits[e]) {
      r.classes[e].pairs = static_cast<std::int64_t>(count);
      r.classes[e].same = (count - diff) / count;
      r.classes[e].average = dist / count;
      count = diff = dist = 0;
      if (e + 1 < classes && j < m) r.classes[e + 1].minimum = list[j + 1].key;
      ++e;
    }
  }
  for (int c = 0; c < classes; ++c) r.classes[c].maximum = limits[c];
  return r;
}

TEST(SubrangeTest, FixedTiesCutByAGapGoWhereTheHeapSortPutsThem) {
  // Units A (0, 0) and C share MLG 1, B (5, 0) is MLG 2; C is 25 from both.
  // Pairs in list order: AB 5 (different), AC 25 (same), BC 25 (different).
  // The heap sort of these three records gives AB, BC, AC. With limits 10
  // and 20 (and 25 added for the largest distance): AB closes class 1; the
  // next pair, beyond 20, fills class 2 alone; the last pair class 3. So
  // class 2 holds BC (F = 0) and class 3 AC (F = 1).
  SpatialUnits units = Units({{0, 0, 1}, {5, 0, 2}, {2.5, std::sqrt(625 - 6.25), 1}});
  ClonalSubrangeResult r;
  ASSERT_TRUE(ComputeClonalSubrangeFixed(units, {10, 20}, nullptr, r).ok());
  EXPECT_TRUE(r.outOfRange);
  ASSERT_EQ(r.classes.size(), 3u);
  const double expected[3][4] = {{1, 0, 5, 10}, {1, 0, 25, 20}, {1, 1, 25, 25}};
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(r.classes[c].pairs, expected[c][0]) << "class " << c + 1;
    EXPECT_EQ(r.classes[c].same, expected[c][1]) << "class " << c + 1;
    EXPECT_EQ(r.classes[c].minimum, expected[c][2]) << "class " << c + 1;
    EXPECT_EQ(r.classes[c].maximum, expected[c][3]) << "class " << c + 1;
  }
  EXPECT_EQ(r.subrange, 25);
}

TEST(SubrangeTest, FixedFastSortGivesTheHeapSortTableWithGapsAndTies) {
  std::mt19937 random(77);
  for (int trial = 0; trial < 150; ++trial) {
    const int n = 2 + static_cast<int>(random() % 30);
    const int side = 1 + static_cast<int>(random() % 5);
    SpatialUnits units;
    for (int i = 0; i < n; ++i) {
      units.x.push_back(static_cast<double>(random() % side) * 3);
      units.y.push_back(static_cast<double>(random() % side) * 3);
      units.mlg.push_back(1 + static_cast<int>(random() % 3));
    }
    units.mlgCount = 3;
    // Close limits, often several within one gap between distances.
    std::vector<double> limits;
    double limit = static_cast<double>(random() % 3);
    const int count = 1 + static_cast<int>(random() % 8);
    for (int c = 0; c < count; ++c) {
      limits.push_back(limit);
      limit += 0.5 + static_cast<double>(random() % 4);
    }
    const ClonalSubrangeResult plain = PlainFixed(units, limits);
    for (PairSortStrategy strategy : {PairSortStrategy::kAuto, PairSortStrategy::kHeapSort}) {
      ClonalSubrangeResult r;
      ASSERT_TRUE(ComputeClonalSubrangeFixed(units, limits, nullptr, r, strategy).ok());
      EXPECT_EQ(r.outOfRange, plain.outOfRange);
      ExpectSameTable(r, plain);
    }
  }
}

TEST(SubrangeTest, PackedHeapSortPlacesTiesLikeHeapSortTriples) {
  std::mt19937 random(8);
  for (int trial = 0; trial < 50; ++trial) {
    const int m = 1 + static_cast<int>(random() % 400);
    std::vector<SortTriple> triples(m + 1, SortTriple{0, 0, 0});
    std::vector<ClonalPair> packed(m + 1, 0);
    for (int i = 1; i <= m; ++i) {
      const double key = static_cast<double>(random() % 12) * 0.5;
      const bool different = random() % 2;
      triples[i] = {key, different ? 1.0 : 0.0, 0};
      packed[i] = PackClonalPair(key, different);
    }
    HeapSortTriples(m, triples);
    ASSERT_TRUE(HeapSortClonalPairs(m, packed));
    for (int i = 1; i <= m; ++i) {
      ASSERT_EQ(ClonalPairDistance(packed[i]), triples[i].key);
      ASSERT_EQ(ClonalPairDifferent(packed[i]), triples[i].first == 1.0);
    }
  }
}

TEST(SubrangeTest, FastSortGivesTheHeapSortTableWithManyTies) {
  std::mt19937 random(31);
  int tieOrderMattered = 0;
  for (int trial = 0; trial < 120; ++trial) {
    const int n = 2 + static_cast<int>(random() % 40);
    const int side = 1 + static_cast<int>(random() % 4);
    SpatialUnits units;
    for (int i = 0; i < n; ++i) {
      units.x.push_back(static_cast<double>(random() % side));
      units.y.push_back(static_cast<double>(random() % side));
      units.mlg.push_back(1 + static_cast<int>(random() % 3));
    }
    units.mlgCount = 3;
    const int m = n * (n - 1) / 2;
    const int k = 1 + static_cast<int>(random() % std::min(m, 12));
    ClonalSubrangeResult fast, heap;
    ASSERT_TRUE(ComputeClonalSubrange(units, k, nullptr, fast).ok());
    ASSERT_TRUE(ComputeClonalSubrange(units, k, nullptr, heap, PairSortStrategy::kHeapSort).ok());
    const ClonalSubrangeResult plain = PlainEqualCount(units, k);
    ExpectSameTable(fast, plain);
    ExpectSameTable(heap, plain);
    if (!SameTable(plain, PlainEqualCount(units, k, false))) ++tieOrderMattered;
  }
  // The data are tied enough that the heap sort's placement of ties changed
  // some tables: the check above is not idle.
  EXPECT_GT(tieOrderMattered, 0);
}

TEST(SubrangeTest, BadInputIsRefused) {
  ClonalSubrangeResult r;
  EXPECT_FALSE(ComputeClonalSubrange(kFive, 0, nullptr, r).ok());
  // More classes than a sheet has rows: refused before anything is built.
  Status huge = ComputeClonalSubrange(kFive, 2147483647, nullptr, r);
  ASSERT_FALSE(huge.ok());
  EXPECT_NE(huge.message().find("at most 1048574"), std::string::npos);
  Status one = ComputeClonalSubrange(Units({{0, 0, 1}}), 3, nullptr, r);
  ASSERT_FALSE(one.ok());
  EXPECT_NE(one.message().find("at least two"), std::string::npos);
  EXPECT_FALSE(ComputeClonalSubrangeFixed(Units({{0, 0, 1}}), {10}, nullptr, r).ok());
  EXPECT_FALSE(ComputeClonalSubrangeFixed(kFive, {}, nullptr, r).ok());
}

}  // namespace
}  // namespace vireltan
