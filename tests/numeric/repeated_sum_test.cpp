// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/repeated_sum.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "numeric/random.h"

namespace vireltan {
namespace {

double Loop(double sum, double term, std::int64_t times) {
  for (std::int64_t i = 0; i < times; ++i) sum += term;
  return sum;
}

TEST(AddRepeatedlyTest, EqualsTheLoopBitForBit) {
  struct Case {
    double sum;
    double term;
    std::int64_t times;
  };
  const Case cases[] = {
      {0, 0.1, 10},               // 0.9999999999999999, not 1
      {0, 1.0 / 3, 3},            // 1
      {0, 1.0 / 49, 49},          //
      {0, 2.0 / 513, 513},        //
      {0, 1.0 / 3000, 3000},      //
      {0, 0.7, 1000000},          //
      {1, 0x1p-53, 7},            // half a unit: ties go to even, the sum stays 1
      {1 + 0x1p-52, 0x1p-53, 7},  // odd start: one step up, then even
      {1, 3 * 0x1p-53, 9},        // one and a half units
      {1, 1e-17, 1000},           // too small to move the sum
      {5, 0, 100},                // nothing added
      {0.25, 0.125, 0},           // no addition
      {1e15, 0.3, 5000},          // large sum, coarse units
  };
  for (const Case& c : cases)
    EXPECT_EQ(AddRepeatedly(c.sum, c.term, c.times), Loop(c.sum, c.term, c.times))
        << c.sum << " + " << c.term << " x " << c.times;
  EXPECT_NE(AddRepeatedly(0, 0.1, 10), 1.0);
}

TEST(AddRepeatedlyTest, RandomSumsOfDistancesOverPairs) {
  // Terms as in a mean over n pairs of units: d / n, d a whole or half
  // number of allele differences, added once per pair.
  RandomGenerator random(1234);
  for (int trial = 0; trial < 2000; ++trial) {
    const std::int64_t n = 1 + random.Below(60000);
    const double d = 0.5 * (1 + random.Below(40));
    const double start = trial % 3 == 0 ? 0.0 : random.Uniform() * 10;
    const std::int64_t times = random.Below(static_cast<int>(n) + 1);
    ASSERT_EQ(AddRepeatedly(start, d / n, times), Loop(start, d / n, times))
        << start << " + " << d << "/" << n << " x " << times;
  }
}

}  // namespace
}  // namespace vireltan
