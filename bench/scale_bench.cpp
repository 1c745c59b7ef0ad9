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

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "peak_memory.h"
#include "session/session.h"

namespace {

using namespace vireltan;

// The dataset file of N units in a folder of its own (the commands write
// their outputs beside it).
std::string WriteDataset(int n) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("vireltan-scale-" + std::to_string(n));
  std::filesystem::create_directories(folder);
  const auto path = folder / ("generated" + std::to_string(n) + ".txt");
  if (std::filesystem::exists(path)) return path.string();
  const int loci = 20, genets = n / 2;
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> plot(0, 1000), spread(-15, 15);
  std::vector<int> alleleCount(loci);
  for (int& a : alleleCount) a = 8 + static_cast<int>(rng() % 17);
  std::vector<std::vector<int>> genotypes(genets, std::vector<int>(loci));
  std::vector<double> cx(genets), cy(genets);
  for (int g = 0; g < genets; ++g) {
    for (int l = 0; l < loci; ++l) {
      int a = 100 + 2 * static_cast<int>(rng() % alleleCount[l]);
      int b = 100 + 2 * static_cast<int>(rng() % alleleCount[l]);
      genotypes[g][l] = std::min(a, b) * 1000 + std::max(a, b);
    }
    cx[g] = plot(rng);
    cy[g] = plot(rng);
  }
  std::ofstream out(path);
  out << n << "\t\t\t" << loci << "\t2";
  for (int l = 1; l <= loci; ++l) out << "\tL" << l;
  out << "\n";
  out.precision(12);
  for (int i = 0; i < n; ++i) {
    const int g = i < genets ? i : static_cast<int>(rng() % genets);
    out << "su" << i + 1 << "\t" << cx[g] + spread(rng) << "\t" << cy[g] + spread(rng);
    for (int code : genotypes[g]) out << "\t" << code;
    out << "\n";
  }
  return path.string();
}

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
