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

// The Genepop text: the title, the locus names one per line, then per
// population a Pop line and one line per unit, three digits per allele
// ("000" missing). The Pop line is "Pop" alone when the population's name is
// its first unit's designation (what a reader takes by default), else
// "Pop" and the name, so that populations read back as they were. Refused
// (error) for an allele above 999.
Status FormatGenepop(const Dataset& dataset, const std::vector<int>& units,
                     const std::string& title, std::string& text);

}  // namespace vireltan
