// SPDX-License-Identifier: GPL-3.0-or-later
// The test of clonality by the index of association: 999 permutations on
// N = 1,000 diploid units, L = 20 loci (10 alleles per locus), half clonal.
// Target: under 10 s on 2 cores.
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

}  // namespace

BENCHMARK_MAIN();
