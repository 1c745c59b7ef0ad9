// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "dataset/pairwise_matrices.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

Dataset Load(const testing::Rows& rows) {
  Dataset d;
  DatasetReadReport report;
  Status s = ReadDataset(testing::SheetFromRows(rows), "t.txt", d, report);
  EXPECT_TRUE(s.ok()) << s.message();
  return d;
}

TEST(MlgIdentification, NumbersMlgsInKeyOrderAndCountsClones) {
  // Three identical SUs (one written crosswise) and two distinct ones.
  Dataset d = Load({{"5", "", "", "2", "2"},
                    {"e", "0", "0", "130130", "150152"},
                    {"b", "0", "0", "124120", "150152"},
                    {"c", "0", "0", "120124", "152150"},
                    {"a", "0", "0", "120124", "150152"},
                    {"d", "0", "0", "101130", "150152"}});
  MlgPartition p = IdentifyMlgs(d);
  EXPECT_EQ(p.mlgCount, 3);
  // Allele 101 gives the smallest key: MLG 1.
  EXPECT_EQ(p.mlgOfSu, (std::vector<int>{3, 2, 2, 2, 1}));
  EXPECT_EQ(p.cloneSize, (std::vector<int>{1, 3, 1}));
  // Equal keys keep file order.
  EXPECT_EQ(p.keyOrder, (std::vector<int>{4, 1, 2, 3, 0}));
  EXPECT_EQ(p.designationOrder, (std::vector<int>{3, 1, 2, 4, 0}));
  EXPECT_EQ(CountSameMlgPairs(p), 3);
}

TEST(MlgIdentification, MissingGenotypeIsAnOrdinaryValue) {
  Dataset d = Load({{"3", "", "", "2", "2"},
                    {"a", "0", "0", "999999", "150152"},
                    {"b", "0", "0", "999999", "150152"},
                    {"c", "0", "0", "120120", "150152"}});
  MlgPartition p = IdentifyMlgs(d);
  EXPECT_EQ(p.mlgCount, 2);
  EXPECT_EQ(p.mlgOfSu[0], p.mlgOfSu[1]);
}

TEST(MlgIdentification, DesignationsSortNumbersBeforeTexts) {
  EXPECT_LT(CompareDesignations(Cell::Number(1004.1), Cell::Text("A1")), 0);
  EXPECT_LT(CompareDesignations(Cell::Number(9), Cell::Number(10)), 0);
  EXPECT_GT(CompareDesignations(Cell::Text("b"), Cell::Text("a")), 0);
}

TEST(MlgIdentification, CentroidsAndNamingSu) {
  Dataset d = Load({{"3", "", "", "1", "2"},
                    {"b", "2", "4", "120120"},
                    {"a", "4", "8", "120120"},
                    {"c", "10", "10", "130130"}});
  MlgPartition p = IdentifyMlgs(d);
  ASSERT_EQ(p.mlgCount, 2);
  EXPECT_DOUBLE_EQ(p.centroidX[0], 3);
  EXPECT_DOUBLE_EQ(p.centroidY[0], 6);
  EXPECT_EQ(p.centroidNamingSu[0], 0);  // "b" comes after "a"
}

struct DistanceCase {
  const char* name;
  int ploidy;
  std::vector<std::string> first, second;
  double allelic;
  double microsat;
};

