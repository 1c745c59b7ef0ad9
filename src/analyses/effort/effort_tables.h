// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The result blocks of the sampling-effort curves, laid out as they are
// appended to the results worksheet (and so to the results log).
#include <string>
#include <vector>

#include "analyses/effort/combinations.h"
#include "analyses/effort/resampling.h"
#include "sheet/sheet.h"

namespace vireltan {

// Resampling 1-l loci: an empty row; "locus" | "Nb permutations" | P; the
// header row; one row per number of loci labelled "1loc", "2loc", ... The
// SEs of alleles and MLGs at k = L are 0 (every draw takes every locus).
Sheet LociResamplingBlock(const std::vector<ResamplingRow>& rows, int permutations);

// Resampling 1-n individuals: "SU" | "Nb permutations" | P; an empty row;
// the header row; one row per number of units 1..N. The MLG SE of one unit
// and the three SEs at k = N are 0.
Sheet IndividualsResamplingBlock(const std::vector<ResamplingRow>& rows, int permutations);

// Combination 1-l loci: the title and header rows, an empty row, one row
// per number of loci, an empty row, the minimum size ("2 loci") and one
// row of locus names per listed minimum combination.
Sheet LociCombinationBlock(const LociCombinationResult& result,
                           const std::vector<std::string>& locusNames);

// Combination 1-n individuals: an empty row, the title and header rows,
// one row per number of units.
Sheet IndividualsCombinationBlock(const std::vector<CombinationRow>& rows);

}  // namespace vireltan
