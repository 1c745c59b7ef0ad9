// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Permutation test of the spatial autocorrelation: the sampled positions are
// dealt out again at random among the units (SUs or genets) and the class
// means and regression slopes recomputed, many times, to give their
// distribution under the hypothesis of no spatial structure.
//
// The positions themselves never change, only which unit sits where. So the
// position pairs are sorted by distance once, and each permutation is a
// single pass over them: a pair of positions carries the coefficients of the
// two units dealt to it. With the class of every position pair known in
// advance (entire dataset, central coordinates) the pass runs row by row
// over positions, taken in the order of the group dealt to them, so that
// the coefficient table (G² cells of 16 bytes, 1.6 GB at G = 10,000) is
// read row after row from main memory rather than at random: each
// permutation costs M(M−1)/2 additions and one sweep of that table. The
// weighted dataset leaves out pairs of one MLG, and which position pairs
// those are changes with every arrangement; there the left-out pairs are
// marked by their distance rank in a bit set, the class cuts are found by
// counting kept pairs over it, and the row-by-row pass reads each pair's
// class from a small table of rank blocks.
#include <array>
#include <cstdint>
#include <vector>

#include "analyses/spatial/autocorrelation_classes.h"
#include "analyses/spatial/autocorrelation_kinship.h"
#include "common/large_allocator.h"
#include "common/progress_sink.h"
#include "common/status.h"
#include "numeric/heap_sort.h"

namespace vireltan {

// One pair of points of a sorted list: its distance and the two points.
struct PointPair {
  double distance;
  std::uint32_t first;   // the lower point index
  std::uint32_t second;  // the higher one
};

// All pairs a < b of `x.size()` points, listed in the order a = 0..,
// b = a+1.. (only those for which keep(a, b) holds), keyed by Euclidean
// distance and sorted by the program's heap sort, so that pairs at equal
// distances come out exactly as HeapSortTriples places them. The list is
// 1-based (element 0 unused). Returns false, the list unsorted, when
// `progress` is cancelled meanwhile.
template <typename Keep>
bool SortedPointPairs(const std::vector<double>& x, const std::vector<double>& y, Keep keep,
                      const ProgressSink* progress, std::vector<PointPair>& list) {
  const int m = static_cast<int>(x.size());
  list.assign(1, PointPair{0, 0, 0});
  list.reserve(static_cast<size_t>(m) * (m > 0 ? m - 1 : 0) / 2 + 1);
  for (int a = 0; a < m; ++a) {
    for (int b = a + 1; b < m; ++b) {
      if (!keep(a, b)) continue;
      const double dx = x[a] - x[b];
      const double dy = y[a] - y[b];
      list.push_back(PointPair{std::hypot(dx, dy), static_cast<std::uint32_t>(a),
                               static_cast<std::uint32_t>(b)});
    }
  }
  return HeapSortBy(
      static_cast<std::int64_t>(list.size()) - 1, list,
      [](const PointPair& p) { return p.distance; },
      [progress] { return !(progress && progress->Cancelled()); });
}

// Position pairs by rank of distance: the compact form of a sorted list of
// all pairs of M positions.
struct SortedPositionPairs {
  int positions = 0;                  // M
  std::vector<std::uint32_t> first;   // per rank (0-based): the lower position
  std::vector<std::uint32_t> second;  // the higher position
  std::vector<double> distance;
  std::int64_t size() const { return static_cast<std::int64_t>(first.size()); }
};
SortedPositionPairs CompactPositionPairs(int positions, const std::vector<PointPair>& sorted);

// Index of the pair of positions a < b in row order (a = 0.., b = a+1..).
inline std::int64_t TriangleIndex(std::int64_t m, std::int64_t a, std::int64_t b) {
  return a * m - a * (a + 1) / 2 + (b - a - 1);
}

// What a permutation needs per pair of positions: its class (entire
// dataset, central coordinates; one byte while k < 256) or its rank in the
// sorted list of all position pairs (weighted dataset, four bytes). These
// are the tables that grow with N²: M(M−1)/2 cells in row order (a = 0..,
// b = a+1..), or, for the classes beside a triangular coefficient table,
// the whole M x M square (a row per position, read in any order).
struct PositionPairTables {
  int positions = 0;  // M
  // The classes as an M x M square: exactly when the coefficient table is
  // a triangle (KinshipLayout::kTriangle), whose rows the permutations
  // cannot read whole.
  bool square = false;
  LargeTable<std::uint8_t> narrowClass;  // classes 1..k when k < 256
  LargeTable<std::uint16_t> wideClass;   // else
  LargeTable<std::uint32_t> rank;        // weighted: rank (0-based) of each pair
  // Weighted, fixed limits: number of position pairs at a distance at or
  // below each limit (1-based).
  std::vector<std::int64_t> atOrBelow;

