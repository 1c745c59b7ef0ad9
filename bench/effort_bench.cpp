// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the sampling-effort curves on a generated dataset of N = 2,000
// sampling units typed at L = 16 loci (targets: each resampling with 1,000
// permutations under 5 s, Combination 1-l loci under 10 s, Combination 1-n
// individuals under 0.1 s).
#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

#include "analyses/effort/combinations.h"
#include "analyses/effort/effort_input.h"
#include "analyses/effort/resampling.h"
#include "dataset/mlg_identification.h"
#include "numeric/random.h"

namespace vireltan {
namespace {

// A clonal meadow: `genets` founding genotypes with `alleles` sizes per
// locus (few alleles, so that many loci are needed to tell genets apart,
// the slow case for the combinations), each unit a ramet of one of them,
// one allele copy in 200 missing.
Dataset GeneratedDataset(int n, int loci, int genets, int alleles) {
  RandomGenerator r(12345);
  std::vector<std::vector<std::pair<Allele, Allele>>> founders(genets);
  for (auto& f : founders)
    for (int j = 0; j < loci; ++j) {
      Allele a = static_cast<Allele>(100 + 2 * r.Below(alleles));
      Allele b = static_cast<Allele>(100 + 2 * r.Below(alleles));
      if (r.Below(200) == 0) a = kMissingAllele;
      if (a > b) std::swap(a, b);
      f.push_back({a, b});
    }
  Dataset d;
  d.sampleCount = n;
  d.locusCount = loci;
  for (int j = 0; j < loci; ++j) d.locusNames.push_back("locus" + std::to_string(j + 1));
  for (int s = 0; s < n; ++s) {
    d.designations.push_back(Cell::Number(s + 1));
    d.x.push_back(r.Uniform() * 100);
    d.y.push_back(r.Uniform() * 100);
    // Clone sizes skewed: half the ramets from a tenth of the genets.
    int g = s < genets ? s : (r.Below(2) == 0 ? r.Below(genets / 10) : r.Below(genets));
    for (auto [a, b] : founders[g]) {
      d.alleles.push_back(a);
      d.alleles.push_back(b);
    }
  }
  return d;
}

struct Fixture {
  Fixture(int genets, int alleles)
      : dataset(GeneratedDataset(2000, 16, genets, alleles)),
        mlgs(IdentifyMlgs(dataset)),
        input(PrepareEffortInput(dataset, mlgs)) {}
  Dataset dataset;
  MlgPartition mlgs;
  EffortInput input;
};

// 800 genets in 2,000 ramets.
const Fixture& Data() {
  static const Fixture fixture(800, 3);
  return fixture;
}

// The slow case for splitting by loci: 2,000 distinct genotypes over
// biallelic loci, so that nearly every locus is needed to reach G.
const Fixture& AllDistinct() {
  static const Fixture fixture(2000, 2);
  return fixture;
}

void BM_ResampleLoci(benchmark::State& state) {
  const Fixture& f = Data();
  NullProgressSink progress;
  for (auto _ : state) {
    RandomGenerator r(1);
    std::vector<ResamplingRow> rows;
    benchmark::DoNotOptimize(ResampleLociCurve(f.input, 1000, r, progress, rows));
  }
  state.counters["G"] = f.mlgs.mlgCount;
}
BENCHMARK(BM_ResampleLoci)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ResampleIndividuals(benchmark::State& state) {
  const Fixture& f = Data();
  NullProgressSink progress;
  for (auto _ : state) {
    RandomGenerator r(1);
    std::vector<ResamplingRow> rows;
    benchmark::DoNotOptimize(ResampleIndividualsCurve(f.input, 1000, r, progress, rows));
  }
}
BENCHMARK(BM_ResampleIndividuals)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CombineLoci(benchmark::State& state) {
  const Fixture& f = Data();
  NullProgressSink progress;
  for (auto _ : state) {
    LociCombinationResult result;
    benchmark::DoNotOptimize(CombineLociCurve(f.input, progress, result));
  }
}
BENCHMARK(BM_CombineLoci)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CombineLociAllDistinct(benchmark::State& state) {
  const Fixture& f = AllDistinct();
  NullProgressSink progress;
  for (auto _ : state) {
    LociCombinationResult result;
    benchmark::DoNotOptimize(CombineLociCurve(f.input, progress, result));
  }
  state.counters["G"] = f.mlgs.mlgCount;
}
BENCHMARK(BM_CombineLociAllDistinct)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ResampleLociAllDistinct(benchmark::State& state) {
  const Fixture& f = AllDistinct();
  NullProgressSink progress;
  for (auto _ : state) {
    RandomGenerator r(1);
    std::vector<ResamplingRow> rows;
    benchmark::DoNotOptimize(ResampleLociCurve(f.input, 1000, r, progress, rows));
  }
}
BENCHMARK(BM_ResampleLociAllDistinct)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_CombineIndividuals(benchmark::State& state) {
  const Fixture& f = Data();
  for (auto _ : state) benchmark::DoNotOptimize(CombineIndividualsCurve(f.mlgs.cloneSize));
}
BENCHMARK(BM_CombineIndividuals)->Unit(benchmark::kMillisecond);

// Preparing the recoded input (done once per command).
void BM_PrepareInput(benchmark::State& state) {
  const Fixture& f = Data();
  for (auto _ : state) benchmark::DoNotOptimize(PrepareEffortInput(f.dataset, f.mlgs));
}
BENCHMARK(BM_PrepareInput)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vireltan

BENCHMARK_MAIN();
