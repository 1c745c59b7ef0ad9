// SPDX-License-Identifier: GPL-3.0-or-later
// F-statistics between populations: Weir & Cockerham's θ, f and F with
// their bootstrap intervals, and θ between every pair of populations with
// its permutation test and heat map.

#include "analyses/popgen/pairwise_fst.h"
#include "analyses/popgen/snp_allele_counts.h"
#include "analyses/popgen/weir_cockerham.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

template <typename T>
void SetOptional(Sheet& s, int row, int col, const std::optional<T>& v) {
  if (v) s.SetNumberAt(row, col, static_cast<double>(*v));
}

}  // namespace

Status Session::FStatistics(const PopgenRequest& request) {
  if (request.bootstraps < 0)
    return Status::Error("The number of bootstrap resamplings must be 0 (none) or more.");
  PopulationSelection sel;
  if (Status ok = SelectBetweenPopulations(request, "F-statistics", sel); !ok) return ok;
  AlleleCountTable table;
  FStatisticsResult f;
  {
    ProgressPanel panel(progress_);
    if (!CountSelection(sel, table)) return Status::Cancelled();
    if (!ComputeFStatistics(table, request.bootstraps, NewRunSeed(), &progress_, f))
      return Status::Cancelled();
  }
  Sheet block, csv;
  static const char* kHeader[] = {"Locus", "Fst", "Fis", "Fit"};
  for (int c = 0; c < 4; ++c) block.SetTextAt(1, c + 1, kHeader[c]);
  static const char* kCsvHeader[] = {"locus",      "Fst",     "Fis",          "Fit",     "Fst_low",
                                     "Fst_high",   "Fis_low", "Fis_high",     "Fit_low", "Fit_high",
                                     "bootstraps", "dataset", "units_counted"};
  for (int c = 0; c < 13; ++c) csv.SetTextAt(1, c + 1, kCsvHeader[c]);
  int undefined = 0;
  const int L = table.locusCount;
  for (int l = 0; l <= L; ++l) {
    const bool overall = l == L;
    const vireltan::FStatistics& s = overall ? f.overall : f.perLocus[l];
    if (!overall && !s.fst) ++undefined;
    const int row = l + 2;
    for (Sheet* sheet : {&block, &csv}) {
      sheet->SetTextAt(row, 1, overall ? "Overall" : info_.locusNames[l]);
      SetOptional(*sheet, row, 2, s.fst);
      SetOptional(*sheet, row, 3, s.fis);
      SetOptional(*sheet, row, 4, s.fit);
    }
    if (overall && f.bootstraps > 0) {
      SetOptional(csv, row, 5, f.fstLow);
      SetOptional(csv, row, 6, f.fstHigh);
      SetOptional(csv, row, 7, f.fisLow);
      SetOptional(csv, row, 8, f.fisHigh);
      SetOptional(csv, row, 9, f.fitLow);
      SetOptional(csv, row, 10, f.fitHigh);
    }
    csv.SetNumberAt(row, 11, f.bootstraps);
    csv.SetTextAt(row, 12, info_.datasetName);
    csv.SetTextAt(row, 13, sel.counted);
  }
  // The interval under the overall line.
  if (f.bootstraps > 0) {
    const int row = L + 3;
    block.SetTextAt(row, 1, "95% interval");
    auto range = [&](int col, std::optional<double> lo, std::optional<double> hi) {
      if (lo && hi) block.SetTextAt(row, col, FormatNumber(*lo) + " .. " + FormatNumber(*hi));
    };
    range(2, f.fstLow, f.fstHigh);
    range(3, f.fisLow, f.fisHigh);
    range(4, f.fitLow, f.fitHigh);
  }
  std::vector<std::string> notes = {
      "Weir & Cockerham (1984) theta (Fst), f (Fis) and F (Fit) as ratios of variance "
      "components summed over alleles, and over loci for the overall line"};
  if (f.bootstraps > 0)
    notes.push_back("95% interval: 2.5% and 97.5% quantiles of " + std::to_string(f.bootstraps) +
                    " resamplings of loci");
  if (table.haploid) notes.push_back("haploid data: only Fst is defined");
  if (undefined > 0)
    notes.push_back(
        std::to_string(undefined) +
        (undefined == 1 ? " locus without variation: its" : " loci without variation: their") +
        " values are not defined (empty)");
  if (Status w = WriteDataCsv(csv, OutputPath(".fstats.csv")); !w) return w;
  HideCharts();
  AppendTitledBlock("F-statistics", sel, notes, block);
  return WriteResultsLog();
}

