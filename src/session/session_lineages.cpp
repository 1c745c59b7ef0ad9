// SPDX-License-Identifier: GPL-3.0-or-later
// Multilocus lineages: the MLL grouping, the threshold suggestion, counting
// lineages instead of genotypes, and the minimum spanning network.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analyses/distance/distance_histogram.h"
#include "analyses/distance/mlg_distance_table.h"
#include "analyses/lineages/mlg_clustering.h"
#include "analyses/lineages/spanning_network.h"
#include "common/memory_guard.h"
#include "dataset/mlg_identification.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

// "1, 2, 3" for at most 30 MLGs, then how many more.
std::string MlgList(const std::vector<int>& mlgs) {
  std::string text;
  const size_t shown = std::min<size_t>(mlgs.size(), 30);
  for (size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + std::to_string(mlgs[i]);
  if (mlgs.size() > shown) text += " and " + std::to_string(mlgs.size() - shown) + " more";
  return text;
}

// The sentence saying whether the order of tied merges decided the groups.
std::string TieSentence(const TieCheck& ties) {
  if (!ties.tiesMet) return "no tied merges shared a group: any order gives these groups";
  if (!ties.changes)
    return "tied merges (MLGs " + MlgList(ties.mlgs) + ") gave the same groups in " +
           std::to_string(ties.ordersTried) + " other orders";
  return "another order of tied merges gives other groups for MLGs " + MlgList(ties.mlgs);
}

}  // namespace

void Session::WriteTieRows(int row, const ClusterOptions& options, const TieCheck& ties) {
  if (options.linkage == Linkage::kNearest) return;
  Sheet& sheet = results.first();
  sheet.SetTextAt(row, 1, "ties");
  sheet.SetTextAt(row, 2, TieRuleName(options.ties));
  if (options.linkage == Linkage::kAverage) {
    sheet.SetTextAt(row, 3, "average over");
    sheet.SetTextAt(row, 4, AverageWeightName(options.average));
  }
  sheet.SetTextAt(row + 1, 1, "tied merges");
  sheet.SetTextAt(row + 1, 2, TieSentence(ties));
}

Status Session::Lineages(MlgDistanceKind distance, Linkage linkage, double threshold, TieRule ties,
                         AverageWeight average, DistanceMissing missing) {
  if (hasSnpData()) return SnpLineages(linkage, threshold, ties, average);
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  if (!std::isfinite(threshold) || threshold < 0)
    return Status::Error("The MLL threshold must be a number of at least 0.");
  // The linkage table grows with G^2 (G: MLGs, in proportion to the units).
  const double mlgShare = static_cast<double>(info_.mlgCount) / std::max(1, info_.unitCount);
  if (Status fits = CheckMemory(
          "Multilocus lineages", info_.unitCount,
          [&](int units) { return ClusteringBytes(std::max(1.0, mlgShare * units), linkage); },
          AvailableMemory());
      !fits)
    return fits;

  MlgDistanceTable table(dataset(), mlgs(), distance, missing);
  ClusterOptions options;
  options.linkage = linkage;
  options.ties = ties;
  options.average = average;
  SetUnitsOfMlgs(dataset(), mlgs(), options);
  LineagePartition partition;
  {
    ProgressPanel panel(progress_);
    Status run = ClusterMlgs(table, options, threshold, progress_, partition);
    if (!run) return run;
  }
  std::vector<int> units(static_cast<size_t>(partition.lineageCount), 0);
  for (int m = 1; m <= info_.mlgCount; ++m)
    units[partition.lineageOfMlg[m - 1] - 1] += mlgs().cloneSize[m - 1];

  HideCharts();
  Sheet& sheet = results.first();
  const int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, "Multilocus lineages");
  sheet.SetTextAt(row, 2, DistanceTitle(distance));
  sheet.SetTextAt(row, 3, LinkageTitle(linkage));
  sheet.SetTextAt(row, 4, "threshold");
  sheet.SetNumberAt(row, 5, threshold);
  if (info_.hasMissingData) {
    sheet.SetTextAt(row, 6, MissingRuleTitle(missing));
    sheet.SetTextAt(row, 7, MissingPairsTitle(table.pairsWithMissingLocus()));
  }
  sheet.SetTextAt(row + 1, 1, "MLL");
  sheet.SetTextAt(row + 1, 2, "units");
  sheet.SetTextAt(row + 1, 3, "MLGs");
  for (int l = 1; l <= partition.lineageCount; ++l) {
    sheet.SetNumberAt(row + 1 + l, 1, partition.numbers[l - 1]);
    sheet.SetNumberAt(row + 1 + l, 2, units[l - 1]);
    int col = 3;
    for (int m : partition.members[l - 1]) sheet.SetNumberAt(row + 1 + l, col++, m);
  }
  WriteTieRows(row + 2 + partition.lineageCount, options, partition.ties);

  lineages_.grouped = true;
  lineages_.distance = distance;
  lineages_.missing = missing;
  lineages_.linkage = linkage;
  lineages_.threshold = threshold;
  lineages_.partition = std::move(partition);
  lineages_.unitsOfLineage = std::move(units);
  if (Status table = WriteUnitsTable(); !table) return table;
  SummariseLineages();
  return WriteResultsLog();
}

