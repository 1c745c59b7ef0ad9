// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Options of the spatial autocorrelation of kinship, as two option panels
// collect them.
//
// The first panel asks how pairs are cut into distance classes and how
// clonal replicates are handled; the second asks for the numbers:
//   - "number of distance classes": k classes with equal numbers of pairs;
//   - "Fixed distance classes": upper limits from "distances.txt";
//   - "Central coordinates": one point per genet at its centroid;
//   - "genets weighted": all SUs, pairs within one genet left out;
//   - "genets with resampling": one SU drawn per genet, repeated.
// Ticking (or unticking) a box only ever disables its rivals; only the menu
// command enables them again.
#include <cstdint>
#include <string>
#include <vector>

#include "common/status.h"

namespace vireltan {

// What the two panels hold when the run is asked for. The numbers are kept
// as typed, so that a bad entry is reported in the user's own words.
struct AutocorrelationOptions {
  bool equalCountClasses = false;         // "number of distance classes" (equal-count rule)
  bool fixedClasses = false;              // "Fixed distance classes" (limits from "distances.txt")
  bool centralCoordinates = false;        // "Central coordinates"
  bool genetsWeighted = false;            // "genets weighted"
  bool genetsResampled = false;           // "genets with resampling"
  bool entireDatasetOnly = false;         // "entire dataset only": no replicate procedure
  std::string classCountText = "10";      // "N. distance classes"
  std::string permutationsText = "1000";  // "N. permutations" (also the resampling replicates)
};

enum class DistanceClassRule {
  kEqualCount,   // k classes holding equal numbers of pairs
  kFixedLimits,  // class upper limits read from "distances.txt"
};

// The dataset analysed besides the entire one (at most one per run).
enum class ReplicateProcedure {
  kNone,        // the entire dataset only
  kCentral,     // one point per genet, at its centroid
  kWeighted,    // all SUs, pairs of SUs of one MLG left out
  kResampling,  // one SU drawn per genet, repeated PermutationCount times
};

// What the check of the first panel decides.
struct AutocorrelationValidation {
  // Shown in this order; none of them stops the check.
  std::vector<std::string> messages;
  // The second panel (permutations and its run button) is shown.
  bool showSecondPanel = false;
  // The number of classes is asked for too.
  bool showClassCount = false;
  // "distances.txt" is missing: the first panel is closed.
  bool closeFirstPanel = false;
};

// Checks the ticks of the first panel in the program's order. `dataDirectory` ends
// with its path separator; the fixed-limit rule needs "distances.txt" there.
AutocorrelationValidation ValidateAutocorrelationOptions(const AutocorrelationOptions& options,
                                                         const std::string& dataDirectory);

// The run's settings once the options are read and checked.
struct AutocorrelationSettings {
  DistanceClassRule rule = DistanceClassRule::kEqualCount;
  ReplicateProcedure procedure = ReplicateProcedure::kNone;
  int PermutationCount = 0;    // n
  int DistanceClassCount = 0;  // k (equal-count rule; the fixed rule takes the file's)
};

// Reads the ticks and the numbers: exactly one class rule, at most one
// procedure, and positive whole numbers of permutations and (for the
// equal-count rule) of classes. Limits for the fixed rule are read by the
// caller from "distances.txt". Fails with a message for the user.
Status ReadAutocorrelationSettings(const AutocorrelationOptions& options,
                                   AutocorrelationSettings& settings);

// Parses a positive whole number typed in a field ("1000", " 12 "); fails
// with a message naming `what` otherwise.
Status ParsePositiveCount(const std::string& text, const std::string& what, int& value);

// Name of the result sheet of the spatial results workbook by option pair:
// "Autocorr-Nb&Central", "Autocorr-Fx&Weighted", ... With no procedure the
// entire dataset alone is analysed and the sheet is "Autocorr-Nb" or
// "Autocorr-Fx".
std::string AutocorrelationSheetName(DistanceClassRule rule, ReplicateProcedure procedure);

// Limits on the amount of work a run may hold in memory: the permuted class
// means take PermutationCount x DistanceClassCount values per statistic.
inline constexpr int kMaxDistanceClasses = 10000;
inline constexpr std::int64_t kMaxPermutationClassCells = 20'000'000;

}  // namespace vireltan
