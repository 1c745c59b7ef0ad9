// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/spatial/autocorrelation_analysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <numeric>
#include <thread>

#include "analyses/spatial/autocorrelation_kinship.h"
#include "analyses/spatial/autocorrelation_permutation.h"
#include "analyses/spatial/autocorrelation_resampling.h"
#include "analyses/spatial/distance_ordered_pairs.h"
#include "analyses/spatial/snp_kinship.h"
#include "analyses/spatial/spatial_sheets.h"
#include "common/memory_guard.h"
#include "common/parallel_for.h"
#include "dataset/pairwise_matrices.h"
#include "numeric/line_fit.h"

namespace vireltan {

namespace {

// Streams of the run: each analysed dataset draws from its own range.
constexpr std::uint64_t kEntireStreams = 0;
constexpr std::uint64_t kSecondStreams = std::uint64_t{1} << 32;
constexpr std::uint64_t kResamplingStreams = std::uint64_t{2} << 32;

const char* kStopped = "Spatial autocorrelation stopped: ";

bool AllEqual(const std::vector<double>& v) {
  for (size_t i = 1; i < v.size(); ++i)
    if (v[i] != v[0]) return false;
  return true;
}

// The four observed lines of a class table; fails on a zero denominator.
Status FitObservedLines(const ClassTable& t, const std::string& which, FourLines& lines) {
  const std::vector<double> xd(t.average.begin() + 1, t.average.end());
  const std::vector<double> xl(t.lnAverage.begin() + 1, t.lnAverage.end());
  if (xd.size() < 2 || AllEqual(xd))
    return Status::Error(std::string(kStopped) + "the distance classes of the " + which +
                         " all have the same average distance, so the regressions on distance "
                         "have no slope (division by zero). At least two distance classes "
                         "with different distances are needed.");
  if (AllEqual(xl))
    return Status::Error(std::string(kStopped) + "the distance classes of the " + which +
                         " all have the same logarithm of their average distance (an average "
                         "of 0 counts as 0), so the regressions on ln(distance) have no slope "
                         "(division by zero).");
  const std::vector<double> yl(t.loiselle.begin() + 1, t.loiselle.end());
  const std::vector<double> yr(t.ritland.begin() + 1, t.ritland.end());
  const std::vector<double>* xs[4] = {&xd, &xl, &xd, &xl};
  const std::vector<double>* ys[4] = {&yl, &yl, &yr, &yr};
  const char* names[4] = {"Loiselle kinship on distance", "Loiselle kinship on ln(distance)",
                          "Ritland relationship on distance",
                          "Ritland relationship on ln(distance)"};
  for (int s = 0; s < 4; ++s) {
    const LineFit fit = FitStraightLine(*xs[s], *ys[s]);
    if (fit.b == 0.0)
      return Status::Error(std::string(kStopped) + "the regression of " + names[s] + " in the " +
                           which +
                           " has a slope of exactly 0, so its distance intercept -a/b is "
                           "undefined (division by zero).");
    lines.slope[s] = fit.b;
    lines.intercept[s] = -fit.a / fit.b;
  }
  return Status::Ok();
}

// Pairs within each class limit, for the fixed rule: a pass over all pairs
// (the count of pairs at or below a limit does not depend on their order).
struct LimitCensus {
  double largest = 0;
  std::vector<std::int64_t> atOrBelow;      // 1-based, per limit
  std::vector<std::int64_t> keptAtOrBelow;  // the same over pairs of different groups
};
LimitCensus CountWithinLimits(const std::vector<double>& x, const std::vector<double>& y,
                              const std::vector<double>& limits, const std::vector<int>* group) {
  LimitCensus census;
  const size_t k = limits.size();
  std::vector<std::int64_t> below(k + 1, 0), keptBelow(k + 1, 0);
  const int m = static_cast<int>(x.size());
  for (int a = 0; a < m; ++a) {
    for (int b = a + 1; b < m; ++b) {
      const double dx = x[a] - x[b];
      const double dy = y[a] - y[b];
      const double d = std::hypot(dx, dy);
      census.largest = std::max(census.largest, d);
      // First limit at or above d: the pair counts for it and all later ones.
      const size_t c = std::lower_bound(limits.begin(), limits.end(), d) - limits.begin();
      ++below[c];
      if (group && (*group)[a] != (*group)[b]) ++keptBelow[c];
    }
  }
  census.atOrBelow.assign(k + 1, 0);
  census.keptAtOrBelow.assign(k + 1, 0);
  for (size_t c = 1; c <= k; ++c) {
    census.atOrBelow[c] = census.atOrBelow[c - 1] + below[c - 1];
    census.keptAtOrBelow[c] = census.keptAtOrBelow[c - 1] + keptBelow[c - 1];
  }
  return census;
}

// Class ends of a list of `pairs` pairs, `atOrBelow` per limit (fixed rule).
std::vector<std::int64_t> EndsFor(const ClassRule& rule, std::int64_t pairs,
                                  const std::vector<std::int64_t>& atOrBelow) {
  if (rule.rule == DistanceClassRule::kEqualCount) return EqualCountClassEnds(pairs, rule.k);
  return FixedLimitClassEnds(pairs, atOrBelow);
}

// Takes the sorted pairs of a walk: the observed table of the pairs, and
// optionally the observed table of the pairs of different groups (when
// they are in the same order, i.e. without ties), the class of each pair
// and its rank, as the permutations need them.
class ObservedPairs : public RankedPairVisitor {
 public:
  ObservedPairs(int positions, const std::vector<int>& group, KinshipTable& table)
      : positions_(positions), group_(group), table_(table) {}
  // With these set, the exact path releases the table (G² cells, as large
  // as its 8 bytes per pair at N = 2G) and computes each pair's
  // coefficients from the genotypes instead, exactly as the table holds
  // them; the caller computes the table again afterwards.
  const KinshipSource* calculator = nullptr;
  const std::vector<int>* representative = nullptr;
  bool tableReleased() const { return released_; }

