#pragma once
// Options of the spatial autocorrelation of kinship, and the two option
// panels that collect them.
//
// The first panel (GroupBox9, "Autocorrelation") asks how pairs are cut into
// distance classes and how clonal replicates are handled; the second
// (GroupBox10) asks for the numbers:
//   - CheckBox1 "number of distance classes": k classes with equal numbers
//     of pairs (k from Edit6);
//   - CheckBox2 "Fixed distance classes": upper limits from "distances.txt";
//   - CheckBox3 "Central coordinates": one point per genet at its centroid;
//   - CheckBox4 "genets weighted": all SUs, pairs within one genet left out;
//   - CheckBox5 "genets with resampling": one SU drawn per genet, repeated.
// Ticking (or unticking) a box only ever disables its rivals; only the menu
// command enables them again.
#include <cstdint>
#include <string>
#include <vector>

#include "common/status.h"

namespace vireltan {

// What the two panels hold when "run" (Button11) is pressed.
struct AutocorrelationOptions {
  bool CheckBox1 = false;      // "number of distance classes" (equal-count rule)
  bool CheckBox2 = false;      // "Fixed distance classes" (limits from "distances.txt")
  bool CheckBox3 = false;      // "Central coordinates"
  bool CheckBox4 = false;      // "genets weighted"
  bool CheckBox5 = false;      // "genets with resampling"
  std::string Edit6 = "10";    // "N. distance classes"
  std::string Edit7 = "1000";  // "N. permutations" (also the resampling replicates)
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

// What Button9 ("run" of the first panel) decides.
struct AutocorrelationValidation {
  // Shown in this order; none of them stops the check.
  std::vector<std::string> messages;
  // GroupBox10 with Button11, Edit7 and Label5 is shown.
  bool showSecondPanel = false;
  // Edit6 and Label4 (the number of classes) are shown too.
  bool showClassCount = false;
  // "distances.txt" is missing: the first panel is closed.
  bool closeFirstPanel = false;
};

// Button9: checks the ticks in the program's order. `dataDirectory` ends
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
