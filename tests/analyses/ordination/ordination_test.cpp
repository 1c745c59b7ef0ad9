// SPDX-License-Identifier: GPL-3.0-or-later
// Principal coordinates, SNP principal components and the Mantel test
// against computations written out here: a cyclic Jacobi eigen-solver, the
// relationship matrix formed cell by cell, Pearson's r by its definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "analyses/ordination/mantel.h"
#include "analyses/ordination/principal_coordinates.h"
#include "analyses/ordination/snp_principal_components.h"
#include "numeric/random.h"

namespace vireltan {
namespace {

// Eigenvalues of a symmetric n x n matrix (row-major) by cyclic Jacobi
// rotations, descending; `vectors` (optional) gets the unit eigenvectors as
// columns in the same order.
std::vector<double> JacobiEigenvalues(std::vector<double> a, int n,
                                      std::vector<double>* vectors = nullptr) {
  std::vector<double> v(static_cast<std::size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i) v[i * n + i] = 1;
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q) off += a[p * n + q] * a[p * n + q];
    if (off < 1e-26) break;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q) {
        const double apq = a[p * n + q];
        if (std::abs(apq) < 1e-300) continue;
        const double theta = (a[q * n + q] - a[p * n + p]) / (2 * apq);
        const double t = (theta >= 0 ? 1 : -1) / (std::abs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < n; ++k) {
          const double akp = a[k * n + p], akq = a[k * n + q];
          a[k * n + p] = c * akp - s * akq;
          a[k * n + q] = s * akp + c * akq;
        }
        for (int k = 0; k < n; ++k) {
          const double apk = a[p * n + k], aqk = a[q * n + k];
          a[p * n + k] = c * apk - s * aqk;
          a[q * n + k] = s * apk + c * aqk;
        }
        for (int k = 0; k < n; ++k) {
          const double vkp = v[k * n + p], vkq = v[k * n + q];
          v[k * n + p] = c * vkp - s * vkq;
          v[k * n + q] = s * vkp + c * vkq;
        }
      }
  }
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int x, int y) { return a[x * n + x] > a[y * n + y]; });
  std::vector<double> values;
  for (int k : order) values.push_back(a[k * n + k]);
  if (vectors) {
    vectors->assign(static_cast<std::size_t>(n) * n, 0.0);
    for (int c = 0; c < n; ++c)
      for (int i = 0; i < n; ++i) (*vectors)[i * n + c] = v[i * n + order[c]];
  }
  return values;
}

// −½ d², Gower-centred, cell by cell.
std::vector<double> GowerCentred(const std::vector<double>& d, int n) {
  std::vector<double> a(d.size()), row(n, 0.0);
  double all = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      a[i * n + j] = -0.5 * d[i * n + j] * d[i * n + j];
      row[i] += a[i * n + j] / n;
    }
  for (int i = 0; i < n; ++i) all += row[i] / n;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) a[i * n + j] += all - row[i] - row[j];
  return a;
}

struct DistanceCase {
  int n;
  int dimensions;  // points in this many dimensions; 0: random distances (not Euclidean)
  std::uint32_t seed;
};

std::vector<double> MakeDistances(const DistanceCase& c) {
  RandomGenerator random(c.seed);
  const int n = c.n;
  std::vector<double> d(static_cast<std::size_t>(n) * n, 0.0);
  if (c.dimensions == 0) {
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < i; ++j) d[i * n + j] = d[j * n + i] = 1 + random.Below(20);
    return d;
  }
  std::vector<double> x(static_cast<std::size_t>(n) * c.dimensions);
  for (double& v : x) v = 10 * random.Uniform();
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0;
      for (int k = 0; k < c.dimensions; ++k) {
        const double e = x[i * c.dimensions + k] - x[j * c.dimensions + k];
        s += e * e;
      }
      d[i * n + j] = std::sqrt(s);
    }
  return d;
}

