// SPDX-License-Identifier: GPL-3.0-or-later
// The program at field-survey scale: generated diploid datasets of N =
// 5,000, 20,000 and 50,000 sampling units at L = 20 loci with about N/2
// distinct genotypes (as bench/generate_dataset.py writes them: ramets
// within 15 m of their genet's centre in a 1,000 x 1,000 m plot).
// Targets:
//   - Open at N = 50,000 under 3 s;
//   - spatial autocorrelation set-up (one permutation) at N = 5,000 under
//     2 s; N = 20,000 with 999 permutations under 3 minutes and 2 GB.
// Run one benchmark at a time for its peak memory (VmHWM, the counter
// peak_MB), e.g. --benchmark_filter='Autocorrelation/20000'. The big ones
// take minutes and gigabytes: they are built with the project but not run
// by the CI.
#include <benchmark/benchmark.h>

#include <string>

#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "generated_dataset.h"
#include "peak_memory.h"
#include "session/session.h"

namespace {

using namespace vireltan;
using vireltan::bench::WriteDataset;

// Opens the dataset of state.range(0) units (not timed), then times
// `command` on the session; the peak memory covers both.
template <typename Command>
void TimeAfterOpen(benchmark::State& state, Command command) {
  const std::string path = WriteDataset(static_cast<int>(state.range(0)));
  SilentMessageSink messages;
  NullProgressSink progress;
  for (auto _ : state) {
    state.PauseTiming();
    Session session(messages, progress);
    Status s = session.Open(path);
    state.ResumeTiming();
    if (s) s = command(session);
    if (!s) state.SkipWithError(s.message().c_str());
  }
  state.counters["peak_MB"] = PeakMegabytes();
}

void BM_Open(benchmark::State& state) {
  const std::string path = WriteDataset(static_cast<int>(state.range(0)));
  SilentMessageSink messages;
  NullProgressSink progress;
  for (auto _ : state) {
    Session session(messages, progress);
    Status s = session.Open(path);
    if (!s) state.SkipWithError(s.message().c_str());
    state.counters["MLGs"] = session.info().mlgCount;
    state.counters["one_allele_pairs"] = static_cast<double>(session.info().oneAllelePairs.size());
  }
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_Open)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Open, then the autocorrelation of the entire dataset, 10 classes;
// state.range(1) permutations.
void BM_Autocorrelation(benchmark::State& state) {
  TimeAfterOpen(state, [&](Session& session) {
    AutocorrelationOptions options;
    options.equalCountClasses = true;
    options.classCountText = "10";
    options.permutationsText = std::to_string(state.range(1));
    return session.SpatialAutocorrelation(options);
  });
}
BENCHMARK(BM_Autocorrelation)
    ->Args({5000, 1})
    ->Args({5000, 999})
    ->Args({10000, 999})
    ->Args({20000, 999})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// Open, then the clonal subrange (10 classes).
void BM_Subrange(benchmark::State& state) {
  TimeAfterOpen(state, [](Session& session) { return session.ClonalSubrange(10); });
}
BENCHMARK(BM_Subrange)->Arg(5000)->Arg(20000)->Unit(benchmark::kSecond)->Iterations(1);

// Open, then the allelic-distance histogram.
void BM_AllelicHistogram(benchmark::State& state) {
  TimeAfterOpen(state, [](Session& session) { return session.AllelicDistances(); });
}
BENCHMARK(BM_AllelicHistogram)->Arg(5000)->Arg(20000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
