#include "analyses/spatial/clonal_subrange.h"

#include <algorithm>
#include <new>
#include <string>

#include "numeric/heap_sort.h"

namespace vireltan {

namespace {

bool Cancelled(ProgressSink* progress) {
  return progress && progress->Cancelled();
}

void Report(ProgressSink* progress, int percent) {
  if (progress) progress->SetPosition(percent);
}

// Running sums of the class being filled.
struct ClassSums {
  std::int64_t count = 0;
  std::int64_t different = 0;
  double distance = 0;

  void Add(ClonalPair pair) {
    ++count;
    different += ClonalPairDifferent(pair) ? 1 : 0;
    distance += ClonalPairDistance(pair);
  }
  // Stores the closed class's counts and shares, and starts a new one.
  void CloseInto(SubrangeClass& target) {
    target.pairs = count;
    target.same = static_cast<double>(count - different) / static_cast<double>(count);
    target.average = distance / static_cast<double>(count);
    *this = ClassSums();
  }
};

// Sizes of the equal-count classes: M / K pairs each, the first M mod K
// classes one more.
class EqualCountSizes {
 public:
  EqualCountSizes(std::int64_t pairs, int classes)
      : per_(pairs / classes), remaining_(pairs - per_ * classes) {}
  std::int64_t Next() {
    if (remaining_ > 0) {
      --remaining_;
      return per_ + 1;
    }
    return per_;
  }

