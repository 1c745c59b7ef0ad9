// SPDX-License-Identifier: GPL-3.0-or-later
// The minimum spanning network as printed: the tree's edges never cross,
// labels never overlap nor leave the figure, the largest node is labelled,
// the legend keeps to a quarter of the figure and tells at most eight
// colours apart; at a journal's column (80 x 60 mm) as at a page
// (170 x 120 mm), on the data that once made a tangle (pramorum_curry,
// 70 MLGs) and a blob (nancycats_colonies, 237 MLGs in 17 colonies).
#include "charts/network_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "charts/balloon_tree_layout.h"
#include "charts/planar_relaxation.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;

FigureOptions Size(double width, double height) {
  FigureOptions o;
  o.widthMm = width;
  o.heightMm = height;
  return o;
}

// Crossings between drawn tree edges of a laid-out network.
int TreeCrossings(const NetworkChart& chart, const NetworkLayout& layout) {
  std::vector<TreePoint> at;
  for (size_t i = 0; i < layout.x.size(); ++i) at.push_back({layout.x[i], layout.y[i]});
  std::vector<TreeEdgeLength> tree;
  for (size_t e = 0; e < chart.edges.size(); ++e)
    if (!layout.tied[e]) tree.push_back({chart.edges[e].from, chart.edges[e].to, 0});
  return CountCrossings(at, tree);
}

int OverlappingLabels(const NetworkLayout& layout) {
  int overlaps = 0;
  for (size_t a = 0; a < layout.labels.size(); ++a)
    for (size_t b = a + 1; b < layout.labels.size(); ++b)
      overlaps += layout.labels[a].box.Overlaps(layout.labels[b].box);
  return overlaps;
}

// The networks of the two datasets, built once.
class PrintedNetwork : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (pramorum_) return;  // the sized suite shares them
    pramorum_ = new NetworkChart;
    nancycats_ = new NetworkChart;
    longNames_ = new NetworkChart;
    Build("pramorum_curry.txt", kNone, *pramorum_);
    Build("nancycats_colonies.txt", kColonies, *nancycats_);
    Build("nancycats_colonies.txt", kLongNames, *longNames_);
  }
  static void TearDownTestSuite() {
    delete pramorum_;
    delete nancycats_;
    delete longNames_;
    pramorum_ = nancycats_ = longNames_ = nullptr;
  }
  // Populations: none; the colonies file (P01 to P17); or each cat's
  // colony named by its x coordinate ("colony263.34"), too long for a
  // quarter of a column at 8 pt.
  enum Populations { kNone, kColonies, kLongNames };
  // Opens a copy of the dataset with its populations and builds the
  // network.
  static void Build(const std::string& file, Populations populations, NetworkChart& chart) {
    TempDir dir;
    std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/" + file, dir.path() / file);
    RecordingMessageSink messages;
    NullProgressSink progress;
    Session session(messages, progress);
    ASSERT_TRUE(session.Open(dir.file(file)).ok());
    if (populations == kColonies)
      ASSERT_TRUE(session
                      .LoadPopulations(std::string(VIRELTAN_TEST_DATA_DIR) +
                                       "/peers/popgen/nancycats_colonies.populations.txt")
                      .ok());
    if (populations == kLongNames) {
      std::ifstream in(dir.path() / file);
      std::ofstream strata(dir.path() / "colonies.txt");
      std::string name, x, rest;
      std::getline(in, rest);
      while (std::getline(in, name, '\t') && std::getline(in, x, '\t') && std::getline(in, rest))
        strata << name << "\tcolony" << x.substr(0, 6) << '\n';
      strata.close();
      ASSERT_TRUE(session.LoadPopulations(dir.file("colonies.txt")).ok());
    }
    ASSERT_TRUE(session.SpanningNetwork(MlgDistanceKind::kAllelic, false).ok());
    chart = session.lineages().network;
  }
  static const NetworkChart& Named(const std::string& name) {
    return name == "pramorum" ? *pramorum_ : name == "nancycats" ? *nancycats_ : *longNames_;
  }
  static NetworkChart* pramorum_;
  static NetworkChart* nancycats_;
  static NetworkChart* longNames_;
};
NetworkChart* PrintedNetwork::pramorum_ = nullptr;
NetworkChart* PrintedNetwork::nancycats_ = nullptr;
NetworkChart* PrintedNetwork::longNames_ = nullptr;

TEST_F(PrintedNetwork, TheDatasetsAreAsLarge) {
  EXPECT_EQ(pramorum_->nodes.size(), 70u);
  EXPECT_EQ(nancycats_->nodes.size(), 237u);
  std::set<std::string> colonies;
  for (const NetworkNode& node : nancycats_->nodes)
    for (const NetworkSlice& s : node.slices) colonies.insert(s.group);
  EXPECT_EQ(colonies.size(), 17u);
}

