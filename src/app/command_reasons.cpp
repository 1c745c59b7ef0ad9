// SPDX-License-Identifier: GPL-3.0-or-later
// Which menu items and buttons the kind of data open rules out: SNP data
// run only some commands (the session's list), an allele table none of the
// SNP ones. The window disables them first, with the reason in its own
// words, rather than offering a command the session then refuses.
#include <string>
#include <utility>

#include "app/main_window_parts.h"

namespace vireltan::app {

namespace {

// The session knows its commands by their command-line names: each item
// of the window with the command it runs.
const std::pair<const char*, const char*> kCommandOfItem[] = {
    {"resampling1lloci1", "resample-loci"},
    {"resampling1nindividuals1", "resample-individuals"},
    {"Combination1lloci1", "combine-loci"},
    {"Combination1nindfividuals1", "combine-individuals"},
    {"Psex1", "psex"},
    {"numberofdistinctalleles1", "allelic-distance"},
    {"Matrixofmicrosatellitedistance1", "microsat-distance"},
    {"diversityindices1", "diversity"},
    {"Pareto1", "pareto"},
    {"Populationsummary1", "summary"},
    {"Unitstable1", "units-table"},
    {"Loadpopulations1", "strata"},
    {"Multilocuslineages1", "mll"},
    {"Countlineages1", "use-lineages"},
    {"Minimumspanningnetwork1", "msn"},
    {"Testofclonality1", "summary"},
    {"Geneticdiversity1", "popgen"},
    {"Fstatistics1", "fstats"},
    {"PairwiseFst1", "pairwise-fst"},
    {"HardyWeinberg1", "hwe"},
    {"Amova1", "amova"},
    {"Ordination1", "pcoa"},
    {"Isolationbydistance1", "ibd"},
    {"SharedMlgs1", "shared-mlgs"},
    {"MLGmap1", "map"},
    {"Clonalsubrange1", "subrange"},
    {"Spatialautocorrelation1", "autocorrelation"},
    {"Aggregationindex1", "aggregation"},
    {"Edgeeffect1", "edge-effect"},
    {"Quorvex1", "quorvex"},
    {"Arlequin1", "arlequin"},
    {"GenAlEx1", "export-genalex"},
    {"Genepop1", "export-genepop"},
    {"Vcf1", "export-vcf"},
};

// Items and buttons that need SNP data.
constexpr const char* kSnpOnly[] = {"Vcf1", "MllReplicatesButton"};

}  // namespace

QString TForm1::DataKindReason(const std::string& component) const {
  if (!session_->hasData()) return {};
  if (component == "Countlineages1" && !session_->lineages().grouped)
    return "Group the MLGs into lineages first: MLG > Multilocus lineages";
  if (session_->hasSnpData()) {
    if (component == "Psex1")
      return "Not for SNP data: linked SNPs are not independent loci, so Psex would be "
             "meaningless. MLG > Multilocus lineages groups samples by distance instead";
    if (component == "Loadpopulations1")
      return "Not for SNP data: their populations come from the sample sheet chosen in "
             "File > Open";
    for (const auto& [item, command] : kCommandOfItem)
      if (component == item && !Session::RunsOnSnpData(command))
        return "Not for SNP data: works on allele tables (microsatellites and other "
               "codominant markers)";
    return {};
  }
  for (const char* item : kSnpOnly)
    if (component == item)
      return component == "Vcf1"
                 ? "Writes SNP data: open a VCF, BCF or PLINK file first"
                 : "SNP data only: needs replicate pairs named in the sample sheet of a VCF, "
                   "BCF or PLINK file";
  return {};
}

}  // namespace vireltan::app
