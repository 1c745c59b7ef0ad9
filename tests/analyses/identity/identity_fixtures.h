// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small datasets built in memory, and an independent binomial upper tail.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "dataset/dataset.h"
#include "dataset/mlg_identification.h"

namespace vireltan::testing {

// One row per sampling unit, one {a1, a2} pair per locus (any order; the
// smaller is stored first as loading does). A haploid dataset gives {a, a}.
using GenotypeRows = std::vector<std::vector<std::pair<int, int>>>;

inline Dataset MakeDataset(const GenotypeRows& rows, int ploidy = 2) {
  Dataset d;
  d.sampleCount = static_cast<int>(rows.size());
  d.locusCount = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  d.ploidy = ploidy;
  for (int l = 1; l <= d.locusCount; ++l) d.locusNames.push_back("locus" + std::to_string(l));
  for (size_t s = 0; s < rows.size(); ++s) {
    d.designations.push_back(Cell::Text("su" + std::to_string(s + 1)));
    d.x.push_back(static_cast<double>(s));
    d.y.push_back(0);
    for (auto [a, b] : rows[s]) {
      d.alleles.push_back(static_cast<Allele>(a < b ? a : b));
      d.alleles.push_back(static_cast<Allele>(a < b ? b : a));
    }
  }
  return d;
}

// P[X >= k], X ~ Binomial(n, p), as a direct sum of
// exp(log C(n, i) + i log p + (n - i) log(1 - p)) over i = k..n in long
// double. Only for 0 < p < 1 and 1 <= k <= n.
inline long double IndependentUpperTail(int k, int n, long double p) {
  long double sum = 0;
  const long double lp = std::log(p);
  const long double lq = std::log1p(-p);
  for (int i = k; i <= n; ++i) {
    long double logTerm = std::lgamma(static_cast<long double>(n) + 1) -
                          std::lgamma(static_cast<long double>(i) + 1) -
                          std::lgamma(static_cast<long double>(n - i) + 1) + i * lp + (n - i) * lq;
    sum += std::exp(logTerm);
  }
  return sum;
}

}  // namespace vireltan::testing
