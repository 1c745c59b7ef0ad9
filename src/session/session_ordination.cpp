// SPDX-License-Identifier: GPL-3.0-or-later
// Principal coordinates of units, genets or populations (principal
// components of the standardized genotypes on SNP data), their figure, and
// the MLGs shared among populations.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/ordination/principal_coordinates.h"
#include "analyses/ordination/snp_principal_components.h"
#include "analyses/popgen/pairwise_fst.h"
#include "analyses/popgen/snp_allele_counts.h"
#include "common/memory_guard.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

// Okabe and Ito's colours, as the map's clones; past eight populations the
// colours come back with other marker shapes.
constexpr const char* kPopulationPalette[] = {"#E69F00", "#0072B2", "#009E73", "#CC79A7",
                                              "#D55E00", "#56B4E9", "#000000", "#F0E442"};
constexpr const char* kPopulationMarkers[] = {"", "square", "triangle"};

// Clones drawn larger up to this many units (a marker 3 times as wide);
// larger ones are drawn at that size.
constexpr int kLargestDrawnClone = 9;

const char* PopulationColour(int p) {
  return kPopulationPalette[p % 8];
}
const char* PopulationMarker(int p) {
  return kPopulationMarkers[(p / 8) % 3];
}

// A share in percent with one decimal (at most 4 significant digits below 1000 %).
std::string Percent(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", 100.0 * share);
  return text;
}

// The units of the selection, population by population, with the
// population (row of the selection) of each.
void ListUnits(const PopulationSelection& sel, std::vector<int>& units,
               std::vector<int>& populationRow) {
  for (std::size_t p = 0; p < sel.kept.size(); ++p)
    for (int u : sel.kept[p]) {
      units.push_back(u);
      populationRow.push_back(static_cast<int>(p));
    }
}

}  // namespace

