// SPDX-License-Identifier: GPL-3.0-or-later
// Population genetics of the units counted: which units (clone correction),
// their allele counts, and the diversity table with its locus table.
#include <algorithm>
#include <numeric>

#include "analyses/lineages/mlg_clustering.h"
#include "analyses/popgen/gene_diversity.h"
#include "analyses/popgen/snp_allele_counts.h"
#include "dataset/population_units.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

// A mean over loci and its standard error, in two cells.
void SetMean(Sheet& s, int row, int col, const LocusMean& m) {
  if (m.mean) s.SetNumberAt(row, col, *m.mean);
  if (m.se) s.SetNumberAt(row, col + 1, *m.se);
}

template <typename T>
void SetOptional(Sheet& s, int row, int col, const std::optional<T>& v) {
  if (v) s.SetNumberAt(row, col, static_cast<double>(*v));
}

}  // namespace

Status Session::SelectPopulations(const PopgenRequest& request,
                                  PopulationSelection& selection) const {
  const Dataset& d = dataset();
  selection = {};
  MlgPartition partition = mlgs();
  switch (request.cloneCorrect) {
    case CloneCorrection::kNone:
      selection.counted = "all units";
      break;
    case CloneCorrection::kMlg:
      selection.counted = "one unit per MLG";
      break;
    case CloneCorrection::kMll: {
      if (!lineages_.grouped)
        return Status::Error(
            "One unit per multilocus lineage needs a grouping into lineages first (MLG > "
            "Multilocus lineages).");
      const LineagePartition& l = lineages_.partition;
      for (int& m : partition.mlgOfSu) m = l.lineageOfMlg[m - 1];
      partition.mlgCount = l.lineageCount;
      selection.counted =
          "one unit per MLL (" +
          std::string(hasSnpData() ? "SNP distance" : DistanceTitle(lineages_.distance)) + ", " +
          LinkageTitle(lineages_.linkage) + ", threshold " + FormatNumber(lineages_.threshold) +
          ")";
      break;
    }
  }
  const bool ownGroups = !request.groupOfSu.empty();
  const std::vector<std::string>& names = ownGroups ? request.groupNames : d.populationNames;
  std::vector<std::vector<int>> all, kept;
  if (ownGroups) {
    // The same rule on the request's groups: the first unit in file order
    // of each MLG (or MLL) within a group.
    all.assign(names.size(), {});
    kept.assign(names.size(), {});
    std::vector<std::vector<bool>> seen(names.size());
    for (int su = 0; su < d.sampleCount; ++su) {
      const int g = request.groupOfSu[su];
      all[g].push_back(su);
      const int m = partition.mlgOfSu[su];
      if (request.cloneCorrect == CloneCorrection::kNone) {
        kept[g].push_back(su);
        continue;
      }
      if (seen[g].size() <= static_cast<std::size_t>(m)) seen[g].resize(m + 1, false);
      if (!seen[g][m]) {
        seen[g][m] = true;
        kept[g].push_back(su);
      }
    }
  } else {
    all = PopulationUnits(d, partition, false);
    kept =
        request.cloneCorrect == CloneCorrection::kNone ? all : PopulationUnits(d, partition, true);
  }
  std::vector<int> order(names.size());
  std::iota(order.begin(), order.end(), 0);
  if (request.sortPopulations)
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return names[a] < names[b]; });
  for (int p : order) {
    if (all[p].empty()) continue;  // a population no unit belongs to
    selection.populations.push_back(p);
    selection.names.push_back(names[p]);
    selection.units.push_back(static_cast<int>(all[p].size()));
    selection.kept.push_back(kept[p]);
  }
  if (request.cloneCorrect != CloneCorrection::kNone)
    selection.counted += " in each population (" + std::to_string(selection.keptTotal()) + " of " +
                         std::to_string(d.sampleCount) + " units)";
  return Status::Ok();
}

bool Session::CountSelection(const PopulationSelection& selection, AlleleCountTable& table) {
  if (hasSnpData())
    return CountSnpAlleles(snp().genotypes, snp().ploidy, selection.kept, &progress_, table);
  table = CountAlleles(dataset(), selection.kept);
  return !progress_.Cancelled();
}

Status Session::SelectBetweenPopulations(const PopgenRequest& request, const char* what,
                                         PopulationSelection& selection) const {
  if (Status allowed = RequirePopulationGeneticsData(); !allowed) return allowed;
  if (Status ok = SelectPopulations(request, selection); !ok) return ok;
  return RequireTwoPopulations(selection, what);
}

