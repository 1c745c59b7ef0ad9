// SPDX-License-Identifier: GPL-3.0-or-later
// GenAlEx and the population summary at scale: Open of a GenAlEx workbook of
// 10,000 samples x 20 diploid loci in 50 populations (target: under 2 s),
// and the summary of those 10,000 units without Ia (target: under 1 s) and
// with Ia (the O(N² L) pass over all pairs of each population and of the
// total).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "analyses/clonality/population_summary.h"
#include "common/message_sink.h"
#include "common/progress_sink.h"
#include "session/session.h"
#include "sheet/table_file.h"

namespace {

constexpr int kUnits = 10000, kLoci = 20, kPopulations = 50;

std::string MakeGenAlExWorkbook() {
  auto path = std::filesystem::temp_directory_path() / "vireltan-bench-genalex.xlsx";
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> allele(150, 250);
  std::vector<std::vector<int>> genets(4000, std::vector<int>(2 * kLoci));
  for (auto& g : genets)
    for (int& a : g) a = allele(rng);
  vireltan::Book book;
  vireltan::Sheet& s = book.first();
  s.SetNumberAt(1, 1, kLoci);
  s.SetNumberAt(1, 2, kUnits);
  s.SetNumberAt(1, 3, kPopulations);
  for (int p = 0; p < kPopulations; ++p) {
    s.SetNumberAt(1, 4 + p, kUnits / kPopulations);
    s.SetTextAt(2, 4 + p, "pop" + std::to_string(p + 1));
  }
  s.SetTextAt(2, 1, "bench");
  s.SetTextAt(3, 1, "Sample");
  s.SetTextAt(3, 2, "Pop");
  for (int k = 0; k < kLoci; ++k) s.SetTextAt(3, 3 + 2 * k, "L" + std::to_string(k + 1));
  for (int i = 0; i < kUnits; ++i) {
    const auto& g = genets[i < 4000 ? i : rng() % 4000];
    s.SetTextAt(4 + i, 1, "S" + std::to_string(i));
    s.SetTextAt(4 + i, 2, "pop" + std::to_string(i / (kUnits / kPopulations) + 1));
    for (int c = 0; c < 2 * kLoci; ++c) s.SetNumberAt(4 + i, 3 + c, g[c]);
  }
  vireltan::WriteTableFile(book, path.string(), vireltan::FileType::kXlsxWorkbook);
  return path.string();
}

const std::string& Workbook() {
  static const std::string path = MakeGenAlExWorkbook();
  return path;
}

void BM_OpenGenAlExWorkbook(benchmark::State& state) {
  vireltan::SilentMessageSink messages;
  vireltan::NullProgressSink progress;
  for (auto _ : state) {
    vireltan::Session session(messages, progress);
    vireltan::Status s = session.Open(Workbook());
    if (!s.ok()) state.SkipWithError(s.message().c_str());
    state.counters["MLGs"] = session.info().mlgCount;
  }
}
BENCHMARK(BM_OpenGenAlExWorkbook)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PopulationSummary(benchmark::State& state) {
  vireltan::SilentMessageSink messages;
  vireltan::NullProgressSink progress;
  vireltan::Session session(messages, progress);
  if (!session.Open(Workbook()).ok()) state.SkipWithError("open failed");
  vireltan::PopulationSummaryOptions options;
  options.withAssociation = state.range(0) != 0;
  for (auto _ : state) {
    auto summary = vireltan::SummarisePopulations(session.dataset(), session.mlgs(), options);
    benchmark::DoNotOptimize(summary.rows.size());
  }
}
BENCHMARK(BM_PopulationSummary)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
