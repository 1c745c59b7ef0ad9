// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/population_units.h"

#include <algorithm>

namespace vireltan {

bool ParseCloneCorrection(const std::string& word, CloneCorrection& rule) {
  if (word == "none") rule = CloneCorrection::kNone;
  else if (word == "mlg") rule = CloneCorrection::kMlg;
  else if (word == "mll") rule = CloneCorrection::kMll;
  else return false;
  return true;
}

const char* CloneCorrectionWord(CloneCorrection rule) {
  switch (rule) {
    case CloneCorrection::kMlg: return "mlg";
    case CloneCorrection::kMll: return "mll";
    default: return "none";
  }
}

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

std::vector<std::vector<int>> SummaryRowUnits(const Dataset& d, const MlgPartition& mlgs,
                                              bool cloneCorrect,
                                              const std::vector<int>& populationOrder) {
  const std::vector<std::vector<int>> byPopulation = PopulationUnits(d, mlgs, cloneCorrect);
  std::vector<std::vector<int>> units;
  for (int p : populationOrder) units.push_back(byPopulation[p]);
  std::vector<int> all;
  for (const auto& u : units) all.insert(all.end(), u.begin(), u.end());
  std::sort(all.begin(), all.end());
  units.push_back(std::move(all));
  return units;
}

}  // namespace vireltan
