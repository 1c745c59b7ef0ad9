// SPDX-License-Identifier: GPL-3.0-or-later
// Spatial components > Spatial autocorrelation: the option check of the
// first panel and the run of the second.
#include <new>
#include <utility>

#include "analyses/spatial/autocorrelation_analysis.h"
#include "analyses/spatial/fixed_distance_classes.h"
#include "session/session.h"

namespace vireltan {

AutocorrelationValidation Session::CheckAutocorrelationOptions(
    const AutocorrelationOptions& options) {
  AutocorrelationValidation v = ValidateAutocorrelationOptions(options, info_.dataDirectory);
  for (const std::string& message : v.messages) messages_.Show(message);
  return v;
}

Status Session::SpatialAutocorrelation(const AutocorrelationOptions& options) {
  if (Status snp = RequireOnSnpData("autocorrelation"); !snp) return snp;
  if (Status allowed = Require(CommandGroup::kSpatialMenu); !allowed) return allowed;
  HideCharts();
  chart(ChartRole::kCorrelogram) = DefaultChart(ChartRole::kCorrelogram);

  // Everything the run needs is checked before any work.
  AutocorrelationInput input;
  if (Status s = ReadAutocorrelationSettings(options, input.settings); !s) return s;
  if (input.settings.rule == DistanceClassRule::kFixedLimits) {
    if (Status s = ReadFixedDistanceClasses(info_.dataDirectory, input.fileLimits); !s) return s;
  }
  input.dataset = &dataset();
  input.mlgs = &mlgs();
  // SNP data: the calls stay packed; the units are grouped as the map and
  // the other spatial commands group them (the lineages once counted).
  MlgPartition snpPartition;
  if (hasSnpData()) {
    snpPartition = SpatialPartition();
    input.mlgs = &snpPartition;
    input.snpGenotypes = &snp().genotypes;
    input.snpPloidy = snp().ploidy;
    input.snpLocusNames = &info_.locusNames;
  }
  input.datasetName = info_.datasetName;
  input.coordinateUnit = coordinateUnit_;
  input.matricesSheetStage = matricesSheetStage_;
  input.runSeed = NewRunSeed();

  AutocorrelationOutcome outcome;
  progress_.Begin();
  Status run;
  try {
    run = RunSpatialAutocorrelation(input, progress_, outcome);
  } catch (const std::bad_alloc&) {
    run = Status::Error(
        "Spatial autocorrelation stopped: not enough memory for this dataset with these "
        "options (try fewer permutations or distance classes).");
  }
  progress_.End();
  if (!run) return run;

  // Stored only when no sheet of this name exists: repeating a run with the
  // same option pair on the same dataset leaves the workbook and its file
  // as they are.
  if (!spatialResults.HasSheetNamed(outcome.resultSheetName)) {
    Book updated = spatialResults;
    int stage = matricesSheetStage_;
    if (outcome.hasMatricesSheet) {
      updated.InsertSheets(1, 1);
      updated.sheet(1) = std::move(outcome.matricesSheet);
      updated.SetSheetName(1, kMatricesSheetName);
      stage = 1;
    }
    if (outcome.hasGenetMatricesBlock && stage >= 1) {
      for (int i = 1; i <= updated.NumSheets(); ++i) {
        if (updated.SheetName(i) != kMatricesSheetName) continue;
        Sheet& matrices = updated.sheet(i);
        const Sheet& block = outcome.genetMatricesBlock;
        matrices.CopyBlock(block, 1, 1, block.LastRow(), block.LastCol(), matrices.LastRow() + 1,
                           1);
        stage = 2;
        break;
      }
    }
    updated.InsertSheets(1, 1);
    updated.sheet(1) = std::move(outcome.resultSheet);
    updated.SetSheetName(1, outcome.resultSheetName);
    std::swap(spatialResults, updated);
    if (Status saved = SaveSpatialWorkbook(); !saved) {
      std::swap(spatialResults, updated);  // not saved: the workbook stays as it was
      return saved;
    }
    matricesSheetStage_ = stage;
  }

  chart(ChartRole::kCorrelogram) = std::move(outcome.correlogram);
  if (outcome.OutOfRangeFlag)
    messages_.Show("The dataset contains values out of the range defined in \"distances.txt\"!");
  messages_.Note("permutations done");
  return Status::Ok();
}

}  // namespace vireltan
