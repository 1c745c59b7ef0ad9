// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SNP data written back as VCF: all samples or a clone-corrected subset
// (one sample per MLG or MLL per population), for the programs downstream
// (population structure, relatedness) that want one individual per genet.
#include <string>
#include <vector>

#include "common/status.h"
#include "dataset/snp/snp_study.h"

namespace vireltan {

// Writes a VCF 4.2 text file: the header (GT only, the contigs in order of
// appearance), then one line per SNP with the calls of `units` (sample
// indices, in that order): 0/0, 0/1, 1/1, ./. (haploid 0, 1, .). Written
// line by line into a temporary file that replaces `path` only when whole.
Status WriteSnpVcf(const SnpStudy& study, const std::vector<int>& units,
                   const std::string& datasetName, const std::string& path);

}  // namespace vireltan
