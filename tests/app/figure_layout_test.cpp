// SPDX-License-Identifier: GPL-3.0-or-later
// Figures laid out for their printed size: at 80 x 60 mm every chart kind of
// the example keeps its texts whole and its tick labels at 8 pt; files are
// written whole or not at all.
#include <gtest/gtest.h>

#include <QtCharts/QChart>
#include <QtCore/QRegularExpression>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/qt_chart_renderer.h"
#include "charts/network_chart.h"
#include "session/chart_files.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

using vireltan::testing::ReadWholeFile;
using vireltan::testing::TempDir;

FigureOptions Column() {
  FigureOptions o;
  o.widthMm = 80;
  o.heightMm = 60;
  o.dpi = 600;
  return o;
}

// Every chart kind the example draws, as the analyses describe them.
class FigureLayoutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RecordingMessageSink messages;
    NullProgressSink progress;
    Session session(messages, progress);
    TempDir dir;
    std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt",
                               dir.file("meadow.txt"));
    session.SetSeed(1);
    ASSERT_TRUE(session.Open(dir.file("meadow.txt")).ok());
    auto keep = [&](Status s, ChartRole role) {
      ASSERT_TRUE(s.ok()) << s.message();
      charts_->push_back(session.chart(role));
    };
    charts_ = new std::vector<ChartData>;
    keep(session.MlgMap("m"), ChartRole::kMap);
    keep(session.Pareto(), ChartRole::kPareto);
    keep(session.ResampleLoci(50), ChartRole::kSamplingEffort);
    keep(session.AllelicDistances(), ChartRole::kAllelicHistogram);
    keep(session.MicrosatelliteDistances(), ChartRole::kMicrosatHistogram);
    keep(session.ClonalSubrange(5), ChartRole::kSubrange);
    AutocorrelationOptions a;
    a.equalCountClasses = true;
    a.classCountText = "5";
    a.permutationsText = "20";
    keep(session.SpatialAutocorrelation(a), ChartRole::kCorrelogram);
    ASSERT_TRUE(session.PopulationSummaryTest(0, false, 50).ok());
    ASSERT_FALSE(session.associationCharts().empty());
    charts_->push_back(session.associationCharts().back());
    ASSERT_TRUE(session.SpanningNetwork(MlgDistanceKind::kAllelic, false).ok());
    network_ = new NetworkChart(session.lineages().network);
  }
  static void TearDownTestSuite() {
    delete charts_;
    delete network_;
  }
  static std::vector<ChartData>* charts_;
  static NetworkChart* network_;
};
std::vector<ChartData>* FigureLayoutTest::charts_ = nullptr;
NetworkChart* FigureLayoutTest::network_ = nullptr;

bool IsTickLabel(const QString& text) {
  static const QRegularExpression number("^-?[0-9][0-9,]*(\\.[0-9]+)?$");
  return number.match(text).hasMatch();
}

// The most significant digits of a decimal number in `text`.
int MostSignificantDigits(const QString& text) {
  static const QRegularExpression decimal("[0-9]+\\.[0-9]+");
  int most = 0;
  for (const auto& m : decimal.globalMatch(text)) {
    QString digits = m.captured().remove('.');
    while (digits.startsWith('0')) digits.remove(0, 1);
    most = std::max(most, static_cast<int>(digits.size()));
  }
  return most;
}