class MlgDistances : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(MlgDistances, MatchHandComputedValues) {
  const DistanceCase& c = GetParam();
  testing::Rows rows{{"2", "", "", std::to_string(c.first.size()), std::to_string(c.ploidy)}};
  std::vector<std::string> r1{"a", "0", "0"}, r2{"b", "0", "0"};
  r1.insert(r1.end(), c.first.begin(), c.first.end());
  r2.insert(r2.end(), c.second.begin(), c.second.end());
  rows.push_back(r1);
  rows.push_back(r2);
  Dataset d = Load(rows);
  MlgPartition p = IdentifyMlgs(d);
  ASSERT_EQ(p.mlgCount, 2);
  PairwiseMatrices m(&d, &p, 0);
  EXPECT_DOUBLE_EQ(m.MlgAllelicDistance(1, 2), c.allelic);
  EXPECT_DOUBLE_EQ(m.MlgMicrosatDistance(1, 2), c.microsat);
  // Only the upper triangle; row and column 0 hold the MLG numbers.
  EXPECT_EQ(m.MlgAllelicDistance(2, 1), 0);
  EXPECT_EQ(m.MlgAllelicDistance(0, 2), 2);
  EXPECT_EQ(m.MlgMicrosatDistance(2, 0), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MlgDistances,
    ::testing::Values(
        DistanceCase{"het_one_allele_apart", 2, {"120124", "150150"}, {"120126", "150150"}, 1, 2},
        DistanceCase{"homozygote_against_het", 2, {"120120"}, {"120124"}, 1, 4},
        DistanceCase{"no_shared_allele", 2, {"120124"}, {"130140"}, 2, 26},
        DistanceCase{"two_loci_summed", 2, {"120124", "200200"}, {"130140", "200202"}, 3, 28},
        DistanceCase{"haploid_two_loci", 1, {"120", "200"}, {"123", "210"}, 2, 13},
        DistanceCase{"haploid_single_step", 1, {"120"}, {"121"}, 1, 1}),
    [](const ::testing::TestParamInfo<DistanceCase>& info) { return info.param.name; });

TEST(PairwiseMatrices, SuMatricesInDesignationOrder) {
  Dataset d = Load({{"3", "", "", "1", "2"},
                    {"c", "0", "0", "120120"},
                    {"a", "3", "4", "120120"},
                    {"b", "0", "0", "130130"}});
  MlgPartition p = IdentifyMlgs(d);
  PairwiseMatrices m(&d, &p, 2);
  // Designation order: a (file 1), b (file 2), c (file 0).
  EXPECT_EQ(m.DifferentMlgMatrix(1, 3), 0);
  EXPECT_EQ(m.DifferentMlgMatrix(1, 2), 1);
  EXPECT_EQ(m.DifferentMlgMatrix(2, 1), 1);
  EXPECT_EQ(m.DifferentMlgMatrix(2, 2), 0);
  EXPECT_DOUBLE_EQ(m.SuDistanceMatrix(1, 3), 5);
  EXPECT_DOUBLE_EQ(m.SuDistanceMatrix(3, 1), 5);
  EXPECT_DOUBLE_EQ(m.MlgCentroidDistanceMatrix(1, 2), 2.5);
  PairwiseMatrices flat(&d, &p, 0);
  EXPECT_EQ(flat.SuDistanceMatrix(1, 3), 0);
}

TEST(PairwiseMatrices, ScanListsOneAllelePairsAndMaximum) {
  Dataset d = Load({{"4", "", "", "2", "2"},
                    {"a", "0", "0", "120124", "150150"},
                    {"b", "0", "0", "120126", "150150"},
                    {"c", "0", "0", "130140", "160160"},
                    {"d", "0", "0", "120124", "150152"}});
  MlgPartition p = IdentifyMlgs(d);
  MlgPairScan scan = ScanMlgPairs(d, p);
  // MLGs in key order: 1 = 120124/150150, 2 = 120124/150152, 3 = 120126/150150,
  // 4 = 130140/160160.
  std::vector<std::pair<int, int>> expected{{1, 2}, {1, 3}};
  EXPECT_EQ(scan.oneAllelePairs, expected);
  // 120124/150150 against 130140/160160: min(10+16, 20+6) + 20 = 46 (the
  // pair with 120126 gives 24 + 20 = 44).
  EXPECT_EQ(scan.maxMicrosatDistance, 46);
}

TEST(PairwiseMatrices, HaploidScanUsesHalvedDistance) {
  Dataset d = Load({{"3", "", "", "2", "1"},
                    {"a", "0", "0", "120", "200"},
                    {"b", "0", "0", "121", "200"},
                    {"c", "0", "0", "125", "205"}});
  MlgPartition p = IdentifyMlgs(d);
  MlgPairScan scan = ScanMlgPairs(d, p);
  std::vector<std::pair<int, int>> expected{{1, 2}};
  EXPECT_EQ(scan.oneAllelePairs, expected);
  EXPECT_EQ(scan.maxMicrosatDistance, 20);  // 2*(5+5), before halving
}

}  // namespace
}  // namespace vireltan
