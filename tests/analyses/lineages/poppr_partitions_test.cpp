// SPDX-License-Identifier: GPL-3.0-or-later
// Lineages against poppr 2.9.7's mlg.filter on three datasets (the lineages
// it gave, in tests/data/poppr_mll_partitions.csv): poppr's ties and
// unit-weighted average linkage give poppr's groups and poppr's lineage
// numbers in every case, those where the order of tied merges decides
// included.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/lineages/mlg_clustering.h"
#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "sheet/table_file.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

struct PopprGroups {
  std::vector<std::string> samples;  // in poppr's order of the units
  std::map<std::pair<std::string, std::string>, std::vector<int>> labels;  // (linkage, T)
};

std::vector<std::string> SplitLine(const std::string& line, char separator) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  std::string cell;
  while (std::getline(in, cell, separator)) cells.push_back(cell);
  return cells;
}

PopprGroups ReadPopprGroups(const std::string& dataset) {
  PopprGroups g;
  std::ifstream in(std::string(VIRELTAN_TEST_DATA_DIR) + "/poppr_mll_partitions.csv");
  std::string line;
  std::getline(in, line);  // dataset,distance,linkage,threshold,sample,poppr_mll
  while (std::getline(in, line)) {
    std::vector<std::string> c = SplitLine(line, ',');
    if (c.size() != 6 || c[0] != dataset) continue;
    std::vector<int>& labels = g.labels[{c[2], c[3]}];
    if (g.labels.size() == 1) g.samples.push_back(c[4]);
    labels.push_back(std::stoi(c[5]));
  }
  return g;
}

// The data file's units in poppr's order (the samples listed; poppr read
// them grouped by population), written as a data file of the program.
std::string Reordered(const std::string& source, const std::vector<std::string>& samples,
                      const std::string& target) {
  std::ifstream in(source);
  std::string header, line;
  std::getline(in, header);
  std::map<std::string, std::string> rowOf;
  while (std::getline(in, line))
    if (!line.empty()) rowOf[line.substr(0, line.find('\t'))] = line;
  std::ofstream out(target);
  out << samples.size() << header.substr(header.find('\t')) << '\n';
  for (const std::string& s : samples) out << rowOf.at(s) << '\n';
  return target;
}

// Equal up to the numbering of the groups.
bool SamePartition(const std::vector<int>& a, const std::vector<int>& b) {
  if (a.size() != b.size()) return false;
  std::map<int, int> ab, ba;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ab.try_emplace(a[i], b[i]).first->second != b[i]) return false;
    if (ba.try_emplace(b[i], a[i]).first->second != a[i]) return false;
  }
  return true;
}

struct Case {
  const char* dataset;
  const char* file;  // under tests/data or examples
  bool example;
};

class PopprPartitions : public ::testing::TestWithParam<Case> {};