  void ExactPathStarts() override {
    // The class table is filled again by the replay: released meanwhile.
    if (classes) {
      PositionPairTables empty;
      empty.positions = classes->positions;
      empty.square = classes->square;
      *classes = std::move(empty);
    }
    if (!calculator) return;
    table_ = KinshipTable();
    released_ = true;
  }
  ClassTableBuilder all;
  ClassTableBuilder* kept = nullptr;  // pairs of different groups
  PositionPairTables* classes = nullptr;
  std::vector<std::int64_t> ends;  // with classes: the class ends
  PositionPairTables* ranks = nullptr;

  void Start() override {
    anyOrder_ = true;
    lastDistance_ = -1;
    if (classes && classes->narrowClass.empty() && classes->wideClass.empty())
      classes->AllocateClasses(static_cast<int>(ends.size()) - 1);
    all.Reset();
    if (kept) kept->Reset();
    rank_ = 0;
  }
  void Visit(const RankedPair* pairs, std::size_t count) override {
    // A table released by an earlier walk counts as released here too.
    const bool computing = released_ || (calculator && table_.size() == 0);
    // In blocks: the coefficients are gathered and the class (or rank) of
    // each pair written on both cores, all reads and writes at random
    // places of tables of hundreds of megabytes; then the block is summed
    // in rank order.
    for (std::size_t from = 0; from < count; from += kGatherBlock) {
      const std::size_t n = std::min(kGatherBlock, count - from);
      const RankedPair* block = pairs + from;
      buffer_.resize(n);
      ParallelFor(
          static_cast<int>(n), [&](int begin, int end) { Gather(block, begin, end, computing); },
          nullptr, static_cast<int>(kGatherBlock / 8));
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = from + i;
        if (at + 1 < count && pairs[at + 1].distance == pairs[at].distance)
          CheckTie(pairs, count, at, buffer_[i],
                   i + 1 < n ? buffer_[i + 1] : Coefficients(pairs[at + 1], computing));
        all.Add(block[i].distance, buffer_[i].loiselle, buffer_[i].ritland);
        if (kept && group_[block[i].a] != group_[block[i].b])
          kept->Add(block[i].distance, buffer_[i].loiselle, buffer_[i].ritland);
      }
      rank_ += static_cast<std::int64_t>(n);
    }
    NoteBlockEnd(pairs, count);
  }
  bool CanTakeAnyTieOrder() const override { return anyOrder_; }

