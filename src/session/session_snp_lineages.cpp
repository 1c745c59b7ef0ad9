// SPDX-License-Identifier: GPL-3.0-or-later
// Multilocus lineages on SNP data: the grouping at a threshold, the
// threshold from technical replicates, and the threshold suggestion.
//
// With thousands of SNPs two libraries of one genet differ at a few loci by
// genotyping error, so exact MLGs split every clone; lineages group the
// MLGs at a distance of at most a threshold. Replicates (one sample genotyped twice)
// show how far error alone moves two libraries.
#include <algorithm>
#include <cmath>

#include "analyses/distance/snp_distance_histogram.h"
#include "analyses/lineages/mlg_clustering.h"
#include "common/memory_guard.h"
#include "session/session.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

struct ReplicatePair {
  int sample = 0, repeated = 0;  // file-order indices of the kept samples
  double distance = 0;
};

// The threshold from the replicates. R, the largest replicate distance,
// bounds what genotyping error does to one individual; ramets of one genet
// differ by the same error, so their distances form a band that reaches a
// little past R, and distinct genets lie beyond a gap. Walking the MLG
// distances upwards from R, the band ends at the first empty stretch at
// least as wide as R itself (and at least half an allele per locus); the
// threshold is the middle of that gap. No such gap: the data cannot tell
// clones from error at this call rate.
struct ReplicateThreshold {
  double largestReplicate = 0;  // R
  double bandEnd = 0;           // largest distance of the error band (>= R)
  double beyondGap = 0;         // smallest distance past the gap
  bool separated = false;       // a gap was found
  double threshold = 0;
};

ReplicateThreshold ChooseThreshold(const std::vector<float>& sorted, double largestReplicate,
                                   int locusCount) {
  ReplicateThreshold t;
  t.largestReplicate = t.bandEnd = largestReplicate;
  const double width = std::max(largestReplicate, 1.0 / (2.0 * locusCount));
  // The sorted copy is float; back to the matrix's 7 decimals.
  auto exact = [](float value) { return std::round(static_cast<double>(value) * 1e7) / 1e7; };
  for (float value : sorted) {
    const double v = exact(value);
    if (v <= largestReplicate) continue;
    if (v - t.bandEnd >= width) {
      t.beyondGap = v;
      t.separated = true;
      break;
    }
    t.bandEnd = v;
  }
  t.threshold =
      t.separated ? std::round((t.bandEnd + t.beyondGap) / 2 * 1e7) / 1e7 : largestReplicate;
  return t;
}

}  // namespace

Status Session::FinishSnpLineages(const ClusterOptions& options, double threshold,
                                  LineagePartition partition) {
  const Linkage linkage = options.linkage;
  std::vector<int> units(static_cast<std::size_t>(partition.lineageCount), 0);
  for (int m = 1; m <= info_.mlgCount; ++m)
    units[partition.lineageOfMlg[m - 1] - 1] += mlgs().cloneSize[m - 1];
  Sheet& sheet = results.first();
  const int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, "Multilocus lineages");
  sheet.SetTextAt(row, 2, "SNP distance");
  sheet.SetTextAt(row, 3, LinkageTitle(linkage));
  sheet.SetTextAt(row, 4, "threshold");
  sheet.SetNumberAt(row, 5, threshold);
  sheet.SetTextAt(row + 1, 1, "MLL");
  sheet.SetTextAt(row + 1, 2, "units");
  sheet.SetTextAt(row + 1, 3, "samples");
  // On SNP data nearly every sample is an MLG of its own: the samples of
  // each MLL are listed by name, which is what the user reads.
  std::vector<std::vector<int>> samplesOf(static_cast<std::size_t>(partition.lineageCount));
  for (int su = 0; su < info_.unitCount; ++su)
    samplesOf[partition.lineageOfMlg[mlgs().mlgOfSu[su] - 1] - 1].push_back(su);
  for (int l = 1; l <= partition.lineageCount; ++l) {
    sheet.SetNumberAt(row + 1 + l, 1, l);
    sheet.SetNumberAt(row + 1 + l, 2, units[l - 1]);
    int col = 3;
    for (int su : samplesOf[l - 1]) sheet.SetTextAt(row + 1 + l, col++, snp().sampleNames[su]);
  }
  WriteTieRows(row + 2 + partition.lineageCount, options, partition.ties);
  lineages_.grouped = true;
  lineages_.distance = MlgDistanceKind::kAllelic;
  lineages_.linkage = linkage;
  lineages_.threshold = threshold;
  lineages_.partition = std::move(partition);
  lineages_.unitsOfLineage = std::move(units);
  SummariseLineages();
  return WriteResultsLog();
}

