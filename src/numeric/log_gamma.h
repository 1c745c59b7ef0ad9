// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Logarithm of the gamma function and the factorials derived from it.
//
// The factorials feed the binomial tail behind Psex. They are deliberately
// NOT rounded to integers: the Lanczos series below carries a relative error
// of about 2e-10 (5! comes out as 119.99999998), and Psex values are
// reproducible only if the same approximation is used everywhere. Callers
// only ever use them in ratios, where the error largely cancels.

namespace vireltan {

// ln Γ(x) for x > 0 by a six-term Lanczos series (γ = 5). The intermediate
// variables are held as doubles (every assignment rounds to double) while
// each expression is evaluated in extended precision; keep it that way, the
// last digits of every Psex value depend on it.
long double LogGamma(long double x);

// n! as exp(LogGamma(n + 1)) in extended precision (reaches 500! ≈ 1.2e1134,
// far beyond the range of a double). For n < 0 writes
// "pause in FACTRL - negative factorial" on standard output and returns 0;
// no caller passes a negative n.
long double factrl(int n);

}  // namespace vireltan
