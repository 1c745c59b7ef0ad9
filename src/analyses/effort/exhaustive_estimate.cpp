// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/effort/exhaustive_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analyses/effort/combinations.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

// Subsets timed for the estimate: 2^20, some ten milliseconds.
constexpr std::uint64_t kProbeSubsets = 1 << 20;

// A whole number of any size as plain digits (up to 2^64 - 1 exactly).
std::string WholeNumber(double value) {
  if (value < 1.8e19) return std::to_string(static_cast<std::uint64_t>(value));
  return FormatNumber(value);
}

}  // namespace

ExhaustiveEstimate EstimateLociCombinations(const EffortInput& input) {
  ExhaustiveEstimate estimate;
  estimate.subsets = std::ldexp(1.0, input.locusCount) - 1;
  estimate.tooLarge = estimate.subsets > kExhaustiveSubsetLimit;
  estimate.seconds = estimate.subsets * MeasureLociCombinationCost(input, kProbeSubsets);
  return estimate;
}

std::string DescribeDuration(double seconds) {
  struct Unit {
    double seconds;
    const char* name;
  };
  static const Unit kUnits[] = {
      {365.25 * 86400, "years"}, {86400, "days"}, {3600, "hours"}, {60, "minutes"}, {1, "seconds"}};
  for (const Unit& unit : kUnits) {
    if (seconds >= 2 * unit.seconds || unit.seconds == 1) {
      double count = std::max(1.0, std::round(seconds / unit.seconds));
      return "about " + WholeNumber(count) + " " + (count == 1 ? "second" : unit.name);
    }
  }
  return "";
}

std::string LociCombinationRefusal(const ExhaustiveEstimate& estimate, int loci) {
  return "The combinations of " + std::to_string(loci) + " loci are " +
         WholeNumber(estimate.subsets) + " subsets, more than the " +
         WholeNumber(kExhaustiveSubsetLimit) +
         " (2^24) enumerated without asking; on this computer they would take " +
         DescribeDuration(estimate.seconds) +
         ". The resampling of loci (resample-loci) draws random subsets instead; to enumerate "
         "them all anyway, confirm the run (--force on the command line).";
}

}  // namespace vireltan
