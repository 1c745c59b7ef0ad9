// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/clonality/population_summary.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numeric>

#include "analyses/clonality/index_of_association.h"

namespace vireltan {

namespace {

constexpr int kSmallestDefaultRarefaction = 10;

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
  // From the integer counts n_i of N units: G = N²/Σn_i² and lambda =
  // (N² − Σn_i²)/N² (exact integers up to 2^53, so G is the exact integer
  // when it is one), H = ln N − Σ n_i ln n_i / N (singletons add nothing).
  long long sumSquares = 0;
  double sumNLogN = 0;
  for (int size : sizes) {
    sumSquares += static_cast<long long>(size) * size;
    if (size > 1) sumNLogN += size * std::log(static_cast<double>(size));
  }
  const long long total = static_cast<long long>(units.size());
  const double totalSquared = static_cast<double>(total * total);
  row.shannon = std::log(static_cast<double>(total)) - sumNLogN / total;
  if (row.mlgs == 1) row.shannon = 0;
  row.stoddartTaylor = totalSquared / static_cast<double>(sumSquares);
  row.simpson = static_cast<double>(total * total - sumSquares) / totalSquared;
  if (row.mlgs > 1) {
    // E.5 = (G − 1)/(e^H − 1) compares Hill's numbers of order 2 and 1,
    // and G ≤ e^H always (Hill numbers do not increase with their order),
    // with equality exactly when all MLGs are equally frequent: so E.5 is
    // 1 there and at most 1 elsewhere; only rounding could say otherwise.
    const bool even =
        std::all_of(sizes.begin(), sizes.end(), [&](int size) { return size == sizes.front(); });
    row.evenness = even ? 1.0 : std::min(1.0, (row.stoddartTaylor - 1) / std::expm1(row.shannon));
  }
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

Status MakeSummaryOptions(int rarefyTo, bool cloneCorrect, bool sortPopulations, IaMissing missing,
                          PopulationSummaryOptions& options) {
  if (rarefyTo < 0)
    return Status::Error(
        "The subsample size of the rarefaction must be a whole number of at least 1.");
  options = PopulationSummaryOptions();
  if (rarefyTo > 0) options.rarefyTo = rarefyTo;
  options.cloneCorrect = cloneCorrect;
  options.sortPopulations = sortPopulations;
  options.missing = missing;
  return Status::Ok();
}

std::vector<std::string> AssociationRuleNotes(bool missingData, IaMissing missing,
                                              std::optional<IaNull> null) {
  std::vector<std::string> notes;
  if (missingData)
    notes.push_back(missing == IaMissing::kPoppr
                        ? "Ia: a locus missing in either unit counts as no difference (poppr)"
                        : "Ia: each locus over the pairs typed there");
  if (null)
    notes.push_back(*null == IaNull::kAlleles
                        ? "p-values: alleles permuted among units per locus (poppr method 1)"
                        : "p-values: genotypes permuted among units per locus (poppr method 4)");
  return notes;
}

Rarefaction RarefyMlgs(const std::vector<int>& cloneSizes, int n) {
  Rarefaction r;
  long long total = 0;
  for (int s : cloneSizes) total += s;
  const int big = static_cast<int>(total);
  const int richness = static_cast<int>(cloneSizes.size());
  // A sample no larger than n is seen whole: its MLG count, without
  // variance (poppr, through vegan's rarefy, gives SE 0 there too).
  if (n <= 0 || big <= n) {
    r.expected = richness;
    r.se = 0.0;
    return r;
  }
  // When every subsample of n units holds the same number of MLGs, eMLG is
  // that number and the variance is 0 exactly; the formula below would
  // leave rounding noise (SE 9e-08 where every unit is its own MLG). The
  // fewest MLGs a subsample can hold come from filling it with the largest
  // clones first; the most are min(n, G).
  std::vector<int> largestFirst(cloneSizes);
  std::sort(largestFirst.begin(), largestFirst.end(), std::greater<>());
  int fewest = 0;
  for (long long filled = 0; filled < n; filled += largestFirst[fewest++]) {
  }
  if (fewest == std::min(n, richness)) {
    r.expected = fewest;
    r.se = 0.0;
    return r;
  }

  // q(m) = C(N − m, n)/C(N, n) = Π_{j<m} (1 − n/(N − j)): the chance that
  // m given units are all missed by the subsample, kept as log q(m) built
  // term by term with log1p (each term exact to a rounding; the logs of
  // factorials would lose digits to cancellation at large N). q(m) = 0 from
  // m = N − n + 1 on (log −inf).
  const int largest = largestFirst.front();
  const int span = std::min(big, 2 * largest);
  std::vector<double> logMissed(static_cast<size_t>(span) + 1, 0.0);
  for (int m = 1; m <= span; ++m) {
    const int j = m - 1;
    logMissed[m] = big - j <= n
                       ? -INFINITY
                       : logMissed[m - 1] + std::log1p(-static_cast<double>(n) / (big - j));
  }
  auto missed = [&](int m) { return std::exp(logMissed[m]); };
  // Cov of two clones' "missed" events: q(s + t) − q(s) q(t), written as
  // q(s) q(t) (exp(D) − 1) with D = log q(s + t) − log q(s) − log q(t) ≤ 0,
  // so that expm1 keeps its digits when the two terms nearly cancel.
  auto covariance = [&](int s, int t) {
    const double product = missed(s) * missed(t);
    if (product == 0) return 0.0;
    if (std::isinf(logMissed[s + t])) return -product;
    return product * std::expm1(logMissed[s + t] - logMissed[s] - logMissed[t]);
  };
  std::map<int, long long> countOfSize;
  for (int s : cloneSizes) ++countOfSize[s];
  double expected = 0, variance = 0;
  std::vector<std::pair<int, long long>> groups(countOfSize.begin(), countOfSize.end());
  for (const auto& [s, count] : groups) {
    const double q = missed(s);
    // 1 − q(s) = −expm1(log q(s)), exact to a rounding even when q ≈ 1.
    const double seen = -std::expm1(logMissed[s]);
    expected += count * seen;
    variance += count * q * seen;
  }
  // Heck et al.: 2 Σ_{i<j} [q(s_i + s_j) − q(s_i) q(s_j)] over pairs of clones.
  for (size_t a = 0; a < groups.size(); ++a) {
    const auto& [s, cs] = groups[a];
    const double samePairs = static_cast<double>(cs) * (cs - 1) / 2;
    if (cs > 1) variance += 2 * samePairs * covariance(s, s);
    for (size_t b = a + 1; b < groups.size(); ++b) {
      const auto& [t, ct] = groups[b];
      variance += 2 * static_cast<double>(cs) * ct * covariance(s, t);
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
    // poppr's default: the smallest population, but at least 10 units.
    int smallest = 0;
    for (const auto& u : units) {
      const int size = static_cast<int>(u.size());
      if (smallest == 0 || size < smallest) smallest = size;
    }
    summary.rarefyTo = std::max(smallest, kSmallestDefaultRarefaction);
  }
  std::vector<int> all;
  summary.populationOrder.resize(d.populationCount());
  std::iota(summary.populationOrder.begin(), summary.populationOrder.end(), 0);
  // The file's order, as poppr keeps it; by name when asked.
  if (options.sortPopulations)
    std::stable_sort(summary.populationOrder.begin(), summary.populationOrder.end(),
                     [&](int a, int b) { return d.populationNames[a] < d.populationNames[b]; });
  // Each row's pass is a slice of the bar as large as its units (the
  // total as large as all of them): the bar moves forward only.
  std::vector<std::size_t> work;
  std::size_t everyUnit = 0;
  for (int p : summary.populationOrder) {
    work.push_back(units[p].size());
    everyUnit += units[p].size();
  }
  work.push_back(everyUnit);
  NullProgressSink silent;
  ProgressSink& bar = progress ? *progress : silent;
  std::size_t row = 0;
  for (int p : summary.populationOrder) {
    if (bar.Cancelled()) return summary;
    // Each population's pass polls for cancellation too (one population
    // may hold nearly every unit).
    ProgressRange phase = ProgressRange::Share(bar, row++, work);
    summary.rows.push_back(Summarise(d, mlgs, units[p], d.populationNames[p], summary.rarefyTo,
                                     options.withAssociation, options.missing, &phase));
    all.insert(all.end(), units[p].begin(), units[p].end());
  }
  std::sort(all.begin(), all.end());
  ProgressRange phase = ProgressRange::Share(bar, row, work);
  summary.rows.push_back(Summarise(d, mlgs, all, "Total", summary.rarefyTo, options.withAssociation,
                                   options.missing, &phase));
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
