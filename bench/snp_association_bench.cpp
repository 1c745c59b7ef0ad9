// SPDX-License-Identifier: GPL-3.0-or-later
// Ia and rbarD on packed SNP calls at N = 5,000 diploid units and
// L = 10,000 SNPs (1,000 genets, 1% of calls changed, 2% missing): the
// observed index (one pass over the 12.5 million pairs) and the test of
// clonality with 9 permutations under each null; the time per permutation
// is the "per_permutation_s" counter. Target: the summary with 99
// permutations in a few minutes on 2 cores.
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>

#include "analyses/clonality/snp_association.h"
#include "peak_memory.h"

namespace {

using namespace vireltan;

constexpr int kUnits = 5000, kLoci = 10000;

const PackedGenotypes& Study() {
  static const PackedGenotypes g = [] {
    std::mt19937 rng(23);
    const int genets = kUnits / 5;
    const SnpCall codes[] = {kHomRefCall, kHetCall, kHomAltCall};
    PackedGenotypes p(kUnits, kLoci);
    std::vector<SnpCall> founders(static_cast<std::size_t>(genets) * kLoci);
    for (SnpCall& c : founders) c = codes[rng() % 3];
    for (int u = 0; u < kUnits; ++u)
      for (int j = 0; j < kLoci; ++j) {
        SnpCall c = founders[static_cast<std::size_t>(u % genets) * kLoci + j];
        const unsigned r = rng() % 100;
        if (r < 1) c = codes[rng() % 3];
        if (r >= 98) c = kMissingCall;
        p.set(u, j, c);
      }
    return p;
  }();
  return g;
}

std::vector<int> AllUnits() {
  std::vector<int> units(kUnits);
  for (int u = 0; u < kUnits; ++u) units[u] = u;
  return units;
}

void ObservedIndex(benchmark::State& state) {
  const PackedGenotypes& g = Study();
  AssociationResult r;
  for (auto _ : state) r = SnpIndexOfAssociation(g, 2, AllUnits(), IaMissing::kPoppr);
  state.counters["rbarD"] = r.rbarD.value_or(-1);
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(ObservedIndex)->Unit(benchmark::kMillisecond)->Iterations(1);

void Permutations(benchmark::State& state) {
  const PackedGenotypes& g = Study();
  const IaNull null = state.range(0) == 0 ? IaNull::kAlleles : IaNull::kGenotypes;
  constexpr int kPermutations = 9;
  AssociationTest test;
  const AssociationResult observed = SnpIndexOfAssociation(g, 2, AllUnits(), IaMissing::kPoppr);
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    Status s = TestSnpAssociation(g, 2, AllUnits(), IaMissing::kPoppr, null, observed,
                                  kPermutations, 1, nullptr, test);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(s);
  }
  state.SetLabel(IaNullName(null));
  state.counters["per_permutation_s"] = seconds / kPermutations;
  state.counters["p"] = test.pRbarD.value_or(-1);
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(Permutations)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
