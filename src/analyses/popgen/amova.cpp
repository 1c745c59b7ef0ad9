// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/popgen/amova.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>

#include "common/parallel_for.h"
#include "numeric/random.h"

namespace vireltan {

namespace {

constexpr std::uint64_t kLow = 0x5555555555555555ULL;

}  // namespace

// ---------------------------------------------------------------------------
// Allele-size data.

AlleleSetVectors::AlleleSetVectors(std::vector<std::vector<int>> sets, std::vector<int> setOfEntity,
                                   int columnCount)
    : sets_(std::move(sets)), setOfEntity_(std::move(setOfEntity)), columnCount_(columnCount) {
  squares_.reserve(sets_.size());
  std::vector<int> count(columnCount_, 0);
  for (const auto& set : sets_) {
    double sum = 0;
    for (int c : set) ++count[c];
    for (int c : set) {
      sum += static_cast<double>(count[c]) * count[c];
      count[c] = 0;  // counted once: later copies of c add nothing
    }
    squares_.push_back(sum);
  }
}

double AlleleSetVectors::TotalSquares() const {
  double total = 0;
  for (int s : setOfEntity_) total += squares_[s];
  return total;
}

double AlleleSetVectors::GroupSquares(const std::vector<std::vector<int>>& members) const {
  std::vector<std::int64_t> count(columnCount_, 0);
  std::vector<int> touched;
  double total = 0;
  for (const auto& group : members) {
    if (group.empty()) continue;
    for (int e : group)
      for (int c : sets_[setOfEntity_[e]])
        if (count[c]++ == 0) touched.push_back(c);
    std::int64_t squares = 0;
    for (int c : touched) {
      squares += count[c] * count[c];
      count[c] = 0;
    }
    touched.clear();
    total += static_cast<double>(squares) / static_cast<double>(group.size());
  }
  return total;
}

std::unique_ptr<AlleleSetVectors> MakeAlleleSetVectors(const Dataset& dataset,
                                                       const std::vector<int>& units,
                                                       const std::vector<int>& loci, bool split) {
  // Columns: the alleles met at each locus, in ascending size.
  std::vector<std::map<Allele, int>> column(loci.size());
  for (std::size_t k = 0; k < loci.size(); ++k)
    for (int su : units)
      for (int which = 0; which < 2; ++which) column[k][dataset.alleleAt(su, loci[k], which)] = 0;
  int columns = 0;
  for (auto& alleles : column)
    for (auto& [allele, index] : alleles) index = columns++;

  const bool haploid = dataset.haploid();
  std::map<std::vector<int>, int> setIndex;
  std::vector<std::vector<int>> sets;
  std::vector<int> setOfEntity;
  setOfEntity.reserve(units.size() * (split ? 2 : 1));
  std::vector<int> cols;
  auto add = [&] {
    auto [it, added] = setIndex.emplace(cols, static_cast<int>(sets.size()));
    if (added) sets.push_back(cols);
    setOfEntity.push_back(it->second);
  };
  for (int su : units) {
    if (split) {
      for (int which = 0; which < 2; ++which) {
        cols.clear();
        for (std::size_t k = 0; k < loci.size(); ++k)
          cols.push_back(column[k].at(dataset.alleleAt(su, loci[k], which)));
        add();
      }
    } else {
      cols.clear();
      for (std::size_t k = 0; k < loci.size(); ++k) {
        cols.push_back(column[k].at(dataset.alleleAt(su, loci[k], 0)));
        if (!haploid) cols.push_back(column[k].at(dataset.alleleAt(su, loci[k], 1)));
      }
      add();
    }
  }
  return std::make_unique<AlleleSetVectors>(std::move(sets), std::move(setOfEntity), columns);
}

CompleteData KeepCompleteData(const Dataset& dataset, const std::vector<int>& units,
                              double maxMissing) {
  auto missing = [&](int su, int l) {
    return dataset.alleleAt(su, l, 0) == kMissingAllele ||
           dataset.alleleAt(su, l, 1) == kMissingAllele;
  };
  CompleteData kept;
  const double n = static_cast<double>(units.size());
  for (int l = 0; l < dataset.locusCount; ++l) {
    int count = 0;
    for (int su : units) count += missing(su, l);
    if (units.empty() || count / n <= maxMissing) kept.loci.push_back(l);
  }
  for (int su : units) {
    bool complete = true;
    for (int l : kept.loci) complete = complete && !missing(su, l);
    if (complete) kept.units.push_back(su);
  }
  return kept;
}

// ---------------------------------------------------------------------------
// SNP data.

SnpAmovaVectors::SnpAmovaVectors(const PackedGenotypes& genotypes, int ploidy,
                                 std::vector<int> units, std::vector<std::uint64_t> keptMask,
                                 bool split)
    : genotypes_(genotypes),
      ploidy_(ploidy),
      units_(std::move(units)),
      keptMask_(std::move(keptMask)),
      split_(split) {
  for (std::uint64_t w : keptMask_) keptLoci_ += std::popcount(w & kLow);
}

namespace {

// Per kept SNP of one packed word, the alternate count of an entity in
// 2-bit fields (0..2), given its low and high call bits.
struct EntityBits {
  std::uint64_t lo, hi;  // for a count of lo + hi per field, each 0/1
};

}  // namespace

double SnpAmovaVectors::TotalSquares() const {
  // Per entity Σ_l (m − a)² + a² = L m² − 2 m Σa + 2 Σa², m the copies.
  const std::size_t words = genotypes_.wordsPerSample();
  double total = 0;
  for (int e = 0; e < entityCount(); ++e) {
    const int unit = units_[split_ ? e / 2 : e];
    const std::uint64_t* row = genotypes_.row(unit);
    std::int64_t sumA = 0, sumA2 = 0;
    int m = 1;
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t mask = keptMask_[w] & kLow;
      const std::uint64_t lo = row[w] & mask, hi = (row[w] >> 1) & mask;
      if (split_) {
        const std::uint64_t a = (e % 2 == 0) ? (lo & hi) : lo;
        sumA += std::popcount(a);
        sumA2 += std::popcount(a);
      } else if (ploidy_ == 1) {
        sumA += std::popcount(hi);
        sumA2 += std::popcount(hi);
      } else {
        m = 2;
        sumA += std::popcount(lo) + std::popcount(hi);
        sumA2 += std::popcount(lo & ~hi) + 4 * std::popcount(lo & hi);
      }
    }
    total += static_cast<double>(keptLoci_ * m * m - 2 * m * sumA + 2 * sumA2);
  }
  return total;
}

