// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis of molecular variance over a hierarchy of strata: which
// units and loci (clone correction, then the missing-data rule), the nested
// design, the table with its tests and Φ statistics.
#include <algorithm>
#include <cctype>
#include <map>
#include <numeric>

#include "analyses/popgen/amova.h"
#include "dataset/import_common.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Join(const std::vector<std::string>& words, const std::string& separator) {
  std::string out;
  for (std::size_t i = 0; i < words.size(); ++i) out += (i ? separator : "") + words[i];
  return out;
}

// One level of the hierarchy: its name and the value of every SU.
struct Level {
  std::string name;
  std::vector<std::string> valueOfSu;
};

}  // namespace

Status Session::Amova(const AmovaRequest& request) {
  if (Status allowed = RequirePopulationGeneticsData(); !allowed) return allowed;
  if (request.permutations < 0)
    return Status::Error("The number of permutations must be 0 (no test) or more.");
  if (!(request.maxMissing >= 0 && request.maxMissing <= 1))
    return Status::Error(
        "The largest share of units a locus may miss must lie between 0 and 1 "
        "(0.05: 5 %).");
  if (request.hierarchy.size() > 3)
    return Status::Error("An AMOVA hierarchy has one to three levels (e.g. Region/Population).");
  const Dataset& d = dataset();

  // The levels, top first, from the strata columns (or the populations).
  std::vector<Level> levels;
  std::vector<std::string> columns = d.strataNames;
  if (columns.empty()) columns = {"Population"};
  auto valuesOf = [&](int column) {
    if (!d.strataNames.empty()) return d.strataOfSu[column];
    std::vector<std::string> v(d.sampleCount);
    for (int su = 0; su < d.sampleCount; ++su) v[su] = d.populationNames[d.populationOfSu[su]];
    return v;
  };
  if (request.hierarchy.empty()) {
    levels.push_back({columns.front(), valuesOf(0)});
  } else {
    for (const std::string& name : request.hierarchy) {
      int found = -1;
      for (std::size_t c = 0; c < columns.size() && found < 0; ++c)
        if (columns[c] == name) found = static_cast<int>(c);
      for (std::size_t c = 0; c < columns.size() && found < 0; ++c)
        if (SameName(columns[c], name)) found = static_cast<int>(c);
      if (found < 0)
        return Status::Error("The hierarchy names \"" + name +
                             "\", which is not a column of the strata table (" +
                             Join(columns, ", ") +
                             "). Load a strata table whose header row names it (File > Load "
                             "populations).");
      for (const Level& l : levels)
        if (l.name == columns[found])
          return Status::Error("The hierarchy names \"" + name + "\" twice.");
      levels.push_back({columns[found], valuesOf(found)});
    }
  }
  // Each level must nest in the one above: a group lies in one group above.
  for (std::size_t k = 1; k < levels.size(); ++k) {
    std::map<std::string, int> firstSu;
    for (int su = 0; su < d.sampleCount; ++su) {
      auto [it, added] = firstSu.emplace(levels[k].valueOfSu[su], su);
      const int other = it->second;
      if (!added && levels[k - 1].valueOfSu[other] != levels[k - 1].valueOfSu[su]) {
        auto row = [&](int unit) {
          return d.strataRowOfSu.empty()
                     ? std::string("the unit ") + import::Quoted(d.designationText(unit))
                     : "strata row " + std::to_string(d.strataRowOfSu[unit]);
        };
        return Status::Error(levels[k].name + " \"" + levels[k].valueOfSu[su] +
                             "\" does not nest in " + levels[k - 1].name + ": it lies in \"" +
                             levels[k - 1].valueOfSu[other] + "\" (" + row(other) + ") and in \"" +
                             levels[k - 1].valueOfSu[su] + "\" (" + row(su) + ").");
      }
    }
  }

  // Clone correction within the groups of the lowest level.
  const Level& lowest = levels.back();
  PopgenRequest select;
  select.cloneCorrect = request.cloneCorrect;
  select.sortPopulations = request.sortPopulations;
  {
    std::map<std::string, int> index;
    select.groupOfSu.resize(d.sampleCount);
    for (int su = 0; su < d.sampleCount; ++su) {
      auto [it, added] = index.emplace(lowest.valueOfSu[su], static_cast<int>(index.size()));
      if (added) select.groupNames.push_back(lowest.valueOfSu[su]);
      select.groupOfSu[su] = it->second;
    }
  }
  PopulationSelection sel;
  if (Status ok = SelectPopulations(select, sel); !ok) return ok;
  std::vector<int> counted;
  for (const auto& k : sel.kept) counted.insert(counted.end(), k.begin(), k.end());

  // The missing-data rule: loci first, then units.
  const bool snpData = hasSnpData();
  CompleteData complete;
  std::vector<std::uint64_t> snpMask;
  int allLoci = 0;
  if (snpData) {
    complete = KeepCompleteSnps(snp().genotypes, counted, request.maxMissing, snpMask);
    allLoci = snp().genotypes.locusCount();
  } else {
    complete = KeepCompleteData(d, counted, request.maxMissing);
    allLoci = d.locusCount;
  }
  if (complete.loci.empty())
    return Status::Error("AMOVA: every locus is missing in more than " +
                         FormatNumber(100 * request.maxMissing) +
                         " % of the units counted; nothing is left to compare.");

  // The design: groups numbered per level in order of the kept units
  // (already in the population order asked), levels of one group dropped.
  std::vector<std::string> notes;
  std::vector<std::string> names;
  std::vector<std::vector<int>> groupOfUnit;  // [level][kept unit]
  std::vector<std::vector<std::string>> groupNamesOf;
  for (const Level& level : levels) {
    std::map<std::string, int> index;
    std::vector<int> of;
    std::vector<std::string> groupNames;
    for (int su : complete.units) {
      auto [it, added] = index.emplace(level.valueOfSu[su], static_cast<int>(index.size()));
      if (added) groupNames.push_back(level.valueOfSu[su]);
      of.push_back(it->second);
    }
    const bool sameAsAbove =
        !groupNamesOf.empty() && groupNamesOf.back().size() == groupNames.size();
    if (groupNames.size() < 2 || sameAsAbove) {
      const std::string why =
          groupNames.size() < 2
              ? " has one group (\"" + (groupNames.empty() ? std::string() : groupNames[0]) + "\")"
              : " has one group in each group of " + names.back();
      messages_.Show("AMOVA: the level " + level.name + why + ", so it is left out.");
      notes.push_back(level.name + why + ": left out");
      continue;
    }
    names.push_back(level.name);
    groupOfUnit.push_back(std::move(of));
    groupNamesOf.push_back(std::move(groupNames));
  }
  if (names.empty())
    return Status::Error("AMOVA compares populations, and the units counted lie in one group of " +
                         lowest.name +
                         ". Load a populations file first (File > Load populations: a table of "
                         "designation and population, with further columns such as a region "
                         "under a header row).");
  const bool diploid = snpData ? snp().ploidy == 2 : !d.haploid();
  const bool within = request.within && diploid;
  const int U = static_cast<int>(complete.units.size());
  AmovaDesign design;
  for (std::size_t k = 0; k < names.size(); ++k) {
    design.groupCount.push_back(static_cast<int>(groupNamesOf[k].size()));
    design.parent.emplace_back();
    if (k > 0) {
      design.parent[k].assign(design.groupCount[k], 0);
      for (int u = 0; u < U; ++u) design.parent[k][groupOfUnit[k][u]] = groupOfUnit[k - 1][u];
    }
  }
  if (within) {
    // The units themselves become the lowest groups of their allele sets.
    design.groupCount.push_back(U);
    design.parent.emplace_back(groupOfUnit.back());
    design.groupOfEntity.resize(2 * U);
    for (int u = 0; u < U; ++u) design.groupOfEntity[2 * u] = design.groupOfEntity[2 * u + 1] = u;
    names.push_back("samples");
  } else {
    design.groupOfEntity = groupOfUnit.back();
  }
  const int K = static_cast<int>(design.groupCount.size());
  const int entities = static_cast<int>(design.groupOfEntity.size());
  if (entities - design.groupCount.back() < 1)
    return Status::Error("AMOVA needs at least one group of " + names.back() +
                         " with two units or more counted.");

  AmovaResult result;
  {
    ProgressPanel panel(progress_);
    // Memory: allele-count sums per group and the units' allele columns,
    // O(units × loci); no table of distances between pairs is built.
    std::unique_ptr<AmovaVectors> vectors;
    if (snpData)
      vectors = std::make_unique<SnpAmovaVectors>(snp().genotypes, snp().ploidy, complete.units,
                                                  snpMask, within);
    else
      vectors = MakeAlleleSetVectors(d, complete.units, complete.loci, within);
    if (!ComputeAmova(*vectors, design, request.permutations, NewRunSeed(), &progress_, result))
      return Status::Cancelled();
  }
  // poppr's scale: the vectors are each locus's allele counts divided by the
  // ploidy (a unit's allele frequencies), so between two diploid units d² is
  // a quarter of that between their count vectors; an allele set is haploid
  // and keeps its counts. Arlequin and GenAlEx give half of poppr's.
  const double scale = (diploid && !within ? 0.25 : 1.0) * (request.arlequinScale ? 0.5 : 1.0);

  // Row names as poppr gives them.
  std::vector<std::string> sources;
  for (int s = 0; s <= K; ++s) {
    if (s == K)
      sources.push_back("Within " + names[K - 1]);
    else if (s == 0)
      sources.push_back("Between " + names[0]);
    else
      sources.push_back("Between " + names[s] + " Within " + names[s - 1]);
  }
  std::vector<std::pair<std::string, double>> phis;
  if (result.phiLowestTotal)
    phis.push_back({"Phi-" + names[K - 1] + "-total", *result.phiLowestTotal});
  for (int k = K - 1; k >= 1; --k)
    if (result.phi[k]) phis.push_back({"Phi-" + names[k] + "-" + names[k - 1], *result.phi[k]});
  if (K >= 2 && result.phi[0]) phis.push_back({"Phi-" + names[0] + "-total", *result.phi[0]});

  const bool tested = result.permutations > 0;
  const std::string hierarchyText =
      Join(std::vector<std::string>(names.begin(), names.end() - (within ? 1 : 0)), "/");
  const std::string scaleWord = request.arlequinScale ? "arlequin" : "poppr";
  Sheet block, csv;
  static const char* kHeader[] = {"Source", "df", "SS", "MS", "sigma2", "%", "p"};
  for (int c = 0; c < (tested ? 7 : 6); ++c) block.SetTextAt(1, c + 1, kHeader[c]);
  static const char* kCsvHeader[] = {"source",
                                     "df",
                                     "sum_sq",
                                     "mean_sq",
                                     "sigma2",
                                     "percent",
                                     "p",
                                     "phi",
                                     "permutations",
                                     "hierarchy",
                                     "within_individuals",
                                     "scale",
                                     "units",
                                     "loci",
                                     "dataset",
                                     "units_counted",
                                     "permuted_sigma2_mean",
                                     "permuted_sigma2_sd"};
  for (int c = 0; c < 18; ++c) csv.SetTextAt(1, c + 1, kCsvHeader[c]);
  int row = 2;
  auto common = [&](int r) {
    csv.SetNumberAt(r, 9, result.permutations);
    csv.SetTextAt(r, 10, hierarchyText);
    csv.SetTextAt(r, 11, within ? "yes" : "no");
    csv.SetTextAt(r, 12, scaleWord);
    csv.SetNumberAt(r, 13, U);
    csv.SetNumberAt(r, 14, static_cast<double>(complete.loci.size()));
    csv.SetTextAt(r, 15, info_.datasetName);
    csv.SetTextAt(r, 16, sel.counted);
  };
  for (int s = 0; s <= K + 1; ++s, ++row) {
    const bool total = s == K + 1;
    const double sigma = total ? result.totalSigma2 : result.sigma2[s];
    for (Sheet* sheet : {&block, &csv}) {
      sheet->SetTextAt(row, 1, total ? "Total" : sources[s]);
      sheet->SetNumberAt(row, 2, total ? result.totalDf : result.df[s]);
      sheet->SetNumberAt(row, 3, scale * (total ? result.totalSs : result.ss[s]));
      sheet->SetNumberAt(row, 4, scale * (total ? result.totalMs : result.ms[s]));
      sheet->SetNumberAt(row, 5, scale * sigma);
      if (result.totalSigma2 != 0) sheet->SetNumberAt(row, 6, 100 * sigma / result.totalSigma2);
      if (tested && !total) sheet->SetNumberAt(row, 7, result.p[s]);
    }
    if (tested && !total) {
      csv.SetNumberAt(row, 17, scale * result.permutedMean[s]);
      csv.SetNumberAt(row, 18, scale * result.permutedSd[s]);
    }
    common(row);
  }
  for (const auto& [name, value] : phis) {
    block.SetTextAt(row + 1, 1, name);
    block.SetNumberAt(row + 1, 2, value);
    csv.SetTextAt(row, 1, name);
    csv.SetNumberAt(row, 8, value);
    common(row);
    ++row;
  }
  if (!phis.empty()) {
    block.SetTextAt(K + 4, 1, "Phi");
    block.SetTextAt(K + 4, 2, "value");
  }

  std::vector<std::string> head = {
      "hierarchy " + hierarchyText +
          (within ? " / samples (each unit split into its two allele sets)" : ""),
      request.arlequinScale
          ? "Arlequin's and GenAlEx's scale: SS, MS and sigma2 half of poppr's (Phi the same)"
          : "poppr's scale: squared Euclidean distance between the units' allele frequency "
            "vectors (between two allele sets 2 x the loci where they differ); Arlequin and "
            "GenAlEx report half of SS, MS and sigma2 (Phi the same)",
      std::to_string(complete.loci.size()) + " of " + std::to_string(allLoci) +
          " loci kept (missing in at most " + FormatNumber(100 * request.maxMissing) +
          " % of the units counted), then " + std::to_string(U) + " of " +
          std::to_string(counted.size()) + " units kept (typed at every locus kept)"};
  if (request.within && !diploid) head.push_back("haploid data: no within-individual level");
  // Thousands of SNPs with scattered missing calls leave few units typed at
  // every one: say how to keep them.
  if (2 * static_cast<std::size_t>(U) < counted.size())
    head.push_back(
        "most units miss a call at some locus kept: a missing-data limit of 0 per "
        "locus keeps every unit and only the loci typed in all");
  if (tested)
    head.push_back("p from " + std::to_string(result.permutations) +
                   " permutations as ade4's randtest.amova, (b+1)/(P+1); the within-" +
                   names[K - 1] + " sigma2 is tested for being smaller than chance");
  head.insert(head.end(), notes.begin(), notes.end());
  if (Status w = WriteDataCsv(csv, OutputPath(".amova.csv")); !w) return w;
  HideCharts();
  AppendTitledBlock("AMOVA", sel, head, block);
  return WriteResultsLog();
}

}  // namespace vireltan
