// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/chart_data.h"

#include <cmath>

namespace vireltan {

ChartData DefaultChart(ChartRole role) {
  using Kind = ChartSeries::Kind;
  ChartData chart;
  chart.role = role;
  switch (role) {
    case ChartRole::kMap:
      chart.series = {{kMapUnitsSeries, Kind::kPoints, {}, {}}};
      break;
    case ChartRole::kPareto:
      chart.bottom.title = "Clone size s (sampling units, log scale)";
      chart.left.title = "Units in clones of size \u2265 s (%, log scale)";
      // Pareto points are plain circles: their labels are not drawn.
      chart.series = {{kParetoPointsSeries, Kind::kPoints, {}, {}, false},
                      {kParetoFitSeries, Kind::kLine, {}, {}}};
      break;
    case ChartRole::kSamplingEffort:
      chart.left.title = "Number of distinct MLGs";
      chart.left.increment = 1;
      chart.series = {{kEffortBoxesSeries, Kind::kBoxes, {}, {}},
                      {kEffortMeanSeries, Kind::kLine, {}, {}}};
      break;
    case ChartRole::kAllelicHistogram:
      chart.title = "Allelic distances between MLGs";
      chart.bottom.title = "Allelic distance (number of differing alleles)";
      chart.left.title = "Percentage of MLG pairs (%)";
      chart.series = {{kAllelicBarsSeries, Kind::kBars, {}, {}}};
      break;
    case ChartRole::kMicrosatHistogram:
      chart.title = "Microsatellite distances between MLGs";
      chart.bottom.title = "Microsatellite distance (sum of allele-size differences)";
      chart.left.title = "Percentage of MLG pairs (%)";
      chart.series = {{kMicrosatBarsSeries, Kind::kBars, {}, {}}};
      break;
    case ChartRole::kAssociation:
      chart.bottom.title = "rbarD";
      chart.left.title = "permutations (%)";
      chart.series = {{kAssociationBarsSeries, Kind::kBars, {}, {}},
                      {kAssociationObservedSeries, Kind::kLine, {}, {}}};
      break;
    case ChartRole::kSubrange:
    case ChartRole::kCorrelogram:
    case ChartRole::kCallRate:
    case ChartRole::kOrdination:
    case ChartRole::kIsolationByDistance:
      // Built whole by their analyses.
      break;
  }
  return chart;
}

double NiceAxisMaximum(double highest) {
  if (!(highest > 0) || !std::isfinite(highest)) return 1;
  const double wanted = highest * 1.02;
  const double power = std::pow(10.0, std::floor(std::log10(wanted)));
  for (double m : {1.0, 1.2, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0})
    if (m * power >= wanted * (1 - 1e-12)) return m * power;
  return 10 * power;
}

std::array<ChartData, kChartRoleCount> MakeDefaultCharts() {
  std::array<ChartData, kChartRoleCount> charts;
  for (int i = 0; i < kChartRoleCount; ++i) charts[i] = DefaultChart(static_cast<ChartRole>(i));
  return charts;
}

}  // namespace vireltan
