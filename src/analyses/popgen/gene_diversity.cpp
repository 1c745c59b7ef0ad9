// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/popgen/gene_diversity.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vireltan {

namespace {

// Mean and standard error over loci of the defined values.
LocusMean MeanOf(const std::vector<std::optional<double>>& values) {
  LocusMean m;
  double sum = 0;
  for (const auto& v : values)
    if (v) {
      sum += *v;
      ++m.loci;
    }
  if (m.loci == 0) return m;
  const double mean = sum / m.loci;
  m.mean = mean;
  if (m.loci >= 2) {
    double ss = 0;
    for (const auto& v : values)
      if (v) ss += (*v - mean) * (*v - mean);
    m.se = std::sqrt(ss / (m.loci - 1) / m.loci);
  }
  return m;
}

// Σp² of population `pop` at `locus` (typed there).
double SumSquaredFrequencies(const AlleleCountTable& t, int locus, int pop) {
  const double copies = t.GeneCopies(locus, pop);
  double s = 0;
  for (int a = 0; a < t.alleles(locus); ++a) {
    const double p = t.Copies(locus, a, pop) / copies;
    s += p * p;
  }
  return s;
}

double HeterozygoteShare(const AlleleCountTable& t, int locus, int pop) {
  return static_cast<double>(t.Heterozygotes(locus, pop)) / t.Typed(locus, pop);
}

// Nei's unbiased within-population gene diversity (hierfstat's Hs) of a
// sample of n units with Σp² `sp2` and heterozygote share `ho`.
std::optional<double> WithinDiversity(bool haploid, double n, double sp2, double ho) {
  if (n < 2) return std::nullopt;
  return haploid ? n / (n - 1) * (1 - sp2) : n / (n - 1) * (1 - sp2 - ho / (2 * n));
}

std::optional<double> Ratio(double numerator, double denominator) {
  if (denominator == 0 || !std::isfinite(numerator / denominator)) return std::nullopt;
  return numerator / denominator;
}

}  // namespace

double RarefiedRichness(const std::vector<int>& copies, int k) {
  int n = 0;
  for (int c : copies) n += c;
  double richness = 0;
  for (int c : copies) {
    if (c == 0) continue;
    // C(n − c, k) / C(n, k) = Π_{i<k} (n − c − i) / (n − i): the chance that
    // a subsample of k copies misses the allele; 0 once n − c < k.
    double miss = 1;
    if (n - c < k) {
      miss = 0;
    } else {
      for (int i = 0; i < k && miss > 0; ++i) miss *= static_cast<double>(n - c - i) / (n - i);
    }
    richness += 1 - miss;
  }
  return richness;
}

DiversityTable ComputeDiversity(const AlleleCountTable& t, const std::vector<std::string>& names,
                                const std::vector<int>& units, const DiversityOptions& options) {
  DiversityTable out;
  const int P = t.populationCount, L = t.locusCount;
  // Ar's size: the smallest number of copies typed at a locus in any
  // population (populations untyped at a locus do not count).
  if (options.allelicRichness) {
    int smallest = std::numeric_limits<int>::max();
    for (int l = 0; l < L; ++l)
      for (int p = 0; p < P; ++p)
        if (t.Typed(l, p) > 0) smallest = std::min(smallest, t.GeneCopies(l, p));
    out.rarefiedTo = options.rarefyTo > 0                          ? options.rarefyTo
                     : smallest == std::numeric_limits<int>::max() ? 0
                                                                   : smallest;
  }
  // Alleles private to one population: the populations holding each allele.
  std::vector<int> holders(t.totalAlleles(), 0);
  for (int l = 0; l < L; ++l)
    for (int a = 0; a < t.alleles(l); ++a)
      for (int p = 0; p < P; ++p)
        if (t.Copies(l, a, p) > 0) ++holders[t.alleleOffset[l] + a];

  const AlleleCountTable pooled = PoolPopulations(t);
  int privateTotal = 0;
  for (int row = 0; row <= P; ++row) {
    const bool total = row == P;
    const AlleleCountTable& s = total ? pooled : t;
    const int pop = total ? 0 : row;
    DiversityRow r;
    r.name = total ? "Total" : names[row];
    if (total) {
      for (int p = 0; p < P; ++p) r.units += units[p];
    } else {
      r.units = units[row];
    }
    std::vector<std::optional<double>> typed(L), na(L), ne(L), ar(L), ho(L), hs(L), uhe(L), fis(L);
    int privateCount = 0;
    for (int l = 0; l < L; ++l) {
      const int n = s.Typed(l, pop);
      typed[l] = n;
      if (!total)
        for (int a = 0; a < t.alleles(l); ++a)
          if (t.Copies(l, a, pop) > 0 && holders[t.alleleOffset[l] + a] == 1) ++privateCount;
      // An untyped locus shows no allele: Na counts it as 0 (as GenAlEx
      // and poppr average over every locus); the other means leave it out.
      na[l] = 0;
      if (n == 0) continue;
      const int copies = s.GeneCopies(l, pop);
      int seen = 0;
      std::vector<int> alleleCopies(s.alleles(l));
      for (int a = 0; a < s.alleles(l); ++a) {
        alleleCopies[a] = s.Copies(l, a, pop);
        if (alleleCopies[a] > 0) ++seen;
      }
      na[l] = seen;
      const double sp2 = SumSquaredFrequencies(s, l, pop);
      ne[l] = 1 / sp2;
      if (out.rarefiedTo > 0) {
        if (copies >= out.rarefiedTo) {
          ar[l] = RarefiedRichness(alleleCopies, out.rarefiedTo);
        } else {
          ++out.cellsBelowRarefaction;
        }
      }
      if (copies >= 2) uhe[l] = copies / (copies - 1.0) * (1 - sp2);
      const double h = t.haploid ? 0 : HeterozygoteShare(s, l, pop);
      if (!t.haploid) ho[l] = h;
      hs[l] = WithinDiversity(t.haploid, n, sp2, h);
      if (!hs[l]) ++out.cellsBelowTwoTyped;
      if (!t.haploid && hs[l]) fis[l] = Ratio(*hs[l] - h, *hs[l]);
    }
    r.typed = MeanOf(typed);
    r.na = MeanOf(na);
    r.ne = MeanOf(ne);
    r.ar = MeanOf(ar);
    r.ho = MeanOf(ho);
    r.hs = MeanOf(hs);
    r.uhe = MeanOf(uhe);
    r.fis = MeanOf(fis);
    if (P >= 2) {
      if (total) {
        r.privateAlleles = privateTotal;
      } else {
        r.privateAlleles = privateCount;
        privateTotal += privateCount;
      }
    }
    out.rows.push_back(std::move(r));
  }
  return out;
}

