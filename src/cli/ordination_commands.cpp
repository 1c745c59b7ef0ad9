// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

bool Has(const Options& options, const std::string& name) {
  return options.count(name) > 0;
}

Status DistanceOptions(const Options& o, MlgDistanceKind& distance, DistanceMissing& missing) {
  distance = MlgDistanceKind::kAllelic;
  missing = DistanceMissing::kRescale;
  if (Has(o, "distance")) {
    const std::string& w = o.at("distance");
    if (w == "allelic") {
      distance = MlgDistanceKind::kAllelic;
    } else if (w == "microsat" || w == "allele-size") {
      distance = MlgDistanceKind::kMicrosat;
    } else {
      return Status::Error("--distance=" + w + ": allelic or microsat is expected.");
    }
  }
  if (Has(o, "missing")) {
    const std::string& w = o.at("missing");
    if (w == "rescale") {
      missing = DistanceMissing::kRescale;
    } else if (w == "poppr") {
      missing = DistanceMissing::kPoppr;
    } else {
      return Status::Error("--missing=" + w + ": rescale or poppr is expected.");
    }
  }
  return Status::Ok();
}

const OptionSpec kDistanceOption{
    "distance", true,
    "allelic (default: the number of differing alleles) or microsat (the allele-size "
    "distance), between the units' MLGs; SNP data use their own"};
const OptionSpec kMissingOption{
    "missing", true,
    "rescale (default: the distance over the loci typed in both, scaled to all loci) or poppr "
    "(a locus missing in either unit counts as no difference, as poppr's diss.dist)"};
const OptionSpec kSortOption{"sort-populations", false,
                             "populations by name instead of in file order"};

}  // namespace

std::vector<Command> OrdinationCommands() {
  return {
      {"pcoa",
       "Populations > Ordination: classical scaling (ape's pcoa) of the distance "
       "between units, genets or populations (pairwise Fst theta); on SNP data between units "
       "or genets the principal components of the standardized genotypes (plink 1.9's --pca). "
       "Eigenvalues to <dataset>.pcoa.eigenvalues.csv, coordinates to <dataset>.pcoa.csv; the "
       "figure of the first two axes (save-graph: .pcoa.svg).",
       {{"of", true,
         "units (default), genets (one unit per MLG in each population) or "
         "populations"},
        kDistanceOption,
        kMissingOption,
        {"axes", true, "coordinates kept (default 10, fewer when fewer axes exist)", true, 1},
        {"size-by-clone", false,
         "with --of=genets: the figure draws each genet with an area in proportion to its "
         "clone's units (up to 9)"},
        kSortOption},
       [](Session& s, const Options& o) {
         Session::OrdinationRequest r;
         if (Has(o, "of")) {
           const std::string& w = o.at("of");
           if (w == "units") {
             r.of = Session::OrdinationOf::kUnits;
           } else if (w == "genets") {
             r.of = Session::OrdinationOf::kGenets;
           } else if (w == "populations") {
             r.of = Session::OrdinationOf::kPopulations;
           } else {
             return Status::Error("--of=" + w + ": units, genets or populations is expected.");
           }
         }
         if (Status st = DistanceOptions(o, r.distance, r.missing); !st) return st;
         if (s.hasSnpData() && (Has(o, "distance") || Has(o, "missing")))
           return Status::Error(
               "pcoa: --distance and --missing apply to allele tables; SNP "
               "data give principal components of their genotypes.");
         if (Status st = IntegerOption(o, "axes", 10, r.axes); !st) return st;
         r.sortPopulations = Has(o, "sort-populations");
         r.sizeByClone = Has(o, "size-by-clone");
         return s.PrincipalCoordinatesAnalysis(r);
       }},
      WithCoordinateUnit(
          {"ibd",
           "Populations > Isolation by distance: the Mantel test (ade4's mantel.randtest) of "
           "genetic against Euclidean geographic distance among units, or among populations "
           "(Fst/(1-Fst) against the distance between centroids); the pairs, r and p to "
           "<dataset>.ibd.csv and the scatter with its line (save-graph: .ibd.svg).",
           {{"among", true, "units (default) or populations"},
            kDistanceOption,
            kMissingOption,
            {"clone-correct", true,
             "none (default), mlg or mll: all units, or one unit per MLG / MLL in each population"},
            {"log-distance", false, "the geographic distance as ln d"},
            {"spearman", false, "Spearman's rank correlation instead of Pearson's"},
            {"permutations", true, "P permutations of the test (default 999; 0: r alone)", true, 0},
            kSortOption},
           [](Session& s, const Options& o) {
             Session::IsolationRequest r;
             if (Has(o, "among")) {
               const std::string& w = o.at("among");
               if (w == "populations") {
                 r.amongPopulations = true;
               } else if (w != "units") {
                 return Status::Error("--among=" + w + ": units or populations is expected.");
               }
             }
             if (Status st = DistanceOptions(o, r.distance, r.missing); !st) return st;
             if (Has(o, "clone-correct") &&
                 !ParseCloneCorrection(o.at("clone-correct"), r.cloneCorrect))
               return Status::Error("--clone-correct=" + o.at("clone-correct") +
                                    ": none, mlg or mll is expected.");
             r.logDistance = Has(o, "log-distance");
             r.spearman = Has(o, "spearman");
             if (Status st = IntegerOption(o, "permutations", 999, r.permutations); !st) return st;
             r.sortPopulations = Has(o, "sort-populations");
             return s.IsolationByDistance(r);
           }}),
      {"shared-mlgs",
       "Populations > MLGs shared among populations: every MLG (MLL while lineages are counted) "
       "found in more "
       "than one population, with its units in each (poppr's mlg.crosspop), in the results "
       "and <dataset>.shared-mlgs.csv.",
       {kSortOption},
       [](Session& s, const Options& o) { return s.SharedMlgs(Has(o, "sort-populations")); }},
  };
}

}  // namespace vireltan::cli
