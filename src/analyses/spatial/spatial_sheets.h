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

// The unit of the coordinates as texts say it: `unit` ("m"), or
// "coordinate units" when none was given.
std::string CoordinateUnitText(const std::string& unit);
// The distance axis of the subrange chart and the correlogram:
// "Average distance of the class (m)".
std::string DistanceClassAxisTitle(const std::string& unit);
// The distance axis of isolation by distance: "Geographic distance (m)",
// "ln geographic distance (ln of m)"; "file units" when no unit is given.
std::string GeographicDistanceTitle(bool logDistance, const std::string& unit);
// The note of a sheet's title row when a unit was given ("distances in m"),
// else "" (the sheet stays as it always was).
std::string DistanceUnitNote(const std::string& unit);

// An index or p-value as the sheets show it: rounded to 5 significant digits
// but to no more than 4 decimals, and shown with exactly 4 decimals
// ("0.1235", "1.0000", "12.3460", "-0.5000"); a value that rounds to zero is
// "0.0000", without a sign. "" for NaN or infinity.
std::string FormatIndexValue(double value);

// Sheet "aggregation index": Ac, p (Ac) and the number of permutations.
Sheet AggregationIndexSheet(const AggregationResult& result);

// Sheet "Edge effect": Ee, p (Ee) and the number of permutations, then the
// two mean distances to the centre it compares, headed with `unit`.
Sheet EdgeEffectSheet(const EdgeEffectResult& result, const std::string& unit = "");

// Sheet "clonal subrange" (equal-count classes) or "clonal subrange fix."
// (classes from "distances.txt"): the subrange value and one row per class;
// a unit given is noted in the title row.
Sheet ClonalSubrangeSheet(const ClonalSubrangeResult& result, bool fixedClasses,
                          const std::string& unit = "");

}  // namespace vireltan
