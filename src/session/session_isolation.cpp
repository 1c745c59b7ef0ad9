// SPDX-License-Identifier: GPL-3.0-or-later
// Isolation by distance: the Mantel test of genetic against geographic
// distance among units (or genets) or among populations, and its scatter.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/distance/snp_distance.h"
#include "analyses/ordination/mantel.h"
#include "analyses/popgen/pairwise_fst.h"
#include "analyses/popgen/snp_allele_counts.h"
#include "analyses/spatial/spatial_sheets.h"
#include "common/memory_guard.h"
#include "numeric/line_fit.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

// The file's "no coordinates" marker on both axes.
bool HasCoordinates(const Dataset& d, int u) {
  return !(d.x[u] == 999 && d.y[u] == 999);
}

// At most this many pairs are drawn; the rest are in the CSV.
constexpr std::size_t kDrawnPairs = 20000;

std::string FourDigits(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", v);
  return text;
}

}  // namespace

Status Session::IsolationByDistance(const IsolationRequest& request) {
  if (Status allowed = RequirePopulationGeneticsData(); !allowed) return allowed;
  if (request.permutations < 0)
    return Status::Error("The number of permutations must be 0 (no test) or more.");
  if (info_.spatialDims < 1)
    return Status::Error(
        "Isolation by distance needs the coordinates of the units; the dataset "
        "has none.");
  PopgenRequest popgen;
  popgen.cloneCorrect = request.cloneCorrect;
  popgen.sortPopulations = request.sortPopulations;
  PopulationSelection sel;
  if (Status ok = SelectPopulations(popgen, sel); !ok) return ok;
  if (request.amongPopulations) {
    if (Status two = RequireTwoPopulations(sel, "Isolation by distance among populations"); !two)
      return two;
  }
  const Dataset& d = dataset();
  std::vector<std::string> names;
  std::vector<std::string> itemPopulation;
  std::vector<double> x, y;
  std::vector<int> units;  // among units: the unit of each item
  int withoutCoordinates = 0;
  for (std::size_t p = 0; p < sel.kept.size(); ++p) {
    double sx = 0, sy = 0;
    int placed = 0;
    for (int u : sel.kept[p]) {
      if (!HasCoordinates(d, u)) {
        ++withoutCoordinates;
        continue;
      }
      if (request.amongPopulations) {
        sx += d.x[u];
        sy += d.y[u];
        ++placed;
      } else {
        units.push_back(u);
        names.push_back(d.designationText(u));
        itemPopulation.push_back(sel.names[p]);
        x.push_back(d.x[u]);
        y.push_back(d.y[u]);
      }
    }
    if (request.amongPopulations) {
      if (placed == 0)
        return Status::Error("Population \"" + sel.names[p] +
                             "\" has no unit with coordinates: it has no centroid.");
      names.push_back(sel.names[p]);
      itemPopulation.push_back(sel.names[p]);
      x.push_back(sx / placed);
      y.push_back(sy / placed);
    }
  }
  const int n = static_cast<int>(names.size());
  if (n < 3)
    return Status::Error("The Mantel test needs at least 3 items with coordinates; there are " +
                         std::to_string(n) + ".");
  // Both condensed matrices (and the ranks) grow with n².
  if (Status fits = CheckMemory("Isolation by distance", n, MantelBytes, AvailableMemoryBytes());
      !fits)
    return fits;
  const std::size_t pairs = static_cast<std::size_t>(n) * (n - 1) / 2;
  std::vector<double> genetic(pairs), geographic(pairs);
  std::string geneticWord, method;
  MantelResult mantel;
  {
    ProgressPanel panel(progress_);
    if (request.amongPopulations) {
      AlleleCountTable table;
      if (!CountSelection(sel, table)) return Status::Cancelled();
      const UnitCounter counter = hasSnpData() ? SnpUnitCounter(snp().genotypes, snp().ploidy)
                                               : AlleleTableCounter(dataset(), table);
      PairwiseFstResult fst;
      if (!ComputePairwiseFst(table, sel.kept, counter, 0, 0, &progress_, fst))
        return Status::Cancelled();
      for (int i = 1; i < n; ++i)
        for (int j = 0; j < i; ++j) {
          const std::optional<double>& t = fst.fst[PairIndex(i, j)];
          if (!t || *t >= 1)
            return Status::Error("Fst between \"" + names[j] + "\" and \"" + names[i] +
                                 "\" is not defined or 1: Fst/(1-Fst) cannot be formed.");
          genetic[PairIndex(i, j)] = *t / (1 - *t);
        }
      geneticWord = "Fst/(1-Fst)";
      method =
          "Weir & Cockerham's pairwise theta as Fst/(1-Fst) against the distance between "
          "population centroids";
    } else if (hasSnpData()) {
      const PackedGenotypes& g = snp().genotypes;
      for (int i = 1; i < n; ++i) {
        for (int j = 0; j < i; ++j)
          genetic[PairIndex(i, j)] =
              SnpDistanceOf(CompareSnpRows(g.row(units[i]), g.row(units[j]), g.wordsPerSample()));
        if (progress_.Cancelled()) return Status::Cancelled();
      }
      geneticWord = "SNP distance";
      method = "SNP distance (share of differing alleles) against the distance between units";
    } else {
      MlgDistanceTable table(d, mlgs(), request.distance, request.missing);
      for (int i = 1; i < n; ++i) {
        const int a = mlgs().mlgOfSu[units[i]];
        for (int j = 0; j < i; ++j)
          genetic[PairIndex(i, j)] = table.Distance(a, mlgs().mlgOfSu[units[j]]);
        if (progress_.Cancelled()) return Status::Cancelled();
      }
      geneticWord = request.distance == MlgDistanceKind::kAllelic ? "Allelic distance"
                                                                  : "Allele-size distance";
      method =
          geneticWord +
          (request.missing == DistanceMissing::kPoppr ? " (missing loci as no difference)"
                                                      : " (rescaled over the loci typed in both)") +
          " against the distance between units";
    }
    std::size_t samePlace = 0;
    for (int i = 1; i < n; ++i)
      for (int j = 0; j < i; ++j) {
        const double e = std::hypot(x[i] - x[j], y[i] - y[j]);
        if (request.logDistance && !(e > 0)) ++samePlace;
        geographic[PairIndex(i, j)] = request.logDistance && e > 0 ? std::log(e) : e;
      }
    if (samePlace > 0)
      return Status::Error(
          std::to_string(samePlace) +
          " pair(s) share one position: ln d is not defined there. Use the distance "
          "itself rather than its logarithm, or count one unit per MLG.");
    if (!MantelTest(genetic, geographic, n, request.spearman, request.permutations, NewRunSeed(),
                    &progress_, mantel))
      return Status::Cancelled();
  }
  if (!mantel.r)
    return Status::Error("One of the two distances is the same for every pair: no correlation.");
  const std::string geoWord =
      request.logDistance ? "ln geographic distance" : "geographic distance";
  const std::string rWord = request.spearman ? "Spearman's rho" : "Pearson's r";

  // Least-squares line of the genetic on the geographic distance (slope 0
  // through the mean when every geographic distance is the same).
  const LineFit fit = FitStraightLine(geographic, genetic);
  const double slope = fit.b;
  const double intercept = fit.a;

  Sheet csv, block;
  static const char* kHeader[] = {"item1",  "item2",   "geographic",   "genetic",
                                  "r",      "p",       "permutations", "correlation",
                                  "method", "dataset", "units_counted"};
  for (int c = 0; c < 11; ++c) csv.SetTextAt(1, c + 1, kHeader[c]);
  if (!request.amongPopulations) {
    csv.SetTextAt(1, 1, "unit1");
    csv.SetTextAt(1, 2, "unit2");
  } else {
    csv.SetTextAt(1, 1, "pop1");
    csv.SetTextAt(1, 2, "pop2");
  }
  int row = 2;
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j, ++row) {
      csv.SetTextAt(row, 1, names[j]);
      csv.SetTextAt(row, 2, names[i]);
      csv.SetNumberAt(row, 3, geographic[PairIndex(i, j)]);
      csv.SetNumberAt(row, 4, genetic[PairIndex(i, j)]);
      csv.SetNumberAt(row, 5, *mantel.r);
      if (mantel.p) csv.SetNumberAt(row, 6, *mantel.p);
      csv.SetNumberAt(row, 7, request.permutations);
      csv.SetTextAt(row, 8, request.spearman ? "Spearman" : "Pearson");
      csv.SetTextAt(row, 9, method);
      csv.SetTextAt(row, 10, info_.datasetName);
      csv.SetTextAt(row, 11, sel.counted);
    }
  block.SetTextAt(1, 1, "Items");
  block.SetTextAt(1, 2, "Pairs");
  block.SetTextAt(1, 3, request.spearman ? "rho" : "r");
  block.SetTextAt(1, 4, "p");
  block.SetTextAt(1, 5, "Permutations");
  block.SetTextAt(1, 6, "Slope");
  block.SetTextAt(1, 7, "Intercept");
  block.SetNumberAt(2, 1, n);
  block.SetNumberAt(2, 2, static_cast<double>(pairs));
  block.SetNumberAt(2, 3, *mantel.r);
  if (mantel.p) block.SetNumberAt(2, 4, *mantel.p);
  block.SetNumberAt(2, 5, request.permutations);
  block.SetNumberAt(2, 6, slope);
  block.SetNumberAt(2, 7, intercept);
  std::vector<std::string> notes = {method};
  notes.push_back(
      rWord + "; p one-sided (r at least the observed), (b+1)/(P+1) from " +
      std::to_string(request.permutations) +
      " permutations of the genetic matrix's rows and columns (ade4's mantel.randtest)");
  if (request.logDistance) notes.push_back("geographic distance as ln d");
  if (withoutCoordinates > 0)
    notes.push_back(std::to_string(withoutCoordinates) + " unit(s) without coordinates left out");
  notes.push_back("pairs in " + info_.datasetName + ".ibd.csv");

  ChartData chart = DefaultChart(ChartRole::kIsolationByDistance);
  chart.visible = true;
  chart.title = "Isolation by distance, \"" + info_.datasetName + "\"";
  chart.bottom.title = GeographicDistanceTitle(request.logDistance, coordinateUnit_);
  chart.left.title = request.amongPopulations ? "Fst/(1\u2212Fst)"
                     : hasSnpData()           ? "SNP distance (share of alleles)"
                                              : geneticWord + " (alleles)";
  ChartSeries scatter{"pairs", ChartSeries::Kind::kPoints, {}, {}, false};
  scatter.legend = request.amongPopulations ? "pairs of populations" : "pairs of units";
  scatter.color = "#0072B2";
  const std::size_t step = pairs > kDrawnPairs ? (pairs + kDrawnPairs - 1) / kDrawnPairs : 1;
  double lo = geographic[0], hi = geographic[0];
  for (std::size_t k = 0; k < pairs; ++k) {
    lo = std::min(lo, geographic[k]);
    hi = std::max(hi, geographic[k]);
    if (k % step == 0) scatter.points.push_back({geographic[k], genetic[k]});
  }
  ChartSeries line{"fitted line",
                   ChartSeries::Kind::kLine,
                   {{lo, intercept + slope * lo}, {hi, intercept + slope * hi}},
                   {}};
  line.legend = "least-squares line";
  line.color = "#D55E00";
  chart.series = {std::move(scatter), std::move(line)};
  chart.foot = rWord + " = " + FourDigits(*mantel.r) +
               (mantel.p ? ", p = " + FourDigits(*mantel.p) + " (" +
                               std::to_string(request.permutations) + " permutations)"
                         : std::string()) +
               (step > 1 ? "; one pair in " + std::to_string(step) + " drawn" : std::string());

  if (Status w = WriteDataCsv(csv, OutputPath(".ibd.csv")); !w) return w;
  HideCharts();
  this->chart(ChartRole::kIsolationByDistance) = std::move(chart);
  AppendTitledBlock("Isolation by distance", sel, notes, block);
  return WriteResultsLog();
}

}  // namespace vireltan
