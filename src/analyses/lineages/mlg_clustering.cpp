// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/lineages/mlg_clustering.h"

#include <algorithm>
#include <climits>
#include <map>

#include "analyses/lineages/linkage_clusterer.h"
#include "analyses/lineages/poppr_merges.h"
#include "common/word_choice.h"
#include "numeric/random.h"
#include "sheet/table_file.h"

namespace vireltan {

namespace {

using clustering::Clusterer;

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
               const std::vector<double>& weightOfMlg, double threshold, ProgressSink& progress,
               std::vector<int>& labels, std::vector<char>* tiedMlgs) {
  const int g = static_cast<int>(mlgOfRow.size());
  std::vector<double> weight(static_cast<size_t>(g));
  for (int r = 0; r < g; ++r) weight[r] = weightOfMlg[mlgOfRow[r]];
  Clusterer<Cell> clusterer(linkage, mlgOfRow, std::move(weight));
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
                      double threshold, ProgressSink& progress, std::vector<int>& labels,
                      std::vector<char>* tiedMlgs) {
  if (linkage == Linkage::kAverage)
    return RunOnce<double>(table, linkage, mlgOfRow, weightOfMlg, threshold, progress, labels,
                           tiedMlgs);
  return RunOnce<float>(table, linkage, mlgOfRow, weightOfMlg, threshold, progress, labels,
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
  for (int l = 1; l <= out.lineageCount; ++l) out.numbers.push_back(l);
  return out;
}

// The units poppr's average adds over, as their MLGs (0-based) in file
// order: every unit (average over units), or one per MLG, taken where its
// first unit comes. Without the units, MLG after MLG.
std::vector<int> UnitsInFileOrder(const ClusterOptions& options, int g, bool byUnits) {
  std::vector<int> out;
  if (static_cast<int>(options.mlgOfUnit.size()) > 0) {
    std::vector<char> seen(static_cast<size_t>(g), 0);
    for (int m : options.mlgOfUnit) {
      if (!byUnits && seen[m - 1]) continue;
      seen[m - 1] = 1;
      out.push_back(m - 1);
    }
    return out;
  }
  for (int m = 0; m < g; ++m)
    for (int k = 0; k < (byUnits ? options.units[m] : 1); ++k) out.push_back(m);
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
  options.mlgOfUnit = mlgs.mlgOfSu;
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
  const bool byUnits = options.linkage == Linkage::kAverage &&
                       options.average == AverageWeight::kUnits &&
                       static_cast<int>(options.units.size()) == g;
  if (byUnits)
    for (int m = 0; m < g; ++m) weight[m] = options.units[m];
  std::vector<int> order(static_cast<size_t>(g));
  for (int m = 0; m < g; ++m) order[m] = m;
  // poppr's merges, where its numbers of the MLGs are known.
  const bool poppr =
      options.ties == TieRule::kPoppr && static_cast<int>(options.popprRank.size()) == g;
  if (poppr)
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return options.popprRank[a] < options.popprRank[b]; });

  std::vector<int> labels;
  std::vector<char> tied;
  const bool check = options.linkage != Linkage::kNearest;
  LineagePartition out;
  if (poppr) {
    clustering::PopprMergeInput input;
    input.linkage = options.linkage;
    input.slotOfMlg = options.popprRank;
    input.mlgOfUnit = UnitsInFileOrder(options, g, byUnits);
    clustering::PopprMergeResult merged;
    if (Status run = clustering::RunPopprMerges(table, input, threshold, progress, merged); !run)
      return run;
    // Lineages in the order of their numbers: the slots that kept them.
    std::vector<int> lineageOfSlot(static_cast<size_t>(g), 0);
    for (int m = 0; m < g; ++m) lineageOfSlot[merged.slotOfMlg[m]] = 1;
    std::vector<int> numbers;
    for (int s = 0; s < g; ++s)
      if (lineageOfSlot[s]) {
        numbers.push_back(s + 1);
        lineageOfSlot[s] = static_cast<int>(numbers.size());
      }
    labels.resize(static_cast<size_t>(g));
    for (int m = 0; m < g; ++m) labels[m] = lineageOfSlot[merged.slotOfMlg[m]];
    out = PartitionOf(labels);
    out.numbers = std::move(numbers);
    if (check) tied = std::move(merged.tiedMlgs);
  } else {
    if (Status run = RunOnceAnyCell(table, options.linkage, order, weight, threshold, progress,
                                    labels, check ? &tied : nullptr);
        !run)
      return run;
    out = PartitionOf(labels);
  }

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
      if (Status run = RunOnceAnyCell(table, options.linkage, other, weight, threshold, progress,
                                      otherLabels, nullptr);
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
                                  threshold, progress, labels, nullptr);
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
  std::vector<double> gaps;
  for (const auto& [value, count] : counts) {
    if (seen >= half) break;
    if (!first) {
      gaps.push_back(value - previous);
      if (!s.found || value - previous > s.gap()) {
        s.found = true;
        s.below = previous;
        s.above = value;
      }
    }
    first = false;
    previous = value;
    seen += count;
  }
  if (s.found) {
    s.threshold = (s.below + s.above) / 2;
    for (double gap : gaps)
      if (gap >= s.gap() * (1 - 1e-9)) ++s.widestGaps;
  }
  suggestion = s;
  return Status::Ok();
}

std::string EqualGapsNote(const ThresholdSuggestion& suggestion) {
  if (!suggestion.found || suggestion.widestGaps < 2) return "";
  return "No gap stands out: " + std::to_string(suggestion.widestGaps) +
         " gaps between consecutive distances in the smaller half are " +
         FormatNumber(suggestion.gap()) + " wide, and T = " + FormatNumber(suggestion.threshold) +
         " is only the first of them. Look at the histogram before choosing T.";
}

const char* DistanceTitle(MlgDistanceKind kind) {
  return kind == MlgDistanceKind::kAllelic ? "allelic distance" : "microsatellite distance";
}

}  // namespace vireltan
