// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sampling units of each population, as the summary and the
// clone-corrected exports take them.
#include <string>
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

// Which units the population commands count: every unit, or in each
// population only the first unit in file order of each MLG, or of each
// multilocus lineage of the last grouping (poppr's clonecorrect).
enum class CloneCorrection { kNone, kMlg, kMll };

// "none", "mlg" or "mll"; false for any other word.
bool ParseCloneCorrection(const std::string& word, CloneCorrection& rule);
const char* CloneCorrectionWord(CloneCorrection rule);

// The units of each population (file order), clone-corrected on request:
// then only the first unit of each MLG within a population is kept.
std::vector<std::vector<int>> PopulationUnits(const Dataset& dataset, const MlgPartition& mlgs,
                                              bool cloneCorrect);

// The units of each row of a population summary: the populations in the
// summary's `populationOrder`, then all of their units in file order (the
// Total row).
std::vector<std::vector<int>> SummaryRowUnits(const Dataset& dataset, const MlgPartition& mlgs,
                                              bool cloneCorrect,
                                              const std::vector<int>& populationOrder);

}  // namespace vireltan
