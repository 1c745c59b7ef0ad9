// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/distance_ordered_pairs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "common/parallel_for.h"
#include "numeric/heap_sort.h"

namespace vireltan {

namespace {

bool Cancelled(const ProgressSink* progress) {
  return progress && progress->Cancelled();
}

std::uint64_t KeyBits(const RankedPair& p) {
  std::uint64_t bits;
  std::memcpy(&bits, &p.distance, sizeof bits);
  return bits;  // a non-negative double's bits order like its value
}

// Pairs handled between two looks at the cancel flag: a few milliseconds.
constexpr std::ptrdiff_t kPairsPerCancelCheck = std::ptrdiff_t{1} << 20;

// Sorts by distance in place, most significant byte of the key first
// (American flag sort); bytes shared by the whole range cost one counting
// pass. The order of equal distances is left unspecified. A cancel leaves
// the range in some order (the caller then stops).
void RadixSortByDistance(RankedPair* begin, RankedPair* end, int shift,
                         const ProgressSink* progress) {
  const std::ptrdiff_t n = end - begin;
  if (n < 256 || shift < 0) {
    std::sort(begin, end,
              [](const RankedPair& p, const RankedPair& q) { return p.distance < q.distance; });
    return;
  }
  if (Cancelled(progress)) return;
  std::size_t count[256] = {};
  for (RankedPair* block = begin; block != end;) {
    RankedPair* blockEnd = end - block > kPairsPerCancelCheck ? block + kPairsPerCancelCheck : end;
    for (RankedPair* p = block; p != blockEnd; ++p) ++count[(KeyBits(*p) >> shift) & 255];
    block = blockEnd;
    if (block != end && Cancelled(progress)) return;
  }
  if (count[(KeyBits(*begin) >> shift) & 255] == static_cast<std::size_t>(n)) {
    RadixSortByDistance(begin, end, shift - 8, progress);
    return;
  }
  std::ptrdiff_t head[256], tail[256];
  std::ptrdiff_t sum = 0;
  for (int d = 0; d < 256; ++d) {
    head[d] = sum;
    sum += static_cast<std::ptrdiff_t>(count[d]);
    tail[d] = sum;
  }
  std::ptrdiff_t moved = 0;
  for (int d = 0; d < 256; ++d) {
    while (head[d] < tail[d]) {
      if (++moved % kPairsPerCancelCheck == 0 && Cancelled(progress)) return;
      RankedPair v = begin[head[d]];
      int digit = static_cast<int>((KeyBits(v) >> shift) & 255);
      while (digit != d) {
        std::swap(v, begin[head[digit]++]);
        digit = static_cast<int>((KeyBits(v) >> shift) & 255);
      }
      begin[head[d]++] = v;
    }
  }
  std::ptrdiff_t start[257];
  start[0] = 0;
  for (int d = 0; d < 256; ++d) start[d + 1] = start[d] + static_cast<std::ptrdiff_t>(count[d]);
  auto sortBuckets = [&](int from, int to) {
    for (int d = from; d < to && !Cancelled(progress); ++d)
      if (start[d + 1] - start[d] > 1)
        RadixSortByDistance(begin + start[d], begin + start[d + 1], shift - 8, progress);
  };
  // A whole slice: its buckets on all cores (they are disjoint).
  if (n >= (std::ptrdiff_t{1} << 20)) {
    ParallelFor(256, sortBuckets, nullptr, 1);
  } else {
    sortBuckets(0, 256);
  }
}

// Upper limits of the slices' squared distances (the last slice is open),
// from the quantiles of a sample of kept pairs.
std::vector<double> SliceLimits(const PairWalk& w, std::int64_t kept) {
  std::vector<double> limits;
  const std::int64_t target = static_cast<std::int64_t>(w.slicePairs * 3 / 4);
  if (kept <= static_cast<std::int64_t>(w.slicePairs) || target < 1) return limits;
  const std::vector<double>& x = *w.x;
  const std::vector<double>& y = *w.y;
  const int m = static_cast<int>(x.size());
  std::mt19937_64 random(12345);
  std::uniform_int_distribution<int> point(0, m - 1);
  std::vector<double> sample;
  const int wanted = 1 << 18;
  for (int tries = 0; tries < 64 * wanted && static_cast<int>(sample.size()) < wanted; ++tries) {
    const int a = point(random), b = point(random);
    if (a == b || (w.group && (*w.group)[a] == (*w.group)[b])) continue;
    const double dx = x[a] - x[b], dy = y[a] - y[b];
    sample.push_back(dx * dx + dy * dy);
  }
  if (sample.empty()) return limits;
  std::sort(sample.begin(), sample.end());
  const std::int64_t slices = (kept + target - 1) / target;
  for (std::int64_t s = 1; s < slices; ++s) {
    const double v =
        sample[static_cast<size_t>(s * static_cast<std::int64_t>(sample.size()) / slices)];
    if (limits.empty() || v > limits.back()) limits.push_back(v);
  }
  return limits;
}

// The points binned in a square grid of about kPointsPerCell points a
// cell, with each cell's own bounding box. A slice of squared distances
// (low, high] then only looks at the pairs of cells whose boxes can hold a
// pair in it: each pair of points is looked at by the few slices its two
// cells' range of distances spans, not by all of them (about 64 at
// N = 20,000, a pass over 2·10⁸ pairs each). The boxes bound the distances
// of their points as computed (subtraction, squares and sums are monotone
// under rounding), so no pair is missed.
class PointGrid {
 public:
  static constexpr int kPointsPerCell = 16;

