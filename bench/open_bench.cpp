// SPDX-License-Identifier: GPL-3.0-or-later
// Open on a large generated dataset: N = 10,000 sampling units, L = 20
// diploid loci, about 5,000 MLGs, with coordinates. Target: under 2 s and
// 200 MB. Reports peak resident memory as a counter.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "session/session.h"

namespace {

std::string MakeDataset(int n, int loci, int genets) {
  auto path = std::filesystem::temp_directory_path() / "vireltan-bench-open.txt";
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> allele(100, 140);
  std::vector<std::vector<int>> genotypes(genets, std::vector<int>(loci));
  for (auto& g : genotypes)
    for (int& code : g) code = allele(rng) * 1000 + allele(rng);
  std::ofstream out(path);
  out << n << "\t\t\t" << loci << "\t2";
  for (int l = 1; l <= loci; ++l) out << "\tL" << l;
  out << "\n";
  std::uniform_real_distribution<double> coord(0, 1000);
  for (int i = 0; i < n; ++i) {
    // Every genet appears at least once, the rest at random.
    const auto& g = genotypes[i < genets ? i : rng() % genets];
    out << "SU" << i << "\t" << coord(rng) << "\t" << coord(rng);
    for (int code : g) out << "\t" << code;
    out << "\n";
  }
  return path.string();
}

void BM_OpenLargeDataset(benchmark::State& state) {
  std::string path = MakeDataset(10000, 20, 5000);
  vireltan::SilentMessageSink messages;
  vireltan::NullProgressSink progress;
  for (auto _ : state) {
    vireltan::Session session(messages, progress);
    vireltan::Status s = session.Open(path);
    if (!s.ok()) state.SkipWithError(s.message().c_str());
    benchmark::DoNotOptimize(session.info().mlgCount);
    state.counters["MLGs"] = session.info().mlgCount;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = usage.ru_maxrss / 1024.0;
  std::filesystem::remove(path);
  std::filesystem::remove(std::filesystem::path(path).replace_extension(".outvireltan.txt"));
}
BENCHMARK(BM_OpenLargeDataset)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
