// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MLG pairs one allele apart, found without comparing every pair of MLGs.
//
// Two distinct MLGs are at allelic distance 1 exactly when they differ at a
// single locus and, there, still share one allele (diploid: 120/124 against
// 120/126, or 120/120 against 120/124), or, for odd ploidy, differ at a
// single locus whatever the alleles. So every such pair meets under one key:
// the genotype with that locus masked, plus (diploid) the shared allele. Each
// MLG is entered under 2L keys (L for odd ploidy) in a hash table, one locus
// at a time; MLGs sharing a key are checked with the full distance and
// listed. Expected time O(G·L) plus the number of pairs listed; memory O(G).
#include <utility>
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

// Pairs (j, k), j < k MLG numbers, at allelic distance exactly 1, in order
// of j then k: the same list as a comparison of every pair would give.
std::vector<std::pair<int, int>> FindOneAllelePairs(const Dataset& dataset,
                                                    const MlgPartition& mlgs);

// Largest allele-size distance of any MLG pair, before haploid halving (0
// when G < 2). This compares every pair of MLGs: O(G² L) time, O(1) memory;
// only the allele-size histogram needs it, so it is not computed at Open.
int MaxMicrosatDistance(const Dataset& dataset, const MlgPartition& mlgs);

}  // namespace vireltan