TEST_F(FigureLayoutTest, EveryChartKeepsItsTextsWholeAndTicksAtEightPoints) {
  ASSERT_EQ(charts_->size(), 8u);
  for (const FigureOptions& size : {Column(), [] {
                                      FigureOptions page = Column();
                                      page.widthMm = 170;
                                      page.heightMm = 120;
                                      return page;
                                    }()}) {
    for (const ChartData& chart : *charts_) {
      const auto laidOut = QtChartRenderer::LayOut(chart, size);
      const std::vector<FigureText> texts = QtChartRenderer::Texts(*laidOut);
      int ticks = 0;
      bool titleShown = false;
      for (const FigureText& t : texts) {
        EXPECT_FALSE(t.text.contains(QChar(0x2026)) || t.text.contains("..."))
            << chart.title << ": " << t.text.toStdString();
        // Numbers on figures: at most four significant digits.
        EXPECT_LE(MostSignificantDigits(t.text), 4) << t.text.toStdString();
        if (IsTickLabel(t.text)) {
          ++ticks;
          EXPECT_DOUBLE_EQ(t.points, 8) << chart.title << ": " << t.text.toStdString();
        } else {
          // Titles at 9 pt, legends and notes at 8 pt or, to fit a
          // column's figure, down to 6 pt.
          EXPECT_TRUE(t.points >= 6 && t.points <= 9) << t.text.toStdString() << " " << t.points;
        }
        titleShown = titleShown || (t.points == 9 && chart.title.find(t.text.toStdString()) == 0);
      }
      // Two axes of at least three ticks each (the map: four).
      EXPECT_GE(ticks, chart.role == ChartRole::kMap ? 8 : 6) << chart.title;
      EXPECT_TRUE(titleShown || chart.title.empty()) << chart.title;
    }
  }
}

TEST_F(FigureLayoutTest, TheTitleCanBeLeftOut) {
  FigureOptions o = Column();
  o.showTitle = false;
  const ChartData& map = charts_->front();
  for (const FigureText& t : QtChartRenderer::Texts(*QtChartRenderer::LayOut(map, o)))
    EXPECT_EQ(map.title.find(t.text.toStdString()), std::string::npos) << t.text.toStdString();
}

TEST_F(FigureLayoutTest, TheNetworkIsLaidOutInPointsAndMillimetres) {
  std::vector<NetworkText> texts;
  NetworkChart withTies = *network_;
  withTies.showTiedAlternatives = true;
  const std::string svg = NetworkSvg(withTies, Column(), &texts);
  EXPECT_NE(svg.find("width=\"80.00mm\" height=\"60.00mm\""), std::string::npos);
  // Title and labels at the figure's sizes; the legend down to 6 pt where
  // a quarter of the figure is short.
  for (const NetworkText& t : texts) {
    EXPECT_EQ(t.text.find("\u2026"), std::string::npos) << t.text;
    EXPECT_TRUE(t.points >= 6 && t.points <= 9) << t.text;
  }
  // One tree solid: as many solid edges as nodes less one; the others dashed.
  NetworkChart marked = *network_;
  MarkOneSpanningTree(marked);
  size_t solid = 0;
  for (const NetworkEdge& e : marked.edges) solid += !e.tiedAlternative;
  EXPECT_EQ(solid, marked.nodes.size() - 1);
  const size_t dashed = marked.edges.size() - solid;
  size_t drawnDashed = 0;
  for (size_t at = svg.find("stroke-dasharray"); at != std::string::npos;
       at = svg.find("stroke-dasharray", at + 1))
    ++drawnDashed;
  EXPECT_EQ(drawnDashed, dashed + (dashed > 0 ? 1 : 0));  // and its legend sample
  // Legends for the node sizes and distances.
  EXPECT_NE(svg.find(">Units:<"), std::string::npos);
  EXPECT_NE(svg.find(">Distance:<"), std::string::npos);
}

TEST_F(FigureLayoutTest, SvgStatesThePhysicalSize) {
  FigureBytes bytes;
  FigureOptions o = Column();
  o.png = false;
  ASSERT_TRUE(QtChartRenderer().RenderFigure(charts_->at(1), o, bytes).ok());
  const size_t header = bytes.svg.find("<svg");
  ASSERT_NE(header, std::string::npos);
  const std::string open = bytes.svg.substr(header, bytes.svg.find('>', header) - header);
  EXPECT_NE(open.find("width=\"80mm\""), std::string::npos) << open;
  EXPECT_NE(open.find("height=\"60mm\""), std::string::npos) << open;
  EXPECT_NE(open.find("viewBox"), std::string::npos) << open;
}

