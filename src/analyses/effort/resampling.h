// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sampling-effort curves by random resampling: for every subset size k, P
// random subsets of k distinct loci (or sampling units) are drawn, and over
// each draw the distinct alleles, the mean unbiased gene diversity and the
// distinct MLGs are counted. Each size is summarised by means, standard
// errors and the range of the MLG counts.
//
// Drawing: each of the P draws takes one uniformly random order of the loci
// (or units) and uses its first k elements for every k. For each k the P
// draws are then still P independent uniform draws of k distinct elements,
// so every per-k mean, SE, minimum and maximum has the distribution of
// drawing each size separately, while the counts are updated incrementally
// as one element is added: a new locus splits the classes of identical
// genotypes, a new unit adds its alleles to running counts and its MLG to
// the set already seen. The size that takes every element (k = L, k = N)
// is the same subset in every draw and is computed once.
#include <vector>

#include "analyses/effort/effort_input.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "numeric/random.h"

namespace vireltan {

// One row of a resampling table, for one subset size.
struct ResamplingRow {
  double meanAlleles = 0;  // distinct alleles summed over the loci used
  double seAlleles = 0;
  double meanMlg = 0;  // averageMLG: distinct MLGs
  double seMlg = 0;
  int mlgMin = 0;
  int mlgMax = 0;
  double meanDiversity = 0;  // Hnb: gene diversity averaged over the loci used
  double seDiversity = 0;
};

// Sizes k = 1..L (rows[k-1]): k of the L loci, all N units. `permutations`
// (P) must be at least 2. Progress in percent of the draws done; returns
// Status::Cancelled() (rows untouched) when the sink's cancel flag is set.
Status ResampleLociCurve(const EffortInput& input, int permutations, RandomGenerator& random,
                         ProgressSink& progress, std::vector<ResamplingRow>& rows);

// Sizes k = 1..N (rows[k-1]): k of the N units, typed at all L loci; the
// gene diversity is averaged over the L loci.
Status ResampleIndividualsCurve(const EffortInput& input, int permutations, RandomGenerator& random,
                                ProgressSink& progress, std::vector<ResamplingRow>& rows);

}  // namespace vireltan
