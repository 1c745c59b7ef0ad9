// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One run of the spatial autocorrelation of kinship, from the loaded dataset
// to the finished sheets, with nothing written anywhere: the caller stores
// the sheets in the spatial results workbook and saves it.
//
// The entire dataset (all SUs) is always analysed; at most one dataset
// without clonal replicates follows: the weighted one (pairs within a genet
// left out), the genets at their centroids, or the genets represented by one
// SU drawn at random (resampled n times). Each observed class table is
// tested by n permutations of the positions among the units.
#include <cstdint>
#include <string>
#include <vector>

#include "analyses/spatial/autocorrelation_classes.h"
#include "analyses/spatial/autocorrelation_options.h"
#include "analyses/spatial/autocorrelation_output.h"
#include "charts/chart_data.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/snp/packed_genotypes.h"
#include "sheet/sheet.h"

namespace vireltan {

struct AutocorrelationInput {
  const Dataset* dataset = nullptr;
  const MlgPartition* mlgs = nullptr;
  // SNP data: the packed calls of the dataset's samples (the dataset then
  // holds the samples without an allele table), their ploidy and the locus
  // names. An SU stands for its group's representative, as on an allele
  // table, where the members of an MLG share its genotype.
  const PackedGenotypes* snpGenotypes = nullptr;
  int snpPloidy = 2;
  const std::vector<std::string>* snpLocusNames = nullptr;
  std::string datasetName;
  // The unit of the coordinates ("m"), empty for none given: the
  // correlogram's distance axis and a note in the result sheet's title row.
  std::string coordinateUnit;
  // 0: the "all freq& dist matrices" sheet does not exist yet; 1: it holds
  // the entire-dataset block; 2: the block without replicates too.
  int matricesSheetStage = 0;
  AutocorrelationSettings settings;
  // Fixed rule: the upper limits read from "distances.txt", ascending.
  std::vector<double> fileLimits;
  // Seed of the run's random streams.
  std::uint32_t runSeed = 0;
};

struct AutocorrelationOutcome {
  ClassRule rule;  // the classes used (an added last class when out of range)
  // The largest distance lies beyond the last limit of "distances.txt".
  bool OutOfRangeFlag = false;
  std::vector<TestedDataset> tested;  // entire, then weighted or central
  bool hasResampling = false;
  ResamplingResults resampling;
  // The result sheet, named by the option pair.
  Sheet resultSheet;
  std::string resultSheetName;
  // The "all freq& dist matrices" sheet when it did not exist (stage 0),
  // and the block without replicates to append when due (stage <= 1 with a
  // genet procedure).
  bool hasMatricesSheet = false;
  Sheet matricesSheet;
  bool hasGenetMatricesBlock = false;
  Sheet genetMatricesBlock;
  ChartData correlogram;
};

inline constexpr const char* kMatricesSheetName = "all freq& dist matrices";

// Bytes a run holds at once for `units` SUs and `mlgs` MLGs (grows with
// units²: one byte per pair of SUs for its distance class, more for the
// weighted dataset, and 16 bytes per pair of MLGs for the coefficients).
double EstimateAutocorrelationBytes(double units, double mlgs,
                                    const AutocorrelationSettings& settings);

// Runs the whole analysis. Progress goes to `progress` (0..100), which is
// polled for cancellation; a zero denominator stops with a message saying
// which.
Status RunSpatialAutocorrelation(const AutocorrelationInput& input, ProgressSink& progress,
                                 AutocorrelationOutcome& outcome);

}  // namespace vireltan
