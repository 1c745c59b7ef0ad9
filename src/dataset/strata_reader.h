// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The strata table of File > Load populations (`strata --file=PATH`): a
// tab- or comma-separated table (or a workbook) of designation and one or
// more stratum columns (population, then e.g. region or site), one row per
// sampling unit, a header row naming the columns allowed.
#include <string>
#include <vector>

#include "common/status.h"
#include "dataset/dataset.h"

namespace vireltan {

// Every stratum column of a strata table, per SU of the dataset.
struct StrataTable {
  // Column names from the header row; without a header only the second
  // column is read, named "Population".
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> valueOfSu;  // [column][SU]
  std::vector<int> rowOfSu;                         // the table row (1-based) of each SU
};

// Reads the table at `path`: every designation of the dataset must appear
// exactly once; an unknown, repeated or missing designation, or an empty
// stratum, is an error naming it (and the file, row and column). The first
// row is a header when its first cell is not a designation of the dataset.
// The second column is the population of every unit.
Status ReadStrataTable(const std::string& path, const Dataset& dataset, StrataTable& table);

// The population (second column) of every SU alone.
Status ReadStrata(const std::string& path, const Dataset& dataset,
                  std::vector<std::string>& populationOfSu);

}  // namespace vireltan
