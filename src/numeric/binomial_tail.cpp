// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/binomial_tail.h"

#include <cmath>

namespace vireltan {

namespace {

// base^exponent by repeated multiplication (exponent <= 0 gives 1, so 0^0 is
// 1). Kept literal rather than std::pow so that every Psex value comes out
// the same in its last digits.
long double PowerByMultiplication(long double base, int exponent) {
  long double result = 1.0L;
  for (int e = 0; e < exponent; ++e) result *= base;
  return result;
}

// Terms below this fraction of the running sum cannot change a long double.
constexpr long double kNegligible = 1e-24L;

}  // namespace

double BinomialTail(int k, int n, double p, const FactorialTable& table) {
  if (k <= 0) return 1.0;
  if (n > FactorialTable::kMaxEntries) return BinomialTailLogSpace(k, n, p);

  const long double success = p;
  const long double failure = 1.0L - success;
  double s = 0.0;
  for (int i = k; i <= n - 1; ++i) {
    const double c = static_cast<double>(table[n] / (table[i] * table[n - i]));
    const double q = static_cast<double>(PowerByMultiplication(success, i) *
                                         PowerByMultiplication(failure, n - i));
    s = static_cast<double>(s + static_cast<long double>(c) * q);
  }
  // The all-successes term, C(n, n) = 1. Added even when k > n, which is how
  // a tail that starts beyond n comes to equal p^n.
  const double q = static_cast<double>(PowerByMultiplication(success, n));
  s = static_cast<double>(s + q);
  return s;
}

double BinomialTailLogSpace(int k, int n, double p) {
  if (std::isnan(p)) return p;
  if (k <= 0) return 1.0;
  if (n < 0) n = 0;
  if (k > n) {
    // Same convention as the table-based tail: the i = n term alone.
    if (n == 0) return 1.0;
    if (p <= 0.0) return 0.0;
    if (p >= 1.0) return 1.0;
    return static_cast<double>(
        std::exp(static_cast<long double>(n) * std::log(static_cast<long double>(p))));
  }
  if (p <= 0.0) return 0.0;
  if (p >= 1.0) return 1.0;

  const long double lp = std::log(static_cast<long double>(p));
  const long double lq = std::log1p(-static_cast<long double>(p));
  const long double odds = static_cast<long double>(p) / (1.0L - static_cast<long double>(p));
  const long double ln = static_cast<long double>(n);

  // The terms of a binomial rise up to the mode floor((n + 1) p) and fall
  // after it, so within [k, n] the largest term is at the mode clamped to
  // that range. Sum relative to it: walking away from it on either side every
  // term is smaller than the one before, and we stop once they no longer
  // matter.
  long double mode = std::floor((ln + 1.0L) * static_cast<long double>(p));
  int m = mode < k ? k : (mode > n ? n : static_cast<int>(mode));

  long double sum = 1.0L;  // the term at m, relative to itself
  long double w = 1.0L;
  for (int i = m; i < n; ++i) {  // upwards: t(i+1)/t(i) = (n-i)/(i+1) · p/(1-p)
    w *= static_cast<long double>(n - i) / static_cast<long double>(i + 1) * odds;
    sum += w;
    if (w < sum * kNegligible) break;
  }
  long double down = 0.0L;
  w = 1.0L;
  for (int i = m; i > k; --i) {  // downwards: t(i-1)/t(i) = i/(n-i+1) · (1-p)/p
    w *= static_cast<long double>(i) / static_cast<long double>(n - i + 1) / odds;
    down += w;
    if (w < (sum + down) * kNegligible) break;
  }
  sum += down;

  const long double log_term_m =
      std::lgamma(ln + 1.0L) - std::lgamma(static_cast<long double>(m) + 1.0L) -
      std::lgamma(static_cast<long double>(n - m) + 1.0L) + static_cast<long double>(m) * lp +
      static_cast<long double>(n - m) * lq;
  const long double tail = std::exp(log_term_m + std::log(sum));
  return static_cast<double>(tail < 1.0L ? tail : 1.0L);
}

}  // namespace vireltan
