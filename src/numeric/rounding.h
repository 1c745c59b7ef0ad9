// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rounding of reals to integers: to the nearest integer, halves to the even
// neighbour (banker's rounding), so that 0.5 -> 0, 1.5 -> 2, 2.5 -> 2. This
// is not std::round, which sends halves away from zero.
#include <cmath>

namespace vireltan {

// x must be finite and within the range of long long. Does not depend on the
// floating-point rounding mode in effect.
inline long long RoundHalfEven(double x) {
  const double below = std::floor(x);
  const double fraction = x - below;  // exact for every double
  double nearest;
  if (fraction < 0.5) {
    nearest = below;
  } else if (fraction > 0.5) {
    nearest = below + 1.0;
  } else {
    nearest = std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
  }
  return static_cast<long long>(nearest);
}

}  // namespace vireltan