  PointGrid(const std::vector<double>& x, const std::vector<double>& y) {
    const int m = static_cast<int>(x.size());
    if (m == 0) return;
    const auto [xLow, xHigh] = std::minmax_element(x.begin(), x.end());
    const auto [yLow, yHigh] = std::minmax_element(y.begin(), y.end());
    const double width = *xHigh - *xLow, height = *yHigh - *yLow;
    // Cells of side `side` over the box of all points; a flat box gets one
    // row (or column) of cells.
    const double cells = std::max(1.0, static_cast<double>(m) / kPointsPerCell);
    double side = std::sqrt(width * height / cells);
    if (!(side > 0)) side = std::max(width, height) / cells;
    int nx = 1, ny = 1;
    if (side > 0) {
      nx = static_cast<int>(std::clamp(std::ceil(width / side), 1.0, cells));
      ny = static_cast<int>(std::clamp(std::ceil(height / side), 1.0, cells));
    }
    auto cellOf = [&](int p) {
      const int i = side > 0 ? std::min(nx - 1, static_cast<int>((x[p] - *xLow) / side)) : 0;
      const int j = side > 0 ? std::min(ny - 1, static_cast<int>((y[p] - *yLow) / side)) : 0;
      return j * nx + i;
    };
    std::vector<int> start(static_cast<size_t>(nx) * ny + 1, 0);
    for (int p = 0; p < m; ++p) ++start[cellOf(p) + 1];
    for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    point_.resize(m);
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (int p = 0; p < m; ++p) point_[fill[cellOf(p)]++] = p;  // ascending within a cell
    px_.resize(m);
    py_.resize(m);
    for (int i = 0; i < m; ++i) {
      px_[i] = x[point_[i]];
      py_[i] = y[point_[i]];
    }
    for (size_t c = 0; c + 1 < start.size(); ++c) {
      if (start[c] == start[c + 1]) continue;
      Cell cell{start[c], start[c + 1], px_[start[c]], px_[start[c]], py_[start[c]], py_[start[c]]};
      for (int i = cell.begin; i < cell.end; ++i) {
        cell.xLow = std::min(cell.xLow, px_[i]);
        cell.xHigh = std::max(cell.xHigh, px_[i]);
        cell.yLow = std::min(cell.yLow, py_[i]);
        cell.yHigh = std::max(cell.yHigh, py_[i]);
      }
      cells_.push_back(cell);
    }
  }

  // Calls take(a, b, squared distance) for every pair of points a < b at a
  // squared distance in (low, high] (and maybe a few more, which `take`
  // filters), cell pair by cell pair. Stops early, returning false, on a
  // cancel (looked at every million or so pairs).
  template <typename Take>
  bool ForPairsWithin(double low, double high, std::vector<double>& buffer,
                      const ProgressSink* progress, Take take) const {
    std::ptrdiff_t sinceCheck = 0;
    for (size_t c = 0; c < cells_.size(); ++c) {
      const Cell& u = cells_[c];
      for (size_t e = c; e < cells_.size(); ++e) {
        const Cell& v = cells_[e];
        const double gapX = std::max({0.0, v.xLow - u.xHigh, u.xLow - v.xHigh});
        const double gapY = std::max({0.0, v.yLow - u.yHigh, u.yLow - v.yHigh});
        if (gapX * gapX + gapY * gapY > high) continue;
        const double spanX = std::max(v.xHigh - u.xLow, u.xHigh - v.xLow);
        const double spanY = std::max(v.yHigh - u.yLow, u.yHigh - v.yLow);
        if (spanX * spanX + spanY * spanY <= low) continue;
        for (int i = u.begin; i < u.end; ++i) {
          const int from = c == e ? i + 1 : v.begin;
          const int n = v.end - from;
          if (n <= 0) continue;
          if ((sinceCheck += n) >= kPairsPerCancelCheck) {
            sinceCheck = 0;
            if (Cancelled(progress)) return false;
          }
          buffer.resize(std::max<size_t>(buffer.size(), n));
          const double xa = px_[i], ya = py_[i];
          const double* vx = px_.data() + from;
          const double* vy = py_.data() + from;
          double* squared = buffer.data();
          // The squared distances first (a loop the compiler vectorises),
          // then the few that fall in the slice.
          for (int j = 0; j < n; ++j) {
            const double dx = xa - vx[j];
            const double dy = ya - vy[j];
            squared[j] = dx * dx + dy * dy;
          }
          for (int j = 0; j < n; ++j) {
            if (squared[j] <= low || squared[j] > high) continue;
            const int a = point_[i], b = point_[from + j];
            take(std::min(a, b), std::max(a, b));
          }
        }
      }
    }
    return true;
  }

