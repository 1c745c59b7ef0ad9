// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Format > Arlequin: the clone-corrected dataset as an Arlequin project, one
// sample named after the dataset holding one genotype per distinct MLG
// (standard, non-DNA data, gametic phase unknown).
//
// Every line ends with CR LF, as Arlequin's Windows heritage expects. Each
// MLG takes two lines: its number right-aligned so that it ends in column
// 10 for MLGs 1..99 (nine blanks before 1..9, eight from 10 on), the count
// 1, then the smaller allele of each locus; the second line holds, after
// twelve blanks, the larger allele of each locus. Alleles are "%3.0f" codes
// each preceded by one blank; a haploid allele appears on both lines, and a
// missing allele stays 999 (the file declares '0' as the missing code, so
// Arlequin reads 999 as an allele: users should know their data are
// complete).
#include <string>

#include "common/status.h"
#include "dataset/dataset.h"

namespace vireltan {

std::string FormatArlequinProject(const Dataset& dataset, const MlgPartition& mlgs,
                                  const std::string& sampleName);

// Writes the project to `path`, replacing any file there only once complete;
// a file that cannot be created gives a message naming it.
Status WriteArlequinFile(const Dataset& dataset, const MlgPartition& mlgs,
                         const std::string& sampleName, const std::string& path);

}  // namespace vireltan
