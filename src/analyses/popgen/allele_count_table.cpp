// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/popgen/allele_count_table.h"

#include <algorithm>

namespace vireltan {

AlleleCountTable CountAlleles(const Dataset& d,
                              const std::vector<std::vector<int>>& unitsOfPopulation) {
  AlleleCountTable t;
  const int P = static_cast<int>(unitsOfPopulation.size());
  const int L = d.locusCount;
  t.populationCount = P;
  t.locusCount = L;
  t.haploid = d.haploid();
  t.alleleOffset.assign(L + 1, 0);
  // The alleles of each locus among the units counted, ascending.
  std::vector<std::vector<Allele>> seen(L);
  for (const auto& units : unitsOfPopulation)
    for (int su : units)
      for (int l = 0; l < L; ++l)
        for (int w = 0; w < 2; ++w)
          if (Allele a = d.alleleAt(su, l, w); a != kMissingAllele) seen[l].push_back(a);
  for (int l = 0; l < L; ++l) {
    std::sort(seen[l].begin(), seen[l].end());
    seen[l].erase(std::unique(seen[l].begin(), seen[l].end()), seen[l].end());
    t.alleleOffset[l + 1] = t.alleleOffset[l] + static_cast<int>(seen[l].size());
    t.alleleSize.insert(t.alleleSize.end(), seen[l].begin(), seen[l].end());
  }
  t.typed.assign(static_cast<std::size_t>(L) * P, 0);
  t.heterozygotes.assign(t.typed.size(), 0);
  t.copies.assign(static_cast<std::size_t>(t.totalAlleles()) * P, 0);
  t.hetCarrying.assign(t.copies.size(), 0);
  auto indexOf = [&](int l, Allele a) {
    const auto begin = t.alleleSize.begin() + t.alleleOffset[l];
    const auto end = t.alleleSize.begin() + t.alleleOffset[l + 1];
    return static_cast<std::size_t>(std::lower_bound(begin, end, a) - t.alleleSize.begin());
  };
  for (int p = 0; p < P; ++p) {
    for (int su : unitsOfPopulation[p]) {
      for (int l = 0; l < L; ++l) {
        const Allele a0 = d.alleleAt(su, l, 0), a1 = d.alleleAt(su, l, 1);
        if (a0 == kMissingAllele || a1 == kMissingAllele) continue;
        ++t.typed[static_cast<std::size_t>(l) * P + p];
        const std::size_t i0 = indexOf(l, a0);
        if (t.haploid) {
          ++t.copies[i0 * P + p];
          continue;
        }
        const std::size_t i1 = a1 == a0 ? i0 : indexOf(l, a1);
        ++t.copies[i0 * P + p];
        ++t.copies[i1 * P + p];
        if (i0 != i1) {
          ++t.heterozygotes[static_cast<std::size_t>(l) * P + p];
          ++t.hetCarrying[i0 * P + p];
          ++t.hetCarrying[i1 * P + p];
        }
      }
    }
  }
  return t;
}

AlleleCountTable PoolPopulations(const AlleleCountTable& t) {
  AlleleCountTable pooled = SelectPopulations(t, {});
  pooled.populationCount = 1;
  auto sum = [&](const std::vector<int>& from, std::vector<int>& to) {
    to.assign(from.size() / std::max(1, t.populationCount), 0);
    for (std::size_t r = 0; r < to.size(); ++r)
      for (int p = 0; p < t.populationCount; ++p) to[r] += from[r * t.populationCount + p];
  };
  sum(t.typed, pooled.typed);
  sum(t.heterozygotes, pooled.heterozygotes);
  sum(t.copies, pooled.copies);
  sum(t.hetCarrying, pooled.hetCarrying);
  return pooled;
}

AlleleCountTable SelectPopulations(const AlleleCountTable& t, const std::vector<int>& pops) {
  AlleleCountTable s;
  s.populationCount = static_cast<int>(pops.size());
  s.locusCount = t.locusCount;
  s.haploid = t.haploid;
  s.alleleOffset = t.alleleOffset;
  s.alleleSize = t.alleleSize;
  const int Q = s.populationCount;
  auto pick = [&](const std::vector<int>& from, std::vector<int>& to) {
    const std::size_t rows = from.size() / std::max(1, t.populationCount);
    to.assign(rows * Q, 0);
    for (std::size_t r = 0; r < rows; ++r)
      for (int q = 0; q < Q; ++q) to[r * Q + q] = from[r * t.populationCount + pops[q]];
  };
  pick(t.typed, s.typed);
  pick(t.heterozygotes, s.heterozygotes);
  pick(t.copies, s.copies);
  pick(t.hetCarrying, s.hetCarrying);
  return s;
}

}  // namespace vireltan
