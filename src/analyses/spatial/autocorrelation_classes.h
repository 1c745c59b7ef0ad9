// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Distance classes of the spatial autocorrelation.
//
// The pairs of a dataset, sorted by ascending geographic distance, are cut
// into k classes in one of two ways:
//   - equal counts: with P pairs, q = trunc(P / k) and r = P − k·q, the
//     first r classes hold q + 1 pairs and the others q (when k > P the
//     classes P+1..k stay empty);
//   - fixed limits: class c ends with the last pair whose successor lies
//     beyond limit_c. At most one class closes per pair, so a pair after a
//     gap spanning several limits opens just the next class, and every class
//     before the last holds at least one pair while pairs remain; the last
//     class takes every remaining pair.
// Both cuts are expressed as the rank of the last pair of each class, so the
// observed tables, the permutations and the resampling replicates share them.
#include <cmath>
#include <cstdint>
#include <vector>

#include "analyses/spatial/autocorrelation_options.h"

namespace vireltan {

// How a run cuts classes: the rule, k and, for the fixed rule, the k upper
// limits (an added last limit when the data reach beyond the file's).
struct ClassRule {
  DistanceClassRule rule = DistanceClassRule::kEqualCount;
  int k = 0;
  std::vector<double> limits;  // 0-based: limits[c-1] bounds class c
};

// Sizes of the k equal-count classes of P pairs, 1-based (index 0 unused).
std::vector<std::int64_t> EqualCountClassSizes(std::int64_t pairs, int k);

// Rank (1-based) of the last pair of each class c = 1..k, 1-based vector;
// an empty class repeats the previous end (0 before the first pair).
// Equal counts need only P. Fixed limits need, per class c, the number of
// pairs at a distance ≤ limit_c (`atOrBelow`, 1-based).
std::vector<std::int64_t> EqualCountClassEnds(std::int64_t pairs, int k);
std::vector<std::int64_t> FixedLimitClassEnds(std::int64_t pairs,
                                              const std::vector<std::int64_t>& atOrBelow);

// Class ends of a sorted list: `distanceAt(i)` gives the distance of the
// pair of rank i (1-based, ascending).
template <typename DistanceAt>
std::vector<std::int64_t> ClassEnds(std::int64_t pairs, const ClassRule& rule,
                                    DistanceAt distanceAt) {
  if (rule.rule == DistanceClassRule::kEqualCount) return EqualCountClassEnds(pairs, rule.k);
  std::vector<std::int64_t> atOrBelow(rule.k + 1, 0);
  for (int c = 1; c <= rule.k; ++c) {
    // Number of pairs at or below the limit: a binary search of the sorted list.
    std::int64_t lo = 0, hi = pairs;  // answer in [lo, hi]
    const double limit = rule.limits[c - 1];
    while (lo < hi) {
      std::int64_t mid = lo + (hi - lo + 1) / 2;
      if (distanceAt(mid) <= limit) {
        lo = mid;
      } else {
        hi = mid - 1;
      }
    }
    atOrBelow[c] = lo;
  }
  return FixedLimitClassEnds(pairs, atOrBelow);
}

// The observed class table of one dataset (all vectors 1-based, k + 1 long).
// A class without pairs reads 0 in every column except, for the fixed rule,
// its maximum, which is the class's limit.
struct ClassTable {
  int k = 0;
  std::vector<double> minimum;    // class 1: first pair; class c+1: last pair of class c
  std::vector<double> average;    // mean distance of the class's pairs
  std::vector<double> maximum;    // equal counts: last pair; fixed: the limit
                                  // (the last class: the largest distance)
  std::vector<double> lnAverage;  // ln of the average; 0 when it is not > 0
  std::vector<double> pairCount;
  std::vector<double> loiselle;  // mean Loiselle kinship of the class
  std::vector<double> ritland;   // mean Ritland relationship of the class
  double meanLoiselle = 0;       // over all pairs of the list
  double meanRitland = 0;
};

// ln of a class's average distance as the regressions use it.
inline double LnAverageDistance(double average) {
  return average > 0 ? std::log(average) : 0.0;
}

// Tabulates the classes of a sorted pair list: `pairAt(i)` returns, for
// rank i (1-based), a struct with fields `distance`, `loiselle` and
// `ritland`. Sums run in rank order.
template <typename PairAt>
ClassTable TabulateClasses(std::int64_t pairs, const ClassRule& rule,
                           const std::vector<std::int64_t>& ends, PairAt pairAt) {
  ClassTable t;
  t.k = rule.k;
  for (auto* v :
       {&t.minimum, &t.average, &t.maximum, &t.lnAverage, &t.pairCount, &t.loiselle, &t.ritland})
    v->assign(rule.k + 1, 0.0);
  double totalL = 0, totalR = 0;
  std::int64_t previousEnd = 0;
  for (int c = 1; c <= rule.k; ++c) {
    const std::int64_t end = ends[c];
    double sumD = 0, sumL = 0, sumR = 0;
    for (std::int64_t i = previousEnd + 1; i <= end; ++i) {
      auto p = pairAt(i);
      sumD += p.distance;
      sumL += p.loiselle;
      sumR += p.ritland;
      totalL += p.loiselle;
      totalR += p.ritland;
    }
    const std::int64_t count = end - previousEnd;
    if (count > 0) {
      t.minimum[c] = pairAt(previousEnd == 0 ? 1 : previousEnd).distance;
      t.average[c] = sumD / count;
      t.lnAverage[c] = LnAverageDistance(t.average[c]);
      t.pairCount[c] = static_cast<double>(count);
      t.loiselle[c] = sumL / count;
      t.ritland[c] = sumR / count;
      if (rule.rule == DistanceClassRule::kEqualCount) t.maximum[c] = pairAt(end).distance;
    }
    if (rule.rule == DistanceClassRule::kFixedLimits) {
      t.maximum[c] = c < rule.k ? rule.limits[c - 1] : (pairs > 0 ? pairAt(pairs).distance : 0.0);
    }
    previousEnd = end;
  }
  if (pairs > 0) {
    t.meanLoiselle = totalL / static_cast<double>(pairs);
    t.meanRitland = totalR / static_cast<double>(pairs);
  }
  return t;
}

// TabulateClasses fed one pair at a time in rank order, for lists that are
// never held whole: the same sums in the same order, so the same table to
// the last bit. `ends` are the class ends of the `pairs`-long list.
class ClassTableBuilder {
 public:
  ClassTableBuilder() = default;
  ClassTableBuilder(const ClassRule& rule, std::vector<std::int64_t> ends, std::int64_t pairs);
  // Forgets the pairs added so far.
  void Reset();
  void Add(double distance, double loiselle, double ritland) {
    ++rank_;
    while (c_ <= t_.k && rank_ > ends_[c_]) Close();
    if (rank_ == ends_[c_ - 1] + 1) t_.minimum[c_] = ends_[c_ - 1] == 0 ? distance : last_;
    sumD_ += distance;
    sumL_ += loiselle;
    sumR_ += ritland;
    totalL_ += loiselle;
    totalR_ += ritland;
    last_ = distance;
  }
  // The table, once all pairs have been added.
  ClassTable Finish();
  // Whether the next two pairs, at one distance, fall in one class and give
  // the same sums whichever comes first (so their order does not matter).
  bool SameInEitherOrder(const double loiselle[2], const double ritland[2]) const {
    // The class of rank r is the first c with ends[c] >= r.
    int c = c_;
    while (c <= t_.k && rank_ + 1 > ends_[c]) ++c;
    if (c > t_.k || rank_ + 2 > ends_[c]) return false;
    auto same = [](double s, double a, double b) { return (s + a) + b == (s + b) + a; };
    // A pair that opens a class finds its class sums at 0.
    const double sumL = c == c_ ? sumL_ : 0.0, sumR = c == c_ ? sumR_ : 0.0;
    return same(sumL, loiselle[0], loiselle[1]) && same(sumR, ritland[0], ritland[1]) &&
           same(totalL_, loiselle[0], loiselle[1]) && same(totalR_, ritland[0], ritland[1]);
  }

 private:
  void Close();  // ends class c_ and opens the next
  const ClassRule* rule_ = nullptr;
  std::vector<std::int64_t> ends_;
  std::int64_t pairs_ = 0;
  ClassTable t_;
  int c_ = 1;
  std::int64_t rank_ = 0;
  double sumD_ = 0, sumL_ = 0, sumR_ = 0, totalL_ = 0, totalR_ = 0, last_ = 0;
};

}  // namespace vireltan