 private:
  struct Cell {
    int begin, end;  // range of point_
    double xLow, xHigh, yLow, yHigh;
  };
  std::vector<int> point_;       // point indices, cell by cell
  std::vector<double> px_, py_;  // their coordinates, in that order
  std::vector<Cell> cells_;      // non-empty cells
};

// Runs the slices in ascending order; each sorted slice goes to `take`
// (returns false to stop). Returns false when a tie is met or on cancel.
template <typename Take>
bool ForEachSlice(const PairWalk& w, std::int64_t kept, const ProgressSink* progress,
                  bool stopAtTie, Take take) {
  const std::vector<double> limits = SliceLimits(w, kept);
  const size_t slices = limits.size() + 1;
  const std::vector<double>& x = *w.x;
  const std::vector<double>& y = *w.y;
  const PointGrid grid(x, y);
  std::vector<RankedPair> slice;
  std::vector<double> buffer;
  double previous = -1;
  for (size_t s = 0; s < slices; ++s) {
    if (Cancelled(progress)) return false;
    const double low = s == 0 ? -1.0 : limits[s - 1];
    const double high = s + 1 == slices ? std::numeric_limits<double>::infinity() : limits[s];
    slice.clear();
    slice.reserve(slices == 1 ? static_cast<size_t>(kept) : w.slicePairs);
    const bool whole = grid.ForPairsWithin(low, high, buffer, progress, [&](int a, int b) {
      if (w.group && (*w.group)[a] == (*w.group)[b]) return;
      // The distance itself by std::hypot, as every distance of the
      // program (the squares only choose the slice).
      slice.push_back(RankedPair{std::hypot(x[a] - x[b], y[a] - y[b]),
                                 static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)});
    });
    if (!whole) return false;
    RadixSortByDistance(slice.data(), slice.data() + slice.size(), 56, progress);
    if (Cancelled(progress)) return false;
    if (stopAtTie) {
      for (const RankedPair& p : slice) {
        if (p.distance == previous) return false;
        previous = p.distance;
      }
    }
    if (!take(slice)) return false;
  }
  return true;
}

}  // namespace

std::int64_t KeptPairCount(const PairWalk& w) {
  const std::int64_t m = static_cast<std::int64_t>(w.x->size());
  std::int64_t pairs = m * (m - 1) / 2;
  if (w.group) {
    std::vector<std::int64_t> members;
    for (int g : *w.group) {
      if (g >= static_cast<int>(members.size())) members.resize(g + 1, 0);
      ++members[g];
    }
    for (std::int64_t n : members) pairs -= n * (n - 1) / 2;
  }
  return pairs;
}

double PairWalkBytes(std::int64_t keptPairs, bool tied) {
  if (tied) return 8.0 * static_cast<double>(keptPairs);
  return 16.0 * static_cast<double>(std::min<std::int64_t>(keptPairs, kSlicePairs));
}

bool WalkPairsAscending(const PairWalk& w, const ProgressSink* progress,
                        RankedPairVisitor& visitor) {
  const std::int64_t kept = KeptPairCount(w);
  visitor.Start();
  if (kept == 0) return true;
  ForEachSlice(w, kept, progress, false, [&](const std::vector<RankedPair>& s) {
    visitor.Visit(s.data(), s.size());
    return !Cancelled(progress);
  });
  return !Cancelled(progress);
}