class ClassicalScaling : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(ClassicalScaling, EigenvaluesEqualAJacobiDecomposition) {
  const DistanceCase c = GetParam();
  const std::vector<double> d = MakeDistances(c);
  PrincipalCoordinates pco;
  ASSERT_TRUE(ComputePrincipalCoordinates(d, c.n, 10, nullptr, pco));
  const std::vector<double> expected = JacobiEigenvalues(GowerCentred(d, c.n), c.n);
  ASSERT_EQ(pco.eigenvalues.size(), expected.size());
  double trace = 0;
  for (int k = 0; k < c.n; ++k) {
    trace += expected[k];
    EXPECT_NEAR(pco.eigenvalues[k], std::abs(expected[k]) < 1.5e-8 ? 0 : expected[k],
                1e-9 * std::max(1.0, std::abs(expected[k])))
        << "axis " << k + 1;
  }
  EXPECT_NEAR(pco.trace, trace, 1e-9 * std::abs(trace));
  const int negative = static_cast<int>(
      std::count_if(expected.begin(), expected.end(), [](double v) { return v < -1.5e-8; }));
  EXPECT_EQ(pco.negative, negative);
  if (c.dimensions > 0) EXPECT_EQ(pco.negative, 0);
  if (c.dimensions == 0) EXPECT_GT(pco.negative, 0);
  // Each axis: the eigenvector scaled by √λ, so Σ_i x_ik² = λ_k.
  for (int k = 0; k < pco.axes; ++k) {
    double sum = 0;
    for (int i = 0; i < c.n; ++i) sum += std::pow(pco.coordinates[i * pco.axes + k], 2);
    EXPECT_NEAR(sum, pco.eigenvalues[k], 1e-9 * pco.eigenvalues[k]);
  }
}

TEST_P(ClassicalScaling, EuclideanDistancesAreGivenBackByTheCoordinates) {
  const DistanceCase c = GetParam();
  if (c.dimensions == 0) GTEST_SKIP() << "random distances are not Euclidean";
  const std::vector<double> d = MakeDistances(c);
  PrincipalCoordinates pco;
  ASSERT_TRUE(ComputePrincipalCoordinates(d, c.n, c.dimensions, nullptr, pco));
  ASSERT_EQ(pco.axes, c.dimensions);
  for (int i = 0; i < c.n; ++i)
    for (int j = 0; j < i; ++j) {
      double s = 0;
      for (int k = 0; k < pco.axes; ++k)
        s += std::pow(pco.coordinates[i * pco.axes + k] - pco.coordinates[j * pco.axes + k], 2);
      EXPECT_NEAR(std::sqrt(s), d[i * c.n + j], 1e-8);
    }
}

INSTANTIATE_TEST_SUITE_P(Matrices, ClassicalScaling,
                         ::testing::Values(DistanceCase{5, 2, 1}, DistanceCase{12, 3, 2},
                                           DistanceCase{30, 2, 3}, DistanceCase{8, 0, 4},
                                           DistanceCase{25, 0, 5}));

// --- SNP principal components ---

// Genotypes 0..2 (−1 missing) of n samples at L loci, two groups of
// different allele frequencies so that the first axis is clear.
std::vector<int> MakeGenotypes(int n, int loci, double missingShare, std::uint32_t seed) {
  RandomGenerator random(seed);
  std::vector<double> f0(loci), f1(loci);
  for (int l = 0; l < loci; ++l) {
    f0[l] = 0.05 + 0.9 * random.Uniform();
    f1[l] = std::clamp(f0[l] + 0.4 * (random.Uniform() - 0.5), 0.02, 0.98);
  }
  std::vector<int> g(static_cast<std::size_t>(n) * loci);
  for (int i = 0; i < n; ++i)
    for (int l = 0; l < loci; ++l) {
      const double f = i % 3 == 0 ? f1[l] : f0[l];
      int count = (random.Uniform() < f) + (random.Uniform() < f);
      if (l == 7) count = 0;  // one monomorphic locus
      if (random.Uniform() < missingShare) count = -1;
      g[static_cast<std::size_t>(i) * loci + l] = count;
    }
  return g;
}

