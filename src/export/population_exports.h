// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Format > GenAlEx and Format > Genepop: the dataset with its populations in
// the layouts of those programs, all units or clone-corrected (one unit per
// MLG per population, the first in file order). Units are written grouped by
// population (populations in order of first appearance, file order within
// each), as both programs expect.
//
// Also the check every export that writes three-digit allele codes makes.
#include <string>
#include <vector>

#include "common/status.h"
#include "dataset/dataset.h"
#include "sheet/book.h"

namespace vireltan {

// Ok when every typed allele lies in lo..hi; else an error naming the
// format, the first allele out of range and its locus.
Status CheckAlleleRange(const Dataset& dataset, int lo, int hi, const std::string& format);

// The units to write, in writing order.
std::vector<int> UnitsToExport(const Dataset& dataset, const MlgPartition& mlgs, bool cloneCorrect);

// The GenAlEx table (the layout ReadGenAlEx reads): counts, title and
// population names, headers, one row per unit; coordinates after one empty
// column, headed X and Y, when the dataset has them (`withCoordinates`).
Book BuildGenAlExBook(const Dataset& dataset, const std::vector<int>& units,
                      const std::string& title, bool withCoordinates);

// The Genepop text: the title line, the locus names one per line, then per
// population a line "Pop" alone (what adegenet's read.genepop and Genepop
// require) and one line per unit, "designation ," and three digits per
// allele ("000" missing). The population names are written at the end of
// the title line (GenepopTitle), which ReadGenepop reads them back from.
// Refused (error) for an allele above 999.
// The title line: `title` (or "Vireltan"), then
// kGenepopPopulationsMark, the population names in order separated by
// kGenepopPopulationSeparator (a separator inside a name becomes " / "), and
// "]".
std::string GenepopTitle(const std::string& title, const std::vector<std::string>& populations);
Status FormatGenepop(const Dataset& dataset, const std::vector<int>& units,
                     const std::string& title, std::string& text);

}  // namespace vireltan
