// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The loaded dataset as typed arrays: what every analysis reads.
//
// Sampling units (SUs) are indexed 0..N-1 in file order. Alleles are sizes
// as the file gives them: three-digit codes (100..998) in the program's own
// layout, real sizes (1..65534) from GenAlEx and Genepop files. They are
// stored two per locus, smaller first; a haploid locus repeats its single
// allele, so every analysis can treat all loci as allele pairs. A missing
// allele is kMissingAllele, larger than any size, so that it sorts last as
// the native layout's 999 always did (MLG numbers and every order built on
// allele comparisons stay what they were on native files).
#include <cstdint>
#include <string>
#include <vector>

#include "sheet/cell.h"

namespace vireltan {

using Allele = std::uint16_t;
constexpr Allele kMissingAllele = 0xFFFF;
// Largest real allele size an imported file may hold.
constexpr int kLargestAlleleSize = 0xFFFE;
// The native layout's codes for a missing allele or genotype.
constexpr int kMissingHaploidCode = 999;
constexpr int kMissingDiploidCode = 999999;

struct Dataset {
  int sampleCount = 0;                  // N: SUs actually present in the file
  int locusCount = 0;                   // L: loci actually present in the file
  int ploidy = 2;                       // only the parity matters: odd = one allele per locus
  std::vector<std::string> locusNames;  // 0-based, L entries

  // Per SU (file order).
  // Text or number; a number read from text keeps its text ("007"), so
  // that designationText gives the designation exactly as in the file.
  std::vector<Cell> designations;
  std::vector<double> x;
  std::vector<double> y;
  std::vector<Allele> alleles;  // N * L * 2, see alleleAt()
  bool hasMissingData = false;

  // Populations: every SU belongs to one (index into populationNames, in
  // order of first appearance). A native file gives one population named
  // after the dataset unless a strata table is loaded; GenAlEx and Genepop
  // files give theirs. `populationsGiven` is false for that single default
  // population (the results log then says nothing about populations).
  std::vector<int> populationOfSu;
  std::vector<std::string> populationNames;
  bool populationsGiven = false;
  int populationCount() const { return static_cast<int>(populationNames.size()); }
  // Every stratum column of the last strata table loaded (the population
  // first, then the columns its header names, e.g. a region): names, the
  // value of each SU, and the table row of each SU (for messages). Empty
  // when no strata table was loaded.
  std::vector<std::string> strataNames;
  std::vector<std::vector<std::string>> strataOfSu;  // [column][SU]
  std::vector<int> strataRowOfSu;

  bool haploid() const { return ploidy % 2 != 0; }
  // Allele `which` (0 = smaller, 1 = larger) of SU `su` at locus `locus`
  // (both 0-based).
  Allele alleleAt(int su, int locus, int which) const {
    return alleles[(static_cast<size_t>(su) * locusCount + locus) * 2 + which];
  }
  const Allele* allelesOf(int su) const {
    return alleles.data() + static_cast<size_t>(su) * locusCount * 2;
  }
  // The native layout's six-digit code of a genotype, smaller allele first
  // (120124; 999999 missing, a missing allele written 999). Meaningful for
  // three-digit alleles only.
  int genotypeCode(int su, int locus) const {
    auto code = [](Allele a) { return a == kMissingAllele ? kMissingHaploidCode : int(a); };
    return code(alleleAt(su, locus, 0)) * 1000 + code(alleleAt(su, locus, 1));
  }
  // One number per allele pair, ordered as the pairs are (smaller allele
  // first, then the larger): equal keys are equal genotypes.
  std::uint32_t genotypeKey(int su, int locus) const {
    return static_cast<std::uint32_t>(alleleAt(su, locus, 0)) << 16 | alleleAt(su, locus, 1);
  }
  // Designation as text, as the file writes it (a workbook's numeric cell in
  // its shortest round-trip decimal form).
  std::string designationText(int su) const;
};

// MLG membership and the orders the analyses rely on.
struct MlgPartition {
  int mlgCount = 0;  // G
  // MLG number (1..G) of each SU, SUs in file order.
  std::vector<int> mlgOfSu;
  // SUs in "dataset table" order: ascending genotype key, file order among
  // equal keys; so MLG numbers ascend along it.
  std::vector<int> keyOrder;
  // SUs in ascending designation order (numbers before texts, then by
  // bytes; SUs with equal designations keep their key order). This is the
  // index order (1..N) of the SU matrices.
  std::vector<int> designationOrder;
  // Per MLG (index m-1): number of SUs (clone size), and one representative
  // SU carrying its genotype.
  std::vector<int> cloneSize;
  std::vector<int> representative;
  // Centroid of each MLG's SUs, and the SU whose designation names the MLG
  // in the centroid table (the last one in designation order).
  std::vector<double> centroidX;
  std::vector<double> centroidY;
  std::vector<int> centroidNamingSu;
};

}  // namespace vireltan
