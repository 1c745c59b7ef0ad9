// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/popgen/weir_cockerham.h"

#include <algorithm>
#include <cmath>

#include "common/parallel_for.h"

namespace vireltan {

namespace {

void AddIfFinite(double& sum, double value, bool& any) {
  if (std::isfinite(value)) {
    sum += value;
    any = true;
  }
}

std::optional<double> Ratio(double numerator, double denominator) {
  const double r = numerator / denominator;
  if (denominator == 0 || !std::isfinite(r)) return std::nullopt;
  return r;
}

}  // namespace

VarianceComponents LocusComponents(const AlleleCountTable& t, int locus) {
  VarianceComponents c;
  const int P = t.populationCount;
  double nt = 0, n2 = 0;
  int r = 0;
  for (int p = 0; p < P; ++p) {
    const double n = t.Typed(locus, p);
    if (n == 0) continue;
    ++r;
    nt += n;
    n2 += n * n;
  }
  if (r == 0) return c;
  const double nc = (nt - n2 / nt) / (r - 1);
  for (int a = 0; a < t.alleles(locus); ++a) {
    double pbar = 0;
    for (int p = 0; p < P; ++p) pbar += t.Copies(locus, a, p) / (t.haploid ? 1.0 : 2.0);
    pbar /= nt;
    double ssg = 0, ssi = 0, ssp = 0;
    for (int p = 0; p < P; ++p) {
      const double n = t.Typed(locus, p);
      if (n == 0) continue;
      const double x = t.Copies(locus, a, p) / (t.haploid ? 1.0 : 2.0);  // n_i p_ia
      const double pa = x / n;
      // Homozygotes for a: a haploid unit is one.
      const double hom = t.haploid ? x : (t.Copies(locus, a, p) - t.HetCarrying(locus, a, p)) / 2.0;
      ssg += x - hom;
      ssi += n * (pa - 2 * pa * pa) + hom;
      ssp += n * (pa - pbar) * (pa - pbar);
    }
    ssp *= 2;
    const double msg = ssg / nt;
    const double msp = ssp / (r - 1);
    const double msi = ssi / (nt - r);
    bool any = false;
    AddIfFinite(c.within, msg, any);
    AddIfFinite(c.between, 0.5 * (msi - msg), any);
    AddIfFinite(c.among, (msp - msi) / (2 * nc), any);
    c.defined = c.defined || any;
  }
  return c;
}

FStatistics RatiosOf(const VarianceComponents& s, bool haploid) {
  FStatistics f;
  if (!s.defined) return f;
  const double total = s.among + s.between + s.within;
  f.fst = Ratio(s.among, total);
  if (!haploid) {
    f.fis = Ratio(s.between, s.between + s.within);
    f.fit = Ratio(s.among + s.between, total);
  }
  return f;
}

std::optional<double> OverallTheta(const AlleleCountTable& t) {
  VarianceComponents sum;
  for (int l = 0; l < t.locusCount; ++l) sum += LocusComponents(t, l);
  return RatiosOf(sum, t.haploid).fst;
}

double Quantile7(std::vector<double>& v, double q) {
  std::sort(v.begin(), v.end());
  const double h = (v.size() - 1) * q;
  const std::size_t lo = static_cast<std::size_t>(std::floor(h));
  const std::size_t hi = std::min(v.size() - 1, lo + 1);
  return v[lo] + (h - lo) * (v[hi] - v[lo]);
}

bool ComputeFStatistics(const AlleleCountTable& t, int bootstraps, std::uint32_t runSeed,
                        ProgressSink* progress, FStatisticsResult& out) {
  out = {};
  VarianceComponents sum;
  std::vector<int> defined;  // loci that give components
  for (int l = 0; l < t.locusCount; ++l) {
    out.loci.push_back(LocusComponents(t, l));
    out.perLocus.push_back(RatiosOf(out.loci.back(), t.haploid));
    sum += out.loci.back();
    if (out.loci.back().defined) defined.push_back(l);
  }
  out.overall = RatiosOf(sum, t.haploid);
  if (bootstraps <= 0 || defined.empty()) return !(progress && progress->Cancelled());
  // Resampling loci: each replicate draws from its own stream, so the
  // interval does not depend on the number of threads.
  std::vector<FStatistics> replicate(bootstraps);
  const bool finished = ParallelFor(
      bootstraps,
      [&](int begin, int end) {
        for (int b = begin; b < end; ++b) {
          RandomGenerator random = RandomGenerator::ForStream(runSeed, b);
          VarianceComponents s;
          for (std::size_t k = 0; k < defined.size(); ++k)
            s += out.loci[defined[random.Below(static_cast<int>(defined.size()))]];
          replicate[b] = RatiosOf(s, t.haploid);
        }
      },
      progress);
  if (!finished) return false;
  auto interval = [&](std::optional<double> FStatistics::*field, std::optional<double>& low,
                      std::optional<double>& high) {
    std::vector<double> values;
    for (const auto& r : replicate)
      if (r.*field) values.push_back(*(r.*field));
    if (values.empty()) return;
    low = Quantile7(values, 0.025);
    high = Quantile7(values, 0.975);
  };
  interval(&FStatistics::fst, out.fstLow, out.fstHigh);
  interval(&FStatistics::fis, out.fisLow, out.fisHigh);
  interval(&FStatistics::fit, out.fitLow, out.fitHigh);
  out.bootstraps = bootstraps;
  return true;
}

}  // namespace vireltan