void Session::SummariseLineages() {
  // The threshold at four significant digits, as the window shows numbers.
  char threshold[32];
  std::snprintf(threshold, sizeof threshold, "%.4g", lineages_.threshold);
  const int count = lineages_.partition.lineageCount;
  lastSummary_ = std::to_string(count) + (count == 1 ? " lineage" : " lineages") + " of " +
                 std::to_string(info_.mlgCount) + " MLGs at T = " + threshold;
}

Status Session::SuggestLineageThreshold(MlgDistanceKind distance, DistanceMissing missing) {
  if (hasSnpData()) return SuggestSnpLineageThreshold();
  if (Status allowed = Require(CommandGroup::kDataset); !allowed) return allowed;
  const bool allelic = distance == MlgDistanceKind::kAllelic;
  MlgDistanceTable table(dataset(), mlgs(), distance, missing);
  DistanceHistogram histogram;
  ThresholdSuggestion suggestion;
  {
    ProgressPanel panel(progress_);
    const int classes = allelic ? AllelicDistanceClassCount(info_.locusCount, info_.ploidy)
                                : info_.maxMicrosatDistance;
    // The histogram, then the suggestion: each half of the bar.
    ProgressRange histogramPhase(progress_, 0, 50), suggestionPhase(progress_, 50, 100);
    if (Status s = TabulateMlgDistances(table, classes, histogramPhase, histogram); !s) return s;
    if (Status s = SuggestThreshold(table, suggestionPhase, suggestion); !s) return s;
  }

  HideCharts();
  ChartData& chart =
      this->chart(allelic ? ChartRole::kAllelicHistogram : ChartRole::kMicrosatHistogram);
  // Titled with the dataset as the distance commands title these charts.
  const std::string of = ", \"" + info_.datasetName + "\"";
  if (allelic) {
    FillAllelicDistanceChart(histogram, chart);
    chart.title = "Allelic distances between MLGs" + of;
  } else {
    FillMicrosatDistanceChart(histogram, info_.ploidy, chart);
    chart.title = "Microsatellite distances between MLGs" + of;
  }
  if (!suggestion.found) {
    lineages_.suggestion.reset();
    messages_.Show(
        "No threshold can be suggested: the smaller half of the distances between MLGs holds "
        "fewer than two distinct values.");
    return Status::Ok();
  }
  ChartSeries line{kThresholdLineSeries, ChartSeries::Kind::kLine, {}, {}};
  const double top = chart.left.fixedRange ? chart.left.maximum : 100.0;
  line.points = {{suggestion.threshold, 0, "", "red"},
                 {suggestion.threshold, top, "T = " + FormatNumber(suggestion.threshold), "red"}};
  chart.series.push_back(std::move(line));

  Sheet& sheet = results.first();
  const int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, "Multilocus lineages threshold suggestion");
  sheet.SetTextAt(row, 2, DistanceTitle(distance));
  if (info_.hasMissingData) {
    sheet.SetTextAt(row, 3, MissingRuleTitle(missing));
    sheet.SetTextAt(row, 4, MissingPairsTitle(table.pairsWithMissingLocus()));
  }
  sheet.SetTextAt(row + 1, 1, "threshold");
  sheet.SetTextAt(row + 1, 2, "gap");
  sheet.SetTextAt(row + 1, 3, "from");
  sheet.SetTextAt(row + 1, 4, "to");
  sheet.SetNumberAt(row + 2, 1, suggestion.threshold);
  sheet.SetNumberAt(row + 2, 2, suggestion.gap());
  sheet.SetNumberAt(row + 2, 3, suggestion.below);
  sheet.SetNumberAt(row + 2, 4, suggestion.above);
  if (const std::string note = EqualGapsNote(suggestion); !note.empty()) {
    sheet.SetTextAt(row + 3, 1, note);
    messages_.Show(note);
  }
  lineages_.suggestion = suggestion;
  return WriteResultsLog();
}

