// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A SNP study as opened: the kept samples and loci, their packed calls and
// what the sample sheet says of each sample; and the partition of its
// samples into exact multilocus genotypes.
#include <cstdint>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "dataset/snp/packed_genotypes.h"
#include "dataset/snp/raw_snp_data.h"
#include "dataset/snp/sample_sheet.h"
#include "dataset/snp/snp_filters.h"

namespace vireltan {

// What Open needs beyond the data file's path.
struct SnpOpenOptions {
  std::string samplesPath;  // the sample sheet; empty for none
  SnpFilterOptions filters;
};

struct SnpStudy {
  std::string format;                    // "VCF", "BCF" or "PLINK"
  std::vector<std::string> sampleNames;  // kept samples, file order
  std::vector<SnpLocus> loci;            // kept loci, file order
  int ploidy = 2;                        // 1 or 2
  PackedGenotypes genotypes;             // kept samples x kept loci
  JoinedSamples samples;                 // sheet information of the kept samples
  SnpFilterReport filters;
  std::string skippedSitesWarning;  // "" when no site was skipped
  // Sites of the data file left out, by cause (see RawSnpData).
  std::int64_t skippedNotBiallelic = 0, skippedNotSnp = 0, skippedPloidy = 0;
  // Replicate pairs whose partner was removed by --min-call-rate-sample.
  int replicatePairsLost = 0;

  int sampleCount() const { return genotypes.sampleCount(); }
  int locusCount() const { return genotypes.locusCount(); }
};

// True for the extensions of the SNP formats: .vcf, .vcf.gz, .vcf.bgz,
// .bcf and .bed (any case).
bool IsSnpDataPath(const std::string& path);

// Reads the data file (VCF or BCF through htslib, PLINK by its .bed), joins
// the sample sheet (before the filters: a name missing on either side is an
// error whatever the filters remove) and applies the filters.
// `defaultPopulation` names the single population when the sheet gives
// none. Polls `progress` for cancellation.
Status LoadSnpStudy(const std::string& path, const SnpOpenOptions& options,
                    const std::string& defaultPopulation, ProgressSink& progress, SnpStudy& study);

// The dataset the rest of the program sees for a SNP study: the samples
// (designations, coordinates, populations) but no allele table (L = 0; the
// genotypes stay packed in the study).
Dataset SnpSampleDataset(const SnpStudy& study);

// Exact MLGs of the packed calls (a missing call is a value of its own, as
// for allele tables), numbered in ascending order of the calls compared
// locus by locus (reference homozygote, heterozygote, alternate homozygote,
// missing); memory O(N), time O(N log N) row comparisons.
MlgPartition IdentifyPackedMlgs(const SnpStudy& study, const Dataset& samples);

}  // namespace vireltan
