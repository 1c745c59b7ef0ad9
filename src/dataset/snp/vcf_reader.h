// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// VCF and BCF files, plain or bgzipped, read through htslib: the samples of
// the header and the GT field of every biallelic SNP.
#include <string>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/snp/raw_snp_data.h"

namespace vireltan {

// Reads `path` into `data`. A file without a GT field in its header, a
// damaged or truncated file (a bgzipped file must end with its end-of-file
// block) and duplicate sample names are errors naming the file (and the
// record: its number and CHROM:POS). Polls `progress` for cancellation.
Status ReadVcf(const std::string& path, RawSnpData& data, ProgressSink& progress);

}  // namespace vireltan