  std::int64_t pairCount() const {
    return static_cast<std::int64_t>(positions) * (positions - 1) / 2;
  }
  // Cell of the class of positions a < b.
  std::int64_t ClassCell(std::int64_t a, std::int64_t b) const {
    return square ? a * positions + b : TriangleIndex(positions, a, b);
  }
  // Sizes the class table for k classes.
  void AllocateClasses(int k);
  // The square: copies the classes set above the diagonal below it.
  void MirrorClasses();
  void SetClass(std::int64_t index, int c) {
    if (!narrowClass.empty()) {
      narrowClass[index] = static_cast<std::uint8_t>(c);
    } else {
      wideClass[index] = static_cast<std::uint16_t>(c);
    }
  }
};

// The units of one tested dataset.
struct PermutedUnits {
  // Kinship table row of each unit: its MLG for SUs, itself for genets.
  std::vector<int> group;
  const KinshipTable* table = nullptr;
  // Pairs of units of one group are left out (the weighted dataset).
  bool skipSameGroup = false;
};

// Class means of one arrangement, 1-based (k + 1 long).
struct ArrangementMeans {
  std::vector<double> loiselle;
  std::vector<double> ritland;
};

class PermutationPass {
 public:
  // `pairs` must list all pairs of the units' positions (unit u sits at
  // position u in the observed arrangement). Without skipping, the class of
  // each rank comes from `ends` (the observed cut); with skipping, the
  // classes are cut again on the kept pairs of every arrangement, from
  // `keptPairs` (their number, equal in every arrangement) and the rule.
  PermutationPass(const SortedPositionPairs& pairs, PermutedUnits units, ClassRule rule,
                  const std::vector<std::int64_t>& ends, std::int64_t keptPairs);
  // The same from tables filled while walking the sorted pairs: classes
  // without skipping (`ends` then gives the class sizes), ranks and, for
  // fixed limits, the counts within each limit with skipping.
  PermutationPass(PositionPairTables tables, PermutedUnits units, ClassRule rule,
                  const std::vector<std::int64_t>& ends, std::int64_t keptPairs);

  // Scratch memory of one thread.
  struct Scratch {
    std::vector<int> groupAt;               // group of the unit at each position
    std::vector<int> positionOf;            // position of each unit
    std::vector<int> order;                 // positions in ascending order of group
    std::vector<int> orderedGroup;          // their groups, in that order
    std::vector<int> groupEnd;              // end of each group's run in `order`
    std::vector<std::uint64_t> leftOut;     // weighted: bit r set when rank r is left out
    std::vector<std::int64_t> keptBefore;   // kept pairs before each 64-rank word
    std::vector<std::int64_t> cuts;         // rank of the last pair of classes 1..k-1
    std::vector<std::uint16_t> blockClass;  // class of each block of ranks (top bit: mixed)
    std::vector<KinshipPair> sums;          // class sums, in a few lanes
    std::vector<std::int64_t> count;
  };

  // Class means when unit unitAt[p] sits at position p.
  void Evaluate(const std::vector<int>& unitAt, Scratch& scratch, ArrangementMeans& out) const;

  int k() const { return rule_.k; }
  int units() const { return tables_.positions; }

 private:
  void Initialise(const std::vector<std::int64_t>& ends);
  template <typename ClassCell>
  void SumStaticClasses(const ClassCell* classes, const int* groupAt, KinshipPair* const* lanes,
                        Scratch& s) const;
  PositionPairTables tables_;
  PermutedUnits units_;
  ClassRule rule_;
  // Weighted: finds the classes of an arrangement (cuts, block table,
  // counts) from the ranks of its left-out pairs.
  void CutKeptPairs(Scratch& s) const;

