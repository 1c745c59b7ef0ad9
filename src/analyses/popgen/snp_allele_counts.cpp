// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/popgen/snp_allele_counts.h"

#include <cstdint>

namespace vireltan {

namespace {

// Adds the call codes of `units` to `codes` (L x 4 tallies, by code).
void TallyCalls(const PackedGenotypes& g, const int* units, int count,
                std::vector<std::uint32_t>& codes, ProgressSink* progress, bool& cancelled) {
  const int L = g.locusCount();
  for (int k = 0; k < count; ++k) {
    if (progress && k % 64 == 0 && progress->Cancelled()) {
      cancelled = true;
      return;
    }
    const std::uint64_t* row = g.row(units[k]);
    for (std::size_t w = 0; w < g.wordsPerSample(); ++w) {
      std::uint64_t word = row[w];
      const int first = static_cast<int>(w) * kCallsPerWord;
      const int last = std::min(L, first + kCallsPerWord);
      std::uint32_t* at = codes.data() + static_cast<std::size_t>(first) * 4;
      for (int l = first; l < last; ++l, at += 4, word >>= 2) ++at[word & 3u];
    }
  }
}

// Writes the tallies of population `pop` into the table's counts.
void StoreTallies(const std::vector<std::uint32_t>& codes, bool haploid, int pop,
                  AlleleCountTable& t) {
  const int P = t.populationCount;
  for (int l = 0; l < t.locusCount; ++l) {
    const std::uint32_t* c = codes.data() + static_cast<std::size_t>(l) * 4;
    const int ref = static_cast<int>(c[kHomRefCall]), het = static_cast<int>(c[kHetCall]),
              alt = static_cast<int>(c[kHomAltCall]);
    const std::size_t cell = static_cast<std::size_t>(l) * P + pop;
    const std::size_t a0 = static_cast<std::size_t>(2 * l) * P + pop, a1 = a0 + P;
    if (haploid) {
      t.typed[cell] = ref + alt;
      t.copies[a0] = ref;
      t.copies[a1] = alt;
      continue;
    }
    t.typed[cell] = ref + het + alt;
    t.heterozygotes[cell] = het;
    t.copies[a0] = 2 * ref + het;
    t.copies[a1] = 2 * alt + het;
    t.hetCarrying[a0] = het;
    t.hetCarrying[a1] = het;
  }
}

AlleleCountTable EmptySnpTable(int locusCount, int populations, bool haploid) {
  AlleleCountTable t;
  t.populationCount = populations;
  t.locusCount = locusCount;
  t.haploid = haploid;
  t.alleleOffset.resize(locusCount + 1);
  for (int l = 0; l <= locusCount; ++l) t.alleleOffset[l] = 2 * l;
  t.typed.assign(static_cast<std::size_t>(locusCount) * populations, 0);
  t.heterozygotes.assign(t.typed.size(), 0);
  t.copies.assign(static_cast<std::size_t>(2 * locusCount) * populations, 0);
  t.hetCarrying.assign(t.copies.size(), 0);
  return t;
}

}  // namespace

bool CountSnpAlleles(const PackedGenotypes& g, int ploidy,
                     const std::vector<std::vector<int>>& unitsOfPopulation, ProgressSink* progress,
                     AlleleCountTable& out) {
  const int P = static_cast<int>(unitsOfPopulation.size());
  out = EmptySnpTable(g.locusCount(), P, ploidy == 1);
  std::vector<std::uint32_t> codes;
  for (int p = 0; p < P; ++p) {
    codes.assign(static_cast<std::size_t>(g.locusCount()) * 4, 0);
    bool cancelled = false;
    TallyCalls(g, unitsOfPopulation[p].data(), static_cast<int>(unitsOfPopulation[p].size()), codes,
               progress, cancelled);
    if (cancelled) return false;
    StoreTallies(codes, out.haploid, p, out);
    if (progress) progress->SetPosition(100 * (p + 1) / std::max(1, P));
  }
  return true;
}

UnitCounter SnpUnitCounter(const PackedGenotypes& g, int ploidy) {
  const bool haploid = ploidy == 1;
  return [&g, haploid](const int* units, int count, AlleleCountTable& column) {
    std::vector<std::uint32_t> codes(static_cast<std::size_t>(g.locusCount()) * 4, 0);
    bool cancelled = false;
    TallyCalls(g, units, count, codes, nullptr, cancelled);
    StoreTallies(codes, haploid, 0, column);
  };
}

}  // namespace vireltan
