// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dataset recoded for the sampling-effort curves.
//
// The curves count distinct alleles and distinct multilocus genotypes in
// many subsets of loci or of sampling units. Allele codes (100..999) and
// genotypes are replaced here by small dense integer ids, so that a census
// is a walk over count arrays and comparing genotypes is comparing integers;
// no text key is ever built or sorted.
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

// The SUs of one locus grouped by genotype (allele pair, a missing allele compared like
// any allele): members[groupEnd[g-1] .. groupEnd[g]) carry genotype g, the
// groups in ascending genotype-code order, SUs in file order within a group.
struct LocusGenotypeGroups {
  std::vector<int> members;   // N entries
  std::vector<int> groupEnd;  // one exclusive end per genotype
};

struct EffortInput {
  int sampleCount = 0;  // N
  int locusCount = 0;   // L
  int mlgCount = 0;     // G

  // MLG index 0..G-1 of each SU (file order), and the clone size of each MLG.
  std::vector<int> mlgOfSu;
  std::vector<int> cloneSizes;

  // Genotype groups, one entry per locus.
  std::vector<LocusGenotypeGroups> genotypes;

  // The two allele copies of SU `su` at locus `j`, as dense ids within the
  // locus (0.. in ascending allele-code order; -1 for a missing allele):
  // alleleIds[(su * L + j) * 2 + copy].
  std::vector<int> alleleIds;
  // Locus j's alleles take ids alleleOffset[j] .. alleleOffset[j+1]-1 of one
  // flat count array covering every locus (size alleleOffset[L]).
  std::vector<int> alleleOffset;

  int alleleId(int su, int locus, int copy) const {
    return alleleIds[(static_cast<size_t>(su) * locusCount + locus) * 2 + copy];
  }
  int alleleKinds(int locus) const { return alleleOffset[locus + 1] - alleleOffset[locus]; }
};

EffortInput PrepareEffortInput(const Dataset& dataset, const MlgPartition& mlgs);

}  // namespace vireltan