Status Session::RequireTwoPopulations(const PopulationSelection& selection,
                                      const char* what) const {
  if (selection.populations.size() >= 2) return Status::Ok();
  return Status::Error(std::string(what) +
                       " compares populations, and the dataset has only one. Load a populations "
                       "file first (File > Load populations: a table of designation and "
                       "population).");
}

int Session::AppendTitledBlock(const std::string& what, const PopulationSelection& selection,
                               const std::vector<std::string>& notes, const Sheet& block) {
  return AppendTitledBlock(what, selection, notes, Sheet(block));
}

int Session::AppendTitledBlock(const std::string& what, const PopulationSelection& selection,
                               const std::vector<std::string>& notes, Sheet&& block) {
  Sheet& sheet = results.first();
  const int row = NextResultsBlockRow();
  sheet.SetTextAt(row, 1, what);
  sheet.SetTextAt(row, 2, info_.datasetName);
  sheet.SetTextAt(row, 3, selection.counted);
  int col = 4;
  for (const std::string& note : notes) sheet.SetTextAt(row, col++, note);
  sheet.MoveBlockIn(std::move(block), row + 1);
  return row;
}

Status Session::GeneticDiversity(const PopgenRequest& request) {
  if (Status allowed = RequirePopulationGeneticsData(); !allowed) return allowed;
  if (request.rarefyAlleles < 0)
    return Status::Error(
        "The rarefaction size of allelic richness must be 0 (the smallest "
        "sample) or a number of gene copies.");
  PopulationSelection sel;
  if (Status ok = SelectPopulations(request, sel); !ok) return ok;
  AlleleCountTable table;
  DiversityTable diversity;
  LocusDiversityTable loci;
  {
    ProgressPanel panel(progress_);
    if (!CountSelection(sel, table)) return Status::Cancelled();
    DiversityOptions options;
    options.allelicRichness = !hasSnpData();
    options.rarefyTo = request.rarefyAlleles;
    diversity = ComputeDiversity(table, sel.names, sel.units, options);
    loci = ComputeLocusDiversity(table, info_.locusNames);
    if (progress_.Cancelled()) return Status::Cancelled();
  }
  const bool haploid = table.haploid;

  // The diversity table: results block and CSV.
  static const char* kStat[] = {"n", "Na", "Ne", "Ar", "Ho", "Hs", "uHe", "Fis"};
  Sheet block, csv;
  block.SetTextAt(1, 1, "Pop");
  block.SetTextAt(1, 2, "N");
  block.SetTextAt(1, 3, "G");
  int col = 4;
  for (const char* name : kStat) {
    block.SetTextAt(1, col, name);
    block.SetTextAt(1, col + 1, "SE");
    col += 2;
    if (std::string(name) == "Ar") block.SetTextAt(1, col++, "Pa");
  }
  const std::vector<std::string> csvHeader = {"population",
                                              "N",
                                              "G",
                                              "n",
                                              "n_SE",
                                              "Na",
                                              "Na_SE",
                                              "Ne",
                                              "Ne_SE",
                                              "Ar",
                                              "Ar_SE",
                                              "Pa",
                                              "Ho",
                                              "Ho_SE",
                                              "Hs",
                                              "Hs_SE",
                                              "uHe",
                                              "uHe_SE",
                                              "Fis",
                                              "Fis_SE",
                                              "dataset",
                                              "units_counted",
                                              "Ar_rarefied_to"};
  for (std::size_t c = 0; c < csvHeader.size(); ++c)
    csv.SetTextAt(1, static_cast<int>(c) + 1, csvHeader[c]);
  for (std::size_t r = 0; r < diversity.rows.size(); ++r) {
    const DiversityRow& d = diversity.rows[r];
    const int row = static_cast<int>(r) + 2;
    for (Sheet* s : {&block, &csv}) {
      s->SetTextAt(row, 1, d.name);
      s->SetNumberAt(row, 2, d.units);
      s->SetNumberAt(
          row, 3,
          r + 1 == diversity.rows.size() ? sel.keptTotal() : static_cast<int>(sel.kept[r].size()));
      SetMean(*s, row, 4, d.typed);
      SetMean(*s, row, 6, d.na);
      SetMean(*s, row, 8, d.ne);
      SetMean(*s, row, 10, d.ar);
      SetOptional(*s, row, 12, d.privateAlleles);
      SetMean(*s, row, 13, d.ho);
      SetMean(*s, row, 15, d.hs);
      SetMean(*s, row, 17, d.uhe);
      SetMean(*s, row, 19, d.fis);
    }
    csv.SetTextAt(row, 21, info_.datasetName);
    csv.SetTextAt(row, 22, sel.counted);
    if (diversity.rarefiedTo > 0) csv.SetNumberAt(row, 23, diversity.rarefiedTo);
  }
  std::vector<std::string> notes;
  if (diversity.rarefiedTo > 0)
    notes.push_back("Ar rarefied to " + std::to_string(diversity.rarefiedTo) + " gene copies");
  else
    notes.push_back("Ar not computed on SNP data");
  notes.push_back(
      "means over loci with their standard error over loci; Total: all units "
      "counted as one population");
  if (haploid) notes.push_back("haploid data: Ho and Fis are not defined");
  if (diversity.cellsBelowTwoTyped > 0)
    notes.push_back(std::to_string(diversity.cellsBelowTwoTyped) +
                    " population-locus cells with fewer than 2 units typed left out of Hs and Fis");
  if (diversity.cellsBelowRarefaction > 0)
    notes.push_back(std::to_string(diversity.cellsBelowRarefaction) +
                    " population-locus cells with fewer gene copies than the rarefaction size "
                    "left out of Ar");

  // The locus table: its CSV row by row, and in the results every locus
  // only up to a few thousand (SNP data: the Overall line alone).
  constexpr std::size_t kMostLociShown = 5000;
  const bool everyLocus = loci.loci.size() <= kMostLociShown;
  Sheet lociBlock;
  static const char* kLocusHeader[] = {"Locus", "alleles", "Ho",  "Hs",   "Ht",  "Dst",
                                       "Htp",   "Dstp",    "Fst", "Fstp", "Fis", "Dest"};
  for (int c = 0; c < 12; ++c) lociBlock.SetTextAt(1, c + 1, kLocusHeader[c]);
  static constexpr std::optional<double> LocusDiversity::*kLocusFields[] = {
      &LocusDiversity::ho,  &LocusDiversity::hs,   &LocusDiversity::ht,  &LocusDiversity::dst,
      &LocusDiversity::htp, &LocusDiversity::dstp, &LocusDiversity::fst, &LocusDiversity::fstp,
      &LocusDiversity::fis, &LocusDiversity::dest};
  int monomorphic = 0;
  for (const LocusDiversity& d : loci.loci) monomorphic += d.alleles < 2;
  int row = 2;
  for (std::size_t k = 0; k <= loci.loci.size(); ++k) {
    if (k < loci.loci.size() && !everyLocus) continue;
    const LocusDiversity& d = k < loci.loci.size() ? loci.loci[k] : loci.overall;
    lociBlock.SetTextAt(row, 1, d.locus);
    lociBlock.SetNumberAt(row, 2, d.alleles);
    int c = 3;
    for (auto field : kLocusFields) SetOptional(lociBlock, row, c++, d.*field);
    ++row;
  }
  auto lociCsv = [&](const PieceWriter& write) {
    auto text = [](const std::string& t) { return FormatTextCell(Cell::Text(t), ','); };
    const std::string tail = "," + text(info_.datasetName) + "," + text(sel.counted) + "\n";
    std::string line = "locus";
    for (int c = 1; c < 12; ++c) line += std::string(",") + kLocusHeader[c];
    write(line + ",dataset,units_counted\n");
    for (std::size_t k = 0; k <= loci.loci.size(); ++k) {
      const LocusDiversity& d = k < loci.loci.size() ? loci.loci[k] : loci.overall;
      line = text(d.locus) + "," + std::to_string(d.alleles);
      for (auto field : kLocusFields) {
        line += ',';
        if (d.*field) line += FormatNumber(*(d.*field));
      }
      write(line + tail);
    }
  };
  std::vector<std::string> lociNotes = {
      "hierfstat's basic.stats per locus; Overall: means over "
      "loci, then Fst, Fstp, Fis and Dest from the means"};
  if (!everyLocus) lociNotes.push_back("every locus in " + info_.datasetName + ".popgen.loci.csv");
  if (monomorphic > 0)
    lociNotes.push_back(
        std::to_string(monomorphic) +
        (monomorphic == 1 ? " monomorphic locus: its" : " monomorphic loci: their") +
        " Fst and Fis are not defined (empty)");

  // Both files or neither: the diversity table's rename waits for the
  // locus table's.
  const std::string diversityCsv = FormatDataCsv(csv);
  if (Status w = WriteFilesAtomically(std::vector<std::pair<std::string, FileProducer>>{
          {OutputPath(".popgen.csv"), [&](const PieceWriter& write) { write(diversityCsv); }},
          {OutputPath(".popgen.loci.csv"), lociCsv}});
      !w)
    return w;
  HideCharts();
  AppendTitledBlock("Genetic diversity", sel, notes, block);
  AppendTitledBlock("Genetic diversity by locus", sel, lociNotes, std::move(lociBlock));
  return WriteResultsLog();
}

}  // namespace vireltan
