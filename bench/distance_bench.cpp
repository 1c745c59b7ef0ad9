// SPDX-License-Identifier: GPL-3.0-or-later
// Distance histograms and exports on a large generated dataset: N = 10,000
// sampling units of G = 5,000 MLGs on L = 20 diploid loci.
// Targets: each histogram under 1 s, each export under 0.2 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "analyses/distance/distance_histogram.h"
#include "analyses/distance/mlg_distance_table.h"
#include "dataset/mlg_identification.h"
#include "dataset/pairwise_matrices.h"
#include "export/arlequin_export.h"
#include "export/quorvex_export.h"

namespace {

using namespace vireltan;

struct Generated {
  Dataset dataset;
  MlgPartition mlgs;
  int maxMicrosatDistance = 0;
};

const Generated& Data() {
  static const Generated* data = [] {
    auto* g = new Generated;
    const int n = 10000, loci = 20, genets = 5000;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> allele(100, 140);
    std::vector<Allele> genotypes(static_cast<size_t>(genets) * loci * 2);
    for (size_t i = 0; i < genotypes.size(); i += 2) {
      Allele a = static_cast<Allele>(allele(rng)), b = static_cast<Allele>(allele(rng));
      genotypes[i] = std::min(a, b);
      genotypes[i + 1] = std::max(a, b);
    }
    Dataset& d = g->dataset;
    d.sampleCount = n;
    d.locusCount = loci;
    d.ploidy = 2;
    for (int l = 1; l <= loci; ++l) d.locusNames.push_back("L" + std::to_string(l));
    for (int i = 0; i < n; ++i) {
      int genet = i < genets ? i : static_cast<int>(rng() % genets);
      d.designations.push_back(Cell::Text("SU" + std::to_string(i)));
      d.x.push_back(i % 100);
      d.y.push_back(i / 100);
      auto first = genotypes.begin() + static_cast<size_t>(genet) * loci * 2;
      d.alleles.insert(d.alleles.end(), first, first + loci * 2);
    }
    g->mlgs = IdentifyMlgs(d);
    g->maxMicrosatDistance = ScanMlgPairs(d, g->mlgs).maxMicrosatDistance;
    return g;
  }();
  return *data;
}

void Histogram(benchmark::State& state, MlgDistanceKind kind) {
  const Generated& g = Data();
  NullProgressSink progress;
  for (auto _ : state) {
    MlgDistanceTable table(g.dataset, g.mlgs, kind);
    int classes =
        kind == MlgDistanceKind::kAllelic ? 2 * g.dataset.locusCount : g.maxMicrosatDistance;
    DistanceHistogram h;
    if (!TabulateMlgDistances(table, classes, progress, h).ok()) state.SkipWithError("failed");
    ChartData chart = MakeDefaultCharts()[kind == MlgDistanceKind::kAllelic ? 3 : 4];
    if (kind == MlgDistanceKind::kAllelic) {
      FillAllelicDistanceChart(h, chart);
    } else {
      FillMicrosatDistanceChart(h, g.dataset.ploidy, chart);
    }
    benchmark::DoNotOptimize(chart.series[0].points.data());
    state.counters["MLGs"] = g.mlgs.mlgCount;
  }
}

void BM_AllelicHistogram(benchmark::State& state) {
  Histogram(state, MlgDistanceKind::kAllelic);
}
BENCHMARK(BM_AllelicHistogram)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MicrosatHistogram(benchmark::State& state) {
  Histogram(state, MlgDistanceKind::kMicrosat);
}
BENCHMARK(BM_MicrosatHistogram)->Unit(benchmark::kMillisecond)->Iterations(3);

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void BM_QuorvexExport(benchmark::State& state) {
  const Generated& g = Data();
  std::string path = TempPath("vireltan-bench.quorvex.txt");
  for (auto _ : state) {
    if (!WriteQuorvexFile(g.dataset, g.mlgs, "bench", path).ok()) state.SkipWithError("failed");
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_QuorvexExport)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ArlequinExport(benchmark::State& state) {
  const Generated& g = Data();
  std::string path = TempPath("vireltan-bench.arlequin.arp");
  for (auto _ : state) {
    if (!WriteArlequinFile(g.dataset, g.mlgs, "bench", path).ok()) state.SkipWithError("failed");
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_ArlequinExport)->Unit(benchmark::kMillisecond)->Iterations(5);

// The full 5,000 x 5,000 matrix file (25 million cells, about 90 MB).
void BM_AllelicMatrixFile(benchmark::State& state) {
  const Generated& g = Data();
  NullProgressSink progress;
  std::string path = TempPath("vireltan-bench-matrix.tsv");
  for (auto _ : state) {
    MlgDistanceTable table(g.dataset, g.mlgs, MlgDistanceKind::kAllelic);
    if (!WriteDistanceMatrixFile(table, path, progress).ok()) state.SkipWithError("failed");
  }
  state.counters["MB"] = std::filesystem::file_size(path) / 1e6;
  std::filesystem::remove(path);
}
BENCHMARK(BM_AllelicMatrixFile)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