PairWalkPath WalkPairsByDistance(const PairWalk& w, const ProgressSink* progress,
                                 RankedPairVisitor& visitor) {
  const std::int64_t kept = KeptPairCount(w);
  visitor.Start();
  if (kept == 0) return PairWalkPath::kDistinct;
  bool tied = false;
  double previous = -1;
  ForEachSlice(w, kept, progress, false, [&](const std::vector<RankedPair>& s) {
    for (const RankedPair& p : s) {
      if (p.distance == previous) tied = true;
      previous = p.distance;
    }
    visitor.Visit(s.data(), s.size());
    return !tied || visitor.CanTakeAnyTieOrder();
  });
  if (Cancelled(progress)) return PairWalkPath::kCancelled;
  if (!tied || visitor.CanTakeAnyTieOrder()) return PairWalkPath::kDistinct;
  if (w.memoryLimit > 0 && PairWalkBytes(kept, true) > w.memoryLimit)
    return PairWalkPath::kTooLarge;

  // Exact path. Record i (1-based, kept pairs in row order) holds the rank
  // of its distance among the distinct distances (high word) and its pair
  // index (low word); comparing ranks is comparing distances, ties included.
  visitor.ExactPathStarts();
  const std::vector<double>& x = *w.x;
  const std::vector<double>& y = *w.y;
  const std::int64_t m = static_cast<std::int64_t>(x.size());
  std::vector<std::uint64_t> records(static_cast<size_t>(kept) + 1, 0);
  // Where kept pair (a, b) sits in row order: kept pairs of earlier rows,
  // plus the kept points between a and b.
  std::vector<std::int64_t> rowStart(m + 1, 0);
  std::vector<std::vector<int>> members;
  std::vector<int> rankInGroup(m, 0);
  if (w.group) {
    for (int p = 0; p < m; ++p) {
      const int g = (*w.group)[p];
      if (g >= static_cast<int>(members.size())) members.resize(g + 1);
      rankInGroup[p] = static_cast<int>(members[g].size());
      members[g].push_back(p);
    }
  }
  for (std::int64_t a = 0; a < m; ++a) {
    std::int64_t row = m - a - 1;
    if (w.group) {
      const std::vector<int>& own = members[(*w.group)[a]];
      row -= static_cast<std::int64_t>(own.size()) - rankInGroup[a] - 1;
    }
    rowStart[a + 1] = rowStart[a] + row;
  }
  auto keptIndex = [&](int a, int b) {
    std::int64_t offset = b - a - 1;
    if (w.group) {
      const std::vector<int>& own = members[(*w.group)[a]];
      const std::int64_t below = std::lower_bound(own.begin(), own.end(), b) - own.begin();
      offset -= below - rankInGroup[a] - 1;
    }
    return rowStart[a] + offset + 1;
  };
  std::uint64_t rank = 0;
  double last = -1;
  ForEachSlice(w, kept, progress, false, [&](const std::vector<RankedPair>& s) {
    for (const RankedPair& p : s) {
      if (p.distance != last) ++rank;
      last = p.distance;
      records[keptIndex(p.a, p.b)] =
          (rank << 32) | static_cast<std::uint64_t>(PairIndex(m, p.a, p.b));
    }
    return true;
  });
  if (Cancelled(progress)) return PairWalkPath::kCancelled;
  if (!HeapSortBy(
          kept, records, [](std::uint64_t r) { return r >> 32; },
          [progress] { return !Cancelled(progress); }))
    return PairWalkPath::kCancelled;

  // Replay in blocks, finding each pair's row by its index.
  std::vector<std::int64_t> allRowStart(m + 1, 0);
  for (std::int64_t a = 0; a < m; ++a) allRowStart[a + 1] = allRowStart[a] + (m - a - 1);
  visitor.Start();
  std::vector<RankedPair> block;
  const std::int64_t blockSize = 1 << 16;
  for (std::int64_t i = 1; i <= kept; i += blockSize) {
    block.clear();
    for (std::int64_t r = i; r <= kept && r < i + blockSize; ++r) {
      const std::int64_t index = static_cast<std::int64_t>(records[r] & 0xFFFFFFFFu);
      const std::int64_t a =
          std::upper_bound(allRowStart.begin(), allRowStart.end(), index) - allRowStart.begin() - 1;
      const std::int64_t b = index - allRowStart[a] + a + 1;
      const double dx = x[a] - x[b];
      const double dy = y[a] - y[b];
      block.push_back(RankedPair{std::hypot(dx, dy), static_cast<std::uint32_t>(a),
                                 static_cast<std::uint32_t>(b)});
    }
    visitor.Visit(block.data(), block.size());
    if (Cancelled(progress)) return PairWalkPath::kCancelled;
  }
  return tied ? PairWalkPath::kTied : PairWalkPath::kDistinct;
}

}  // namespace vireltan
