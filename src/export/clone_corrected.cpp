// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/clone_corrected.h"

#include <cstdio>

namespace vireltan {

std::vector<int> LastSuOfEachMlg(const MlgPartition& mlgs) {
  std::vector<int> last(static_cast<size_t>(mlgs.mlgCount), -1);
  for (int su : mlgs.keyOrder) last[mlgs.mlgOfSu[su] - 1] = su;
  return last;
}

std::string AlleleText(Allele allele) {
  if (allele == kMissingAllele) return "999";
  char buffer[16];
  int n = std::snprintf(buffer, sizeof buffer, "%3.0f", static_cast<double>(allele));
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace vireltan
