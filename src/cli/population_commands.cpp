// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>

#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

const char kCloneCorrectHelp[] =
    "none, mlg or mll: all units, or in each population only the first unit in file order of "
    "each MLG or of each multilocus lineage of the last mll (poppr's clonecorrect); alone, "
    "mlg (one per MLL while lineages are counted)";

const char kPopgenCloneCorrectHelp[] =
    "none (default), mlg or mll: all units, or in each population only the first unit in file "
    "order of each MLG or of each multilocus lineage of the last mll (poppr's clonecorrect)";

bool Has(const Options& options, const std::string& name) {
  return options.count(name) > 0;
}

OptionSpec CloneCorrectOption(const char* help = kCloneCorrectHelp) {
  OptionSpec o{"clone-correct", true, help};
  o.valueOptional = true;
  return o;
}

// The older commands' clone correction: one unit per counted genotype (MLG,
// or MLL while lineages are counted). A bare --clone-correct keeps that
// meaning; a value must agree with what is counted.
Status LegacyCloneCorrect(const Session& s, const Options& o, bool& cloneCorrect) {
  cloneCorrect = false;
  if (!Has(o, "clone-correct")) return Status::Ok();
  const std::string& word = o.at("clone-correct");
  CloneCorrection rule = CloneCorrection::kMlg;
  if (!word.empty() && !ParseCloneCorrection(word, rule))
    return Status::Error("--clone-correct=" + word + ": none, mlg or mll is expected.");
  cloneCorrect = rule != CloneCorrection::kNone;
  const bool counting = s.hasData() && s.lineages().counting;
  if (!word.empty() && rule == CloneCorrection::kMll && !counting)
    return Status::Error(
        "--clone-correct=mll: this command keeps one unit per MLL while lineages are counted "
        "(use-lineages); count them first.");
  if (!word.empty() && rule == CloneCorrection::kMlg && counting)
    return Status::Error(
        "--clone-correct=mlg: lineages are counted, so this command would keep one unit per "
        "MLL; give --clone-correct=mll, or stop counting lineages first.");
  return Status::Ok();
}

// The options every population-genetics command shares.
Status PopgenRequestOf(const Options& o, CloneCorrection fallback, Session::PopgenRequest& r) {
  r.cloneCorrect = fallback;
  if (Has(o, "clone-correct")) {
    const std::string& word = o.at("clone-correct");
    if (word.empty()) {
      r.cloneCorrect = CloneCorrection::kMlg;
    } else if (!ParseCloneCorrection(word, r.cloneCorrect)) {
      return Status::Error("--clone-correct=" + word + ": none, mlg or mll is expected.");
    }
  }
  r.sortPopulations = Has(o, "sort-populations");
  return Status::Ok();
}

