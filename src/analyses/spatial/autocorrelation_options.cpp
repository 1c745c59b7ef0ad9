// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_options.h"

#include <cctype>
#include <charconv>
#include <filesystem>

#include "analyses/spatial/fixed_distance_classes.h"

namespace vireltan {

AutocorrelationValidation ValidateAutocorrelationOptions(const AutocorrelationOptions& options,
                                                         const std::string& dataDirectory) {
  AutocorrelationValidation v;
  if (!options.equalCountClasses && !options.fixedClasses)
    v.messages.push_back(
        "Choose how the distance classes are defined: a number of classes or fixed classes "
        "(distances.txt)");
  if (!options.centralCoordinates && !options.genetsWeighted && !options.genetsResampled &&
      !options.entireDatasetOnly)
    v.messages.push_back(
        "Choose how clonal replicates are treated: central coordinates, genets weighted or genets "
        "with resampling");
  if (options.equalCountClasses) {
    v.showSecondPanel = true;
    v.showClassCount = true;
  }
  if (options.fixedClasses) {
    std::error_code error;
    if (std::filesystem::is_regular_file(dataDirectory + kFixedDistanceClassesFile, error)) {
      v.showSecondPanel = true;
      v.showClassCount = false;  // the file gives the number of classes
    } else {
      v.messages.push_back("The file distances.txt is missing from the folder of the data file");
      v.closeFirstPanel = true;
    }
  }
  return v;
}

Status ParsePositiveCount(const std::string& text, const std::string& what, int& value) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (begin < end && text[begin] == '+') ++begin;
  int parsed = 0;
  auto result = std::from_chars(text.data() + begin, text.data() + end, parsed);
  if (begin == end || result.ec != std::errc() || result.ptr != text.data() + end || parsed < 1) {
    return Status::Error("The " + what + " must be a whole number of at least 1 (\"" + text +
                         "\" was given).");
  }
  value = parsed;
  return Status::Ok();
}

Status ReadAutocorrelationSettings(const AutocorrelationOptions& options,
                                   AutocorrelationSettings& settings) {
  if (!options.equalCountClasses && !options.fixedClasses)
    return Status::Error(
        "Choose how the distance classes are defined: a number of classes or fixed classes "
        "(distances.txt)");
  if (options.equalCountClasses && options.fixedClasses)
    return Status::Error(
        "Choose one distance class definition: a number of distance classes or the fixed "
        "distance classes of \"distances.txt\", not both.");
  int procedures = options.centralCoordinates + options.genetsWeighted + options.genetsResampled;
  if (procedures > 1)
    return Status::Error(
        "Choose at most one procedure to remove replicates: central coordinates, genets "
        "weighted or genets with resampling.");
  settings.rule =
      options.equalCountClasses ? DistanceClassRule::kEqualCount : DistanceClassRule::kFixedLimits;
  settings.procedure = options.centralCoordinates ? ReplicateProcedure::kCentral
                       : options.genetsWeighted   ? ReplicateProcedure::kWeighted
                       : options.genetsResampled  ? ReplicateProcedure::kResampling
                                                  : ReplicateProcedure::kNone;
  if (Status s = ParsePositiveCount(options.permutationsText, "number of permutations",
                                    settings.PermutationCount);
      !s)
    return s;
  settings.DistanceClassCount = 0;
  if (settings.rule == DistanceClassRule::kEqualCount) {
    if (Status s = ParsePositiveCount(options.classCountText, "number of distance classes",
                                      settings.DistanceClassCount);
        !s)
      return s;
    if (settings.DistanceClassCount > kMaxDistanceClasses)
      return Status::Error("The number of distance classes must be at most " +
                           std::to_string(kMaxDistanceClasses) + " (" +
                           std::to_string(settings.DistanceClassCount) + " was given).");
  }
  return Status::Ok();
}

std::string AutocorrelationSheetName(DistanceClassRule rule, ReplicateProcedure procedure) {
  std::string name = rule == DistanceClassRule::kEqualCount ? "Autocorr-Nb" : "Autocorr-Fx";
  switch (procedure) {
    case ReplicateProcedure::kCentral:
      return name + "&Central";
    case ReplicateProcedure::kWeighted:
      return name + "&Weighted";
    case ReplicateProcedure::kResampling:
      return name + "&Permutations";
    case ReplicateProcedure::kNone:
      break;
  }
  return name;
}

}  // namespace vireltan