LocusDiversityTable ComputeLocusDiversity(const AlleleCountTable& t,
                                          const std::vector<std::string>& locusNames) {
  LocusDiversityTable out;
  const int P = t.populationCount;
  for (int l = 0; l < t.locusCount; ++l) {
    LocusDiversity d;
    d.locus = locusNames[l];
    for (int a = 0; a < t.alleles(l); ++a)
      for (int p = 0; p < P; ++p)
        if (t.Copies(l, a, p) > 0) {
          ++d.alleles;
          break;
        }
    // Means over the populations typed at the locus.
    int np = 0;
    double inverseSizes = 0, sp2 = 0, ho = 0;
    std::vector<double> meanP(t.alleles(l), 0.0);
    for (int p = 0; p < P; ++p) {
      const int n = t.Typed(l, p);
      if (n == 0) continue;
      ++np;
      inverseSizes += 1.0 / n;
      sp2 += SumSquaredFrequencies(t, l, p);
      if (!t.haploid) ho += HeterozygoteShare(t, l, p);
      const double copies = t.GeneCopies(l, p);
      for (int a = 0; a < t.alleles(l); ++a) meanP[a] += t.Copies(l, a, p) / copies;
    }
    if (np > 0) {
      const double mn = np / inverseSizes;  // harmonic mean of the sizes
      sp2 /= np;
      ho /= np;
      double mp2 = 0;
      for (double& p : meanP) {
        p /= np;
        mp2 += p * p;
      }
      if (!t.haploid) d.ho = ho;
      if (mn > 1) {
        const double hs =
            t.haploid ? mn / (mn - 1) * (1 - sp2) : mn / (mn - 1) * (1 - sp2 - ho / (2 * mn));
        const double ht =
            t.haploid ? 1 - mp2 + hs / mn / np : 1 - mp2 + hs / mn / np - ho / (2 * mn * np);
        d.hs = hs;
        d.ht = ht;
        d.dst = ht - hs;
        d.fst = Ratio(ht - hs, ht);
        if (!t.haploid) d.fis = Ratio(hs - ho, hs);
        if (np >= 2) {
          const double dstp = np / (np - 1.0) * (ht - hs);
          d.dstp = dstp;
          d.htp = hs + dstp;
          d.fstp = Ratio(dstp, hs + dstp);
          d.dest = Ratio(dstp, 1 - hs);
        }
      }
    }
    out.loci.push_back(std::move(d));
  }
  // Overall: the mean of each column over the loci where it is defined,
  // then Fst, Fst′, Fis and Dest as ratios of those means.
  LocusDiversity& o = out.overall;
  o.locus = "Overall";
  auto mean = [&](std::optional<double> LocusDiversity::*field) {
    std::vector<std::optional<double>> values;
    for (const auto& d : out.loci) values.push_back(d.*field);
    return MeanOf(values).mean;
  };
  for (const auto& d : out.loci) o.alleles += d.alleles;
  o.ho = mean(&LocusDiversity::ho);
  o.hs = mean(&LocusDiversity::hs);
  o.ht = mean(&LocusDiversity::ht);
  o.dst = mean(&LocusDiversity::dst);
  o.htp = mean(&LocusDiversity::htp);
  o.dstp = mean(&LocusDiversity::dstp);
  if (o.dst && o.ht) o.fst = Ratio(*o.dst, *o.ht);
  if (o.dstp && o.htp) o.fstp = Ratio(*o.dstp, *o.htp);
  if (o.ho && o.hs) o.fis = Ratio(*o.hs - *o.ho, *o.hs);
  if (o.dstp && o.hs) o.dest = Ratio(*o.dstp, 1 - *o.hs);
  return out;
}

}  // namespace vireltan
