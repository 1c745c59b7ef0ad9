// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/popgen/hardy_weinberg.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "numeric/chi_square.h"

namespace vireltan {

namespace {

// Probabilities within this relative distance of the observed one count
// as equal: symmetric configurations are equally probable, and rounding
// must not set them apart.
constexpr double kTieTolerance = 1e-9;

// χ² over every possible genotype of k alleles from the counts n_ij
// (i <= j, row-major in `counts`, k x k).
void ChiSquare(const std::vector<int>& counts, int k, int n, HweTest& out) {
  std::vector<double> p(k, 0.0);
  for (int i = 0; i < k; ++i)
    for (int j = i; j < k; ++j) {
      p[i] += counts[i * k + j];
      p[j] += counts[i * k + j];
    }
  for (double& x : p) x /= 2.0 * n;
  double chi2 = 0;
  for (int i = 0; i < k; ++i)
    for (int j = i; j < k; ++j) {
      const double expected = i == j ? n * p[i] * p[i] : 2.0 * n * p[i] * p[j];
      const double d = counts[i * k + j] - expected;
      chi2 += d * d / expected;
    }
  out.chi2 = chi2;
  out.df = k * (k - 1) / 2;
  out.pChi2 = ChiSquareUpperTail(chi2, *out.df);
}

// ln of the probability of genotype counts given the allele counts, up to
// the constant that depends on the allele counts only: H ln 2 − Σ ln n_ij!.
double LogConfigurationWeight(const std::vector<int>& counts, int k,
                              const std::vector<double>& logFactorial) {
  double w = 0;
  for (int i = 0; i < k; ++i)
    for (int j = i; j < k; ++j) {
      const int c = counts[i * k + j];
      w -= logFactorial[c];
      if (i != j) w += c * std::log(2.0);
    }
  return w;
}

}  // namespace

double HweExactP(int heterozygous, int homozygous1, int homozygous2) {
  const int homr = std::min(homozygous1, homozygous2);
  const int homc = std::max(homozygous1, homozygous2);
  const int genotypes = heterozygous + homr + homc;
  if (genotypes == 0) return 1;
  const int rare = 2 * homr + heterozygous;  // copies of the rarer allele
  std::vector<double> prob(rare + 1, 0.0);
  // Start at the most probable heterozygote count and walk both ways with
  // the ratio of successive probabilities (Wigginton et al. 2005).
  int mid =
      static_cast<int>(static_cast<long long>(rare) * (2LL * genotypes - rare) / (2LL * genotypes));
  if ((rare & 1) != (mid & 1)) ++mid;
  prob[mid] = 1;
  double sum = 1;
  {
    int hets = mid, r = (rare - mid) / 2, c = genotypes - mid - r;
    for (; hets > 1; hets -= 2) {
      prob[hets - 2] = prob[hets] * hets * (hets - 1.0) / (4.0 * (r + 1.0) * (c + 1.0));
      sum += prob[hets - 2];
      ++r;
      ++c;
    }
  }
  {
    int hets = mid, r = (rare - mid) / 2, c = genotypes - mid - r;
    for (; hets <= rare - 2; hets += 2) {
      prob[hets + 2] = prob[hets] * 4.0 * r * c / ((hets + 2.0) * (hets + 1.0));
      sum += prob[hets + 2];
      --r;
      --c;
    }
  }
  const double observed = prob[heterozygous] * (1 + kTieTolerance);
  double p = 0;
  for (int h = rare & 1; h <= rare; h += 2)
    if (prob[h] <= observed) p += prob[h];
  return std::min(1.0, p / sum);
}

HweTest TestHardyWeinbergBiallelic(int homozygous1, int heterozygous, int homozygous2) {
  HweTest t;
  t.typed = homozygous1 + heterozygous + homozygous2;
  const int copies1 = 2 * homozygous1 + heterozygous, copies2 = 2 * homozygous2 + heterozygous;
  t.alleles = (copies1 > 0) + (copies2 > 0);
  if (t.alleles < 2) return t;
  ChiSquare({homozygous1, heterozygous, 0, homozygous2}, 2, t.typed, t);
  t.pExact = HweExactP(heterozygous, homozygous1, homozygous2);
  return t;
}

HweTest TestHardyWeinberg(const LocusGenotypes& g, int permutations, RandomGenerator& random) {
  HweTest t;
  const int k = g.alleles;
  const int n = static_cast<int>(g.units.size());
  t.typed = n;
  t.alleles = k;
  if (k < 2 || n == 0) return t;
  std::vector<int> counts(static_cast<std::size_t>(k) * k, 0);
  for (const auto& [a, b] : g.units) ++counts[std::min(a, b) * k + std::max(a, b)];
  ChiSquare(counts, k, n, t);
  if (k == 2) {
    t.pExact = HweExactP(counts[1], counts[0], counts[3]);
    return t;
  }
  if (permutations <= 0) return t;
  t.monteCarlo = true;
  std::vector<double> logFactorial(n + 1, 0.0);
  for (int i = 2; i <= n; ++i) logFactorial[i] = logFactorial[i - 1] + std::log(double(i));
  const double observed = LogConfigurationWeight(counts, k, logFactorial);
  std::vector<int> copies;
  copies.reserve(2 * n);
  for (const auto& [a, b] : g.units) {
    copies.push_back(a);
    copies.push_back(b);
  }
  int noMoreProbable = 0;
  for (int perm = 0; perm < permutations; ++perm) {
    for (int i = static_cast<int>(copies.size()) - 1; i > 0; --i)
      std::swap(copies[i], copies[random.Below(i + 1)]);
    std::fill(counts.begin(), counts.end(), 0);
    for (int u = 0; u < n; ++u) {
      const int a = copies[2 * u], b = copies[2 * u + 1];
      ++counts[std::min(a, b) * k + std::max(a, b)];
    }
    if (LogConfigurationWeight(counts, k, logFactorial) <= observed + kTieTolerance)
      ++noMoreProbable;
  }
  t.pExact = (noMoreProbable + 1.0) / (permutations + 1.0);
  return t;
}

std::vector<std::optional<double>> AdjustFalseDiscoveryRate(
    const std::vector<std::optional<double>>& p) {
  std::vector<int> order;
  for (int i = 0; i < static_cast<int>(p.size()); ++i)
    if (p[i]) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return *p[a] < *p[b]; });
  const double m = static_cast<double>(order.size());
  std::vector<std::optional<double>> adjusted(p.size());
  double running = 1;
  for (int r = static_cast<int>(order.size()) - 1; r >= 0; --r) {
    running = std::min(running, *p[order[r]] * m / (r + 1));
    adjusted[order[r]] = running;
  }
  return adjusted;
}

}  // namespace vireltan