  std::vector<std::int64_t> sizes_;  // fixed class sizes (1-based), when known
  std::int64_t keptPairs_ = 0;
  // Weighted: the units of each group of two or more, to list the left-out
  // pairs directly when they are few (else a scan of all pairs finds them).
  std::vector<int> groupMembers_;
  std::vector<int> groupStart_;
  bool listLeftOut_ = false;
};

// Mean, SD and the 95% and 90% bounds of a series of n values.
struct SeriesSummary {
  double mean = 0;
  double sd = 0;
  double lower95 = 0, upper95 = 0;
  double lower90 = 0, upper90 = 0;
};

// Positions (1-based) of the bounds in the sorted series: with K = 2.5·n/100,
// nearest(K+1), nearest(n−K), nearest(2K+1), nearest(n−2K), halves to even.
struct BoundPositions {
  int lower95, upper95, lower90, upper90;
};
BoundPositions BoundPositionsFor(int n);

// mean = Σv/n; SD = √(((n+1)/n)·(Σv²/n − mean²)) (the population variance
// scaled by (n+1)/n; a rounding residue below 0 counts as 0); the bounds
// are read from the series sorted by HeapSortReals.
SeriesSummary SummarizeSeries(const std::vector<double>& values);

// p(obs<exp), p(obs>exp), p(obs=exp) of a slope, each (b + 1)/(P + 1) over
// the P permuted slopes, the observed slope counting as one of the P + 1:
//   p(obs<exp): one-sided, b = permuted slopes >= observed (small when the
//               observed slope lies above the permuted ones);
//   p(obs>exp): one-sided, b = permuted slopes <= observed (small when it
//               lies below them);
//   p(obs=exp): b = permuted slopes equal to the observed one.
// Ties count on both sides. No permuted values: all three 0 (no test).
struct SlopeTest {
  double below = 0;  // p(obs<exp)
  double above = 0;  // p(obs>exp)
  double equal = 0;  // p(obs=exp)
};
SlopeTest CompareWithPermuted(double observed, const std::vector<double>& permuted);

// One-sided p-value of a class mean, on the side of the overall mean:
// (b + 1)/(count + 1) with b the permuted values ≥ observed when observed ≥
// overall, else the permuted values ≤ observed. No permuted values: 0.
double OneSidedClassP(double observed, double overallMean, const double* permuted, int count,
                      int stride);

// The four straight lines of a class table: Loiselle and Ritland on the
// average distance and on its logarithm, in that order (L/d, L/ln d, R/d,
// R/ln d).
struct FourLines {
  std::array<double, 4> slope{};
  std::array<double, 4> intercept{};  // −a/b
};

// Slopes only (as the permutations need), x given 1-based (k + 1 long).
// Returns false when the abscissae of a line are all equal.
bool FitSlopes(const std::vector<double>& distance, const std::vector<double>& lnDistance,
               const std::vector<double>& loiselle, const std::vector<double>& ritland,
               std::array<double, 4>& slopes);

// Permuted class means and slopes of one dataset, permutation x = 0..n-1.
struct PermutationResults {
  int n = 0;
  int k = 0;
  std::vector<double> loiselle;  // n·k: permutation x, class c at x·k + c − 1
  std::vector<double> ritland;
  std::array<std::vector<double>, 4> slopes;  // L/d, L/ln d, R/d, R/ln d
};

// Runs n permutations, permutation x drawing from the stream
// RandomGenerator::ForStream(runSeed, streamBase + x) a uniformly random
// arrangement (Fisher–Yates), spread over the cores. The slopes regress the
// class means on the observed class average distances `xDistance` and
// their logarithms `xLn` (1-based). Cancelled: Status::Cancelled().
Status RunPermutations(const PermutationPass& pass, int n, std::uint32_t runSeed,
                       std::uint64_t streamBase, const std::vector<double>& xDistance,
                       const std::vector<double>& xLn, ProgressSink* progress,
                       PermutationResults& results);

}  // namespace vireltan
