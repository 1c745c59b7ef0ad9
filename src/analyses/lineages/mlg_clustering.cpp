// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/lineages/mlg_clustering.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <map>

#include "common/word_choice.h"
#include "numeric/random.h"
#include "numeric/repeated_sum.h"

namespace vireltan {

namespace {

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
  explicit LinkageMatrix(int g) : g_(g), cells_(static_cast<size_t>(g) * (g > 0 ? g - 1 : 0) / 2) {}
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
  std::vector<Cell> cells_;
};

// Rows are the MLGs in tie order: row r holds MLG mlgOfRow[r] (0-based).
//
// With `rounded` (average linkage, poppr's ties), merges whose mean
// distances are exactly equal are ordered as poppr orders them. poppr takes
// the mean between two groups by adding d / n for each of the n pairs of
// units, and the roundings of that sum make one of two equal means the
// smaller: at T = 1 on the P. ramorum data half of the merges are decided so.
// The exact mean still decides everything else, the threshold included.
// This keeps the MLG distances and each group's rows, another G^2/2 doubles.
template <typename Cell>
class Clusterer {
 public:
  Clusterer(Linkage linkage, std::vector<int> mlgOfRow, std::vector<double> weight, bool rounded)
      : g_(static_cast<int>(mlgOfRow.size())),
        linkage_(linkage),
        rounded_(rounded && linkage == Linkage::kAverage),
        mlgOfRow_(std::move(mlgOfRow)),
        matrix_(g_),
        size_(weight),
        rowWeight_(std::move(weight)),
        active_(g_, 1),
        parent_(g_),
        nearest_(g_, -1),
        nearestKey_(g_, 0),
        nearestRounded_(g_, kUnknown),
        distance_(rounded_ ? g_ : 0) {
    if (rounded_) {
      members_.resize(static_cast<size_t>(g_));
      for (int r = 0; r < g_; ++r) members_[r] = {r};
    }
  }

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
        if (rounded_) distance_.at(a, b) = row[k];
      }
    }
    for (int i = 0; i < g_; ++i) parent_[i] = i;
    for (int i = 0; i + 1 < g_; ++i) FindNearest(i);
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
        if (best < 0 || nearestKey_[i] < nearestKey_[best] ||
            (rounded_ && nearestKey_[i] == nearestKey_[best] &&
             RecordRounded(i) < RecordRounded(best)))
          best = i;
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

  // The closest active group after row i (ties: the smaller rounded mean,
  // then the smallest row).
  void FindNearest(int i) {
    nearest_[i] = -1;
    nearestRounded_[i] = kUnknown;
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
        nearestRounded_[i] = kUnknown;
      } else if (rounded_ && key == best) {
        double rounded = RoundedMean(i, j);
        if (rounded < RecordRounded(i)) {
          nearest_[i] = j;
          nearestRounded_[i] = rounded;
        }
      }
    }
    nearestKey_[i] = best;
  }

  // poppr's mean distance between groups i < j: d / n added once per pair
  // of units, the pairs taken MLG by MLG in row order (AddRepeatedly adds
  // the units-by-units copies of one pair of MLGs). Costs O(gi gj) sums of
  // O(log n) steps, gi and gj the MLGs of the two groups; needed only for
  // exactly equal means.
  double RoundedMean(int i, int j) const {
    const double pairs = size_[i] * size_[j];
    double sum = 0;
    for (int a : members_[i])
      for (int b : members_[j]) {
        const double d = a < b ? distance_.at(a, b) : distance_.at(b, a);
        const auto copies = static_cast<std::int64_t>(rowWeight_[a] * rowWeight_[b]);
        sum = AddRepeatedly(sum, d / pairs, copies);
      }
    return sum;
  }
  double RecordRounded(int i) {
    if (std::isnan(nearestRounded_[i])) nearestRounded_[i] = RoundedMean(i, nearest_[i]);
    return nearestRounded_[i];
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
    if (rounded_) {
      std::vector<int> both;
      both.reserve(members_[i].size() + members_[j].size());
      std::merge(members_[i].begin(), members_[i].end(), members_[j].begin(), members_[j].end(),
                 std::back_inserter(both));
      members_[i] = std::move(both);
      members_[j].clear();
    }
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
        if (key < nearestKey_[k]) {
          nearest_[k] = i;
          nearestKey_[k] = key;
          nearestRounded_[k] = kUnknown;
        } else if (key == nearestKey_[k]) {
          if (!rounded_) {
            if (i < nearest_[k]) nearest_[k] = i;
            continue;
          }
          double rounded = RoundedMean(k, i);
          double held = RecordRounded(k);
          if (rounded < held || (rounded == held && i < nearest_[k])) {
            nearest_[k] = i;
            nearestRounded_[k] = rounded;
          }
        }
      }
    }
  }

  static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

  int g_;
  Linkage linkage_;
  bool rounded_;
  std::vector<int> mlgOfRow_;
  LinkageMatrix<Cell> matrix_;
  std::vector<double> size_;       // weight of each group: units, or MLGs
  std::vector<double> rowWeight_;  // weight of each row's MLG
  std::vector<char> active_;
  std::vector<int> parent_;
  std::vector<int> nearest_;
  std::vector<double> nearestKey_;
  std::vector<double>
      nearestRounded_;              // poppr's mean of each record (rounded_), kUnknown until asked
  LinkageMatrix<double> distance_;  // MLG distances between rows (rounded_ only)
  std::vector<std::vector<int>> members_;  // rows of each group, ascending (rounded_ only)
};