const OptionSpec kSortPopulationsOption{"sort-populations", false,
                                        "populations by name instead of in file order"};

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
       {CloneCorrectOption()},
       [](Session& s, const Options& o) {
         bool cc = false;
         if (Status st = LegacyCloneCorrect(s, o, cc); !st) return st;
         return s.ExportGenAlEx(cc);
       }},
      {"export-genepop",
       "Format > Genepop: the dataset with its populations as the Genepop file "
       "<dataset>.genepop.gen (three digits per allele).",
       {CloneCorrectOption()},
       [](Session& s, const Options& o) {
         bool cc = false;
         if (Status st = LegacyCloneCorrect(s, o, cc); !st) return st;
         return s.ExportGenepop(cc);
       }},
      {"summary",
       "MLG > Population summary: N, MLG, eMLG, SE, H, G, lambda, E.5, Hexp, Ia and rbarD per "
       "population and in total, appended to the results log and written to "
       "<dataset>.summary.csv with the dataset, the units counted, MLG or MLL (with the "
       "lineages' distance, linkage and threshold), n and the test's settings in columns of their "
       "own.",
       {{"rarefy-to", true,
         "the subsample size n of eMLG (default, as poppr: the smallest population, but at least "
         "10)",
         true, 1},
        CloneCorrectOption(),
        {"sort-populations", false,
         "populations by name instead of in file order (the default, as poppr keeps them)"},
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
         bool cc = false;
         if (Status st = LegacyCloneCorrect(s, o, cc); !st) return st;
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
           return s.PopulationSummaryTest(n, cc, p, Has(o, "sort-populations"), missing, null);
         }
         if (Has(o, "null"))
           return Status::Error("summary: --null applies to the test (--permutations=P).");
         return s.PopulationSummary(n, cc, Has(o, "sort-populations"), missing);
       }},
      {"popgen",
       "Populations > Genetic diversity: per population and in total N, G (units counted), "
       "mean n typed, Na, Ne, Ar (allelic richness, El Mousadik & Petit), Pa (private "
       "alleles), Ho, Hs (Nei 1987, as hierfstat), uHe (GenAlEx) and Fis, each a mean over loci "
       "with its SE; then per locus Ho, Hs, Ht, Dst, Htp, Dstp, Fst, Fstp, Fis and Dest as "
       "hierfstat's basic.stats. Written to <dataset>.popgen.csv and <dataset>.popgen.loci.csv.",
       {CloneCorrectOption(kPopgenCloneCorrectHelp),
        {"rarefy-alleles", true,
         "the gene copies Ar is rarefied to (default: the smallest number typed at a locus in "
         "any population)",
         true, 1},
        kSortPopulationsOption},
       [](Session& s, const Options& o) {
         Session::PopgenRequest r;
         if (Status st = PopgenRequestOf(o, CloneCorrection::kNone, r); !st) return st;
         if (Status st = IntegerOption(o, "rarefy-alleles", 0, r.rarefyAlleles); !st) return st;
         return s.GeneticDiversity(r);
       }},
      {"fstats",
       "Populations > F-statistics: Weir & Cockerham's theta (Fst), f (Fis) and F (Fit) per "
       "locus and overall (as hierfstat's wc), with 95% intervals from resampling loci; "
       "<dataset>.fstats.csv. Needs two populations or more.",
       {CloneCorrectOption(kPopgenCloneCorrectHelp),
        {"bootstrap", true, "B resamplings of loci for the 95% interval (default 1000; 0 none)",
         true, 0},
        kSortPopulationsOption},
       [](Session& s, const Options& o) {
         Session::PopgenRequest r;
         if (Status st = PopgenRequestOf(o, CloneCorrection::kNone, r); !st) return st;
         if (Status st = IntegerOption(o, "bootstrap", 1000, r.bootstraps); !st) return st;
         return s.FStatistics(r);
       }},
      {"pairwise-fst",
       "Populations > Pairwise Fst: Weir & Cockerham's theta between every pair of populations "
       "with a permutation test of units between the two, p = (b+1)/(P+1); "
       "<dataset>.pairwise-fst.csv (pop1, pop2, Fst, p) and the heat map (save-graph: "
       ".pairwise-fst.svg).",
       {CloneCorrectOption(kPopgenCloneCorrectHelp),
        {"permutations", true, "P permutations for each pair (default 999; 0 no test)", true, 0},
        kSortPopulationsOption},
       [](Session& s, const Options& o) {
         Session::PopgenRequest r;
         if (Status st = PopgenRequestOf(o, CloneCorrection::kNone, r); !st) return st;
         if (Status st = IntegerOption(o, "permutations", 999, r.permutations); !st) return st;
         return s.PairwiseFst(r);
       }},
      {"hwe",
       "Populations > Hardy-Weinberg: per population and locus the chi-square test over all "
       "genotypes (as pegas's hw.test), the exact test (Wigginton et al. for two alleles, as "
       "plink's --hardy; Monte-Carlo for more) and Benjamini-Hochberg adjusted p; "
       "<dataset>.hwe.csv. Counts one unit per MLG by default: clones break Hardy-Weinberg "
       "proportions by themselves.",
       {CloneCorrectOption(
            "none, mlg (default) or mll: all units, or one unit per MLG or per lineage in each "
            "population"),
        {"permutations", true,
         "P permutations for the Monte-Carlo exact test of loci with more than two alleles "
         "(default 999; 0 none)",
         true, 0},
        kSortPopulationsOption},
       [](Session& s, const Options& o) {
         Session::PopgenRequest r;
         if (Status st = PopgenRequestOf(o, CloneCorrection::kMlg, r); !st) return st;
         if (Status st = IntegerOption(o, "permutations", 999, r.permutations); !st) return st;
         return s.HardyWeinberg(r);
       }},
      {"amova",
       "Populations > AMOVA: the analysis of molecular variance (Excoffier et al. 1992) on "
       "squared Euclidean distances between allele-count vectors over a hierarchy of strata "
       "columns, with the within-individual level for diploids (as poppr's poppr.amova): df, "
       "SS, MS, sigma2 and % per source, the Phi statistics and a permutation test of each "
       "sigma2 (as ade4's randtest.amova); <dataset>.amova.csv.",
       {{"hierarchy", true,
         "strata columns from the top down, e.g. Region/Population (default: the population "
         "alone); columns beyond the population come from a strata table with a header row"},
        {"no-within", false, "no within-individual level (units are not split)"},
        CloneCorrectOption(
            "none (default), mlg or mll: all units, or only the first unit in file order of each "
            "MLG or lineage in each group of the lowest level"),
        {"max-missing", true,
         "loci missing in more than this fraction of units are left out, then units still "
         "missing one (default 0.05)"},
        {"scale", true,
         "poppr (default: between two allele sets d2 = 2 x loci differing) or arlequin (half: "
         "Arlequin's and GenAlEx's SS, MS and sigma2)"},
        {"permutations", true, "P permutations for each sigma2 (default 999; 0 no test)", true, 0},
        kSortPopulationsOption},
       [](Session& s, const Options& o) {
         Session::PopgenRequest base;
         if (Status st = PopgenRequestOf(o, CloneCorrection::kNone, base); !st) return st;
         Session::AmovaRequest r;
         r.cloneCorrect = base.cloneCorrect;
         r.sortPopulations = base.sortPopulations;
         r.within = !Has(o, "no-within");
         if (Has(o, "hierarchy")) {
           const std::string& text = o.at("hierarchy");
           std::size_t start = 0;
           for (;;) {
             const std::size_t slash = text.find('/', start);
             const std::string name = text.substr(start, slash - start);
             if (name.empty())
               return Status::Error("--hierarchy=" + text +
                                    ": strata column names separated by '/' are expected.");
             r.hierarchy.push_back(name);
             if (slash == std::string::npos) break;
             start = slash + 1;
           }
         }
         if (Has(o, "max-missing")) {
           const std::string& text = o.at("max-missing");
           char* end = nullptr;
           const double v = std::strtod(text.c_str(), &end);
           if (text.empty() || *end != '\0' || !(v >= 0 && v <= 1))
             return Status::Error("--max-missing=" + text +
                                  ": a fraction between 0 and 1 is expected (0.05: 5 %).");
           r.maxMissing = v;
         }
         if (Has(o, "scale")) {
           const std::string& word = o.at("scale");
           if (word == "arlequin")
             r.arlequinScale = true;
           else if (word != "poppr")
             return Status::Error("--scale=" + word + ": poppr or arlequin is expected.");
         }
         if (Status st = IntegerOption(o, "permutations", 999, r.permutations); !st) return st;
         return s.Amova(r);
       }},
      {"units-table",
       "MLG > Units table (MLG, MLL): each sampling unit's designation, population, MLG and MLL "
       "(empty "
       "before mll) as <dataset>.units.csv; mll writes it too.",
       {},
       [](Session& s, const Options&) { return s.WriteUnitsTable(); }},
  };
}

}  // namespace vireltan::cli