void SnpAmovaVectors::Add(int e, std::vector<std::int32_t>& sums) const {
  const int unit = units_[split_ ? e / 2 : e];
  const std::uint64_t* row = genotypes_.row(unit);
  const std::size_t words = genotypes_.wordsPerSample();
  for (std::size_t w = 0; w < words; ++w) {
    const std::uint64_t mask = keptMask_[w] & kLow;
    const std::uint64_t lo = row[w] & mask, hi = (row[w] >> 1) & mask;
    std::uint64_t a;  // the count in 2-bit fields
    if (split_)
      a = (e % 2 == 0) ? (lo & hi) : lo;
    else if (ploidy_ == 1)
      a = hi;
    else
      a = lo + hi;  // fields 0..2: no carry between fields
    if (a == 0) continue;
    std::int32_t* s = sums.data() + w * kCallsPerWord;
    for (int k = 0; k < kCallsPerWord; ++k) s[k] += static_cast<std::int32_t>((a >> (2 * k)) & 3u);
  }
}

double SnpAmovaVectors::GroupSquares(const std::vector<std::vector<int>>& members) const {
  const std::size_t words = genotypes_.wordsPerSample();
  const std::int64_t m = split_ || ploidy_ == 1 ? 1 : 2;
  // The alternate counts of an entity, per word, as fields lo + hi.
  auto bits = [&](int e, std::size_t w, std::uint64_t& lo, std::uint64_t& hi) {
    const std::uint64_t* row = genotypes_.row(units_[split_ ? e / 2 : e]);
    const std::uint64_t mask = keptMask_[w] & kLow;
    const std::uint64_t l = row[w] & mask, h = (row[w] >> 1) & mask;
    if (split_) {
      lo = (e % 2 == 0) ? (l & h) : l;
      hi = 0;
    } else if (ploidy_ == 1) {
      lo = h;
      hi = 0;
    } else {
      lo = l;
      hi = h;
    }
  };
  std::vector<std::int32_t> sums;
  double total = 0;
  for (const auto& group : members) {
    if (group.empty()) continue;
    const std::int64_t n = static_cast<std::int64_t>(group.size());
    // Σ_l (m n − A)² + A² = L m² n² − 2 m n ΣA + 2 ΣA², A = Σ_x a_x per SNP.
    std::int64_t sumA = 0, sumA2 = 0;
    if (n <= 8) {
      // Small groups (a unit's two allele sets): ΣA² = Σ_x Σ_y <a_x, a_y>
      // from popcounts, without a per-SNP table.
      for (std::size_t w = 0; w < words; ++w) {
        std::uint64_t lo[8], hi[8];
        for (int i = 0; i < n; ++i) bits(group[i], w, lo[i], hi[i]);
        for (int i = 0; i < n; ++i) {
          sumA += std::popcount(lo[i]) + std::popcount(hi[i]);
          for (int j = 0; j < n; ++j)
            sumA2 += std::popcount(lo[i] & lo[j]) + std::popcount(lo[i] & hi[j]) +
                     std::popcount(hi[i] & lo[j]) + std::popcount(hi[i] & hi[j]);
        }
      }
    } else {
      sums.assign(words * kCallsPerWord, 0);
      for (int e : group) Add(e, sums);
      for (std::int32_t a : sums) {
        sumA += a;
        sumA2 += static_cast<std::int64_t>(a) * a;
      }
    }
    const double squares =
        static_cast<double>(keptLoci_ * m * m * n * n - 2 * m * n * sumA + 2 * sumA2);
    total += squares / static_cast<double>(n);
  }
  return total;
}