// Groups as MLL numbers per MLG (0-based index), numbered by smallest MLG.
template <typename Cell>
std::vector<int> LabelsOf(const Clusterer<Cell>& c, int g) {
  std::vector<int> firstMlgOfRoot(static_cast<size_t>(g), -1);
  for (int r = 0; r < g; ++r) {
    int root = c.Root(r);
    int m = c.mlgOfRow(r);
    if (firstMlgOfRoot[root] < 0 || m < firstMlgOfRoot[root]) firstMlgOfRoot[root] = m;
  }
  std::vector<int> firstOfMlg(static_cast<size_t>(g));
  for (int r = 0; r < g; ++r) firstOfMlg[c.mlgOfRow(r)] = firstMlgOfRoot[c.Root(r)];
  std::vector<int> label(static_cast<size_t>(g), 0), lineageOfFirst(static_cast<size_t>(g), 0);
  int count = 0;
  for (int m = 0; m < g; ++m) {  // the first MLG of a group is met before the others
    int& l = lineageOfFirst[firstOfMlg[m]];
    if (l == 0) l = ++count;
    label[m] = l;
  }
  return label;
}

template <typename Cell>
Status RunOnce(const MlgDistanceRows& table, Linkage linkage, const std::vector<int>& mlgOfRow,
               const std::vector<double>& weightOfMlg, bool rounded, double threshold,
               ProgressSink& progress, std::vector<int>& labels, std::vector<char>* tiedMlgs) {
  const int g = static_cast<int>(mlgOfRow.size());
  std::vector<double> weight(static_cast<size_t>(g));
  for (int r = 0; r < g; ++r) weight[r] = weightOfMlg[mlgOfRow[r]];
  Clusterer<Cell> clusterer(linkage, mlgOfRow, std::move(weight), rounded);
  if (Status filled = clusterer.Fill(table, progress); !filled) return filled;
  std::vector<char> tiedRows;
  if (tiedMlgs) tiedRows.assign(static_cast<size_t>(g), 0);
  if (Status run = clusterer.Run(threshold, progress, tiedMlgs ? &tiedRows : nullptr); !run)
    return run;
  labels = LabelsOf(clusterer, g);
  if (tiedMlgs) {
    tiedMlgs->assign(static_cast<size_t>(g), 0);
    for (int r = 0; r < g; ++r) (*tiedMlgs)[mlgOfRow[r]] = tiedRows[r];
  }
  return Status::Ok();
}

Status RunOnceAnyCell(const MlgDistanceRows& table, Linkage linkage,
                      const std::vector<int>& mlgOfRow, const std::vector<double>& weightOfMlg,
                      bool rounded, double threshold, ProgressSink& progress,
                      std::vector<int>& labels, std::vector<char>* tiedMlgs) {
  if (linkage == Linkage::kAverage)
    return RunOnce<double>(table, linkage, mlgOfRow, weightOfMlg, rounded, threshold, progress,
                           labels, tiedMlgs);
  return RunOnce<float>(table, linkage, mlgOfRow, weightOfMlg, rounded, threshold, progress, labels,
                        tiedMlgs);
}

// MLGs (0-based) whose group differs between two labellings: the MLGs
// sharing m's group are not the same set.
std::vector<char> Regrouped(const std::vector<int>& a, const std::vector<int>& b) {
  const size_t g = a.size();
  std::map<int, int> sizeA, sizeB;
  std::map<std::pair<int, int>, int> sizeBoth;
  for (size_t m = 0; m < g; ++m) {
    ++sizeA[a[m]];
    ++sizeB[b[m]];
    ++sizeBoth[{a[m], b[m]}];
  }
  std::vector<char> out(g, 0);
  for (size_t m = 0; m < g; ++m) {
    int both = sizeBoth[{a[m], b[m]}];
    out[m] = !(both == sizeA[a[m]] && both == sizeB[b[m]]);
  }
  return out;
}

