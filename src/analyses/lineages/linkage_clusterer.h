// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The agglomeration behind ClusterMlgs (mlg_clustering.h): the triangle of
// linkage distances between the current groups and the closest-pair merges,
// with nearest-neighbour records so that a merge costs O(G) in practice.
// Internal to the lineage analyses.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/lineages/mlg_clustering.h"
#include "common/progress_sink.h"
#include "common/status.h"

namespace vireltan::clustering {

// The linkage distances between the current groups, upper triangle only,
// addressed by the row of each group's first member (0-based, rows in the
// tie order). Farthest and nearest linkage keep distances of the table
// (whole or half numbers, or proportions of loci: a float holds them as
// closely as the comparisons need, and max/min never create new values), so
// their cells are floats. For the average linkage a cell holds the weighted
// sum of the distances between the two groups, a double; the mean is taken
// only when groups are compared. This G^2/2 matrix is what bounds the size
// of the problem.
template <typename Cell>
class LinkageMatrix {
 public:
  // The cells are left unset (every fill writes each of them): zeroing
  // gigabytes first would take seconds that no cancel can cut short.
  explicit LinkageMatrix(int g)
      : g_(g),
        cells_(std::make_unique_for_overwrite<Cell[]>(static_cast<size_t>(g) * (g > 0 ? g - 1 : 0) /
                                                      2)) {}
  Cell& at(int i, int j) {  // i < j
    return cells_[Index(i, j)];
  }
  Cell at(int i, int j) const { return cells_[Index(i, j)]; }
  Cell* row(int i) {  // cells (i, i+1) .. (i, g-1)
    return &at(i, i + 1);
  }

 private:
  size_t Index(int i, int j) const {
    return static_cast<size_t>(i) * g_ - static_cast<size_t>(i) * (i + 1) / 2 + (j - i - 1);
  }
  int g_;
  std::unique_ptr<Cell[]> cells_;
};

// Rows are the MLGs in tie order: row r holds MLG mlgOfRow[r] (0-based). Of
// equally close pairs the first in row order is merged, the merged group
// keeping the place of the first. (poppr's own merges: poppr_merges.h.)
template <typename Cell>
class Clusterer {
 public:
  Clusterer(Linkage linkage, std::vector<int> mlgOfRow, std::vector<double> weight)
      : g_(static_cast<int>(mlgOfRow.size())),
        linkage_(linkage),
        mlgOfRow_(std::move(mlgOfRow)),
        matrix_(g_),
        size_(std::move(weight)),
        active_(g_, 1),
        parent_(g_),
        nearest_(g_, -1),
        nearestKey_(g_, 0) {}

  Status Fill(const MlgDistanceRows& table, ProgressSink& progress) {
    std::vector<int> rowOfMlg(static_cast<size_t>(g_));
    for (int r = 0; r < g_; ++r) rowOfMlg[mlgOfRow_[r]] = r;
    std::vector<double> row(static_cast<size_t>(g_), 0.0);
    const bool average = linkage_ == Linkage::kAverage;
    for (int m = 0; m + 1 < g_; ++m) {
      if (progress.Cancelled()) return Status::Cancelled();
      table.FillRow(m + 1, m + 2, row);
      for (int k = m + 1; k < g_; ++k) {
        int a = rowOfMlg[m], b = rowOfMlg[k];
        if (a > b) std::swap(a, b);
        matrix_.at(a, b) = static_cast<Cell>(average ? row[k] * size_[a] * size_[b] : row[k]);
      }
    }
    for (int i = 0; i < g_; ++i) parent_[i] = i;
    for (int i = 0; i + 1 < g_; ++i) {
      if (i % 64 == 0 && progress.Cancelled()) return Status::Cancelled();
      FindNearest(i);
    }
    return Status::Ok();
  }

  // Merges groups while the closest pair is at most `threshold` apart;
  // `tied` collects the rows met in ties (farthest and average linkage).
  Status Run(double threshold, ProgressSink& progress, std::vector<char>* tied) {
    int shown = -1;
    for (int merges = 0; merges + 1 < g_; ++merges) {
      if (progress.Cancelled()) return Status::Cancelled();
      int best = -1;
      for (int i = 0; i + 1 < g_; ++i) {
        if (!active_[i] || nearest_[i] < 0) continue;
        if (best < 0 || nearestKey_[i] < nearestKey_[best]) best = i;
      }
      if (best < 0 || !(nearestKey_[best] <= threshold)) break;
      if (tied && linkage_ != Linkage::kNearest) NoteTies(best, nearest_[best], *tied);
      Merge(best, nearest_[best]);
      int percent = static_cast<int>(100.0 * merges / g_);
      if (percent != shown) progress.SetPosition(shown = percent);
    }
    return Status::Ok();
  }