struct PrintCase {
  const char* dataset;
  double width, height;
};

class PrintedNetworkAtSize : public PrintedNetwork,
                             public ::testing::WithParamInterface<PrintCase> {};

TEST_P(PrintedNetworkAtSize, HasNoCrossingsNoOverlapsAndASmallLegend) {
  const PrintCase c = GetParam();
  const NetworkChart& chart = Named(c.dataset);
  const NetworkLayout layout = LayOutNetwork(chart, Size(c.width, c.height));
  ASSERT_EQ(layout.x.size(), chart.nodes.size());
  EXPECT_EQ(TreeCrossings(chart, layout), 0);
  EXPECT_EQ(OverlappingLabels(layout), 0);
  // Labels inside the figure, clear of the legend.
  for (const NetworkLabel& l : layout.labels) {
    EXPECT_GE(l.box.x0, 0) << l.text;
    EXPECT_GE(l.box.y0, 0) << l.text;
    EXPECT_LE(l.box.x1, c.width) << l.text;
    EXPECT_LE(l.box.y1, c.height) << l.text;
    EXPECT_FALSE(l.box.Overlaps(layout.legend)) << l.text;
  }
  // Nodes inside the plot.
  for (size_t i = 0; i < layout.x.size(); ++i) {
    EXPECT_GE(layout.x[i] - layout.radius[i], layout.plot.x0 - 1e-6);
    EXPECT_LE(layout.x[i] + layout.radius[i], layout.plot.x1 + 1e-6);
    EXPECT_GE(layout.y[i] - layout.radius[i], layout.plot.y0 - 1e-6);
    EXPECT_LE(layout.y[i] + layout.radius[i], layout.plot.y1 + 1e-6);
  }
  // The largest node carries its number.
  const auto largest = std::max_element(
      chart.nodes.begin(), chart.nodes.end(),
      [](const NetworkNode& a, const NetworkNode& b) { return a.units < b.units; });
  const int index = static_cast<int>(largest - chart.nodes.begin());
  EXPECT_TRUE(std::any_of(layout.labels.begin(), layout.labels.end(),
                          [&](const NetworkLabel& l) { return l.node == index; }));
  // The legend: beside a wide figure, a quarter of its width at most;
  // below a tall one, a quarter of its height.
  ASSERT_FALSE(layout.legendItems.empty());
  if (c.width > c.height) {
    EXPECT_LE(layout.legend.width() / c.width, 0.25);
    EXPECT_LE(layout.legend.x1, c.width);
  } else {
    EXPECT_LE(layout.legend.height() / c.height, 0.25);
  }
  for (const NetworkLegendItem& item : layout.legendItems) {
    EXPECT_GE(item.textX, layout.legend.x0 - 1e-6) << item.text;
    EXPECT_LE(item.baseline, layout.legend.y1 + 1e-6) << item.text;
  }
  EXPECT_GE(layout.legendPoints, 6);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PrintedNetworkAtSize,
    ::testing::Values(PrintCase{"pramorum", 80, 60}, PrintCase{"pramorum", 170, 120},
                      PrintCase{"pramorum", 60, 80}, PrintCase{"nancycats", 80, 60},
                      PrintCase{"nancycats", 170, 120}, PrintCase{"nancycats", 60, 80},
                      PrintCase{"long colony names", 80, 60},
                      PrintCase{"long colony names", 60, 80}));

// Seventeen colonies: seven colours and "others", each colour once, and
// every node's units in its slices still.
TEST_F(PrintedNetwork, ManyPopulationsShowSevenAndOthers) {
  const NetworkLayout layout = LayOutNetwork(*nancycats_, Size(80, 60));
  std::vector<std::string> swatches;
  std::set<std::string> colours;
  for (const NetworkLegendItem& item : layout.legendItems)
    if (item.kind == NetworkLegendItem::Kind::kSwatch) {
      swatches.push_back(item.text);
      colours.insert(item.colour);
    }
  ASSERT_EQ(swatches.size(), 8u);
  EXPECT_EQ(swatches.back(), OtherPopulationsName(10));
  EXPECT_EQ(colours.size(), 8u);
  for (size_t i = 0; i < nancycats_->nodes.size(); ++i) {
    int units = 0;
    for (const NetworkSlice& s : layout.slices[i]) {
      units += s.count;
      EXPECT_TRUE(layout.colourOf.count(s.group)) << s.group;
    }
    EXPECT_EQ(units, nancycats_->nodes[i].units);
  }
}

