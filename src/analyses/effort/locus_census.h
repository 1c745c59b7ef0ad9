// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The locus census: how many distinct alleles a set of allele copies of one
// locus holds, and its unbiased gene diversity (Nei's expected
// heterozygosity corrected for sample size),
//   h = (2n / (2n - 1)) * (1 - sum of p_i^2),
// over the 2n copies of n sampled individuals. A missing allele is no
// allele: it forms no allele and stays out of the frequency denominator
// (p_i = copies of allele i / non-missing copies), but the small-sample
// factor 2n / (2n - 1) counts all 2n copies, missing ones included.
#include <cstdint>

#include "analyses/effort/effort_input.h"

namespace vireltan {

struct LocusCensus {
  int alleles = 0;           // distinct alleles (missing code excluded)
  double geneDiversity = 0;  // h, between 0 and 2n/(2n-1)
};

// From the copies of each allele of the locus (`counts`, `kinds` entries in
// ascending allele-code order, zeros allowed) and the number of copies
// censused (`copies` = 2n, missing ones included, at least 2). The squared
// frequencies are summed in ascending allele order.
//
// When not a single copy is observed the gene diversity is 0: there is no
// allele whose frequency could be estimated, and 2n/(2n-1) (the value the
// formula gives with an empty sum) would be a diversity above 1.
LocusCensus CensusFromCounts(const int* counts, int kinds, int copies);

// The census of locus `locus` (0-based) over all N sampling units (2N copies).
LocusCensus CensusOfLocus(const EffortInput& input, int locus);

}  // namespace vireltan
