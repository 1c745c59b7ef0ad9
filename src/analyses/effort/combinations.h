// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sampling-effort curves by exhaustive combination: every non-empty subset
// of the loci (or of the sampling units), summarised per subset size by the
// mean, smallest and largest number of distinct MLGs.
#include <cstdint>
#include <vector>

#include "analyses/effort/effort_input.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan {

// One row of a combination table, for one subset size.
struct CombinationRow {
  double averageMlg = 0;
  int mlgMin = 0;
  int mlgMax = 0;
};

// The smallest combinations of loci that separate all G MLGs of the dataset.
constexpr int kListedMinimumCombinations = 20;

struct LociCombinationResult {
  std::vector<CombinationRow> rows;  // rows[k-1] for k = 1..L loci
  int minimumSize = 0;               // fewest loci that separate all G MLGs
  // Subsets of the minimum size met, in visiting order; only the first
  // kListedMinimumCombinations are kept, each as one flag per locus.
  std::int64_t minimumFound = 0;
  std::vector<std::vector<bool>> minimumCombinations;
};

// Every non-empty subset of the L loci, visited in the order of counting
// upwards in base 2 with locus 1 as the lowest digit ({1}, {2}, {1,2}, {3},
// ...), so that the list of minimum combinations keeps that order. Subsets
// are enumerated depth first, the genotype classes of the units being split
// by one locus at each step, so each subset costs O(N). Counters are 64-bit.
// The work grows as 2^L: ask EstimateLociCombinations first (a few dozen
// loci would take years).
// Progress in percent of the subsets visited; Status::Cancelled() (result
// untouched) when the sink's cancel flag is set.
Status CombineLociCurve(const EffortInput& input, ProgressSink& progress,
                        LociCombinationResult& result);

// Seconds per subset of loci for this dataset on this machine, timed over
// the first `probe` subsets of the walk (those of the lowest loci, which
// cost what the others do: each subset splits the classes of its parent by
// one locus). For the estimate asked before a long enumeration.
double MeasureLociCombinationCost(const EffortInput& input, std::uint64_t probe);

// Every non-empty subset of the N = sum of `cloneSizes` units, without
// enumerating them. Over the C(N, j) subsets of j units, MLG g is absent
// from exactly C(N - n_g, j) of them (n_g its clone size), so
//   averageMLG(j) = G - sum over g of C(N - n_g, j) / C(N, j);
//   MLGmax(j) = min(j, G): j units of j different MLGs while there are some;
//   MLGmin(j) = the fewest MLGs whose clones hold j units together, taking
//               the largest clones first.
// The binomial ratios are exact integer quotients while C(N, j) fits in 64
// bits with room (N <= 60); beyond, they are running products of ratios
// that never form C(N, j), so any N runs in O(N x distinct clone sizes).
// `exactWhenSmall` = false forces the product path (for tests).
std::vector<CombinationRow> CombineIndividualsCurve(const std::vector<int>& cloneSizes,
                                                    bool exactWhenSmall = true);

}  // namespace vireltan
