// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

Status RunAutocorrelation(Session& session, const Options& options) {
  AutocorrelationOptions o;
  auto classes = options.find("classes");
  const bool fixed = options.count("fixed") > 0;
  if (classes != options.end() && fixed)
    return Status::Error(
        "autocorrelation: give either --classes=K (equal numbers of pairs) or --fixed (limits "
        "from \"distances.txt\"), not both.");
  if (classes == options.end() && !fixed)
    return Status::Error(
        "autocorrelation: choose how the distance classes are defined: --classes=K or "
        "--fixed.");
  o.equalCountClasses = classes != options.end();
  o.fixedClasses = fixed;
  if (o.equalCountClasses) o.classCountText = classes->second;
  if (auto p = options.find("permutations"); p != options.end()) o.permutationsText = p->second;
  if (auto p = options.find("procedure"); p != options.end()) {
    if (p->second == "central") {
      o.centralCoordinates = true;
    } else if (p->second == "weighted") {
      o.genetsWeighted = true;
    } else if (p->second == "resampling") {
      o.genetsResampled = true;
    } else {
      return Status::Error("autocorrelation: --procedure=" + p->second +
                           ": expected central, weighted or resampling.");
    }
  }
  return session.SpatialAutocorrelation(o);
}

}  // namespace

std::vector<Command> AutocorrelationCommands() {
  return {
      WithCoordinateUnit(
          {"autocorrelation",
           "Spatial autocorrelation of kinship (Loiselle) and relationship (Ritland) by distance "
           "class, with permutation tests; adds a sheet to OutputPrefix.spatialcomponents.xlsx. On "
           "SNP data over the biallelic SNPs, with the lineages as genets once they are counted "
           "(use-lineages)",
           {{"classes", true,
             "K distance classes holding equal numbers of pairs (a whole number, at least 1)", true,
             1},
            {"fixed", false, "distance classes with the upper limits of distances.txt"},
            {"procedure", true,
             "dataset without clonal replicates analysed after the entire one: central (genets at "
             "their centroids), weighted (pairs within a genet left out) or resampling (one SU per "
             "genet drawn at random, repeated); none: the entire dataset only"},
            {"permutations", true,
             "number of permutations and of resampling replicates (a whole number, at least 1; "
             "default 1000)",
             true, 1}},
           RunAutocorrelation}),
  };
}

}  // namespace vireltan::cli
