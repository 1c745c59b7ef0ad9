// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Groups sampling units that carry the same multilocus genotype (MLG).
//
// Two SUs share an MLG when their allele pairs are equal at every locus; a
// missing genotype is an ordinary value here. MLGs are numbered 1..G in
// ascending order of the genotype key, the alleles locus by locus (locus 1
// first, smaller allele first) compared as numbers, a missing allele last.
// On native files, where every code has three digits, that is the order of
// the 6L-character text of the codes.
#include "dataset/dataset.h"

namespace vireltan {

MlgPartition IdentifyMlgs(const Dataset& dataset);

// Sets the centroid table of `p` from its mlgOfSu, cloneSize and
// designationOrder: each group's mean position, named by its last SU in
// designation order. For MLGs, SNP genotypes and counted lineages alike.
void SetCentroids(const Dataset& dataset, MlgPartition& p);

// Orders two designations as the worksheet sort does: numbers before texts,
// numbers by value, texts by bytes. Returns <0, 0 or >0.
int CompareDesignations(const Cell& a, const Cell& b);

}  // namespace vireltan
