// SPDX-License-Identifier: GPL-3.0-or-later
// The round top of an axis from 0: just above the largest value, never
// below it, so that a curve fills its plot without touching the frame.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "charts/chart_data.h"

namespace vireltan {
namespace {

TEST(NiceAxisMaximum, IsTheRoundValueJustAboveTheData) {
  struct Case {
    double highest, top;
  };
  const Case cases[] = {
      {0.18, 0.2}, {0.2, 0.25},     {0.37, 0.4}, {0.39, 0.4},    {0.395, 0.5},
      {0.5, 0.6},  {0.95, 1.0},     {1.0, 1.2},  {7, 8},         {13.7, 15},
      {96, 100},   {0.0031, 0.004}, {250, 300},  {1e-7, 1.2e-7},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(NiceAxisMaximum(c.highest), c.top, c.top * 1e-12) << c.highest;
    EXPECT_GE(NiceAxisMaximum(c.highest), c.highest * 1.02 * (1 - 1e-12)) << c.highest;
  }
}

TEST(NiceAxisMaximum, NoPositiveValueGivesOne) {
  for (double v : {0.0, -3.0, std::numeric_limits<double>::quiet_NaN(),
                   std::numeric_limits<double>::infinity()})
    EXPECT_EQ(NiceAxisMaximum(v), 1) << v;
}

}  // namespace
}  // namespace vireltan
