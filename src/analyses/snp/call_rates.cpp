// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/snp/call_rates.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace vireltan {

std::int64_t MissingCallsOf(const PackedGenotypes& g, int sample) {
  // The unused tail of each row holds missing codes: not loci of the study.
  std::int64_t missing =
      g.locusCount() - static_cast<std::int64_t>(g.wordsPerSample()) * kCallsPerWord;
  const std::uint64_t* row = g.row(sample);
  for (std::size_t w = 0; w < g.wordsPerSample(); ++w)
    missing += std::popcount(MissingLowBits(row[w]));
  return missing;
}

std::vector<double> SampleCallRates(const PackedGenotypes& g) {
  const int n = g.sampleCount(), l = g.locusCount();
  std::vector<double> rates(static_cast<std::size_t>(n), 0.0);
  if (l == 0) return rates;
  for (int i = 0; i < n; ++i)
    rates[static_cast<std::size_t>(i)] = 1.0 - static_cast<double>(MissingCallsOf(g, i)) / l;
  return rates;
}

std::vector<int> CallRateClassCounts(const std::vector<double>& rates) {
  std::vector<int> counts(kCallRateClasses, 0);
  for (double r : rates) {
    const double scaled = std::round(r * kCallRateClasses * 1e9) / 1e9;
    const int c = std::clamp(static_cast<int>(std::floor(scaled)), 0, kCallRateClasses - 1);
    ++counts[static_cast<std::size_t>(c)];
  }
  return counts;
}

void FillCallRateChart(const std::vector<int>& classCounts, const std::string& datasetName,
                       ChartData& chart) {
  chart = ChartData();
  chart.role = ChartRole::kCallRate;
  chart.visible = true;
  chart.title = "Sample call rates, \"" + datasetName + "\"";
  constexpr double width = 1.0 / kCallRateClasses;
  ChartSeries bars{kCallRateBarsSeries, ChartSeries::Kind::kBars};
  bars.legend = "samples in each class of 0.05";
  bars.barWidth = width;
  int highest = 0;
  for (std::size_t c = 0; c < classCounts.size(); ++c) {
    bars.points.push_back(
        {(static_cast<double>(c) + 0.5) * width, static_cast<double>(classCounts[c]), "", ""});
    highest = std::max(highest, classCounts[c]);
  }
  chart.series.push_back(std::move(bars));
  chart.bottom = {"Sample call rate (share of the SNPs called)", true, 0, 1, 0.1, {}};
  // Whole samples on the left axis: at least 1 so that an empty study
  // still has an axis.
  chart.left = {"Number of samples", true, 0, std::max(1.0, std::ceil(highest * 1.05)), 0, {}};
}

}  // namespace vireltan
