// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sample sheet of a SNP study: one row per sample, joined to the data
// file's samples by name. Read with the program's table readers (xlsx, xls,
// comma- or tab-separated text); the first row names the columns, in any
// order and case: `sample` (required), and optionally `x` and `y`
// (coordinates, both or neither), `population`, and `replicate_of` (the
// name of the sample this one repeats: the same individual genotyped
// twice, which bounds the genotyping error). Coordinates follow the
// program's one rule (dataset/coordinates.h).
#include <string>
#include <vector>

#include "common/status.h"

namespace vireltan {

struct SampleSheet {
  std::vector<std::string> names;
  bool hasCoordinates = false;
  std::vector<double> x, y;
  bool hasPopulations = false;
  std::vector<std::string> populations;
  bool hasReplicates = false;
  std::vector<std::string> replicateOf;  // "" when the sample repeats none
};

// The sample information in the data file's sample order.
struct JoinedSamples {
  std::vector<double> x, y;  // 999 throughout when the sheet gives no coordinates
  bool populationsGiven = false;
  std::vector<int> populationOfSample;  // into populationNames, by first appearance
  std::vector<std::string> populationNames;
  std::vector<int> replicateOf;  // data-file index of the sample repeated, or -1
};

Status ReadSampleSheet(const std::string& path, SampleSheet& sheet);

// Joins by name. A data sample missing from the sheet, a sheet sample
// missing from the data, and a replicate_of naming no sample (or the
// sample itself) are errors naming them (ten at most, then the count).
// Without a sheet (`sheet` null) every sample gets no coordinates, one
// population named `defaultPopulation` and no replicate.
Status JoinSampleSheet(const std::vector<std::string>& dataSamples, const SampleSheet* sheet,
                       const std::string& sheetPath, const std::string& defaultPopulation,
                       JoinedSamples& joined);

}  // namespace vireltan
