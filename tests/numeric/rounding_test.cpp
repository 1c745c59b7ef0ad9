// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/rounding.h"

#include <gtest/gtest.h>

namespace vireltan {
namespace {

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
  struct Case {
    double x;
    long long want;
  };
  const Case cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {2.4999, 2},
      {2.5001, 3},
      {-2.4999, -2},
      {-2.5001, -3},
      {0.0, 0},
      {7.0, 7},
      {-7.0, -7},
      {0.49999999999999994, 0},
      {4503599627370495.5, 4503599627370496},
      {1e15 + 0.5, 1000000000000000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.x), c.want) << c.x;
  }
}

}  // namespace
}  // namespace vireltan