 private:
  static constexpr std::size_t kAhead = 48;
  static constexpr std::size_t kGatherBlock = std::size_t{1} << 16;
  // The coefficients of a pair: from the table or, once it is released,
  // computed from the genotypes exactly as the table's cell (g, h), g <= h,
  // holds them (Pair(representative g, representative h)).
  KinshipPair Coefficients(const RankedPair& p, bool computing) const {
    int g = group_[p.a], h = group_[p.b];
    if (!computing) return table_.at(g, h);
    if (g > h) std::swap(g, h);
    KinshipPair t;
    calculator->Pair((*representative)[g], (*representative)[h], t);
    return t;
  }
  // Pairs begin..end-1 of a block starting at rank rank_: their
  // coefficients into buffer_, their classes and ranks into the tables.
  void Gather(const RankedPair* pairs, int begin, int end, bool computing) {
    const int k = static_cast<int>(ends.size()) - 1;
    int c = 1;
    if (classes) {
      // The class of rank r (1-based) is the first c with ends[c] >= r.
      c = static_cast<int>(std::lower_bound(ends.begin() + 1, ends.end(), rank_ + begin + 1) -
                           ends.begin());
      c = std::clamp(c, 1, k);
    }
    for (int i = begin; i < end; ++i) {
      // The coefficient cells and the class cells are spread over their
      // tables: fetch them well ahead.
      if (i + static_cast<int>(kAhead) < end) {
        const RankedPair& ahead = pairs[i + kAhead];
        if (!computing) __builtin_prefetch(&table_.at(group_[ahead.a], group_[ahead.b]));
        if (classes) {
          const std::int64_t cell = classes->ClassCell(ahead.a, ahead.b);
          __builtin_prefetch(classes->narrowClass.empty()
                                 ? static_cast<const void*>(&classes->wideClass[cell])
                                 : static_cast<const void*>(&classes->narrowClass[cell]),
                             1);
        }
        if (ranks) __builtin_prefetch(&ranks->rank[TriangleIndex(positions_, ahead.a, ahead.b)], 1);
      }
      const RankedPair& p = pairs[i];
      buffer_[i] = Coefficients(p, computing);
      const std::int64_t rank = rank_ + i;
      if (classes) {
        while (c < k && rank + 1 > ends[c]) ++c;
        classes->SetClass(classes->ClassCell(p.a, p.b), c);
      }
      if (ranks)
        ranks->rank[TriangleIndex(positions_, p.a, p.b)] = static_cast<std::uint32_t>(rank);
    }
  }
  // Two pairs at one distance (i, i + 1) may come in either order only when
  // they fall in one class and add up the same either way, and no rank is
  // kept (the weighted permutations cut classes on ranks). Runs of three or
  // more, or across blocks, are left to the exact path.
  void CheckTie(const RankedPair* pairs, std::size_t count, std::size_t i, const KinshipPair& t0,
                const KinshipPair& t1) {
    if (!anyOrder_) return;
    const double loiselle[2] = {t0.loiselle, t1.loiselle};
    const double ritland[2] = {t0.ritland, t1.ritland};
    if (ranks || kept || (i + 2 < count && pairs[i + 2].distance == pairs[i].distance) ||
        (i == 0 && pairs[0].distance == lastDistance_) || !all.SameInEitherOrder(loiselle, ritland))
      anyOrder_ = false;
  }
  void NoteBlockEnd(const RankedPair* pairs, std::size_t count) {
    if (count == 0) return;
    if (pairs[0].distance == lastDistance_) anyOrder_ = false;
    lastDistance_ = pairs[count - 1].distance;
  }

