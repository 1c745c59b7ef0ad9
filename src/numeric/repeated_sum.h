// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The double that a loop adding the same term to a running sum, one
// addition at a time, ends with. Such a sum is not sum + times * term: every
// addition rounds, and the roundings add up (adding 0.1 ten times to 0 gives
// 0.9999999999999999). Programs that average by summing d / n over n pairs
// carry these roundings into their results; reproducing them needs the loop's
// exact value.
#include <cstdint>

namespace vireltan {

// sum and term finite and at least 0; times at least 0. Gives the same
// double as `for (i < times) sum += term;` in round-to-nearest-even, in
// O(log2(times)) steps instead of O(times): within one binade of the sum the
// increment of every addition after the first is the same.
double AddRepeatedly(double sum, double term, std::int64_t times);

}  // namespace vireltan
