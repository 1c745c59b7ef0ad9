// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The filters applied when SNP data are opened, and the packing of what
// they keep into sample-major rows. In this order:
//   1. loci without a single call are always removed (with a warning);
//   2. loci called in fewer than --min-call-rate-locus of all samples;
//   3. samples called at fewer than --min-call-rate-sample of the loci kept;
//   4. loci whose minor allele frequency over the samples kept is below
//      --min-maf (and loci no kept sample calls).
// Rates and frequencies are fractions in [0, 1]; 0 keeps everything.
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/snp/raw_snp_data.h"

namespace vireltan {

struct SnpFilterOptions {
  double minCallRateLocus = 0;
  double minCallRateSample = 0;
  double minMaf = 0;
};

// What the filters removed, for the results log.
struct SnpFilterReport {
  int lociRead = 0, samplesRead = 0;
  int allMissingLoci = 0;
  int lowCallRateLoci = 0;
  int lowCallRateSamples = 0;
  int lowMafLoci = 0;
  std::vector<std::string> removedSamples;  // names, file order
};

// Ok when every option lies in [0, 1]; else the error names the option.
Status CheckSnpFilterOptions(const SnpFilterOptions& options);

// Applies the filters to `raw` and packs what is kept: `keptSamples` and
// `keptLoci` receive the indices into raw's samples and loci. An error when
// no locus or no sample is left. Time O(N·L/32) words plus one pass per
// kept call for the packing; memory: the packed result beside `raw`.
Status FilterAndPack(const RawSnpData& raw, const SnpFilterOptions& options, ProgressSink& progress,
                     std::vector<int>& keptSamples, std::vector<int>& keptLoci,
                     PackedGenotypes& packed, SnpFilterReport& report);

}  // namespace vireltan