Status Session::PrincipalCoordinatesAnalysis(const OrdinationRequest& request) {
  if (Status allowed = RequirePopulationGeneticsData(); !allowed) return allowed;
  if (request.axes < 1) return Status::Error("The number of axes must be 1 or more.");
  if (request.sizeByClone && request.of != OrdinationOf::kGenets)
    return Status::Error(
        "Sizing by clone applies to genets (one unit per MLG): each unit or "
        "population is one point of its own.");
  const bool snpData = hasSnpData();
  const bool amongPopulations = request.of == OrdinationOf::kPopulations;
  PopgenRequest popgen;
  popgen.sortPopulations = request.sortPopulations;
  if (request.of == OrdinationOf::kGenets)
    popgen.cloneCorrect = lineages_.counting ? CloneCorrection::kMll : CloneCorrection::kMlg;
  PopulationSelection sel;
  if (Status ok = SelectPopulations(popgen, sel); !ok) return ok;
  if (amongPopulations) {
    if (Status two = RequireTwoPopulations(sel, "Principal coordinates between populations"); !two)
      return two;
  }
  std::vector<int> units, populationRow;
  ListUnits(sel, units, populationRow);
  const int n =
      amongPopulations ? static_cast<int>(sel.names.size()) : static_cast<int>(units.size());
  if (n < 3)
    return Status::Error("Principal coordinates need at least 3 items to place; there are " +
                         std::to_string(n) + ".");
  const bool components = snpData && !amongPopulations;
  if (!components) {
    // The distances between MLGs (at most n x n), between the items, and
    // the decomposition grow with n².
    if (Status fits = CheckMemory(
            "Principal coordinates", n,
            [](int m) { return PrincipalCoordinatesBytes(m) + 2 * 8.0 * m * m; },
            AvailableMemoryBytes());
        !fits)
      return fits;
  }

  std::string method;
  std::vector<std::string> notes;
  std::vector<double> eigenvalues, relative, coordinates;
  int axes = 0;
  {
    ProgressPanel panel(progress_);
    if (components) {
      SnpPrincipalComponents pcs;
      if (!ComputeSnpPrincipalComponents(snp().genotypes, units, request.axes, &progress_, pcs))
        return Status::Cancelled();
      if (!pcs.converged)
        return Status::Error("The principal components did not converge; try fewer axes.");
      axes = pcs.axes;
      eigenvalues = pcs.eigenvalues;
      for (double v : eigenvalues) relative.push_back(pcs.trace > 0 ? v / pcs.trace : 0);
      coordinates = pcs.vectors;
      method = "principal components of the standardized genotypes (plink 1.9's --pca)";
      notes.push_back(method + "; coordinates: unit eigenvectors; share: eigenvalue / trace");
      notes.push_back(std::to_string(pcs.polymorphic) + " of " + std::to_string(pcs.loci) +
                      " SNPs polymorphic among the units");
      if (pcs.missingCalls)
        notes.push_back(
            "missing calls set to the locus mean; relationship divided by all SNPs "
            "(plink 1.9 divides each pair by the SNPs called in both)");
    } else {
      std::vector<double> d(static_cast<std::size_t>(n) * n, 0.0);
      if (amongPopulations) {
        AlleleCountTable table;
        if (!CountSelection(sel, table)) return Status::Cancelled();
        const UnitCounter counter = snpData ? SnpUnitCounter(snp().genotypes, snp().ploidy)
                                            : AlleleTableCounter(dataset(), table);
        PairwiseFstResult fst;
        if (!ComputePairwiseFst(table, sel.kept, counter, 0, 0, &progress_, fst))
          return Status::Cancelled();
        int negative = 0;
        for (int i = 0; i < n; ++i)
          for (int j = 0; j < i; ++j) {
            const std::optional<double>& t = fst.fst[static_cast<std::size_t>(i) * (i - 1) / 2 + j];
            if (!t)
              return Status::Error("Fst between \"" + sel.names[j] + "\" and \"" + sel.names[i] +
                                   "\" is not defined (no polymorphic locus typed in both).");
            double v = *t;
            if (v < 0) {
              v = 0;
              ++negative;
            }
            d[static_cast<std::size_t>(i) * n + j] = d[static_cast<std::size_t>(j) * n + i] = v;
          }
        method = "Weir & Cockerham's pairwise theta";
        notes.push_back("distance: " + method + " (as pairwise-fst)");
        if (negative > 0) notes.push_back(std::to_string(negative) + " negative theta set to 0");
      } else {
        MlgDistanceTable table(dataset(), mlgs(), request.distance, request.missing);
        const int G = table.mlgCount();
        // Distances between MLGs, then spread to the units.
        std::vector<double> row(G, 0.0);
        std::vector<std::vector<double>> byMlg(G);
        for (int j = 1; j <= G; ++j) {
          table.FillRow(j, 1, row);
          byMlg[j - 1] = row;
          if (progress_.Cancelled()) return Status::Cancelled();
        }
        for (int i = 0; i < n; ++i)
          for (int j = 0; j < n; ++j)
            d[static_cast<std::size_t>(i) * n + j] =
                byMlg[mlgs().mlgOfSu[units[i]] - 1][mlgs().mlgOfSu[units[j]] - 1];
        method =
            std::string(request.distance == MlgDistanceKind::kAllelic
                            ? "allelic distance (differing alleles)"
                            : "allele-size distance") +
            (request.missing == DistanceMissing::kPoppr ? ", missing loci as no difference (poppr)"
                                                        : ", rescaled over the loci typed in both");
        notes.push_back("distance: " + method);
      }
      PrincipalCoordinates pco;
      if (!ComputePrincipalCoordinates(d, n, request.axes, &progress_, pco))
        return Status::Cancelled();
      axes = pco.axes;
      eigenvalues = pco.eigenvalues;
      for (int k = 0; k < n; ++k) relative.push_back(pco.relative(k));
      coordinates = pco.coordinates;
      notes.push_back(
          "classical scaling as ape's pcoa (correction none); coordinates: "
          "eigenvectors times the square root of their eigenvalue");
      notes.push_back(std::to_string(pco.negative) + " negative eigenvalue(s)");
      if (axes < 2)
        return Status::Error(
            "The distances give fewer than 2 axes of positive eigenvalue: "
            "nothing to place.");
    }
  }
  if (axes < 2 && components)
    return Status::Error("Fewer than 2 principal components: nothing to place.");
  const std::string itemWord = amongPopulations                      ? "population"
                               : request.of == OrdinationOf::kGenets ? "genet"
                                                                     : "unit";
  const std::string axisWord = components ? "PC" : "PCo";

  // Coordinates.
  Sheet csv;
  int col = 1;
  csv.SetTextAt(1, col++, itemWord);
  csv.SetTextAt(1, col++, amongPopulations ? "units" : "population");
  if (!amongPopulations) csv.SetTextAt(1, col++, lineages_.counting ? "MLL" : "MLG");
  const int firstAxisCol = col;
  for (int k = 0; k < axes; ++k) csv.SetTextAt(1, col++, "axis" + std::to_string(k + 1));
  csv.SetTextAt(1, col++, "dataset");
  csv.SetTextAt(1, col++, "units_counted");
  csv.SetTextAt(1, col++, "method");
  const MlgPartition counted = CountedPartition();
  for (int i = 0; i < n; ++i) {
    const int row = i + 2;
    col = 1;
    if (amongPopulations) {
      csv.SetTextAt(row, col++, sel.names[i]);
      csv.SetNumberAt(row, col++, static_cast<double>(sel.kept[i].size()));
    } else {
      csv.SetTextAt(row, col++, dataset().designationText(units[i]));
      csv.SetTextAt(row, col++, sel.names[populationRow[i]]);
      csv.SetNumberAt(row, col++, counted.mlgOfSu[units[i]]);
    }
    for (int k = 0; k < axes; ++k)
      csv.SetNumberAt(row, firstAxisCol + k, coordinates[static_cast<std::size_t>(i) * axes + k]);
    col = firstAxisCol + axes;
    csv.SetTextAt(row, col++, info_.datasetName);
    csv.SetTextAt(row, col++, sel.counted);
    csv.SetTextAt(row, col++, method);
  }
  // Eigenvalues: all of them for classical scaling (the negative ones
  // say how far the distances are from Euclidean), the components found
  // for SNP data.
  Sheet eig, block;
  static const char* kEigHeader[] = {"axis",    "eigenvalue",    "relative", "cumulative",
                                     "dataset", "units_counted", "method"};
  for (int c = 0; c < 7; ++c) eig.SetTextAt(1, c + 1, kEigHeader[c]);
  block.SetTextAt(1, 1, "Axis");
  block.SetTextAt(1, 2, "Eigenvalue");
  block.SetTextAt(1, 3, "Relative");
  block.SetTextAt(1, 4, "Cumulative");
  double cumulative = 0;
  for (std::size_t k = 0; k < eigenvalues.size(); ++k) {
    cumulative += relative[k];
    const int row = static_cast<int>(k) + 2;
    for (Sheet* s : {&eig, &block}) {
      s->SetNumberAt(row, 1, static_cast<double>(k + 1));
      s->SetNumberAt(row, 2, eigenvalues[k]);
      s->SetNumberAt(row, 3, relative[k]);
      s->SetNumberAt(row, 4, cumulative);
    }
    eig.SetTextAt(row, 5, info_.datasetName);
    eig.SetTextAt(row, 6, sel.counted);
    eig.SetTextAt(row, 7, method);
  }
  // The results list the axes kept; the file has them all.
  Sheet shortBlock;
  shortBlock.CopyBlock(block, 1, 1, std::min(block.LastRow(), axes + 1), 4, 1, 1);
  notes.push_back("coordinates in " + info_.datasetName + ".pcoa.csv");

  // The figure: the first two axes, coloured and shaped by population.
  ChartData chart = DefaultChart(ChartRole::kOrdination);
  chart.visible = true;
  chart.title = (components ? "PCA of \"" : "PCoA of \"") + info_.datasetName + "\"";
  chart.bottom.title = axisWord + "1 (" + Percent(relative[0]) + " %)";
  chart.left.title = axisWord + "2 (" + Percent(relative[1]) + " %)";
  chart.legendTitle = "Population";
  chart.foot = sel.counted;
  ChartSeries points{"units", ChartSeries::Kind::kPoints, {}, {}, false};
  // Genets by clone size: marker area in proportion to the units of the
  // clone (its MLG or MLL in all populations), up to kLargestDrawnClone.
  const bool sized = request.sizeByClone && request.of == OrdinationOf::kGenets;
  std::vector<int> cloneSize;
  if (sized) {
    cloneSize.assign(static_cast<std::size_t>(counted.mlgCount) + 1, 0);
    for (int m : counted.mlgOfSu) ++cloneSize[m];
  }
  for (int i = 0; i < n; ++i) {
    const int p = amongPopulations ? i : populationRow[i];
    ChartPoint point(coordinates[static_cast<std::size_t>(i) * axes],
                     coordinates[static_cast<std::size_t>(i) * axes + 1],
                     amongPopulations ? sel.names[i] : "", PopulationColour(p),
                     PopulationMarker(p));
    if (sized)
      point.size = std::sqrt(
          static_cast<double>(std::min(cloneSize[counted.mlgOfSu[units[i]]], kLargestDrawnClone)));
    points.points.push_back(std::move(point));
  }
  for (std::size_t p = 0; p < sel.names.size(); ++p)
    points.colourLegend.push_back({PopulationColour(static_cast<int>(p)), sel.names[p],
                                   PopulationMarker(static_cast<int>(p))});
  points.showMarks = amongPopulations;
  if (sized)
    chart.foot += "; marker area in proportion to the clone's units (up to " +
                  std::to_string(kLargestDrawnClone) + ")";
  chart.series = {std::move(points)};

  if (Status w = WriteFilesAtomically({{OutputPath(".pcoa.csv"), FormatDataCsv(csv)},
                                       {OutputPath(".pcoa.eigenvalues.csv"), FormatDataCsv(eig)}});
      !w)
    return w;
  HideCharts();
  this->chart(ChartRole::kOrdination) = std::move(chart);
  AppendTitledBlock(components ? "Principal components" : "Principal coordinates", sel, notes,
                    shortBlock);
  return WriteResultsLog();
}