  int positions_;
  const std::vector<int>& group_;
  KinshipTable& table_;
  bool released_ = false;
  bool anyOrder_ = true;
  double lastDistance_ = -1;
  std::vector<KinshipPair> buffer_;
  std::int64_t rank_ = 0;
};

Status WalkStatus(PairWalkPath path) {
  if (path == PairWalkPath::kCancelled) return Status::Cancelled();
  if (path == PairWalkPath::kTooLarge)
    return Status::Error(std::string(kStopped) +
                         "many pairs of sampling units lie at exactly the same distance, and "
                         "ordering them as the program does needs more memory than this "
                         "computer has available now.");
  return Status::Ok();
}

CorrelogramSeries SeriesOf(const std::string& name, const ClassTable& t,
                           const PermutationResults& p) {
  CorrelogramSeries s;
  s.name = name;
  s.distance = t.average;
  s.kinship = t.loiselle;
  s.pairs = t.pairCount;
  s.lower.assign(t.k + 1, 0.0);
  s.upper.assign(t.k + 1, 0.0);
  for (int c = 1; c <= t.k; ++c) {
    std::vector<double> column(p.n);
    for (int x = 0; x < p.n; ++x) column[x] = p.loiselle[static_cast<size_t>(x) * p.k + c - 1];
    const SeriesSummary summary = SummarizeSeries(column);
    s.lower[c] = summary.lower95;
    s.upper[c] = summary.upper95;
  }
  return s;
}

}  // namespace

double EstimateAutocorrelationBytes(double units, double mlgs,
                                    const AutocorrelationSettings& settings) {
  const ReplicateProcedure procedure = settings.procedure;
  const bool genets =
      procedure == ReplicateProcedure::kCentral || procedure == ReplicateProcedure::kResampling;
  const double pairs = 0.5 * units * (units - 1);
  const double genetPairs = 0.5 * mlgs * (mlgs - 1);
  const double threads = std::max(1u, std::thread::hardware_concurrency());
  const int k = settings.rule == DistanceClassRule::kEqualCount ? settings.DistanceClassCount
                                                                : kMaxDistanceClasses;
  const double classBytes = k < 256 ? 1 : 2;
  // Coefficients of 16 bytes per cell: G x G, or the triangle G(G+1)/2
  // when that square would outgrow the pairs of units (then the classes are
  // kept as an N x N square); the genets' table is always a triangle. One
  // distance class per pair of positions, one slice of the sorted pairs.
  const bool square = KinshipLayoutFor(units, mlgs) == KinshipLayout::kSquare;
  const double triangle = 0.5 * mlgs * (mlgs + 1);
  double bytes = 16.0 * (square ? mlgs * mlgs : triangle) + (genets ? 16.0 * triangle : 0.0) +
                 classBytes * (square ? pairs : units * units) +
                 PairWalkBytes(static_cast<std::int64_t>(pairs), false) + 2000.0 * units;
  // Weighted: the rank of every pair (4 bytes), and per thread a bit per
  // pair and the class of every block of 256 ranks.
  if (procedure == ReplicateProcedure::kWeighted)
    bytes += pairs * (4 + threads * (1.0 / 8 + 2.0 / 256));
  if (procedure == ReplicateProcedure::kCentral) bytes += classBytes * mlgs * mlgs;
  // Each thread of the resampling holds two lists of genet pairs.
  if (procedure == ReplicateProcedure::kResampling) bytes += threads * genetPairs * 48;
  return bytes;
}