TEST_P(PopprPartitions, SameGroupsAndNumbers) {
  const Case& c = GetParam();
  PopprGroups poppr = ReadPopprGroups(c.dataset);
  ASSERT_EQ(poppr.labels.size(), 12u);
  testing::TempDir dir;
  std::string source =
      std::string(c.example ? VIRELTAN_EXAMPLES_DIR : VIRELTAN_TEST_DATA_DIR) + "/" + c.file;
  Book book;
  ASSERT_TRUE(ReadTableFile(Reordered(source, poppr.samples, dir.file("d.txt")), book).ok());
  Dataset dataset;
  DatasetReadReport report;
  ASSERT_TRUE(ReadDataset(book.first(), "d", dataset, report).ok());
  ASSERT_EQ(dataset.sampleCount, static_cast<int>(poppr.samples.size()));
  MlgPartition mlgs = IdentifyMlgs(dataset);
  MlgDistanceTable table(dataset, mlgs, MlgDistanceKind::kAllelic);
  NullProgressSink progress;
  int same = 0;
  for (const auto& [key, labels] : poppr.labels) {
    ClusterOptions options;
    ASSERT_TRUE(ParseLinkage(key.first, options.linkage));
    SetUnitsOfMlgs(dataset, mlgs, options);
    LineagePartition lineages;
    ASSERT_TRUE(ClusterMlgs(table, options, std::stod(key.second), progress, lineages).ok());
    // The stored numbers rank poppr's lineage numbers (the numbers of the
    // MLGs that survived) from 1: rank ours alike.
    std::vector<int> sorted = lineages.numbers;
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> ours;
    for (int su = 0; su < dataset.sampleCount; ++su) {
      const int number = lineages.numbers[lineages.lineageOfMlg[mlgs.mlgOfSu[su] - 1] - 1];
      ours.push_back(static_cast<int>(std::lower_bound(sorted.begin(), sorted.end(), number) -
                                      sorted.begin()) +
                     1);
    }
    const std::string where = key.first + " T = " + key.second;
    EXPECT_EQ(ours, labels) << where;
    same += ours == labels;
    // The tie report agrees: where the lowest-MLG order groups otherwise,
    // it says that the order of tied merges decides.
    ClusterOptions lowest = options;
    lowest.ties = TieRule::kLowestMlg;
    LineagePartition other;
    ASSERT_TRUE(ClusterMlgs(table, lowest, std::stod(key.second), progress, other).ok());
    if (!SamePartition(lineages.lineageOfMlg, other.lineageOfMlg)) {
      EXPECT_NE(options.linkage, Linkage::kNearest) << where;
      EXPECT_TRUE(lineages.ties.changes) << where;
    }
  }
  RecordProperty("same_as_poppr", same);
  EXPECT_EQ(same, 12);
}

// poppr's order of MLGs, worked by hand: the alleles of a locus are columns
// in the order they first appear (locus 1: 120, 122, 124; locus 2: 130,
// 132), a genotype is its row of counts, and rows sort as strings, a
// locus missing an allele ("NA") after any count.
//   unit 1: 1 1 0 | 2 0      unit 4: 1 1 0 | 0 2
//   unit 2: 0 1 1 | 1 1      unit 5: NA    | 2 0
//   unit 3: 2 0 0 | 0 2
// Sorted: 2, 4, 1, 3, 5.
TEST(PopprMlgOrder, SortsCountRowsWithAllelesInOrderOfAppearance) {
  Sheet sheet = testing::SheetFromRows({{"5", "", "", "2", "2", "A", "B"},
                                        {"u1", "0", "0", "120122", "130130"},
                                        {"u2", "0", "0", "122124", "130132"},
                                        {"u3", "0", "0", "120120", "132132"},
                                        {"u4", "0", "0", "120122", "132132"},
                                        {"u5", "0", "0", "120999", "130130"}});
  Dataset dataset;
  DatasetReadReport report;
  Status read = ReadDataset(sheet, "d", dataset, report);
  ASSERT_TRUE(read.ok()) << read.message();
  MlgPartition mlgs = IdentifyMlgs(dataset);
  ASSERT_EQ(mlgs.mlgCount, 5);
  const std::vector<int> rank = PopprMlgOrder(dataset, mlgs);
  std::vector<int> rankOfUnit;
  for (int su = 0; su < 5; ++su) rankOfUnit.push_back(rank[mlgs.mlgOfSu[su] - 1]);
  EXPECT_EQ(rankOfUnit, (std::vector<int>{2, 0, 3, 1, 4}));
}

INSTANTIATE_TEST_SUITE_P(Datasets, PopprPartitions,
                         ::testing::Values(Case{"pramorum_curry", "pramorum_curry.txt", false},
                                           Case{"seagrass_meadow", "seagrass_meadow.txt", true},
                                           Case{"nancycats_colonies_complete",
                                                "nancycats_colonies.txt", false}),
                         [](const auto& info) { return std::string(info.param.dataset); });

}  // namespace
}  // namespace vireltan
