// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The allele count table of packed SNP calls, without unpacking them into
// a table per unit: one pass over each counted unit's row tallies the four
// call codes per locus, from which the typed units, heterozygotes and
// allele copies follow (allele 0 reference, 1 alternate). Time
// O(units · L), memory O(L · P) counters.
#include <vector>

#include "analyses/popgen/allele_count_table.h"
#include "analyses/popgen/pairwise_fst.h"
#include "common/progress_sink.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

// False when cancelled (`out` then incomplete); polled every 64 units.
bool CountSnpAlleles(const PackedGenotypes& genotypes, int ploidy,
                     const std::vector<std::vector<int>>& unitsOfPopulation, ProgressSink* progress,
                     AlleleCountTable& out);

// A counter for the permutation tests, reading the packed rows.
UnitCounter SnpUnitCounter(const PackedGenotypes& genotypes, int ploidy);

}  // namespace vireltan
