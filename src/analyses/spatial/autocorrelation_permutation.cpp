#include "analyses/spatial/autocorrelation_permutation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>

#include "common/parallel_for.h"
#include "numeric/line_fit.h"
#include "numeric/random.h"
#include "numeric/rounding.h"

namespace vireltan {

SortedPositionPairs CompactPositionPairs(int positions, const std::vector<SortTriple>& sorted) {
  SortedPositionPairs p;
  p.positions = positions;
  const size_t count = sorted.empty() ? 0 : sorted.size() - 1;
  p.first.resize(count);
  p.second.resize(count);
  p.distance.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const SortTriple& t = sorted[i + 1];
    p.first[i] = static_cast<std::uint32_t>(t.first);
    p.second[i] = static_cast<std::uint32_t>(t.second);
    p.distance[i] = t.key;
  }
  return p;
}

PermutationPass::PermutationPass(const SortedPositionPairs& pairs, PermutedUnits units,
                                 ClassRule rule, const std::vector<std::int64_t>& ends,
                                 std::int64_t keptPairs)
    : pairs_(pairs), units_(std::move(units)), rule_(std::move(rule)) {
  const std::int64_t m = pairs_.positions;
  const std::int64_t total = pairs_.size();
  if (!units_.skipSameGroup) {
    // Every arrangement uses every position pair: each keeps the class of
    // its rank in the observed cut, and the classes keep their sizes.
    sizes_.assign(rule_.k + 1, 0);
    classOfTri_.assign(total, 0);
    int c = 1;
    for (std::int64_t r = 0; r < total; ++r) {
      while (c < rule_.k && r + 1 > ends[c]) ++c;
      classOfTri_[TriangleIndex(m, pairs_.first[r], pairs_.second[r])] =
          static_cast<std::uint16_t>(c);
      ++sizes_[c];
    }
  } else {
    rankOfTri_.assign(total, 0);
    for (std::int64_t r = 0; r < total; ++r)
      rankOfTri_[TriangleIndex(m, pairs_.first[r], pairs_.second[r])] =
          static_cast<std::uint32_t>(r);
    // The kept pairs are as many in every arrangement, so equal-count
    // classes keep their sizes; fixed-limit classes are counted each time.
    if (rule_.rule == DistanceClassRule::kEqualCount)
      sizes_ = EqualCountClassSizes(keptPairs, rule_.k);
  }
}

void PermutationPass::Evaluate(const std::vector<int>& unitAt, Scratch& s,
                               ArrangementMeans& out) const {
  const int m = pairs_.positions;
  const int k = rule_.k;
  s.groupAt.resize(m);
  for (int p = 0; p < m; ++p) s.groupAt[p] = units_.group[unitAt[p]];
  s.sumL.assign(k + 1, 0.0);
  s.sumR.assign(k + 1, 0.0);
  s.count.assign(k + 1, 0);
  const int* groupAt = s.groupAt.data();
  const KinshipTable& table = *units_.table;
  double* sumL = s.sumL.data();
  double* sumR = s.sumR.data();

  if (!units_.skipSameGroup) {
    const std::uint16_t* cls = classOfTri_.data();
    for (int a = 0; a + 1 < m; ++a) {
      const KinshipPair* row = table.row(groupAt[a]);
      for (int b = a + 1; b < m; ++b) {
        const int c = *cls++;
        const KinshipPair& t = row[groupAt[b]];
        sumL[c] += t.loiselle;
        sumR[c] += t.ritland;
      }
    }
    for (int c = 1; c <= k; ++c) s.count[c] = sizes_[c];
  } else {
    // First pass, in distance order: number the kept pairs and cut classes.
    const std::int64_t total = pairs_.size();
    s.classOfRank.resize(total);
    std::uint16_t* classOfRank = s.classOfRank.data();
    const std::uint32_t* first = pairs_.first.data();
    const std::uint32_t* second = pairs_.second.data();
    int c = 1;
    if (rule_.rule == DistanceClassRule::kEqualCount) {
      std::int64_t left = k >= 1 ? sizes_[1] : 0;
      for (std::int64_t r = 0; r < total; ++r) {
        if (groupAt[first[r]] == groupAt[second[r]]) continue;
        while (left == 0 && c < k) left = sizes_[++c];
        --left;
        classOfRank[r] = static_cast<std::uint16_t>(c);
        ++s.count[c];
      }
    } else {
      const double* distance = pairs_.distance.data();
      bool started = false;
      double limit = rule_.limits[0];
      for (std::int64_t r = 0; r < total; ++r) {
        if (groupAt[first[r]] == groupAt[second[r]]) continue;
        // A class closes before a pair beyond its limit; one class per pair,
        // and the last class takes all that remain.
        if (started && distance[r] > limit && c < k) limit = rule_.limits[++c - 1];
        started = true;
        classOfRank[r] = static_cast<std::uint16_t>(c);
        ++s.count[c];
      }
    }
    // Second pass, row by row over positions.
    const std::uint32_t* rank = rankOfTri_.data();
    for (int a = 0; a + 1 < m; ++a) {
      const int ga = groupAt[a];
      const KinshipPair* row = table.row(ga);
      for (int b = a + 1; b < m; ++b) {
        const std::uint32_t r = *rank++;
        const int gb = groupAt[b];
        if (gb == ga) continue;
        const int cls = classOfRank[r];
        const KinshipPair& t = row[gb];
        sumL[cls] += t.loiselle;
        sumR[cls] += t.ritland;
      }
    }
  }
  out.loiselle.assign(k + 1, 0.0);
  out.ritland.assign(k + 1, 0.0);
  for (int c = 1; c <= k; ++c) {
    if (s.count[c] == 0) continue;  // an empty class reads 0
    out.loiselle[c] = sumL[c] / static_cast<double>(s.count[c]);
    out.ritland[c] = sumR[c] / static_cast<double>(s.count[c]);
  }
}

