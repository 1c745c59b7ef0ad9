// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Frequency distribution of the SNP distances between MLGs, in classes of
// half a percent of differing alleles, drawn on the allelic-distance chart
// with the distances of the replicate pairs marked: the replicates show how
// far genotyping error alone moves two libraries of one individual, the
// rest of the distribution how far apart distinct genets lie.
#include <cstdint>
#include <vector>

#include "analyses/distance/snp_distance.h"
#include "charts/chart_data.h"

namespace vireltan {

inline constexpr double kSnpDistanceClassWidth = 0.005;
inline constexpr const char* kReplicateDistanceSeries = "replicate pairs";

struct SnpDistanceHistogram {
  std::vector<std::int64_t> counts;  // MLG pairs in [c·w, (c+1)·w), the last class closed
  std::int64_t pairCount = 0;        // G(G-1)/2
};

// One pass over the G(G-1)/2 cells of the matrix.
SnpDistanceHistogram TabulateSnpDistances(const SnpDistanceMatrix& matrix);

// Bars of the percentage of MLG pairs per class, at the class's middle;
// one red mark per replicate distance; `threshold` (when >= 0) drawn as the
// suggested threshold line.
void FillSnpDistanceChart(const SnpDistanceHistogram& histogram,
                          const std::vector<double>& replicateDistances, double threshold,
                          ChartData& chart);

}  // namespace vireltan