CompleteData KeepCompleteSnps(const PackedGenotypes& genotypes, const std::vector<int>& units,
                              double maxMissing, std::vector<std::uint64_t>& keptMask) {
  const std::size_t words = genotypes.wordsPerSample();
  const int L = genotypes.locusCount();
  std::vector<int> missing(words * kCallsPerWord, 0);
  for (int su : units) {
    const std::uint64_t* row = genotypes.row(su);
    for (std::size_t w = 0; w < words; ++w) {
      std::uint64_t bits = MissingLowBits(row[w]);
      while (bits) {
        missing[w * kCallsPerWord + std::countr_zero(bits) / 2]++;
        bits &= bits - 1;
      }
    }
  }
  CompleteData kept;
  keptMask.assign(words, 0);
  const double n = static_cast<double>(units.size());
  for (int l = 0; l < L; ++l)
    if (units.empty() || missing[l] / n <= maxMissing) {
      kept.loci.push_back(l);
      keptMask[l / kCallsPerWord] |= std::uint64_t{3} << (2 * (l % kCallsPerWord));
    }
  for (int su : units) {
    const std::uint64_t* row = genotypes.row(su);
    bool complete = true;
    for (std::size_t w = 0; w < words && complete; ++w)
      complete = (MissingLowBits(row[w]) & keptMask[w]) == 0;
    if (complete) kept.units.push_back(su);
  }
  return kept;
}

// ---------------------------------------------------------------------------
// The variance components.

