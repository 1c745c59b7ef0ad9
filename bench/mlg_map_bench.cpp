// SPDX-License-Identifier: GPL-3.0-or-later
// The MLG map of a large survey: filling Chart1 must stay instant (well
// under 50 ms for 100,000 sampling units) so that the map appears at once.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "analyses/spatial/mlg_map.h"
#include "dataset/mlg_identification.h"
#include "numeric/random.h"

namespace {

vireltan::Dataset SyntheticSurvey(int n, int loci) {
  vireltan::Dataset d;
  d.sampleCount = n;
  d.locusCount = loci;
  d.ploidy = 2;
  vireltan::RandomGenerator random(12345);
  for (int su = 0; su < n; ++su) {
    d.designations.push_back(vireltan::Cell::Number(su + 1));
    d.x.push_back(random.Uniform() * 500);
    d.y.push_back(random.Uniform() * 200);
    for (int k = 0; k < loci; ++k) {
      auto a = static_cast<vireltan::Allele>(100 + random.Below(6));
      auto b = static_cast<vireltan::Allele>(100 + random.Below(6));
      d.alleles.push_back(std::min(a, b));
      d.alleles.push_back(std::max(a, b));
    }
  }
  return d;
}

void BM_FillMlgMap(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  vireltan::Dataset d = SyntheticSurvey(n, 5);
  vireltan::MlgPartition mlgs = vireltan::IdentifyMlgs(d);
  for (auto _ : state) {
    vireltan::ChartData chart;
    vireltan::FillMlgMap(d, mlgs, "survey", chart);
    benchmark::DoNotOptimize(chart.series.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FillMlgMap)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
