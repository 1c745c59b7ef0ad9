// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Upper tail of the binomial distribution, P[X >= k] for X ~ Binomial(n, p).
// This is Psex: the chance that k or more of n sampling units carry a
// genotype of probability p by independent sexual events.
#include "numeric/factorial_table.h"

namespace vireltan {

// Sums the terms i = k..n one by one with binomial coefficients read from
// `table` (which must have been filled up to n) and powers built by repeated
// multiplication in extended precision. The term i = n is always added, so
// k > n still yields p^n (with 0^0 = 1); this keeps published Psex values
// reproducible digit for digit. k <= 0 gives 1.
//
// The table stops at 500!, so for n > FactorialTable::kMaxEntries the sum is
// handed to BinomialTailLogSpace instead of reading entries that do not
// exist.
double BinomialTail(int k, int n, double p, const FactorialTable& table);

// The same tail for any n, computed from log-gamma in log space and summed
// from the largest term outwards so that tiny tails keep full precision.
// Edges as BinomialTail: k <= 0 gives 1, k > n gives p^n (0^0 = 1), p <= 0
// gives 0 and p >= 1 gives 1 otherwise. n < 0 is treated as no trials.
double BinomialTailLogSpace(int k, int n, double p);

}  // namespace vireltan