// Tied alternatives are drawn only when asked for, and then more edges are.
TEST_F(PrintedNetwork, TiedEdgesAreDrawnOnlyWhenAsked) {
  NetworkChart chart = *pramorum_;
  ASSERT_TRUE(std::any_of(chart.edges.begin(), chart.edges.end(),
                          [](const NetworkEdge& e) { return e.tiedAlternative; }));
  auto lines = [](const std::string& svg) {
    size_t count = 0;
    for (size_t at = svg.find("<line"); at != std::string::npos; at = svg.find("<line", at + 1))
      ++count;
    return count;
  };
  const size_t hidden = lines(NetworkSvg(chart, Size(80, 60)));
  chart.showTiedAlternatives = true;
  const size_t shown = lines(NetworkSvg(chart, Size(80, 60)));
  EXPECT_GT(shown, hidden);
  const NetworkLayout layout = LayOutNetwork(chart, Size(80, 60));
  EXPECT_EQ(TreeCrossings(chart, layout), 0);  // the tree still does not cross
}

// The node table's positions are the drawing's, in mm within the figure;
// the edge list says how each edge is drawn and writes 45/7 as 45/7.
TEST(PrintedNetworkFiles, NodeTableHoldsPositionsAndEdgesHowTheyAreDrawn) {
  TempDir dir;
  std::filesystem::copy_file(std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt",
                             dir.path() / "cats.txt");
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session(messages, progress);
  ASSERT_TRUE(session.Open(dir.file("cats.txt")).ok());
  ASSERT_TRUE(session.SpanningNetwork(MlgDistanceKind::kAllelic, false).ok());
  std::istringstream nodes(ReadWholeFile(dir.file("cats.msn.nodes.csv")));
  std::string line;
  std::getline(nodes, line);
  EXPECT_EQ(line, "node,units,populations,x (mm),y (mm)");
  const FigureOptions figure;  // positions for the figure's default size
  int rows = 0;
  while (std::getline(nodes, line)) {
    ++rows;
    const size_t comma = line.rfind(','), before = line.rfind(',', comma - 1);
    char* end = nullptr;
    const std::string xs = line.substr(before + 1, comma - before - 1);
    const double x = std::strtod(xs.c_str(), &end);
    EXPECT_TRUE(!xs.empty() && *end == '\0') << line;
    const std::string ys = line.substr(comma + 1);
    const double y = std::strtod(ys.c_str(), &end);
    EXPECT_TRUE(!ys.empty() && *end == '\0') << line;
    EXPECT_TRUE(x > 0 && x < figure.widthMm && y > 0 && y < figure.heightMm) << line;
  }
  EXPECT_EQ(rows, 237);

  std::istringstream edges(ReadWholeFile(dir.file("cats.msn.txt")));
  std::getline(edges, line);
  EXPECT_EQ(line, "from\tto\tdistance\tdrawn as");
  int tree = 0, tied = 0;
  bool fortyFiveSevenths = false;
  while (std::getline(edges, line)) {
    std::istringstream fields(line);
    std::string from, to, distance, drawnAs;
    std::getline(fields, from, '\t');
    std::getline(fields, to, '\t');
    std::getline(fields, distance, '\t');
    std::getline(fields, drawnAs, '\t');
    tree += drawnAs == "tree";
    tied += drawnAs == "tied alternative";
    EXPECT_TRUE(drawnAs == "tree" || drawnAs == "tied alternative") << line;
    // A distance with more digits than a float holds is not a float's
    // noise: it differs from the float nearest to it.
    const double d = std::stod(distance);
    if (distance.size() > 10) EXPECT_NE(d, static_cast<double>(static_cast<float>(d))) << line;
    fortyFiveSevenths = fortyFiveSevenths || distance == "6.428571428571429";
  }
  EXPECT_EQ(tree, 236);  // one tree of 237 nodes
  EXPECT_GE(tied, 0);
  EXPECT_TRUE(fortyFiveSevenths);  // 5 alleles apart over 7 of 9 loci
}

// --- The layout's parts on small trees -----------------------------------

struct TreeCase {
  const char* name;
  int n;
  std::vector<std::pair<int, int>> edges;
};

