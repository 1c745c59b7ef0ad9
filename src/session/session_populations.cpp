// SPDX-License-Identifier: GPL-3.0-or-later
// Populations: the strata table, the GenAlEx and Genepop exports, the
// per-population clonal summary.
#include <map>

#include "analyses/clonality/population_summary.h"
#include "dataset/data_file.h"
#include "dataset/import_common.h"
#include "dataset/strata_reader.h"
#include "export/population_exports.h"
#include "export/snp_genalex_export.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"

namespace vireltan {

void Session::WriteMlgPopulations(int firstRow) {
  // One row per MLG: its number, then the populations its units come from
  // (in order of first appearance in the dataset).
  Sheet& sheet = results.first();
  const Dataset& d = dataset();
  const MlgPartition& p = mlgs();
  sheet.SetTextAt(firstRow, 1, "MLG");
  sheet.SetTextAt(firstRow, 2, "populations");
  std::vector<std::vector<bool>> in(p.mlgCount, std::vector<bool>(d.populationCount(), false));
  for (int su = 0; su < d.sampleCount; ++su) in[p.mlgOfSu[su] - 1][d.populationOfSu[su]] = true;
  for (int m = 1; m <= p.mlgCount; ++m) {
    const int row = firstRow + m;
    sheet.SetNumberAt(row, 1, m);
    int col = 1;
    for (int pop = 0; pop < d.populationCount(); ++pop)
      if (in[m - 1][pop]) sheet.SetTextAt(row, ++col, d.populationNames[pop]);
  }
}

Status Session::LoadPopulations(const std::string& strataPath) {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  StrataTable strata;
  Status read = ReadStrataTable(strataPath, dataset(), strata);
  if (!read) return read;
  Dataset& d = loaded_->dataset;
  import::AssignPopulations(d, strata.valueOfSu.front());
  d.strataNames = std::move(strata.names);
  d.strataOfSu = std::move(strata.valueOfSu);
  d.strataRowOfSu = std::move(strata.rowOfSu);
  // The grid's population column is its last one.
  Sheet& grid = datasetGrid.first();
  const int column = grid.LastCol();
  for (int su = 0; su < d.sampleCount; ++su)
    grid.SetTextAt(su + 1, column, d.populationNames[d.populationOfSu[su]]);
  HideCharts();
  WriteMlgPopulations(NextResultsBlockRow());
  return WriteResultsLog();
}

Status Session::ExportGenAlEx(bool cloneCorrect) {
  if (hasSnpData()) return ExportSnpGenAlEx(cloneCorrect);
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  HideCharts();
  std::vector<int> units = UnitsToExport(dataset(), CountedPartition(), cloneCorrect);
  Book book = BuildGenAlExBook(dataset(), units, info_.datasetName, info_.spatialDims > 0);
  return WriteTableFile(book, OutputPath(".genalex.xlsx"), FileType::kXlsxWorkbook);
}

Status Session::ExportSnpGenAlEx(bool cloneCorrect) {
  HideCharts();
  SnpGenAlExInput input;
  input.genotypes = &snp().genotypes;
  input.ploidy = snp().ploidy;
  input.samples = &dataset();
  input.locusNames = &info_.locusNames;
  input.units = UnitsToExport(dataset(), CountedPartition(), cloneCorrect);
  input.title = info_.datasetName;
  input.withCoordinates = info_.spatialDims > 0;
  ProgressPanel panel(progress_);
  return WriteSnpGenAlEx(input, OutputPath(".genalex.csv"), &progress_);
}

Status Session::ExportGenepop(bool cloneCorrect) {
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  HideCharts();
  std::string text;
  Status formatted =
      FormatGenepop(dataset(), UnitsToExport(dataset(), CountedPartition(), cloneCorrect),
                    info_.datasetName, text);
  if (!formatted) return formatted;
  return WriteFileAtomically(OutputPath(".genepop.gen"), text);
}

Status Session::PopulationSummary(int rarefyTo, bool cloneCorrect, bool sortPopulations,
                                  IaMissing missing) {
  if (hasSnpData()) return SnpPopulationSummary(rarefyTo, cloneCorrect, sortPopulations, missing);
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  PopulationSummaryOptions options;
  if (Status ok = MakeSummaryOptions(rarefyTo, cloneCorrect, sortPopulations, missing, options);
      !ok)
    return ok;
  PopulationSummaryResult summary;
  {
    ProgressPanel panel(progress_);
    summary = SummarisePopulations(dataset(), CountedPartition(), options, &progress_);
    if (progress_.Cancelled()) return Status::Cancelled();
  }
  Sheet block = PopulationSummaryBlock(summary, cloneCorrect);
  HideCharts();
  SummarySettings settings{summary.rarefyTo, std::nullopt, std::nullopt, 0};
  if (dataset().hasMissingData) settings.missing = summary.missing;
  return AppendSummaryBlock(
      block, cloneCorrect,
      AssociationRuleNotes(dataset().hasMissingData, summary.missing, std::nullopt), settings);
}

}  // namespace vireltan
