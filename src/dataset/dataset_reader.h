// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns the first sheet of a data file into a Dataset, checking the header
// against the table and every genotype cell against the ploidy.
//
// File layout (1-based): row 1 holds N (column 1), L (column 4), the ploidy
// (column 5) and optional locus names (columns 6..5+L); rows 2.. hold the
// designation, x, y and one genotype per locus.
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "sheet/sheet.h"

namespace vireltan {

// Warning texts shown to the user (exact wording matters: users know them).
inline constexpr const char* kLinesWarning =
    "!!the number of lines in the dataset does not correspond to the number of sampling units, "
    "please check ";
inline constexpr const char* kColumnsWarning =
    "!!the number of columns in the dataset does not correspond to the number of loci, please "
    "check ";
inline constexpr const char* kPloidyWarning = "ploidy level is not defined, it will be set to 2";
inline constexpr const char* kMissingDataWarning =
    "!!you have missing data, MLG membership might be false and some of the procedures will not "
    "be allowed ";

struct DatasetReadReport {
  int headerSampleCount = 0;  // N as the header states it
  int headerLocusCount = 0;   // L as the header states it
  // Warnings in the order they are shown (header checks, then missing data).
  std::vector<std::string> warnings;
};

// Reads `fileSheet` (the file as read, header row included). `fileName` is
// used in error messages. On error `dataset` is unspecified.
//
// When the header disagrees with the table, the warnings are given and the
// rows and loci actually present are analysed: a row the header promises but
// the file lacks would otherwise enter every analysis as a phantom SU.
// `progress`, when given, is polled for cancellation every few thousand
// rows.
Status ReadDataset(const Sheet& fileSheet, const std::string& fileName, Dataset& dataset,
                   DatasetReadReport& report, const ProgressSink* progress = nullptr);

// Coordinate extents, each started at 0 as the analyses expect.
struct Extents {
  double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
  double HalfRangeX = 0, HalfRangeY = 0;
  // Axes present (0, 1 or 2); an axis is absent when its largest value
  // (started at 0) is exactly 999, the file's "no coordinates" marker.
  int SpatialDims = 0;
};
Extents ComputeExtents(const Dataset& dataset);

}  // namespace vireltan
