// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/effort/locus_census.h"

#include <vector>

namespace vireltan {

LocusCensus CensusFromCounts(const int* counts, int kinds, int copies) {
  LocusCensus census;
  long long observed = 0;
  for (int i = 0; i < kinds; ++i) {
    observed += counts[i];
    if (counts[i] > 0) ++census.alleles;
  }
  if (observed == 0) return census;
  double sumSquares = 0;
  for (int i = 0; i < kinds; ++i) {
    if (counts[i] == 0) continue;
    double p = static_cast<double>(counts[i]) / static_cast<double>(observed);
    sumSquares += p * p;
  }
  census.geneDiversity =
      (static_cast<double>(copies) / static_cast<double>(copies - 1)) * (1.0 - sumSquares);
  return census;
}

LocusCensus CensusOfLocus(const EffortInput& input, int locus) {
  std::vector<int> counts(input.alleleKinds(locus), 0);
  for (int su = 0; su < input.sampleCount; ++su)
    for (int copy = 0; copy < 2; ++copy) {
      int id = input.alleleId(su, locus, copy);
      if (id >= 0) ++counts[id];
    }
  return CensusFromCounts(counts.data(), static_cast<int>(counts.size()), 2 * input.sampleCount);
}

}  // namespace vireltan