// The maps of a 24 x 32 km UTM survey with many clones and of the example
// meadow, at one journal column and at a page's width: texts whole, tick
// labels apart from each other and from the axis titles, the plot not
// squeezed by the legend, and the legend whole (a heading, the eight largest
// clones and "other MLGs") at every size.
TEST(MapFigure, KeepsItsTextsWholeApartAndThePlotLarge) {
  struct Case {
    std::string file;
    double widthMm, heightMm;
    size_t legendEntries;  // heading, clones, "other MLGs"
  } cases[] = {{std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt", 80, 60, 10},
               {std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt", 170, 120, 10},
               {std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt", 80, 60, 10},
               {std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt", 170, 120, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " at " + std::to_string(c.widthMm) + " mm");
    RecordingMessageSink messages;
    NullProgressSink progress;
    Session session(messages, progress);
    TempDir dir;
    std::filesystem::copy_file(c.file, dir.file("d.txt"));
    ASSERT_TRUE(session.Open(dir.file("d.txt")).ok());
    ASSERT_TRUE(session.MlgMap("").ok());
    FigureOptions size = Column();
    size.widthMm = c.widthMm;
    size.heightMm = c.heightMm;
    const auto laidOut = QtChartRenderer::LayOut(session.chart(ChartRole::kMap), size);
    const std::vector<FigureText> texts = QtChartRenderer::Texts(*laidOut);
    std::vector<QRectF> ticks, titles;
    size_t legend = 0;
    bool other = false;
    for (const FigureText& t : texts) {
      EXPECT_FALSE(t.text.contains(QChar(0x2026)) || t.text.contains("..."))
          << t.text.toStdString();
      if (IsTickLabel(t.text)) ticks.push_back(t.rect);
      if (t.text.contains("coordinate") || t.text.startsWith("X") || t.text.startsWith("Y"))
        titles.push_back(t.rect);
      static const QRegularExpression entry("^[0-9]+ \\([0-9]+\\)$");
      legend += entry.match(t.text).hasMatch() || t.text == "MLG (units)";
      other = other || t.text == "other MLGs";
    }
    EXPECT_EQ(titles.size(), 2u);
    EXPECT_GE(ticks.size(), 5u);  // a scale on each axis (3 up, 2 across at least)
    EXPECT_TRUE(other);
    EXPECT_EQ(legend + 1, c.legendEntries);
    // Qt's text items carry a margin of a couple of units around the glyphs.
    auto inked = [](const QRectF& r) { return r.adjusted(2, 2, -2, -2); };
    for (size_t i = 0; i < ticks.size(); ++i) {
      for (size_t j = i + 1; j < ticks.size(); ++j)
        EXPECT_FALSE(inked(ticks[i]).intersects(inked(ticks[j]))) << "ticks " << i << ", " << j;
      for (const QRectF& title : titles) EXPECT_FALSE(inked(ticks[i]).intersects(title));
    }
    const QRectF plot = laidOut->chart->plotArea();
    const QRectF figure = laidOut->area;
    // (0.4: at 80 mm the UTM map's turned x tick labels and its two-line
    // note take a third of the height.)
    EXPECT_TRUE(plot.width() >= 0.4 * figure.width() || plot.height() >= 0.4 * figure.height())
        << plot.width() << " x " << plot.height();
  }
}

// Four units at (1e9, 0), (0, 0), (0, 1), (1, 1): one span dwarfs the other.
// The map is laid out at once with a bounded number of ticks.
TEST(FigureBounds, AMapOfHugelyUnequalSpansIsQuickAndSmall) {
  for (double far : {1e9, 1e4}) {
    ChartData map = DefaultChart(ChartRole::kMap);
    map.equalScale = true;
    map.series[0].points = {{far, 0, "1", ""}, {0, 0, "2", ""}, {0, 1, "3", ""}, {1, 1, "4", ""}};
    const auto laidOut = QtChartRenderer::LayOut(map, Column());
    int ticks = 0;
    for (const FigureText& t : QtChartRenderer::Texts(*laidOut)) ticks += IsTickLabel(t.text);
    EXPECT_GE(ticks, 6) << far;
    EXPECT_LE(ticks, 60) << far;
  }
}

TEST(FigureBounds, ImagesBeyondThePixelLimitAreRefusedBeforeDrawing) {
  FigureOptions o;
  o.widthMm = 500;
  o.heightMm = 500;
  o.dpi = 1200;  // 23,622 pixels on a side
  Status s = CheckFigureSize(o);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.message().find("20,000"), std::string::npos) << s.message();
  o.png = false;  // vector files have no pixels
  EXPECT_TRUE(CheckFigureSize(o).ok());
}

// A name of a mebibyte in a legend, a title and a network: laid out and
// saved at once, drawn shortened with "…" (the bound only tells a
// finished layout from one that runs for minutes).
TEST(FigureBounds, AHugeNameIsDrawnShortened) {
  const std::string huge = std::string(1 << 19, 'p') + " " + std::string(1 << 19, 'q');
  const auto start = std::chrono::steady_clock::now();
  ChartData map = DefaultChart(ChartRole::kMap);
  map.title = "Map of " + huge;
  map.series[0].points = {{0, 0, "1", ""}, {1, 1, "2", ""}};
  map.series[0].legend = huge;
  map.legendTitle = huge;
  map.bottom.title = huge;
  const auto laidOut = QtChartRenderer::LayOut(map, Column());
  size_t shortened = 0;
  for (const FigureText& t : QtChartRenderer::Texts(*laidOut)) {
    EXPECT_LE(t.text.size(), 400) << t.text.left(50).toStdString();
    shortened += t.text.contains(QChar(0x2026));
  }
  EXPECT_GE(shortened, 2u);
  TempDir dir;
  FigureOptions o = Column();
  o.png = false;
  QtChartRenderer renderer;
  ASSERT_TRUE(SaveChartFiles(renderer, map, dir.file("map"), o).ok());
  NetworkChart network;
  network.title = huge;
  network.groups = {huge, "two"};
  network.nodes = {{1, 2, 0, 0, {{huge, 2}}}, {2, 1, 1, 1, {{"two", 1}}}};
  network.edges = {{0, 1, 3}};
  ASSERT_TRUE(SaveNetworkFiles(renderer, network, dir.file("net"), o).ok());
  for (const char* file : {"map.svg", "net.svg"}) {
    const std::string svg = ReadWholeFile(dir.file(file));
    EXPECT_LT(svg.size(), 200000u) << file;
    EXPECT_NE(svg.find("ppp\xE2\x80\xA6"), std::string::npos) << file;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
}

// A population name holding byte 0x01 must not replace an earlier network
// drawing with a file XML readers reject.
TEST(FigureFiles, AControlCharacterInANameLeavesAValidDrawing) {
  TempDir dir;
  const std::string old = dir.file("d.msn.svg");
  std::ofstream(old) << "<svg>old</svg>\n";
  NetworkChart network;
  network.title = "net";
  network.groups = {"pop\x01one", "two"};
  network.nodes = {{1, 2, 0, 0, {{"pop\x01one", 2}}}, {2, 1, 1, 1, {{"two", 1}}}};
  network.edges = {{0, 1, 3}};
  FigureOptions o;
  o.png = false;
  QtChartRenderer renderer;
  ASSERT_TRUE(SaveNetworkFiles(renderer, network, dir.file("d.msn"), o).ok());
  std::ifstream in(old);
  const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(IsCompleteSvg(svg));
  EXPECT_NE(svg.find("popone"), std::string::npos);
  // A drawing that is not whole is refused and the old file kept.
  class Broken : public ChartRenderer {
   public:
    Status RenderFigure(const ChartData&, const FigureOptions&, FigureBytes& out) override {
      out.svg = "<svg>\x01</svg>";
      return Status::Ok();
    }
    Status RenderSvgDrawing(const std::string&, const FigureOptions&, FigureBytes&) override {
      return Status::Ok();
    }
  } broken;
  const std::string chartPath = dir.file("c.svg");
  std::ofstream(chartPath) << "<svg>kept</svg>\n";
  EXPECT_FALSE(SaveChartFiles(broken, DefaultChart(ChartRole::kPareto), dir.file("c"), o).ok());
  std::ifstream kept(chartPath);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()),
            "<svg>kept</svg>\n");
}

}  // namespace
}  // namespace vireltan::app
