// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the spatial autocorrelation runs (one iteration each):
//   - pramorum_curry.txt (513 isolates), 10 equal-count classes, 999
//     permutations, entire dataset + central coordinates: target < 2 s;
//   - a generated dataset of 2,000 SUs at 10 loci, entire + weighted, 999
//     permutations: target < 10 s and < 500 MB;
//   - resampling of 500 genets, 999 replicates: target < 20 s.
// Peak memory (VmHWM) is reported as a counter in MB.
#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <string>

#include "analyses/spatial/autocorrelation_analysis.h"
#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "peak_memory.h"
#include "sheet/table_file.h"

namespace vireltan {
namespace {

struct Loaded {
  Dataset dataset;
  MlgPartition mlgs;
};

Loaded LoadFile(const std::string& path) {
  Loaded l;
  Book book;
  ReadTableFile(path, book);
  DatasetReadReport report;
  ReadDataset(book.first(), path, l.dataset, report);
  l.mlgs = IdentifyMlgs(l.dataset);
  return l;
}

// Random diploid genotypes at `loci` loci (8 alleles each), each with 1 to
// `maxRamets` ramets scattered around a genet centre in a 1,000 x 1,000
// plot, until `genets` genets or `n` SUs.
Loaded Generate(int genets, int n, int loci, int maxRamets, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> plot(0, 1000), spread(-15, 15);
  std::uniform_int_distribution<int> allele(0, 7), ramets(1, maxRamets);
  Loaded l;
  Dataset& d = l.dataset;
  d.locusCount = loci;
  d.ploidy = 2;
  for (int k = 0; k < loci; ++k) d.locusNames.push_back("locus" + std::to_string(k + 1));
  for (int g = 0; g < genets && d.sampleCount < n; ++g) {
    std::vector<Allele> genotype;
    for (int k = 0; k < loci; ++k) {
      Allele a = static_cast<Allele>(100 + 2 * allele(random));
      Allele b = static_cast<Allele>(100 + 2 * allele(random));
      genotype.push_back(std::min(a, b));
      genotype.push_back(std::max(a, b));
    }
    const double cx = plot(random), cy = plot(random);
    for (int r = ramets(random); r > 0 && d.sampleCount < n; --r) {
      d.designations.push_back(Cell::Text("su" + std::to_string(100000 + d.sampleCount)));
      d.x.push_back(cx + spread(random));
      d.y.push_back(cy + spread(random));
      d.alleles.insert(d.alleles.end(), genotype.begin(), genotype.end());
      ++d.sampleCount;
    }
  }
  l.mlgs = IdentifyMlgs(d);
  return l;
}

void Run(benchmark::State& state, const Loaded& l, DistanceClassRule rule,
         ReplicateProcedure procedure) {
  AutocorrelationInput input;
  input.dataset = &l.dataset;
  input.mlgs = &l.mlgs;
  input.datasetName = "bench";
  input.settings.rule = rule;
  input.settings.procedure = procedure;
  input.settings.PermutationCount = 999;
  input.settings.DistanceClassCount = 10;
  input.runSeed = 12345;
  for (auto _ : state) {
    NullProgressSink progress;
    AutocorrelationOutcome outcome;
    Status s = RunSpatialAutocorrelation(input, progress, outcome);
    if (!s) state.SkipWithError(s.message().c_str());
    benchmark::DoNotOptimize(outcome.resultSheet.LastRow());
  }
  state.counters["N"] = l.dataset.sampleCount;
  state.counters["G"] = l.mlgs.mlgCount;
  state.counters["peak_MB"] = PeakMegabytes();
}

void BM_PramorumCentral(benchmark::State& state) {
  static const Loaded l = LoadFile(std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt");
  Run(state, l, DistanceClassRule::kEqualCount, ReplicateProcedure::kCentral);
}
BENCHMARK(BM_PramorumCentral)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Generated2000Weighted(benchmark::State& state) {
  static const Loaded l = Generate(1 << 30, 2000, 10, 4, 7);
  Run(state, l, DistanceClassRule::kEqualCount, ReplicateProcedure::kWeighted);
}
BENCHMARK(BM_Generated2000Weighted)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Resampling500Genets(benchmark::State& state) {
  static const Loaded l = Generate(500, 1 << 30, 10, 3, 11);
  Run(state, l, DistanceClassRule::kEqualCount, ReplicateProcedure::kResampling);
}
BENCHMARK(BM_Resampling500Genets)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace vireltan

BENCHMARK_MAIN();
