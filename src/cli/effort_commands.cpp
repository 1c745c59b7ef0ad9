// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

namespace {

const OptionSpec kPermutations{
    "permutations", true, "random draws per subset size (a whole number, at least 2; default 1000)",
    true, 2};

}  // namespace

std::vector<Command> EffortCommands() {
  return {
      {"resample-loci",
       "Tests > Resampling of loci: distinct MLGs, alleles and gene diversity against the "
       "number of loci, over random subsets of loci (saved by save-graph as .permloc.svg).",
       {kPermutations},
       [](Session& s, const Options& o) {
         int permutations = 0;
         if (Status st = IntegerOption(o, "permutations", 1000, permutations); !st) return st;
         return s.ResampleLoci(permutations);
       }},
      {"resample-individuals",
       "Tests > Resampling of sampling units: the same against the number of sampling units, "
       "over random subsets of units (saved by save-graph as .permind.svg).",
       {kPermutations},
       [](Session& s, const Options& o) {
         int permutations = 0;
         if (Status st = IntegerOption(o, "permutations", 1000, permutations); !st) return st;
         return s.ResampleIndividuals(permutations);
       }},
      {"combine-loci",
       "Tests > Combinations of loci: distinct MLGs over every subset of loci, and the smallest "
       "combinations of loci that separate all MLGs (saved by save-graph as .combiloc.svg).",
       {{"force", false,
         "enumerate every subset even above 2^24 of them (otherwise the size and time are only "
         "estimated)"}},
       [](Session& s, const Options& o) { return s.CombineLoci(o.count("force") > 0); }},
      {"combine-individuals",
       "Tests > Combinations of sampling units: distinct MLGs over every subset of sampling units "
       "(saved by save-graph as .combiind.svg).",
       {},
       [](Session& s, const Options&) { return s.CombineIndividuals(); }},
  };
}

}  // namespace vireltan::cli