namespace {

ClusterOptions SnpClusterOptions(Linkage linkage, TieRule ties, AverageWeight average,
                                 const MlgPartition& mlgs) {
  ClusterOptions options;
  options.linkage = linkage;
  options.ties = ties;
  options.average = average;
  options.units = mlgs.cloneSize;  // no poppr numbering: MLG order
  return options;
}

}  // namespace

Status Session::SnpLineages(Linkage linkage, double threshold, TieRule ties,
                            AverageWeight average) {
  if (Status allowed = Require(CommandGroup::kMlgMenu); !allowed) return allowed;
  if (!std::isfinite(threshold) || threshold < 0 || threshold > 1)
    return Status::Error(
        "On SNP data the MLL threshold is a share of differing alleles, from 0 to 1.");
  const SnpDistanceMatrix* matrix = nullptr;
  if (Status s = SnpDistances(matrix); !s) return s;
  const ClusterOptions options = SnpClusterOptions(linkage, ties, average, mlgs());
  LineagePartition partition;
  {
    ProgressPanel panel(progress_);
    if (Status run = ClusterMlgs(*matrix, options, threshold, progress_, partition); !run)
      return run;
  }
  HideCharts();
  return FinishSnpLineages(options, threshold, std::move(partition));
}

Status Session::SnpLineagesFromReplicates(Linkage linkage, TieRule ties, AverageWeight average) {
  if (Status allowed = Require(CommandGroup::kMlgMenu); !allowed) return allowed;
  if (!hasSnpData())
    return Status::Error(
        "The threshold from replicates needs SNP data (VCF, BCF or PLINK) opened with a sample "
        "sheet that names the replicates (column replicate_of).");
  const std::vector<int>& partner = snp().samples.replicateOf;
  std::vector<ReplicatePair> pairs;
  const SnpDistanceMatrix* matrix = nullptr;
  for (std::size_t i = 0; i < partner.size(); ++i)
    if (partner[i] >= 0) pairs.push_back({static_cast<int>(i), partner[i], 0});
  if (pairs.empty())
    return Status::Error(
        std::string("No replicate pair: name the sample each replicate repeats in the "
                    "replicate_of column of the sample sheet (") +
        InWords("File > Open, sample sheet", "--samples=PATH before the data file") + ").");
  if (Status s = SnpDistances(matrix); !s) return s;
  double largest = 0;
  for (ReplicatePair& p : pairs) {
    p.distance = matrix->Distance(mlgs().mlgOfSu[p.sample], mlgs().mlgOfSu[p.repeated]);
    largest = std::max(largest, p.distance);
  }
  // A sorted copy of the G(G-1)/2 distances (4 bytes each, as the matrix).
  const int g = matrix->mlgCount();
  if (Status fits = CheckMemory("Choosing the threshold from the replicates", g,
                                SnpDistanceMatrixBytes, AvailableMemory());
      !fits)
    return fits;
  std::vector<float> sorted;
  sorted.reserve(static_cast<std::size_t>(SnpDistanceMatrixBytes(g) / sizeof(float)));
  {
    std::vector<double> row(static_cast<std::size_t>(g));
    for (int j = 1; j < g; ++j) {
      if (j % 256 == 0 && progress_.Cancelled()) return Status::Cancelled();
      matrix->FillRow(j, j + 1, row);
      for (int k = j + 1; k <= g; ++k) sorted.push_back(static_cast<float>(row[k - 1]));
    }
  }
  std::sort(sorted.begin(), sorted.end());
  const ReplicateThreshold chosen = ChooseThreshold(sorted, largest, info_.locusCount);
  sorted = {};

  const ClusterOptions options = SnpClusterOptions(linkage, ties, average, mlgs());
  LineagePartition partition;
  {
    ProgressPanel panel(progress_);
    if (Status run = ClusterMlgs(*matrix, options, chosen.threshold, progress_, partition); !run)
      return run;
  }

  HideCharts();
  Sheet& sheet = results.first();
  int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, "Multilocus lineages threshold from replicates");
  sheet.SetTextAt(row, 2, "SNP distance");
  sheet.SetTextAt(++row, 1, "sample");
  sheet.SetTextAt(row, 2, "replicate of");
  sheet.SetTextAt(row, 3, "distance");
  for (const ReplicatePair& p : pairs) {
    sheet.SetTextAt(++row, 1, snp().sampleNames[p.sample]);
    sheet.SetTextAt(row, 2, snp().sampleNames[p.repeated]);
    sheet.SetNumberAt(row, 3, p.distance);
  }
  sheet.SetTextAt(++row, 1, "largest replicate distance");
  sheet.SetNumberAt(row, 2, chosen.largestReplicate);
  sheet.SetTextAt(++row, 1, "largest distance of the error band");
  sheet.SetNumberAt(row, 2, chosen.bandEnd);
  sheet.SetTextAt(++row, 1, "smallest distance beyond the gap (not replicates)");
  if (chosen.separated) sheet.SetNumberAt(row, 2, chosen.beyondGap);
  sheet.SetTextAt(++row, 1, "threshold");
  sheet.SetNumberAt(row, 2, chosen.threshold);
  if (!chosen.separated)
    messages_.Show(
        "!!The distances between samples run on without a clear gap above the largest "
        "replicate distance (" +
        FormatNumber(chosen.largestReplicate) +
        "): the data cannot separate clones from genotyping error at this call rate. The "
        "threshold is set to the largest replicate distance; raise the call rate filters or "
        "add replicates.");
  return FinishSnpLineages(options, chosen.threshold, std::move(partition));
}

