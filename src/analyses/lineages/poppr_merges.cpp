// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/lineages/poppr_merges.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "analyses/lineages/linkage_clusterer.h"
#include "numeric/repeated_sum.h"

namespace vireltan::clustering {

namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

class PopprMerges {
 public:
  PopprMerges(const PopprMergeInput& input)
      : g_(static_cast<int>(input.slotOfMlg.size())),
        linkage_(input.linkage),
        average_(input.linkage == Linkage::kAverage),
        link_(average_ ? 0 : g_),
        sums_(average_ ? g_ : 0),
        distance_(average_ ? g_ : 0),
        slotOfMlg_(input.slotOfMlg),
        slotOfUnit_(input.mlgOfUnit.size()),
        units_(static_cast<size_t>(g_)),
        mlgs_(static_cast<size_t>(g_)),
        size_(static_cast<size_t>(g_), 0.0),
        occupied_(static_cast<size_t>(g_), 1),
        nearest_(static_cast<size_t>(g_), -1),
        nearestKey_(static_cast<size_t>(g_), 0.0),
        nearestRounded_(static_cast<size_t>(g_), kUnknown),
        tied_(static_cast<size_t>(g_), 0) {
    for (int m = 0; m < g_; ++m) mlgs_[slotOfMlg_[m]].push_back(m);
    for (size_t u = 0; u < input.mlgOfUnit.size(); ++u) {
      const int s = slotOfMlg_[input.mlgOfUnit[u]];
      slotOfUnit_[u] = s;
      units_[s].push_back(static_cast<int>(u));
      size_[s] += 1;
    }
  }

  Status Fill(const MlgDistanceRows& table, ProgressSink& progress) {
    std::vector<double> row(static_cast<size_t>(g_), 0.0);
    for (int m = 0; m + 1 < g_; ++m) {
      if (progress.Cancelled()) return Status::Cancelled();
      table.FillRow(m + 1, m + 2, row);
      for (int k = m + 1; k < g_; ++k) {
        int a = slotOfMlg_[m], b = slotOfMlg_[k];
        if (a > b) std::swap(a, b);
        if (average_) {
          sums_.at(a, b) = row[k] * size_[a] * size_[b];
          distance_.at(a, b) = row[k];
        } else {
          link_.at(a, b) = static_cast<float>(row[k]);
        }
      }
    }
    for (int i = 0; i + 1 < g_; ++i) {
      if (i % 64 == 0 && progress.Cancelled()) return Status::Cancelled();
      FindNearest(i);
    }
    return Status::Ok();
  }

  Status Run(double threshold, bool noteTies, ProgressSink& progress) {
    int groups = g_;
    int shown = -1;
    while (groups > 1) {
      if (progress.Cancelled()) return Status::Cancelled();
      int best = -1;
      for (int i = 0; i + 1 < g_; ++i) {
        if (!occupied_[i] || nearest_[i] < 0) continue;
        if (best < 0 || Before(nearestKey_[i], i, nearest_[i], nearestRounded_[i],
                               nearestKey_[best], best, nearest_[best], nearestRounded_[best]))
          best = i;
      }
      if (best < 0 || !(nearestKey_[best] <= threshold)) break;
      const int a = best, b = nearest_[best];
      if (noteTies && linkage_ != Linkage::kNearest) NoteTies(a, b);
      const int keeper = Keeper(a, b, groups);
      Merge(a, b, keeper);
      --groups;
      const int percent = static_cast<int>(100.0 * (g_ - groups) / g_);
      if (percent != shown) progress.SetPosition(shown = percent);
    }
    return Status::Ok();
  }

  void Collect(PopprMergeResult& result) const {
    result.slotOfMlg.assign(static_cast<size_t>(g_), -1);
    result.tiedMlgs = tied_;
    for (int s = 0; s < g_; ++s)
      if (occupied_[s])
        for (int m : mlgs_[s]) result.slotOfMlg[m] = s;
  }

