// SPDX-License-Identifier: GPL-3.0-or-later
// The row-by-row distance table against the load-time matrices and against
// distances worked out by hand.
#include "analyses/distance/mlg_distance_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

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

// Complete datasets (the others are checked with missing alleles below).
INSTANTIATE_TEST_SUITE_P(Files, RealDatasets, ::testing::Values("pramorum_curry.txt"));

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

namespace vireltan {
namespace {

// Missing alleles: the distance over the loci typed in both genotypes,
// scaled to all loci, against a direct computation (shared alleles as a
// multiset intersection, sizes by trying both pairings).
class MissingData : public ::testing::TestWithParam<const char*> {};

TEST_P(MissingData, DistancesOverTypedLociScaledToAllLoci) {
  Book book;
  std::string path = std::string(VIRELTAN_TEST_DATA_DIR) + "/" + GetParam();
  ASSERT_TRUE(ReadTableFile(path, book).ok()) << path;
  Loaded l = LoadSheet(book.first());
  ASSERT_TRUE(l.dataset.hasMissingData);
  const Dataset& d = l.dataset;
  const int loci = d.locusCount, g = l.mlgs.mlgCount;
  MlgDistanceTable allelic(d, l.mlgs, MlgDistanceKind::kAllelic);
  MlgDistanceTable microsat(d, l.mlgs, MlgDistanceKind::kMicrosat);
  int checked = 0, scaled = 0;
  for (int j = 1; j <= g; j += 3) {
    for (int k = j + 1; k <= g; k += 2) {
      int a = l.mlgs.representative[j - 1], b = l.mlgs.representative[k - 1];
      double differing = 0, sizes = 0;
      int typed = 0;
      for (int locus = 0; locus < loci; ++locus) {
        std::vector<int> x{d.alleleAt(a, locus, 0), d.alleleAt(a, locus, 1)};
        std::vector<int> y{d.alleleAt(b, locus, 0), d.alleleAt(b, locus, 1)};
        if (std::count(x.begin(), x.end(), kMissingAllele) +
            std::count(y.begin(), y.end(), kMissingAllele))
          continue;
        ++typed;
        if (d.haploid()) {
          differing += x[0] != y[0];
          sizes += std::abs(x[0] - y[0]);
          continue;
        }
        int shared = 0;
        std::vector<int> rest = y;
        for (int allele : x) {
          auto found = std::find(rest.begin(), rest.end(), allele);
          if (found != rest.end()) {
            ++shared;
            rest.erase(found);
          }
        }
        differing += 2 - shared;
        sizes += std::min(std::abs(x[0] - y[0]) + std::abs(x[1] - y[1]),
                          std::abs(x[0] - y[1]) + std::abs(x[1] - y[0]));
      }
      if (typed == 0) continue;
      scaled += typed < loci;
      ++checked;
      EXPECT_NEAR(allelic.Distance(j, k), differing * loci / typed, 1e-12) << j << "," << k;
      EXPECT_NEAR(microsat.Distance(j, k), sizes * loci / typed, 1e-12) << j << "," << k;
    }
  }
  EXPECT_GT(checked, 100);
  EXPECT_GT(scaled, 10);
}

INSTANTIATE_TEST_SUITE_P(Files, MissingData,
                         ::testing::Values("nancycats_colonies.txt", "monilinia_haploid.txt",
                                           "rupica.txt"));

TEST(MlgDistanceTable, NoLocusTypedInBothIsAsFarAsPossible) {
  Loaded l = LoadRows({{"3", "", "", "2", "2"},
                       {"a", "1", "1", "999999", "150154"},
                       {"b", "1", "1", "120124", "999999"},
                       {"c", "1", "1", "124130", "150150"}});
  MlgDistanceTable allelic(l.dataset, l.mlgs, MlgDistanceKind::kAllelic);
  MlgDistanceTable microsat(l.dataset, l.mlgs, MlgDistanceKind::kMicrosat);
  const int a = l.mlgs.mlgOfSu[0], b = l.mlgs.mlgOfSu[1];
  EXPECT_EQ(allelic.Distance(a, b), 4);  // 2 alleles x 2 loci
  // Twice the size ranges: (130 - 120) and (154 - 150).
  EXPECT_EQ(microsat.Distance(a, b), 2 * 10 + 2 * 4);
}

}  // namespace
}  // namespace vireltan

