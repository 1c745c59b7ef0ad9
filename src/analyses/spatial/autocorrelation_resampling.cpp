// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_resampling.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <numeric>
#include <system_error>

#include "common/parallel_for.h"
#include "numeric/line_fit.h"
#include "numeric/random.h"

namespace vireltan {

double RoundToFiveDigitsTwoDecimals(double value) {
  if (!std::isfinite(value)) return value;
  char buffer[64];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 4);
  double fiveDigits = value;
  if (r.ec == std::errc()) std::from_chars(buffer, r.ptr, fiveDigits);
  // From 10^4 up, five significant digits leave no decimals to round (and
  // the fixed notation of a huge value would not fit the buffer).
  if (std::fabs(fiveDigits) >= 1e4) return fiveDigits;
  r = std::to_chars(buffer, buffer + sizeof buffer, fiveDigits, std::chars_format::fixed, 2);
  double twoDecimals = fiveDigits;
  if (r.ec == std::errc()) std::from_chars(buffer, r.ptr, twoDecimals);
  return twoDecimals == 0.0 ? 0.0 : twoDecimals;  // no "-0"
}

namespace {

struct GenetPair {
  double distance;
  double loiselle;
  double ritland;
};

bool ByDistance(const GenetPair& a, const GenetPair& b) {
  return a.distance < b.distance;
}

// Reorders data[lo, hi) so that every position in `cuts` (sorted, within
// the range) holds the element a full sort would put there, with nothing
// larger before it and nothing smaller after it. Ranges between cuts then
// hold the right pairs, in some order.
void MultiSelect(GenetPair* data, std::int64_t lo, std::int64_t hi, const std::int64_t* cuts,
                 int cutCount) {
  if (cutCount == 0 || hi - lo < 2) return;
  const int middle = cutCount / 2;
  const std::int64_t at = cuts[middle];
  std::nth_element(data + lo, data + at, data + hi, ByDistance);
  MultiSelect(data, lo, at, cuts, middle);
  MultiSelect(data, at + 1, hi, cuts + middle + 1, cutCount - middle - 1);
}

// The cut positions (0-based index of the last pair) of classes 1..k−1.
std::vector<std::int64_t> CutPositions(const std::vector<std::int64_t>& ends, std::int64_t pairs) {
  std::vector<std::int64_t> cuts;
  for (size_t c = 1; c + 1 < ends.size(); ++c) {
    const std::int64_t at = ends[c] - 1;
    if (at >= 0 && at < pairs - 1 && (cuts.empty() || cuts.back() != at)) cuts.push_back(at);
  }
  return cuts;
}

bool AllEqual(const std::vector<double>& v) {
  for (size_t i = 1; i < v.size(); ++i)
    if (v[i] != v[0]) return false;
  return true;
}

}  // namespace

