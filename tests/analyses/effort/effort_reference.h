// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test support for the sampling-effort curves: small datasets built in code,
// and straightforward implementations that follow the textbook procedure
// step by step (text genotype keys that are sorted, allele copies that are
// sorted and walked, loci or units drawn one by one with rejection, every
// subset enumerated). They are slow on purpose and serve as the yardstick
// for the fast implementations.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "analyses/effort/combinations.h"
#include "analyses/effort/resampling.h"
#include "dataset/dataset.h"
#include "dataset/mlg_identification.h"
#include "numeric/random.h"

namespace vireltan::testing {

// One SU: its allele pair at every locus (any order; 999 missing).
using Genotype = std::vector<std::pair<int, int>>;

inline Dataset MakeDataset(const std::vector<Genotype>& sus) {
  Dataset d;
  d.sampleCount = static_cast<int>(sus.size());
  d.locusCount = sus.empty() ? 0 : static_cast<int>(sus[0].size());
  d.ploidy = 2;
  for (int j = 0; j < d.locusCount; ++j) d.locusNames.push_back("L" + std::to_string(j + 1));
  for (int s = 0; s < d.sampleCount; ++s) {
    d.designations.push_back(Cell::Text("su" + std::to_string(s + 1)));
    d.x.push_back(s);
    d.y.push_back(0);
    for (auto [a, b] : sus[s]) {
      if (a > b) std::swap(a, b);
      // 999 is the native layout's missing code, stored as kMissingAllele.
      d.alleles.push_back(a == 999 ? kMissingAllele : static_cast<Allele>(a));
      d.alleles.push_back(b == 999 ? kMissingAllele : static_cast<Allele>(b));
      if (a == 999 || b == 999) d.hasMissingData = true;
    }
  }
  return d;
}

// A random dataset: `distinct` founding genotypes over `loci` loci with
// alleles drawn among `alleles` sizes, each SU a copy of one of them; a
// fraction `missing` of the allele copies set to 999.
inline Dataset RandomDataset(std::uint32_t seed, int n, int loci, int distinct, int alleles,
                             double missing) {
  RandomGenerator r(seed);
  std::vector<Genotype> founders(distinct, Genotype(loci));
  for (Genotype& g : founders)
    for (auto& [a, b] : g) {
      a = 100 + r.Below(alleles);
      b = 100 + r.Below(alleles);
      if (r.Uniform() < missing) a = 999;
      if (r.Uniform() < missing) b = 999;
    }
  std::vector<Genotype> sus;
  for (int s = 0; s < n; ++s) sus.push_back(founders[s < distinct ? s : r.Below(distinct)]);
  return MakeDataset(sus);
}

// The allele table: one row per SU (order of `rows`), 2L allele cells.
using AlleleTable = std::vector<std::vector<int>>;

inline AlleleTable AlleleRows(const Dataset& d) {
  AlleleTable t(d.sampleCount);
  for (int s = 0; s < d.sampleCount; ++s)
    for (int j = 0; j < d.locusCount; ++j)
      for (int w = 0; w < 2; ++w) {
        const Allele a = d.alleleAt(s, j, w);
        t[s].push_back(a == kMissingAllele ? 999 : a);  // the references treat 999 as missing
      }
  return t;
}

// Census of one locus: the 2n copies sorted and walked run by run; 999 forms
// no run and is left out of the frequencies, while 2n counts every copy. A
// locus without any observed copy has no diversity (0).
inline std::pair<int, double> ReferenceCensus(std::vector<int> copies) {
  std::sort(copies.begin(), copies.end());
  const double twoN = static_cast<double>(copies.size());
  int observed = 0;
  for (int c : copies)
    if (c != 999) ++observed;
  int runs = 0;
  double sum = 0;
  for (size_t i = 0; i < copies.size();) {
    size_t end = i;
    while (end < copies.size() && copies[end] == copies[i]) ++end;
    if (copies[i] != 999) {
      ++runs;
      double p = static_cast<double>(end - i) / static_cast<double>(observed);
      sum += p * p;
    }
    i = end;
  }
  if (observed == 0) return {0, 0.0};
  return {runs, (twoN / (twoN - 1)) * (1 - sum)};
}

// Genotype count: text keys of "%3.0f" pieces, sorted; adjacent rows that
// differ in a numeric cell start a new genotype.
inline int ReferenceGenotypeCount(const AlleleTable& rows) {
  std::vector<std::pair<std::string, const std::vector<int>*>> keyed;
  for (const auto& row : rows) {
    std::string key;
    for (int v : row) {
      char piece[32];
      std::snprintf(piece, sizeof piece, "%3.0f", static_cast<double>(v));
      key += piece;
    }
    keyed.push_back({key, &row});
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  int count = 1;
  for (size_t p = 0; p + 1 < keyed.size(); ++p)
    if (*keyed[p].second != *keyed[p + 1].second) ++count;
  return count;
}

// Mean and SE over per-draw values, two passes.
inline void ReferenceMoments(const std::vector<double>& x, double& mean, double& se) {
  double sum = 0;
  for (double v : x) sum += v;
  mean = sum / x.size();
  double squares = 0;
  for (double v : x) squares += (v - mean) * (v - mean);
  se = std::sqrt(squares) / (x.size() - 1.0);
}

inline ResamplingRow SummariseDraws(const std::vector<double>& alleles,
                                    const std::vector<double>& mlgs,
                                    const std::vector<double>& diversity) {
  ResamplingRow row;
  ReferenceMoments(alleles, row.meanAlleles, row.seAlleles);
  ReferenceMoments(mlgs, row.meanMlg, row.seMlg);
  ReferenceMoments(diversity, row.meanDiversity, row.seDiversity);
  row.mlgMin = static_cast<int>(*std::min_element(mlgs.begin(), mlgs.end()));
  row.mlgMax = static_cast<int>(*std::max_element(mlgs.begin(), mlgs.end()));
  return row;
}

// Loci resampling: for every k, P times: k distinct loci drawn with
// rejection (all loci in order when k = L), census of each drawn locus over
// all units, genotype count of the units over the drawn loci.
inline std::vector<ResamplingRow> ReferenceResampleLoci(const Dataset& d, int permutations,
                                                        RandomGenerator& r) {
  const int loci = d.locusCount, n = d.sampleCount;
  const AlleleTable all = AlleleRows(d);
  std::vector<ResamplingRow> rows;
  for (int k = 1; k <= loci; ++k) {
    std::vector<double> a, g, h;
    for (int b = 0; b < permutations; ++b) {
      std::vector<int> flag(loci, 0), drawn;
      for (int e = 0; e < k; ++e) {
        int c = e;
        if (k < loci) {
          do c = r.Below(loci);
          while (flag[c]);
          flag[c] = 1;
        }
        drawn.push_back(c);
      }
      AlleleTable sub(n);
      double alleles = 0, diversity = 0;
      for (int c : drawn) {
        std::vector<int> copies;
        for (int s = 0; s < n; ++s) {
          sub[s].push_back(all[s][2 * c]);
          sub[s].push_back(all[s][2 * c + 1]);
          copies.push_back(all[s][2 * c]);
        }
        for (int s = 0; s < n; ++s) copies.push_back(all[s][2 * c + 1]);
        auto [runs, h1] = ReferenceCensus(copies);
        alleles += runs;
        diversity += h1;
      }
      a.push_back(alleles);
      h.push_back(diversity / k);
      g.push_back(ReferenceGenotypeCount(sub));
    }
    rows.push_back(SummariseDraws(a, g, h));
  }
  return rows;
}

// Individuals resampling: for every k, P times: k distinct units drawn with
// rejection (all units in order when k = N), census of every locus over
// them, genotype count of their full genotypes.
inline std::vector<ResamplingRow> ReferenceResampleIndividuals(const Dataset& d, int permutations,
                                                               RandomGenerator& r) {
  const int loci = d.locusCount, n = d.sampleCount;
  const AlleleTable all = AlleleRows(d);
  std::vector<ResamplingRow> rows;
  for (int k = 1; k <= n; ++k) {
    std::vector<double> a, g, h;
    for (int b = 0; b < permutations; ++b) {
      std::vector<int> flag(n, 0);
      AlleleTable sub;
      for (int e = 0; e < k; ++e) {
        int c = e;
        if (k < n) {
          do c = r.Below(n);
          while (flag[c]);
          flag[c] = 1;
        }
        sub.push_back(all[c]);
      }
      double alleles = 0, diversity = 0;
      for (int j = 0; j < loci; ++j) {
        std::vector<int> copies;
        for (const auto& row : sub) copies.push_back(row[2 * j]);
        for (const auto& row : sub) copies.push_back(row[2 * j + 1]);
        auto [runs, h1] = ReferenceCensus(copies);
        alleles += runs;
        diversity += h1;
      }
      a.push_back(alleles);
      h.push_back(diversity / loci);
      g.push_back(ReferenceGenotypeCount(sub));
    }
    rows.push_back(SummariseDraws(a, g, h));
  }
  return rows;
}

// Loci combinations: recursion from locus L down to 1, flag 0 before flag
// 1; each subset's genotype table keeps the excluded loci as zero columns.
inline LociCombinationResult ReferenceCombineLoci(const Dataset& d, int mlgCount) {
  const int loci = d.locusCount, n = d.sampleCount;
  const AlleleTable all = AlleleRows(d);
  std::vector<std::vector<std::uint64_t>> count(loci + 1, std::vector<std::uint64_t>(n + 1, 0));
  std::vector<bool> flags(loci, false);
  LociCombinationResult out;
  out.minimumSize = loci;
  std::function<void(int)> recurse = [&](int i) {
    if (i == 0) {
      int k = static_cast<int>(std::count(flags.begin(), flags.end(), true));
      if (k == 0) return;
      AlleleTable table(n, std::vector<int>(2 * loci, 0));
      for (int s = 0; s < n; ++s)
        for (int c = 0; c < loci; ++c)
          if (flags[c]) {
            table[s][2 * c] = all[s][2 * c];
            table[s][2 * c + 1] = all[s][2 * c + 1];
          }
      int m = ReferenceGenotypeCount(table);
      ++count[k][m];
      if (m == mlgCount) {
        if (k == out.minimumSize) {
          ++out.minimumFound;
          if (out.minimumFound <= 20) out.minimumCombinations.push_back(flags);
        } else if (k < out.minimumSize) {
          out.minimumSize = k;
          out.minimumCombinations.assign(1, flags);
          out.minimumFound = 1;
        }
      }
      return;
    }
    flags[i - 1] = false;
    recurse(i - 1);
    flags[i - 1] = true;
    recurse(i - 1);
    flags[i - 1] = false;
  };
  recurse(loci);
  for (int k = 1; k <= loci; ++k) {
    std::uint64_t total = 0, weighted = 0;
    CombinationRow row;
    for (int m = 1; m <= mlgCount; ++m) {
      if (count[k][m] == 0) continue;
      total += count[k][m];
      weighted += m * count[k][m];
      if (row.mlgMin == 0) row.mlgMin = m;
      row.mlgMax = m;
    }
    row.averageMlg = static_cast<double>(weighted) / static_cast<double>(total);
    out.rows.push_back(row);
  }
  return out;
}

// Individuals combinations: every subset of the units (rows in MLG order),
// the MLG count found by walking the included rows.
inline std::vector<CombinationRow> ReferenceCombineIndividuals(
    const std::vector<int>& mlgOfRowInOrder) {
  const int n = static_cast<int>(mlgOfRowInOrder.size());
  std::vector<std::vector<std::uint64_t>> count(n + 1, std::vector<std::uint64_t>(n + 1, 0));
  for (std::uint32_t mask = 1; mask < (1u << n); ++mask) {
    int j = 0, m = 0, last = 0;
    for (int i = 0; i < n; ++i) {
      if (!(mask >> i & 1)) continue;
      ++j;
      if (mlgOfRowInOrder[i] != last) {
        ++m;
        last = mlgOfRowInOrder[i];
      }
    }
    ++count[j][m];
  }
  std::vector<CombinationRow> rows;
  for (int j = 1; j <= n; ++j) {
    std::uint64_t total = 0, weighted = 0;
    CombinationRow row;
    for (int m = 1; m <= j; ++m) {
      if (count[j][m] == 0) continue;
      total += count[j][m];
      weighted += m * count[j][m];
      if (row.mlgMin == 0) row.mlgMin = m;
      row.mlgMax = m;
    }
    row.averageMlg = static_cast<double>(weighted) / static_cast<double>(total);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace vireltan::testing
