// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/random.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace vireltan {
namespace {

TEST(RandomGeneratorTest, StateFollowsTheRecurrence) {
  // Worked by hand: 1·134775813 + 1 = 134775814; 0 -> 1;
  // 0xFFFFFFFF·134775813 + 1 ≡ -134775813 + 1 (mod 2^32) = 4160191484.
  RandomGenerator from_one(1);
  from_one.Below(10);
  EXPECT_EQ(from_one.state(), 134775814u);

  RandomGenerator from_zero(0);
  from_zero.Uniform();
  EXPECT_EQ(from_zero.state(), 1u);

  RandomGenerator from_max(0xFFFFFFFFu);
  from_max.Between(0, 5);
  EXPECT_EQ(from_max.state(), 4160191484u);
}

TEST(RandomGeneratorTest, DrawsAreHighBitsOfTheProduct) {
  // State 134775814 = 0.03138 · 2^32: draws below 100 and 1000 are 3 and 31.
  RandomGenerator a(1);
  EXPECT_EQ(a.Below(100), 3);
  RandomGenerator b(1);
  EXPECT_EQ(b.Below(1000), 31);
  // State 1 is the smallest nonzero state: every draw is 0.
  RandomGenerator c(0);
  EXPECT_EQ(c.Below(2147483647), 0);
  // State 4160191484 = 0.96862 · 2^32.
  RandomGenerator d(0xFFFFFFFFu);
  EXPECT_EQ(d.Below(100), 96);
  RandomGenerator e(1);
  EXPECT_EQ(e.Between(10, 110), 13);
  RandomGenerator f(0);
  EXPECT_DOUBLE_EQ(f.Uniform(), 1.0 / 4294967296.0);
}

TEST(RandomGeneratorTest, SameSeedSameSequence) {
  RandomGenerator a(20240607u);
  RandomGenerator b(20240607u);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(a.Below(97), b.Below(97));
    ASSERT_EQ(a.Uniform(), b.Uniform());
  }
  RandomGenerator c(20240608u);
  RandomGenerator d(20240607u);
  int differences = 0;
  for (int i = 0; i < 100; ++i) differences += c.Below(1000) != d.Below(1000);
  EXPECT_GT(differences, 90);
}

TEST(RandomGeneratorTest, DrawsStayInRange) {
  RandomGenerator rng(99u);
  std::vector<int> seen(7, 0);
  for (int i = 0; i < 2000; ++i) {
    const int v = rng.Between(-3, 4);
    ASSERT_GE(v, -3);
    ASSERT_LE(v, 3);
    ++seen[v + 3];
    const double u = rng.Uniform();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    ASSERT_EQ(rng.Below(1), 0);
  }
  for (int count : seen) EXPECT_GT(count, 0);
  EXPECT_EQ(rng.Below(0), 0);
}

// Pearson's χ² of `counts` against equal expected counts.
double ChiSquareUniform(const std::vector<int>& counts, int draws) {
  const double expected = static_cast<double>(draws) / counts.size();
  double chi2 = 0.0;
  for (int c : counts) chi2 += (c - expected) * (c - expected) / expected;
  return chi2;
}

TEST(RandomGeneratorTest, RoughlyUniform) {
  // 10 cells, 9 degrees of freedom: the 0.999 quantile of χ² is 27.88.
  constexpr int kDraws = 5000;
  constexpr double kCritical = 27.88;
  RandomGenerator rng(31337u);
  std::vector<int> integer_cells(10, 0);
  std::vector<int> real_cells(10, 0);
  for (int i = 0; i < kDraws; ++i) {
    ++integer_cells[rng.Below(10)];
    ++real_cells[static_cast<int>(rng.Uniform() * 10.0)];
  }
  EXPECT_LT(ChiSquareUniform(integer_cells, kDraws), kCritical);
  EXPECT_LT(ChiSquareUniform(real_cells, kDraws), kCritical);
}

TEST(RandomGeneratorTest, ClockSeedsDiffer) {
  // Two generators seeded a moment apart should almost surely start apart.
  const RandomGenerator first = RandomGenerator::FromClock();
  RandomGenerator second = RandomGenerator::FromClock();
  for (int i = 0; i < 1000 && second.state() == first.state(); ++i) {
    second = RandomGenerator::FromClock();
  }
  EXPECT_NE(first.state(), second.state());
}

}  // namespace
}  // namespace vireltan

namespace vireltan {
namespace {

// Permutation streams: the same (seed, index) always gives the same stream,
// neighbouring indices give different ones.
TEST(RandomGeneratorStreams, ReproducibleAndDistinct) {
  RandomGenerator a = RandomGenerator::ForStream(42, 7);
  RandomGenerator b = RandomGenerator::ForStream(42, 7);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(a.Below(1000000), b.Below(1000000));
  std::set<uint32_t> seeds;
  for (uint64_t index = 0; index < 1000; ++index)
    seeds.insert(RandomGenerator::ForStream(42, index).state());
  EXPECT_EQ(seeds.size(), 1000u);
  EXPECT_NE(RandomGenerator::ForStream(1, 0).state(), RandomGenerator::ForStream(2, 0).state());
}

}  // namespace
}  // namespace vireltan