PackedGenotypes Pack(const std::vector<int>& g, int n, int loci) {
  PackedGenotypes packed(n, loci);
  static const SnpCall kCode[] = {kHomRefCall, kHetCall, kHomAltCall};
  for (int i = 0; i < n; ++i)
    for (int l = 0; l < loci; ++l) {
      const int c = g[static_cast<std::size_t>(i) * loci + l];
      packed.set(i, l, c < 0 ? kMissingCall : kCode[c]);
    }
  return packed;
}

// The relationship matrix cell by cell: z standardized with the frequency
// among the called, missing and monomorphic at 0, divided by all loci.
std::vector<double> Relationship(const std::vector<int>& g, int n, int loci) {
  std::vector<double> z(g.size(), 0.0);
  for (int l = 0; l < loci; ++l) {
    double sum = 0, called = 0;
    for (int i = 0; i < n; ++i)
      if (g[i * loci + l] >= 0) {
        sum += g[i * loci + l];
        ++called;
      }
    const double p = sum / (2 * called);
    if (!(p > 0 && p < 1)) continue;
    for (int i = 0; i < n; ++i)
      if (g[i * loci + l] >= 0)
        z[i * loci + l] = (g[i * loci + l] - 2 * p) / std::sqrt(2 * p * (1 - p));
  }
  std::vector<double> a(static_cast<std::size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0;
      for (int l = 0; l < loci; ++l) s += z[i * loci + l] * z[j * loci + l];
      a[i * n + j] = s / loci;
    }
  return a;
}

struct SnpCase {
  int n;
  int loci;
  double missing;
  int axes;
};

class SnpComponents : public ::testing::TestWithParam<SnpCase> {};

TEST_P(SnpComponents, EqualTheDenseDecompositionOfTheRelationshipMatrix) {
  const SnpCase c = GetParam();
  const std::vector<int> g = MakeGenotypes(c.n, c.loci, c.missing, 11);
  const PackedGenotypes packed = Pack(g, c.n, c.loci);
  std::vector<int> rows(c.n);
  std::iota(rows.begin(), rows.end(), 0);
  SnpPrincipalComponents pcs;
  ASSERT_TRUE(ComputeSnpPrincipalComponents(packed, rows, c.axes, nullptr, pcs));
  ASSERT_TRUE(pcs.converged);
  ASSERT_EQ(pcs.axes, c.axes);
  EXPECT_EQ(pcs.missingCalls, c.missing > 0);
  const std::vector<double> a = Relationship(g, c.n, c.loci);
  std::vector<double> vectors;
  const std::vector<double> expected = JacobiEigenvalues(a, c.n, &vectors);
  double trace = 0;
  for (int i = 0; i < c.n; ++i) trace += a[i * c.n + i];
  EXPECT_NEAR(pcs.trace, trace, 1e-10 * trace);
  for (int k = 0; k < c.axes; ++k) {
    EXPECT_NEAR(pcs.eigenvalues[k], expected[k], 1e-9 * expected[k]) << "axis " << k + 1;
    // Unit eigenvectors, equal up to their sign (compared where the gap
    // to the next eigenvalue makes the vector well defined).
    if (expected[k] - expected[k + 1] < 1e-3 * expected[k]) continue;
    double dot = 0, norm = 0;
    for (int i = 0; i < c.n; ++i) {
      dot += pcs.vectors[i * c.axes + k] * vectors[i * c.n + k];
      norm += std::pow(pcs.vectors[i * c.axes + k], 2);
    }
    EXPECT_NEAR(norm, 1, 1e-9);
    EXPECT_NEAR(std::abs(dot), 1, 1e-7) << "axis " << k + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Studies, SnpComponents,
                         ::testing::Values(SnpCase{20, 150, 0, 5}, SnpCase{40, 333, 0.05, 10},
                                           SnpCase{90, 400, 0, 10}, SnpCase{120, 257, 0.1, 6}));

// --- The Mantel test ---

std::vector<double> Condensed(const std::vector<double>& full, int n) {
  std::vector<double> c;
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) c.push_back(full[i * n + j]);
  return c;
}

