// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/effort/effort_input.h"

#include <algorithm>
#include <array>

namespace vireltan {

EffortInput PrepareEffortInput(const Dataset& d, const MlgPartition& mlgs) {
  EffortInput in;
  const int n = d.sampleCount;
  const int loci = d.locusCount;
  in.sampleCount = n;
  in.locusCount = loci;
  in.mlgCount = mlgs.mlgCount;
  in.mlgOfSu.resize(n);
  for (int su = 0; su < n; ++su) in.mlgOfSu[su] = mlgs.mlgOfSu[su] - 1;
  in.cloneSizes = mlgs.cloneSize;

  // Genotype groups: the SUs sorted on the genotype key of the locus (equal codes = equal allele
  // pairs, missing alleles included).
  in.genotypes.resize(loci);
  std::vector<int> order(n);
  for (int j = 0; j < loci; ++j) {
    for (int su = 0; su < n; ++su) order[su] = su;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return d.genotypeKey(a, j) < d.genotypeKey(b, j); });
    LocusGenotypeGroups& groups = in.genotypes[j];
    groups.members = order;
    for (int i = 0; i < n; ++i) {
      bool last = i + 1 == n || d.genotypeKey(order[i + 1], j) != d.genotypeKey(order[i], j);
      if (last) groups.groupEnd.push_back(i + 1);
    }
  }

  // Dense allele ids per locus, in ascending allele-code order.
  in.alleleIds.assign(static_cast<size_t>(n) * loci * 2, -1);
  in.alleleOffset.assign(loci + 1, 0);
  std::vector<int> idOf(static_cast<size_t>(kMissingAllele) + 1);
  for (int j = 0; j < loci; ++j) {
    std::fill(idOf.begin(), idOf.end(), -1);
    for (int su = 0; su < n; ++su)
      for (int copy = 0; copy < 2; ++copy) {
        Allele a = d.alleleAt(su, j, copy);
        if (a != kMissingAllele) idOf[a] = 0;
      }
    int kinds = 0;
    for (int& id : idOf)
      if (id == 0) id = kinds++;
    in.alleleOffset[j + 1] = in.alleleOffset[j] + kinds;
    for (int su = 0; su < n; ++su)
      for (int copy = 0; copy < 2; ++copy) {
        Allele a = d.alleleAt(su, j, copy);
        if (a != kMissingAllele)
          in.alleleIds[(static_cast<size_t>(su) * loci + j) * 2 + copy] = idOf[a];
      }
  }
  return in;
}

}  // namespace vireltan
