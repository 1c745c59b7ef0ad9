// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/distance_ordered_pairs.h"

#include <gtest/gtest.h>

#include <random>

#include "analyses/spatial/autocorrelation_classes.h"
#include "analyses/spatial/autocorrelation_permutation.h"
#include "common/memory_guard.h"

namespace vireltan {
namespace {

struct Recorder : RankedPairVisitor {
  std::vector<RankedPair> pairs;
  int starts = 0;
  void Start() override {
    pairs.clear();
    ++starts;
  }
  void Visit(const RankedPair* p, std::size_t count) override {
    pairs.insert(pairs.end(), p, p + count);
  }
};

// The walk gives the heap sort's order of the whole list, ties included,
// over one slice or many, with or without the pairs of one group, whatever
// the layout of the points (the slices are gathered cell by cell of a grid).
TEST(DistanceOrderedPairs, HeapSortOrderOverSlicesAndTies) {
  std::mt19937 random(5);
  enum Layout { kSquare, kLine, kClumps, kFarFromOrigin };
  for (int decimals : {6, 0}) {
    for (bool grouped : {false, true}) {
      for (Layout layout : {kSquare, kLine, kClumps, kFarFromOrigin}) {
        if (!decimals && layout != kSquare) continue;
        const int m = 150;
        std::vector<double> x(m), y(m);
        std::vector<int> group(m);
        std::uniform_real_distribution<double> plot(0, 20), clump(-0.5, 0.5);
        for (int i = 0; i < m; ++i) {
          // Whole numbers on a 20 x 20 grid give many equal distances.
          x[i] = decimals ? plot(random) : random() % 20;
          y[i] = decimals ? plot(random) : random() % 20;
          if (layout == kLine) y[i] = 3;
          if (layout == kClumps) {
            x[i] = 100.0 * (i % 3) + clump(random);
            y[i] = 7 + clump(random);
          }
          if (layout == kFarFromOrigin) {
            x[i] += 987654.321;
            y[i] -= 123456.789;
          }
          group[i] = static_cast<int>(random() % 40);
        }
        std::vector<PointPair> expected;
        ASSERT_TRUE(SortedPointPairs(
            x, y, [&](int a, int b) { return !grouped || group[a] != group[b]; }, nullptr,
            expected));
        for (std::size_t slice : {kSlicePairs, std::size_t{500}}) {
          PairWalk walk;
          walk.x = &x;
          walk.y = &y;
          walk.group = grouped ? &group : nullptr;
          walk.slicePairs = slice;
          Recorder seen;
          const PairWalkPath path = WalkPairsByDistance(walk, nullptr, seen);
          EXPECT_EQ(path, decimals ? PairWalkPath::kDistinct : PairWalkPath::kTied);
          ASSERT_EQ(seen.pairs.size() + 1, expected.size());
          EXPECT_EQ(KeptPairCount(walk) + 1, static_cast<std::int64_t>(expected.size()));
          for (std::size_t r = 0; r < seen.pairs.size(); ++r) {
            ASSERT_EQ(seen.pairs[r].a, expected[r + 1].first) << r;
            ASSERT_EQ(seen.pairs[r].b, expected[r + 1].second) << r;
            ASSERT_EQ(seen.pairs[r].distance, expected[r + 1].distance) << r;
          }
          walk.memoryLimit = 1;  // the exact path then refuses to allocate
          if (!decimals)
            EXPECT_EQ(WalkPairsByDistance(walk, nullptr, seen), PairWalkPath::kTooLarge);
        }
      }
    }
  }
}

// Points all at one place, or only two: the grid has a single cell, every
// distance ties, and the walk still gives the heap sort's order.
TEST(DistanceOrderedPairs, DegenerateLayouts) {
  for (int m : {2, 3, 40}) {
    std::vector<double> x(m, 5.5), y(m, -2.25);
    std::vector<PointPair> expected;
    ASSERT_TRUE(SortedPointPairs(
        x, y, [](int, int) { return true; }, nullptr, expected));
    PairWalk walk;
    walk.x = &x;
    walk.y = &y;
    walk.slicePairs = 16;
    Recorder seen;
    EXPECT_EQ(WalkPairsByDistance(walk, nullptr, seen),
              m > 2 ? PairWalkPath::kTied : PairWalkPath::kDistinct);
    ASSERT_EQ(seen.pairs.size() + 1, expected.size());
    for (std::size_t r = 0; r < seen.pairs.size(); ++r) {
      EXPECT_EQ(seen.pairs[r].a, expected[r + 1].first) << m << " " << r;
      EXPECT_EQ(seen.pairs[r].b, expected[r + 1].second) << m << " " << r;
    }
  }
}

// Fed pair by pair, the builder gives TabulateClasses' table bit for bit,
// empty classes included.
TEST(ClassTableBuilder, SameTableAsTabulateClasses) {
  std::mt19937 random(9);
  struct Pair {
    double distance, loiselle, ritland;
  };
  std::vector<Pair> list(1, Pair{0, 0, 0});
  for (int i = 0; i < 200; ++i)
    list.push_back(Pair{static_cast<double>(i / 3), std::normal_distribution<double>()(random),
                        std::normal_distribution<double>()(random)});
  const std::int64_t pairs = 200;
  ClassRule equal{DistanceClassRule::kEqualCount, 7, {}};
  ClassRule many{DistanceClassRule::kEqualCount, 250, {}};
  ClassRule fixed{DistanceClassRule::kFixedLimits, 4, {0.5, 10, 11, 100}};
  for (const ClassRule* rule : {&equal, &many, &fixed}) {
    auto distanceAt = [&](std::int64_t i) { return list[i].distance; };
    const std::vector<std::int64_t> ends = ClassEnds(pairs, *rule, distanceAt);
    const ClassTable expected =
        TabulateClasses(pairs, *rule, ends, [&](std::int64_t i) { return list[i]; });
    ClassTableBuilder builder(*rule, ends, pairs);
    builder.Add(1, 2, 3);
    builder.Reset();
    for (int i = 1; i <= pairs; ++i)
      builder.Add(list[i].distance, list[i].loiselle, list[i].ritland);
    const ClassTable t = builder.Finish();
    EXPECT_EQ(t.minimum, expected.minimum);
    EXPECT_EQ(t.average, expected.average);
    EXPECT_EQ(t.maximum, expected.maximum);
    EXPECT_EQ(t.lnAverage, expected.lnAverage);
    EXPECT_EQ(t.pairCount, expected.pairCount);
    EXPECT_EQ(t.loiselle, expected.loiselle);
    EXPECT_EQ(t.ritland, expected.ritland);
    EXPECT_EQ(t.meanLoiselle, expected.meanLoiselle);
    EXPECT_EQ(t.meanRitland, expected.meanRitland);
  }
}

TEST(MemoryGuard, RefusesWithTheEstimateAndTheLargestN) {
  auto square = [](int n) { return 100.0 * n * n; };
  EXPECT_TRUE(CheckMemory("X", 1000, square, 1e8).ok());
  EXPECT_TRUE(CheckMemory("X", 1000000, square, 0).ok());  // unknown: let it run
  const Status s = CheckMemory("The analysis", 20000, square, 1e9);
  ASSERT_FALSE(s.ok());
  // 100 n² <= 1e9 up to n = 3162.
  EXPECT_NE(s.message().find("about 40.0 GB of memory for 20000 sampling units"),
            std::string::npos);
  EXPECT_NE(s.message().find("1.0 GB"), std::string::npos);
  EXPECT_NE(s.message().find("about 3162 sampling units"), std::string::npos) << s.message();
  EXPECT_GT(AvailableMemoryBytes(), 0);
}

}  // namespace
}  // namespace vireltan
