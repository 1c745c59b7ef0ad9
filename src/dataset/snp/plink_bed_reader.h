// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PLINK 1 binary filesets: the .bed genotypes (SNP-major, the layout of
// every PLINK 1.9 and 2 export) with the .bim loci and .fam samples beside
// it, opened by the .bed's path.
//
// The .bed starts with the bytes 6C 1B 01 (01: SNP-major), then one record
// per .bim line of ceil(N/4) bytes, N the .fam lines; each byte holds four
// samples, the first in the two lowest bits: 00 homozygous A1, 01 missing,
// 10 heterozygous, 11 homozygous A2. A1 is taken as the alternate allele
// and A2 as the reference (PLINK's own choice when it converts a VCF).
// PLINK codes every sample as diploid, so the fileset is diploid.
#include <string>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/snp/raw_snp_data.h"

namespace vireltan {

// Reads the fileset into `data`. The .bed's length must be exactly what the
// .bim and .fam announce; malformed lines are errors naming the file and
// line; sample names (the .fam's second column, IID) must be unique.
Status ReadPlinkBed(const std::string& bedPath, RawSnpData& data, ProgressSink& progress);

}  // namespace vireltan
