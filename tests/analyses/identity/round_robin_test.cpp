// SPDX-License-Identifier: GPL-3.0-or-later
#include "analyses/identity/round_robin.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "analyses/identity/identity_fixtures.h"

namespace vireltan {
namespace {

using testing::GenotypeRows;
using testing::MakeDataset;

std::vector<RoundRobinLocus> RoundRobinOf(const Dataset& d) {
  MlgPartition mlgs = IdentifyMlgs(d);
  std::vector<RoundRobinLocus> loci;
  EXPECT_TRUE(ComputeRoundRobin(d, mlgs, loci).ok());
  return loci;
}

// Two MLGs that differ only at locus 1 form one round-robin group for locus
// 1, so only one of them counts there, although clone correction keeps both.
TEST(RoundRobin, GroupsByTheOtherLociNotByClone) {
  Dataset d = MakeDataset({{{100, 100}, {200, 210}},
                           {{100, 110}, {200, 210}},
                           {{100, 110}, {220, 220}},
                           {{110, 100}, {220, 220}}});
  auto loci = RoundRobinOf(d);
  ASSERT_EQ(loci.size(), 2u);
  // Locus 1 keeps MLG 1 (100/100) and MLG 3 (100/110): 100 x3, 110 x1.
  EXPECT_EQ(loci[0].keptCount, 2);
  EXPECT_EQ(loci[0].alleles, (std::vector<Allele>{100, 110}));
  EXPECT_DOUBLE_EQ(loci[0].frequencies[0], 0.75);
  EXPECT_DOUBLE_EQ(loci[0].frequencies[1], 0.25);
  EXPECT_DOUBLE_EQ(loci[0].hobs, 0.5);
  EXPECT_NEAR(loci[0].hnb, 4.0 / 3.0 - 0.625, 1e-15);
  EXPECT_NEAR(loci[0].fis, (4.0 / 3.0 - 0.625 - 0.5) / (4.0 / 3.0 - 0.625), 1e-15);
  // Locus 2 keeps MLG 1 and MLG 2 (both 200/210): allele 220 is not listed.
  EXPECT_EQ(loci[1].alleles, (std::vector<Allele>{200, 210}));
  EXPECT_DOUBLE_EQ(loci[1].hobs, 1.0);
  EXPECT_NEAR(loci[1].fis, -0.2, 1e-15);
  EXPECT_FALSE(loci[1].FrequencyOf(220).has_value());
  EXPECT_DOUBLE_EQ(*loci[1].FrequencyOf(210), 0.5);
}

TEST(RoundRobin, AllHomozygousLocusHasFisOne) {
  Dataset d =
      MakeDataset({{{120, 120}, {150, 152}}, {{124, 124}, {150, 154}}, {{124, 124}, {152, 154}}});
  auto loci = RoundRobinOf(d);
  EXPECT_DOUBLE_EQ(loci[0].hobs, 0.0);
  EXPECT_DOUBLE_EQ(loci[0].fis, 1.0);
  EXPECT_NEAR(*loci[0].FrequencyOf(124), 2.0 / 3.0, 1e-15);
}

TEST(RoundRobin, MonomorphicLocusHasPositiveGeneDiversity) {
  Dataset d = MakeDataset({{{130, 130}, {150, 152}},
                           {{130, 130}, {150, 154}},
                           {{130, 130}, {152, 154}},
                           {{130, 130}, {156, 156}}});
  auto loci = RoundRobinOf(d);
  ASSERT_EQ(loci[0].keptCount, 4);
  EXPECT_NEAR(loci[0].hnb, 1.0 / 7.0, 1e-15);  // 1 / (2n - 1)
  EXPECT_DOUBLE_EQ(loci[0].fis, 1.0);
}

TEST(RoundRobin, SingleLocusKeepsOneGenotype) {
  Dataset d = MakeDataset({{{120, 124}}, {{100, 100}}, {{130, 130}}});
  auto loci = RoundRobinOf(d);
  // No other locus: one group; the MLG with the smallest key (100/100) is kept.
  EXPECT_EQ(loci[0].keptCount, 1);
  EXPECT_EQ(loci[0].alleles, (std::vector<Allele>{100}));
  EXPECT_DOUBLE_EQ(loci[0].hnb, 1.0);
}

TEST(RoundRobin, HaploidFrequenciesAreThoseOfTheSingleAlleles) {
  Dataset d = MakeDataset({{{120, 120}, {150, 150}},
                           {{124, 124}, {152, 152}},
                           {{124, 124}, {154, 154}},
                           {{128, 128}, {156, 156}}},
                          1);
  auto loci = RoundRobinOf(d);
  EXPECT_DOUBLE_EQ(loci[0].hobs, 0.0);
  EXPECT_DOUBLE_EQ(*loci[0].FrequencyOf(120), 0.25);
  EXPECT_DOUBLE_EQ(*loci[0].FrequencyOf(124), 0.5);
  EXPECT_DOUBLE_EQ(loci[0].fis, 1.0);
}

TEST(RoundRobin, StopsWhenCancelled) {
  Dataset d = MakeDataset({{{120, 124}, {150, 150}}, {{124, 124}, {152, 152}}});
  MlgPartition mlgs = IdentifyMlgs(d);
  NullProgressSink progress;
  progress.RequestCancel();
  std::vector<RoundRobinLocus> loci;
  EXPECT_TRUE(ComputeRoundRobin(d, mlgs, loci, &progress).cancelled());
}

// The grouping against a plain map from the other loci's genotypes to the
// first unit in dataset-table order, on random data with many ties.
TEST(RoundRobin, AgreesWithAPlainMapOnRandomData) {
  std::mt19937 random(12345);
  for (int trial = 0; trial < 20; ++trial) {
    const int n = 40 + trial * 3;
    const int loc = 1 + trial % 5;
    GenotypeRows rows;
    for (int s = 0; s < n; ++s) {
      if (s > 0 && random() % 4 == 0) {  // a clone of an earlier unit
        rows.push_back(rows[random() % rows.size()]);
        continue;
      }
      std::vector<std::pair<int, int>> row;
      for (int l = 0; l < loc; ++l)
        row.push_back({100 + static_cast<int>(random() % 3), 100 + static_cast<int>(random() % 3)});
      rows.push_back(row);
    }
    Dataset d = MakeDataset(rows);
    MlgPartition mlgs = IdentifyMlgs(d);
    std::vector<RoundRobinLocus> loci;
    ASSERT_TRUE(ComputeRoundRobin(d, mlgs, loci).ok());
    for (int j = 0; j < loc; ++j) {
      std::map<std::vector<int>, int> firstOfGroup;
      for (int su : mlgs.keyOrder) {
        std::vector<int> key;
        for (int l = 0; l < loc; ++l)
          if (l != j) key.push_back(d.genotypeCode(su, l));
        firstOfGroup.emplace(key, su);
      }
      std::map<int, int> counts;
      int het = 0;
      for (auto& [key, su] : firstOfGroup) {
        ++counts[d.alleleAt(su, j, 0)];
        ++counts[d.alleleAt(su, j, 1)];
        if (d.alleleAt(su, j, 0) != d.alleleAt(su, j, 1)) ++het;
      }
      const double kept = static_cast<double>(firstOfGroup.size());
      ASSERT_EQ(loci[j].keptCount, static_cast<int>(firstOfGroup.size()));
      ASSERT_EQ(loci[j].alleles.size(), counts.size());
      double sumSquares = 0;
      for (auto& [allele, count] : counts) {
        double p = count / (2 * kept);
        sumSquares += p * p;
        EXPECT_NEAR(*loci[j].FrequencyOf(static_cast<Allele>(allele)), p, 1e-15);
      }
      EXPECT_NEAR(loci[j].hobs, het / kept, 1e-15);
      double hnb = 2 * kept / (2 * kept - 1) - sumSquares;
      EXPECT_NEAR(loci[j].hnb, hnb, 1e-14);
      EXPECT_NEAR(loci[j].fis, (hnb - het / kept) / hnb, 1e-12);
    }
  }
}

}  // namespace
}  // namespace vireltan
