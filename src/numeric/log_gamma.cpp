// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/log_gamma.h"

#include <cmath>
#include <cstdio>

namespace vireltan {

namespace {

// Lanczos coefficients for γ = 5, six terms.
constexpr long double kLanczos[6] = {76.18009173L,  -86.50532033L,  24.01409822L,
                                     -1.231739516L, 0.00120858003L, -0.00000536382L};
// √(2π), held in extended precision.
constexpr long double kSqrtTwoPi = 2.50662827465L;

}  // namespace

long double LogGamma(long double x) {
  // Each named variable is a double: assigning to it rounds, while the right
  // hand sides are evaluated in long double (the operands are promoted).
  double y = static_cast<double>(x - 1.0L);
  double t = static_cast<double>(static_cast<long double>(y) + 5.5L);
  t = static_cast<double>((static_cast<long double>(y) + 0.5L) *
                              std::log(static_cast<long double>(t)) -
                          static_cast<long double>(t));
  double s = 1.0;
  for (long double c : kLanczos) {
    y = static_cast<double>(static_cast<long double>(y) + 1.0L);
    s = static_cast<double>(static_cast<long double>(s) + c / static_cast<long double>(y));
  }
  return static_cast<long double>(t) + std::log(kSqrtTwoPi * static_cast<long double>(s));
}

long double factrl(int n) {
  if (n < 0) {
    // A negative factorial is a programming error upstream. Say so and carry
    // on; waiting for a key press here would freeze a window that has no
    // console to press it in.
    std::fputs("pause in FACTRL - negative factorial\n", stdout);
    std::fflush(stdout);
    return 0.0L;
  }
  return std::exp(LogGamma(static_cast<long double>(n) + 1.0L));
}

}  // namespace vireltan
