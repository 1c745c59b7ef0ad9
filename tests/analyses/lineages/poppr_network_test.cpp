// SPDX-License-Identifier: GPL-3.0-or-later
// Minimum spanning networks against poppr 2.9.7's poppr.msn on two datasets
// (the edges it drew, in tests/data/poppr_msn_edges.csv): the tree alone
// (ties none) and the tree with poppr's tied edges (ties poppr) are poppr's,
// edge for edge.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include "analyses/distance/mlg_distance_table.h"
#include "analyses/lineages/spanning_network.h"
#include "dataset/dataset_reader.h"
#include "dataset/mlg_identification.h"
#include "sheet/table_file.h"

namespace vireltan {
namespace {

// Cells of a CSV line whose text cells are quoted.
std::vector<std::string> CsvCells(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

// An edge as the pair of MLG numbers it joins, smaller first, and its
// distance.
using Edge = std::tuple<int, int, double>;

struct Case {
  const char* dataset;
  const char* file;
  bool example;  // under examples/, else tests/data
  const char* ties;
  size_t edges;  // poppr's count
  size_t treeEdges;
};

class PopprNetworks : public ::testing::TestWithParam<Case> {};

TEST_P(PopprNetworks, SameEdgesAsPoppr) {
  const Case& c = GetParam();
  Book book;
  const std::string path =
      std::string(c.example ? VIRELTAN_EXAMPLES_DIR : VIRELTAN_TEST_DATA_DIR) + "/" + c.file;
  ASSERT_TRUE(ReadTableFile(path, book).ok());
  Dataset dataset;
  DatasetReadReport report;
  ASSERT_TRUE(ReadDataset(book.first(), "d", dataset, report).ok());
  const MlgPartition mlgs = IdentifyMlgs(dataset);
  std::map<std::string, int> mlgOfUnit;
  for (int su = 0; su < dataset.sampleCount; ++su)
    mlgOfUnit[dataset.designationText(su)] = mlgs.mlgOfSu[su];

  std::set<Edge> poppr;
  std::ifstream in(std::string(VIRELTAN_TEST_DATA_DIR) + "/poppr_msn_edges.csv");
  std::string line;
  std::getline(in, line);  // dataset, ties, unit_a, unit_b, distance
  while (std::getline(in, line)) {
    const std::vector<std::string> cell = CsvCells(line);
    ASSERT_EQ(cell.size(), 5u) << line;
    if (cell[0] != c.dataset || cell[1] != c.ties) continue;
    const int a = mlgOfUnit.at(cell[2]), b = mlgOfUnit.at(cell[3]);
    poppr.insert({std::min(a, b), std::max(a, b), std::stod(cell[4])});
  }
  ASSERT_EQ(poppr.size(), c.edges);

  NetworkTies ties;
  ASSERT_TRUE(ParseNetworkTies(c.ties, ties));
  MlgDistanceTable table(dataset, mlgs, MlgDistanceKind::kAllelic);
  NullProgressSink progress;
  SpanningNetwork network;
  ASSERT_TRUE(BuildSpanningNetwork(table, ties, PopprNodeOrder(mlgs.mlgOfSu, mlgs.mlgCount),
                                   progress, network)
                  .ok());
  std::set<Edge> ours;
  size_t tree = 0;
  for (const SpanningEdge& e : network.edges) {
    ours.insert({e.from, e.to, e.distance});
    tree += e.inTree;
  }
  EXPECT_EQ(ours, poppr);
  EXPECT_EQ(tree, c.treeEdges);
  EXPECT_EQ(network.treeEdgeCount, static_cast<int>(c.treeEdges));
}

INSTANTIATE_TEST_SUITE_P(
    Datasets, PopprNetworks,
    ::testing::Values(Case{"pramorum_curry", "pramorum_curry.txt", false, "none", 69, 69},
                      Case{"pramorum_curry", "pramorum_curry.txt", false, "poppr", 203, 69},
                      Case{"seagrass_meadow", "seagrass_meadow.txt", true, "none", 24, 24},
                      Case{"seagrass_meadow", "seagrass_meadow.txt", true, "poppr", 28, 24}),
    [](const auto& info) { return std::string(info.param.dataset) + "_" + info.param.ties; });

// Distinct MLGs at distance 0 (they differ only where an allele is missing):
// poppr leaves them unconnected; here they are joined at length 0, and the
// tree spans every node.
TEST(PopprNetworkRule, JoinsMlgsAtDistanceZero) {
  struct Rows : MlgDistanceRows {
    std::vector<std::vector<double>> d;
    int mlgCount() const override { return static_cast<int>(d.size()); }
    void FillRow(int j, int first, std::vector<double>& row) const override {
      for (int k = first; k <= mlgCount(); ++k) row[k - 1] = d[j - 1][k - 1];
    }
  } rows;
  rows.d = {{0, 0, 2, 3}, {0, 0, 2, 3}, {2, 2, 0, 1}, {3, 3, 1, 0}};
  NullProgressSink progress;
  SpanningNetwork network;
  ASSERT_TRUE(BuildSpanningNetwork(rows, NetworkTies::kPoppr, {}, progress, network).ok());
  // The tree: 1-2 at 0, 3-4 at 1 and one of 1-3 and 2-3 at 2. Nodes 1 and 2
  // have a shortest tree edge of 0, nodes 3 and 4 of 1: no ties.
  ASSERT_EQ(network.edges.size(), 3u);
  EXPECT_EQ(network.treeEdgeCount, 3);
  EXPECT_DOUBLE_EQ(network.treeWeight, 3);
  const SpanningEdge& first = network.edges.front();
  EXPECT_EQ(Edge(first.from, first.to, first.distance), Edge(1, 2, 0));
}

// poppr's ties, worked by hand on a square of four nodes with sides at 1
// and diagonals at 2, taken in the order 4, 3, 2, 1: the tree takes three
// sides, and every node's shortest tree edge is 1, so the ties add the
// fourth side and no diagonal.
TEST(PopprNetworkRule, TiesCloseTheSquare) {
  struct Rows : MlgDistanceRows {
    std::vector<std::vector<double>> d;
    int mlgCount() const override { return static_cast<int>(d.size()); }
    void FillRow(int j, int first, std::vector<double>& row) const override {
      for (int k = first; k <= mlgCount(); ++k) row[k - 1] = d[j - 1][k - 1];
    }
  } rows;
  // Square 1-2-4-3-1 at 1, diagonals 1-4 and 2-3 at 2.
  rows.d = {{0, 1, 1, 2}, {1, 0, 2, 1}, {1, 2, 0, 1}, {2, 1, 1, 0}};
  NullProgressSink progress;
  SpanningNetwork none, poppr;
  const std::vector<int> rank = {3, 2, 1, 0};
  ASSERT_TRUE(BuildSpanningNetwork(rows, NetworkTies::kNone, rank, progress, none).ok());
  ASSERT_TRUE(BuildSpanningNetwork(rows, NetworkTies::kPoppr, rank, progress, poppr).ok());
  EXPECT_EQ(none.treeEdgeCount, 3);
  EXPECT_DOUBLE_EQ(none.treeWeight, 3);
  ASSERT_EQ(poppr.edges.size(), 4u);
  for (const SpanningEdge& e : poppr.edges) EXPECT_EQ(e.distance, 1) << e.from << "-" << e.to;
}

}  // namespace
}  // namespace vireltan
