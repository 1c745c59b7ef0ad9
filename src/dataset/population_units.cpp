// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/population_units.h"

namespace vireltan {

std::vector<std::vector<int>> PopulationUnits(const Dataset& d, const MlgPartition& mlgs,
                                              bool cloneCorrect) {
  std::vector<std::vector<int>> units(d.populationCount());
  std::vector<std::vector<bool>> seen;
  if (cloneCorrect) seen.assign(d.populationCount(), std::vector<bool>(mlgs.mlgCount + 1, false));
  for (int su = 0; su < d.sampleCount; ++su) {
    const int p = d.populationOfSu[su];
    if (cloneCorrect) {
      if (seen[p][mlgs.mlgOfSu[su]]) continue;
      seen[p][mlgs.mlgOfSu[su]] = true;
    }
    units[p].push_back(su);
  }
  return units;
}

}  // namespace vireltan
