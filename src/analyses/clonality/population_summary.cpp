// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/clonality/population_summary.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "analyses/clonality/index_of_association.h"

namespace vireltan {

namespace {

// ln C(a, b), −inf when b > a (no such subsample).
double LogChoose(int a, int b) {
  if (b < 0 || b > a) return -INFINITY;
  return std::lgamma(a + 1.0) - std::lgamma(b + 1.0) - std::lgamma(a - b + 1.0);
}

// Nei's unbiased gene diversity of one locus over `units`; empty below two
// typed copies.
std::optional<double> GeneDiversity(const Dataset& d, const std::vector<int>& units, int locus,
                                    std::vector<Allele>& copies) {
  copies.clear();
  for (int su : units) {
    for (int which = 0; which < (d.haploid() ? 1 : 2); ++which) {
      Allele a = d.alleleAt(su, locus, which);
      if (a != kMissingAllele) copies.push_back(a);
    }
  }
  const double n = static_cast<double>(copies.size());
  if (copies.size() < 2) return std::nullopt;
  std::sort(copies.begin(), copies.end());
  double squares = 0;
  for (size_t i = 0; i < copies.size();) {
    size_t e = i;
    while (e < copies.size() && copies[e] == copies[i]) ++e;
    const double p = (e - i) / n;
    squares += p * p;
    i = e;
  }
  return n / (n - 1) * (1 - squares);
}

PopulationSummaryRow Summarise(const Dataset& d, const MlgPartition& mlgs,
                               const std::vector<int>& units, const std::string& name, int n,
                               bool withAssociation, IaMissing missing, ProgressSink* progress) {
  PopulationSummaryRow row;
  row.name = name;
  row.units = static_cast<int>(units.size());
  std::map<int, int> sizeOfMlg;
  for (int su : units) ++sizeOfMlg[mlgs.mlgOfSu[su]];
  std::vector<int> sizes;
  for (const auto& [mlg, size] : sizeOfMlg) sizes.push_back(size);
  row.mlgs = static_cast<int>(sizes.size());
  if (units.empty()) return row;
  const double total = static_cast<double>(units.size());
  double squares = 0, shannon = 0;
  for (int size : sizes) {
    const double p = size / total;
    squares += p * p;
    shannon -= p * std::log(p);
  }
  row.shannon = shannon;
  row.stoddartTaylor = 1 / squares;
  row.simpson = 1 - squares;
  if (row.mlgs > 1) row.evenness = (row.stoddartTaylor - 1) / (std::exp(shannon) - 1);
  row.rarefied = RarefyMlgs(sizes, n);

  std::vector<Allele> copies;
  double sum = 0;
  int counted = 0;
  for (int k = 0; k < d.locusCount; ++k)
    if (auto h = GeneDiversity(d, units, k, copies)) {
      sum += *h;
      ++counted;
    }
  if (counted > 0) row.hexp = sum / counted;

  if (withAssociation && units.size() >= 3) {
    AssociationInput input = PrepareAssociation(d, units);
    AssociationResult r = IndexOfAssociation(input, ComputeLocusPairSums(input, missing), progress);
    row.ia = r.ia;
    row.rbarD = r.rbarD;
  }
  return row;
}

void SetOptional(Sheet& sheet, int row, int col, const std::optional<double>& value) {
  if (value && std::isfinite(*value)) sheet.SetNumberAt(row, col, *value);
}

}  // namespace

Rarefaction RarefyMlgs(const std::vector<int>& cloneSizes, int n) {
  Rarefaction r;
  long long total = 0;
  for (int s : cloneSizes) total += s;
  const int big = static_cast<int>(total);
  if (n <= 0 || big < n) {
    r.expected = static_cast<double>(cloneSizes.size());
    return r;
  }
  // q(s) = C(N − s, n)/C(N, n): the chance that a clone of s units is missed
  // by the subsample; q(s + t) the chance that two clones both are.
  std::map<int, long long> countOfSize;
  for (int s : cloneSizes) ++countOfSize[s];
  const double logAll = LogChoose(big, n);
  auto missed = [&](int units) { return std::exp(LogChoose(big - units, n) - logAll); };
  double expected = 0, variance = 0;
  std::vector<std::pair<int, long long>> groups(countOfSize.begin(), countOfSize.end());
  for (const auto& [s, count] : groups) {
    const double q = missed(s);
    expected += count * (1 - q);
    variance += count * q * (1 - q);
  }
  // Heck et al.: 2 Σ_{i<j} [q(s_i + s_j) − q(s_i) q(s_j)] over pairs of clones.
  for (size_t a = 0; a < groups.size(); ++a) {
    const auto& [s, cs] = groups[a];
    const double qs = missed(s);
    const double samePairs = static_cast<double>(cs) * (cs - 1) / 2;
    variance += 2 * samePairs * (missed(2 * s) - qs * qs);
    for (size_t b = a + 1; b < groups.size(); ++b) {
      const auto& [t, ct] = groups[b];
      variance += 2 * static_cast<double>(cs) * ct * (missed(s + t) - qs * missed(t));
    }
  }
  r.expected = expected;
  r.se = std::sqrt(std::max(0.0, variance));
  return r;
}

PopulationSummaryResult SummarisePopulations(const Dataset& d, const MlgPartition& mlgs,
                                             const PopulationSummaryOptions& options,
                                             ProgressSink* progress) {
  PopulationSummaryResult summary;
  summary.missing = options.missing;
  std::vector<std::vector<int>> units = PopulationUnits(d, mlgs, options.cloneCorrect);
  if (options.rarefyTo) {
    summary.rarefyTo = *options.rarefyTo;
  } else {
    int smallest = 0, atLeastTen = 0;
    for (const auto& u : units) {
      const int size = static_cast<int>(u.size());
      if (smallest == 0 || size < smallest) smallest = size;
      if (size >= 10 && (atLeastTen == 0 || size < atLeastTen)) atLeastTen = size;
    }
    summary.rarefyTo = atLeastTen > 0 ? atLeastTen : smallest;
  }
  std::vector<int> all;
  for (int p = 0; p < d.populationCount(); ++p) {
    if (progress && progress->Cancelled()) return summary;
    summary.rows.push_back(Summarise(d, mlgs, units[p], d.populationNames[p], summary.rarefyTo,
                                     options.withAssociation, options.missing, nullptr));
    all.insert(all.end(), units[p].begin(), units[p].end());
  }
  std::sort(all.begin(), all.end());
  summary.rows.push_back(Summarise(d, mlgs, all, "Total", summary.rarefyTo, options.withAssociation,
                                   options.missing, progress));
  return summary;
}

Sheet PopulationSummaryBlock(const PopulationSummaryResult& summary, bool cloneCorrected) {
  Sheet block;
  const char* header[] = {"Pop", "N",      "MLG", "eMLG", "SE", "H",
                          "G",   "lambda", "E.5", "Hexp", "Ia", "rbarD"};
  for (int c = 0; c < 12; ++c) block.SetTextAt(1, c + 1, header[c]);
  int row = 1;
  for (const PopulationSummaryRow& r : summary.rows) {
    ++row;
    block.SetTextAt(row, 1, r.name);
    block.SetNumberAt(row, 2, r.units);
    block.SetNumberAt(row, 3, r.mlgs);
    if (r.units == 0) continue;
    block.SetNumberAt(row, 4, r.rarefied.expected);
    SetOptional(block, row, 5, r.rarefied.se);
    block.SetNumberAt(row, 6, r.shannon);
    block.SetNumberAt(row, 7, r.stoddartTaylor);
    block.SetNumberAt(row, 8, r.simpson);
    SetOptional(block, row, 9, r.evenness);
    SetOptional(block, row, 10, r.hexp);
    SetOptional(block, row, 11, r.ia);
    SetOptional(block, row, 12, r.rbarD);
  }
  block.SetTextAt(row + 1, 1, "eMLG and SE for n =");
  block.SetNumberAt(row + 1, 2, summary.rarefyTo);
  if (cloneCorrected) block.SetTextAt(row + 1, 3, "clone-corrected");
  return block;
}

}  // namespace vireltan