Status Session::CountLineages(bool on) {
  if (Status allowed = (hasSnpData() ? Status::Ok() : Require(CommandGroup::kDataset)); !allowed)
    return allowed;
  if (on && !lineages_.grouped)
    return Status::Error(std::string("No multilocus lineages yet: group the MLGs first (") +
                         InWords("MLG > Multilocus lineages", "mll --threshold=T") + ").");
  lineages_.counting = on;
  return Status::Ok();
}

MlgPartition Session::CountedPartition() const {
  MlgPartition p = mlgs();
  if (!lineages_.counting) return p;
  const LineagePartition& l = lineages_.partition;
  for (int& m : p.mlgOfSu) m = l.lineageOfMlg[m - 1];
  p.mlgCount = l.lineageCount;
  p.cloneSize = lineages_.unitsOfLineage;
  std::vector<int> representative;
  for (const std::vector<int>& members : l.members)
    representative.push_back(mlgs().representative[members.front() - 1]);
  p.representative = std::move(representative);
  SetCentroids(dataset(), p);  // the lineages', not their first MLG's
  return p;
}

MlgPartition Session::SpatialPartition() const {
  return hasSnpData() ? CountedPartition() : mlgs();
}

void Session::MarkLineageBlock(int firstRow) {
  if (!lineages_.counting) return;
  Sheet& sheet = results.first();
  for (int row = firstRow; row <= sheet.LastRow(); ++row) {
    int width = static_cast<int>(sheet.rows()[row - 1].size());
    if (width == 0) continue;
    sheet.SetTextAt(
        row, width + 1,
        "counting multilocus lineages (MLL) instead of MLGs: " +
            std::string(hasSnpData() ? "SNP distance" : DistanceTitle(lineages_.distance)) +
            (!hasSnpData() && info_.hasMissingData ? ", " + MissingRuleTitle(lineages_.missing)
                                                   : std::string()) +
            ", " + LinkageTitle(lineages_.linkage) + ", threshold " +
            FormatNumber(lineages_.threshold));
    return;
  }
}

