// SPDX-License-Identifier: GPL-3.0-or-later
// Principal components of SNP genotypes on the packed calls at N = 5,000
// diploid samples and L = 100,000 SNPs (five populations drifted apart from
// one ancestral frequency, 1% of calls missing): the 10 leading components
// by Spectra's Lanczos iterations on the implicit relationship operator.
// Target: under 30 s on 2 cores (the study's generation is not timed).
// Counters: the first and tenth eigenvalues, convergence, peak memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <random>

#include "analyses/ordination/snp_principal_components.h"
#include "peak_memory.h"

namespace {

using namespace vireltan;

// VIRELTAN_PCA_LOCI in the environment: fewer SNPs for a quick look.
const int kSamples = 5000, kPopulations = 5;
const int kLoci =
    std::getenv("VIRELTAN_PCA_LOCI") ? std::atoi(std::getenv("VIRELTAN_PCA_LOCI")) : 100000;

const PackedGenotypes& Study() {
  static const PackedGenotypes g = [] {
    std::mt19937_64 rng(29);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    PackedGenotypes p(kSamples, kLoci);
    std::vector<double> frequency(static_cast<std::size_t>(kPopulations) * kLoci);
    for (int l = 0; l < kLoci; ++l) {
      const double ancestral = 0.05 + 0.9 * uniform(rng);
      for (int k = 0; k < kPopulations; ++k)
        frequency[static_cast<std::size_t>(k) * kLoci + l] =
            std::clamp(ancestral + 0.1 * (uniform(rng) - 0.5), 0.01, 0.99);
    }
    const SnpCall codes[] = {kHomRefCall, kHetCall, kHomAltCall};
    for (int i = 0; i < kSamples; ++i) {
      const double* f = &frequency[static_cast<std::size_t>(i % kPopulations) * kLoci];
      for (int l = 0; l < kLoci; ++l) {
        const double u = uniform(rng);
        SnpCall c = codes[(uniform(rng) < f[l]) + (uniform(rng) < f[l])];
        if (u < 0.01) c = kMissingCall;
        p.set(i, l, c);
      }
    }
    return p;
  }();
  return g;
}

void TenComponents(benchmark::State& state) {
  const PackedGenotypes& g = Study();
  std::vector<int> rows(kSamples);
  std::iota(rows.begin(), rows.end(), 0);
  SnpPrincipalComponents pcs;
  for (auto _ : state) ComputeSnpPrincipalComponents(g, rows, 10, nullptr, pcs);
  state.counters["lambda1"] = pcs.eigenvalues.empty() ? -1 : pcs.eigenvalues[0];
  state.counters["lambda10"] = pcs.eigenvalues.size() < 10 ? -1 : pcs.eigenvalues[9];
  state.counters["converged"] = pcs.converged;
  state.counters["products"] = pcs.products;
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(TenComponents)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
