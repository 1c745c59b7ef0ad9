// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/repeated_sum.h"

#include <algorithm>
#include <cmath>

namespace vireltan {

// While the sum stays in one binade [2^(e-1), 2^e), it is a multiple of the
// binade's unit in the last place u and the term is q + r units (0 <= r < 1).
// An addition then adds q units (r < 1/2), q + 1 (r > 1/2) or, for r = 1/2,
// whichever of the two makes the sum an even number of units: after one such
// addition the sum is even, and from then on the increment is the same every
// time. So two additions show the increment, and the rest of the binade is
// covered by one multiplication. Crossing into the next binade is done one
// addition at a time.
double AddRepeatedly(double sum, double term, std::int64_t times) {
  if (term == 0) return sum;
  while (times > 0) {
    if (sum == 0 || times < 3) {
      sum += term;
      --times;
      continue;
    }
    int exponent = 0;
    std::frexp(sum, &exponent);
    const double top = std::ldexp(1.0, exponent);  // first double of the next binade
    const double first = sum + term;
    const double second = first + term;
    if (second >= top) {
      sum = first;
      --times;
      continue;
    }
    times -= 2;
    const double step = second - first;  // exact: both lie in the binade
    if (step == 0) return second;        // the term is too small to move the sum
    // Additions n = 1, 2, ... give second + n * step while that is below top.
    double room = std::floor((top - second) / step);  // top - second is exact
    if (second + room * step >= top) room -= 1;
    const std::int64_t bulk = std::min<std::int64_t>(times, static_cast<std::int64_t>(room));
    sum = second + static_cast<double>(bulk) * step;  // a multiple of u below top: exact
    times -= bulk;
  }
  return sum;
}

}  // namespace vireltan
