// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_permutation.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cassert>
#include <cmath>
#include <numeric>

#include "common/parallel_for.h"
#include "numeric/line_fit.h"
#include "numeric/permutation_p.h"
#include "numeric/random.h"
#include "numeric/rounding.h"

namespace vireltan {

SortedPositionPairs CompactPositionPairs(int positions, const std::vector<PointPair>& sorted) {
  SortedPositionPairs p;
  p.positions = positions;
  const size_t count = sorted.empty() ? 0 : sorted.size() - 1;
  p.first.resize(count);
  p.second.resize(count);
  p.distance.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const PointPair& t = sorted[i + 1];
    p.first[i] = t.first;
    p.second[i] = t.second;
    p.distance[i] = t.distance;
  }
  return p;
}

void PositionPairTables::AllocateClasses(int k) {
  const size_t cells =
      square ? static_cast<size_t>(positions) * positions : static_cast<size_t>(pairCount());
  narrowClass.clear();
  wideClass.clear();
  if (k < 256) {
    narrowClass.assign(cells, 0);
  } else {
    wideClass.assign(cells, 0);
  }
}

namespace {

template <typename Cell>
void MirrorSquare(Cell* cells, std::int64_t m) {
  // In tiles, so that both the rows read and the columns written stay in
  // the cache.
  constexpr std::int64_t kTile = 64;
  for (std::int64_t a0 = 0; a0 < m; a0 += kTile)
    for (std::int64_t b0 = a0; b0 < m; b0 += kTile)
      for (std::int64_t a = a0; a < std::min(m, a0 + kTile); ++a)
        for (std::int64_t b = std::max(b0, a + 1); b < std::min(m, b0 + kTile); ++b)
          cells[b * m + a] = cells[a * m + b];
}

}  // namespace

void PositionPairTables::MirrorClasses() {
  if (!square) return;
  if (!narrowClass.empty()) MirrorSquare(narrowClass.data(), positions);
  if (!wideClass.empty()) MirrorSquare(wideClass.data(), positions);
}

namespace {

PositionPairTables TablesOf(const SortedPositionPairs& pairs, const PermutedUnits& units,
                            const ClassRule& rule, const std::vector<std::int64_t>& ends) {
  PositionPairTables t;
  const std::int64_t m = pairs.positions;
  t.positions = pairs.positions;
  const std::int64_t total = pairs.size();
  if (!units.skipSameGroup) {
    t.square = !units.table->square();
    t.AllocateClasses(rule.k);
    int c = 1;
    for (std::int64_t r = 0; r < total; ++r) {
      while (c < rule.k && r + 1 > ends[c]) ++c;
      t.SetClass(t.ClassCell(pairs.first[r], pairs.second[r]), c);
    }
    return t;
  }
  t.rank.assign(total, 0);
  for (std::int64_t r = 0; r < total; ++r)
    t.rank[TriangleIndex(m, pairs.first[r], pairs.second[r])] = static_cast<std::uint32_t>(r);
  if (rule.rule == DistanceClassRule::kFixedLimits) {
    t.atOrBelow.assign(rule.k + 1, 0);
    for (int c = 1; c <= rule.k; ++c)
      t.atOrBelow[c] =
          std::upper_bound(pairs.distance.begin(), pairs.distance.end(), rule.limits[c - 1]) -
          pairs.distance.begin();
  }
  return t;
}

}  // namespace

PermutationPass::PermutationPass(const SortedPositionPairs& pairs, PermutedUnits units,
                                 ClassRule rule, const std::vector<std::int64_t>& ends,
                                 std::int64_t keptPairs)
    : tables_(TablesOf(pairs, units, rule, ends)),
      units_(std::move(units)),
      rule_(std::move(rule)),
      keptPairs_(keptPairs) {
  Initialise(ends);
}

PermutationPass::PermutationPass(PositionPairTables tables, PermutedUnits units, ClassRule rule,
                                 const std::vector<std::int64_t>& ends, std::int64_t keptPairs)
    : tables_(std::move(tables)),
      units_(std::move(units)),
      rule_(std::move(rule)),
      keptPairs_(keptPairs) {
  Initialise(ends);
}

