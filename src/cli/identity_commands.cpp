// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> IdentityCommands() {
  return {
      {"psex",
       "Tests > Psex: round-robin allele frequencies, Hnb, Hobs and Fis per locus, pgen, "
       "pgen (fis) and Psex of every re-encounter, appended to the results log. Once per dataset.",
       {},
       [](Session& s, const Options&) { return s.Psex(); }},
      {"diversity",
       "MLG > Diversity and richness: Shannon H and its evenness, Simpson D* and its evenness, "
       "Hill's number, appended to the results log.",
       {},
       [](Session& s, const Options&) { return s.Diversity(); }},
      {"pareto",
       "MLG > Pareto distribution: the Pareto exponent c of clone sizes from a log-log line "
       "fit (or a bound when no line can be fitted), appended to the results log; fills the "
       "Pareto chart (save it with save-graph).",
       {},
       [](Session& s, const Options&) { return s.Pareto(); }},
  };
}

}  // namespace vireltan::cli
