// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/ordination/mantel.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "common/parallel_for.h"
#include "numeric/random.h"

namespace vireltan {

namespace {

// Means and centred sums of squares and cross products of two series.
struct CentredSums {
  double meanA = 0, meanB = 0;
  double ab = 0, aa = 0, bb = 0;
};

CentredSums SumCentred(const std::vector<double>& a, const std::vector<double>& b) {
  CentredSums s;
  const std::size_t m = a.size();
  for (std::size_t k = 0; k < m; ++k) {
    s.meanA += a[k];
    s.meanB += b[k];
  }
  s.meanA /= m;
  s.meanB /= m;
  for (std::size_t k = 0; k < m; ++k) {
    s.ab += (a[k] - s.meanA) * (b[k] - s.meanB);
    s.aa += (a[k] - s.meanA) * (a[k] - s.meanA);
    s.bb += (b[k] - s.meanB) * (b[k] - s.meanB);
  }
  return s;
}

std::optional<double> CorrelationOf(const CentredSums& s) {
  if (!(s.aa > 0) || !(s.bb > 0)) return std::nullopt;
  return s.ab / std::sqrt(s.aa * s.bb);
}

}  // namespace

std::optional<double> PearsonCorrelation(const std::vector<double>& a,
                                         const std::vector<double>& b) {
  if (a.size() < 2 || b.size() != a.size()) return std::nullopt;
  return CorrelationOf(SumCentred(a, b));
}

std::vector<double> MidRanks(const std::vector<double>& values) {
  std::vector<std::size_t> order(values.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
  std::vector<double> ranks(values.size());
  for (std::size_t k = 0; k < order.size();) {
    std::size_t e = k;
    while (e + 1 < order.size() && values[order[e + 1]] == values[order[k]]) ++e;
    const double mid = (static_cast<double>(k) + e) / 2 + 1;
    for (std::size_t t = k; t <= e; ++t) ranks[order[t]] = mid;
    k = e + 1;
  }
  return ranks;
}

bool MantelTest(const std::vector<double>& first, const std::vector<double>& second, int n,
                bool spearman, int permutations, std::uint32_t runSeed, ProgressSink* progress,
                MantelResult& out) {
  out = {};
  out.n = n;
  const std::vector<double> a = spearman ? MidRanks(first) : first;
  const std::vector<double> b = spearman ? MidRanks(second) : second;
  if (a.size() < 2 || b.size() != a.size()) return !(progress && progress->Cancelled());
  // A permutation moves the pairs of `a` but keeps its values: only the
  // cross product changes, so the sums of `a` and `b` are found once.
  const CentredSums sums = SumCentred(a, b);
  out.r = CorrelationOf(sums);
  if (!out.r || permutations <= 0) return !(progress && progress->Cancelled());
  const std::size_t m = a.size();
  std::vector<double> bc(m);
  for (std::size_t k = 0; k < m; ++k) bc[k] = b[k] - sums.meanB;
  const double sab = sums.ab;
  // The observed cross product, compared with a relative tolerance so that
  // a permutation giving back the same pairs counts as at least as large.
  const double observed = sab - 1e-12 * std::abs(sab) - 1e-300;
  std::vector<char> atLeast(permutations, 0);
  const bool done = ParallelFor(
      permutations,
      [&](int begin, int end) {
        std::vector<int> perm(n);
        for (int k = begin; k < end; ++k) {
          RandomGenerator random = RandomGenerator::ForStream(runSeed, k);
          std::iota(perm.begin(), perm.end(), 0);
          for (int i = n - 1; i > 0; --i) std::swap(perm[i], perm[random.Below(i + 1)]);
          double cross = 0;
          for (int i = 1; i < n; ++i) {
            const int pi = perm[i];
            const double* bi = &bc[PairIndex(i, 0)];
            for (int j = 0; j < i; ++j) {
              const int pj = perm[j];
              cross += (pi > pj ? a[PairIndex(pi, pj)] : a[PairIndex(pj, pi)]) * bi[j];
            }
          }
          atLeast[k] = cross >= observed;
        }
      },
      // One permutation costs n²/2 products: past a few hundred items the
      // workers take one at a time, so that the cancel flag is polled
      // within a second whatever n.
      progress, n > 400 ? 1 : 0);
  if (!done) return false;
  out.permutations = permutations;
  out.atLeast = static_cast<int>(std::count(atLeast.begin(), atLeast.end(), 1));
  out.p = (out.atLeast + 1.0) / (permutations + 1.0);
  return true;
}

}  // namespace vireltan
