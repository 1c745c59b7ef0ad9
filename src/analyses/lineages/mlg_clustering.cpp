// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/lineages/mlg_clustering.h"

#include <map>

namespace vireltan {

namespace {

// The linkage distances between the current groups, upper triangle only,
// addressed by the row of each group's smallest MLG (0-based). For the
// average linkage a cell holds the sum of the MLG distances between the two
// groups: sums of whole and half numbers are exact in a double, and the mean
// is taken only when groups are compared. This G^2/2 matrix is what bounds
// the size of the problem (100 MB at G = 5,000).
class LinkageMatrix {
 public:
  LinkageMatrix(int g) : g_(g), cells_(static_cast<size_t>(g) * (g > 0 ? g - 1 : 0) / 2) {}
  double& at(int i, int j) {  // i < j
    return cells_[static_cast<size_t>(i) * g_ - static_cast<size_t>(i) * (i + 1) / 2 + (j - i - 1)];
  }
  double* row(int i) {  // cells (i, i+1) .. (i, g-1)
    return &at(i, i + 1);
  }

 private:
  int g_;
  std::vector<double> cells_;
};

class Clusterer {
 public:
  Clusterer(const MlgDistanceRows& table, Linkage linkage)
      : g_(table.mlgCount()),
        linkage_(linkage),
        matrix_(g_),
        size_(g_, 1),
        active_(g_, 1),
        parent_(g_),
        nearest_(g_, -1),
        nearestKey_(g_, 0) {
    std::vector<double> row(static_cast<size_t>(g_), 0.0);
    for (int i = 0; i + 1 < g_; ++i) {
      table.FillRow(i + 1, i + 2, row);
      double* cells = matrix_.row(i);
      for (int j = i + 1; j < g_; ++j) cells[j - i - 1] = row[j];
    }
    for (int i = 0; i < g_; ++i) parent_[i] = i;
    for (int i = 0; i + 1 < g_; ++i) FindNearest(i);
  }

  // Merges groups while the closest pair is at most `threshold` apart.
  Status Run(double threshold, ProgressSink& progress) {
    int shown = -1;
    for (int merges = 0; merges + 1 < g_; ++merges) {
      if (progress.Cancelled()) return Status::Cancelled();
      int best = -1;
      for (int i = 0; i + 1 < g_; ++i)
        if (active_[i] && nearest_[i] >= 0 && (best < 0 || nearestKey_[i] < nearestKey_[best]))
          best = i;
      if (best < 0 || !(nearestKey_[best] <= threshold)) break;
      Merge(best, nearest_[best]);
      int percent = static_cast<int>(100.0 * merges / g_);
      if (percent != shown) progress.SetPosition(shown = percent);
    }
    return Status::Ok();
  }

  // Smallest MLG row of the group holding row m.
  int Root(int m) const {
    while (parent_[m] != m) m = parent_[m];
    return m;
  }

 private:
  double Key(int i, int j) {  // i < j
    double cell = matrix_.at(i, j);
    if (linkage_ != Linkage::kAverage) return cell;
    return cell / (static_cast<double>(size_[i]) * size_[j]);
  }

  // The closest active group after row i (ties: the smallest row).
  void FindNearest(int i) {
    nearest_[i] = -1;
    const double* cells = matrix_.row(i);
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

  double Combine(double a, double b) const {
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
      double& ki = k < i ? matrix_.at(k, i) : matrix_.at(i, k);
      double kj = k < j ? matrix_.at(k, j) : matrix_.at(j, k);
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
  LinkageMatrix matrix_;
  std::vector<int> size_;
  std::vector<char> active_;
  std::vector<int> parent_;
  std::vector<int> nearest_;
  std::vector<double> nearestKey_;
};

}  // namespace

const char* LinkageName(Linkage linkage) {
  switch (linkage) {
    case Linkage::kFarthest:
      return "farthest";
    case Linkage::kAverage:
      return "average";
    case Linkage::kNearest:
      return "nearest";
  }
  return "";
}

bool ParseLinkage(const std::string& word, Linkage& linkage) {
  for (Linkage l : {Linkage::kFarthest, Linkage::kAverage, Linkage::kNearest}) {
    if (word == LinkageName(l)) {
      linkage = l;
      return true;
    }
  }
  return false;
}

const char* DistanceKindName(MlgDistanceKind kind) {
  return kind == MlgDistanceKind::kAllelic ? "allelic" : "microsat";
}

bool ParseDistanceKind(const std::string& word, MlgDistanceKind& kind) {
  if (word == "allelic") {
    kind = MlgDistanceKind::kAllelic;
  } else if (word == "microsat") {
    kind = MlgDistanceKind::kMicrosat;
  } else {
    return false;
  }
  return true;
}

Status ClusterMlgs(const MlgDistanceRows& table, Linkage linkage, double threshold,
                   ProgressSink& progress, LineagePartition& result) {
  const int g = table.mlgCount();
  Clusterer clusterer(table, linkage);
  if (Status run = clusterer.Run(threshold, progress); !run) return run;
  LineagePartition out;
  out.lineageOfMlg.assign(static_cast<size_t>(g), 0);
  std::vector<int> lineageOfRoot(static_cast<size_t>(g), 0);
  for (int m = 0; m < g; ++m) {
    int root = clusterer.Root(m);
    if (lineageOfRoot[root] == 0) {
      // Roots are met in ascending order of their smallest MLG: m itself.
      lineageOfRoot[root] = ++out.lineageCount;
      out.members.emplace_back();
    }
    out.lineageOfMlg[m] = lineageOfRoot[root];
    out.members[lineageOfRoot[root] - 1].push_back(m + 1);
  }
  result = std::move(out);
  return Status::Ok();
}

Status SuggestThreshold(const MlgDistanceRows& table, ProgressSink& progress,
                        ThresholdSuggestion& suggestion) {
  const int g = table.mlgCount();
  // Distances take few distinct values (whole or half numbers up to 2L, or
  // allele-size sums), so counting them by value costs O(G^2) time and
  // little memory.
  std::map<double, std::int64_t> counts;
  std::vector<double> row(static_cast<size_t>(g), 0.0);
  std::int64_t pairs = 0;
  for (int j = 1; j < g; ++j) {
    if (progress.Cancelled()) return Status::Cancelled();
    table.FillRow(j, j + 1, row);
    auto hint = counts.begin();
    for (int k = j + 1; k <= g; ++k) {
      double d = row[k - 1];
      if (hint == counts.end() || hint->first != d) hint = counts.try_emplace(d, 0).first;
      ++hint->second;
      ++pairs;
    }
  }
  ThresholdSuggestion s;
  const std::int64_t half = (pairs + 1) / 2;
  std::int64_t seen = 0;
  bool first = true;
  double previous = 0;
  for (const auto& [value, count] : counts) {
    if (seen >= half) break;
    if (!first && (!s.found || value - previous > s.gap())) {
      s.found = true;
      s.below = previous;
      s.above = value;
    }
    first = false;
    previous = value;
    seen += count;
  }
  if (s.found) s.threshold = (s.below + s.above) / 2;
  suggestion = s;
  return Status::Ok();
}

}  // namespace vireltan