namespace {

// The design as one permutation leaves it, with the members of every level.
struct Fit {
  std::vector<double> sigma2;  // K + 1
  std::vector<double> ss, ms;
  std::vector<int> df;
};

// Group -> its group at every level above; level sizes in entities.
Fit FitDesign(const AmovaVectors& vectors, const AmovaDesign& design, double totalSquares,
              double totalWithin) {
  const int K = static_cast<int>(design.groupCount.size());
  const int E = static_cast<int>(design.groupOfEntity.size());
  // groupAt[k][e]: the level-k group of entity e.
  std::vector<std::vector<int>> groupAt(K);
  groupAt[K - 1] = design.groupOfEntity;
  for (int k = K - 2; k >= 0; --k) {
    groupAt[k].resize(E);
    for (int e = 0; e < E; ++e) groupAt[k][e] = design.parent[k + 1][groupAt[k + 1][e]];
  }
  // Sizes in entities, and W_k = Σ within level-k groups of SSD.
  std::vector<std::vector<double>> size(K);
  std::vector<double> within(K + 2);  // index k + 1; [0]: the whole, [K + 1]: entities
  within[0] = totalWithin;
  within[K + 1] = 0;
  for (int k = 0; k < K; ++k) {
    std::vector<std::vector<int>> members(design.groupCount[k]);
    size[k].assign(design.groupCount[k], 0);
    for (int e = 0; e < E; ++e) members[groupAt[k][e]].push_back(e);
    for (int g = 0; g < design.groupCount[k]; ++g)
      size[k][g] = static_cast<double>(members[g].size());
    within[k + 1] = totalSquares - vectors.GroupSquares(members);
  }
  // Ancestors of each level-j group at level i <= j (i = -1: the whole).
  // anc[j][i][g], stored for i = 0..j.
  std::vector<std::vector<std::vector<int>>> anc(K);
  for (int j = 0; j < K; ++j) {
    anc[j].resize(j + 1);
    anc[j][j].resize(design.groupCount[j]);
    for (int g = 0; g < design.groupCount[j]; ++g) anc[j][j][g] = g;
    for (int i = j - 1; i >= 0; --i) {
      anc[j][i].resize(design.groupCount[j]);
      for (int g = 0; g < design.groupCount[j]; ++g)
        anc[j][i][g] = design.parent[i + 1][anc[j][i + 1][g]];
    }
  }
  Fit fit;
  fit.df.resize(K + 1);
  fit.ss.resize(K + 1);
  fit.ms.resize(K + 1);
  fit.sigma2.assign(K + 1, 0);
  auto count = [&](int level) {  // groups at level -1..K
    return level < 0 ? 1 : level >= K ? E : design.groupCount[level];
  };
  for (int s = 0; s <= K; ++s) {
    fit.df[s] = count(s) - count(s - 1);
    fit.ss[s] = within[s] - within[s + 1];
    fit.ms[s] = fit.df[s] > 0 ? fit.ss[s] / fit.df[s] : 0;
  }
  // Coefficient of σ²_j in E[MS_s] (j >= s; 1 for the entities' σ²):
  // (Σ_h n_h² / n_{anc_s(h)} − Σ_h n_h² / n_{anc_{s-1}(h)}) / df_s.
  auto coefficient = [&](int s, int j) {
    if (j == K) return 1.0;
    double a = 0, b = 0;
    for (int g = 0; g < design.groupCount[j]; ++g) {
      const double n2 = size[j][g] * size[j][g];
      a += n2 / size[s][anc[j][s][g]];
      b += n2 / (s == 0 ? static_cast<double>(E) : size[s - 1][anc[j][s - 1][g]]);
    }
    return (a - b) / fit.df[s];
  };
  fit.sigma2[K] = fit.ms[K];
  for (int s = K - 1; s >= 0; --s) {
    double rest = fit.ms[s];
    for (int j = s + 1; j <= K; ++j) rest -= coefficient(s, j) * fit.sigma2[j];
    const double own = coefficient(s, s);
    fit.sigma2[s] = own > 0 ? rest / own : 0;
  }
  return fit;
}

// Shuffles `labels` among the positions of each block (Fisher–Yates).
void ShuffleWithin(std::vector<int>& labels, const std::vector<std::vector<int>>& blocks,
                   RandomGenerator& random) {
  for (const auto& block : blocks)
    for (int i = static_cast<int>(block.size()) - 1; i > 0; --i) {
      const int j = random.Below(i + 1);
      std::swap(labels[block[i]], labels[block[j]]);
    }
}

}  // namespace

