// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/identity/round_robin.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace vireltan {

namespace {

// A well-mixed 64-bit value for the genotype `code` at `locus` (splitmix64
// finaliser). A row's hash is the sum of its loci's values, so the hash of
// "every locus but j" is the row hash minus locus j's value: O(1) per row
// and locus instead of rebuilding a key from L - 1 codes.
std::uint64_t LocusCodeHash(int locus, std::uint32_t code) {
  std::uint64_t z = (static_cast<std::uint64_t>(locus) << 32 | code) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

std::optional<double> RoundRobinLocus::FrequencyOf(Allele allele) const {
  auto it = std::lower_bound(alleles.begin(), alleles.end(), allele);
  if (it == alleles.end() || *it != allele) return std::nullopt;
  return frequencies[static_cast<size_t>(it - alleles.begin())];
}

Status ComputeRoundRobin(const Dataset& d, const MlgPartition& mlgs,
                         std::vector<RoundRobinLocus>& loci, ProgressSink* progress,
                         int firstPercent, int lastPercent) {
  const int loc = d.locusCount;
  const int g = mlgs.mlgCount;
  loci.assign(loc, RoundRobinLocus());
  if (g == 0) return Status::Ok();

  // One genotype row per MLG, in MLG order (= dataset table order).
  const std::vector<int>& rep = mlgs.representative;
  std::vector<std::uint64_t> rowHash(g, 0);
  for (int m = 0; m < g; ++m)
    for (int l = 0; l < loc; ++l) rowHash[m] += LocusCodeHash(l, d.genotypeKey(rep[m], l));

  auto sameOtherLoci = [&](int m1, int m2, int j) {
    const Allele* a = d.allelesOf(rep[m1]);
    const Allele* b = d.allelesOf(rep[m2]);
    for (int l = 0; l < loc; ++l) {
      if (l == j) continue;
      if (a[2 * l] != b[2 * l] || a[2 * l + 1] != b[2 * l + 1]) return false;
    }
    return true;
  };

  std::vector<std::pair<std::uint64_t, int>> keys(g);
  std::vector<int> kept;
  std::vector<int> runKept;
  std::vector<Allele> pool;
  for (int j = 0; j < loc; ++j) {
    if (progress) {
      if (progress->Cancelled()) return Status::Cancelled();
      progress->SetPosition(firstPercent + (lastPercent - firstPercent) * j / loc);
    }
    for (int m = 0; m < g; ++m)
      keys[m] = {rowHash[m] - LocusCodeHash(j, d.genotypeKey(rep[m], j)), m};
    std::sort(keys.begin(), keys.end());

    // Walk runs of equal hash; within a run, a row joins the group of an
    // earlier kept row whose other loci are equal (hash collisions between
    // different groups are resolved here), else it is kept. Rows come in
    // ascending MLG number, so the first of each group is kept.
    kept.clear();
    for (int start = 0; start < g;) {
      int end = start + 1;
      while (end < g && keys[end].first == keys[start].first) ++end;
      runKept.clear();
      for (int i = start; i < end; ++i) {
        int m = keys[i].second;
        bool joined = false;
        for (int k : runKept)
          if (sameOtherLoci(k, m, j)) {
            joined = true;
            break;
          }
        if (!joined) {
          runKept.push_back(m);
          kept.push_back(m);
        }
      }
      start = end;
    }

    RoundRobinLocus& out = loci[j];
    const int n = static_cast<int>(kept.size());
    out.keptCount = n;
    pool.clear();
    int heterozygous = 0;
    for (int m : kept) {
      Allele a1 = d.alleleAt(rep[m], j, 0);
      Allele a2 = d.alleleAt(rep[m], j, 1);
      if (a1 != a2) ++heterozygous;
      pool.push_back(a1);
      pool.push_back(a2);
    }
    std::sort(pool.begin(), pool.end());
    const double twoN = 2.0 * n;
    double sumSquares = 0.0;
    for (size_t i = 0; i < pool.size();) {
      size_t e = i + 1;
      while (e < pool.size() && pool[e] == pool[i]) ++e;
      double p = static_cast<double>(e - i) / twoN;
      out.alleles.push_back(pool[i]);
      out.frequencies.push_back(p);
      sumSquares += p * p;
      i = e;
    }
    out.hobs = static_cast<double>(heterozygous) / n;
    out.hnb = twoN / (twoN - 1.0) - sumSquares;
    out.fis = (out.hnb - out.hobs) / out.hnb;
  }
  if (progress) progress->SetPosition(lastPercent);
  return Status::Ok();
}

}  // namespace vireltan