BoundPositions BoundPositionsFor(int n) {
  const double k = 2.5 * n / 100.0;
  auto at = [n](double position) {
    long long p = RoundHalfEven(position);
    return static_cast<int>(std::clamp<long long>(p, 1, std::max(1, n)));
  };
  return BoundPositions{at(k + 1), at(n - k), at(2 * k + 1), at(n - 2 * k)};
}

SeriesSummary SummarizeSeries(const std::vector<double>& values) {
  SeriesSummary s;
  const int n = static_cast<int>(values.size());
  if (n == 0) return s;
  double sum = 0;
  for (double v : values) sum += v;
  s.mean = sum / n;
  // Σv²/n − mean², summed about the mean so that a series far from 0 keeps
  // its digits.
  double squares = 0;
  for (double v : values) squares += (v - s.mean) * (v - s.mean);
  const double variance = squares / n;
  s.sd = std::sqrt((n + 1.0) / n * variance);
  std::vector<double> sorted(n + 1);
  std::copy(values.begin(), values.end(), sorted.begin() + 1);
  HeapSortReals(n, sorted);
  const BoundPositions b = BoundPositionsFor(n);
  s.lower95 = sorted[b.lower95];
  s.upper95 = sorted[b.upper95];
  s.lower90 = sorted[b.lower90];
  s.upper90 = sorted[b.upper90];
  return s;
}

SlopeTest CompareWithPermuted(double observed, const std::vector<double>& permuted) {
  SlopeTest t;
  if (permuted.empty()) return t;
  int below = 0, above = 0, equal = 0;
  for (double v : permuted) {
    if (observed < v) ++below;
    if (observed > v) ++above;
    if (observed == v) ++equal;
  }
  const double n = static_cast<double>(permuted.size());
  t.below = below / n;
  t.above = above / n;
  t.equal = equal / n;
  return t;
}

double OneSidedClassP(double observed, double overallMean, const double* permuted, int count,
                      int stride) {
  if (count <= 0) return 0;
  int hits = 0;
  const bool upper = observed >= overallMean;
  for (int x = 0; x < count; ++x) {
    const double v = permuted[static_cast<size_t>(x) * stride];
    if (upper ? v >= observed : v <= observed) ++hits;
  }
  return static_cast<double>(hits) / count;
}

namespace {

bool AllEqual(const std::vector<double>& v) {
  for (size_t i = 1; i < v.size(); ++i)
    if (v[i] != v[0]) return false;
  return true;
}

}  // namespace

bool FitSlopes(const std::vector<double>& distance, const std::vector<double>& lnDistance,
               const std::vector<double>& loiselle, const std::vector<double>& ritland,
               std::array<double, 4>& slopes) {
  const std::vector<double> xd(distance.begin() + 1, distance.end());
  const std::vector<double> xl(lnDistance.begin() + 1, lnDistance.end());
  if (xd.size() < 2 || AllEqual(xd) || AllEqual(xl)) return false;
  const std::vector<double> yl(loiselle.begin() + 1, loiselle.end());
  const std::vector<double> yr(ritland.begin() + 1, ritland.end());
  slopes[0] = FitStraightLine(xd, yl).b;
  slopes[1] = FitStraightLine(xl, yl).b;
  slopes[2] = FitStraightLine(xd, yr).b;
  slopes[3] = FitStraightLine(xl, yr).b;
  return true;
}

Status RunPermutations(const PermutationPass& pass, int n, std::uint32_t runSeed,
                       std::uint64_t streamBase, const std::vector<double>& xDistance,
                       const std::vector<double>& xLn, ProgressSink* progress,
                       PermutationResults& results) {
  const int k = pass.k();
  const int m = pass.units();
  results.n = n;
  results.k = k;
  results.loiselle.assign(static_cast<size_t>(n) * k, 0.0);
  results.ritland.assign(static_cast<size_t>(n) * k, 0.0);
  for (auto& s : results.slopes) s.assign(n, 0.0);
  std::atomic<bool> fitted{true};
  auto work = [&](int begin, int end) {
    PermutationPass::Scratch scratch;
    ArrangementMeans means;
    std::vector<int> unitAt(m);
    for (int x = begin; x < end; ++x) {
      // A fresh uniformly random arrangement from this permutation's own
      // stream (Fisher–Yates), whatever thread runs it.
      RandomGenerator random = RandomGenerator::ForStream(runSeed, streamBase + x);
      std::iota(unitAt.begin(), unitAt.end(), 0);
      for (int i = m - 1; i >= 1; --i) std::swap(unitAt[i], unitAt[random.Below(i + 1)]);
      pass.Evaluate(unitAt, scratch, means);
      std::copy(means.loiselle.begin() + 1, means.loiselle.end(),
                results.loiselle.begin() + static_cast<size_t>(x) * k);
      std::copy(means.ritland.begin() + 1, means.ritland.end(),
                results.ritland.begin() + static_cast<size_t>(x) * k);
      std::array<double, 4> slopes{};
      if (!FitSlopes(xDistance, xLn, means.loiselle, means.ritland, slopes)) fitted = false;
      for (int s = 0; s < 4; ++s) results.slopes[s][x] = slopes[s];
    }
  };
  if (!ParallelFor(n, work, progress)) return Status::Cancelled();
  // The abscissae are the observed ones, already checked; kept for safety.
  if (!fitted) return Status::Error("Spatial autocorrelation stopped: the distance classes "
                                    "have equal average distances, so no regression slope "
                                    "exists (division by zero).");
  return Status::Ok();
}

}  // namespace vireltan
