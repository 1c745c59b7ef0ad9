#include "analyses/spatial/autocorrelation_analysis.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <numeric>
#include <thread>

#include "analyses/spatial/autocorrelation_kinship.h"
#include "analyses/spatial/autocorrelation_permutation.h"
#include "analyses/spatial/autocorrelation_resampling.h"
#include "numeric/line_fit.h"

namespace vireltan {

namespace {

// A stage of the run seen as a slice [from, to] of the whole run's
// progress; a cancel of the run is mirrored so that the stage stops too.
class ProgressRange : public ProgressSink {
 public:
  ProgressRange(ProgressSink& outer, int from, int to) : outer_(outer), from_(from), to_(to) {
    if (outer_.Cancelled()) RequestCancel();
  }
  void SetPosition(int percent) override {
    if (outer_.Cancelled()) RequestCancel();
    outer_.SetPosition(from_ + (to_ - from_) * std::clamp(percent, 0, 100) / 100);
  }

 private:
  ProgressSink& outer_;
  int from_, to_;
};

// Streams of the run: each analysed dataset draws from its own range.
constexpr std::uint64_t kEntireStreams = 0;
constexpr std::uint64_t kSecondStreams = std::uint64_t{1} << 32;
constexpr std::uint64_t kResamplingStreams = std::uint64_t{2} << 32;

const char* kStopped = "Spatial autocorrelation stopped: ";

// Bytes in GB with one decimal, "." as the separator whatever the locale.
std::string Gigabytes(double bytes) {
  char buffer[32];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, bytes / 1e9, std::chars_format::fixed, 1);
  return std::string(buffer, r.ptr);
}

// Physical memory of the computer, 0 when unknown.
double PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && size > 0 ? static_cast<double>(pages) * size : 0.0;
}

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

