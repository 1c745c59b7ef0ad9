// SPDX-License-Identifier: GPL-3.0-or-later
// Multilocus lineages and the minimum spanning network on generated data:
// 500 genets on L = 20 diploid loci, each with variants one or two alleles
// apart (scoring errors, somatic mutations), giving G MLGs.
// Targets: MLL on G = 5,000 under 5 s; MSN on G = 2,000 under 5 s with its
// layout.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/lineages/mlg_clustering.h"
#include "analyses/lineages/spanning_network.h"
#include "dataset/mlg_identification.h"

namespace {

using namespace vireltan;

struct Generated {
  Dataset dataset;
  MlgPartition mlgs;
};

Generated Make(int units) {
  Generated g;
  const int loci = 20, genets = 500;
  std::mt19937 rng(16);
  std::uniform_int_distribution<int> allele(100, 140);
  std::vector<Allele> founders(static_cast<size_t>(genets) * loci * 2);
  for (Allele& a : founders) a = static_cast<Allele>(allele(rng));
  Dataset& d = g.dataset;
  d.sampleCount = units;
  d.locusCount = loci;
  d.ploidy = 2;
  for (int l = 1; l <= loci; ++l) d.locusNames.push_back("L" + std::to_string(l));
  for (int i = 0; i < units; ++i) {
    const int genet = i % genets;
    std::vector<Allele> genotype(founders.begin() + static_cast<size_t>(genet) * loci * 2,
                                 founders.begin() + static_cast<size_t>(genet + 1) * loci * 2);
    // Every unit past the first of its genet carries one or two changes.
    if (i >= genets)
      for (int c = 0; c < 1 + static_cast<int>(rng() % 2); ++c)
        genotype[rng() % genotype.size()] = static_cast<Allele>(allele(rng));
    for (int l = 0; l < loci; ++l)
      if (genotype[2 * l] > genotype[2 * l + 1]) std::swap(genotype[2 * l], genotype[2 * l + 1]);
    d.designations.push_back(Cell::Text("SU" + std::to_string(i)));
    d.x.push_back(0);
    d.y.push_back(0);
    d.alleles.insert(d.alleles.end(), genotype.begin(), genotype.end());
  }
  g.mlgs = IdentifyMlgs(d);
  return g;
}

void Lineages(benchmark::State& state) {
  static const Generated g = Make(5200);
  const auto linkage = static_cast<Linkage>(state.range(0));
  const double threshold = static_cast<double>(state.range(1));
  MlgDistanceTable table(g.dataset, g.mlgs, MlgDistanceKind::kAllelic);
  NullProgressSink progress;
  LineagePartition p;
  for (auto _ : state) {
    Status s = ClusterMlgs(table, linkage, threshold, progress, p);
    benchmark::DoNotOptimize(s);
  }
  state.counters["G"] = g.mlgs.mlgCount;
  state.counters["MLL"] = p.lineageCount;
}
BENCHMARK(Lineages)
    ->ArgsProduct({{0, 1, 2}, {4, 1000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void Network(benchmark::State& state) {
  static const Generated g = Make(2050);
  MlgDistanceTable table(g.dataset, g.mlgs, MlgDistanceKind::kAllelic);
  NullProgressSink progress;
  SpanningNetwork network;
  for (auto _ : state) {
    Status s = BuildSpanningNetwork(table, progress, network);
    benchmark::DoNotOptimize(s);
  }
  state.counters["G"] = g.mlgs.mlgCount;
  state.counters["edges"] = static_cast<double>(network.edges.size());
}
BENCHMARK(Network)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
