// SPDX-License-Identifier: GPL-3.0-or-later
// SNP distances on packed calls against a direct per-locus count.
#include "analyses/distance/snp_distance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "analyses/distance/snp_distance_histogram.h"

namespace vireltan {
namespace {

// Random calls: `missing` share missing, the rest alternate counts drawn
// uniformly for the ploidy. Returns the calls as alternate counts (-1
// missing) beside the packed form.
std::vector<std::vector<int>> RandomCalls(int n, int loci, int ploidy, double missing,
                                          std::uint32_t seed, PackedGenotypes& packed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  std::uniform_int_distribution<int> alt(0, ploidy);
  packed = PackedGenotypes(n, loci);
  std::vector<std::vector<int>> calls(n, std::vector<int>(loci));
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < loci; ++k) {
      int g = u(rng) < missing ? -1 : alt(rng);
      calls[i][k] = g;
      SnpCall c = kMissingCall;
      if (g >= 0 && ploidy == 2) c = g == 0 ? kHomRefCall : g == 1 ? kHetCall : kHomAltCall;
      if (g >= 0 && ploidy == 1) c = g == 0 ? kHomRefCall : kHomAltCall;
      packed.set(i, k, c);
    }
  return calls;
}

// The definition, locus by locus: differing alleles over the alleles of the
// loci called in both.
double DirectDistance(const std::vector<int>& a, const std::vector<int>& b, int ploidy) {
  double differing = 0, called = 0;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (a[k] < 0 || b[k] < 0) continue;
    differing += std::abs(a[k] - b[k]);
    called += ploidy;
  }
  return called == 0 ? 1.0 : differing / called;
}

TEST(SnpDistance, EqualsDirectCountWithMissingCalls) {
  struct Case {
    int n, loci, ploidy;
    double missing;
  };
  // Sizes off the word (32 calls) and tile (32 rows) boundaries, and a
  // chunk boundary of the kernel (256 words = 8,192 loci).
  const Case cases[] = {{70, 1000, 2, 0.1},
                        {45, 333, 1, 0.2},
                        {33, 8300, 2, 0.05},
                        {5, 31, 1, 0.0},
                        {40, 64, 2, 0.9}};
  // Every kernel the processor has (the widest by default, then capped).
  for (const char* kernel : {"", "popcnt", "portable"}) {
    setenv("VIRELTAN_POPCOUNT", kernel, 1);
    std::uint32_t seed = 1;
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << c.n << " x " << c.loci << " ploidy " << c.ploidy << " kernel " << kernel);
      PackedGenotypes packed;
      auto calls = RandomCalls(c.n, c.loci, c.ploidy, c.missing, seed++, packed);
      std::vector<int> rows(c.n);
      for (int i = 0; i < c.n; ++i) rows[i] = i;
      NullProgressSink progress;
      SnpDistanceMatrix m;
      ASSERT_TRUE(ComputeSnpDistances(packed, rows, progress, m).ok());
      ASSERT_EQ(m.mlgCount(), c.n);
      for (int i = 0; i < c.n; ++i)
        for (int j = 0; j < c.n; ++j) {
          const double expected = i == j ? 0 : DirectDistance(calls[i], calls[j], c.ploidy);
          ASSERT_NEAR(m.Distance(i + 1, j + 1), expected, 1e-6) << i << " " << j;
          if (i < j) {
            AlleleMismatch single =
                CompareSnpRows(packed.row(i), packed.row(j), packed.wordsPerSample());
            ASSERT_NEAR(SnpDistanceOf(single), expected, 1e-12);
          }
        }
    }
  }
  unsetenv("VIRELTAN_POPCOUNT");
}

TEST(SnpDistance, NodesFollowTheRowsGiven) {
  PackedGenotypes packed;
  auto calls = RandomCalls(6, 100, 2, 0.1, 99, packed);
  const std::vector<int> rows = {5, 0, 3};
  NullProgressSink progress;
  SnpDistanceMatrix m;
  ASSERT_TRUE(ComputeSnpDistances(packed, rows, progress, m).ok());
  EXPECT_NEAR(m.Distance(1, 3), DirectDistance(calls[5], calls[3], 2), 1e-6);
  EXPECT_NEAR(m.Distance(2, 1), DirectDistance(calls[0], calls[5], 2), 1e-6);
}

TEST(SnpDistance, NoCommonLocusIsOneAndCounted) {
  PackedGenotypes packed(2, 4);
  packed.set(0, 0, kHomRefCall);
  packed.set(1, 1, kHomAltCall);
  NullProgressSink progress;
  SnpDistanceMatrix m;
  ASSERT_TRUE(ComputeSnpDistances(packed, {0, 1}, progress, m).ok());
  EXPECT_EQ(m.Distance(1, 2), 1.0);
  EXPECT_EQ(m.pairsWithoutCommonLoci(), 1);
}

TEST(SnpDistance, CancelledRunLeavesMatrixUntouched) {
  PackedGenotypes packed;
  RandomCalls(40, 100, 2, 0, 5, packed);
  std::vector<int> rows(40);
  for (int i = 0; i < 40; ++i) rows[i] = i;
  NullProgressSink progress;
  progress.RequestCancel();
  SnpDistanceMatrix m;
  EXPECT_TRUE(ComputeSnpDistances(packed, rows, progress, m).cancelled());
  EXPECT_EQ(m.mlgCount(), 0);
}

TEST(SnpDistance, HistogramCountsEveryPairOnce) {
  PackedGenotypes packed;
  RandomCalls(30, 200, 2, 0.05, 8, packed);
  std::vector<int> rows(30);
  for (int i = 0; i < 30; ++i) rows[i] = i;
  NullProgressSink progress;
  SnpDistanceMatrix m;
  ASSERT_TRUE(ComputeSnpDistances(packed, rows, progress, m).ok());
  SnpDistanceHistogram h = TabulateSnpDistances(m);
  std::int64_t total = 0;
  for (auto c : h.counts) total += c;
  EXPECT_EQ(total, 30 * 29 / 2);
  EXPECT_EQ(h.pairCount, 30 * 29 / 2);
  // Class of pair (1, 2) holds it.
  const int c = static_cast<int>(m.Distance(1, 2) / kSnpDistanceClassWidth);
  EXPECT_GE(h.counts[c], 1);
}

}  // namespace
}  // namespace vireltan
