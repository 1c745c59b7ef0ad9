// SPDX-License-Identifier: GPL-3.0-or-later
// The spatial structure analyses at the sizes users bring:
//   - pramorum_curry.txt (513 isolates at 359 distinct points, 70 MLGs);
//   - a generated meadow of N = 5,000 ramets of 1,500 genets, each genet's
//     ramets scattered around its own centre, positions measured to 0.1 m
//     (so some ramets share a point and many distances tie).
// Targets: aggregation index and edge effect with 9,999 permutations under
// 2 s each; clonal subrange with K = 10 under 5 s and 1 GB at N = 5,000.
// Peak resident memory is reported as a counter (run one benchmark alone,
// e.g. --benchmark_filter=Subrange.*5000, for the figure of that one).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <random>

#include "analyses/spatial/aggregation_index.h"
#include "analyses/spatial/clonal_subrange.h"
#include "analyses/spatial/edge_effect.h"
#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "sheet/table_file.h"

namespace {

using namespace vireltan;

SpatialUnits LoadUnits(const std::string& path, Extents& extents, std::string& error) {
  Book book;
  Dataset dataset;
  DatasetReadReport report;
  Status s = ReadTableFile(path, book);
  if (s) s = ReadDataset(book.first(), path, dataset, report);
  if (!s) {
    error = s.message();
    return {};
  }
  extents = ComputeExtents(dataset);
  return UnitsInDesignationOrder(dataset, IdentifyMlgs(dataset));
}

const std::string kCurry = std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt";

SpatialUnits Meadow(int n, int genets, bool grid = false) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> field(0, 500);
  std::normal_distribution<double> spread(0, 4);
  std::vector<double> cx(genets), cy(genets);
  for (int g = 0; g < genets; ++g) {
    cx[g] = field(rng);
    cy[g] = field(rng);
  }
  SpatialUnits units;
  units.mlgCount = genets;
  for (int i = 0; i < n; ++i) {
    const int g = i < genets ? i : static_cast<int>(rng() % genets);
    double x = cx[g] + spread(rng), y = cy[g] + spread(rng);
    // Measured to 0.1 m, or sampled on a 1 m grid.
    const double step = grid ? 1.0 : 0.1;
    units.x.push_back(std::round(x / step) * step);
    units.y.push_back(std::round(y / step) * step);
    units.mlg.push_back(g + 1);
  }
  return units;
}

void PeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = usage.ru_maxrss / 1024.0;
}

void BM_AggregationCurry(benchmark::State& state) {
  Extents extents;
  std::string error;
  SpatialUnits units = LoadUnits(kCurry, extents, error);
  if (!error.empty()) return state.SkipWithError(error.c_str());
  for (auto _ : state) {
    AggregationResult r;
    Status s = ComputeAggregationIndex(units, 9999, 1, nullptr, r);
    if (!s) state.SkipWithError(s.message().c_str());
    state.counters["Ac"] = r.ac;
    state.counters["p"] = r.pValue;
  }
  PeakMemory(state);
}
BENCHMARK(BM_AggregationCurry)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_EdgeEffectCurry(benchmark::State& state) {
  Extents extents;
  std::string error;
  SpatialUnits units = LoadUnits(kCurry, extents, error);
  if (!error.empty()) return state.SkipWithError(error.c_str());
  const ReferencePoint ref = EdgeReferencePoint(units, extents.HalfRangeX, extents.HalfRangeY);
  for (auto _ : state) {
    EdgeEffectResult r;
    Status s = ComputeEdgeEffect(units, ref, 9999, 1, nullptr, r);
    if (!s) state.SkipWithError(s.message().c_str());
    state.counters["Ee"] = r.ee;
    state.counters["p"] = r.pValue;
  }
  PeakMemory(state);
}
BENCHMARK(BM_EdgeEffectCurry)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_AggregationMeadow(benchmark::State& state) {
  SpatialUnits units = Meadow(static_cast<int>(state.range(0)), 1500);
  for (auto _ : state) {
    AggregationResult r;
    Status s = ComputeAggregationIndex(units, 9999, 1, nullptr, r);
    if (!s) state.SkipWithError(s.message().c_str());
    state.counters["Ac"] = r.ac;
  }
  PeakMemory(state);
}
BENCHMARK(BM_AggregationMeadow)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_EdgeEffectMeadow(benchmark::State& state) {
  SpatialUnits units = Meadow(static_cast<int>(state.range(0)), 1500);
  const ReferencePoint ref{250, 250};
  for (auto _ : state) {
    EdgeEffectResult r;
    Status s = ComputeEdgeEffect(units, ref, 9999, 1, nullptr, r);
    if (!s) state.SkipWithError(s.message().c_str());
    state.counters["Ee"] = r.ee;
  }
  PeakMemory(state);
}
BENCHMARK(BM_EdgeEffectMeadow)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_SubrangeCurry(benchmark::State& state) {
  Extents extents;
  std::string error;
  SpatialUnits units = LoadUnits(kCurry, extents, error);
  if (!error.empty()) return state.SkipWithError(error.c_str());
  for (auto _ : state) {
    ClonalSubrangeResult r;
    Status s = ComputeClonalSubrange(units, 10, nullptr, r);
    if (!s) state.SkipWithError(s.message().c_str());
    state.counters["subrange"] = r.subrange;
  }
  PeakMemory(state);
}
BENCHMARK(BM_SubrangeCurry)->Unit(benchmark::kMillisecond)->Iterations(3);

// range(1): 0 = positions to 0.1 m, 1 = a 1 m grid (ties everywhere);
// range(2): 1 = always the heap sort (the worst case of the automatic path).
void BM_SubrangeMeadow(benchmark::State& state) {
  SpatialUnits units = Meadow(static_cast<int>(state.range(0)), 1500, state.range(1) == 1);
  const PairSortStrategy strategy =
      state.range(2) == 1 ? PairSortStrategy::kHeapSort : PairSortStrategy::kAuto;
  for (auto _ : state) {
    ClonalSubrangeResult r;
    Status s = ComputeClonalSubrange(units, 10, nullptr, r, strategy);
    if (!s) state.SkipWithError(s.message().c_str());
    state.counters["subrange"] = r.subrange;
  }
  PeakMemory(state);
}
BENCHMARK(BM_SubrangeMeadow)
    ->Args({5000, 0, 0})
    ->Args({5000, 1, 0})
    ->Args({5000, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_SubrangeFixedMeadow(benchmark::State& state) {
  SpatialUnits units = Meadow(static_cast<int>(state.range(0)), 1500);
  const std::vector<double> limits{1, 2, 5, 10, 20, 50, 100, 200, 400, 600};
  for (auto _ : state) {
    ClonalSubrangeResult r;
    Status s = ComputeClonalSubrangeFixed(units, limits, nullptr, r);
    if (!s) state.SkipWithError(s.message().c_str());
  }
  PeakMemory(state);
}
BENCHMARK(BM_SubrangeFixedMeadow)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
