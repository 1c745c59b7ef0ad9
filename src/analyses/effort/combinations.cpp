// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/effort/combinations.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <map>
#include <numeric>

#include "analyses/effort/partition_refiner.h"

namespace vireltan {

namespace {

// Depth-first enumeration of the subsets of loci. Deciding locus i (from L
// down to 1), flag 0 is explored before flag 1, and locus 1 is decided last,
// which visits the subsets in ascending binary order with locus 1 as the
// lowest digit. Along each branch the partition of the units into genotype
// classes is split by every locus included, so a leaf knows its MLG count.
class LociEnumeration {
 public:
  // `leafLimit` > 0 stops the walk after that many subsets (the empty one
  // included), as if cancelled: used to time the first subsets.
  LociEnumeration(const EffortInput& input, ProgressSink& progress, std::uint64_t leafLimit = 0)
      : input_(input),
        progress_(progress),
        refiner_(input),
        loci_(input.locusCount),
        flags_(input.locusCount, false),
        levels_(input.locusCount, std::vector<int>(input.sampleCount)),
        counts_(static_cast<size_t>(input.locusCount + 1) * (input.mlgCount + 1), 0),
        leafLimit_(leafLimit) {
    totalLeaves_ = std::ldexp(1.0, loci_);
  }

  bool Run() {
    minimumSize_ = loci_;
    std::vector<int> start(input_.sampleCount, 0);
    Decide(loci_, start, 1, 0);
    return !cancelled_;
  }

  std::uint64_t count(int k, int m) const { return counts_[Index(k, m)]; }
  int minimumSize() const { return minimumSize_; }
  std::int64_t minimumFound() const { return minimumFound_; }
  const std::vector<std::vector<bool>>& minimumCombinations() const { return slots_; }

 private:
  size_t Index(int k, int m) const { return static_cast<size_t>(k) * (input_.mlgCount + 1) + m; }

  // Decides locus `locus` (1-based) given the classes of the loci decided
  // so far (`included` of them, `classCount` classes).
  void Decide(int locus, const std::vector<int>& classes, int classCount, int included) {
    if (cancelled_) return;
    if (locus == 0) {
      Visit(included, classCount);
      return;
    }
    const int j = locus - 1;
    flags_[j] = false;
    Decide(locus - 1, classes, classCount, included);
    if (cancelled_) return;
    flags_[j] = true;
    if (classCount == input_.mlgCount) {
      // All G MLGs are separated already: no locus can split them further.
      Decide(locus - 1, classes, classCount, included + 1);
    } else if (locus == 1) {
      Visit(included + 1, refiner_.CountRefined(classes, j));
    } else {
      std::vector<int>& refined = levels_[j];
      int refinedCount = refiner_.Refine(classes, j, refined);
      Decide(locus - 1, refined, refinedCount, included + 1);
    }
    flags_[j] = false;
  }

  void Visit(int k, int m) {
    if (leafLimit_ > 0 && leaves_ >= leafLimit_) {
      cancelled_ = true;
      return;
    }
    // The cancel flag is polled every 4096 subsets: a few microseconds.
    if ((++leaves_ & 0xFFF) == 0) {
      if (progress_.Cancelled()) {
        cancelled_ = true;
        return;
      }
      int percent = static_cast<int>(static_cast<double>(leaves_) * 100.0 / totalLeaves_);
      if (percent != lastPercent_) progress_.SetPosition(lastPercent_ = percent);
    }
    if (k == 0) return;  // the empty subset
    ++counts_[Index(k, m)];
    if (m != input_.mlgCount) return;
    if (k == minimumSize_) {
      ++minimumFound_;
      if (minimumFound_ <= kListedMinimumCombinations) slots_.push_back(flags_);
    } else if (k < minimumSize_) {
      minimumSize_ = k;
      slots_.assign(1, flags_);
      minimumFound_ = 1;
    }
  }