// The observed table of a sorted list of unit pairs (first, second hold the
// units), coefficients from `table` by the units' groups.
ClassTable ObservedTable(const std::vector<PointPair>& sorted, const ClassRule& rule,
                         const std::vector<int>& group, const KinshipTable& table) {
  const std::int64_t pairs = static_cast<std::int64_t>(sorted.size()) - 1;
  struct Pair {
    double distance, loiselle, ritland;
  };
  auto pairAt = [&](std::int64_t i) {
    const PointPair& t = sorted[i];
    const KinshipPair& p = table.at(group[t.first], group[t.second]);
    return Pair{t.distance, p.loiselle, p.ritland};
  };
  auto distanceAt = [&](std::int64_t i) { return sorted[i].distance; };
  return TabulateClasses(pairs, rule, ClassEnds(pairs, rule, distanceAt), pairAt);
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

  // What the run will hold at once: the sorted pairs of SUs (16 bytes each
  // while sorting, 16 more in compact form, 2 to 6 for the class or rank
  // tables; a second sort for the weighted dataset), one or two tables of
  // G x G coefficients, and the resampling's lists of genet pairs. Refused
  // up front rather than failing halfway (or worse, having the system end
  // the program).
  {
    const double pairs = 0.5 * N * (N - 1.0);
    double bytes = pairs * (16 + 16 + 6) + 16.0 * G * G * (genets ? 2 : 1);
    if (procedure == ReplicateProcedure::kWeighted) bytes += pairs * 16;
    // Each thread of the resampling holds two lists of genet pairs.
    if (procedure == ReplicateProcedure::kResampling)
      bytes += std::max(1u, std::thread::hardware_concurrency()) * 0.5 * G * (G - 1.0) * 48;
    const double available = PhysicalMemoryBytes();
    if (available > 0 && bytes > 0.75 * available) {
      return Status::Error(
          std::string(kStopped) + "the " + std::to_string(N) + " sampling units and " +
          std::to_string(G) + " MLGs need about " + Gigabytes(bytes) +
          " GB of memory, more than this computer has to spare (" + Gigabytes(available) + " GB).");
    }
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
  KinshipCalculator suCalculator(d, ComputeAlleleFrequencies(d, allSus));
  KinshipTable suTable;
  {
    ProgressRange stage(progress, 0, genets ? 2 : 4);
    Status s = ComputeKinshipTable(d, mlgs, suCalculator, true, "SUs", &stage, suTable);
    if (!s) return s;
  }
  std::unique_ptr<KinshipCalculator> genetCalculator;
  KinshipTable genetTable;
  if (genets) {
    genetCalculator =
        std::make_unique<KinshipCalculator>(d, ComputeAlleleFrequencies(d, mlgs.representative));
    ProgressRange stage(progress, 2, 4);
    Status s = ComputeKinshipTable(d, mlgs, *genetCalculator, false, "MLGs", &stage, genetTable);
    if (!s) return s;
  }

  // The entire dataset's pairs, sorted once: its observed table, and the
  // position pairs every permutation walks.
  std::vector<PointPair> sorted;
  if (!SortedPointPairs(
          suX, suY, [](int, int) { return true; }, &progress, sorted))
    return Status::Cancelled();
  const std::int64_t entirePairs = static_cast<std::int64_t>(sorted.size()) - 1;
  ClassRule& rule = out.rule;
  rule.rule = settings.rule;
  if (settings.rule == DistanceClassRule::kEqualCount) {
    rule.k = settings.DistanceClassCount;
  } else {
    rule.limits = input.fileLimits;
    const double largest = sorted[entirePairs].distance;
    if (rule.limits.back() < largest) {
      // Pairs beyond the last limit fall into one added class, reaching to
      // the largest distance (the last class takes all remaining pairs).
      out.OutOfRangeFlag = true;
      rule.limits.push_back(largest);
    }
    rule.k = static_cast<int>(rule.limits.size());
  }
  const int k = rule.k;
  if (static_cast<std::int64_t>(n) * k > kMaxPermutationClassCells)
    return Status::Error(std::string(kStopped) + std::to_string(n) + " permutations of " +
                         std::to_string(k) +
                         " distance classes are too many to hold in memory; use fewer "
                         "permutations or classes.");

  TestedDataset entire;
  entire.kind = TestedDatasetKind::kEntire;
  entire.observed = ObservedTable(sorted, rule, suGroup, suTable);
  if (Status s = FitObservedLines(entire.observed, "entire dataset", entire.lines); !s) return s;
  SortedPositionPairs positionPairs = CompactPositionPairs(N, sorted);
  const std::vector<std::int64_t> entireEnds =
      ClassEnds(entirePairs, rule, [&](std::int64_t i) { return sorted[i].distance; });
  std::vector<PointPair>().swap(sorted);

  // Matrices sheet blocks, built now and stored by the caller.
  if (input.MatricesSheetStage == 0) {
    MatricesBlockInput block;
    block.title = "ENTIRE DATASET";
    block.frequencies = &suCalculator.frequencies();
    block.locusNames = &d.locusNames;
    block.itemCount = N;
    block.coefficients = [&](int i, int j) { return suTable.at(suGroup[i - 1], suGroup[j - 1]); };
    block.distance = [&](int i, int j) {
      const double dx = suX[i - 1] - suX[j - 1];
      const double dy = suY[i - 1] - suY[j - 1];
      return std::hypot(dx, dy);
    };
    out.matricesSheet = BuildMatricesBlock(block);
    out.matricesSheet.SetTextAt(1, 1, "SPATIAL AUTOCORRELATION");
    out.matricesSheet.SetTextAt(1, 2, input.DatasetName);
    out.hasMatricesSheet = true;
  }
  if (genets && input.MatricesSheetStage <= 1) {
    MatricesBlockInput block;
    block.title = "WITHOUT REPLICATES";
    block.frequencies = &genetCalculator->frequencies();
    block.locusNames = &d.locusNames;
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
  TestedDataset other;
  std::vector<double> genetX, genetY;
  std::vector<int> genetGroup;
  std::vector<PointPair> otherSorted;
  std::int64_t weightedPairs = 0;
  if (procedure == ReplicateProcedure::kWeighted) {
    other.kind = TestedDatasetKind::kWeighted;
    if (!SortedPointPairs(
            suX, suY, [&](int a, int b) { return suGroup[a] != suGroup[b]; }, &progress,
            otherSorted))
      return Status::Cancelled();
    weightedPairs = static_cast<std::int64_t>(otherSorted.size()) - 1;
    other.observed = ObservedTable(otherSorted, rule, suGroup, suTable);
    std::vector<PointPair>().swap(otherSorted);
    if (Status s = FitObservedLines(other.observed, "weighted dataset", other.lines); !s) return s;
  } else if (procedure == ReplicateProcedure::kCentral) {
    other.kind = TestedDatasetKind::kCentral;
    genetX = mlgs.centroidX;
    genetY = mlgs.centroidY;
    genetGroup.resize(G);
    std::iota(genetGroup.begin(), genetGroup.end(), 0);
    if (!SortedPointPairs(
            genetX, genetY, [](int, int) { return true; }, &progress, otherSorted))
      return Status::Cancelled();
    other.observed = ObservedTable(otherSorted, rule, genetGroup, genetTable);
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
    PermutationPass pass(positionPairs, units, rule, entireEnds, entirePairs);
    ProgressRange stage(progress, 5, split);
    Status s = RunPermutations(pass, n, input.runSeed, kEntireStreams, entire.observed.average,
                               entire.observed.lnAverage, &stage, entire.permutations);
    if (!s) return s;
  }

  // Then the dataset without replicates.
  if (procedure == ReplicateProcedure::kWeighted) {
    PermutedUnits units{suGroup, &suTable, true};
    PermutationPass pass(positionPairs, units, rule, {}, weightedPairs);
    ProgressRange stage(progress, split, 100);
    Status s = RunPermutations(pass, n, input.runSeed, kSecondStreams, other.observed.average,
                               other.observed.lnAverage, &stage, other.permutations);
    if (!s) return s;
  } else if (procedure == ReplicateProcedure::kCentral) {
    SortedPositionPairs genetPairs = CompactPositionPairs(G, otherSorted);
    const std::int64_t pairs = static_cast<std::int64_t>(otherSorted.size()) - 1;
    const std::vector<std::int64_t> ends =
        ClassEnds(pairs, rule, [&](std::int64_t i) { return otherSorted[i].distance; });
    std::vector<PointPair>().swap(otherSorted);
    PermutedUnits units{genetGroup, &genetTable, false};
    PermutationPass pass(genetPairs, units, rule, ends, pairs);
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
  WriteResultHeader(sheet, input.DatasetName, n);
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
  out.correlogram = MakeCorrelogram(input.DatasetName, curves);
  out.tested.push_back(std::move(entire));
  if (procedure == ReplicateProcedure::kWeighted || procedure == ReplicateProcedure::kCentral)
    out.tested.push_back(std::move(other));
  progress.SetPosition(100);
  return Status::Ok();
}

}  // namespace vireltan