Status Session::SharedMlgs(bool sortPopulations) {
  if (Status allowed = RequirePopulationGeneticsData(); !allowed) return allowed;
  PopgenRequest request;
  request.sortPopulations = sortPopulations;
  PopulationSelection sel;
  if (Status ok = SelectPopulations(request, sel); !ok) return ok;
  if (Status two = RequireTwoPopulations(sel, "Shared MLGs"); !two) return two;
  const MlgPartition counted = CountedPartition();
  const std::string word = lineages_.counting ? "MLL" : "MLG";
  // units[m][row]: the units of genotype m in the selection's population row.
  std::map<int, std::vector<std::vector<int>>> units;
  for (std::size_t p = 0; p < sel.kept.size(); ++p)
    for (int u : sel.kept[p]) {
      auto& rows = units[counted.mlgOfSu[u]];
      rows.resize(sel.kept.size());
      rows[p].push_back(u);
    }
  Sheet block, csv;
  block.SetTextAt(1, 1, word);
  block.SetTextAt(1, 2, "units");
  block.SetTextAt(1, 3, "populations");
  block.SetTextAt(1, 4, "population (units)");
  static const char* kHeader[] = {"MLG",          "population", "units",
                                  "designations", "dataset",    "counted"};
  for (int c = 0; c < 6; ++c) csv.SetTextAt(1, c + 1, c == 0 ? word : kHeader[c]);
  int row = 2, csvRow = 2, shared = 0;
  for (const auto& [m, rows] : units) {
    int populations = 0, total = 0;
    for (const auto& r : rows) {
      populations += !r.empty();
      total += static_cast<int>(r.size());
    }
    if (populations < 2) continue;
    ++shared;
    block.SetNumberAt(row, 1, m);
    block.SetNumberAt(row, 2, total);
    block.SetNumberAt(row, 3, populations);
    int col = 4;
    for (std::size_t p = 0; p < rows.size(); ++p) {
      if (rows[p].empty()) continue;
      block.SetTextAt(row, col++, sel.names[p] + " (" + std::to_string(rows[p].size()) + ")");
      std::string names;
      // Designations may hold spaces: "; " between them.
      for (int u : rows[p]) names += (names.empty() ? "" : "; ") + dataset().designationText(u);
      csv.SetNumberAt(csvRow, 1, m);
      csv.SetTextAt(csvRow, 2, sel.names[p]);
      csv.SetNumberAt(csvRow, 3, static_cast<double>(rows[p].size()));
      csv.SetTextAt(csvRow, 4, names);
      csv.SetTextAt(csvRow, 5, info_.datasetName);
      csv.SetTextAt(csvRow, 6, word + "s");
      ++csvRow;
    }
    ++row;
  }
  std::vector<std::string> notes = {
      std::to_string(shared) + " " + word + (shared == 1 ? "" : "s") +
      " found in more than one population (poppr's mlg.crosspop); designations in " +
      info_.datasetName + ".shared-mlgs.csv"};
  if (Status w = WriteDataCsv(csv, OutputPath(".shared-mlgs.csv")); !w) return w;
  AppendTitledBlock("Shared " + word + "s", sel, notes, block);
  return WriteResultsLog();
}

}  // namespace vireltan
