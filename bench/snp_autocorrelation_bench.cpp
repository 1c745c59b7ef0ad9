// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the spatial autocorrelation on packed SNP calls (one iteration
// each): 1,000 samples of 400 genets (1 to 4 ramets, 0.5% of calls
// missing), 20,000 diploid SNPs, 10 equal-count classes, 999 permutations,
// entire dataset + central coordinates, the genets counted as lineages (as
// after mll and use-lineages: every sample stands for its genet's first
// ramet). The pair table costs G² · L / 2 locus steps (1.6·10^9 here), the
// rest is the allele-table run. Target: < 20 s and < 300 MB (the packed
// calls take 5 MB).
// Peak memory (VmHWM) is reported as a counter in MB.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "analyses/spatial/autocorrelation_analysis.h"
#include "dataset/mlg_identification.h"
#include "dataset/snp/snp_study.h"
#include "peak_memory.h"

namespace vireltan {
namespace {

struct Generated {
  SnpStudy study;
  Dataset samples;
  MlgPartition mlgs;
  std::vector<std::string> locusNames;
};

const Generated& Study() {
  static const Generated g = [] {
    constexpr int kGenets = 400, kLoci = 20000;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0, 1), plot(0, 1000), spread(-15, 15);
    std::uniform_int_distribution<int> ramets(1, 4);
    std::vector<double> alt(kLoci);
    for (double& q : alt) q = 0.05 + 0.9 * unit(random);
    std::vector<std::vector<SnpCall>> rows;
    std::vector<int> genetOf;  // 1-based
    Generated out;
    JoinedSamples& s = out.study.samples;
    for (int genet = 0; genet < kGenets; ++genet) {
      std::vector<SnpCall> calls(kLoci);
      for (int l = 0; l < kLoci; ++l) {
        const int a = (unit(random) < alt[l]) + (unit(random) < alt[l]);
        calls[l] = a == 0 ? kHomRefCall : a == 1 ? kHetCall : kHomAltCall;
      }
      const double cx = plot(random), cy = plot(random);
      for (int r = ramets(random); r > 0; --r) {
        std::vector<SnpCall> copy = calls;
        for (SnpCall& c : copy)
          if (unit(random) < 0.005) c = kMissingCall;
        rows.push_back(std::move(copy));
        genetOf.push_back(genet + 1);
        out.study.sampleNames.push_back("s" + std::to_string(100000 + rows.size()));
        s.x.push_back(cx + spread(random));
        s.y.push_back(cy + spread(random));
        s.populationOfSample.push_back(0);
        s.replicateOf.push_back(-1);
      }
    }
    s.populationNames = {"bench"};
    out.study.genotypes = PackedGenotypes(static_cast<int>(rows.size()), kLoci);
    for (size_t i = 0; i < rows.size(); ++i)
      for (int l = 0; l < kLoci; ++l) out.study.genotypes.set(static_cast<int>(i), l, rows[i][l]);
    for (int l = 0; l < kLoci; ++l) out.locusNames.push_back("snp" + std::to_string(l + 1));
    out.samples = SnpSampleDataset(out.study);
    // The genets as lineages: samples were generated genet after genet, and
    // their names ascend in file order.
    MlgPartition& p = out.mlgs;
    const int n = static_cast<int>(rows.size());
    p.mlgCount = kGenets;
    p.mlgOfSu = genetOf;
    p.keyOrder.resize(n);
    for (int i = 0; i < n; ++i) p.keyOrder[i] = i;
    p.designationOrder = p.keyOrder;
    p.cloneSize.assign(kGenets, 0);
    p.representative.assign(kGenets, -1);
    for (int i = 0; i < n; ++i) {
      const int k = genetOf[i] - 1;
      if (p.representative[k] < 0) p.representative[k] = i;
      ++p.cloneSize[k];
    }
    SetCentroids(out.samples, p);
    return out;
  }();
  return g;
}

void BM_Snp1000Central(benchmark::State& state) {
  const Generated& g = Study();
  AutocorrelationInput input;
  input.dataset = &g.samples;
  input.mlgs = &g.mlgs;
  input.snpGenotypes = &g.study.genotypes;
  input.snpPloidy = 2;
  input.snpLocusNames = &g.locusNames;
  input.datasetName = "bench";
  input.settings.procedure = ReplicateProcedure::kCentral;
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
  state.counters["N"] = g.samples.sampleCount;
  state.counters["G"] = g.mlgs.mlgCount;
  state.counters["L"] = g.study.locusCount();
  state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_Snp1000Central)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace vireltan

BENCHMARK_MAIN();
