// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis of molecular variance on a hand-sized hierarchy against a
// direct computation: sums of squares from every pair's squared distance,
// σ² from Excoffier et al.'s (1992) closed-form coefficients of a
// two-level design; the SNP sums against the same vectors written out;
// the permutation p-values and their repetition under a seed.
#include "analyses/popgen/amova.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace vireltan {
namespace {

constexpr double kTolerance = 1e-9;

// Ten diploid units, three loci; with at most 10 % missing, locus 2 (missing
// in two units, 20 %) goes, and unit 9 then misses locus 0 (10 %) and goes too.
//   Regions: R0 = {P0, P1}, R1 = {P2, P3}.
struct Hand {
  Dataset dataset;
  std::vector<int> pop = {0, 0, 0, 1, 1, 2, 2, 2, 3, 3};
  std::vector<int> regionOfPop = {0, 0, 1, 1};
};

Hand MakeHand() {
  Hand h;
  Dataset& d = h.dataset;
  d.sampleCount = 10;
  d.locusCount = 3;
  d.ploidy = 2;
  const Allele M = kMissingAllele;
  const Allele a[10][6] = {{100, 102, 200, 200, 300, 300}, {100, 100, 200, 204, 300, 302},
                           {100, 102, 200, 200, M, M},     {102, 104, 204, 204, 300, 300},
                           {104, 104, 200, 204, 302, 302}, {100, 104, 208, 208, 300, 302},
                           {102, 102, 204, 208, M, M},     {100, 102, 200, 200, 300, 300},
                           {104, 104, 204, 208, 302, 302}, {M, M, 200, 200, 300, 300}};
  for (const auto& unit : a) d.alleles.insert(d.alleles.end(), unit, unit + 6);
  return h;
}

// The allele-count vector (counts divided by `copies`) of a unit or of one
// of its allele sets (`which` 0/1; -1 the unit) at the loci given.
std::map<std::pair<int, Allele>, double> Vector(const Dataset& d, int su,
                                                const std::vector<int>& loci, int which) {
  std::map<std::pair<int, Allele>, double> v;
  for (int l : loci)
    for (int w = 0; w < 2; ++w)
      if (which < 0 || which == w) v[{l, d.alleleAt(su, l, w)}] += 1;
  return v;
}

double Distance2(const std::map<std::pair<int, Allele>, double>& x,
                 const std::map<std::pair<int, Allele>, double>& y) {
  std::map<std::pair<int, Allele>, double> diff = x;
  for (const auto& [k, v] : y) diff[k] -= v;
  double s = 0;
  for (const auto& [k, v] : diff) s += v * v;
  return s;
}

// SSD of a group from its pairs: (1 / (2n)) Σ_i Σ_j d²_ij.
template <typename Vec>
double PairSsd(const std::vector<Vec>& vectors, const std::vector<int>& members) {
  double s = 0;
  for (int i : members)
    for (int j : members) s += Distance2(vectors[i], vectors[j]);
  return members.empty() ? 0 : s / (2.0 * members.size());
}

TEST(AmovaMissingData, LociThenUnits) {
  Hand h = MakeHand();
  std::vector<int> all = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const CompleteData kept = KeepCompleteData(h.dataset, all, 0.1);
  EXPECT_EQ(kept.loci, (std::vector<int>{0, 1}));
  EXPECT_EQ(kept.units, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  // At 20 % the third locus stays, and units 2, 6 and 9 go.
  const CompleteData loose = KeepCompleteData(h.dataset, all, 0.2);
  EXPECT_EQ(loose.loci, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(loose.units, (std::vector<int>{0, 1, 3, 4, 5, 7, 8}));
}

struct DesignCase {
  const char* name;
  bool split;
  bool regions;
};

class AmovaHand : public ::testing::TestWithParam<DesignCase> {};

TEST_P(AmovaHand, SumsOfSquaresAndSigmaEqualTheDirectComputation) {
  const DesignCase& c = GetParam();
  Hand h = MakeHand();
  const CompleteData kept = KeepCompleteData(h.dataset, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0.1);
  const int U = static_cast<int>(kept.units.size());
  // Entities, their vectors and their groups at every level (top first).
  std::vector<std::map<std::pair<int, Allele>, double>> vectors;
  std::vector<std::vector<int>> groupOf;  // [level][entity]
  std::vector<int> region, pop, unit;
  for (int u = 0; u < U; ++u)
    for (int w = 0; w < (c.split ? 2 : 1); ++w) {
      const int su = kept.units[u];
      vectors.push_back(Vector(h.dataset, su, kept.loci, c.split ? w : -1));
      region.push_back(h.regionOfPop[h.pop[su]]);
      pop.push_back(h.pop[su]);
      unit.push_back(u);
    }
  if (c.regions) groupOf.push_back(region);
  groupOf.push_back(pop);
  if (c.split) groupOf.push_back(unit);
  const int E = static_cast<int>(vectors.size());
  const int K = static_cast<int>(groupOf.size());

  AmovaDesign design;
  for (int k = 0; k < K; ++k) {
    int count = 0;
    for (int g : groupOf[k]) count = std::max(count, g + 1);
    design.groupCount.push_back(count);
    design.parent.emplace_back();
    if (k > 0) {
      design.parent[k].assign(count, 0);
      for (int e = 0; e < E; ++e) design.parent[k][groupOf[k][e]] = groupOf[k - 1][e];
    }
  }
  design.groupOfEntity = groupOf.back();
  auto vectorsUnderTest = MakeAlleleSetVectors(h.dataset, kept.units, kept.loci, c.split);
  AmovaResult r;
  ASSERT_TRUE(ComputeAmova(*vectorsUnderTest, design, 0, 1, nullptr, r));

  // W_k: pooled SSD within the groups of level k, from the pairs.
  auto pooled = [&](const std::vector<int>& of) {
    std::map<int, std::vector<int>> members;
    for (int e = 0; e < E; ++e) members[of[e]].push_back(e);
    double s = 0;
    for (const auto& [g, m] : members) s += PairSsd(vectors, m);
    return s;
  };
  std::vector<double> W = {pooled(std::vector<int>(E, 0))};
  for (int k = 0; k < K; ++k) W.push_back(pooled(groupOf[k]));
  W.push_back(0);
  ASSERT_EQ(r.ss.size(), static_cast<std::size_t>(K + 1));
  for (int s = 0; s <= K; ++s) EXPECT_NEAR(r.ss[s], W[s] - W[s + 1], kTolerance) << "source " << s;
  EXPECT_NEAR(r.totalSs, W[0], kTolerance);
  EXPECT_EQ(r.totalDf, E - 1);

  // σ² of a two-level design (groups C of populations P of entities) by
  // Excoffier et al.'s n, n' and n''.
  if (c.regions && !c.split) {
    std::map<int, double> nc;
    std::map<int, double> np;
    for (int e = 0; e < E; ++e) {
      nc[region[e]] += 1;
      np[pop[e]] += 1;
    }
    const double N = E;
    double sumNp2OverNc = 0, sumNp2 = 0, sumNc2 = 0;
    for (const auto& [p, n] : np) {
      sumNp2OverNc += n * n / nc[h.regionOfPop[p]];
      sumNp2 += n * n;
    }
    for (const auto& [g, n] : nc) sumNc2 += n * n;
    const double C = nc.size(), P = np.size();
    const double n = (N - sumNp2OverNc) / (P - C);
    const double n1 = (sumNp2OverNc - sumNp2 / N) / (C - 1);
    const double n2 = (N - sumNc2 / N) / (C - 1);
    const double msWithin = (W[2]) / (N - P);
    const double msPop = (W[1] - W[2]) / (P - C);
    const double msRegion = (W[0] - W[1]) / (C - 1);
    const double sc = msWithin;
    const double sb = (msPop - sc) / n;
    const double sa = (msRegion - sc - n1 * sb) / n2;
    EXPECT_NEAR(r.sigma2[2], sc, kTolerance);
    EXPECT_NEAR(r.sigma2[1], sb, kTolerance);
    EXPECT_NEAR(r.sigma2[0], sa, kTolerance);
    ASSERT_TRUE(r.phi[0] && r.phi[1] && r.phiLowestTotal);
    EXPECT_NEAR(*r.phi[0], sa / (sa + sb + sc), kTolerance);
    EXPECT_NEAR(*r.phi[1], sb / (sb + sc), kTolerance);
    EXPECT_NEAR(*r.phiLowestTotal, (sa + sb) / (sa + sb + sc), kTolerance);
  }
  // One level: σ²_a = (MS_a − MS_w) / n0, n0 = (N − Σ n_p² / N) / (P − 1).
  if (!c.regions && !c.split) {
    std::map<int, double> np;
    for (int e = 0; e < E; ++e) np[pop[e]] += 1;
    double sum2 = 0;
    for (const auto& [p, n] : np) sum2 += n * n;
    const double n0 = (E - sum2 / E) / (np.size() - 1.0);
    const double msw = W[1] / (E - np.size());
    EXPECT_NEAR(r.sigma2[0], ((W[0] - W[1]) / (np.size() - 1.0) - msw) / n0, kTolerance);
  }
}

INSTANTIATE_TEST_SUITE_P(Designs, AmovaHand,
                         ::testing::Values(DesignCase{"populations", false, false},
                                           DesignCase{"regions", false, true},
                                           DesignCase{"populations_within", true, false},
                                           DesignCase{"regions_within", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The SNP sums against the vectors written out: per SNP (ref, alt) counts,
// or one allele set's (1 − h, h).
TEST(AmovaSnp, SumsEqualTheWrittenOutVectors) {
  const int N = 7, L = 70;  // more than one packed word
  PackedGenotypes g(N, L);
  const SnpCall calls[] = {kHomRefCall, kHetCall, kHomAltCall};
  for (int i = 0; i < N; ++i)
    for (int l = 0; l < L; ++l) g.set(i, l, calls[(i * 7 + l * 3 + i * l) % 3]);
  g.set(3, 5, kMissingCall);
  g.set(4, 5, kMissingCall);   // SNP 5: 2 of 7 missing
  g.set(6, 40, kMissingCall);  // SNP 40: 1 of 7 missing
  std::vector<std::uint64_t> mask;
  const CompleteData kept = KeepCompleteSnps(g, {0, 1, 2, 3, 4, 5, 6}, 0.2, mask);
  ASSERT_EQ(kept.loci.size(), static_cast<std::size_t>(L - 1));
  EXPECT_EQ(kept.units, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  for (bool split : {false, true}) {
    SnpAmovaVectors v(g, 2, kept.units, mask, split);
    std::vector<std::vector<double>> x;
    for (int su : kept.units)
      for (int w = 0; w < (split ? 2 : 1); ++w) {
        std::vector<double> vec;
        for (int l : kept.loci) {
          const int a = AltAlleleCount(g.call(su, l));
          const int alt = split ? (w == 0 ? a == 2 : a >= 1) : a;
          const int copies = split ? 1 : 2;
          vec.push_back(copies - alt);
          vec.push_back(alt);
        }
        x.push_back(vec);
      }
    const int E = static_cast<int>(x.size());
    ASSERT_EQ(v.entityCount(), E);
    double total = 0;
    for (const auto& vec : x)
      for (double c : vec) total += c * c;
    EXPECT_NEAR(v.TotalSquares(), total, kTolerance);
    // Groups of 1, 2 and 9+ entities, so both ways of summing are met.
    std::vector<std::vector<int>> members = {{0}, {1, 2}, {}};
    for (int e = 3; e < E; ++e) members[2].push_back(e);
    double expected = 0;
    for (const auto& m : members) {
      if (m.empty()) continue;
      std::vector<double> s(x[0].size(), 0);
      for (int e : m)
        for (std::size_t k = 0; k < s.size(); ++k) s[k] += x[e][k];
      double s2 = 0;
      for (double c : s) s2 += c * c;
      expected += s2 / m.size();
    }
    EXPECT_NEAR(v.GroupSquares(members), expected, kTolerance) << (split ? "split" : "units");
  }
}

TEST(AmovaPermutations, PValuesAreCountsOverPPlusOneAndRepeatUnderASeed) {
  Hand h = MakeHand();
  const CompleteData kept = KeepCompleteData(h.dataset, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0.1);
  auto vectors = MakeAlleleSetVectors(h.dataset, kept.units, kept.loci, true);
  AmovaDesign design;
  const int U = static_cast<int>(kept.units.size());
  design.groupCount = {2, 4, U};
  design.parent = {{}, h.regionOfPop, {}};
  for (int u = 0; u < U; ++u) {
    design.parent[2].push_back(h.pop[kept.units[u]]);
    design.groupOfEntity.push_back(u);
    design.groupOfEntity.push_back(u);
  }
  const int P = 199;
  AmovaResult a, b, c;
  ASSERT_TRUE(ComputeAmova(*vectors, design, P, 42, nullptr, a));
  ASSERT_TRUE(ComputeAmova(*vectors, design, P, 42, nullptr, b));
  ASSERT_TRUE(ComputeAmova(*vectors, design, P, 43, nullptr, c));
  ASSERT_EQ(a.p.size(), 4u);
  bool differs = false;
  for (std::size_t t = 0; t < a.p.size(); ++t) {
    const double b1 = a.p[t] * (P + 1) - 1;  // b
    EXPECT_NEAR(b1, std::round(b1), 1e-9);
    EXPECT_GE(a.p[t], 1.0 / (P + 1));
    EXPECT_LE(a.p[t], 1.0);
    EXPECT_EQ(a.p[t], b.p[t]);
    differs = differs || a.p[t] != c.p[t];
  }
  EXPECT_TRUE(differs) << "another seed gives other permutations";
  EXPECT_EQ(a.sigma2, b.sigma2);
}

}  // namespace
}  // namespace vireltan