bool ComputeAmova(const AmovaVectors& vectors, const AmovaDesign& design, int permutations,
                  std::uint32_t seed, ProgressSink* progress, AmovaResult& result) {
  result = {};
  const int K = static_cast<int>(design.groupCount.size());
  const int E = vectors.entityCount();
  const double totalSquares = vectors.TotalSquares();
  std::vector<std::vector<int>> all(1);
  all[0].resize(E);
  for (int e = 0; e < E; ++e) all[0][e] = e;
  const double totalWithin = totalSquares - vectors.GroupSquares(all);
  const Fit fit = FitDesign(vectors, design, totalSquares, totalWithin);
  if (progress && progress->Cancelled()) return false;
  result.df = fit.df;
  result.ss = fit.ss;
  result.ms = fit.ms;
  result.sigma2 = fit.sigma2;
  result.totalDf = E - 1;
  result.totalSs = totalWithin;
  result.totalMs = E > 1 ? totalWithin / (E - 1) : 0;
  for (double s : fit.sigma2) result.totalSigma2 += s;
  result.phi.resize(K);
  double below = fit.sigma2[K];
  for (int k = K - 1; k >= 0; --k) {
    below += fit.sigma2[k];
    if (below != 0) result.phi[k] = fit.sigma2[k] / below;
  }
  if (result.totalSigma2 != 0) result.phiLowestTotal = 1 - fit.sigma2[K] / result.totalSigma2;
  if (permutations <= 0) return true;

  // The blocks within which each test permutes. Test K (within the lowest
  // groups): entities among all lowest groups. Test K-1: entities among
  // the lowest groups of the same level K-2 group. Test k < K-1: level-(k+1)
  // groups among the level-k groups of the same level k-1 group.
  std::vector<int> lowestAncestor;  // level K-2 group of every lowest group
  std::vector<std::vector<std::vector<int>>> blocks(K + 1);
  {
    std::vector<int> every(E);
    for (int e = 0; e < E; ++e) every[e] = e;
    blocks[K] = {every};
    // Entities by the level K-2 group of their group.
    const int outer = K >= 2 ? design.groupCount[K - 2] : 1;
    blocks[K - 1].assign(outer, {});
    for (int e = 0; e < E; ++e) {
      const int g = design.groupOfEntity[e];
      blocks[K - 1][K >= 2 ? design.parent[K - 1][g] : 0].push_back(e);
    }
    for (int k = 0; k < K - 1; ++k) {
      const int blocksOf = k >= 1 ? design.groupCount[k - 1] : 1;
      blocks[k].assign(blocksOf, {});
      for (int g = 0; g < design.groupCount[k + 1]; ++g) {
        const int parent = design.parent[k + 1][g];
        blocks[k][k >= 1 ? design.parent[k][parent] : 0].push_back(g);
      }
    }
  }
  result.permutations = permutations;
  result.p.assign(K + 1, 0);
  result.permutedMean.assign(K + 1, 0);
  result.permutedSd.assign(K + 1, 0);
  const double scale = std::abs(result.totalSigma2) + 1;
  for (int t = 0; t <= K; ++t) {
    std::vector<double> permuted(permutations);
    const bool ok = ParallelFor(
        permutations,
        [&](int begin, int end) {
          for (int i = begin; i < end; ++i) {
            RandomGenerator random = RandomGenerator::ForStream(
                seed, static_cast<std::uint64_t>(t) * static_cast<std::uint64_t>(permutations) +
                          static_cast<std::uint64_t>(i));
            AmovaDesign d = design;
            if (t >= K - 1)
              ShuffleWithin(d.groupOfEntity, blocks[t], random);
            else
              ShuffleWithin(d.parent[t + 1], blocks[t], random);
            permuted[i] = FitDesign(vectors, d, totalSquares, totalWithin).sigma2[t];
          }
        },
        progress, 1);
    if (!ok) return false;
    const double observed = fit.sigma2[t];
    const double tie = 1e-10 * scale;
    int b = 0;
    for (double v : permuted) b += t == K ? (v <= observed + tie) : (v >= observed - tie);
    result.p[t] = (b + 1.0) / (permutations + 1.0);
    double mean = 0;
    for (double v : permuted) mean += v;
    mean /= permutations;
    double squares = 0;
    for (double v : permuted) squares += (v - mean) * (v - mean);
    result.permutedMean[t] = mean;
    result.permutedSd[t] = permutations > 1 ? std::sqrt(squares / (permutations - 1)) : 0;
  }
  return true;
}

}  // namespace vireltan
