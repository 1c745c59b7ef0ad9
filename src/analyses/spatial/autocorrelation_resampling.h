// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "genets with resampling": the autocorrelation of genets when each genet is
// represented by one of its ramets drawn at random, repeated n times. Every
// replicate gives an observed class table over the drawn positions and, from
// the same positions dealt out at random among the genets, a permuted one;
// the run reports means and 95% / 90% bounds over the replicates.
//
// Classes are cut on the replicate's observed distances (equal counts, or
// the fixed limits); the permuted class c then takes as many pairs, in
// ascending order of permuted distance, as observed class c holds. The
// lists are cut by selection rather than fully sorted, so pairs at exactly
// the distance of a class boundary may fall on either side of it (as in the
// permutations); class sizes and distances are the same either way.
#include <array>
#include <cstdint>
#include <vector>

#include "analyses/spatial/autocorrelation_classes.h"
#include "analyses/spatial/autocorrelation_kinship.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"

namespace vireltan {

struct ResamplingResults {
  int n = 0;
  int k = 0;
  // Per replicate x and class c, at x·k + c − 1. Distances (minimum,
  // average, maximum) and ln of the average are rounded to 5 significant
  // digits and then to 2 decimals (fixed limits kept as read).
  std::vector<double> minimum, average, maximum, lnAverage, pairCount;
  std::vector<double> observedLoiselle, observedRitland;
  std::vector<double> permutedLoiselle, permutedRitland;
  // Per replicate: the four observed slopes and intercepts −a/b, and the
  // four permuted slopes (L/d, L/ln d, R/d, R/ln d).
  std::array<std::vector<double>, 4> observedSlopes, observedIntercepts, permutedSlopes;
  // Mean coefficients over all pairs of genets (the same in every replicate).
  double meanLoiselle = 0;
  double meanRitland = 0;
};

// The rounding of the replicates' distances: 5 significant digits, then 2
// decimals.
double RoundToFiveDigitsTwoDecimals(double value);

// Runs n replicates, replicate x drawing from the stream
// RandomGenerator::ForStream(runSeed, streamBase + x): first one SU per MLG
// (uniformly among its SUs, MLGs in order), then the arrangement of the drawn
// positions (Fisher–Yates). `table` holds the genets' coefficients (MLG
// frequencies). A zero denominator in a replicate's regressions stops the
// run with a message.
Status RunResampling(const Dataset& dataset, const MlgPartition& mlgs, const KinshipTable& table,
                     const ClassRule& rule, int n, std::uint32_t runSeed, std::uint64_t streamBase,
                     ProgressSink* progress, ResamplingResults& results);

}  // namespace vireltan