 private:
  // The exact distance between the groups in slots i < j.
  double Exact(int i, int j) const {
    return average_ ? sums_.at(i, j) / (size_[i] * size_[j]) : link_.at(i, j);
  }
  double ExactAny(int i, int j) const { return i < j ? Exact(i, j) : Exact(j, i); }

  // Whether two exact distances are equal: means are sums over different
  // numbers of pairs, so equal ones may differ in the last bits.
  bool Same(double x, double y) const {
    if (x == y) return true;
    return average_ && std::fabs(x - y) <= 1e-12 * std::max(std::fabs(x), std::fabs(y));
  }

  // poppr's distance between the groups in slots i and j: for average
  // linkage d / (na nb) added once per pair of units, the pairs in file
  // order; the exact distance otherwise. Runs of units of one MLG add the
  // same term, which AddRepeatedly adds at once.
  double Rounded(int i, int j) const {
    if (!average_) return ExactAny(i, j);
    const std::vector<int>& a = units_[i];
    const std::vector<int>& b = units_[j];
    const double pairs = size_[i] * size_[j];
    double sum = 0;
    // The unit u met first pairs with the units of the other group after it.
    auto addAfter = [&](int u, const std::vector<int>& other, size_t from) {
      const int su = slotOfUnit_[u];
      size_t r = from;
      while (r < other.size()) {
        const int sv = slotOfUnit_[other[r]];
        size_t end = r + 1;
        while (end < other.size() && slotOfUnit_[other[end]] == sv) ++end;
        const double d = su < sv ? distance_.at(su, sv) : distance_.at(sv, su);
        sum = AddRepeatedly(sum, d / pairs, static_cast<std::int64_t>(end - r));
        r = end;
      }
    };
    size_t p = 0, q = 0;
    while (p < a.size() || q < b.size()) {
      if (q == b.size() || (p < a.size() && a[p] < b[q])) {
        addAfter(a[p++], b, q);
      } else {
        addAfter(b[q++], a, p);
      }
    }
    return sum;
  }

  // Whether pair (i1, j1) comes before pair (i2, j2): the smaller distance
  // (exact, then poppr's rounding), then the first in row-by-row order.
  // Rounded values are formed only when needed and kept in r1 and r2 (NaN:
  // not yet formed).
  bool Before(double e1, int i1, int j1, double& r1, double e2, int i2, int j2, double& r2) const {
    if (!Same(e1, e2)) return e1 < e2;
    if (average_) {
      if (std::isnan(r1)) r1 = Rounded(i1, j1);
      if (std::isnan(r2)) r2 = Rounded(i2, j2);
      if (r1 != r2) return r1 < r2;
    }
    return i1 != i2 ? i1 < i2 : j1 < j2;
  }

  // The first closest occupied slot after slot i.
  void FindNearest(int i) {
    nearest_[i] = -1;
    nearestRounded_[i] = kUnknown;
    for (int j = i + 1; j < g_; ++j) {
      if (!occupied_[j]) continue;
      const double key = Exact(i, j);
      double rounded = kUnknown;
      if (nearest_[i] < 0 ||
          Before(key, i, j, rounded, nearestKey_[i], i, nearest_[i], nearestRounded_[i])) {
        nearest_[i] = j;
        nearestKey_[i] = key;
        nearestRounded_[i] = rounded;
      }
    }
  }

  // poppr's choice of the slot that keeps the merged group of slots a < b,
  // `groups` groups before the merge.
  int Keeper(int a, int b, int groups) const {
    auto sum = [&](int s, bool rounded) {
      double total = 0;
      for (int k = 0; k < groups; ++k) {
        if (k == s || !occupied_[k]) continue;
        const double d = rounded ? Rounded(s, k) : ExactAny(s, k);
        if (d > 0) total += d / groups;
      }
      return total;
    };
    double sa = sum(a, false), sb = sum(b, false);
    if (average_ && std::fabs(sa - sb) <= 1e-9 * std::max(std::fabs(sa), std::fabs(sb))) {
      sa = sum(a, true);
      sb = sum(b, true);
    }
    return sb < sa ? b : a;
  }