Status Session::PairwiseFst(const PopgenRequest& request) {
  if (request.permutations < 0)
    return Status::Error("The number of permutations must be 0 (no test) or more.");
  PopulationSelection sel;
  if (Status ok = SelectBetweenPopulations(request, "Pairwise Fst", sel); !ok) return ok;
  AlleleCountTable table;
  PairwiseFstResult result;
  {
    ProgressPanel panel(progress_);
    if (!CountSelection(sel, table)) return Status::Cancelled();
    const UnitCounter counter = hasSnpData() ? SnpUnitCounter(snp().genotypes, snp().ploidy)
                                             : AlleleTableCounter(dataset(), table);
    if (!ComputePairwiseFst(table, sel.kept, counter, request.permutations, NewRunSeed(),
                            &progress_, result))
      return Status::Cancelled();
  }
  const int P = static_cast<int>(sel.names.size());
  const bool tested = request.permutations > 0;
  // The matrix: θ below the diagonal, p above it when tested.
  Sheet block, csv;
  block.SetTextAt(1, 1, "Pop");
  for (int j = 0; j < P; ++j) block.SetTextAt(1, j + 2, sel.names[j]);
  static const char* kCsvHeader[] = {"pop1",         "pop2",    "Fst",          "p",
                                     "permutations", "dataset", "units_counted"};
  for (int c = 0; c < 7; ++c) csv.SetTextAt(1, c + 1, kCsvHeader[c]);
  int csvRow = 2;
  for (int i = 0; i < P; ++i) {
    block.SetTextAt(i + 2, 1, sel.names[i]);
    for (int j = 0; j < i; ++j) {
      const int k = i * (i - 1) / 2 + j;
      SetOptional(block, i + 2, j + 2, result.fst[k]);
      if (tested) SetOptional(block, j + 2, i + 2, result.p[k]);
      csv.SetTextAt(csvRow, 1, sel.names[j]);
      csv.SetTextAt(csvRow, 2, sel.names[i]);
      SetOptional(csv, csvRow, 3, result.fst[k]);
      SetOptional(csv, csvRow, 4, result.p[k]);
      csv.SetNumberAt(csvRow, 5, request.permutations);
      csv.SetTextAt(csvRow, 6, info_.datasetName);
      csv.SetTextAt(csvRow, 7, sel.counted);
      ++csvRow;
    }
  }
  std::vector<std::string> notes = {
      "Weir & Cockerham's theta of each pair of populations "
      "(below the diagonal)"};
  if (tested)
    notes.push_back("above the diagonal: p from " + std::to_string(request.permutations) +
                    " permutations of units between the two populations, (b+1)/(P+1)");
  for (int p : result.tooSmall)
    messages_.Show("Population \"" + sel.names[p] +
                   "\" has fewer than 2 units counted: its pairs are left out of the "
                   "permutation tests.");
  if (!result.tooSmall.empty())
    notes.push_back(std::to_string(result.tooSmall.size()) +
                    " population(s) of fewer than 2 units left out of the tests");

  // The heat map, with a mark where the test finds the pair different.
  HeatMapChart chart;
  chart.visible = true;
  chart.title = "Pairwise Fst, \"" + info_.datasetName + "\"";
  chart.legendTitle = "Fst";
  chart.groups = sel.names;
  chart.values = result.fst;
  if (tested) {
    chart.marks.resize(result.p.size());
    for (std::size_t k = 0; k < result.p.size(); ++k)
      if (result.p[k] && *result.p[k] < 0.05) chart.marks[k] = "*";
    chart.foot =
        "* p < 0.05 (" + std::to_string(request.permutations) + " permutations); " + sel.counted;
  } else {
    chart.foot = sel.counted;
  }
  if (Status w = WriteDataCsv(csv, OutputPath(".pairwise-fst.csv")); !w) return w;
  HideCharts();
  pairwiseFstChart_ = std::move(chart);
  heatMapToSave_ = true;
  AppendTitledBlock("Pairwise Fst", sel, notes, block);
  return WriteResultsLog();
}

}  // namespace vireltan
