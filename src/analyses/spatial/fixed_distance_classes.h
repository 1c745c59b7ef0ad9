// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// User-defined distance classes: the file "distances.txt" in the dataset's
// folder lists, in its first row, the upper distance limit of each class
// (same units as the coordinates), in ascending order. The clonal subrange
// and the spatial autocorrelation both read it.
#include <string>
#include <vector>

#include "common/status.h"

namespace vireltan {

// The file name looked for in the dataset's folder.
inline constexpr const char* kFixedDistanceClassesFile = "distances.txt";

// Reads `dataDirectory` + "distances.txt" (`dataDirectory` ends with its path
// separator) and fills `upperLimits` with the cells of its first row, column 1
// to the last used column of that row; other rows are ignored.
//
// Errors (`upperLimits` is left empty):
// - the file does not exist: "The file distances.txt is missing from the folder of the data file";
// - the file cannot be read: the reader's message, naming the file;
// - the first row is empty, holds an empty or non-numeric cell, or its limits
//   are not strictly ascending: a message naming the file and the cell.
Status ReadFixedDistanceClasses(const std::string& dataDirectory, std::vector<double>& upperLimits);

}  // namespace vireltan