void PermutationPass::Initialise(const std::vector<std::int64_t>& ends) {
  const std::int64_t total = tables_.pairCount();
  if (!units_.skipSameGroup) {
    // Every arrangement uses every position pair: each keeps the class of
    // its rank in the observed cut, and the classes keep their sizes.
    sizes_.assign(rule_.k + 1, 0);
    for (int c = 1; c <= rule_.k; ++c) sizes_[c] = ends[c] - ends[c - 1];
    tables_.MirrorClasses();
    return;
  }
  // The kept pairs are as many in every arrangement, so equal-count classes
  // keep their sizes; fixed-limit classes are counted each time, from the
  // number of position pairs within each limit.
  if (rule_.rule == DistanceClassRule::kEqualCount)
    sizes_ = EqualCountClassSizes(keptPairs_, rule_.k);
  // Left-out pairs: listed from the groups when they are few, else found by
  // a scan of every pair.
  const int groups = units_.table->size();
  std::vector<int> members(groups, 0);
  for (int g : units_.group) ++members[g];
  std::int64_t leftOut = 0;
  groupStart_.assign(1, 0);
  std::vector<int> slot(groups, -1);
  for (int g = 0; g < groups; ++g) {
    leftOut += static_cast<std::int64_t>(members[g]) * (members[g] - 1) / 2;
    if (members[g] < 2) continue;
    slot[g] = static_cast<int>(groupStart_.size()) - 1;
    groupStart_.push_back(groupStart_.back() + members[g]);
  }
  groupMembers_.assign(groupStart_.back(), 0);
  std::vector<int> fill(groupStart_.begin(), groupStart_.end() - 1);
  for (int u = 0; u < static_cast<int>(units_.group.size()); ++u)
    if (slot[units_.group[u]] >= 0) groupMembers_[fill[slot[units_.group[u]]]++] = u;
  listLeftOut_ = leftOut * 8 < total;
}

void PermutationPass::CutKeptPairs(Scratch& s) const {
  const int k = rule_.k;
  const std::int64_t total = tables_.pairCount();
  const std::int64_t words = (total + 63) / 64;
  // Mark the left-out ranks.
  s.leftOut.assign(words, 0);
  std::uint64_t* bits = s.leftOut.data();
  if (listLeftOut_) {
    const std::int64_t m = tables_.positions;
    for (size_t g = 0; g + 1 < groupStart_.size(); ++g) {
      for (int i = groupStart_[g]; i < groupStart_[g + 1]; ++i) {
        for (int j = i + 1; j < groupStart_[g + 1]; ++j) {
          int a = s.positionOf[groupMembers_[i]];
          int b = s.positionOf[groupMembers_[j]];
          if (a > b) std::swap(a, b);
          const std::uint32_t r = tables_.rank[TriangleIndex(m, a, b)];
          bits[r >> 6] |= std::uint64_t{1} << (r & 63);
        }
      }
    }
  } else {
    const std::uint32_t* rank = tables_.rank.data();
    const int* groupAt = s.groupAt.data();
    const int m = tables_.positions;
    for (int a = 0; a + 1 < m; ++a) {
      const int ga = groupAt[a];
      for (int b = a + 1; b < m; ++b, ++rank) {
        if (groupAt[b] != ga) continue;
        const std::uint32_t r = *rank;
        bits[r >> 6] |= std::uint64_t{1} << (r & 63);
      }
    }
  }
  // Kept pairs before each word, for rank and select.
  s.keptBefore.resize(words + 1);
  s.keptBefore[0] = 0;
  for (std::int64_t w = 0; w < words; ++w) {
    const int valid = w + 1 < words || total % 64 == 0 ? 64 : static_cast<int>(total % 64);
    s.keptBefore[w + 1] = s.keptBefore[w] + valid - std::popcount(bits[w]);
  }
  // Kept pairs among ranks 0..x-1.
  auto keptBelow = [&](std::int64_t x) {
    const std::int64_t w = x >> 6;
    const int bit = static_cast<int>(x & 63);
    std::int64_t kept = s.keptBefore[w];
    if (bit > 0) kept += bit - std::popcount(bits[w] & ((std::uint64_t{1} << bit) - 1));
    return kept;
  };
  // Rank of the K-th kept pair (K from 1).
  auto select = [&](std::int64_t kth) {
    const std::int64_t w = std::lower_bound(s.keptBefore.begin() + 1, s.keptBefore.end(), kth) -
                           s.keptBefore.begin() - 1;
    std::int64_t left = kth - s.keptBefore[w];
    std::uint64_t kept = ~bits[w];
    for (;;) {
      const int bit = std::countr_zero(kept);
      if (--left == 0) return w * 64 + bit;
      kept &= kept - 1;
    }
  };

  // Class ends among the kept pairs, as in the observed cut.
  std::vector<std::int64_t> ends;
  if (rule_.rule == DistanceClassRule::kEqualCount) {
    ends = sizes_;
    for (int c = 1; c <= k; ++c) ends[c] += ends[c - 1];
  } else {
    std::vector<std::int64_t> keptWithin(k + 1, 0);
    for (int c = 1; c <= k; ++c) keptWithin[c] = keptBelow(tables_.atOrBelow[c]);
    ends = FixedLimitClassEnds(keptPairs_, keptWithin);
  }
  s.count.assign(k + 1, 0);
  for (int c = 1; c <= k; ++c) s.count[c] = ends[c] - ends[c - 1];
  // Cuts in rank space: the rank of the last kept pair of each class.
  s.cuts.assign(k > 1 ? k - 1 : 0, 0);
  for (int c = 1; c < k; ++c) s.cuts[c - 1] = ends[c] > 0 ? select(ends[c]) : -1;
  // A class per block of 256 ranks; a block holding a cut is marked mixed.
  const std::int64_t blocks = (total + 255) / 256;
  s.blockClass.resize(blocks);
  size_t next = 0;
  for (std::int64_t b = 0; b < blocks; ++b) {
    const std::int64_t start = b * 256;
    while (next < s.cuts.size() && s.cuts[next] < start) ++next;
    std::uint16_t value = static_cast<std::uint16_t>(1 + next);
    if (next < s.cuts.size() && s.cuts[next] < start + 255) value |= 0x8000;
    s.blockClass[b] = value;
  }
}

