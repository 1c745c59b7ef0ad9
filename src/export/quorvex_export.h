// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Format > Quorvex: the clone-corrected dataset as a text table for the
// Quorvex population-genetics program.
//
// Line 1: two empty cells, then the L locus names. Then one line per MLG in
// MLG order: the population (the dataset's name), the designation of the
// MLG's last SU in the dataset table, and one six-digit genotype per locus,
// the two three-digit allele codes smaller first (120124; a haploid allele
// 135 gives 135135; a missing genotype 999999). Cells are tab-separated,
// lines end with LF, empty cells at the end of a line are not written.
#include <string>

#include "common/status.h"
#include "dataset/dataset.h"
#include "sheet/sheet.h"

namespace vireltan {

// The table as a worksheet (rows and columns from 1); genotypes are texts,
// designations keep their kind (number or text).
Sheet BuildQuorvexTable(const Dataset& dataset, const MlgPartition& mlgs,
                        const std::string& populationName);

// Writes the table to `path`, replacing any file there only once complete.
Status WriteQuorvexFile(const Dataset& dataset, const MlgPartition& mlgs,
                        const std::string& populationName, const std::string& path);

}  // namespace vireltan
