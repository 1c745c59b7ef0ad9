// SPDX-License-Identifier: GPL-3.0-or-later
// AMOVA at scale, from the engine: N = 5,000 diploid units (2,000 genets
// repeated) x 20 loci in 10 populations of 2 regions with the
// within-individual level and 999 permutations of each of the four σ²
// (target: under 30 s); and N = 5,000 x 100,000 SNPs from the packed calls,
// no permutations (target: under 30 s).
#include <benchmark/benchmark.h>

#include <random>

#include "analyses/popgen/amova.h"

namespace {

constexpr int kUnits = 5000, kPopulations = 10, kRegions = 2;

// Units in populations of equal size; population p in region p / 5; the
// units themselves the lowest groups of their two allele sets.
vireltan::AmovaDesign WithinDesign(int units) {
  vireltan::AmovaDesign d;
  d.groupCount = {kRegions, kPopulations, units};
  d.parent = {{}, {}, {}};
  for (int p = 0; p < kPopulations; ++p) d.parent[1].push_back(p * kRegions / kPopulations);
  for (int u = 0; u < units; ++u) {
    d.parent[2].push_back(u * kPopulations / units);
    d.groupOfEntity.push_back(u);
    d.groupOfEntity.push_back(u);
  }
  return d;
}

void BM_AmovaAlleleSizes(benchmark::State& state) {
  constexpr int kLoci = 20;
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> allele(100, 120);
  std::vector<std::vector<vireltan::Allele>> genets(2000, std::vector<vireltan::Allele>(2 * kLoci));
  for (auto& g : genets) {
    for (auto& a : g) a = static_cast<vireltan::Allele>(allele(rng));
    for (int l = 0; l < kLoci; ++l)
      if (g[2 * l] > g[2 * l + 1]) std::swap(g[2 * l], g[2 * l + 1]);
  }
  vireltan::Dataset d;
  d.sampleCount = kUnits;
  d.locusCount = kLoci;
  for (int u = 0; u < kUnits; ++u) {
    const auto& g = genets[u < 2000 ? u : rng() % 2000];
    d.alleles.insert(d.alleles.end(), g.begin(), g.end());
  }
  std::vector<int> units(kUnits);
  for (int u = 0; u < kUnits; ++u) units[u] = u;
  const int permutations = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const vireltan::CompleteData kept = vireltan::KeepCompleteData(d, units, 0.05);
    auto vectors = vireltan::MakeAlleleSetVectors(d, kept.units, kept.loci, true);
    vireltan::AmovaResult result;
    vireltan::ComputeAmova(*vectors, WithinDesign(kUnits), permutations, 7, nullptr, result);
    benchmark::DoNotOptimize(result.sigma2.data());
    state.counters["distinct_allele_sets"] = vectors->distinctSets();
  }
}
BENCHMARK(BM_AmovaAlleleSizes)->Arg(0)->Arg(999)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_AmovaSnps(benchmark::State& state) {
  const int loci = static_cast<int>(state.range(0));
  vireltan::PackedGenotypes g(kUnits, loci);
  std::mt19937_64 rng(5);
  for (int u = 0; u < kUnits; ++u) {
    std::uint64_t* row = g.row(u);
    for (std::size_t w = 0; w < g.wordsPerSample(); ++w) {
      // Random calls: code 10 (missing) turned into 11 (homozygous alternate).
      std::uint64_t x = rng();
      x |= (x >> 1) & ~x & 0x5555555555555555ULL;  // a missing code's low bit set
      row[w] = x;
    }
    for (int l = loci; l < static_cast<int>(g.wordsPerSample()) * vireltan::kCallsPerWord; ++l)
      vireltan::SetCallAt(row, l, vireltan::kMissingCall);
  }
  std::vector<int> units(kUnits);
  for (int u = 0; u < kUnits; ++u) units[u] = u;
  for (auto _ : state) {
    std::vector<std::uint64_t> mask;
    const vireltan::CompleteData kept = vireltan::KeepCompleteSnps(g, units, 0.05, mask);
    vireltan::SnpAmovaVectors vectors(g, 2, kept.units, mask, true);
    vireltan::AmovaResult result;
    vireltan::ComputeAmova(vectors, WithinDesign(static_cast<int>(kept.units.size())), 0, 7,
                           nullptr, result);
    benchmark::DoNotOptimize(result.sigma2.data());
    state.counters["loci_kept"] = static_cast<double>(kept.loci.size());
  }
}
BENCHMARK(BM_AmovaSnps)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