 private:
  std::int64_t per_;
  std::int64_t remaining_;
};

// Last pair (1-based position) of each equal-count class but the last.
std::vector<std::int64_t> InnerClassEnds(std::int64_t m, int classCount) {
  std::vector<std::int64_t> ends;
  EqualCountSizes sizes(m, classCount);
  std::int64_t end = 0;
  for (int c = 1; c < classCount; ++c) {
    end += sizes.Next();
    if (end >= m) break;
    ends.push_back(end);
  }
  return ends;
}

// After a sort by the whole record (distance, then flag), whether a run of
// equal distances crossing one of `ends` holds both same-MLG and
// different-MLG pairs: only then does the placement of ties matter.
bool TiesStraddleBoundary(const std::vector<ClonalPair>& sorted, std::int64_t m,
                          const std::vector<std::int64_t>& ends) {
  for (std::int64_t end : ends) {
    if (end >= m) continue;
    const std::uint64_t key = ClonalPairKey(sorted[end]);
    if (ClonalPairKey(sorted[end + 1]) != key) continue;
    std::int64_t first = end;
    while (first > 1 && ClonalPairKey(sorted[first - 1]) == key) --first;
    std::int64_t last = end + 1;
    while (last < m && ClonalPairKey(sorted[last + 1]) == key) ++last;
    if (ClonalPairDifferent(sorted[first]) != ClonalPairDifferent(sorted[last])) return true;
  }
  return false;
}

// Last pair (1-based position, below m) of each fixed class closed before
// the last pair: a class closes when the next pair lies beyond its limit.
std::vector<std::int64_t> FixedClassEnds(const std::vector<ClonalPair>& sorted, std::int64_t m,
                                         const std::vector<double>& limits) {
  std::vector<std::int64_t> ends;
  size_t e = 0;
  for (std::int64_t j = 1; j < m && e < limits.size(); ++j) {
    if (ClonalPairDistance(sorted[j + 1]) > limits[e]) {
      ends.push_back(j);
      ++e;
    }
  }
  return ends;
}

Status NeedPairs(const SpatialUnits& units) {
  if (units.size() < 2) {
    return Status::Error(
        "The clonal subrange needs at least two sampling units: it is computed over pairs of "
        "units.");
  }
  return Status::Ok();
}

Status OutOfMemory(std::int64_t m) {
  return Status::Error("Not enough memory for the clonal subrange: its list of " +
                       std::to_string(m) + " pairs of sampling units needs " +
                       std::to_string((m * static_cast<std::int64_t>(sizeof(ClonalPair))) >> 20) +
                       " MB.");
}

}  // namespace

bool BuildClonalPairs(const SpatialUnits& units, std::vector<ClonalPair>& pairs,
                      ProgressSink* progress) {
  const int n = units.size();
  const std::int64_t m = static_cast<std::int64_t>(n) * (n - 1) / 2;
  pairs.resize(static_cast<size_t>(m) + 1);
  pairs[0] = 0;
  std::int64_t p = 1;
  for (int i = 0; i < n; ++i) {
    if ((i & 63) == 0 && Cancelled(progress)) return false;
    const double xi = units.x[i], yi = units.y[i];
    const int mi = units.mlg[i];
    for (int k = i + 1; k < n; ++k) {
      pairs[p++] =
          PackClonalPair(PlaneDistance(xi, yi, units.x[k], units.y[k]), units.mlg[k] != mi);
    }
  }
  return true;
}

bool HeapSortClonalPairs(std::int64_t n, std::vector<ClonalPair>& a, ProgressSink* progress) {
  // The program's heap sort, step for step: only the record type differs.
  return HeapSortBy(n, a, ClonalPairKey, [progress] { return !Cancelled(progress); });
}

Status ComputeClonalSubrange(const SpatialUnits& units, int classCount, ProgressSink* progress,
                             ClonalSubrangeResult& result, PairSortStrategy strategy) {
  result = ClonalSubrangeResult();
  Status enough = NeedPairs(units);
  if (!enough) return enough;
  if (classCount < 1) {
    return Status::Error("The number of distance classes must be a whole number of at least 1.");
  }
  if (classCount > kMaxSubrangeClasses) {
    return Status::Error("The number of distance classes must be at most " +
                         std::to_string(kMaxSubrangeClasses) +
                         ": the result sheet holds one row per class.");
  }
  const int n = units.size();
  const std::int64_t m = static_cast<std::int64_t>(n) * (n - 1) / 2;

  std::vector<ClonalPair> pairs;
  try {
    if (!BuildClonalPairs(units, pairs, progress)) return Status::Cancelled();
    Report(progress, 20);
    bool heapSort = strategy == PairSortStrategy::kHeapSort;
    if (!heapSort) {
      std::sort(pairs.begin() + 1, pairs.end());
      if (Cancelled(progress)) return Status::Cancelled();
      if (TiesStraddleBoundary(pairs, m, InnerClassEnds(m, classCount))) {
        // The placement of tied pairs decides a boundary: redo the list in
        // its original order and sort it as the program always has.
        heapSort = true;
        if (!BuildClonalPairs(units, pairs, progress)) return Status::Cancelled();
      }
    }
    if (heapSort && !HeapSortClonalPairs(m, pairs, progress)) return Status::Cancelled();
  } catch (const std::bad_alloc&) {
    return OutOfMemory(m);
  }
  Report(progress, 90);

  result.classes.assign(classCount, SubrangeClass());
  EqualCountSizes sizes(m, classCount);
  std::int64_t boundary = sizes.Next();
  int c = 0;
  result.classes[0].minimum = ClonalPairDistance(pairs[1]);
  ClassSums sums;
  for (std::int64_t b = 1; b <= m; ++b) {
    const ClonalPair pair = pairs[b];
    const double distance = ClonalPairDistance(pair);
    sums.Add(pair);
    if (!ClonalPairDifferent(pair)) result.subrange = distance;
    if (b == boundary) {
      sums.CloseInto(result.classes[c]);
      result.classes[c].maximum = distance;
      ++c;
      if (c < classCount) {
        result.classes[c].minimum = distance;
        boundary += sizes.Next();
      }
    }
  }
  // Classes beyond the number of pairs received none: all zeros.
  for (SubrangeClass& cls : result.classes) {
    if (cls.pairs == 0) cls = SubrangeClass();
  }
  Report(progress, 100);
  return Status::Ok();
}

Status ComputeClonalSubrangeFixed(const SpatialUnits& units, const std::vector<double>& upperLimits,
                                  ProgressSink* progress, ClonalSubrangeResult& result,
                                  PairSortStrategy strategy) {
  result = ClonalSubrangeResult();
  Status enough = NeedPairs(units);
  if (!enough) return enough;
  if (upperLimits.empty()) return Status::Error("No distance class limits were given.");
  const int n = units.size();
  const std::int64_t m = static_cast<std::int64_t>(n) * (n - 1) / 2;

  std::vector<ClonalPair> pairs;
  std::vector<double> limits = upperLimits;
  try {
    if (!BuildClonalPairs(units, pairs, progress)) return Status::Cancelled();
    Report(progress, 20);
    bool heapSort = strategy == PairSortStrategy::kHeapSort;
    if (!heapSort) {
      std::sort(pairs.begin() + 1, pairs.end());
      if (Cancelled(progress)) return Status::Cancelled();
    } else if (!HeapSortClonalPairs(m, pairs, progress)) {
      return Status::Cancelled();
    }
    // The largest distance and the class ends depend only on the sorted
    // distances, whatever the order of tied pairs.
    const double largest = ClonalPairDistance(pairs[m]);
    if (limits.back() < largest) {
      limits.push_back(largest);
      result.outOfRange = true;
    }
    // A class usually ends where the distance passes its limit, between two
    // different distances. But after a gap spanning several limits, the
    // pair beyond the gap opens a class whose limit it already exceeds and
    // closes it at once, alone: a run of equal distances is then cut between
    // classes, and which of those tied pairs land in which class is the heap
    // sort's doing.
    if (!heapSort && TiesStraddleBoundary(pairs, m, FixedClassEnds(pairs, m, limits))) {
      if (!BuildClonalPairs(units, pairs, progress)) return Status::Cancelled();
      if (!HeapSortClonalPairs(m, pairs, progress)) return Status::Cancelled();
    }
  } catch (const std::bad_alloc&) {
    return OutOfMemory(m);
  }
  Report(progress, 90);

  const int classCount = static_cast<int>(limits.size());
  result.classes.assign(classCount, SubrangeClass());
  result.classes[0].minimum = ClonalPairDistance(pairs[1]);
  int e = 0;
  ClassSums sums;
  for (std::int64_t j = 1; j <= m && e < classCount; ++j) {
    const ClonalPair pair = pairs[j];
    sums.Add(pair);
    if (!ClonalPairDifferent(pair)) result.subrange = ClonalPairDistance(pair);
    if (j == m || ClonalPairDistance(pairs[j + 1]) > limits[e]) {
      sums.CloseInto(result.classes[e]);
      if (e + 1 < classCount && j < m)
        result.classes[e + 1].minimum = ClonalPairDistance(pairs[j + 1]);
      ++e;
    }
  }
  for (int c = 0; c < classCount; ++c) {
    SubrangeClass& cls = result.classes[c];
    if (cls.pairs == 0) cls = SubrangeClass();
    // A fixed class reports its limit as its maximum.
    cls.maximum = limits[c];
  }
  Report(progress, 100);
  return Status::Ok();
}

}  // namespace vireltan