  // First row of the group holding row r.
  int Root(int r) const {
    while (parent_[r] != r) r = parent_[r];
    return r;
  }
  int mlgOfRow(int r) const { return mlgOfRow_[r]; }

 private:
  double Key(int i, int j) {  // i < j
    double cell = matrix_.at(i, j);
    if (linkage_ != Linkage::kAverage) return cell;
    return cell / (size_[i] * size_[j]);
  }
  double KeyAny(int i, int j) { return i < j ? Key(i, j) : Key(j, i); }

  // Another active pair at the height of the merge (i, j) that shares i or
  // j: the order of the two merges might matter. Marks the rows of the
  // groups concerned.
  void NoteTies(int i, int j, std::vector<char>& tied) {
    const double h = Key(i, j);
    bool any = false;
    for (int k = 0; k < g_; ++k) {
      if (!active_[k] || k == i || k == j) continue;
      if (KeyAny(i, k) == h || KeyAny(j, k) == h) {
        any = true;
        MarkGroup(k, tied);
      }
    }
    if (!any) return;
    MarkGroup(i, tied);
    MarkGroup(j, tied);
  }
  void MarkGroup(int root, std::vector<char>& tied) const {
    for (int r = 0; r < g_; ++r)
      if (Root(r) == root) tied[r] = 1;
  }

  // The closest active group after row i (ties: the smallest row).
  void FindNearest(int i) {
    nearest_[i] = -1;
    const Cell* cells = matrix_.row(i);
    const bool average = linkage_ == Linkage::kAverage;
    const double si = size_[i];
    double best = 0;
    for (int j = i + 1; j < g_; ++j) {
      if (!active_[j]) continue;
      double key = average ? cells[j - i - 1] / (si * size_[j]) : cells[j - i - 1];
      if (nearest_[i] < 0 || key < best) {
        best = key;
        nearest_[i] = j;
      }
    }
    nearestKey_[i] = best;
  }

  Cell Combine(Cell a, Cell b) const {
    switch (linkage_) {
      case Linkage::kFarthest:
        return a > b ? a : b;
      case Linkage::kNearest:
        return a < b ? a : b;
      case Linkage::kAverage:
        break;
    }
    return a + b;
  }

  // Merges group j into group i (i < j) and brings the nearest-neighbour
  // records up to date. Every linkage here is reducible (the distance to a
  // merged group is never below the smaller of the two it replaces), so a
  // record can only change when it pointed at i or j, or by a tie with i.
  void Merge(int i, int j) {
    for (int k = 0; k < g_; ++k) {
      if (!active_[k] || k == i || k == j) continue;
      Cell& ki = k < i ? matrix_.at(k, i) : matrix_.at(i, k);
      Cell kj = k < j ? matrix_.at(k, j) : matrix_.at(j, k);
      ki = Combine(ki, kj);
    }
    size_[i] += size_[j];
    active_[j] = 0;
    parent_[j] = i;
    nearest_[j] = -1;
    FindNearest(i);
    for (int k = 0; k < j; ++k) {
      if (!active_[k] || k == i) continue;
      if (nearest_[k] == i || nearest_[k] == j) {
        FindNearest(k);
      } else if (k < i) {
        double key = Key(k, i);
        if (key < nearestKey_[k] || (key == nearestKey_[k] && i < nearest_[k])) {
          nearest_[k] = i;
          nearestKey_[k] = key;
        }
      }
    }
  }

  int g_;
  Linkage linkage_;
  std::vector<int> mlgOfRow_;
  LinkageMatrix<Cell> matrix_;
  std::vector<double> size_;  // weight of each group: units, or MLGs
  std::vector<char> active_;
  std::vector<int> parent_;
  std::vector<int> nearest_;
  std::vector<double> nearestKey_;
};

}  // namespace vireltan::clustering