LineagePartition PartitionOf(const std::vector<int>& labels) {
  LineagePartition out;
  out.lineageOfMlg = labels;
  for (int l : labels) out.lineageCount = std::max(out.lineageCount, l);
  out.members.assign(static_cast<size_t>(out.lineageCount), {});
  for (size_t m = 0; m < labels.size(); ++m)
    out.members[labels[m] - 1].push_back(static_cast<int>(m) + 1);
  return out;
}

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

std::string LinkageTitle(Linkage linkage) {
  return std::string(LinkageName(linkage)) + " neighbour";
}

bool ParseLinkage(const std::string& word, Linkage& linkage) {
  return ParseByName(word, {Linkage::kFarthest, Linkage::kAverage, Linkage::kNearest}, LinkageName,
                     linkage);
}

const char* DistanceKindName(MlgDistanceKind kind) {
  return kind == MlgDistanceKind::kAllelic ? "allelic" : "microsat";
}

bool ParseDistanceKind(const std::string& word, MlgDistanceKind& kind) {
  return ParseByName(word, {MlgDistanceKind::kAllelic, MlgDistanceKind::kMicrosat},
                     DistanceKindName, kind);
}

const char* TieRuleName(TieRule rule) {
  return rule == TieRule::kPoppr ? "poppr" : "lowest-mlg";
}

bool ParseTieRule(const std::string& word, TieRule& rule) {
  return ParseByName(word, {TieRule::kPoppr, TieRule::kLowestMlg}, TieRuleName, rule);
}

const char* AverageWeightName(AverageWeight weight) {
  return weight == AverageWeight::kUnits ? "units" : "mlgs";
}

bool ParseAverageWeight(const std::string& word, AverageWeight& weight) {
  return ParseByName(word, {AverageWeight::kUnits, AverageWeight::kMlgs}, AverageWeightName,
                     weight);
}

std::vector<int> PopprMlgOrder(const Dataset& dataset, const MlgPartition& mlgs) {
  const int g = mlgs.mlgCount;
  const int loci = dataset.locusCount;
  // A representative unit per MLG (its first) and, per locus, each allele's
  // column: its rank of first appearance.
  std::vector<int> unitOf(static_cast<size_t>(g), -1);
  for (int su = 0; su < static_cast<int>(mlgs.mlgOfSu.size()); ++su)
    if (unitOf[mlgs.mlgOfSu[su] - 1] < 0) unitOf[mlgs.mlgOfSu[su] - 1] = su;
  std::vector<std::map<Allele, int>> column(static_cast<size_t>(loci));
  for (int su = 0; su < dataset.sampleCount; ++su)
    for (int l = 0; l < loci; ++l)
      for (int w = 0; w < 2; ++w) {
        const Allele a = dataset.alleleAt(su, l, w);
        if (a != kMissingAllele) column[l].try_emplace(a, static_cast<int>(column[l].size()));
      }
  // A locus as its two columns, smaller first; (-1, -1) when missing.
  auto columns = [&](int su, int l) {
    const Allele a = dataset.alleleAt(su, l, 0), b = dataset.alleleAt(su, l, 1);
    if (a == kMissingAllele || b == kMissingAllele) return std::pair<int, int>(-1, -1);
    int x = column[l].at(a), y = column[l].at(b);
    return std::pair<int, int>(std::min(x, y), std::max(x, y));
  };
  // -1, 0, 1 as the count rows of two genotypes compare at locus l. With
  // the columns both hold taken away, the first column where the counts
  // differ is the smallest one left, and the genotype holding it has the
  // larger count there; a missing locus sorts after any counts.
  auto compareLocus = [&](int su, int sv, int l) {
    const auto [a0, a1] = columns(su, l);
    const auto [b0, b1] = columns(sv, l);
    if (a0 < 0 || b0 < 0) return a0 < 0 && b0 < 0 ? 0 : (a0 < 0 ? 1 : -1);
    const int a[2] = {a0, a1};
    int b[2] = {b0, b1};
    int smallestA = INT_MAX;
    for (int x : a) {
      int* shared = x == b[0] ? &b[0] : (x == b[1] ? &b[1] : nullptr);
      if (shared) {
        *shared = -1;  // used
      } else {
        smallestA = std::min(smallestA, x);
      }
    }
    int smallestB = INT_MAX;
    for (int y : b)
      if (y >= 0) smallestB = std::min(smallestB, y);
    if (smallestA == smallestB) return 0;  // both INT_MAX: the same genotype
    return smallestA < smallestB ? 1 : -1;
  };
  std::vector<int> order(static_cast<size_t>(g));
  for (int m = 0; m < g; ++m) order[m] = m;
  std::stable_sort(order.begin(), order.end(), [&](int p, int q) {
    for (int l = 0; l < loci; ++l) {
      int c = compareLocus(unitOf[p], unitOf[q], l);
      if (c != 0) return c < 0;
    }
    return false;
  });
  std::vector<int> rank(static_cast<size_t>(g));
  for (int r = 0; r < g; ++r) rank[order[r]] = r;
  return rank;
}

