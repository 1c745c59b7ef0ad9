// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Call rates of SNP samples: the share of the study's SNPs called in each
// sample, counted on the packed rows (one popcount per word of 32 calls),
// and their histogram: in classes of 0.05 on the data page, in classes
// over the rates met on its chart. A sample with a low call rate has fewer loci to compare with
// the others, so its distances are less precise: the histogram tells at a
// glance whether --min-call-rate-sample is worth setting.
#include <cstdint>
#include <string>
#include <vector>

#include "charts/chart_data.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

// Classes of the call-rate histogram: [0, 0.05), [0.05, 0.1), ...,
// [0.95, 1], the last one closed so that fully called samples count in it.
inline constexpr int kCallRateClasses = 20;
inline constexpr const char* kCallRateBarsSeries = "samples by call rate";

// Missing calls of one sample among the study's SNPs (the padding of the
// row aside): one popcount per word.
std::int64_t MissingCallsOf(const PackedGenotypes& genotypes, int sample);

// Share of the locusCount() SNPs called in each sample, in [0, 1]; every
// rate is 0 when there is no SNP.
std::vector<double> SampleCallRates(const PackedGenotypes& genotypes);

// Samples per class of width 1 / kCallRateClasses (kCallRateClasses
// counts); a rate is first rounded to 1e-9 so that 0.05 exactly opens its
// class whatever the rounding of called / loci.
std::vector<int> CallRateClassCounts(const std::vector<double>& rates);

// The classes of the call-rate chart: `count` classes of `width` from
// `from`, over the rates met (not the whole of 0..1: rates of a study
// mostly lie within a few hundredths of 1).
inline constexpr int kMaxCallRateBins = 20;
struct CallRateBins {
  double from = 0;
  double width = 0.05;
  int count = kCallRateClasses;
};
// A round width (1, 2, 2.5 or 5 times a power of ten, from 0.001 to 0.05)
// giving at most kMaxCallRateBins classes between the lowest and highest
// rate; edges on multiples of the width. Rates all alike make one class
// (ending at 1 when they are 1).
CallRateBins ChooseCallRateBins(const std::vector<double>& rates);

// The histogram of the samples' call rates as a bar chart over the classes
// ChooseCallRateBins gives, every class drawn (empty ones at height 0),
// titled with the dataset's name.
void FillCallRateChart(const std::vector<double>& rates, const std::string& datasetName,
                       ChartData& chart);

}  // namespace vireltan
