// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// pgen and Psex: is a repeated multilocus genotype a clone, or could the
// repeats have arisen from distinct sexual events?
//
// pgen is the probability of a unit's genotype under random mating, from the
// round-robin allele frequencies: a product over loci of 2pq (heterozygote)
// or p² (homozygote). pgen (fis) corrects each locus for departure from
// Hardy-Weinberg proportions with that locus's Fis: 2pq(1 - F) and
// p² + p(1 - p)F. Psex of the k-th re-encounter of an MLG among N units is
// the binomial upper tail P[X >= k], X ~ Binomial(N, pgen) (Parks & Werth
// 1993): a small Psex says the copies are unlikely to be independent
// sexual offspring.
#include <string>
#include <vector>

#include "analyses/identity/round_robin.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "dataset/dataset.h"
#include "numeric/factorial_table.h"
#include "sheet/sheet.h"

namespace vireltan {

// An allele carried by a unit but missing from the round-robin list of its
// locus (only units that the round robin dropped carried it). It is given the
// substitute frequency w: 1/(2G) in a heterozygote, 1/G in a homozygote.
struct AbsentAllele {
  Allele allele = 0;
  double w = 0;
};

// One locus's factors of pgen (f) and pgen (fis) (g) for the genotype
// a1/a2 (a1 <= a2), and the alleles it found absent (0, 1 or 2).
struct LocusProbability {
  double f = 1;
  double g = 1;
  int absentCount = 0;
  AbsentAllele absent[2];
};

LocusProbability GenotypeProbability(Allele a1, Allele a2, const RoundRobinLocus& list, double fis,
                                     int mlgCount);

struct PsexRow {
  int mlg = 0;         // MLG number of the unit
  double pgen = 0;     // at an odd ploidy the product of the single allele frequencies
  double pgenFis = 0;  // NaN at an odd ploidy, or when undefined (see ComputePsex)
  int nbramets = 0;    // 0 on the first unit of an MLG (no re-encounter)
  int reencounter = 0;
  double psex = 0;     // NaN on the first unit of an MLG
  double psexFis = 0;  // NaN there, at an odd ploidy, or when pgen (fis) is undefined
};

struct PsexResult {
  std::vector<RoundRobinLocus> roundRobin;  // per locus
  // Per locus, the absent alleles in the order the units first met them (each
  // once), with the w of the unit that met it first.
  std::vector<std::vector<AbsentAllele>> absentAlleles;
  // One row per sampling unit in the dataset table order (by MLG number).
  std::vector<PsexRow> rows;
  bool haploid = false;
  // Units whose Fis-corrected probability was left undefined (see below).
  int undefinedFisCount = 0;
};

// Round robin, then pgen, pgen (fis), re-encounters and Psex for every unit.
//
// `table` must hold the factorials up to min(N, 500) (FillFactorialTable):
// for N <= 500 the tail is summed from the table; for larger N the table has
// no entries and the tail is computed in log space from log-gamma, which is
// accurate for any N.
//
// pgen (fis) is a product of genotype frequencies under the inbreeding
// model; with a strongly negative Fis a rare homozygote's frequency
// p² + p(1 - p)F falls below 0 (F < -p/(1 - p) lies outside the range the
// model allows for that allele). Such a unit's pgen (fis) and psex (fis) are
// left undefined (NaN) rather than reported as a negative probability.
//
// Progress runs over 0..100; a cancel request is honoured between loci and
// between chunks of MLGs.
Status ComputePsex(const Dataset& dataset, const MlgPartition& mlgs, const FactorialTable& table,
                   PsexResult& result, ProgressSink* progress = nullptr);

// The output block: header, locus row, the round-robin allele table (with the
// absent alleles appended as "<" + w, and "Hnb", "Hobs", "fis" rows at an
// even ploidy), the column headings and one row per unit. NaN values leave
// their cells empty.
Sheet BuildPsexBlock(const PsexResult& result);

// `value` in general format with up to 15 significant digits, as the
// substitute frequencies are printed: fixed notation from 1E-5 up
// (0.0125, 0.333333333333333, 0.000025), scientific below (5E-6).
std::string FormatGeneral15(double value);

}  // namespace vireltan