namespace vireltan {
namespace {

// Hand-built datasets with missing alleles, under both rules for missing
// loci, against a direct computation over the genotype cells: poppr's rule
// sums over the loci typed in both units; the default scales that sum to
// all loci (and puts a pair with no locus typed in both as far apart as
// possible).
struct MissingRuleCase {
  const char* name;
  int ploidy;
  std::vector<std::vector<std::string>> genotypes;  // one cell per locus
  long long pairsWithMissing;                       // counted by hand
};

class MissingRules : public ::testing::TestWithParam<MissingRuleCase> {};

// The alleles of a cell: three digits each, "999" for a missing one.
std::vector<int> CellAlleles(const std::string& cell) {
  std::vector<int> alleles;
  for (size_t i = 0; i < cell.size(); i += 3) alleles.push_back(std::stoi(cell.substr(i, 3)));
  return alleles;
}

TEST_P(MissingRules, BothRulesMatchADirectComputation) {
  const MissingRuleCase& c = GetParam();
  const int units = static_cast<int>(c.genotypes.size());
  const int loci = static_cast<int>(c.genotypes[0].size());
  Rows rows{{std::to_string(units), "", "", std::to_string(loci), std::to_string(c.ploidy)}};
  for (int u = 0; u < units; ++u) {
    rows.push_back({"u" + std::to_string(u), std::to_string(u), "1"});
    for (const std::string& cell : c.genotypes[u]) rows.back().push_back(cell);
  }
  Loaded l = LoadRows(rows);
  ASSERT_EQ(l.mlgs.mlgCount, units);  // every unit its own MLG
  // The largest unhalved size distance: twice each locus's size range.
  double farthestSizes = 0;
  for (int locus = 0; locus < loci; ++locus) {
    int low = 1000, high = -1;
    for (const auto& genotype : c.genotypes)
      for (int a : CellAlleles(genotype[locus])) {
        if (a == 999) continue;
        low = std::min(low, a);
        high = std::max(high, a);
      }
    if (high >= low) farthestSizes += 2 * (high - low);
  }
  for (DistanceMissing rule : {DistanceMissing::kRescale, DistanceMissing::kPoppr}) {
    MlgDistanceTable allelic(l.dataset, l.mlgs, MlgDistanceKind::kAllelic, rule);
    MlgDistanceTable microsat(l.dataset, l.mlgs, MlgDistanceKind::kMicrosat, rule);
    EXPECT_EQ(allelic.pairsWithMissingLocus(), c.pairsWithMissing);
    EXPECT_EQ(microsat.pairsWithMissingLocus(), c.pairsWithMissing);
    for (int u = 0; u < units; ++u) {
      for (int v = u + 1; v < units; ++v) {
        double differing = 0, sizes = 0;
        int typed = 0;
        for (int locus = 0; locus < loci; ++locus) {
          std::vector<int> x = CellAlleles(c.genotypes[u][locus]);
          std::vector<int> y = CellAlleles(c.genotypes[v][locus]);
          if (std::count(x.begin(), x.end(), 999) + std::count(y.begin(), y.end(), 999)) continue;
          ++typed;
          if (c.ploidy == 1) {
            differing += x[0] != y[0];
            sizes += std::abs(x[0] - y[0]);
            continue;
          }
          const int straight = (x[0] == y[0]) + (x[1] == y[1]);
          const int crossed = (x[0] == y[1]) + (x[1] == y[0]);
          differing += 2 - std::max(straight, crossed);
          sizes += std::min(std::abs(x[0] - y[0]) + std::abs(x[1] - y[1]),
                            std::abs(x[0] - y[1]) + std::abs(x[1] - y[0]));
        }
        if (rule == DistanceMissing::kRescale) {
          if (typed == 0) {
            differing = c.ploidy == 1 ? loci : 2 * loci;
            sizes = c.ploidy == 1 ? farthestSizes / 2 : farthestSizes;
          } else {
            differing = differing * loci / typed;
            sizes = sizes * loci / typed;
          }
        }
        const int j = l.mlgs.mlgOfSu[u], k = l.mlgs.mlgOfSu[v];
        const char* ruleName = rule == DistanceMissing::kPoppr ? "poppr" : "rescale";
        EXPECT_NEAR(allelic.Distance(j, k), differing, 1e-12) << ruleName << " " << u << "," << v;
        EXPECT_NEAR(microsat.Distance(j, k), sizes, 1e-12) << ruleName << " " << u << "," << v;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingRules,
    ::testing::Values(
        // Units 3 and 4 lack a locus, unit 5 two loci, none typed in both
        // units 4 and 5: 10 pairs, 1 of them between complete units.
        MissingRuleCase{"diploid",
                        2,
                        {{"120124", "150154", "200204"},
                         {"120126", "150150", "200200"},
                         {"999999", "150154", "204208"},
                         {"120124", "999999", "200204"},
                         {"999999", "154158", "999999"}},
                        9},
        // Haploid: the first and last units complete, no locus typed in
        // both units 2 and 3.
        MissingRuleCase{
            "haploid", 1, {{"120", "150"}, {"999", "152"}, {"126", "999"}, {"121", "141"}}, 5}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vireltan
