// SPDX-License-Identifier: GPL-3.0-or-later
// The test of clonality by the index of association: 999 permutations on
// N = 1,000 diploid units, L = 20 loci (10 alleles per locus), half clonal.
// Target: under 10 s on 2 cores.
//
// Both null models at N = 5,000, L = 20 (argument: permutations): the
// allele null should cost at most 1.5 times the genotype null.
#include <benchmark/benchmark.h>

#include <random>

#include "analyses/clonality/association_permutation.h"

namespace {

using namespace vireltan;

Dataset Make(int n, int loci) {
  std::mt19937 rng(15);
  std::uniform_int_distribution<int> allele(100, 109);
  Dataset d;
  d.sampleCount = n;
  d.locusCount = loci;
  d.ploidy = 2;
  std::vector<Allele> genet;
  for (int u = 0; u < n; ++u) {
    // Every other unit repeats the genotype of the unit before it.
    if (u % 2 == 0) {
      genet.clear();
      for (int j = 0; j < loci; ++j) {
        Allele a = static_cast<Allele>(allele(rng)), b = static_cast<Allele>(allele(rng));
        genet.push_back(std::min(a, b));
        genet.push_back(std::max(a, b));
      }
    }
    d.alleles.insert(d.alleles.end(), genet.begin(), genet.end());
  }
  return d;
}

void Permutations(benchmark::State& state) {
  static const Dataset d = Make(1000, 20);
  std::vector<int> units(d.sampleCount);
  for (int u = 0; u < d.sampleCount; ++u) units[u] = u;
  AssociationInput in = PrepareAssociation(d, units, false);
  std::vector<LocusPairSums> sums = ComputeLocusPairSums(in);
  AssociationTest test;
  for (auto _ : state) {
    Status s = TestAssociation(in, sums, 999, 1, nullptr, test);
    benchmark::DoNotOptimize(s);
  }
  state.counters["p"] = test.pRbarD.value_or(-1);
}
BENCHMARK(Permutations)->Unit(benchmark::kMillisecond)->Iterations(1);

void BothNulls(benchmark::State& state) {
  static const Dataset d = Make(5000, 20);
  std::vector<int> units(d.sampleCount);
  for (int u = 0; u < d.sampleCount; ++u) units[u] = u;
  const int permutations = static_cast<int>(state.range(0));
  const bool alleles = state.range(1) == 1;
  AssociationInput in = PrepareAssociation(d, units, false);
  std::vector<LocusPairSums> sums = ComputeLocusPairSums(in, IaMissing::kPoppr);
  AssociationTest test;
  for (auto _ : state) {
    Status s = alleles ? TestAssociationAlleles(d, units, IaMissing::kPoppr, permutations, 1,
                                                nullptr, test)
                       : TestAssociation(in, sums, permutations, 1, nullptr, test);
    benchmark::DoNotOptimize(s);
  }
  state.SetLabel(alleles ? "alleles" : "genotypes");
  state.counters["p"] = test.pRbarD.value_or(-1);
}
BENCHMARK(BothNulls)
    ->ArgsProduct({{99, 999}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
