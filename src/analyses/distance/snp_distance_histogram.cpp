// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/distance/snp_distance_histogram.h"

#include <algorithm>
#include <cmath>

#include "sheet/table_file.h"

namespace vireltan {

SnpDistanceHistogram TabulateSnpDistances(const SnpDistanceMatrix& matrix) {
  SnpDistanceHistogram h;
  const int classes = static_cast<int>(std::ceil(1.0 / kSnpDistanceClassWidth));
  h.counts.assign(static_cast<std::size_t>(classes), 0);
  std::vector<double> row(static_cast<std::size_t>(matrix.mlgCount()));
  for (int j = 1; j < matrix.mlgCount(); ++j) {
    matrix.FillRow(j, j + 1, row);
    for (int k = j + 1; k <= matrix.mlgCount(); ++k) {
      const int c = std::min(classes - 1, static_cast<int>(row[k - 1] / kSnpDistanceClassWidth));
      ++h.counts[c];
      ++h.pairCount;
    }
  }
  return h;
}

void FillSnpDistanceChart(const SnpDistanceHistogram& histogram,
                          const std::vector<double>& replicateDistances, double threshold,
                          ChartData& chart) {
  chart.series.clear();
  chart.visible = true;
  chart.bottom.title = "SNP distance (share of differing alleles over the loci called in both)";
  chart.left.title = "Percentage of MLG pairs (%)";
  ChartSeries bars{kAllelicBarsSeries, ChartSeries::Kind::kBars};
  bars.legend = "MLG pairs in each class of 0.005";
  bars.barWidth = kSnpDistanceClassWidth;  // empty classes are left out
  double highest = 0, last = kSnpDistanceClassWidth;
  for (std::size_t c = 0; c < histogram.counts.size(); ++c) {
    if (histogram.counts[c] == 0 || histogram.pairCount == 0) continue;
    const double percent = 100.0 * histogram.counts[c] / histogram.pairCount;
    const double middle = (c + 0.5) * kSnpDistanceClassWidth;
    bars.points.push_back({middle, percent, "", ""});
    highest = std::max(highest, percent);
    last = (c + 1) * kSnpDistanceClassWidth;
  }
  for (double d : replicateDistances) last = std::max(last, d + kSnpDistanceClassWidth);
  chart.series.push_back(std::move(bars));
  if (histogram.pairCount == 0) {
    chart.left.fixedRange = chart.bottom.fixedRange = false;
    return;
  }
  chart.left = {chart.left.title, true, 0, highest * 1.05, 0, {}};
  chart.bottom = {chart.bottom.title, true, 0, last, 0, {}};
  if (!replicateDistances.empty()) {
    ChartSeries marks{kReplicateDistanceSeries, ChartSeries::Kind::kPoints};
    marks.legend = "distance between replicates";
    marks.color = "red";
    marks.showMarks = false;
    for (double d : replicateDistances) marks.points.push_back({d, highest * 0.02, "", "red"});
    chart.series.push_back(std::move(marks));
  }
  if (threshold >= 0) {
    ChartSeries line{kThresholdLineSeries, ChartSeries::Kind::kLine};
    line.points = {{threshold, 0, "", "red"},
                   {threshold, highest * 1.05, "T = " + FormatNumber(threshold), "red"}};
    chart.series.push_back(std::move(line));
  }
}

}  // namespace vireltan
