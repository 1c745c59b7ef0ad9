// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The p-value of a permutation test: the observed arrangement is one of the
// arrangements the null hypothesis makes equally likely, so with b of the P
// random permutations at least as extreme as the observed value,
//
//   p = (b + 1)/(P + 1),
//
// never 0 (at least 1/(P + 1)) and at most 1. Every permutation test of the
// program reports its p this way.

namespace vireltan {

inline double PermutationPValue(long long atLeastAsExtreme, long long permutations) {
  if (permutations < 0) permutations = 0;
  if (atLeastAsExtreme < 0) atLeastAsExtreme = 0;
  if (atLeastAsExtreme > permutations) atLeastAsExtreme = permutations;
  return (static_cast<double>(atLeastAsExtreme) + 1.0) / (static_cast<double>(permutations) + 1.0);
}

}  // namespace vireltan
