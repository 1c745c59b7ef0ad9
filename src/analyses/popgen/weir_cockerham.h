// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Weir & Cockerham's (1984) F-statistics as ratios of variance components,
// in the analysis-of-variance form hierfstat's wc uses. For each allele a
// of a locus, over the populations i typed there (r of them, n_i units,
// n_t = Σ n_i, allele frequency p_ia, h_ia heterozygotes carrying a,
// p̄_a = Σ n_i p_ia / n_t):
//   MSG = Σ_i h_ia/2 / n_t                      (within units)
//   MSI = Σ_i [n_i (p_ia − 2 p_ia²) + (2 n_i p_ia − h_ia)/2] / (n_t − r)
//   MSP = 2 Σ_i n_i (p_ia − p̄_a)² / (r − 1)
//   n_c = (n_t − Σ n_i²/n_t) / (r − 1)
//   σ²_w = MSG,  σ²_b = (MSI − MSG)/2,  σ²_a = (MSP − MSI)/(2 n_c);
// the components are summed over alleles (and loci for the overall values):
//   θ (Fst) = σ²_a / (σ²_a + σ²_b + σ²_w),  f (Fis) = σ²_b / (σ²_b + σ²_w),
//   F (Fit) = (σ²_a + σ²_b) / (σ²_a + σ²_b + σ²_w).
// A component that is undefined for an allele (one population typed, or as
// many populations as units) adds nothing to the sums, as in hierfstat.
// Haploid units count as homozygotes: only θ is reported then.
#include <cstdint>
#include <optional>
#include <vector>

#include "analyses/popgen/allele_count_table.h"
#include "common/progress_sink.h"
#include "numeric/random.h"

namespace vireltan {

struct VarianceComponents {
  double among = 0;      // σ²_a: among populations
  double between = 0;    // σ²_b: among units within populations
  double within = 0;     // σ²_w: within units
  bool defined = false;  // some allele of the locus gave components

  VarianceComponents& operator+=(const VarianceComponents& o) {
    among += o.among;
    between += o.between;
    within += o.within;
    defined = defined || o.defined;
    return *this;
  }
};

struct FStatistics {
  std::optional<double> fst, fis, fit;  // θ, f, F; empty where 0/0
};

// The components of one locus; O(alleles · P).
VarianceComponents LocusComponents(const AlleleCountTable& table, int locus);
// θ, f and F of summed components (f and F left empty for haploids).
FStatistics RatiosOf(const VarianceComponents& sum, bool haploid);

struct FStatisticsResult {
  std::vector<VarianceComponents> loci;  // per locus
  std::vector<FStatistics> perLocus;
  FStatistics overall;  // ratios of the sums over loci
  // 95 % intervals from resampling loci with replacement (2.5 % and 97.5 %
  // quantiles, R's type 7), empty without bootstrap.
  std::optional<double> fstLow, fstHigh, fisLow, fisHigh, fitLow, fitHigh;
  int bootstraps = 0;
};

// Per locus and overall, with `bootstraps` resamplings of the loci (0: no
// interval) drawn from streams of `runSeed`; false when cancelled.
bool ComputeFStatistics(const AlleleCountTable& table, int bootstraps, std::uint32_t runSeed,
                        ProgressSink* progress, FStatisticsResult& out);

// Overall θ of the table (usually two populations); empty when undefined.
std::optional<double> OverallTheta(const AlleleCountTable& table);

// R's quantile type 7 of `values` (sorted in place) at probability q.
double Quantile7(std::vector<double>& values, double q);

}  // namespace vireltan
