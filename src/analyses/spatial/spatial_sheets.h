// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The result sheets that the aggregation index, the edge effect and the
// clonal subrange add to the spatial results workbook, laid out cell by cell.
#include <string>

#include "analyses/spatial/aggregation_index.h"
#include "analyses/spatial/clonal_subrange.h"
#include "analyses/spatial/edge_effect.h"
#include "sheet/sheet.h"

namespace vireltan {

inline constexpr const char* kAggregationSheetName = "aggregation index";
inline constexpr const char* kEdgeEffectSheetName = "Edge effect";
inline constexpr const char* kSubrangeSheetName = "clonal subrange";
inline constexpr const char* kFixedSubrangeSheetName = "clonal subrange fix.";

// An index or p-value as the sheets show it: rounded to 5 significant digits
// but to no more than 4 decimals, and shown with exactly 4 decimals
// ("0.1235", "1.0000", "12.3460", "-0.5000"); a value that rounds to zero is
// "0.0000", without a sign. "" for NaN or infinity.
std::string FormatIndexValue(double value);

// Sheet "aggregation index": Ac, p (Ac) and the number of permutations.
Sheet AggregationIndexSheet(const AggregationResult& result);

// Sheet "Edge effect": Ee, p (Ee) and the number of permutations.
Sheet EdgeEffectSheet(const EdgeEffectResult& result);

// Sheet "clonal subrange" (equal-count classes) or "clonal subrange fix."
// (classes from "distances.txt"): the subrange value and one row per class.
Sheet ClonalSubrangeSheet(const ClonalSubrangeResult& result, bool fixedClasses);

}  // namespace vireltan
