// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The strata table of File > Load populations (`strata --file=PATH`): a
// tab- or comma-separated table (or a workbook) of designation and
// population, one row per sampling unit, a header row allowed.
#include <string>
#include <vector>

#include "common/status.h"
#include "dataset/dataset.h"

namespace vireltan {

// Reads the table at `path` and gives, per SU of `dataset` (file order), the
// name of its population. Every designation of the dataset must appear
// exactly once; an unknown, repeated or missing designation, or an empty
// population, is an error naming it (and the file, row and column).
Status ReadStrata(const std::string& path, const Dataset& dataset,
                  std::vector<std::string>& populationOfSu);

}  // namespace vireltan
