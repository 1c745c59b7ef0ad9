// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sampling units of each population, as the summary and the
// clone-corrected exports take them.
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

// The units of each population (file order), clone-corrected on request:
// then only the first unit of each MLG within a population is kept.
std::vector<std::vector<int>> PopulationUnits(const Dataset& dataset, const MlgPartition& mlgs,
                                              bool cloneCorrect);

}  // namespace vireltan
