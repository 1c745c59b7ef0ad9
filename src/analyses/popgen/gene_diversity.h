// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The diversity table of population genetics, per population, and the
// locus table over populations, from an AlleleCountTable.
//
// Per population and locus, with n the units typed, p_a the allele
// frequencies among their 2n gene copies (n for haploids):
//   Na   alleles seen (0 at a locus where no unit is typed);
//   Ne   effective alleles 1/Σp²;
//   Ar   allelic richness rarefied to k gene copies (El Mousadik & Petit
//        1996): Σ_a [1 − C(N − N_a, k) / C(N, k)], N copies typed, N_a of
//        allele a; k by default the smallest number of copies typed at a
//        locus in any population (hierfstat's allelic.richness);
//   Ho   share of heterozygous units;
//   Hs   Nei's (1987) unbiased gene diversity within the population,
//        n/(n−1) · (1 − Σp² − Ho/(2n)) (haploids n/(n−1) · (1 − Σp²)), as
//        hierfstat's basic.stats; empty below 2 units typed;
//   uHe  GenAlEx's unbiased expected heterozygosity 2n/(2n−1) · (1 − Σp²);
//   Fis  1 − Ho/Hs (hierfstat, GenAlEx: the mean over the loci where it is
//        defined).
// Each column of the table is the mean over loci with its standard error
// over loci (sd/√k). Pa counts the alleles seen in this population only
// (poppr's private_alleles, as counts of alleles).
//
// The locus table follows hierfstat's basic.stats per locus: over the
// populations typed there (np of them, ñ their harmonic mean size)
//   Hs = ñ/(ñ−1) · (1 − mean Σp² − mean Ho/(2ñ)),
//   Ht = 1 − Σ p̄² + Hs/(ñ np) − mean Ho/(2 ñ np),
//   Dst = Ht − Hs, Dst′ = np/(np−1) Dst, Ht′ = Hs + Dst′,
//   Fst = Dst/Ht, Fst′ = Dst′/Ht′, Fis = 1 − Ho/Hs, Dest = Dst′/(1 − Hs);
// the overall line takes the means over loci, then the ratios of the means.
#include <optional>
#include <string>
#include <vector>

#include "analyses/popgen/allele_count_table.h"

namespace vireltan {

struct LocusMean {
  std::optional<double> mean;  // over the loci where the statistic is defined
  std::optional<double> se;    // sd over those loci / √k; empty below 2 loci
  int loci = 0;                // k
};

struct DiversityRow {
  std::string name;
  int units = 0;  // N: units of the population
  int kept = 0;   // G: units counted (one per MLG or MLL when clone-corrected)
  LocusMean typed, na, ne, ar, ho, hs, uhe, fis;
  std::optional<int> privateAlleles;  // empty for a single population
};

struct DiversityTable {
  std::vector<DiversityRow> rows;  // populations in the table's order, then "Total"
  // Gene copies Ar is rarefied to; 0 when Ar is left out (SNP data).
  int rarefiedTo = 0;
  // Cells left empty, said in words for the block's notes.
  int cellsBelowTwoTyped = 0;     // Hs, Fis: fewer than 2 units typed
  int cellsBelowRarefaction = 0;  // Ar: fewer gene copies than rarefiedTo
};

struct DiversityOptions {
  bool allelicRichness = true;  // false on SNP data
  int rarefyTo = 0;             // 0: the smallest number of copies typed
};

// `units[p]` and `kept[p]`: the N and G of population p; `names[p]` its name.
DiversityTable ComputeDiversity(const AlleleCountTable& table,
                                const std::vector<std::string>& names,
                                const std::vector<int>& units, const DiversityOptions& options);

struct LocusDiversity {
  std::string locus;
  int alleles = 0;  // alleles seen among the units counted
  std::optional<double> ho, hs, ht, dst, htp, dstp, fst, fstp, fis, dest;
};

struct LocusDiversityTable {
  std::vector<LocusDiversity> loci;
  LocusDiversity overall;  // locus "Overall": means over loci, then ratios
};

LocusDiversityTable ComputeLocusDiversity(const AlleleCountTable& table,
                                          const std::vector<std::string>& locusNames);

// Allelic richness of one sample rarefied to k gene copies: `copies` holds
// the copies of each allele (N their sum >= k).
double RarefiedRichness(const std::vector<int>& copies, int k);

}  // namespace vireltan
