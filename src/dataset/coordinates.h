// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One rule for the coordinates of sampling units, whichever file they come
// from (the program's own layout, GenAlEx, sample sheets): a finite number
// within ±1e9. A billion metres (or degrees) holds any projected or
// geographic system, and keeps every squared distance, sum of distances and
// grid cell of the spatial analyses far from overflow.
#include <string>

#include "sheet/cell.h"

namespace vireltan {

inline constexpr double kMaxCoordinate = 1e9;

// Reads one coordinate cell: a number, or a text that reads as one. Returns
// false with `why` set (a sentence that follows "the x coordinate is
// \"...\", ") when the cell is empty, not a number, infinite or beyond
// ±kMaxCoordinate.
bool ReadCoordinateCell(const Cell& cell, double& value, std::string& why);

// Whether `value` is a coordinate the analyses accept.
bool IsAllowedCoordinate(double value);

}  // namespace vireltan
