// SPDX-License-Identifier: GPL-3.0-or-later
// Hardy–Weinberg tests per population and locus, with the false-discovery-
// rate adjustment over the table.
#include <algorithm>

#include "analyses/popgen/hardy_weinberg.h"
#include "common/parallel_for.h"
#include "session/session.h"
#include "sheet/atomic_file.h"
#include "sheet/table_file.h"
#include "sheet/text_table_writer.h"

namespace vireltan {

namespace {

// The genotypes of `units` at `locus` as indices among the alleles they
// carry (ascending sizes).
LocusGenotypes GenotypesAt(const Dataset& d, const std::vector<int>& units, int locus) {
  LocusGenotypes g;
  std::vector<Allele> alleles;
  for (int su : units) {
    const Allele a0 = d.alleleAt(su, locus, 0), a1 = d.alleleAt(su, locus, 1);
    if (a0 == kMissingAllele || a1 == kMissingAllele) continue;
    alleles.push_back(a0);
    alleles.push_back(a1);
  }
  std::sort(alleles.begin(), alleles.end());
  alleles.erase(std::unique(alleles.begin(), alleles.end()), alleles.end());
  g.alleles = static_cast<int>(alleles.size());
  auto index = [&](Allele a) {
    return static_cast<int>(std::lower_bound(alleles.begin(), alleles.end(), a) - alleles.begin());
  };
  for (int su : units) {
    const Allele a0 = d.alleleAt(su, locus, 0), a1 = d.alleleAt(su, locus, 1);
    if (a0 == kMissingAllele || a1 == kMissingAllele) continue;
    g.units.emplace_back(index(a0), index(a1));
  }
  return g;
}

}  // namespace

Status Session::HardyWeinberg(const PopgenRequest& request) {
  if (Status allowed = RequirePopulationGeneticsData(); !allowed) return allowed;
  if (request.permutations < 0)
    return Status::Error("The number of permutations must be 0 (no Monte-Carlo test) or more.");
  const bool haploid = hasSnpData() ? snp().ploidy == 1 : dataset().haploid();
  if (haploid)
    return Status::Error(
        "Hardy–Weinberg proportions concern diploid genotypes; the dataset is haploid.");
  PopulationSelection sel;
  if (Status ok = SelectPopulations(request, sel); !ok) return ok;
  const int P = static_cast<int>(sel.names.size());
  const int L = hasSnpData() ? snp().locusCount() : dataset().locusCount;
  std::vector<HweTest> tests(static_cast<std::size_t>(P) * L);
  {
    ProgressPanel panel(progress_);
    if (hasSnpData()) {
      AlleleCountTable table;
      if (!CountSelection(sel, table)) return Status::Cancelled();
      for (int p = 0; p < P; ++p)
        for (int l = 0; l < L; ++l) {
          const int het = table.Heterozygotes(l, p);
          tests[static_cast<std::size_t>(p) * L + l] = TestHardyWeinbergBiallelic(
              (table.Copies(l, 0, p) - het) / 2, het, (table.Copies(l, 1, p) - het) / 2);
        }
    } else {
      // Cells spread over the cores, cell k drawing from stream k.
      const std::uint32_t runSeed = NewRunSeed();
      if (!ParallelFor(
              P * L,
              [&](int begin, int end) {
                for (int k = begin; k < end; ++k) {
                  RandomGenerator random = RandomGenerator::ForStream(runSeed, k);
                  tests[k] = TestHardyWeinberg(GenotypesAt(dataset(), sel.kept[k / L], k % L),
                                               request.permutations, random);
                }
              },
              &progress_, 1))
        return Status::Cancelled();
    }
  }
  std::vector<std::optional<double>> adjusted;
  {
    std::vector<std::optional<double>> exact;
    exact.reserve(tests.size());
    for (const HweTest& t : tests) exact.push_back(t.pExact);
    adjusted = AdjustFalseDiscoveryRate(exact);
  }

  // The CSV goes to its file row by row and only small tables go whole into
  // the results: at 100,000 SNPs x 10 populations the million rows would
  // take gigabytes as cells, and as much again as one text.
  constexpr std::size_t kMostRowsShown = 5000;
  const bool whole = tests.size() <= kMostRowsShown;
  Sheet block;
  static const char* kHeader[] = {"Pop", "Locus",   "n",        "alleles", "chi2",
                                  "df",  "p(chi2)", "p(exact)", "p(FDR)",  "exact test"};
  static const char* kSummaryHeader[] = {"Pop", "loci tested", "p(exact) < 0.05", "p(FDR) < 0.05"};
  if (whole) {
    for (int c = 0; c < 10; ++c) block.SetTextAt(1, c + 1, kHeader[c]);
  } else {
    for (int c = 0; c < 4; ++c) block.SetTextAt(1, c + 1, kSummaryHeader[c]);
  }
  static const char* kCsvHeader[] = {
      "population", "locus", "n",          "alleles",      "chi2",    "df",           "p_chi2",
      "p_exact",    "p_fdr", "exact_test", "permutations", "dataset", "units_counted"};
  auto csvText = [](const std::string& text) { return FormatTextCell(Cell::Text(text), ','); };
  const std::string datasetCell = csvText(info_.datasetName), countedCell = csvText(sel.counted);
  int monomorphic = 0, untyped = 0;
  const std::vector<std::string>& locusNames = info_.locusNames;
  for (int p = 0; p < P; ++p) {
    int tested = 0, below = 0, belowFdr = 0;
    for (int l = 0; l < L; ++l) {
      const std::size_t k = static_cast<std::size_t>(p) * L + l;
      const HweTest& t = tests[k];
      if (t.typed == 0)
        ++untyped;
      else if (t.alleles < 2)
        ++monomorphic;
      if (t.pExact) {
        ++tested;
        below += *t.pExact < 0.05;
        belowFdr += adjusted[k] && *adjusted[k] < 0.05;
      }
      if (!whole) continue;
      const int row = static_cast<int>(k) + 2;
      block.SetTextAt(row, 1, sel.names[p]);
      block.SetTextAt(row, 2, locusNames[l]);
      block.SetNumberAt(row, 3, t.typed);
      block.SetNumberAt(row, 4, t.alleles);
      if (t.chi2) block.SetNumberAt(row, 5, *t.chi2);
      if (t.df) block.SetNumberAt(row, 6, *t.df);
      if (t.pChi2) block.SetNumberAt(row, 7, *t.pChi2);
      if (t.pExact) block.SetNumberAt(row, 8, *t.pExact);
      if (adjusted[k]) block.SetNumberAt(row, 9, *adjusted[k]);
      if (t.pExact) block.SetTextAt(row, 10, t.monteCarlo ? "Monte-Carlo" : "exact (Wigginton)");
    }
    if (!whole) {
      block.SetTextAt(p + 2, 1, sel.names[p]);
      block.SetNumberAt(p + 2, 2, tested);
      block.SetNumberAt(p + 2, 3, below);
      block.SetNumberAt(p + 2, 4, belowFdr);
    }
  }
  auto produce = [&](const PieceWriter& write) {
    std::string line;
    for (int c = 0; c < 13; ++c) line += (c > 0 ? "," : "") + std::string(kCsvHeader[c]);
    write(line + "\n");
    for (int p = 0; p < P; ++p) {
      const std::string popCell = csvText(sel.names[p]);
      for (int l = 0; l < L; ++l) {
        const std::size_t k = static_cast<std::size_t>(p) * L + l;
        const HweTest& t = tests[k];
        auto number = [&line](const std::optional<double>& v) {
          line += ',';
          if (v) line += FormatNumber(*v);
        };
        line = popCell;
        line += ',';
        line += csvText(locusNames[l]);
        number(t.typed);
        number(t.alleles);
        number(t.chi2);
        number(t.df ? std::optional<double>(*t.df) : std::nullopt);
        number(t.pChi2);
        number(t.pExact);
        number(adjusted[k]);
        line += ',';
        if (t.pExact) line += t.monteCarlo ? "Monte-Carlo" : "exact (Wigginton)";
        number(t.monteCarlo ? request.permutations : 0);
        line += ',';
        line += datasetCell;
        line += ',';
        line += countedCell;
        line += '\n';
        write(line);
      }
    }
  };
  std::vector<std::string> notes = {
      "chi2 over all genotypes, df = genotypes - alleles; exact test: Wigginton et al. for 2 "
      "alleles, else Monte-Carlo with " +
          std::to_string(request.permutations) + " permutations of alleles, (b+1)/(P+1)",
      "p(FDR): Benjamini-Hochberg over the exact p-values of the table"};
  if (request.cloneCorrect == CloneCorrection::kNone)
    notes.push_back(
        "all units counted: repeated ramets of one genet break Hardy-Weinberg "
        "proportions by themselves");
  if (monomorphic > 0)
    notes.push_back(std::to_string(monomorphic) + " monomorphic cell(s): no test");
  if (untyped > 0) notes.push_back(std::to_string(untyped) + " cell(s) without typed units");
  if (!whole)
    notes.push_back("per population: loci tested and how many depart at 5 %; every locus in " +
                    info_.datasetName + ".hwe.csv");
  if (Status w = WriteFileAtomicallyInPieces(OutputPath(".hwe.csv"), produce); !w) return w;
  HideCharts();
  AppendTitledBlock("Hardy-Weinberg", sel, notes, std::move(block));
  return WriteResultsLog();
}

}  // namespace vireltan