namespace {

// Class sums in four lanes taken in turn along a row: a pair never adds to
// the sums the pair just before it touched, so the additions do not wait on
// one another.
constexpr int kLanes = 4;

inline void Add(KinshipPair* sums, int c, const KinshipPair& t) {
  sums[c].loiselle += t.loiselle;
  sums[c].ritland += t.ritland;
}

// Fetches a coefficient row into the cache ahead of its use, a step at a
// time, while the rows before it are being summed: reading a row of G cells
// at random (a row is 16·G bytes, 160 KB at G = 10,000) would otherwise
// wait on main memory at most of its cells.
class RowFetch {
 public:
  void Aim(const KinshipPair* row, int cells) {
    next_ = reinterpret_cast<const char*>(row);
    end_ = next_ ? next_ + static_cast<size_t>(cells) * sizeof(KinshipPair) : nullptr;
  }
  // Two cache lines, into the second-level cache (a row is larger than the
  // first); called every four pairs.
  void Step() {
    if (next_ >= end_) return;
    __builtin_prefetch(next_, 0, 2);
    __builtin_prefetch(next_ + 64, 0, 2);
    next_ += 128;
  }

 private:
  const char* next_ = nullptr;
  const char* end_ = nullptr;
};

// Visits the positions in ascending order of the group dealt to them, as
// visit(a, row of a's group, fetch): the coefficient table is then read
// row after row, each row while it is in the cache, and the next one
// fetched meanwhile. Every position's pairs with the positions after it are
// summed from its own row of the class (or rank) table, whatever the order
// the positions are visited in.
// The positions in ascending order of their group (and of position within
// a group); afterwards start[g] holds the end of group g's run in `order`.
void OrderPositionsByGroup(int groups, const int* groupAt, int m, std::vector<int>& order,
                           std::vector<int>& start) {
  start.assign(groups + 1, 0);
  for (int p = 0; p < m; ++p) ++start[groupAt[p] + 1];
  for (int g = 0; g < groups; ++g) start[g + 1] += start[g];
  order.resize(m);
  for (int p = 0; p < m; ++p) order[start[groupAt[p]]++] = p;
}

template <typename Visit>
void VisitPositionsByGroup(const KinshipTable& table, const int* groupAt, int m,
                           std::vector<int>& order, std::vector<int>& start, Visit visit) {
  const int groups = table.size();
  OrderPositionsByGroup(groups, groupAt, m, order, start);
  RowFetch fetch;
  int from = 0;
  int g = 0;
  while (from < m) {
    while (start[g] == from) ++g;  // skip groups dealt to no position
    int h = g + 1;
    while (h < groups && start[h] == start[g]) ++h;
    fetch.Aim(h < groups ? table.row(h) : nullptr, groups);
    const KinshipPair* row = table.row(g);
    for (int i = from; i < start[g]; ++i) visit(order[i], row, fetch);
    from = start[g];
  }
}

}  // namespace