Status Session::SpanningNetwork(MlgDistanceKind distance, bool overLineages, NetworkTies ties,
                                bool sortPopulations, DistanceMissing missing) {
  if (Status allowed = (hasSnpData() ? Status::Ok() : Require(CommandGroup::kDataset)); !allowed)
    return allowed;
  if (overLineages && !lineages_.grouped)
    return Status::Error(std::string("No multilocus lineages yet: group the MLGs first (") +
                         InWords("MLG > Multilocus lineages", "mll --threshold=T") + ").");
  // The distances between the nodes grow with G^2 (G: MLGs, in proportion
  // to the units; the MLL network holds the MLL distances besides, as
  // doubles: 4 G^2 bytes).
  const double nodeShare = static_cast<double>(info_.mlgCount) / std::max(1, info_.unitCount);
  if (Status fits = CheckMemory(
          "The minimum spanning network", info_.unitCount,
          [&](int units) {
            const double nodes = std::max(1.0, nodeShare * units);
            return SpanningNetworkBytes(nodes, ties) + (overLineages ? nodes * nodes * 4 : 0);
          },
          AvailableMemory());
      !fits)
    return fits;
  MlgDistanceTable table(dataset(), mlgs(), distance, missing);
  // SNP data: the SNP distances between MLGs (computed once per dataset).
  const MlgDistanceRows* distances = &table;
  const SnpDistanceMatrix* snpDistances = nullptr;
  if (hasSnpData()) {
    if (Status s = SnpDistances(snpDistances); !s) return s;
    distances = snpDistances;
  }
  // poppr's order of the nodes: as their first units come in the file.
  std::vector<int> nodeOfUnit = mlgs().mlgOfSu;
  if (overLineages)
    for (int& node : nodeOfUnit) node = lineages_.partition.lineageOfMlg[node - 1];
  const std::vector<int> rank =
      PopprNodeOrder(nodeOfUnit, overLineages ? lineages_.partition.lineageCount : info_.mlgCount);
  vireltan::SpanningNetwork network;
  {
    ProgressPanel panel(progress_);
    Status built = Status::Ok();
    if (overLineages) {
      GroupDistanceRows rows(*distances, lineages_.partition.lineageOfMlg,
                             lineages_.partition.lineageCount);
      built = BuildSpanningNetwork(rows, ties, rank, progress_, network);
    } else {
      built = BuildSpanningNetwork(*distances, ties, rank, progress_, network);
    }
    if (!built) return built;
  }

  Book edges;
  Sheet& list = edges.first();
  list.SetTextAt(1, 1, "from");
  list.SetTextAt(1, 2, "to");
  list.SetTextAt(1, 3, "distance");
  // Whether the figure draws the edge as part of its tree (solid) or as a
  // tied alternative (dashed, when ties are shown).
  list.SetTextAt(1, 4, "drawn as");
  // MLL nodes go by their lineage numbers.
  auto numberOf = [&](int node) {
    return overLineages ? lineages_.partition.numbers[node - 1] : node;
  };
  int row = 1;
  for (const SpanningEdge& e : network.edges) {
    ++row;
    list.SetNumberAt(row, 1, numberOf(e.from));
    list.SetNumberAt(row, 2, numberOf(e.to));
    list.SetNumberAt(row, 3, e.distance);
    list.SetTextAt(row, 4, e.inTree ? "tree" : "tied alternative");
  }
  if (Status written = WriteTableFile(edges, OutputPath(".msn.txt"), FileType::kTextTable);
      !written)
    return written;

  HideCharts();
  NetworkChart chart;
  const char* kind = overLineages ? "MLL" : "MLG";
  chart.title =
      std::string("Minimum spanning network of the ") + kind + "s (" +
      (hasSnpData() ? "SNP distance" : DistanceTitle(distance)) +
      (!hasSnpData() && info_.hasMissingData ? ", " + MissingRuleTitle(missing) : std::string()) +
      ") for \"" + info_.datasetName + "\"";
  const int n = static_cast<int>(network.x.size());
  // Units of each node by population: a node spanning populations is drawn
  // as a pie; data without populations give one colour.
  const Dataset& d = dataset();
  const int populations = d.populationsGiven ? d.populationCount() : 1;
  std::vector<int> units(static_cast<size_t>(n) * populations, 0);
  for (int su = 0; su < d.sampleCount; ++su) {
    int node = mlgs().mlgOfSu[su];
    if (overLineages) node = lineages_.partition.lineageOfMlg[node - 1];
    ++units[static_cast<size_t>(node - 1) * populations +
            (d.populationsGiven ? d.populationOfSu[su] : 0)];
  }
  if (d.populationsGiven) chart.groups = d.populationNames;
  for (int k = 1; k <= n; ++k) {
    NetworkNode node;
    node.number = numberOf(k);
    node.units = overLineages ? lineages_.unitsOfLineage[k - 1] : mlgs().cloneSize[k - 1];
    node.x = network.x[k - 1];
    node.y = network.y[k - 1];
    for (int p = 0; p < populations; ++p) {
      int count = units[static_cast<size_t>(k - 1) * populations + p];
      if (count > 0)
        node.slices.push_back({d.populationsGiven ? d.populationNames[p] : "all units", count});
    }
    chart.nodes.push_back(std::move(node));
  }
  for (const SpanningEdge& e : network.edges)
    chart.edges.push_back({e.from - 1, e.to - 1, e.distance, !e.inTree});
  chart.visible = true;
  lineages_.network = std::move(chart);
  lineages_.networkSortPopulations = sortPopulations;
  return WriteNetworkNodeTable(sortPopulations);
}

}  // namespace vireltan
