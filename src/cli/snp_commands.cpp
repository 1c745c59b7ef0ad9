// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_command.h"

namespace vireltan::cli {

std::vector<Command> SnpCommands() {
  return {
      {"export-vcf",
       "Format > VCF (SNP data): the samples as the VCF file <dataset>.all.vcf, or "
       "<dataset>.clonecorrected.vcf with --clone-correct (GT only).",
       {{"clone-correct", false,
         "one sample per MLG per population (per MLL while use-lineages is on), the first in "
         "file order"}},
       [](Session& s, const Options& o) { return s.ExportSnpVcf(o.count("clone-correct") != 0); }},
  };
}

}  // namespace vireltan::cli
