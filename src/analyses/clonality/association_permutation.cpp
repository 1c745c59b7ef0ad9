// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/clonality/association_permutation.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "analyses/clonality/association_pair_pass.h"
#include "common/parallel_for.h"
#include "numeric/random.h"

namespace vireltan {

std::int64_t PairSquareSums::Compute(const AssociationInput& in, const std::uint32_t* columns) {
  std::size_t rows = 0;
  for (int j = 0; j < in.locusCount; ++j) rows += static_cast<std::size_t>(in.genotypeCount[j]) + 1;
  if (rows * static_cast<std::size_t>(in.rowCount) > kRowTableBudget) return ByPairs(in, columns);
  return ByRows(in, columns);
}

std::int64_t PairSquareSums::ByRows(const AssociationInput& in, const std::uint32_t* columns) {
  const int n = in.rowCount, loci = in.locusCount;
  offset_.assign(loci + 1, 0);
  for (int j = 0; j < loci; ++j)
    offset_[j + 1] = offset_[j] + static_cast<std::size_t>(in.genotypeCount[j] + 1) * n;
  if (rows_.size() < offset_[loci]) rows_.resize(offset_[loci]);
  if (sums_.size() < static_cast<std::size_t>(n)) sums_.resize(n);
  for (int j = 0; j < loci; ++j) {
    const std::uint32_t* column = columns + static_cast<std::size_t>(j) * n;
    const int g = in.genotypeCount[j];
    std::uint8_t* rows = rows_.data() + offset_[j];
    const std::uint8_t* table = in.distance[j].empty() ? nullptr : in.distance[j].data();
    // Row g (the last) stands for a missing genotype: all zeros. Unit b
    // fills column b of every row from row h of the symmetric table.
    std::fill(rows + static_cast<std::size_t>(g) * n, rows + static_cast<std::size_t>(g + 1) * n,
              0);
    for (int b = 0; b < n; ++b) {
      const std::uint32_t h = column[b];
      if (h == AssociationInput::kMissing) {
        for (int x = 0; x < g; ++x) rows[static_cast<std::size_t>(x) * n + b] = 0;
      } else if (table) {
        const std::uint8_t* th = table + static_cast<std::size_t>(h) * g;
        for (int x = 0; x < g; ++x) rows[static_cast<std::size_t>(x) * n + b] = th[x];
      } else {
        for (int x = 0; x < g; ++x)
          rows[static_cast<std::size_t>(x) * n + b] =
              static_cast<std::uint8_t>(in.Distance(j, x, h));
      }
    }
  }
  std::int64_t total = 0;
  std::uint16_t* sums = sums_.data();
  for (int a = 0; a + 1 < n; ++a) {
    if (a % kRowsBetweenPolls == 0 && Stopped()) return 0;
    const int first = a + 1;
    std::fill(sums + first, sums + n, 0);
    for (int j = 0; j < loci; ++j) {
      std::uint32_t x = columns[static_cast<std::size_t>(j) * n + a];
      if (x == AssociationInput::kMissing) continue;
      const std::uint8_t* row = rows_.data() + offset_[j] + static_cast<std::size_t>(x) * n;
      for (int b = first; b < n; ++b) sums[b] = static_cast<std::uint16_t>(sums[b] + row[b]);
    }
    std::uint64_t squares = 0;
    for (int b = first; b < n; ++b) squares += static_cast<std::uint32_t>(sums[b]) * sums[b];
    total += static_cast<std::int64_t>(squares);
  }
  return total;
}

std::int64_t PairSquareSums::ByPairs(const AssociationInput& in,
                                     const std::uint32_t* columns) const {
  const int n = in.rowCount, loci = in.locusCount;
  std::int64_t total = 0;
  for (int a = 0; a + 1 < n; ++a) {
    if (a % kRowsBetweenPolls == 0 && Stopped()) return 0;
    for (int b = a + 1; b < n; ++b) {
      std::int64_t d = 0;
      for (int j = 0; j < loci; ++j) {
        const std::uint32_t* column = columns + static_cast<std::size_t>(j) * n;
        const std::uint32_t g = column[a], h = column[b];
        if (g != AssociationInput::kMissing && h != AssociationInput::kMissing)
          d += in.Distance(j, g, h);
      }
      total += d * d;
    }
  }
  return total;
}

AssociationResult IndexFromSums(std::int64_t sumD2, int unitCount,
                                const std::vector<LocusPairSums>& locusSums) {
  AssociationResult r;
  std::int64_t sumD = 0;
  for (const LocusPairSums& s : locusSums) {
    r.expectedVariance += s.variance();
    sumD += s.sum;
  }
  if (unitCount < 3) return r;
  const double pairs = static_cast<double>(unitCount) * (unitCount - 1) / 2;
  const double mean = static_cast<double>(sumD) / pairs;
  r.observedVariance = std::max(0.0, static_cast<double>(sumD2) / pairs - mean * mean);
  const double excess = VarianceExcess(sumD, sumD2, unitCount, locusSums, r.expectedVariance);
  if (r.expectedVariance > 0) r.ia = excess / r.expectedVariance;
  const double cross = LocusCrossTerm(locusSums);
  if (cross > 0) r.rbarD = excess / (2 * cross);
  return r;
}

namespace {

// The genotype columns of `in` (columns[j * n + u]), shuffled at each locus
// among the units typed there when `random` is given: the typed units'
// genotypes in unit order are permuted (Fisher-Yates from the last) and
// given back to the typed units in unit order; missing genotypes stay with
// their units. Without missing data this is a shuffle of the whole column.
void FillColumns(const AssociationInput& in, RandomGenerator* random,
                 std::vector<std::uint32_t>& columns, std::vector<std::uint32_t>& typed) {
  const int n = in.rowCount, loci = in.locusCount;
  columns.resize(static_cast<std::size_t>(n) * loci);
  for (int j = 0; j < loci; ++j) {
    std::uint32_t* column = columns.data() + static_cast<std::size_t>(j) * n;
    for (int u = 0; u < n; ++u) column[u] = in.genotype[static_cast<std::size_t>(u) * loci + j];
    if (!random) continue;
    typed.clear();
    for (int u = 0; u < n; ++u)
      if (column[u] != AssociationInput::kMissing) typed.push_back(column[u]);
    for (int i = static_cast<int>(typed.size()) - 1; i > 0; --i)
      std::swap(typed[i], typed[random->Below(i + 1)]);
    std::size_t next = 0;
    for (int u = 0; u < n; ++u)
      if (column[u] != AssociationInput::kMissing) column[u] = typed[next++];
  }
}

}  // namespace

double AssociationTestBytes(const AssociationInput& in, int units) {
  const double share = in.unitCount > 0 ? static_cast<double>(units) / in.unitCount : 1.0;
  double rows = 0;
  for (int g : in.genotypeCount) rows += std::min<double>(g * share, units) + 1;
  const double tables = std::min(rows * units, static_cast<double>(kRowTableBudget));
  const double threads = std::max(1u, std::thread::hardware_concurrency());
  return threads * (tables + 4.0 * units * in.locusCount + 2.0 * units);
}

double AssociationAlleleTestBytes(const AssociationInput& in, int units) {
  // Per locus: rows of distances for the genotypes dealt out (at most one
  // per unit) and, when small enough, their table of distances.
  double rows = 0, tables = 0;
  std::vector<Allele> alleles;
  for (int j = 0; j < in.locusCount; ++j) {
    alleles.clear();
    for (const auto& [a, b] : in.alleles[j]) {
      alleles.push_back(a);
      alleles.push_back(b);
    }
    std::sort(alleles.begin(), alleles.end());
    const double k =
        static_cast<double>(std::unique(alleles.begin(), alleles.end()) - alleles.begin());
    const double g = std::min<double>(in.haploid ? k : k * (k + 1) / 2, units);
    rows += g + 1;
    if (g <= AssociationInput::kLargestTable) tables += g * g;
  }
  const double rowBytes = std::min(rows * units, static_cast<double>(kRowTableBudget));
  const double threads = std::max(1u, std::thread::hardware_concurrency());
  // Columns twice (shuffled and by unit), the allele pool, the pair sums.
  return threads * (rowBytes + tables + 8.0 * units * in.locusCount + 16.0 * units);
}

int PermutationsPerChunk(int units, int loci) {
  // About 5·10^7 pair-locus additions (a few hundredths of a second) per
  // chunk: the cancel flag is polled between chunks.
  const double perPermutation = 0.5 * units * (units - 1.0) * std::max(1, loci);
  return static_cast<int>(std::clamp(5e7 / std::max(1.0, perPermutation), 1.0, 256.0));
}

std::int64_t SumOfSquaredPairDistances(const AssociationInput& input) {
  std::vector<std::uint32_t> columns, typed;
  FillColumns(input, nullptr, columns, typed);
  PairSquareSums pass;
  return pass.Compute(input, columns.data());
}

std::vector<std::uint32_t> ShuffledGenotypeColumns(const AssociationInput& input,
                                                   std::uint32_t runSeed, int permutation) {
  RandomGenerator random =
      RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(permutation));
  std::vector<std::uint32_t> columns, typed;
  FillColumns(input, &random, columns, typed);
  return columns;
}

