// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/clonality/index_of_association.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "common/parallel_for.h"
#include "common/word_choice.h"

namespace vireltan {

int GenotypeDistance(Allele a1, Allele a2, Allele b1, Allele b2, bool haploid) {
  if (haploid) return a1 == b1 ? 0 : 1;
  int shared = 0;
  bool usedB1 = false, usedB2 = false;
  for (Allele a : {a1, a2}) {
    if (!usedB1 && a == b1) {
      usedB1 = true;
      ++shared;
    } else if (!usedB2 && a == b2) {
      usedB2 = true;
      ++shared;
    }
  }
  return 2 - shared;
}

int AssociationInput::Distance(int j, std::uint32_t g, std::uint32_t h) const {
  if (!distance[j].empty()) return distance[j][static_cast<size_t>(g) * genotypeCount[j] + h];
  const auto& a = alleles[j][g];
  const auto& b = alleles[j][h];
  return GenotypeDistance(a.first, a.second, b.first, b.second, haploid);
}

double LocusPairSums::variance() const {
  if (pairs == 0) return 0.0;
  const double mean = static_cast<double>(sum) / pairs;
  return std::max(0.0, static_cast<double>(sumSquares) / pairs - mean * mean);
}

AssociationInput PrepareAssociation(const Dataset& d, const std::vector<int>& units,
                                    bool collapseClones) {
  AssociationInput in;
  const int loci = d.locusCount;
  const int width = 2 * loci;
  // Rows: the units, or one per distinct allele array (clonemates) with the
  // number of its units as weight.
  std::vector<int> rows;
  if (collapseClones) {
    std::vector<int> sorted = units;
    auto less = [&](int a, int b) {
      return std::lexicographical_compare(d.allelesOf(a), d.allelesOf(a) + width, d.allelesOf(b),
                                          d.allelesOf(b) + width);
    };
    std::sort(sorted.begin(), sorted.end(), less);
    for (size_t i = 0; i < sorted.size(); ++i) {
      if (i > 0 && !less(sorted[i - 1], sorted[i])) {
        ++in.weight.back();
        continue;
      }
      rows.push_back(sorted[i]);
      in.weight.push_back(1);
    }
  } else {
    rows = units;
    in.weight.assign(units.size(), 1);
  }
  const int n = static_cast<int>(rows.size());
  in.unitCount = static_cast<int>(units.size());
  in.rowCount = n;
  in.locusCount = loci;
  in.genotype.assign(static_cast<size_t>(n) * loci, AssociationInput::kMissing);
  in.genotypeCount.assign(loci, 0);
  in.distance.resize(loci);
  in.alleles.resize(loci);
  in.haploid = d.haploid();
  for (int j = 0; j < loci; ++j) {
    std::map<std::uint32_t, int> ids;
    std::vector<std::pair<Allele, Allele>>& pairs = in.alleles[j];
    for (int u = 0; u < n; ++u) {
      const int su = rows[u];
      Allele a = d.alleleAt(su, j, 0), b = d.alleleAt(su, j, 1);
      if (a == kMissingAllele || b == kMissingAllele) continue;
      auto [it, added] = ids.emplace(d.genotypeKey(su, j), static_cast<int>(pairs.size()));
      if (added) pairs.emplace_back(a, b);
      in.genotype[static_cast<size_t>(u) * loci + j] = static_cast<std::uint32_t>(it->second);
    }
    const int g = static_cast<int>(pairs.size());
    in.genotypeCount[j] = g;
    if (g > AssociationInput::kLargestTable) continue;
    in.distance[j].resize(static_cast<size_t>(g) * g);
    for (int x = 0; x < g; ++x)
      for (int y = 0; y < g; ++y)
        in.distance[j][static_cast<size_t>(x) * g + y] = static_cast<std::uint8_t>(GenotypeDistance(
            pairs[x].first, pairs[x].second, pairs[y].first, pairs[y].second, d.haploid()));
  }
  return in;
}

const char* IaMissingName(IaMissing rule) {
  return rule == IaMissing::kPoppr ? "poppr" : "typed-pairs";
}

bool ParseIaMissing(const std::string& word, IaMissing& rule) {
  return ParseByName(word, {IaMissing::kPoppr, IaMissing::kTypedPairs}, IaMissingName, rule);
}

std::vector<LocusPairSums> ComputeLocusPairSums(const AssociationInput& in, IaMissing missing) {
  const std::int64_t allPairs = static_cast<std::int64_t>(in.unitCount) * (in.unitCount - 1) / 2;
  std::vector<LocusPairSums> sums(in.locusCount);
  std::vector<std::int64_t> count;
  for (int j = 0; j < in.locusCount; ++j) {
    const int g = in.genotypeCount[j];
    count.assign(g, 0);
    for (int u = 0; u < in.rowCount; ++u) {
      std::uint32_t id = in.genotype[static_cast<size_t>(u) * in.locusCount + j];
      if (id != AssociationInput::kMissing) count[id] += in.weight[u];
    }
    std::int64_t typed = 0;
    for (std::int64_t c : count) typed += c;
    LocusPairSums& s = sums[j];
    // Under poppr's rule a pair with the locus missing counts with d_j = 0:
    // it adds to the pairs, not to the sums.
    s.pairs = missing == IaMissing::kPoppr ? allPairs : typed * (typed - 1) / 2;
    // Pairs of equal genotypes have d = 0; each unordered pair of distinct
    // genotypes x < y stands for count[x] * count[y] unit pairs.
    for (int x = 0; x < g; ++x)
      for (int y = x + 1; y < g; ++y) {
        const std::int64_t dxy = in.Distance(j, x, y);
        const std::int64_t pairs = count[x] * count[y];
        s.sum += pairs * dxy;
        s.sumSquares += pairs * dxy * dxy;
      }
  }
  return sums;
}

double VarianceExcess(std::int64_t sumD, std::int64_t sumD2, int unitCount,
                      const std::vector<LocusPairSums>& locusSums, double expectedVariance) {
  const std::int64_t allPairs = static_cast<std::int64_t>(unitCount) * (unitCount - 1) / 2;
  const double pairs = static_cast<double>(unitCount) * (unitCount - 1) / 2;
  bool complete = true;
  for (const LocusPairSums& s : locusSums) complete = complete && s.pairs == allPairs;
  if (complete) {
    using Wide = __int128;
    Wide scaled = Wide(allPairs) * sumD2 - Wide(sumD) * sumD;
    for (const LocusPairSums& s : locusSums)
      scaled -= Wide(allPairs) * s.sumSquares - Wide(s.sum) * s.sum;
    return static_cast<double>(scaled) / (pairs * pairs);
  }
  const double mean = static_cast<double>(sumD) / pairs;
  const double observedVariance = std::max(0.0, static_cast<double>(sumD2) / pairs - mean * mean);
  return observedVariance - expectedVariance;
}

double LocusCrossTerm(const std::vector<LocusPairSums>& locusSums) {
  double cross = 0;
  for (std::size_t j = 0; j < locusSums.size(); ++j)
    for (std::size_t k = j + 1; k < locusSums.size(); ++k)
      cross += std::sqrt(locusSums[j].variance() * locusSums[k].variance());
  return cross;
}

namespace {

// Rows of pairs per chunk of the pair pass: about 4 million pairs, a
// fraction of a second, so that a cancel is seen between chunks at once
// however large the dataset.
int RowsPerChunk(int rows) {
  constexpr std::int64_t kPairsPerChunk = std::int64_t{1} << 22;
  return static_cast<int>(std::clamp<std::int64_t>(kPairsPerChunk / std::max(rows, 1), 1, 256));
}

}  // namespace

AssociationResult IndexOfAssociation(const AssociationInput& in,
                                     const std::vector<LocusPairSums>& locusSums,
                                     ProgressSink* progress) {
  AssociationResult r;
  const int n = in.rowCount;
  const int loci = in.locusCount;
  for (const LocusPairSums& s : locusSums) r.expectedVariance += s.variance();
  if (in.unitCount < 3) return r;

  // The O(N² L) pass: D of every pair from the per-locus tables, rows of
  // pairs spread over the cores (integer sums: the result does not depend
  // on the order).
  std::int64_t sumD = 0, sumD2 = 0;
  std::mutex merge;
  std::vector<const std::uint8_t*> table(loci);
  for (int j = 0; j < loci; ++j)
    table[j] = in.distance[j].empty() ? nullptr : in.distance[j].data();
  bool finished = ParallelFor(
      n,
      [&](int first, int last) {
        std::int64_t chunkSum = 0, chunkSum2 = 0;
        for (int a = first; a < last; ++a) {
          const std::uint32_t* ga = in.genotype.data() + static_cast<size_t>(a) * loci;
          for (int b = a + 1; b < n; ++b) {
            const std::uint32_t* gb = in.genotype.data() + static_cast<size_t>(b) * loci;
            int dPair = 0;
            for (int j = 0; j < loci; ++j) {
              if (ga[j] == AssociationInput::kMissing || gb[j] == AssociationInput::kMissing)
                continue;
              dPair += table[j] ? table[j][static_cast<size_t>(ga[j]) * in.genotypeCount[j] + gb[j]]
                                : in.Distance(j, ga[j], gb[j]);
            }
            const std::int64_t w = in.weight[a] * in.weight[b];
            chunkSum += w * dPair;
            chunkSum2 += w * dPair * dPair;
          }
        }
        std::lock_guard<std::mutex> lock(merge);
        sumD += chunkSum;
        sumD2 += chunkSum2;
      },
      progress, RowsPerChunk(n));
  if (!finished) return r;
  const double pairs = static_cast<double>(in.unitCount) * (in.unitCount - 1) / 2;
  const double mean = static_cast<double>(sumD) / pairs;
  r.observedVariance = std::max(0.0, static_cast<double>(sumD2) / pairs - mean * mean);

  const double excess = VarianceExcess(sumD, sumD2, in.unitCount, locusSums, r.expectedVariance);
  if (r.expectedVariance > 0) r.ia = excess / r.expectedVariance;
  const double cross = LocusCrossTerm(locusSums);
  if (cross > 0) r.rbarD = excess / (2 * cross);
  return r;
}

}  // namespace vireltan