std::vector<TreeCase> TreeCases() {
  std::vector<TreeCase> cases;
  TreeCase star{"star", 30, {}};
  for (int i = 1; i < 30; ++i) star.edges.push_back({0, i});
  cases.push_back(star);
  TreeCase path{"path", 40, {}};
  for (int i = 1; i < 40; ++i) path.edges.push_back({i - 1, i});
  cases.push_back(path);
  TreeCase binary{"binary", 63, {}};
  for (int i = 1; i < 63; ++i) binary.edges.push_back({(i - 1) / 2, i});
  cases.push_back(binary);
  // Two trees, and an edge closing a cycle (left out of the tree).
  cases.push_back({"forest", 6, {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5}}});
  // A random tree: each node hangs from an earlier one.
  TreeCase random{"random", 120, {}};
  std::mt19937 generator(7);
  for (int i = 1; i < 120; ++i)
    random.edges.push_back({static_cast<int>(generator() % static_cast<unsigned>(i)), i});
  cases.push_back(random);
  return cases;
}

class SmallTree : public ::testing::TestWithParam<TreeCase> {};

TEST_P(SmallTree, BalloonsNeitherCrossNorOverlap) {
  const TreeCase& c = GetParam();
  std::vector<TreeEdgeLength> edges;
  for (auto [a, b] : c.edges) edges.push_back({a, b, 3});
  std::vector<double> radius(c.n);
  for (int i = 0; i < c.n; ++i) radius[i] = 0.5 + (i % 4) * 0.5;
  std::vector<TreePoint> at = BalloonTreeLayout(c.n, edges, radius, 1);
  ASSERT_EQ(static_cast<int>(at.size()), c.n);
  EXPECT_EQ(CountCrossings(at, edges), 0) << c.name;
  for (int i = 0; i < c.n; ++i)
    for (int j = i + 1; j < c.n; ++j)
      EXPECT_GE(std::hypot(at[i].x - at[j].x, at[i].y - at[j].y), radius[i] + radius[j])
          << c.name << " " << i << " " << j;
  // Relaxed into a small rectangle: still no crossing, every disc inside.
  PlanarRelaxation box{0, 0, 60, 40, 0.5, 200};
  double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
  for (const TreePoint& p : at) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  const double s = std::min(56 / std::max(1e-9, x1 - x0), 36 / std::max(1e-9, y1 - y0));
  for (TreePoint& p : at) p = {2 + (p.x - x0) * s, 2 + (p.y - y0) * s};
  RelaxPlanarTree(at, std::vector<double>(c.n, 0.3), edges, box);
  EXPECT_EQ(CountCrossings(at, edges), 0) << c.name;
  for (const TreePoint& p : at) {
    EXPECT_TRUE(p.x >= 0 && p.x <= 60 && p.y >= 0 && p.y <= 40) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, SmallTree, ::testing::ValuesIn(TreeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SegmentCrossing, SharedEndsAndTouchingDoNotCount) {
  EXPECT_TRUE(SegmentsCross({0, 0}, {2, 2}, {0, 2}, {2, 0}));
  EXPECT_FALSE(SegmentsCross({0, 0}, {1, 1}, {1, 1}, {2, 0}));   // a shared end
  EXPECT_FALSE(SegmentsCross({0, 0}, {1, 0}, {2, 1}, {2, -1}));  // apart
  EXPECT_FALSE(SegmentsCross({0, 0}, {2, 0}, {1, 0}, {1, 1}));   // touching
}

// Beyond eight populations "others" takes the remaining units; up to
// eight, each has its own colour.
TEST(NetworkColours, EightPopulationsKeepTheirColoursNineFoldTwo) {
  for (int groups : {8, 9}) {
    NetworkChart chart;
    for (int g = 0; g < groups; ++g) chart.groups.push_back("p" + std::to_string(g));
    // Node g holds g + 1 units of population g; node 0 also one of the last.
    for (int g = 0; g < groups; ++g)
      chart.nodes.push_back({g + 1, g + 1, 0, 0, {{chart.groups[g], g + 1}}});
    chart.nodes[0].slices.push_back({chart.groups.back(), 1});
    chart.nodes[0].units += 1;
    for (int g = 1; g < groups; ++g) chart.edges.push_back({g - 1, g, 1});
    const NetworkLayout layout = LayOutNetwork(chart, Size(170, 120));
    std::set<std::string> colours;
    for (const auto& [group, colour] : layout.colourOf) colours.insert(colour);
    EXPECT_EQ(colours.size(), 8u) << groups;
    if (groups == 9) {
      // The two smallest (p0: 1 unit, p1: 2) are folded; node 0 keeps p8.
      EXPECT_FALSE(layout.colourOf.count("p0"));
      EXPECT_FALSE(layout.colourOf.count("p1"));
      ASSERT_EQ(layout.slices[0].size(), 2u);
      EXPECT_EQ(layout.slices[0][0].group, "p8");
      EXPECT_EQ(layout.slices[0][1].group, OtherPopulationsName(2));
      EXPECT_EQ(layout.slices[0][1].count, 1);
    }
  }
}

}  // namespace
}  // namespace vireltan
