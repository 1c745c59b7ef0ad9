// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a GenAlEx table (the layout of the Excel add-in most field
// ecologists use) from the first sheet of a workbook or text table.
//
// Layout (1-based): row 1 the number of loci, of samples, of populations,
// then the size of each population; row 2 a title in column 1 and the
// population names from column 4; row 3 the headers: sample, population,
// then the locus names; from row 4 one sample per row: name, population, the
// allele sizes (0, -9 or an empty cell for a missing allele). Optional
// coordinates: after the last allele column one empty column, then two
// columns headed X and Y (or Lat and Long).
//
// The ploidy is not written in the file: it is the number of allele columns
// divided by the number of loci of row 1 (a diploid locus takes two
// columns). The header over a locus's first column names it; the headers
// over its second column may hold anything (blank in GenAlEx, a space from
// poppr, the name repeated by other programs).
#include <string>

#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/dataset_reader.h"
#include "sheet/sheet.h"

namespace vireltan {

// True when the sheet starts like a GenAlEx table (three counts in row 1,
// row 2 empty in columns 2 and 3, headers in row 3). A native file never
// does: its row 2 holds a unit's coordinates in columns 2 and 3.
bool LooksLikeGenAlEx(const Sheet& sheet);

// Reads the table into `dataset` with populations and real allele sizes.
// A number of loci that does not divide the allele columns, more than two
// alleles per locus, or a header row naming every allele column as a locus
// of its own are errors with the numbers found. Sample and population
// counts that disagree with the table give warnings naming the cell (the
// rows present are analysed); a cell that cannot be read is
// an error naming the file, row and column. Without coordinates x and y are
// 999, the program's "no coordinates" marker.
Status ReadGenAlEx(const Sheet& sheet, const std::string& fileName, Dataset& dataset,
                   DatasetReadReport& report);

}  // namespace vireltan
