// SPDX-License-Identifier: GPL-3.0-or-later
// Multilocus lineages and the minimum spanning network at field-survey
// scale: generated datasets of N = 10,000 and 50,000 units, L = 20 loci,
// G = N/2 MLGs (bench/generated_dataset.h). Both hold the G(G-1)/2
// distances once as floats; the counter guard_MB is the memory guard's
// estimate for the command, beside peak_MB, the measured peak of the
// process (VmHWM, the opening of the dataset included). Run one benchmark
// per process for its own peak, e.g.
//   lineage_scale_bench --benchmark_filter='Mll/10000'
// The N = 50,000 cases take minutes and over a gigabyte: built with the
// project, not run by the CI.
#include <benchmark/benchmark.h>

#include <string>

#include "analyses/lineages/mlg_clustering.h"
#include "analyses/lineages/spanning_network.h"
#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "generated_dataset.h"
#include "peak_memory.h"
#include "session/session.h"

namespace {

using namespace vireltan;

// Opens the dataset of state.range(0) units (not timed), times `command`,
// and reports the guard's estimate `estimate(G)` in MB beside the peak.
template <typename Command, typename Estimate>
void TimeWithEstimate(benchmark::State& state, Command command, Estimate estimate) {
  const std::string path = bench::WriteDataset(static_cast<int>(state.range(0)));
  SilentMessageSink messages;
  NullProgressSink progress;
  for (auto _ : state) {
    state.PauseTiming();
    Session session(messages, progress);
    Status s = session.Open(path);
    state.counters["MLGs"] = session.info().mlgCount;
    state.counters["guard_MB"] = estimate(session.info().mlgCount) / 1e6;
    state.ResumeTiming();
    if (s) s = command(session);
    if (!s) state.SkipWithError(s.message().c_str());
  }
  state.counters["peak_MB"] = PeakMegabytes();
}

// mll --threshold=2 (farthest linkage, poppr's ties).
void BM_Mll(benchmark::State& state) {
  TimeWithEstimate(
      state,
      [](Session& session) {
        return session.Lineages(MlgDistanceKind::kAllelic, Linkage::kFarthest, 2);
      },
      [](int g) { return ClusteringBytes(g, Linkage::kFarthest); });
}
BENCHMARK(BM_Mll)->Arg(10000)->Arg(50000)->Unit(benchmark::kSecond)->Iterations(1);

// mll --threshold=2 --linkage=average (sums held as doubles).
void BM_MllAverage(benchmark::State& state) {
  TimeWithEstimate(
      state,
      [](Session& session) {
        return session.Lineages(MlgDistanceKind::kAllelic, Linkage::kAverage, 2);
      },
      [](int g) { return ClusteringBytes(g, Linkage::kAverage); });
}
BENCHMARK(BM_MllAverage)->Arg(10000)->Arg(50000)->Unit(benchmark::kSecond)->Iterations(1);

// msn (poppr's ties).
void BM_Msn(benchmark::State& state) {
  TimeWithEstimate(
      state,
      [](Session& session) { return session.SpanningNetwork(MlgDistanceKind::kAllelic, false); },
      [](int g) { return SpanningNetworkBytes(g, NetworkTies::kPoppr); });
}
BENCHMARK(BM_Msn)->Arg(10000)->Arg(50000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
