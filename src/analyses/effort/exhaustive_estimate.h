// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Guarding the exhaustive enumerations, whose work grows as 2^L: every
// subset of L loci is 2^L - 1 subsets, half a second at 26 loci and years at
// 64. Before such a run its size and duration are estimated; above
// kExhaustiveSubsetLimit subsets the front end runs it only when the user
// confirms (the window asks, the command line wants --force).
#include <string>

#include "analyses/effort/effort_input.h"

namespace vireltan {

// 2^24 subsets: a few seconds on an ordinary computer.
inline constexpr double kExhaustiveSubsetLimit = 16777216.0;

struct ExhaustiveEstimate {
  double subsets = 0;     // subsets to visit (2^L - 1 for L loci)
  double seconds = 0;     // expected duration on this machine
  bool tooLarge = false;  // subsets > kExhaustiveSubsetLimit: confirmation needed
};

// Size and duration of the combinations of loci, the duration from timing
// the first subsets of this very dataset (some ten milliseconds).
ExhaustiveEstimate EstimateLociCombinations(const EffortInput& input);

// "about 17 seconds", "about 3 hours", "about 5800 years".
std::string DescribeDuration(double seconds);

// The message given instead of running a too large enumeration: its size,
// its duration, the resampling command that draws subsets instead, and how
// to run it anyway.
std::string LociCombinationRefusal(const ExhaustiveEstimate& estimate, int loci);

}  // namespace vireltan