void SetUnitsOfMlgs(const Dataset& dataset, const MlgPartition& mlgs, ClusterOptions& options) {
  options.units = mlgs.cloneSize;
  options.popprRank = PopprMlgOrder(dataset, mlgs);
}

double ClusteringBytes(double g, Linkage linkage) {
  // Average linkage: the sums and, for poppr's rounding, the MLG distances.
  const double cell = linkage == Linkage::kAverage ? 16 : 4;
  // The triangle, the per-group records (about 70 bytes) and a row of the
  // table (8 bytes per MLG).
  return g * (g - 1) / 2 * cell + 80 * g;
}

Status ClusterMlgs(const MlgDistanceRows& table, const ClusterOptions& options, double threshold,
                   ProgressSink& progress, LineagePartition& result) {
  const int g = table.mlgCount();
  std::vector<double> weight(static_cast<size_t>(g), 1.0);
  if (options.linkage == Linkage::kAverage && options.average == AverageWeight::kUnits &&
      static_cast<int>(options.units.size()) == g)
    for (int m = 0; m < g; ++m) weight[m] = options.units[m];
  std::vector<int> order(static_cast<size_t>(g));
  for (int m = 0; m < g; ++m) order[m] = m;
  if (options.ties == TieRule::kPoppr && static_cast<int>(options.popprRank.size()) == g)
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return options.popprRank[a] < options.popprRank[b]; });

  std::vector<int> labels;
  std::vector<char> tied;
  const bool check = options.linkage != Linkage::kNearest;
  // poppr's rounding of equal means, where its order of MLGs is known.
  const bool rounded =
      options.ties == TieRule::kPoppr && static_cast<int>(options.popprRank.size()) == g;
  if (Status run = RunOnceAnyCell(table, options.linkage, order, weight, rounded, threshold,
                                  progress, labels, check ? &tied : nullptr);
      !run)
    return run;
  LineagePartition out = PartitionOf(labels);

  TieCheck& ties = out.ties;
  ties.tiesMet = std::find(tied.begin(), tied.end(), 1) != tied.end();
  if (ties.tiesMet) {
    // Other orders of the groups: the reverse, and shuffles of fixed seed
    // (the same data give the same report).
    std::vector<char> regrouped(static_cast<size_t>(g), 0);
    RandomGenerator shuffler(20240611u);
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::vector<int> other = order;
      if (attempt == 0) {
        std::reverse(other.begin(), other.end());
      } else {
        for (int i = g - 1; i > 0; --i) std::swap(other[i], other[shuffler.Below(i + 1)]);
      }
      std::vector<int> otherLabels;
      if (Status run = RunOnceAnyCell(table, options.linkage, other, weight, false, threshold,
                                      progress, otherLabels, nullptr);
          !run)
        return run;
      ++ties.ordersTried;
      std::vector<char> differ = Regrouped(labels, otherLabels);
      for (int m = 0; m < g; ++m) regrouped[m] |= differ[m];
    }
    ties.changes = std::find(regrouped.begin(), regrouped.end(), 1) != regrouped.end();
    const std::vector<char>& named = ties.changes ? regrouped : tied;
    for (int m = 0; m < g; ++m)
      if (named[m]) ties.mlgs.push_back(m + 1);
  }
  result = std::move(out);
  return Status::Ok();
}

Status ClusterMlgs(const MlgDistanceRows& table, Linkage linkage, double threshold,
                   ProgressSink& progress, LineagePartition& result) {
  const int g = table.mlgCount();
  std::vector<int> order(static_cast<size_t>(g));
  for (int m = 0; m < g; ++m) order[m] = m;
  std::vector<int> labels;
  if (Status run = RunOnceAnyCell(table, linkage, order, std::vector<double>(order.size(), 1.0),
                                  false, threshold, progress, labels, nullptr);
      !run)
    return run;
  result = PartitionOf(labels);
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
