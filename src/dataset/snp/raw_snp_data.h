// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a SNP reader hands on: the samples and biallelic SNPs of the file, in
// file order, with the calls packed locus by locus, and what it skipped.
#include <cstdint>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

struct SnpLocus {
  std::string chromosome;
  std::int64_t position = 0;  // 1-based, as in VCF and .bim
  std::string id;             // "." when the file gives none
  std::string reference;      // one base; PLINK's A2
  std::string alternate;      // one base; PLINK's A1
};

struct RawSnpData {
  std::vector<std::string> sampleNames;
  int ploidy = 2;  // of every kept site: 1 or 2
  std::vector<SnpLocus> loci;
  LocusMajorCalls calls;
  // Sites left out, each counted once under its first reason.
  std::int64_t skippedNotBiallelic = 0;  // more than one alternate allele
  std::int64_t skippedNotSnp = 0;        // indels, symbolic alleles, no alternate
  std::int64_t skippedPloidy = 0;        // a mix of ploidies, or more than two sets
};

// The one warning that counts the sites left out; empty when none was.
std::string SkippedSitesWarning(const RawSnpData& data);

// Refuses what is not a regular file (a folder, a pipe, a device) before
// any reader touches it: `role` names it in the message ("data file").
Status RequireRegularFile(const std::string& path, const std::string& role);

// Sites read between two looks at the cancel flag.
inline constexpr int kSitesPerCancelCheck = 4096;

}  // namespace vireltan
