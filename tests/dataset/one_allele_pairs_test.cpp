// SPDX-License-Identifier: GPL-3.0-or-later
#include "dataset/one_allele_pairs.h"

#include <gtest/gtest.h>

#include <random>

#include "dataset/mlg_identification.h"
#include "dataset/pairwise_matrices.h"

namespace vireltan {
namespace {

// Random genotypes drawn from few alleles, so that many MLGs lie one allele
// apart; `missing` is the share of missing alleles (999, an ordinary value).
Dataset RandomDataset(std::mt19937& random, int n, int loci, int ploidy, int alleles,
                      double missing) {
  Dataset d;
  d.sampleCount = n;
  d.locusCount = loci;
  d.ploidy = ploidy;
  std::uniform_int_distribution<int> allele(0, alleles - 1);
  std::uniform_real_distribution<double> unit(0, 1);
  auto draw = [&] {
    return unit(random) < missing ? kMissingAllele : static_cast<Allele>(100 + 2 * allele(random));
  };
  for (int i = 0; i < n; ++i) {
    d.designations.push_back(Cell::Number(i));
    d.x.push_back(0);
    d.y.push_back(0);
    for (int l = 0; l < loci; ++l) {
      Allele a = draw(), b = ploidy % 2 ? a : draw();
      d.alleles.push_back(std::min(a, b));
      d.alleles.push_back(std::max(a, b));
    }
  }
  return d;
}

TEST(OneAllelePairs, SameListAsComparingEveryPair) {
  std::mt19937 random(17);
  struct Case {
    int n, loci, ploidy, alleles;
    double missing;
  };
  for (const Case& c : {Case{300, 3, 2, 3, 0}, Case{400, 4, 2, 2, 0.05}, Case{200, 5, 1, 3, 0.1},
                        Case{500, 2, 4, 4, 0}, Case{60, 1, 2, 6, 0}, Case{1, 3, 2, 3, 0}}) {
    const Dataset d = RandomDataset(random, c.n, c.loci, c.ploidy, c.alleles, c.missing);
    const MlgPartition p = IdentifyMlgs(d);
    std::vector<std::pair<int, int>> expected;
    const int one = d.haploid() ? 2 : 1;
    for (int j = 0; j < p.mlgCount; ++j)
      for (int k = j + 1; k < p.mlgCount; ++k)
        if (PairwiseMatrices::AllelicDistanceSum(d.allelesOf(p.representative[j]),
                                                 d.allelesOf(p.representative[k]),
                                                 d.locusCount) == one)
          expected.emplace_back(j + 1, k + 1);
    EXPECT_EQ(FindOneAllelePairs(d, p), expected) << c.n << " " << c.ploidy;
    if (c.n > 1) EXPECT_FALSE(expected.empty());
  }
}

}  // namespace
}  // namespace vireltan