Status Session::SuggestSnpLineageThreshold() {
  if (Status allowed = Require(CommandGroup::kMlgMenu); !allowed) return allowed;
  const SnpDistanceMatrix* matrix = nullptr;
  if (Status s = SnpDistances(matrix); !s) return s;
  ThresholdSuggestion suggestion;
  {
    ProgressPanel panel(progress_);
    if (Status s = SuggestThreshold(*matrix, progress_, suggestion); !s) return s;
  }
  // The distances are given to 7 decimals, so their middle has 8.
  suggestion.threshold = std::round(suggestion.threshold * 1e8) / 1e8;
  std::vector<double> replicateDistances;
  const std::vector<int>& partner = snp().samples.replicateOf;
  for (std::size_t i = 0; i < partner.size(); ++i)
    if (partner[i] >= 0)
      replicateDistances.push_back(matrix->Distance(mlgs().mlgOfSu[i], mlgs().mlgOfSu[partner[i]]));
  HideCharts();
  ChartData& chart = this->chart(ChartRole::kAllelicHistogram);
  FillSnpDistanceChart(TabulateSnpDistances(*matrix), replicateDistances,
                       suggestion.found ? suggestion.threshold : -1, chart);
  chart.title = "SNP distances between MLGs, \"" + info_.datasetName + "\"";
  if (!suggestion.found) {
    lineages_.suggestion.reset();
    messages_.Show(
        "No threshold can be suggested: the smaller half of the distances between MLGs holds "
        "fewer than two distinct values.");
    return Status::Ok();
  }
  Sheet& sheet = results.first();
  const int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, "Multilocus lineages threshold suggestion");
  sheet.SetTextAt(row, 2, "SNP distance");
  sheet.SetTextAt(row + 1, 1, "threshold");
  sheet.SetTextAt(row + 1, 2, "gap");
  sheet.SetTextAt(row + 1, 3, "from");
  sheet.SetTextAt(row + 1, 4, "to");
  sheet.SetNumberAt(row + 2, 1, suggestion.threshold);
  // The distances are given to 7 decimals: so is their difference (a bare
  // subtraction shows binary noise, 0.20377769999999998).
  sheet.SetNumberAt(row + 2, 2, std::round(suggestion.gap() * 1e7) / 1e7);
  sheet.SetNumberAt(row + 2, 3, suggestion.below);
  sheet.SetNumberAt(row + 2, 4, suggestion.above);
  lineages_.suggestion = suggestion;
  return WriteResultsLog();
}

}  // namespace vireltan
