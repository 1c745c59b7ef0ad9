// SPDX-License-Identifier: GPL-3.0-or-later
// The row-by-row distance table against the load-time matrices and against
// distances worked out by hand.
#include "analyses/distance/mlg_distance_table.h"

#include <gtest/gtest.h>

#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "dataset/pairwise_matrices.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::Rows;
using testing::SheetFromRows;

struct Loaded {
  Dataset dataset;
  MlgPartition mlgs;
};

Loaded LoadSheet(const Sheet& sheet) {
  Loaded l;
  DatasetReadReport report;
  Status s = ReadDataset(sheet, "test", l.dataset, report);
  EXPECT_TRUE(s.ok()) << s.message();
  l.mlgs = IdentifyMlgs(l.dataset);
  return l;
}

Loaded LoadRows(const Rows& rows) {
  return LoadSheet(SheetFromRows(rows));
}

struct PairCase {
  const char* name;
  int ploidy;
  std::vector<std::string> first, second;  // genotype cells, one per locus
  double allelic, microsat;
};

class PairDistances : public ::testing::TestWithParam<PairCase> {};

TEST_P(PairDistances, MatchTheHandValues) {
  const PairCase& c = GetParam();
  Rows rows{{"2", "", "", std::to_string(c.first.size()), std::to_string(c.ploidy)}};
  rows.push_back({"a", "1", "1"});
  rows.push_back({"b", "2", "2"});
  for (size_t l = 0; l < c.first.size(); ++l) {
    rows[1].push_back(c.first[l]);
    rows[2].push_back(c.second[l]);
  }
  Loaded l = LoadRows(rows);
  ASSERT_EQ(l.mlgs.mlgCount, 2);
  MlgDistanceTable allelic(l.dataset, l.mlgs, MlgDistanceKind::kAllelic);
  MlgDistanceTable microsat(l.dataset, l.mlgs, MlgDistanceKind::kMicrosat);
  EXPECT_DOUBLE_EQ(allelic.Distance(1, 2), c.allelic);
  EXPECT_DOUBLE_EQ(allelic.Distance(2, 1), c.allelic);
  EXPECT_DOUBLE_EQ(allelic.Distance(2, 2), 0);
  EXPECT_DOUBLE_EQ(microsat.Distance(1, 2), c.microsat);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PairDistances,
    ::testing::Values(
        PairCase{"one_allele", 2, {"120124", "150150"}, {"120126", "150150"}, 1, 2},
        PairCase{"homozygote_against_heterozygote", 2, {"120120"}, {"120124"}, 1, 4},
        PairCase{"nothing_shared", 2, {"120124"}, {"130140"}, 2, 26},
        PairCase{"alleles_in_either_order", 2, {"124120"}, {"120126"}, 1, 2},
        // Haploid: each differing locus counts one allele once halved; the
        // size distance is the plain sum of the differences.
        PairCase{"haploid_two_loci", 1, {"120", "150", "200"}, {"126", "141", "200"}, 2, 15},
        PairCase{"haploid_one_locus", 1, {"120"}, {"121"}, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Every cell of the upper triangle agrees with the load-time matrix.
void ExpectSameAsMatrices(const Loaded& l) {
  PairwiseMatrices matrices(&l.dataset, &l.mlgs, 0);
  const int g = l.mlgs.mlgCount;
  for (MlgDistanceKind kind : {MlgDistanceKind::kAllelic, MlgDistanceKind::kMicrosat}) {
    MlgDistanceTable table(l.dataset, l.mlgs, kind);
    ASSERT_EQ(table.mlgCount(), g);
    std::vector<double> row(g, -1.0);
    int mismatches = 0;
    for (int j = 1; j <= g; ++j) {
      table.FillRow(j, 1, row);
      for (int k = 1; k <= g; ++k) {
        double expected = kind == MlgDistanceKind::kAllelic
                              ? matrices.MlgAllelicDistance(std::min(j, k), std::max(j, k))
                              : matrices.MlgMicrosatDistance(std::min(j, k), std::max(j, k));
        if (j == k) expected = 0;
        if (row[k - 1] != expected) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

class RealDatasets : public ::testing::TestWithParam<const char*> {};

TEST_P(RealDatasets, TableEqualsTheLoadTimeMatrices) {
  Book book;
  std::string path = std::string(VIRELTAN_TEST_DATA_DIR) + "/" + GetParam();
  ASSERT_TRUE(ReadTableFile(path, book).ok()) << path;
  Loaded l = LoadSheet(book.first());
  ASSERT_GT(l.mlgs.mlgCount, 10);
  ExpectSameAsMatrices(l);
}

INSTANTIATE_TEST_SUITE_P(Files, RealDatasets,
                         ::testing::Values("pramorum_curry.txt", "monilinia_haploid.txt",
                                           "rupica.txt"));

TEST(MlgDistanceTable, EveryGenotypePairOverFourAllelesMatchesTheMatrices) {
  // All ten diploid genotypes of alleles 120, 124, 130, 131 at one locus,
  // homozygotes included, so every pairing case is met.
  const int alleles[] = {120, 124, 130, 131};
  Rows rows{{"10", "", "", "2", "2"}};
  int i = 0;
  for (int a = 0; a < 4; ++a)
    for (int b = a; b < 4; ++b) {
      std::string code = std::to_string(alleles[b]) + std::to_string(alleles[a]);
      rows.push_back({"g" + std::to_string(++i), "1", "1", code, "150150"});
    }
  Loaded l = LoadRows(rows);
  ASSERT_EQ(l.mlgs.mlgCount, 10);
  ExpectSameAsMatrices(l);
}

TEST(MlgDistanceTable, FillRowLeavesEntriesBeforeFirstAlone) {
  Loaded l = LoadRows({{"3", "", "", "1", "2"},
                       {"a", "1", "1", "120124"},
                       {"b", "1", "1", "130130"},
                       {"c", "1", "1", "124124"}});
  MlgDistanceTable table(l.dataset, l.mlgs, MlgDistanceKind::kMicrosat);
  std::vector<double> row{-1, -1, -1};
  table.FillRow(1, 2, row);
  // MLG 1 = 120/124, 2 = 124/124, 3 = 130/130.
  EXPECT_EQ(row, (std::vector<double>{-1, 4, 16}));
}

}  // namespace
}  // namespace vireltan
