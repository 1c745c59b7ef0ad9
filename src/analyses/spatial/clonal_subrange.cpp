// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/clonal_subrange.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <new>
#include <string>

#include "analyses/spatial/distance_ordered_pairs.h"
#include "common/memory_guard.h"
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

// Pairs handled between two looks at the cancel flag: a few milliseconds.
constexpr std::size_t kPairsPerCancelCheck = std::size_t{1} << 20;

// Pairs of one slice of the walk for m pairs.
std::size_t SlicePairs(std::int64_t m) {
  return std::max<std::size_t>(kSlicePairs, static_cast<std::size_t>(m / 16));
}

// What the walk holds for n units: one slice of pairs (16 bytes each; the
// whole list when it fits one slice), the units' coordinates and MLGs and
// the grid that bins them (about 48 bytes a unit).
double WalkBytes(int n) {
  const std::int64_t m = static_cast<std::int64_t>(n) * (n - 1) / 2;
  const double slice =
      static_cast<double>(std::min<std::int64_t>(m, static_cast<std::int64_t>(SlicePairs(m))));
  return 16.0 * slice + 48.0 * n;
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

namespace {

// The class walk over the pairs in ascending order of distance, fed one
// pair at a time (the pair is taken when the next one is known, since a
// fixed class closes when the next pair lies beyond its limit). It also
// notes whether a run of pairs at one distance, holding both same-MLG and
// different-MLG pairs, is cut by a class end: only then does the order of
// tied pairs change the table, and the heap sort's order is needed.
class SubrangeTabulator {
 public:
  // Equal counts: `classCount` classes over m pairs.
  SubrangeTabulator(std::int64_t m, int classCount) : m_(m), sizes_(m, classCount) {
    result_.classes.assign(classCount, SubrangeClass());
    boundary_ = sizes_.Next();
  }
  // Fixed limits. A last class up to the largest distance is kept only
  // when pairs lie beyond the last limit (none can reach it otherwise).
  SubrangeTabulator(std::int64_t m, const std::vector<double>& limits)
      : m_(m), fixed_(true), limits_(limits), sizes_(1, 1) {
    limits_.push_back(std::numeric_limits<double>::infinity());
    result_.classes.assign(limits_.size(), SubrangeClass());
  }

  void Add(ClonalPair pair) {
    if (j_ > 0) Take(pending_, true, ClonalPairDistance(pair));
    pending_ = pair;
    ++j_;
  }
  // Known once Finish() has run.
  bool tiesCutByClassEnd() const { return straddle_; }

  ClonalSubrangeResult Finish() {
    if (j_ > 0) Take(pending_, false, 0);
    EndRun();
    const int classCount = static_cast<int>(result_.classes.size());
    if (fixed_) {
      if (largest_ > limits_[limits_.size() - 2]) {
        limits_.back() = largest_;
        result_.outOfRange = true;
      } else {
        limits_.pop_back();
        result_.classes.pop_back();
      }
    }
    for (int c = 0; c < static_cast<int>(result_.classes.size()) && c < classCount; ++c) {
      SubrangeClass& cls = result_.classes[c];
      if (cls.pairs == 0) cls = SubrangeClass();
      if (fixed_) cls.maximum = limits_[c];
    }
    return result_;
  }

 private:
  // Pair j_ (1-based) with the distance of pair j_ + 1 when there is one.
  void Take(ClonalPair pair, bool hasNext, double next) {
    const std::int64_t j = j_;
    const double distance = ClonalPairDistance(pair);
    if (j == 1) result_.classes[0].minimum = distance;
    if (j == 1 || distance != runDistance_) {
      EndRun();
      runDistance_ = distance;
    }
    (ClonalPairDifferent(pair) ? runDifferent_ : runSame_) = true;
    largest_ = distance;
    bool closes = false;
    if (!fixed_) {
      sums_.Add(pair);
      if (!ClonalPairDifferent(pair)) result_.subrange = distance;
      if (j == boundary_) {
        closes = true;
        sums_.CloseInto(result_.classes[c_]);
        result_.classes[c_].maximum = distance;
        ++c_;
        if (c_ < static_cast<int>(result_.classes.size())) {
          result_.classes[c_].minimum = distance;
          boundary_ += sizes_.Next();
        }
      }
    } else if (c_ < static_cast<int>(result_.classes.size())) {
      sums_.Add(pair);
      if (!ClonalPairDifferent(pair)) result_.subrange = distance;
      if (!hasNext || next > limits_[c_]) {
        closes = true;
        sums_.CloseInto(result_.classes[c_]);
        if (c_ + 1 < static_cast<int>(result_.classes.size()) && hasNext)
          result_.classes[c_ + 1].minimum = next;
        ++c_;
      }
    }
    if (closes && hasNext && next == distance) runCut_ = true;
  }
  void EndRun() {
    if (runCut_ && runSame_ && runDifferent_) straddle_ = true;
    runCut_ = runSame_ = runDifferent_ = false;
  }

  std::int64_t m_;
  bool fixed_ = false;
  std::vector<double> limits_;
  EqualCountSizes sizes_;
  ClonalSubrangeResult result_;
  std::int64_t boundary_ = 0;
  int c_ = 0;
  ClassSums sums_;
  ClonalPair pending_ = 0;
  std::int64_t j_ = 0;
  double largest_ = 0;
  double runDistance_ = 0;
  bool runCut_ = false, runSame_ = false, runDifferent_ = false, straddle_ = false;
};

// Feeds the pairs of a walk to a tabulator.
class SubrangeFeed : public RankedPairVisitor {
 public:
  SubrangeFeed(const SpatialUnits& units, SubrangeTabulator& tabulator, ProgressSink* progress)
      : units_(units), tabulator_(tabulator), progress_(progress) {}
  void Start() override {}
  // A slice may hold a billion pairs: a cancel ends the visit (the walk
  // then stops too).
  void Visit(const RankedPair* pairs, std::size_t count) override {
    for (std::size_t i = 0; i < count; ++i) {
      if (i % kPairsPerCancelCheck == 0 && Cancelled(progress_)) return;
      tabulator_.Add(
          PackClonalPair(pairs[i].distance, units_.mlg[pairs[i].a] != units_.mlg[pairs[i].b]));
    }
  }

 private:
  const SpatialUnits& units_;
  SubrangeTabulator& tabulator_;
  ProgressSink* progress_;
};

// Runs the table: first over pairs walked in ascending order in slices
// (memory: one slice), and only when tied pairs of both kinds are cut by a
// class end, over the whole list sorted by the heap sort (8 bytes per
// pair, grows with N²).
Status RunSubrange(const SpatialUnits& units, ProgressSink* progress, PairSortStrategy strategy,
                   const std::function<SubrangeTabulator()>& make, ClonalSubrangeResult& result) {
  const int n = units.size();
  const std::int64_t m = static_cast<std::int64_t>(n) * (n - 1) / 2;
  if (strategy == PairSortStrategy::kAuto) {
    // Every slice costs a pass over all pairs: past a few slices, slices
    // of 1/16 of the pairs (one byte per pair) keep the passes at about 20.
    Status fits = CheckMemory("The clonal subrange", n, WalkBytes, AvailableMemory());
    if (!fits) return fits;
    SubrangeTabulator tabulator = make();
    SubrangeFeed feed(units, tabulator, progress);
    PairWalk walk;
    walk.x = &units.x;
    walk.y = &units.y;
    walk.slicePairs = SlicePairs(m);
    if (!WalkPairsAscending(walk, progress, feed)) return Status::Cancelled();
    result = tabulator.Finish();
    if (!tabulator.tiesCutByClassEnd()) {
      Report(progress, 100);
      return Status::Ok();
    }
    result = ClonalSubrangeResult();
  }
  Status fits = CheckMemory(
      "The clonal subrange (with pairs tied at a class limit)", n,
      [](int units) { return 8.0 * units * (units - 1) / 2 + kSlicePairs * 16.0; },
      AvailableMemory());
  if (!fits) return fits;
  std::vector<ClonalPair> pairs;
  try {
    if (!BuildClonalPairs(units, pairs, progress)) return Status::Cancelled();
    Report(progress, 20);
    if (!HeapSortClonalPairs(m, pairs, progress)) return Status::Cancelled();
  } catch (const std::bad_alloc&) {
    return OutOfMemory(m);
  }
  SubrangeTabulator tabulator = make();
  for (std::int64_t j = 1; j <= m; ++j) {
    if (j % kPairsPerCancelCheck == 0 && Cancelled(progress)) return Status::Cancelled();
    tabulator.Add(pairs[j]);
  }
  result = tabulator.Finish();
  Report(progress, 100);
  return Status::Ok();
}

}  // namespace

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
  return RunSubrange(
      units, progress, strategy, [&] { return SubrangeTabulator(m, classCount); }, result);
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
  return RunSubrange(
      units, progress, strategy, [&] { return SubrangeTabulator(m, upperLimits); }, result);
}

}  // namespace vireltan
