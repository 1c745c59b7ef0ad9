// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening a data file of any supported layout, recognised by its content:
// the program's own layout, a GenAlEx table (xlsx, xls, comma- or
// tab-separated text) or a Genepop text file.
#include <string>

#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/dataset_reader.h"
#include "sheet/book.h"

namespace vireltan {

enum class DataFileLayout { kNative, kGenAlEx, kGenepop };

struct LoadedFile {
  DataFileLayout layout = DataFileLayout::kNative;
  Book table;  // the file as a table (empty for Genepop)
  // What the table reader noticed (cells far beyond the data, left out).
  std::vector<std::string> readWarnings;
};

// Reads `path` into `dataset`. A native file gets one population named
// `defaultPopulation` (the dataset's name). Errors name the file, row and
// column; on error `dataset` is unspecified.
// `progress`, when given, is polled for cancellation between the steps
// and while the rows are read.
Status LoadDataFile(const std::string& path, const std::string& defaultPopulation, Dataset& dataset,
                    DatasetReadReport& report, LoadedFile& file,
                    const ProgressSink* progress = nullptr);

// The grid the user sees: for a native file the file without its header
// row, else one row per unit (designation, x, y, one genotype per locus as
// "a/b", or the allele for haploids, 0 for missing); then the population.
// `firstAlleleColumn` receives the column of locus 1.
Sheet BuildDatasetGrid(const Dataset& dataset, const LoadedFile& file);

}  // namespace vireltan
