// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Frequency distribution of the genetic distances between MLGs: how many
// pairs of distinct genotypes lie at 1, 2, ... D alleles (or allele-size
// units) apart, drawn as a bar chart of the percentage of pairs, and, for at
// most 254 MLGs, the distance matrix itself as a block of the results.
//
// Time grows with G² L; memory only with G: distances are computed one row
// of MLGs at a time and counted, never stored as a matrix (the matrix file
// is written row by row too).
#include <cstdint>
#include <string>
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "charts/chart_data.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "sheet/sheet.h"

namespace vireltan {

// The matrix block holds G+1 columns (the MLG numbers, then one per MLG), and
// a worksheet row holds at most 255 cells: larger matrices are not written.
constexpr int kMaxMlgsInMatrixBlock = 254;

struct DistanceHistogram {
  int classCount = 0;          // D: bars at distances 1..D
  std::vector<double> counts;  // counts[d] = pairs at distance d, d = 0..D
  std::int64_t pairCount = 0;  // P: pairs with a non-zero distance
  double maxCount = 0;         // hmax: largest counts[d] over d = 1..D
  // Distances past D (none for the matrices of a loaded dataset; kept so
  // that nothing is silently dropped).
  std::int64_t beyondLastClass = 0;

  // Percentage of the P pairs at distance d; only defined when P > 0.
  double Percent(int d) const { return 100.0 * counts[d] / pairCount; }
};

// Largest possible allelic distance: one per locus for odd ploidy (the
// distance is halved), two per locus otherwise.
inline int AllelicDistanceClassCount(int locusCount, int ploidy) {
  return ploidy % 2 != 0 ? locusCount : 2 * locusCount;
}

// Counts every pair j < k of the table at its distance rounded to the
// nearest integer (halves to even); pairs at distance 0 are not counted.
// Reports progress in percent and stops with Status::Cancelled() when the
// progress sink is cancelled (polled once per MLG row).
Status TabulateMlgDistances(const MlgDistanceRows& table, int classCount, ProgressSink& progress,
                            DistanceHistogram& histogram);

// The allelic histogram: bars at d = 1..D of 100·h[d]/P (the percentage of
// MLG pairs), left axis 0 .. 1.05·100·hmax/P, bottom axis 0 .. the largest
// distance met + 0.5. With no pair (P = 0) the chart is shown empty with
// automatic axes: every percentage would be a division by zero.
void FillAllelicDistanceChart(const DistanceHistogram& histogram, ChartData& chart);

// Above this many distinct distances the microsatellite histogram groups
// them into classes.
inline constexpr int kMaxMicrosatBars = 60;
// The microsatellite histogram: bars of 100·h/P at d = 1..D, or, with more
// than kMaxMicrosatBars distinct distances, one bar per class of a round
// width (2, 5, 10, 20, 25, 50 ...) giving at most 30 classes, at the
// class's middle. Axes as for the allelic histogram, every bar shown
// whatever the ploidy (kept in the signature for the callers). Empty with
// automatic axes when P = 0.
void FillMicrosatDistanceChart(const DistanceHistogram& histogram, int ploidy, ChartData& chart);

// The matrix block of the results, rows and columns from 1: cell (i+1, j+1)
// holds matrix cell [i][j] for i, j = 0..G, that is the MLG numbers in row 1
// and column 1, the distances in the upper triangle and 0 elsewhere; the
// first cell holds the text "MLGs". `block` is cleared first.
void BuildMatrixBlock(const MlgDistanceRows& table, Sheet& block);

// Writes the full symmetric G x G matrix as a tab-separated table: a header
// line "MLGs" and the MLG numbers 1..G, then one line per MLG, its number
// followed by its G distances (0 on the diagonal). Rows are computed and
// written one at a time, so memory stays O(G·L) whatever G is; the file
// replaces `path` only once complete (nothing is left on failure or
// cancellation).
Status WriteDistanceMatrixFile(const MlgDistanceRows& table, const std::string& path,
                               ProgressSink& progress);

}  // namespace vireltan