  const EffortInput& input_;
  ProgressSink& progress_;
  PartitionRefiner refiner_;
  int loci_;
  std::vector<bool> flags_;
  std::vector<std::vector<int>> levels_;  // classes after including locus j+1
  std::vector<std::uint64_t> counts_;     // (k, m) -> subsets of k loci with m MLGs
  double totalLeaves_ = 0;
  std::uint64_t leaves_ = 0;
  std::uint64_t leafLimit_ = 0;
  int lastPercent_ = 0;
  bool cancelled_ = false;
  int minimumSize_ = 0;
  std::int64_t minimumFound_ = 0;
  std::vector<std::vector<bool>> slots_;
};

}  // namespace

Status CombineLociCurve(const EffortInput& input, ProgressSink& progress,
                        LociCombinationResult& result) {
  LociEnumeration enumeration(input, progress);
  if (!enumeration.Run()) return Status::Cancelled();

  LociCombinationResult out;
  out.rows.resize(input.locusCount);
  for (int k = 1; k <= input.locusCount; ++k) {
    std::uint64_t total = 0, weighted = 0;
    int lowest = 0, highest = 0;
    for (int m = 1; m <= input.mlgCount; ++m) {
      std::uint64_t c = enumeration.count(k, m);
      if (c == 0) continue;
      total += c;
      weighted += c * static_cast<std::uint64_t>(m);
      if (lowest == 0) lowest = m;
      highest = m;
    }
    CombinationRow& row = out.rows[k - 1];
    row.averageMlg = static_cast<double>(weighted) / static_cast<double>(total);
    row.mlgMin = lowest;
    row.mlgMax = highest;
  }
  out.minimumSize = enumeration.minimumSize();
  out.minimumFound = enumeration.minimumFound();
  out.minimumCombinations = enumeration.minimumCombinations();
  result = std::move(out);
  return Status::Ok();
}

double MeasureLociCombinationCost(const EffortInput& input, std::uint64_t probe) {
  // Processor time, so that other work on the machine does not inflate the
  // figure; two walks of different lengths, so that the setup cost of a
  // walk cancels out.
  auto timedWalk = [&](std::uint64_t leaves) {
    NullProgressSink quiet;
    LociEnumeration enumeration(input, quiet, leaves);
    std::clock_t start = std::clock();
    enumeration.Run();
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  };
  const double all = std::ldexp(1.0, input.locusCount);
  const double longer = std::min(static_cast<double>(probe), all);
  const double shorter = std::min(static_cast<double>(probe / 16), all);
  const double difference = timedWalk(static_cast<std::uint64_t>(longer)) -
                            timedWalk(static_cast<std::uint64_t>(shorter));
  if (longer > shorter && difference > 0) return difference / (longer - shorter);
  return timedWalk(static_cast<std::uint64_t>(longer)) / std::max(longer, 1.0);
}

std::vector<CombinationRow> CombineIndividualsCurve(const std::vector<int>& cloneSizes,
                                                    bool exactWhenSmall) {
  const int g = static_cast<int>(cloneSizes.size());
  const int n = std::accumulate(cloneSizes.begin(), cloneSizes.end(), 0);
  std::vector<CombinationRow> rows(n);

  // MLGmin: the largest clones first.
  std::vector<int> largestFirst = cloneSizes;
  std::sort(largestFirst.begin(), largestFirst.end(), std::greater<int>());
  int clones = 0, held = 0;
  for (int j = 1; j <= n; ++j) {
    while (held < j) held += largestFirst[clones++];
    rows[j - 1].mlgMin = clones;
    rows[j - 1].mlgMax = std::min(j, g);
  }

  // Clones of equal size have equal ratios: one term per distinct size.
  std::map<int, int> sizeMultiplicity;
  for (int size : cloneSizes) ++sizeMultiplicity[size];

  constexpr int kExactLimit = 60;  // C(60, 30) * 60 < 2^63
  if (exactWhenSmall && n <= kExactLimit) {
    // Pascal's triangle: binomial[a][j] = C(a, j).
    std::vector<std::vector<std::uint64_t>> binomial(n + 1);
    for (int a = 0; a <= n; ++a) {
      binomial[a].assign(n + 1, 0);
      binomial[a][0] = 1;
      for (int j = 1; j <= a; ++j) binomial[a][j] = binomial[a - 1][j - 1] + binomial[a - 1][j];
    }
    for (int j = 1; j <= n; ++j) {
      // Sum over subsets of their MLG count = G C(N, j) - sum C(N - n_g, j).
      std::uint64_t weighted = static_cast<std::uint64_t>(g) * binomial[n][j];
      for (const auto& [size, times] : sizeMultiplicity)
        weighted -= static_cast<std::uint64_t>(times) * binomial[n - size][j];
      rows[j - 1].averageMlg = static_cast<double>(weighted) / static_cast<double>(binomial[n][j]);
    }
    return rows;
  }

  // Beyond, C(N, j) overflows every integer type, so only the ratios are
  // formed, as running products that stay within (0, 1]:
  //   C(N - s, j + 1) / C(N, j + 1) = C(N - s, j) / C(N, j) * (N - s - j) / (N - j),
  // which reaches exactly 0 once j > N - s. Each step adds one rounding in
  // extended precision, so after N steps the ratios keep about 16
  // significant digits, better than differences of log-factorials of
  // magnitude N ln N would give.
  std::vector<long double> ratio;
  std::vector<int> times, size;
  for (const auto& [s, t] : sizeMultiplicity) {
    size.push_back(s);
    times.push_back(t);
    ratio.push_back(1.0L);  // j = 0
  }
  for (int j = 1; j <= n; ++j) {
    long double absent = 0;
    for (size_t i = 0; i < ratio.size(); ++i) {
      ratio[i] *=
          static_cast<long double>(n - size[i] - (j - 1)) / static_cast<long double>(n - (j - 1));
      absent += times[i] * ratio[i];
    }
    rows[j - 1].averageMlg = static_cast<double>(static_cast<long double>(g) - absent);
  }
  return rows;
}

}  // namespace vireltan