Status TestAssociation(const AssociationInput& in, const std::vector<LocusPairSums>& locusSums,
                       int permutations, std::uint32_t runSeed, ProgressSink* progress,
                       AssociationTest& test) {
  AssociationTest out;
  out.permutations = permutations;
  const int n = in.unitCount;
  for (std::int64_t w : in.weight)
    if (w != 1)
      return Status::Error(
          "The permutation test needs one row per unit (clonemates not collapsed).");
  // What a shuffle leaves unchanged: the locus sums (V_E, Σ D) and the
  // denominator of rbarD; rbarD is then computed as the summary computes it.
  double expected = 0;
  std::int64_t sumD = 0;
  for (const LocusPairSums& s : locusSums) {
    expected += s.variance();
    sumD += s.sum;
  }
  const double cross = LocusCrossTerm(locusSums);
  if (n < 3 || permutations < 1) {
    test = out;
    return Status::Ok();
  }
  if (cross <= 0) {
    // At most one locus varies: D is that locus's d_j, so V_O = V_E and
    // every shuffle gives the observed Ia (0 under poppr's rule) again.
    // All P permuted values tie the observed one: p = (P + 1)/(P + 1). rbarD
    // is undefined (0/0) and has no p.
    if (expected > 0) out.pIa = 1.0;
    test = out;
    return Status::Ok();
  }
  auto rbarD = [&](std::int64_t sumD2) {
    return VarianceExcess(sumD, sumD2, n, locusSums, expected) / (2 * cross);
  };
  const std::int64_t observed = SumOfSquaredPairDistances(in);
  out.observedRbarD = rbarD(observed);
  out.permutedRbarD.assign(permutations, 0.0);
  bool finished = ParallelFor(
      permutations,
      [&](int begin, int end) {
        PairSquareSums pass(progress);
        std::vector<std::uint32_t> columns, typed;
        for (int i = begin; i < end; ++i) {
          RandomGenerator random =
              RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(i));
          FillColumns(in, &random, columns, typed);
          out.permutedRbarD[i] = rbarD(pass.Compute(in, columns.data()));
        }
      },
      progress, PermutationsPerChunk(n, in.locusCount));
  if (!finished) return Status::Cancelled();
  int atOrAbove = 0;
  for (double r : out.permutedRbarD) atOrAbove += r >= *out.observedRbarD;
  const double p = (atOrAbove + 1.0) / (permutations + 1.0);
  out.pRbarD = p;
  if (expected > 0) out.pIa = p;
  test = std::move(out);
  return Status::Ok();
}

}  // namespace vireltan