template <typename ClassCell>
void PermutationPass::SumStaticClasses(const ClassCell* classes, const int* groupAt,
                                       KinshipPair* const* lanes, Scratch& s) const {
  const int m = tables_.positions;
  const KinshipTable& table = *units_.table;
  KinshipPair* lane0 = lanes[0];
  KinshipPair* lane1 = lanes[1];
  KinshipPair* lane2 = lanes[2];
  KinshipPair* lane3 = lanes[3];
  if (tables_.square) {
    // Classes as a square, coefficients as a triangle: each pair of
    // positions is taken once, from the one of its two positions that comes
    // first in the order of their groups, so that the coefficients are read
    // along the upper row of that group (in ascending order of the other
    // group: a sweep of half the table per permutation) and the classes at
    // random within that position's row of the square (M bytes, in cache).
    OrderPositionsByGroup(table.size(), groupAt, m, s.order, s.groupEnd);
    s.orderedGroup.resize(m);
    for (int i = 0; i < m; ++i) s.orderedGroup[i] = groupAt[s.order[i]];
    const int* order = s.order.data();
    const int* group = s.orderedGroup.data();
    for (int i = 0; i + 1 < m; ++i) {
      const int g = group[i];
      const KinshipPair* row = table.upperRow(g) - g;  // row[h], h >= g
      const ClassCell* cls = classes + static_cast<std::int64_t>(order[i]) * m;
      int j = i + 1;
      for (; j + 3 < m; j += 4) {
        Add(lane0, cls[order[j]], row[group[j]]);
        Add(lane1, cls[order[j + 1]], row[group[j + 1]]);
        Add(lane2, cls[order[j + 2]], row[group[j + 2]]);
        Add(lane3, cls[order[j + 3]], row[group[j + 3]]);
      }
      for (; j < m; ++j) Add(lane0, cls[order[j]], row[group[j]]);
    }
    return;
  }
  // Classes in row order need whole rows of coefficients (the square).
  assert(table.square());
  VisitPositionsByGroup(table, groupAt, m, s.order, s.groupEnd,
                        [&](int a, const KinshipPair* row, RowFetch& fetch) {
                          const ClassCell* cls = classes + TriangleIndex(m, a, a + 1);
                          int b = a + 1;
                          for (; b + 7 < m; b += 8, cls += 8) {
                            Add(lane0, cls[0], row[groupAt[b]]);
                            Add(lane1, cls[1], row[groupAt[b + 1]]);
                            Add(lane2, cls[2], row[groupAt[b + 2]]);
                            Add(lane3, cls[3], row[groupAt[b + 3]]);
                            fetch.Step();
                            Add(lane0, cls[4], row[groupAt[b + 4]]);
                            Add(lane1, cls[5], row[groupAt[b + 5]]);
                            Add(lane2, cls[6], row[groupAt[b + 6]]);
                            Add(lane3, cls[7], row[groupAt[b + 7]]);
                            fetch.Step();
                          }
                          for (; b < m; ++b) Add(lane0, *cls++, row[groupAt[b]]);
                        });
}

