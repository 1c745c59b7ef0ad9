// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/popgen/pairwise_fst.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <numeric>

#include "analyses/popgen/weir_cockerham.h"
#include "common/parallel_for.h"
#include "numeric/random.h"

namespace vireltan {

UnitCounter AlleleTableCounter(const Dataset& d, const AlleleCountTable& table) {
  // Each unit's allele indices within the table (-1 untyped), built once:
  // N · L · 2 small integers.
  const int L = d.locusCount;
  auto indices = std::make_shared<std::vector<std::int32_t>>(
      static_cast<std::size_t>(d.sampleCount) * L * 2, -1);
  for (int su = 0; su < d.sampleCount; ++su)
    for (int l = 0; l < L; ++l) {
      const Allele a0 = d.alleleAt(su, l, 0), a1 = d.alleleAt(su, l, 1);
      if (a0 == kMissingAllele || a1 == kMissingAllele) continue;
      const auto begin = table.alleleSize.begin() + table.alleleOffset[l];
      const auto end = table.alleleSize.begin() + table.alleleOffset[l + 1];
      const auto i0 = std::lower_bound(begin, end, a0), i1 = std::lower_bound(begin, end, a1);
      // Alleles of units outside the table's populations may be unknown.
      if (i0 == end || *i0 != a0 || i1 == end || *i1 != a1) continue;
      const std::size_t at = (static_cast<std::size_t>(su) * L + l) * 2;
      (*indices)[at] = static_cast<std::int32_t>(i0 - table.alleleSize.begin());
      (*indices)[at + 1] = static_cast<std::int32_t>(i1 - table.alleleSize.begin());
    }
  const bool haploid = table.haploid;
  return [indices, L, haploid](const int* units, int count, AlleleCountTable& c) {
    for (int k = 0; k < count; ++k) {
      const std::int32_t* row = indices->data() + static_cast<std::size_t>(units[k]) * L * 2;
      for (int l = 0; l < L; ++l) {
        const std::int32_t i0 = row[2 * l], i1 = row[2 * l + 1];
        if (i0 < 0) continue;
        ++c.typed[l];
        ++c.copies[i0];
        if (haploid) continue;
        ++c.copies[i1];
        if (i0 != i1) {
          ++c.heterozygotes[l];
          ++c.hetCarrying[i0];
          ++c.hetCarrying[i1];
        }
      }
    }
  };
}

namespace {

// A one-population table with the layout of `t`, all counts zero.
AlleleCountTable EmptyColumn(const AlleleCountTable& t) {
  AlleleCountTable c;
  c.populationCount = 1;
  c.locusCount = t.locusCount;
  c.haploid = t.haploid;
  c.alleleOffset = t.alleleOffset;
  c.typed.assign(t.locusCount, 0);
  c.heterozygotes.assign(t.locusCount, 0);
  c.copies.assign(t.totalAlleles(), 0);
  c.hetCarrying.assign(t.totalAlleles(), 0);
  return c;
}

// Two columns of a pair table: the first `first`, the second the pair's
// totals less it.
void FillPair(const AlleleCountTable& first, const AlleleCountTable& totals,
              AlleleCountTable& pair) {
  auto fill = [](const std::vector<int>& a, const std::vector<int>& sum, std::vector<int>& out) {
    for (std::size_t r = 0; r < a.size(); ++r) {
      out[2 * r] = a[r];
      out[2 * r + 1] = sum[r] - a[r];
    }
  };
  fill(first.typed, totals.typed, pair.typed);
  fill(first.heterozygotes, totals.heterozygotes, pair.heterozygotes);
  fill(first.copies, totals.copies, pair.copies);
  fill(first.hetCarrying, totals.hetCarrying, pair.hetCarrying);
}

}  // namespace

bool ComputePairwiseFst(const AlleleCountTable& t,
                        const std::vector<std::vector<int>>& unitsOfPopulation,
                        const UnitCounter& counter, int permutations, std::uint32_t runSeed,
                        ProgressSink* progress, PairwiseFstResult& out) {
  const int P = t.populationCount;
  out = {};
  out.populationCount = P;
  const int pairs = P * (P - 1) / 2;
  out.fst.assign(pairs, std::nullopt);
  out.p.assign(pairs, std::nullopt);
  out.permutations = permutations;
  for (int p = 0; p < P; ++p)
    if (unitsOfPopulation[p].size() < 2) out.tooSmall.push_back(p);
  std::vector<std::pair<int, int>> pairOf;
  for (int i = 1; i < P; ++i)
    for (int j = 0; j < i; ++j) pairOf.emplace_back(i, j);
  // One pair after the other when testing, its permutations spread over
  // the cores; the plain θ of every pair is cheap.
  for (int k = 0; k < pairs; ++k) {
    const auto [i, j] = pairOf[k];
    out.fst[k] = OverallTheta(SelectPopulations(t, {i, j}));
  }
  if (permutations <= 0) return !(progress && progress->Cancelled());
  std::vector<int> tested;
  for (int k = 0; k < pairs; ++k) {
    const auto [i, j] = pairOf[k];
    if (out.fst[k] && unitsOfPopulation[i].size() >= 2 && unitsOfPopulation[j].size() >= 2)
      tested.push_back(k);
  }
  // Permutations of all tested pairs as one list of items, so that the
  // cores stay busy and progress moves evenly: item = pair · P + permutation.
  const long long items = static_cast<long long>(tested.size()) * permutations;
  if (items > std::numeric_limits<int>::max()) return false;
  std::vector<std::atomic<int>> atLeast(tested.size());
  for (auto& a : atLeast) a = 0;
  const bool finished = ParallelFor(
      static_cast<int>(items),
      [&](int begin, int end) {
        AlleleCountTable column = EmptyColumn(t);
        AlleleCountTable totals = EmptyColumn(t);
        AlleleCountTable pair = SelectPopulations(t, {0, 0});
        std::vector<int> pool;
        int currentPair = -1;
        for (int item = begin; item < end; ++item) {
          const int slot = item / permutations;
          const int k = tested[slot];
          const auto [i, j] = pairOf[k];
          const std::vector<int>& a = unitsOfPopulation[i];
          const std::vector<int>& b = unitsOfPopulation[j];
          if (slot != currentPair) {
            currentPair = slot;
            pool = a;
            pool.insert(pool.end(), b.begin(), b.end());
            totals = EmptyColumn(t);
            counter(pool.data(), static_cast<int>(pool.size()), totals);
          }
          // The smaller population is drawn; a partial Fisher–Yates shuffle
          // from this permutation's own stream.
          const int drawn = static_cast<int>(std::min(a.size(), b.size()));
          RandomGenerator random =
              RandomGenerator::ForStream(runSeed, static_cast<std::uint64_t>(item));
          std::vector<int> order = pool;
          for (int m = 0; m < drawn; ++m)
            std::swap(order[m], order[m + random.Below(static_cast<int>(order.size()) - m)]);
          std::fill(column.typed.begin(), column.typed.end(), 0);
          std::fill(column.heterozygotes.begin(), column.heterozygotes.end(), 0);
          std::fill(column.copies.begin(), column.copies.end(), 0);
          std::fill(column.hetCarrying.begin(), column.hetCarrying.end(), 0);
          counter(order.data(), drawn, column);
          FillPair(column, totals, pair);
          const std::optional<double> theta = OverallTheta(pair);
          // Equal within rounding counts as at least as large.
          if (theta && *theta >= *out.fst[k] - 1e-12 * std::max(1.0, std::abs(*out.fst[k])))
            ++atLeast[slot];
        }
      },
      progress);
  if (!finished) return false;
  for (std::size_t s = 0; s < tested.size(); ++s)
    out.p[tested[s]] = (atLeast[s].load() + 1.0) / (permutations + 1.0);
  return true;
}

}  // namespace vireltan