  // Another occupied pair at the height of the merge (a, b) that shares a
  // or b: the order of the two merges might matter. Marks the MLGs of the
  // groups concerned.
  void NoteTies(int a, int b) {
    const double h = Exact(a, b);
    bool any = false;
    for (int k = 0; k < g_; ++k) {
      if (!occupied_[k] || k == a || k == b) continue;
      if (Same(ExactAny(a, k), h) || Same(ExactAny(b, k), h)) {
        any = true;
        for (int m : mlgs_[k]) tied_[m] = 1;
      }
    }
    if (!any) return;
    for (int m : mlgs_[a]) tied_[m] = 1;
    for (int m : mlgs_[b]) tied_[m] = 1;
  }

  template <typename Cell>
  static Cell& CellOf(LinkageMatrix<Cell>& m, int i, int j) {
    return i < j ? m.at(i, j) : m.at(j, i);
  }

  // Merges slots a < b into `keeper` and brings the nearest-slot records up
  // to date. A record changes only when it pointed at a or b, or for the
  // keeper: the other slots' distances are as they were.
  void Merge(int a, int b, int keeper) {
    const int other = keeper == a ? b : a;
    for (int k = 0; k < g_; ++k) {
      if (!occupied_[k] || k == a || k == b) continue;
      if (average_) {
        CellOf(sums_, keeper, k) += CellOf(sums_, other, k);
      } else {
        float& kept = CellOf(link_, keeper, k);
        const float moved = CellOf(link_, other, k);
        kept = linkage_ == Linkage::kFarthest ? std::max(kept, moved) : std::min(kept, moved);
      }
    }
    size_[keeper] += size_[other];
    size_[other] = 0;
    std::vector<int> both;
    both.reserve(units_[a].size() + units_[b].size());
    std::merge(units_[a].begin(), units_[a].end(), units_[b].begin(), units_[b].end(),
               std::back_inserter(both));
    units_[keeper] = std::move(both);
    units_[other].clear();
    mlgs_[keeper].insert(mlgs_[keeper].end(), mlgs_[other].begin(), mlgs_[other].end());
    mlgs_[other].clear();
    occupied_[other] = 0;
    nearest_[other] = -1;
    for (int k = 0; k + 1 < g_; ++k) {
      if (!occupied_[k]) continue;
      if (k == keeper || nearest_[k] == a || nearest_[k] == b) {
        FindNearest(k);
      } else if (k < keeper) {
        const double key = Exact(k, keeper);
        double rounded = kUnknown;
        if (nearest_[k] < 0 ||
            Before(key, k, keeper, rounded, nearestKey_[k], k, nearest_[k], nearestRounded_[k])) {
          nearest_[k] = keeper;
          nearestKey_[k] = key;
          nearestRounded_[k] = rounded;
        }
      }
    }
  }

  int g_;
  Linkage linkage_;
  bool average_;
  LinkageMatrix<float> link_;            // farthest and nearest: the linkage distances
  LinkageMatrix<double> sums_;           // average: the sums of distances over pairs of units
  LinkageMatrix<double> distance_;       // average: the MLG distances, by slot
  std::vector<int> slotOfMlg_;           // at the start
  std::vector<int> slotOfUnit_;          // the slot of each unit's MLG at the start
  std::vector<std::vector<int>> units_;  // per slot, ascending
  std::vector<std::vector<int>> mlgs_;   // per slot
  std::vector<double> size_;
  std::vector<char> occupied_;
  std::vector<int> nearest_;
  std::vector<double> nearestKey_;
  std::vector<double> nearestRounded_;  // kUnknown until asked
  std::vector<char> tied_;              // per MLG
};

}  // namespace

Status RunPopprMerges(const MlgDistanceRows& table, const PopprMergeInput& input, double threshold,
                      ProgressSink& progress, PopprMergeResult& result) {
  PopprMerges merges(input);
  if (Status filled = merges.Fill(table, progress); !filled) return filled;
  if (Status run = merges.Run(threshold, true, progress); !run) return run;
  merges.Collect(result);
  return Status::Ok();
}

}  // namespace vireltan::clustering