void PermutationPass::Evaluate(const std::vector<int>& unitAt, Scratch& s,
                               ArrangementMeans& out) const {
  const int m = tables_.positions;
  const int k = rule_.k;
  const int width = k + 1;
  s.groupAt.resize(m);
  for (int p = 0; p < m; ++p) s.groupAt[p] = units_.group[unitAt[p]];
  s.sums.assign(static_cast<size_t>(kLanes) * width, KinshipPair());
  const int* groupAt = s.groupAt.data();
  KinshipPair* lane0 = s.sums.data();
  KinshipPair* lane1 = lane0 + width;
  KinshipPair* lane2 = lane1 + width;
  KinshipPair* lane3 = lane2 + width;
  KinshipPair* lanes[kLanes] = {lane0, lane1, lane2, lane3};

  if (!units_.skipSameGroup) {
    if (!tables_.narrowClass.empty()) {
      SumStaticClasses(tables_.narrowClass.data(), groupAt, lanes, s);
    } else {
      SumStaticClasses(tables_.wideClass.data(), groupAt, lanes, s);
    }
    s.count.assign(sizes_.begin(), sizes_.end());
  } else {
    s.positionOf.resize(m);
    for (int p = 0; p < m; ++p) s.positionOf[unitAt[p]] = p;
    CutKeptPairs(s);
    const std::uint16_t* block = s.blockClass.data();
    const std::int64_t* cuts = s.cuts.data();
    const int cutCount = static_cast<int>(s.cuts.size());
    auto classOf = [&](std::uint32_t r) {
      int c = block[r >> 8];
      if (c & 0x8000) {
        c = 1;
        for (int i = 0; i < cutCount; ++i) c += cuts[i] < static_cast<std::int64_t>(r);
      }
      return c;
    };
    const KinshipTable& table = *units_.table;
    if (!table.square()) {
      // Mostly distinct genotypes, few left-out pairs: the coefficients of
      // each pair read from the triangle, in row order of the ranks.
      const std::uint32_t* rank = tables_.rank.data();
      int lane = 0;
      for (int a = 0; a + 1 < m; ++a) {
        const int ga = groupAt[a];
        for (int b = a + 1; b < m; ++b) {
          const std::uint32_t r = *rank++;
          const int gb = groupAt[b];
          if (gb == ga) continue;
          Add(lanes[lane], classOf(r), table.at(ga, gb));
          lane = (lane + 1) & (kLanes - 1);
        }
      }
    } else {
      VisitPositionsByGroup(table, groupAt, m, s.order, s.groupEnd,
                            [&](int a, const KinshipPair* row, RowFetch& fetch) {
                              const std::uint32_t* rank =
                                  tables_.rank.data() + TriangleIndex(m, a, a + 1);
                              const int ga = groupAt[a];
                              int lane = 0;
                              for (int b = a + 1; b < m; ++b) {
                                const std::uint32_t r = *rank++;
                                const int gb = groupAt[b];
                                if ((b & 3) == 0) fetch.Step();
                                if (gb == ga) continue;
                                Add(lanes[lane], classOf(r), row[gb]);
                                lane = (lane + 1) & (kLanes - 1);
                              }
                            });
    }
  }
  out.loiselle.assign(k + 1, 0.0);
  out.ritland.assign(k + 1, 0.0);
  for (int c = 1; c <= k; ++c) {
    if (s.count[c] == 0) continue;  // an empty class reads 0
    const double sumL =
        (lane0[c].loiselle + lane1[c].loiselle) + (lane2[c].loiselle + lane3[c].loiselle);
    const double sumR =
        (lane0[c].ritland + lane1[c].ritland) + (lane2[c].ritland + lane3[c].ritland);
    out.loiselle[c] = sumL / static_cast<double>(s.count[c]);
    out.ritland[c] = sumR / static_cast<double>(s.count[c]);
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
  long long atOrAbove = 0, atOrBelow = 0, equal = 0;
  for (double v : permuted) {
    if (v >= observed) ++atOrAbove;
    if (v <= observed) ++atOrBelow;
    if (v == observed) ++equal;
  }
  const long long n = static_cast<long long>(permuted.size());
  t.below = PermutationPValue(atOrAbove, n);
  t.above = PermutationPValue(atOrBelow, n);
  t.equal = PermutationPValue(equal, n);
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
  return PermutationPValue(hits, count);
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
  if (!fitted)
    return Status::Error(
        "Spatial autocorrelation stopped: the distance classes "
        "have equal average distances, so no regression slope "
        "exists (division by zero).");
  return Status::Ok();
}

}  // namespace vireltan
