// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/snp/call_rates.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vireltan {

namespace {
// "0.005", "0.05": the width as written in the legend, without trailing zeros.
std::string FormatBinWidth(double width) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", width);
  return text;
}
}  // namespace

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

CallRateBins ChooseCallRateBins(const std::vector<double>& rates) {
  double lo = 1, hi = 0;
  for (double r : rates) {
    if (!std::isfinite(r)) continue;
    lo = std::min(lo, std::clamp(r, 0.0, 1.0));
    hi = std::max(hi, std::clamp(r, 0.0, 1.0));
  }
  CallRateBins bins;
  if (lo > hi) return bins;  // no sample: the whole range in classes of 0.05
  // A round width (1, 2, 2.5 or 5 times a power of ten, at least 0.001)
  // giving at most kMaxCallRateBins classes over the rates met.
  const double span = hi - lo;
  double width = 0.001;
  for (double power = 0.001; power <= 1; power *= 10) {
    bool found = false;
    for (double m : {1.0, 2.0, 2.5, 5.0}) {
      width = m * power;
      if (span / width <= kMaxCallRateBins - 1) {
        found = true;
        break;
      }
    }
    if (found) break;
  }
  width = std::min(width, 0.05);
  // Edges on multiples of the width (rounded to 1e-9 so that 0.95 is one).
  auto edge = [&](double k) { return std::round(k * width * 1e9) / 1e9; };
  double from = edge(std::floor(lo / width + 1e-9));
  double to = edge(std::ceil(hi / width - 1e-9));
  if (to <= from) {
    // Every rate alike: one class of the width ending at them (1: every
    // SNP called) or starting at them.
    if (to >= 1)
      from = edge(std::round(1 / width) - 1);
    else
      to = edge(std::round(from / width) + 1);
  }
  bins.from = from;
  bins.width = width;
  bins.count = std::max(1, static_cast<int>(std::lround((to - from) / width)));
  return bins;
}

void FillCallRateChart(const std::vector<double>& rates, const std::string& datasetName,
                       ChartData& chart) {
  chart = ChartData();
  chart.role = ChartRole::kCallRate;
  chart.visible = true;
  chart.title = "Sample call rates, \"" + datasetName + "\"";
  const CallRateBins bins = ChooseCallRateBins(rates);
  std::vector<int> counts(static_cast<std::size_t>(bins.count), 0);
  for (double r : rates) {
    if (!std::isfinite(r)) continue;
    // Rounded to 1e-9 so that a rate on an edge opens its class; the last
    // class is closed (fully called samples count in it).
    const double scaled =
        std::round((std::clamp(r, 0.0, 1.0) - bins.from) / bins.width * 1e9) / 1e9;
    const int c = std::clamp(static_cast<int>(std::floor(scaled)), 0, bins.count - 1);
    ++counts[static_cast<std::size_t>(c)];
  }
  ChartSeries bars{kCallRateBarsSeries, ChartSeries::Kind::kBars};
  bars.legend = "samples in each class of " + FormatBinWidth(bins.width);
  bars.barWidth = bins.width;
  int highest = 0;
  for (int c = 0; c < bins.count; ++c) {
    bars.points.push_back({bins.from + (c + 0.5) * bins.width,
                           static_cast<double>(counts[static_cast<std::size_t>(c)]), "", ""});
    highest = std::max(highest, counts[static_cast<std::size_t>(c)]);
  }
  chart.series.push_back(std::move(bars));
  chart.bottom = {"Sample call rate (share of the SNPs called)", true, bins.from,
                  bins.from + bins.count * bins.width,           0,    {}};
  // Whole samples on the left axis: at least 1 so that an empty study
  // still has an axis.
  chart.left = {"Number of samples", true, 0, std::max(1.0, std::ceil(highest * 1.05)), 1, {}};
}

}  // namespace vireltan
