// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sheets and the chart of a spatial autocorrelation run: the result
// sheet (observed class tables, regressions, permutation statistics, the
// resampling summary and its confidence tables, the Sp statistic), the
// blocks of the "all freq& dist matrices" sheet, and the correlogram.
#include <functional>
#include <string>
#include <vector>

#include "analyses/spatial/autocorrelation_classes.h"
#include "analyses/spatial/autocorrelation_kinship.h"
#include "analyses/spatial/autocorrelation_permutation.h"
#include "analyses/spatial/autocorrelation_resampling.h"
#include "charts/chart_data.h"
#include "sheet/sheet.h"

namespace vireltan {

enum class TestedDatasetKind { kEntire, kWeighted, kCentral };

// One dataset tested by permutation: its observed table and lines and the
// permuted values.
struct TestedDataset {
  TestedDatasetKind kind = TestedDatasetKind::kEntire;
  ClassTable observed;
  FourLines lines;
  PermutationResults permutations;
};

// Rows 1 and 2 of the result sheet.
void WriteResultHeader(Sheet& sheet, const std::string& datasetName, int permutationCount);

// The table of a tested dataset with its header in `headerRow` (3 for the
// entire dataset; LastRow + 3 for a further one): classes below it, the
// "average" row, the column-12 labels and the permutation statistics.
void WriteTestedDataset(Sheet& sheet, int headerRow, const TestedDataset& dataset);

// The "genets with resampling" block, from LastRow + 2, and its CI(95%)
// and CI(90%) tables.
void WriteResamplingBlock(Sheet& sheet, const ResamplingResults& results);

// Sp = −b / (1 − F1), b the slope of Loiselle kinship on ln(distance) and F1
// the mean Loiselle kinship of the first class (Vekemans & Hardy 2004), for
// every analysed dataset, from LastRow + 2. Sp is left empty when F1 = 1.
struct SpRow {
  std::string label;
  double slope = 0;
  double firstClass = 0;
};
void WriteSpBlock(Sheet& sheet, const std::vector<SpRow>& rows);

// A number as text: up to 15 significant digits, shortest form, "." as
// the decimal separator.
std::string BoundText(double value);

// One block of the "all freq& dist matrices" sheet: `title` in (1, 1), the
// allele frequency table, then, for fewer than 255 items, the triangles of
// the two coefficients and of the geographic distances between items
// 1..itemCount (accessors take 1-based indices i < j).
struct MatricesBlockInput {
  std::string title;  // "ENTIRE DATASET" or "WITHOUT REPLICATES"
  const std::vector<LocusFrequencies>* frequencies = nullptr;
  const std::vector<std::string>* locusNames = nullptr;
  int itemCount = 0;
  std::function<KinshipPair(int, int)> coefficients;
  std::function<double(int, int)> distance;
};
Sheet BuildMatricesBlock(const MatricesBlockInput& input);

// The correlogram: mean Loiselle kinship of each class against its average
// distance, with the 95% envelope of the permuted class means, for the
// entire dataset and the dataset without replicates.
struct CorrelogramSeries {
  std::string name;
  std::vector<double> distance;  // 1-based, per class
  std::vector<double> kinship;
  std::vector<double> lower;  // 95% bounds of the permuted means
  std::vector<double> upper;
  std::vector<double> pairs;  // classes without pairs are not drawn
};
ChartData MakeCorrelogram(const std::string& datasetName,
                          const std::vector<CorrelogramSeries>& series,
                          const std::string& unit = "");

}  // namespace vireltan
