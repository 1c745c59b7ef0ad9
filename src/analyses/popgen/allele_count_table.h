// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Allele and genotype counts per locus and population: what every
// population-genetics statistic of the program (diversity table, Weir &
// Cockerham F-statistics, pairwise Fst) is computed from. One pass over the
// genotypes of the units counted fills it; microsatellite tables and packed
// SNP calls give the same layout (a SNP locus has two alleles: reference 0,
// alternate 1), so that the statistics have one implementation.
//
// A diploid unit counts as typed at a locus only when both of its alleles
// are known (as hierfstat and pegas take a genotype with a missing allele).
// Memory: O((Σ alleles per locus) · P), nothing per unit.
#include <cstdint>
#include <vector>

#include "dataset/dataset.h"

namespace vireltan {

struct AlleleCountTable {
  int populationCount = 0;  // P
  int locusCount = 0;       // L
  bool haploid = false;     // one allele per unit and locus
  // Alleles of locus l are the indices alleleOffset[l] .. alleleOffset[l+1]-1
  // of the allele-major arrays; L + 1 entries.
  std::vector<int> alleleOffset;
  // Microsatellites: the allele size of each allele index (ascending within
  // a locus); empty for SNPs (index 0 reference, 1 alternate).
  std::vector<Allele> alleleSize;
  // Locus-major, L x P: units typed and heterozygous units of population p
  // at locus l at [l * P + p].
  std::vector<int> typed;
  std::vector<int> heterozygotes;
  // Allele-major, (Σ alleles) x P: at [a * P + p], the gene copies of
  // allele a in population p, and the heterozygous units of p that carry a.
  std::vector<int> copies;
  std::vector<int> hetCarrying;

  int alleles(int locus) const { return alleleOffset[locus + 1] - alleleOffset[locus]; }
  int totalAlleles() const { return alleleOffset.empty() ? 0 : alleleOffset.back(); }
  int Typed(int locus, int pop) const { return typed[locus * populationCount + pop]; }
  int Heterozygotes(int locus, int pop) const {
    return heterozygotes[locus * populationCount + pop];
  }
  // Copies of allele `allele` (0-based within the locus) in population `pop`.
  int Copies(int locus, int allele, int pop) const {
    return copies[(static_cast<std::size_t>(alleleOffset[locus]) + allele) * populationCount + pop];
  }
  int HetCarrying(int locus, int allele, int pop) const {
    return hetCarrying[(static_cast<std::size_t>(alleleOffset[locus]) + allele) * populationCount +
                       pop];
  }
  // Gene copies typed: 2 per typed diploid unit, 1 per haploid one.
  int GeneCopies(int locus, int pop) const { return Typed(locus, pop) * (haploid ? 1 : 2); }
};

// The table of an allele table's units: `unitsOfPopulation[p]` lists the
// units (0-based file indices) counted in population p. Alleles are those
// seen among these units, in ascending size at each locus.
AlleleCountTable CountAlleles(const Dataset& dataset,
                              const std::vector<std::vector<int>>& unitsOfPopulation);

// The same populations merged into one (the Total row of the diversity
// table): every count summed over the populations.
AlleleCountTable PoolPopulations(const AlleleCountTable& table);

// Only the populations listed, in that order (a pair for pairwise Fst).
AlleleCountTable SelectPopulations(const AlleleCountTable& table, const std::vector<int>& pops);

}  // namespace vireltan
