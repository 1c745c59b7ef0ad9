// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Round-robin allele frequencies (Parks & Werth 1993): allele frequencies of
// a clonal sample that are not inflated by the copies of one genet.
//
// For locus j the sampling units are grouped by their genotypes at all the
// OTHER loci and one unit per group is kept; frequencies, observed
// heterozygosity, unbiased gene diversity and Fis of locus j are computed
// over the kept genotypes. Two units of one MLG are identical everywhere, so
// they always fall in one group: the grouping is done over MLGs, which gives
// the same groups at a fraction of the cost.
#include <optional>
#include <vector>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"

namespace vireltan {

struct RoundRobinLocus {
  // Distinct alleles of the kept genotypes, ascending, with their
  // frequencies c / (2n) (n kept genotypes, each counted with two alleles;
  // a haploid allele is counted twice, which leaves its frequency unchanged).
  std::vector<Allele> alleles;
  std::vector<double> frequencies;
  int keptCount = 0;  // n
  // Unbiased gene diversity as 2n/(2n-1) - Σp² (the sum subtracted from the
  // factor itself). Always above 0, since 2n/(2n-1) > 1 >= Σp², so Fis is
  // always defined.
  double hnb = 0;
  double hobs = 0;  // share of kept genotypes that are heterozygous
  double fis = 0;   // (hnb - hobs) / hnb; at most 1, 1 when no kept heterozygote

  // Frequency of `allele` in the list, or nullopt when it is not listed.
  std::optional<double> FrequencyOf(Allele allele) const;
};

// Computes every locus in order. When `progress` is given its position moves
// from `firstPercent` to `lastPercent` over the loci, and a cancel request is
// honoured between loci (the result is then Status::Cancelled()).
//
// Which unit of a group is kept: the first in the dataset table order, i.e.
// the MLG with the smallest number (for equal other loci, the one with the
// smallest genotype at locus j). Any fixed choice is acceptable; this one
// does not depend on the order of the data file.
Status ComputeRoundRobin(const Dataset& dataset, const MlgPartition& mlgs,
                         std::vector<RoundRobinLocus>& loci, ProgressSink* progress = nullptr,
                         int firstPercent = 0, int lastPercent = 100);

}  // namespace vireltan
