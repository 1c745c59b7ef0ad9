// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

const char kCloneCorrectHelp[] =
    "one unit per MLG per population (the first in file order) instead of all units";

bool Has(const Options& options, const std::string& name) {
  return options.count(name) > 0;
}

}  // namespace

std::vector<Command> PopulationCommands() {
  return {
      {"strata",
       "File > Load populations: the population of every sampling unit from PATH, a tab- or "
       "comma-separated table of designation and population (a header row allowed); the "
       "populations of each MLG are appended to the results log.",
       {{"file", true, "the designation/population table"}},
       [](Session& s, const Options& o) {
         if (!Has(o, "file") || o.at("file").empty())
           return Status::Error("strata: --file=PATH names the designation/population table.");
         return s.LoadPopulations(o.at("file"));
       }},
      {"export-genalex",
       "Format > GenAlEx: the dataset with its populations as the GenAlEx workbook "
       "<dataset>.genalex.xlsx (with coordinates when present); on SNP data the same layout "
       "as the comma-separated <dataset>.genalex.csv, alleles 1 reference, 2 alternate, "
       "0 missing.",
       {{"clone-correct", false, kCloneCorrectHelp}},
       [](Session& s, const Options& o) { return s.ExportGenAlEx(Has(o, "clone-correct")); }},
      {"export-genepop",
       "Format > Genepop: the dataset with its populations as the Genepop file "
       "<dataset>.genepop.gen (three digits per allele).",
       {{"clone-correct", false, kCloneCorrectHelp}},
       [](Session& s, const Options& o) { return s.ExportGenepop(Has(o, "clone-correct")); }},
      {"summary",
       "MLG > Population summary: N, MLG, eMLG, SE, H, G, lambda, E.5, Hexp, Ia and rbarD per "
       "population and in total, appended to the results log and written to "
       "<dataset>.summary.csv under a title row (dataset, clone correction, MLGs or lineages).",
       {{"rarefy-to", true,
         "the subsample size n of eMLG (default, as poppr: the smallest population, but at least "
         "10)",
         true, 1},
        {"clone-correct", false, kCloneCorrectHelp},
        {"sort-populations", false,
         "populations by name (as poppr lists them) instead of in file order"},
        {"permutations", true,
         "test of clonality: P permutations (see --null) give p.Ia and p.rD (columns after Ia "
         "and rbarD) and the histogram of the permuted rbarD (save-graph: .ia.svg)",
         true, 1},
        {"missing", true,
         "poppr (default: a locus missing in either unit of a pair counts as no difference) or "
         "typed-pairs (each locus's variance over the pairs typed there): Ia and rbarD with "
         "missing genotypes"},
        {"null", true,
         "alleles (default, poppr's method 1: the alleles of each locus dealt out again among "
         "the units) or genotypes (poppr's method 4: genotypes shuffled whole among the units "
         "at each locus): the permutations of --permutations"}},
       [](Session& s, const Options& o) {
         int n = 0;
         if (Status st = IntegerOption(o, "rarefy-to", 0, n); !st) return st;
         IaMissing missing = IaMissing::kPoppr;
         if (Has(o, "missing") && !ParseIaMissing(o.at("missing"), missing))
           return Status::Error("--missing=" + o.at("missing") +
                                ": poppr or typed-pairs is expected.");
         IaNull null = IaNull::kAlleles;
         if (Has(o, "null") && !ParseIaNull(o.at("null"), null))
           return Status::Error("--null=" + o.at("null") + ": alleles or genotypes is expected.");
         if (Has(o, "permutations")) {
           int p = 0;
           if (Status st = IntegerOption(o, "permutations", 999, p); !st) return st;
           return s.PopulationSummaryTest(n, Has(o, "clone-correct"), p, Has(o, "sort-populations"),
                                          missing, null);
         }
         if (Has(o, "null"))
           return Status::Error("summary: --null applies to the test (--permutations=P).");
         return s.PopulationSummary(n, Has(o, "clone-correct"), Has(o, "sort-populations"),
                                    missing);
       }},
      {"units-table",
       "MLG > Units table: each sampling unit's designation, population, MLG and MLL (empty "
       "before mll) as <dataset>.units.csv; mll writes it too.",
       {},
       [](Session& s, const Options&) { return s.WriteUnitsTable(); }},
  };
}

}  // namespace vireltan::cli
