// SPDX-License-Identifier: GPL-3.0-or-later
// Clonal identity and diversity on a large generated dataset: N = 10,000
// sampling units of about 2,000 genets (clone sizes from 1 to several
// hundred) on L = 20 diploid loci. Target: Psex, diversity and Pareto each
// under 1 s, the whole command included (results block and results log).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "analyses/diversity/diversity_indices.h"
#include "analyses/diversity/pareto.h"
#include "analyses/identity/pgen_psex.h"
#include "analyses/identity/round_robin.h"
#include "dataset/mlg_identification.h"
#include "session/session.h"

namespace {

using namespace vireltan;

constexpr int kUnits = 10000;
constexpr int kLoci = 20;
constexpr int kGenets = 2000;

// Genotype of each unit: genet g's alleles drawn once from 12 alleles per
// locus with unequal frequencies; units pick genets with a skewed
// distribution so that a few clones are large. Rows are (designation, x, y,
// then L six-digit codes).
struct Generated {
  Dataset dataset;
  MlgPartition mlgs;
  std::string file;  // the same data as a data file, for the commands
};

Dataset MakeDataset(int units, int loci, int genets, unsigned seed) {
  std::mt19937 rng(seed);
  std::discrete_distribution<int> allele({30, 20, 12, 9, 7, 6, 5, 4, 3, 2, 1, 1});
  std::vector<Allele> genotypes(static_cast<size_t>(genets) * loci * 2);
  for (size_t i = 0; i < genotypes.size(); i += 2) {
    Allele a = static_cast<Allele>(100 + 2 * allele(rng));
    Allele b = static_cast<Allele>(100 + 2 * allele(rng));
    genotypes[i] = std::min(a, b);
    genotypes[i + 1] = std::max(a, b);
  }
  std::geometric_distribution<int> skew(0.002);
  Dataset d;
  d.sampleCount = units;
  d.locusCount = loci;
  d.ploidy = 2;
  for (int l = 1; l <= loci; ++l) d.locusNames.push_back("L" + std::to_string(l));
  for (int i = 0; i < units; ++i) {
    int genet = i < genets ? i : skew(rng) % genets;
    d.designations.push_back(Cell::Text("SU" + std::to_string(i)));
    d.x.push_back(i % 100);
    d.y.push_back(i / 100);
    auto first = genotypes.begin() + static_cast<size_t>(genet) * loci * 2;
    d.alleles.insert(d.alleles.end(), first, first + loci * 2);
  }
  return d;
}

// The folder of the generated data file and the results log beside it,
// removed when the program ends.
struct ScratchFolder {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("vireltan-identity-bench-" + std::to_string(::getpid())))
                         .string();
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
} scratch;

std::string WriteDataFile(const Dataset& d, const std::string& name) {
  const std::string& dir = scratch.path;
  std::filesystem::create_directories(dir);
  std::string path = dir + "/" + name;
  std::ofstream out(path);
  out << d.sampleCount << "\t\t\t" << d.locusCount << "\t2\n";
  for (int s = 0; s < d.sampleCount; ++s) {
    out << d.designationText(s) << "\t" << d.x[s] << "\t" << d.y[s];
    for (int l = 0; l < d.locusCount; ++l) out << "\t" << d.genotypeCode(s, l);
    out << "\n";
  }
  return path;
}

const Generated& Data() {
  static const Generated* data = [] {
    auto* g = new Generated;
    g->dataset = MakeDataset(kUnits, kLoci, kGenets, 2024);
    g->mlgs = IdentifyMlgs(g->dataset);
    g->file = WriteDataFile(g->dataset, "identity10000.txt");
    return g;
  }();
  return *data;
}

void BM_RoundRobin(benchmark::State& state) {
  const Generated& g = Data();
  std::vector<RoundRobinLocus> loci;
  for (auto _ : state) {
    ComputeRoundRobin(g.dataset, g.mlgs, loci);
    benchmark::DoNotOptimize(loci.data());
  }
  state.counters["MLGs"] = g.mlgs.mlgCount;
}
BENCHMARK(BM_RoundRobin)->Unit(benchmark::kMillisecond);

// Round robin, pgen and Psex of every re-encounter (log-space tail, N > 500).
void BM_ComputePsex(benchmark::State& state) {
  const Generated& g = Data();
  FactorialTable table;
  SilentMessageSink messages;
  FillFactorialTable(table, FactorialTable::kMaxEntries, messages);
  PsexResult result;
  for (auto _ : state) {
    ComputePsex(g.dataset, g.mlgs, table, result);
    benchmark::DoNotOptimize(result.rows.data());
  }
  state.counters["reencounters"] = kUnits - g.mlgs.mlgCount;
}
BENCHMARK(BM_ComputePsex)->Unit(benchmark::kMillisecond);

// The exact table path at its limit, N = 500, with one clone of 400 units:
// 399 tails of up to 500 terms each.
void BM_ComputePsexTablePath(benchmark::State& state) {
  Dataset d = MakeDataset(500, kLoci, 100, 7);
  for (int s = 100; s < 500; ++s)
    std::copy(d.allelesOf(0), d.allelesOf(0) + kLoci * 2,
              d.alleles.begin() + static_cast<size_t>(s) * kLoci * 2);
  MlgPartition mlgs = IdentifyMlgs(d);
  FactorialTable table;
  SilentMessageSink messages;
  FillFactorialTable(table, 500, messages);
  PsexResult result;
  for (auto _ : state) {
    ComputePsex(d, mlgs, table, result);
    benchmark::DoNotOptimize(result.rows.data());
  }
}
BENCHMARK(BM_ComputePsexTablePath)->Unit(benchmark::kMillisecond);

// The whole commands as the window runs them, results log included.
// Psex runs once per loaded dataset, so each iteration reopens the file
// (untimed).
void BM_PsexCommand(benchmark::State& state) {
  const Generated& g = Data();
  SilentMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  for (auto _ : state) {
    state.PauseTiming();
    session.Open(g.file);
    state.ResumeTiming();
    if (!session.Psex().ok()) state.SkipWithError("psex failed");
  }
}
BENCHMARK(BM_PsexCommand)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DiversityCommand(benchmark::State& state) {
  const Generated& g = Data();
  SilentMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  session.Open(g.file);
  for (auto _ : state)
    if (!session.Diversity().ok()) state.SkipWithError("diversity failed");
}
BENCHMARK(BM_DiversityCommand)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ParetoCommand(benchmark::State& state) {
  const Generated& g = Data();
  SilentMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  session.Open(g.file);
  for (auto _ : state)
    if (!session.Pareto().ok()) state.SkipWithError("pareto failed");
}
BENCHMARK(BM_ParetoCommand)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
