// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Analysis of molecular variance (Excoffier, Smouse & Quattro 1992) on
// squared Euclidean distances between allele-count vectors, over a nested
// hierarchy of one or more grouping levels above the units counted (or
// above their allele sets, for the within-individual level).
//
// With d²(x, y) = |x − y|², the sum of squared deviations of a group G of
// n_G vectors is
//   SSD(G) = (1 / (2 n_G)) Σ_i Σ_j d²_ij = Σ_{x∈G} |x|² − |S_G|² / n_G,
// S_G the sum of the group's vectors. Every sum of squares therefore comes
// from per-group allele-count sums in O(entities × loci) time and
// O(groups' alleles) memory: no N × N (nor G × G) table of distances is ever
// built, and a permutation, which only changes group memberships, costs the
// same again. The distances are Euclidean by construction, so the variance
// components are exact.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/progress_sink.h"
#include "dataset/dataset.h"
#include "dataset/snp/packed_genotypes.h"

namespace vireltan {

// The vectors the analysis runs on: entity i is a unit (or one allele set of
// a unit); the data kind knows how to sum them. Implementations are const
// and safe to call from several threads at once.
class AmovaVectors {
 public:
  virtual ~AmovaVectors() = default;
  virtual int entityCount() const = 0;
  // Σ |x|² over all entities.
  virtual double TotalSquares() const = 0;
  // Σ_G |S_G|² / n_G over the groups whose entities `members` lists (every
  // group non-empty).
  virtual double GroupSquares(const std::vector<std::vector<int>>& members) const = 0;
};

// Microsatellite (allele-size) data: each entity is a list of allele
// columns, one per allele copy (a homozygous diploid locus lists its column
// twice). Entities sharing an allele set (clones) share one list.
class AlleleSetVectors : public AmovaVectors {
 public:
  // `sets[s]`: the columns of distinct allele set s; `setOfEntity[i]`: the
  // set of entity i; `columnCount`: the number of allele columns.
  AlleleSetVectors(std::vector<std::vector<int>> sets, std::vector<int> setOfEntity,
                   int columnCount);
  int entityCount() const override { return static_cast<int>(setOfEntity_.size()); }
  double TotalSquares() const override;
  double GroupSquares(const std::vector<std::vector<int>>& members) const override;
  int distinctSets() const { return static_cast<int>(sets_.size()); }

 private:
  std::vector<std::vector<int>> sets_;
  std::vector<int> setOfEntity_;
  std::vector<double> squares_;  // |x|² of each set
  int columnCount_ = 0;
};

// The allele columns of `units` at `loci` of an allele-size dataset: one
// entity per unit (`split` false; diploid counts 0/1/2) or two per unit,
// the smaller and the larger allele of each locus (`split` true: unit u of
// the list gives entities 2u and 2u+1). Units must be typed at every locus
// given.
std::unique_ptr<AlleleSetVectors> MakeAlleleSetVectors(const Dataset& dataset,
                                                       const std::vector<int>& units,
                                                       const std::vector<int>& loci, bool split);

// SNP data from the packed calls: per SNP the vector (reference count,
// alternate count), so d² = 2 Σ_SNPs (difference in alternate count)². An
// entity is a unit (counts 0..ploidy) or, split, one of its two allele sets
// (0/1: the first carries the alternate allele of homozygous alternate
// calls only, the second of heterozygous ones too). Only the SNPs of
// `lociMask` (1 = kept) count; units must be called at every one of them.
class SnpAmovaVectors : public AmovaVectors {
 public:
  SnpAmovaVectors(const PackedGenotypes& genotypes, int ploidy, std::vector<int> units,
                  std::vector<std::uint64_t> keptMask, bool split);
  int entityCount() const override { return static_cast<int>(units_.size()) * (split_ ? 2 : 1); }
  double TotalSquares() const override;
  double GroupSquares(const std::vector<std::vector<int>>& members) const override;

 private:
  // Adds the alternate counts of entity `e` to `sums` (one per SNP).
  void Add(int e, std::vector<std::int32_t>& sums) const;
  const PackedGenotypes& genotypes_;
  int ploidy_;
  std::vector<int> units_;
  std::vector<std::uint64_t> keptMask_;  // both bits of every kept SNP, per word
  bool split_;
  std::int64_t keptLoci_ = 0;
};

// The nested design: grouping levels 0 (top) .. K-1 (lowest), entities
// below. `groupOfEntity`: lowest-level group of every entity;
// `parent[k][g]`: the level k-1 group of level-k group g (parent[0] empty).
struct AmovaDesign {
  std::vector<int> groupCount;  // per level
  std::vector<int> groupOfEntity;
  std::vector<std::vector<int>> parent;
};

// The table. Sources 0..K-1: between the groups of level k within those of
// level k-1 (k = 0: between the top groups); source K: within the lowest
// groups (between their entities); then the total.
struct AmovaResult {
  std::vector<int> df;  // K + 1 sources
  std::vector<double> ss, ms, sigma2;
  int totalDf = 0;
  double totalSs = 0, totalMs = 0, totalSigma2 = 0;
  // Φ of level k: σ²_k / Σ_{j≥k} σ²_j (k = 0: σ²_0 / total), and the
  // lowest groups against the total, 1 − σ²_within / total.
  std::vector<std::optional<double>> phi;  // K entries, level 0..K-1
  std::optional<double> phiLowestTotal;
  // The permutation test of each σ² (K + 1 entries; empty when untested).
  int permutations = 0;
  std::vector<double> p;
  // Mean and standard deviation (divisor P − 1) of each σ² over its
  // permutations: ade4's expectation and √variance of randtest.amova.
  std::vector<double> permutedMean, permutedSd;
};

// The variance components of `design` over `vectors`. `permutations` > 0
// tests each σ² as ade4's randtest.amova (Excoffier et al. 1992): the
// within-groups σ² (smaller than chance) by permuting entities among all
// lowest groups; the lowest level's σ² by permuting entities among its
// groups within each group of the level above; the σ² of level k < K-1 by
// permuting whole level-(k+1) groups among level-k groups within each group
// of level k-1. p = (b+1)/(P+1). Permutation i of test t draws from
// RandomGenerator::ForStream(seed, t · P + i), so a seeded run repeats
// whatever the number of threads. False when cancelled.
bool ComputeAmova(const AmovaVectors& vectors, const AmovaDesign& design, int permutations,
                  std::uint32_t seed, ProgressSink* progress, AmovaResult& result);

// The missing-data rule: loci missing in more than `maxMissing` (a
// fraction) of `units` are left out, then units still missing one of the
// loci kept. Diploid or haploid allele-size data.
struct CompleteData {
  std::vector<int> units;  // kept, in the order given
  std::vector<int> loci;   // kept, ascending
};
CompleteData KeepCompleteData(const Dataset& dataset, const std::vector<int>& units,
                              double maxMissing);
// The same on packed SNP calls; `keptMask` gets both bits of every kept SNP.
CompleteData KeepCompleteSnps(const PackedGenotypes& genotypes, const std::vector<int>& units,
                              double maxMissing, std::vector<std::uint64_t>& keptMask);

}  // namespace vireltan
