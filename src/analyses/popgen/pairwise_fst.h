// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Weir & Cockerham's θ between every pair of populations (hierfstat's
// pairwise.WCfst: θ of the two populations alone) and its permutation test:
// the units of the two populations are dealt out again between them,
// keeping their sizes, and p = (b + 1)/(P + 1) with b the permutations
// whose θ is at least the observed one (one-sided: populations more
// different than by chance).
//
// A permutation recounts only the units drawn into the smaller population;
// the other's counts are the pair's totals less those. Cost per pair and
// permutation O(n_small · L + alleles), no table per unit beyond the
// genotypes the counter reads.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analyses/popgen/allele_count_table.h"
#include "common/progress_sink.h"

namespace vireltan {

// Counts `count` units (file indices) into `column`, a one-population table
// laid out as the full table (same loci and alleles), all zero on entry.
using UnitCounter = std::function<void(const int* units, int count, AlleleCountTable& column)>;

// A counter over an allele table's genotypes (the table's alleles must be
// those of `dataset` at the units counted, as CountAlleles makes them).
UnitCounter AlleleTableCounter(const Dataset& dataset, const AlleleCountTable& table);

struct PairwiseFstResult {
  int populationCount = 0;
  // Pair (i, j), i > j, at i·(i−1)/2 + j.
  std::vector<std::optional<double>> fst;
  std::vector<std::optional<double>> p;  // empty without a test
  int permutations = 0;
  // Populations of fewer than 2 units: no test for their pairs.
  std::vector<int> tooSmall;
};

// θ for every pair and, with `permutations` > 0, the test (pairs spread
// over the cores, pair k drawing from stream k of `runSeed`). False when
// cancelled.
bool ComputePairwiseFst(const AlleleCountTable& table,
                        const std::vector<std::vector<int>>& unitsOfPopulation,
                        const UnitCounter& counter, int permutations, std::uint32_t runSeed,
                        ProgressSink* progress, PairwiseFstResult& out);

}  // namespace vireltan