TEST(Mantel, RIsPearsonsCorrelationOfThePairs) {
  const int n = 15;
  const std::vector<double> a = Condensed(MakeDistances({n, 2, 21}), n);
  const std::vector<double> b = Condensed(MakeDistances({n, 0, 22}), n);
  double ma = 0, mb = 0;
  for (std::size_t k = 0; k < a.size(); ++k) {
    ma += a[k] / a.size();
    mb += b[k] / b.size();
  }
  double sab = 0, saa = 0, sbb = 0;
  for (std::size_t k = 0; k < a.size(); ++k) {
    sab += (a[k] - ma) * (b[k] - mb);
    saa += (a[k] - ma) * (a[k] - ma);
    sbb += (b[k] - mb) * (b[k] - mb);
  }
  MantelResult m;
  ASSERT_TRUE(MantelTest(a, b, n, false, 99, 5, nullptr, m));
  ASSERT_TRUE(m.r.has_value());
  EXPECT_NEAR(*m.r, sab / std::sqrt(saa * sbb), 1e-12);
  ASSERT_TRUE(m.p.has_value());
  EXPECT_DOUBLE_EQ(*m.p, (m.atLeast + 1.0) / 100.0);
  // Spearman's: Pearson's on the mid-ranks.
  MantelResult s;
  ASSERT_TRUE(MantelTest(a, b, n, true, 0, 5, nullptr, s));
  EXPECT_NEAR(*s.r, *PearsonCorrelation(MidRanks(a), MidRanks(b)), 1e-12);
  EXPECT_FALSE(s.p.has_value());
}

TEST(Mantel, MidRanksShareTies) {
  const std::vector<double> ranks = MidRanks({3, 1, 3, 2, 3});
  const std::vector<double> expected = {4, 1, 4, 2, 4};
  EXPECT_EQ(ranks, expected);
}

struct BoundCase {
  double sign;  // the second matrix is sign × the first
  int permutations;
  double p;  // (b + 1)/(P + 1) the test must give
};

class MantelBounds : public ::testing::TestWithParam<BoundCase> {};

// A matrix against itself: no permutation reaches r = 1 (b = 0); against
// its negative every permutation is at least r = −1 (b = P).
TEST_P(MantelBounds, PIsCountedOverThePermutations) {
  const BoundCase c = GetParam();
  const int n = 12;
  const std::vector<double> a = Condensed(MakeDistances({n, 2, 31}), n);
  std::vector<double> b = a;
  for (double& v : b) v *= c.sign;
  MantelResult m;
  ASSERT_TRUE(MantelTest(a, b, n, false, c.permutations, 9, nullptr, m));
  EXPECT_NEAR(*m.r, c.sign, 1e-12);
  EXPECT_DOUBLE_EQ(*m.p, c.p);
}

INSTANTIATE_TEST_SUITE_P(Bounds, MantelBounds,
                         ::testing::Values(BoundCase{1, 99, 0.01}, BoundCase{1, 999, 0.001},
                                           BoundCase{-1, 99, 1.0}, BoundCase{-1, 19, 1.0}));

TEST(Mantel, ASeededRunIsRepeated) {
  const int n = 20;
  const std::vector<double> a = Condensed(MakeDistances({n, 2, 41}), n);
  const std::vector<double> b = Condensed(MakeDistances({n, 3, 42}), n);
  MantelResult first, second;
  ASSERT_TRUE(MantelTest(a, b, n, false, 499, 77, nullptr, first));
  ASSERT_TRUE(MantelTest(a, b, n, false, 499, 77, nullptr, second));
  EXPECT_EQ(first.atLeast, second.atLeast);
}

}  // namespace
}  // namespace vireltan
