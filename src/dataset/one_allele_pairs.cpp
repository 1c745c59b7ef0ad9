// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/one_allele_pairs.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "common/parallel_for.h"
#include "dataset/pairwise_matrices.h"

namespace vireltan {

namespace {

// A 64-bit mix (splitmix64 finaliser): keys of different loci and alleles
// spread over the whole word, so that sums of them rarely collide.
std::uint64_t Mix(std::uint64_t v) {
  v += 0x9E3779B97F4A7C15ULL;
  v = (v ^ (v >> 30)) * 0xBF58476D1CE4E5B9ULL;
  v = (v ^ (v >> 27)) * 0x94D049BB133111EBULL;
  return v ^ (v >> 31);
}

std::uint64_t LocusTerm(int locus, Allele a, Allele b) {
  return Mix((static_cast<std::uint64_t>(locus) << 32) | (static_cast<std::uint64_t>(a) << 16) | b);
}

}  // namespace

std::vector<std::pair<int, int>> FindOneAllelePairs(const Dataset& d, const MlgPartition& mlgs) {
  const int g = mlgs.mlgCount;
  const int loci = d.locusCount;
  std::vector<std::pair<int, int>> pairs;
  if (g < 2 || loci == 0) return pairs;
  // The genotype hash is the sum of one term per locus, so the hash with a
  // locus masked is the sum less that locus's term.
  std::vector<std::uint64_t> whole(g, 0);
  for (int m = 0; m < g; ++m) {
    const Allele* a = d.allelesOf(mlgs.representative[m]);
    for (int l = 0; l < loci; ++l) whole[m] += LocusTerm(l, a[2 * l], a[2 * l + 1]);
  }
  const int oneAllele = d.haploid() ? 2 : 1;
  const int keysPerMlg = d.haploid() ? 1 : 2;
  // Open addressing: a slot holds a key and the head of its chain of MLGs.
  const size_t slots = std::bit_ceil(static_cast<size_t>(g) * keysPerMlg * 2);
  std::vector<std::uint64_t> slotKey(slots);
  std::vector<int> slotHead(slots);
  std::vector<int> next(static_cast<size_t>(g) * keysPerMlg);
  std::vector<int> used;
  for (int l = 0; l < loci; ++l) {
    std::fill(slotHead.begin(), slotHead.end(), -1);
    used.clear();
    for (int m = 0; m < g; ++m) {
      const Allele* a = d.allelesOf(mlgs.representative[m]);
      const std::uint64_t masked = whole[m] - LocusTerm(l, a[2 * l], a[2 * l + 1]);
      for (int which = 0; which < keysPerMlg; ++which) {
        // A homozygote enters once: its second key would repeat the first.
        if (which == 1 && a[2 * l] == a[2 * l + 1]) break;
        const std::uint64_t key =
            keysPerMlg == 1 ? masked : masked ^ Mix(0xA11E1E0000ULL + a[2 * l + which]);
        size_t s = key & (slots - 1);
        while (slotHead[s] >= 0 && slotKey[s] != key) s = (s + 1) & (slots - 1);
        if (slotHead[s] < 0) {
          slotKey[s] = key;
          used.push_back(static_cast<int>(s));
        }
        const int entry = m * keysPerMlg + which;
        next[entry] = slotHead[s];
        slotHead[s] = entry;
      }
    }
    // Every pair of a chain differs at most at locus l; the full distance
    // rules out hash collisions and pairs without a shared allele.
    for (int s : used) {
      for (int e = slotHead[s]; e >= 0; e = next[e]) {
        const int j = e / keysPerMlg;
        for (int f = next[e]; f >= 0; f = next[f]) {
          const int k = f / keysPerMlg;
          if (j == k) continue;
          if (PairwiseMatrices::AllelicDistanceSum(d.allelesOf(mlgs.representative[j]),
                                                   d.allelesOf(mlgs.representative[k]),
                                                   loci) == oneAllele)
            pairs.emplace_back(std::min(j, k) + 1, std::max(j, k) + 1);
        }
      }
    }
  }
  // A pair meets under one key only, barring a hash collision of two
  // masked genotypes; sorting and dropping repeats makes the list exact.
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  return pairs;
}

int MaxMicrosatDistance(const Dataset& d, const MlgPartition& mlgs) {
  const int g = mlgs.mlgCount;
  const int loci = d.locusCount;
  const int width = loci * 2;
  // The MLG genotypes in one contiguous block, so the pass walks memory in
  // order.
  std::vector<Allele> genotypes(static_cast<size_t>(g) * width);
  for (int m = 0; m < g; ++m) {
    const Allele* src = d.allelesOf(mlgs.representative[m]);
    std::copy(src, src + width, genotypes.begin() + static_cast<size_t>(m) * width);
  }
  std::vector<int> rowMax(g, 0);
  ParallelFor(
      g,
      [&](int begin, int end) {
        for (int j = begin; j < end; ++j) {
          const Allele* a = genotypes.data() + static_cast<size_t>(j) * width;
          int best = 0;
          for (int k = j + 1; k < g; ++k) {
            const Allele* b = genotypes.data() + static_cast<size_t>(k) * width;
            best = std::max(best, PairwiseMatrices::MicrosatDistanceSum(a, b, loci));
          }
          rowMax[j] = best;
        }
      },
      nullptr, std::max(1, g / 64));
  return g == 0 ? 0 : *std::max_element(rowMax.begin(), rowMax.end());
}

}  // namespace vireltan