Status RunResampling(const Dataset& dataset, const MlgPartition& mlgs, const KinshipTable& table,
                     const ClassRule& rule, int n, std::uint32_t runSeed, std::uint64_t streamBase,
                     ProgressSink* progress, ResamplingResults& results) {
  const int g = mlgs.mlgCount;
  const int k = rule.k;
  const std::int64_t pairs = static_cast<std::int64_t>(g) * (g - 1) / 2;
  results.n = n;
  results.k = k;
  const size_t cells = static_cast<size_t>(n) * k;
  for (auto* v : {&results.minimum, &results.average, &results.maximum, &results.lnAverage,
                  &results.pairCount, &results.observedLoiselle, &results.observedRitland,
                  &results.permutedLoiselle, &results.permutedRitland})
    v->assign(cells, 0.0);
  for (auto* group :
       {&results.observedSlopes, &results.observedIntercepts, &results.permutedSlopes})
    for (auto& s : *group) s.assign(n, 0.0);
  const KinshipPair mean = table.MeanOverDistinctPairs();
  results.meanLoiselle = mean.loiselle;
  results.meanRitland = mean.ritland;

  // The SUs of each MLG in the order of the dataset table.
  std::vector<int> start(g + 1, 0);
  for (int m = 0; m < g; ++m) start[m + 1] = start[m] + mlgs.cloneSize[m];
  std::vector<int> members(dataset.sampleCount);
  {
    std::vector<int> filled(start.begin(), start.end() - 1);
    for (int su : mlgs.keyOrder) members[filled[mlgs.mlgOfSu[su] - 1]++] = su;
  }

  std::mutex failureMutex;
  int failedReplicate = n;
  std::string failure;
  auto fail = [&](int x, std::string message) {
    std::lock_guard<std::mutex> lock(failureMutex);
    if (x < failedReplicate) {
      failedReplicate = x;
      failure = std::move(message);
    }
  };

  auto work = [&](int begin, int end) {
    std::vector<double> px(g), py(g);
    std::vector<int> order(g);
    std::vector<GenetPair> observed(pairs), permuted(pairs);
    std::vector<double> avg(k + 1), ln(k + 1), obsL(k + 1), obsR(k + 1), permL(k + 1), permR(k + 1);
    std::vector<std::int64_t> atOrBelow(k + 1);
    for (int x = begin; x < end; ++x) {
      RandomGenerator random = RandomGenerator::ForStream(runSeed, streamBase + x);
      // One SU per genet; a genet of one SU always gives that SU.
      for (int m = 0; m < g; ++m) {
        const int su = members[start[m] + random.Below(mlgs.cloneSize[m])];
        px[m] = dataset.x[su];
        py[m] = dataset.y[su];
      }
      // The drawn positions dealt out again among the genets.
      std::iota(order.begin(), order.end(), 0);
      for (int i = g - 1; i >= 1; --i) std::swap(order[i], order[random.Below(i + 1)]);

      std::int64_t p = 0;
      for (int a = 0; a < g; ++a) {
        const KinshipPair* row = table.upperRow(a) - a;  // row[b], b > a
        for (int b = a + 1; b < g; ++b, ++p) {
          double dx = px[a] - px[b];
          double dy = py[a] - py[b];
          observed[p] = {std::hypot(dx, dy), row[b].loiselle, row[b].ritland};
          dx = px[order[a]] - px[order[b]];
          dy = py[order[a]] - py[order[b]];
          permuted[p] = {std::hypot(dx, dy), row[b].loiselle, row[b].ritland};
        }
      }

      std::vector<std::int64_t> ends;
      if (rule.rule == DistanceClassRule::kEqualCount) {
        ends = EqualCountClassEnds(pairs, k);
      } else {
        std::fill(atOrBelow.begin(), atOrBelow.end(), 0);
        for (const GenetPair& pair : observed) {
          auto it = std::lower_bound(rule.limits.begin(), rule.limits.end(), pair.distance);
          if (it != rule.limits.end()) ++atOrBelow[1 + (it - rule.limits.begin())];
        }
        for (int c = 2; c <= k; ++c) atOrBelow[c] += atOrBelow[c - 1];
        ends = FixedLimitClassEnds(pairs, atOrBelow);
      }
      const std::vector<std::int64_t> cuts = CutPositions(ends, pairs);
      MultiSelect(observed.data(), 0, pairs, cuts.data(), static_cast<int>(cuts.size()));
      MultiSelect(permuted.data(), 0, pairs, cuts.data(), static_cast<int>(cuts.size()));

      const size_t base = static_cast<size_t>(x) * k;
      double previousMax = 0;
      std::int64_t previousEnd = 0;
      for (int c = 1; c <= k; ++c) {
        const std::int64_t e = ends[c];
        const std::int64_t count = e - previousEnd;
        double sumD = 0, sumL = 0, sumR = 0, sumPL = 0, sumPR = 0;
        double lowest = 0, highest = 0;
        for (std::int64_t i = previousEnd; i < e; ++i) {
          const GenetPair& o = observed[i];
          if (i == previousEnd || o.distance < lowest) lowest = o.distance;
          if (i == previousEnd || o.distance > highest) highest = o.distance;
          sumD += o.distance;
          sumL += o.loiselle;
          sumR += o.ritland;
          sumPL += permuted[i].loiselle;
          sumPR += permuted[i].ritland;
        }
        avg[c] = ln[c] = obsL[c] = obsR[c] = permL[c] = permR[c] = 0;
        const size_t cell = base + c - 1;
        if (count > 0) {
          avg[c] = sumD / count;
          ln[c] = LnAverageDistance(avg[c]);
          obsL[c] = sumL / count;
          obsR[c] = sumR / count;
          permL[c] = sumPL / count;
          permR[c] = sumPR / count;
          // Class 1 starts at the replicate's first pair, class c+1 at the
          // last pair of class c.
          results.minimum[cell] = RoundToFiveDigitsTwoDecimals(c == 1 ? lowest : previousMax);
          results.average[cell] = RoundToFiveDigitsTwoDecimals(avg[c]);
          results.lnAverage[cell] = RoundToFiveDigitsTwoDecimals(ln[c]);
          results.pairCount[cell] = static_cast<double>(count);
          results.maximum[cell] = RoundToFiveDigitsTwoDecimals(highest);
          previousMax = highest;
        }
        if (rule.rule == DistanceClassRule::kFixedLimits && c < k)
          results.maximum[cell] = rule.limits[c - 1];
        if (rule.rule == DistanceClassRule::kFixedLimits && c == k && count == 0 && pairs > 0)
          results.maximum[cell] = RoundToFiveDigitsTwoDecimals(previousMax);
        results.observedLoiselle[cell] = obsL[c];
        results.observedRitland[cell] = obsR[c];
        results.permutedLoiselle[cell] = permL[c];
        results.permutedRitland[cell] = permR[c];
        previousEnd = e;
      }

      // Eight lines on the unrounded class averages.
      const std::vector<double> xd(avg.begin() + 1, avg.end());
      const std::vector<double> xl(ln.begin() + 1, ln.end());
      if (xd.size() < 2 || AllEqual(xd) || AllEqual(xl)) {
        fail(x, "Spatial autocorrelation stopped: in resampling replicate " +
                    std::to_string(x + 1) +
                    " the distance classes have equal average distances (or equal logarithms), "
                    "so no regression slope exists (division by zero).");
        return;
      }
      const std::vector<double>* xs[4] = {&xd, &xl, &xd, &xl};
      const std::vector<double> yObs[4] = {{obsL.begin() + 1, obsL.end()},
                                           {obsL.begin() + 1, obsL.end()},
                                           {obsR.begin() + 1, obsR.end()},
                                           {obsR.begin() + 1, obsR.end()}};
      const std::vector<double> yPerm[4] = {{permL.begin() + 1, permL.end()},
                                            {permL.begin() + 1, permL.end()},
                                            {permR.begin() + 1, permR.end()},
                                            {permR.begin() + 1, permR.end()}};
      for (int s = 0; s < 4; ++s) {
        const LineFit fit = FitStraightLine(*xs[s], yObs[s]);
        if (fit.b == 0.0) {
          fail(x, "Spatial autocorrelation stopped: in resampling replicate " +
                      std::to_string(x + 1) +
                      " a regression slope is exactly 0, so its distance intercept -a/b is "
                      "undefined (division by zero).");
          return;
        }
        results.observedSlopes[s][x] = fit.b;
        results.observedIntercepts[s][x] = -fit.a / fit.b;
        results.permutedSlopes[s][x] = FitStraightLine(*xs[s], yPerm[s]).b;
      }
    }
  };
  const bool finished = ParallelFor(n, work, progress);
  if (failedReplicate < n) return Status::Error(failure);
  if (!finished) return Status::Cancelled();
  return Status::Ok();
}

}  // namespace vireltan