Status RunSpatialAutocorrelation(const AutocorrelationInput& input, ProgressSink& progress,
                                 AutocorrelationOutcome& out) {
  const Dataset& d = *input.dataset;
  const MlgPartition& mlgs = *input.mlgs;
  const AutocorrelationSettings& settings = input.settings;
  const int n = settings.PermutationCount;
  const ReplicateProcedure procedure = settings.procedure;
  const bool genets =
      procedure == ReplicateProcedure::kCentral || procedure == ReplicateProcedure::kResampling;
  const bool second = procedure != ReplicateProcedure::kNone;
  const int N = d.sampleCount;
  const int G = mlgs.mlgCount;

  out = AutocorrelationOutcome();
  out.resultSheetName = AutocorrelationSheetName(settings.rule, procedure);
  if (N < 2)
    return Status::Error(std::string(kStopped) +
                         "the dataset needs at least two sampling units to form pairs.");
  if (genets && G < 2)
    return Status::Error(std::string(kStopped) +
                         "the dataset holds a single MLG, so there is no pair of genets to "
                         "analyse without replicates.");
  if (procedure == ReplicateProcedure::kWeighted && G < 2)
    return Status::Error(std::string(kStopped) +
                         "the dataset holds a single MLG, so the weighted dataset (pairs of "
                         "sampling units of different MLGs) has no pair.");
  if (settings.rule == DistanceClassRule::kFixedLimits) {
    if (input.fileLimits.empty())
      return Status::Error(std::string(kStopped) + "\"distances.txt\" gives no class limit.");
    if (static_cast<int>(input.fileLimits.size()) > kMaxDistanceClasses)
      return Status::Error(std::string(kStopped) + "\"distances.txt\" gives " +
                           std::to_string(input.fileLimits.size()) + " distance classes; at most " +
                           std::to_string(kMaxDistanceClasses) + " are allowed.");
  }

  // What the run will hold at once (see EstimateAutocorrelationBytes).
  // Refused up front rather than failing halfway (or worse, having the
  // system end the program).
  const MemoryBudget available = AvailableMemory();
  {
    const double genetShare = static_cast<double>(G) / N;
    Status fits = CheckMemory(
        "The spatial autocorrelation", N,
        [&](int units) {
          return EstimateAutocorrelationBytes(units, std::max(1.0, genetShare * units), settings);
        },
        available);
    if (!fits) return fits;
  }

  // The entire dataset's units: SUs in designation order.
  std::vector<int> suGroup(N);
  std::vector<double> suX(N), suY(N);
  for (int i = 0; i < N; ++i) {
    const int su = mlgs.designationOrder[i];
    suGroup[i] = mlgs.mlgOfSu[su] - 1;
    suX[i] = d.x[su];
    suY[i] = d.y[su];
  }

  // Coefficients: SUs under the frequencies of all SUs; genets under the
  // frequencies of one genotype per MLG.
  std::vector<int> allSus(N);
  std::iota(allSus.begin(), allSus.end(), 0);
  // On SNP data from the packed calls, under the same reference sets.
  auto calculatorFor = [&](const std::vector<int>& items) -> std::unique_ptr<KinshipSource> {
    if (input.snpGenotypes)
      return std::make_unique<SnpKinshipCalculator>(
          *input.snpGenotypes, *input.snpLocusNames,
          SnpAlleleFrequencies(*input.snpGenotypes, input.snpPloidy, items, &progress));
    return std::make_unique<KinshipCalculator>(d, ComputeAlleleFrequencies(d, items));
  };
  const std::vector<std::string>& locusNames =
      input.snpGenotypes ? *input.snpLocusNames : d.locusNames;
  const std::unique_ptr<KinshipSource> suSource = calculatorFor(allSus);
  if (progress.Cancelled()) return Status::Cancelled();
  const KinshipSource& suCalculator = *suSource;
  KinshipTable suTable;
  const KinshipLayout suLayout = KinshipLayoutFor(N, G);
  // One position per genet: theirs is always the triangle.
  const KinshipLayout genetLayout = KinshipLayoutFor(G, G);
  {
    ProgressRange stage(progress, 0, genets ? 2 : 4);
    Status s = ComputeKinshipTable(d, mlgs, suCalculator, true, "SUs", &stage, suTable, suLayout);
    if (!s) return s;
  }
  std::unique_ptr<KinshipSource> genetCalculator;
  KinshipTable genetTable;
  if (genets) {
    genetCalculator = calculatorFor(mlgs.representative);
    if (progress.Cancelled()) return Status::Cancelled();
    ProgressRange stage(progress, 2, 4);
    Status s = ComputeKinshipTable(d, mlgs, *genetCalculator, false, "MLGs", &stage, genetTable,
                                   genetLayout);
    if (!s) return s;
  }

  // The rule. Fixed limits: pairs within each limit, counted once; a last
  // class is added when the largest distance lies beyond the last limit.
  const std::int64_t entirePairs = static_cast<std::int64_t>(N) * (N - 1) / 2;
  const bool weighted = procedure == ReplicateProcedure::kWeighted;
  const std::int64_t weightedPairs = entirePairs - CountSameMlgPairs(mlgs);
  ClassRule& rule = out.rule;
  rule.rule = settings.rule;
  LimitCensus census;
  if (settings.rule == DistanceClassRule::kEqualCount) {
    rule.k = settings.DistanceClassCount;
  } else {
    rule.limits = input.fileLimits;
    census = CountWithinLimits(suX, suY, rule.limits, weighted ? &suGroup : nullptr);
    if (rule.limits.back() < census.largest) {
      // Pairs beyond the last limit fall into one added class, reaching to
      // the largest distance (the last class takes all remaining pairs).
      out.OutOfRangeFlag = true;
      rule.limits.push_back(census.largest);
      census.atOrBelow.push_back(entirePairs);
      census.keptAtOrBelow.push_back(weightedPairs);
    }
    rule.k = static_cast<int>(rule.limits.size());
  }
  const int k = rule.k;
  if (static_cast<std::int64_t>(n) * k > kMaxPermutationClassCells)
    return Status::Error(std::string(kStopped) + std::to_string(n) + " permutations of " +
                         std::to_string(k) +
                         " distance classes are too many to hold in memory; use fewer "
                         "permutations or classes.");

  // The entire dataset's pairs in ascending order of distance, walked once
  // (twice with ties and the weighted dataset): the observed tables, the
  // class of every pair of positions and, for the weighted dataset, its rank.
  TestedDataset entire;
  entire.kind = TestedDatasetKind::kEntire;
  TestedDataset other;
  const std::vector<std::int64_t> entireEnds = EndsFor(rule, entirePairs, census.atOrBelow);
  const std::vector<std::int64_t> weightedEnds = EndsFor(rule, weightedPairs, census.keptAtOrBelow);
  PositionPairTables entireTables;
  entireTables.positions = N;
  // Beside a triangular coefficient table the permutations read the
  // classes as a square (see PositionPairTables).
  entireTables.square = suLayout == KinshipLayout::kTriangle;
  PositionPairTables weightedTables;
  ClassTableBuilder weightedBuilder(rule, weightedEnds, weightedPairs);
  {
    ObservedPairs walk(N, suGroup, suTable);
    // On SNP data a pair reads thousands of loci: the table is kept rather
    // than each pair computed again along the walk.
    if (!input.snpGenotypes) walk.calculator = &suCalculator;
    walk.representative = &mlgs.representative;
    walk.all = ClassTableBuilder(rule, entireEnds, entirePairs);
    walk.classes = &entireTables;
    walk.ends = entireEnds;
    if (weighted) {
      weightedTables.positions = N;
      weightedTables.rank.assign(static_cast<size_t>(entirePairs), 0);
      if (rule.rule == DistanceClassRule::kFixedLimits) weightedTables.atOrBelow = census.atOrBelow;
      walk.ranks = &weightedTables;
      walk.kept = &weightedBuilder;
    }
    PairWalk pairs;
    pairs.x = &suX;
    pairs.y = &suY;
    pairs.memoryLimit = available.bytes;
    const PairWalkPath path = WalkPairsByDistance(pairs, &progress, walk);
    if (Status s = WalkStatus(path); !s) return s;
    entire.observed = walk.all.Finish();
    if (Status s = FitObservedLines(entire.observed, "entire dataset", entire.lines); !s) return s;
    if (weighted) {
      other.kind = TestedDatasetKind::kWeighted;
      if (path == PairWalkPath::kTied) {
        // Ties: the weighted list has its own heap-sort order.
        ObservedPairs keptWalk(N, suGroup, suTable);
        if (!input.snpGenotypes) keptWalk.calculator = &suCalculator;
        keptWalk.representative = &mlgs.representative;
        keptWalk.all = ClassTableBuilder(rule, weightedEnds, weightedPairs);
        pairs.group = &suGroup;
        if (Status s = WalkStatus(WalkPairsByDistance(pairs, &progress, keptWalk)); !s) return s;
        other.observed = keptWalk.all.Finish();
      } else {
        other.observed = weightedBuilder.Finish();
      }
    }
    if (walk.tableReleased() || suTable.size() == 0) {
      // The exact path released the table: the permutations need it back.
      Status s =
          ComputeKinshipTable(d, mlgs, suCalculator, true, "SUs", nullptr, suTable, suLayout);
      if (!s) return s;
    }
  }

  // Matrices sheet blocks, built now and stored by the caller.
  if (input.matricesSheetStage == 0) {
    MatricesBlockInput block;
    block.title = "ENTIRE DATASET";
    block.frequencies = &suCalculator.frequencies();
    block.locusNames = &locusNames;
    block.itemCount = N;
    block.coefficients = [&](int i, int j) { return suTable.at(suGroup[i - 1], suGroup[j - 1]); };
    block.distance = [&](int i, int j) {
      const double dx = suX[i - 1] - suX[j - 1];
      const double dy = suY[i - 1] - suY[j - 1];
      return std::hypot(dx, dy);
    };
    out.matricesSheet = BuildMatricesBlock(block);
    out.matricesSheet.SetTextAt(1, 1, "SPATIAL AUTOCORRELATION");
    out.matricesSheet.SetTextAt(1, 2, input.datasetName);
    out.hasMatricesSheet = true;
  }
  if (genets && input.matricesSheetStage <= 1) {
    MatricesBlockInput block;
    block.title = "WITHOUT REPLICATES";
    block.frequencies = &genetCalculator->frequencies();
    block.locusNames = &locusNames;
    block.itemCount = G;
    block.coefficients = [&](int i, int j) { return genetTable.at(i - 1, j - 1); };
    block.distance = [&](int i, int j) {
      const double dx = mlgs.centroidX[i - 1] - mlgs.centroidX[j - 1];
      const double dy = mlgs.centroidY[i - 1] - mlgs.centroidY[j - 1];
      return std::hypot(dx, dy);
    };
    out.genetMatricesBlock = BuildMatricesBlock(block);
    out.hasGenetMatricesBlock = true;
  }

  // The dataset without replicates, observed.
  std::vector<int> genetGroup;
  PositionPairTables genetTables;
  std::vector<std::int64_t> genetEnds;
  const std::int64_t genetPairs = static_cast<std::int64_t>(G) * (G - 1) / 2;
  if (weighted) {
    if (Status s = FitObservedLines(other.observed, "weighted dataset", other.lines); !s) return s;
  } else if (procedure == ReplicateProcedure::kCentral) {
    other.kind = TestedDatasetKind::kCentral;
    genetGroup.resize(G);
    std::iota(genetGroup.begin(), genetGroup.end(), 0);
    LimitCensus genetCensus;
    if (rule.rule == DistanceClassRule::kFixedLimits)
      genetCensus = CountWithinLimits(mlgs.centroidX, mlgs.centroidY, rule.limits, nullptr);
    genetEnds = EndsFor(rule, genetPairs, genetCensus.atOrBelow);
    genetTables.positions = G;
    genetTables.square = genetLayout == KinshipLayout::kTriangle;
    ObservedPairs walk(G, genetGroup, genetTable);
    walk.all = ClassTableBuilder(rule, genetEnds, genetPairs);
    walk.classes = &genetTables;
    walk.ends = genetEnds;
    PairWalk pairs;
    pairs.x = &mlgs.centroidX;
    pairs.y = &mlgs.centroidY;
    pairs.memoryLimit = available.bytes;
    if (Status s = WalkStatus(WalkPairsByDistance(pairs, &progress, walk)); !s) return s;
    other.observed = walk.all.Finish();
    if (Status s = FitObservedLines(other.observed, "dataset at central coordinates", other.lines);
        !s)
      return s;
  }
  if (progress.Cancelled()) return Status::Cancelled();
  progress.SetPosition(5);

  // Permutations of the entire dataset.
  const int split = second ? 50 : 100;
  {
    PermutedUnits units{suGroup, &suTable, false};
    PermutationPass pass(std::move(entireTables), units, rule, entireEnds, entirePairs);
    ProgressRange stage(progress, 5, split);
    Status s = RunPermutations(pass, n, input.runSeed, kEntireStreams, entire.observed.average,
                               entire.observed.lnAverage, &stage, entire.permutations);
    if (!s) return s;
  }

  // Then the dataset without replicates.
  if (weighted) {
    PermutedUnits units{suGroup, &suTable, true};
    PermutationPass pass(std::move(weightedTables), units, rule, {}, weightedPairs);
    ProgressRange stage(progress, split, 100);
    Status s = RunPermutations(pass, n, input.runSeed, kSecondStreams, other.observed.average,
                               other.observed.lnAverage, &stage, other.permutations);
    if (!s) return s;
  } else if (procedure == ReplicateProcedure::kCentral) {
    PermutedUnits units{genetGroup, &genetTable, false};
    PermutationPass pass(std::move(genetTables), units, rule, genetEnds, genetPairs);
    ProgressRange stage(progress, split, 100);
    Status s = RunPermutations(pass, n, input.runSeed, kSecondStreams, other.observed.average,
                               other.observed.lnAverage, &stage, other.permutations);
    if (!s) return s;
  } else if (procedure == ReplicateProcedure::kResampling) {
    ProgressRange stage(progress, split, 100);
    Status s = RunResampling(d, mlgs, genetTable, rule, n, input.runSeed, kResamplingStreams,
                             &stage, out.resampling);
    if (!s) return s;
    out.hasResampling = true;
  }

  // The result sheet.
  Sheet& sheet = out.resultSheet;
  WriteResultHeader(sheet, input.datasetName, n);
  if (!input.coordinateUnit.empty()) sheet.SetTextAt(1, 4, DistanceUnitNote(input.coordinateUnit));
  WriteTestedDataset(sheet, 3, entire);
  std::vector<SpRow> sp{{"ENTIRE DATASET", entire.lines.slope[1], entire.observed.loiselle[1]}};
  std::vector<CorrelogramSeries> curves{
      SeriesOf("entire dataset", entire.observed, entire.permutations)};
  if (procedure == ReplicateProcedure::kWeighted || procedure == ReplicateProcedure::kCentral) {
    WriteTestedDataset(sheet, sheet.LastRow() + 3, other);
    const bool weighted = procedure == ReplicateProcedure::kWeighted;
    sp.push_back({weighted ? "WEIGHTED DATASET" : "WITHOUT REPLICATES, central coordinates",
                  other.lines.slope[1], other.observed.loiselle[1]});
    curves.push_back(SeriesOf(weighted ? "weighted dataset" : "central coordinates", other.observed,
                              other.permutations));
  }
  if (out.hasResampling) {
    const ResamplingResults& r = out.resampling;
    WriteResamplingBlock(sheet, r);
    auto mean = [&](const std::vector<double>& v, int c) {
      double sum = 0;
      for (int x = 0; x < r.n; ++x) sum += v[static_cast<size_t>(x) * r.k + c - 1];
      return r.n > 0 ? sum / r.n : 0.0;
    };
    double slope = 0;
    for (double v : r.observedSlopes[1]) slope += v;
    slope = r.n > 0 ? slope / r.n : 0.0;
    sp.push_back({"WITHOUT REPLICATES, resampling (means)", slope, mean(r.observedLoiselle, 1)});
    CorrelogramSeries s;
    s.name = "genets with resampling";
    for (auto* v : {&s.distance, &s.kinship, &s.lower, &s.upper, &s.pairs}) v->assign(k + 1, 0.0);
    for (int c = 1; c <= k; ++c) {
      s.distance[c] = mean(r.average, c);
      s.kinship[c] = mean(r.observedLoiselle, c);
      s.pairs[c] = mean(r.pairCount, c);
      std::vector<double> column(r.n);
      for (int x = 0; x < r.n; ++x)
        column[x] = r.permutedLoiselle[static_cast<size_t>(x) * k + c - 1];
      const SeriesSummary summary = SummarizeSeries(column);
      s.lower[c] = summary.lower95;
      s.upper[c] = summary.upper95;
    }
    curves.push_back(std::move(s));
  }
  WriteSpBlock(sheet, sp);
  out.correlogram = MakeCorrelogram(input.datasetName, curves, input.coordinateUnit);
  out.tested.push_back(std::move(entire));
  if (procedure == ReplicateProcedure::kWeighted || procedure == ReplicateProcedure::kCentral)
    out.tested.push_back(std::move(other));
  progress.SetPosition(100);
  return Status::Ok();
}

}  // namespace vireltan
