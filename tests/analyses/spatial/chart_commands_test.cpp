// SPDX-License-Identifier: GPL-3.0-or-later
// The chart commands of the session: MLG map, Save map and Save Graph, with
// a renderer that records what it is asked to write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "charts/chart_renderer.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan {
namespace {

using testing::Rows;
using testing::TempDir;
using testing::WriteTsv;

class RecordingRenderer : public ChartRenderer {
 public:
  Status RenderFigure(const ChartData& chart, const FigureOptions&, FigureBytes& out) override {
    saved.push_back({chart.role, drawings++});
    if (fail) return Status::Error("disk full");
    out = MinimalFigure();
    // Numbered, so that a test finds which file each drawing went to.
    out.svg = "<svg><!--" + std::to_string(saved.back().number) + "--></svg>";
    return Status::Ok();
  }
  Status RenderSvgDrawing(const std::string&, const FigureOptions&, FigureBytes& out) override {
    out = MinimalFigure();
    return Status::Ok();
  }
  // Files that pass the checks made before writing.
  static FigureBytes MinimalFigure() {
    return {"<svg></svg>",
            std::string("\x89PNG\r\n\x1A\n", 8) + std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12),
            "%PDF-1.4\n%%EOF\n"};
  }
  struct Save {
    ChartRole chart;
    int number;  // of the drawing since the renderer was made
  };
  std::vector<Save> saved;
  int drawings = 0;
  bool fail = false;
};

class ChartCommandsTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  NullProgressSink progress;
  Session session{messages, progress};
  RecordingRenderer renderer;
  TempDir dir;

  void Open(const Rows& rows) {
    WriteTsv(dir.path() / "meadow.txt", rows);
    ASSERT_TRUE(session.Open(dir.file("meadow.txt")).ok());
    messages.messages.clear();
  }
  std::string Prefix() const { return dir.file("meadow"); }
  // The SVG file the k-th drawing was written to.
  std::string SavedPath(size_t k) const {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      std::ifstream in(entry.path());
      std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (content == "<svg><!--" + std::to_string(renderer.saved.at(k).number) + "--></svg>")
        return entry.path().string();
    }
    return "";
  }
  size_t MapPoints() {
    return session.chart(ChartRole::kMap).findSeries(kMapUnitsSeries)->points.size();
  }
};

const Rows kMeadow{{"3", "", "", "1", "2"},
                   {"a", "10", "5", "120124"},
                   {"b", "20", "8", "120124"},
                   {"c", "30", "9", "130130"}};

TEST_F(ChartCommandsTest, MapShowsTheMapAndHidesTheOthers) {
  Open(kMeadow);
  session.chart(ChartRole::kAllelicHistogram).visible = true;
  session.chart(ChartRole::kAllelicHistogram)
      .findSeries(kAllelicBarsSeries)
      ->points.push_back({1, 2, "", ""});
  ASSERT_TRUE(session.MlgMap().ok());
  EXPECT_TRUE(session.chart(ChartRole::kMap).visible);
  for (int n = 1; n < kChartRoleCount; ++n)
    EXPECT_FALSE(session.chart(static_cast<ChartRole>(n)).visible) << n;
  EXPECT_TRUE(
      session.chart(ChartRole::kAllelicHistogram).findSeries(kAllelicBarsSeries)->points.empty());
  EXPECT_EQ(MapPoints(), 3u);
  // Running it again rebuilds the same map instead of adding to it.
  ASSERT_TRUE(session.MlgMap().ok());
  EXPECT_EQ(MapPoints(), 3u);
  // The map's axes follow the data at one scale, with round ticks.
  EXPECT_TRUE(session.chart(ChartRole::kMap).equalScale);
  EXPECT_TRUE(session.chart(ChartRole::kMap).bottom.customLabels.empty());
}

TEST_F(ChartCommandsTest, MapIsRefusedWithoutCoordinatesOrDataset) {
  EXPECT_FALSE(session.MlgMap().ok());
  Open({{"2", "", "", "1", "2"}, {"a", "999", "999", "120124"}, {"b", "999", "999", "130130"}});
  Status s = session.MlgMap();
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("coordinates"), std::string::npos);
  EXPECT_FALSE(session.chart(ChartRole::kMap).visible);
}

TEST_F(ChartCommandsTest, SaveMapWritesPrefixSvgAndKeepsTheMap) {
  Open(kMeadow);
  ASSERT_TRUE(session.MlgMap().ok());
  ASSERT_TRUE(session.SaveMap(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 1u);
  EXPECT_EQ(renderer.saved[0].chart, ChartRole::kMap);
  EXPECT_EQ(SavedPath(0), Prefix() + ".svg");
  EXPECT_TRUE(session.chart(ChartRole::kMap).visible);
  EXPECT_EQ(MapPoints(), 3u);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ChartCommandsTest, SaveMapWithoutMapIsAnError) {
  Open(kMeadow);
  Status s = session.SaveMap(renderer);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("no map to save"), std::string::npos);
  EXPECT_TRUE(renderer.saved.empty());
}

// "map psex save-map": a command after the map hides it from view, but the
// map stays available to Save map.
TEST_F(ChartCommandsTest, TheMapSurvivesLaterCommands) {
  Open(kMeadow);
  ASSERT_TRUE(session.MlgMap("m").ok());
  session.NoteChartsShown();
  session.HideCharts();  // what the next command does first
  session.NoteChartsShown();
  ASSERT_TRUE(session.SaveMap(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 1u);
  EXPECT_EQ(renderer.saved[0].chart, ChartRole::kMap);
  EXPECT_EQ(SavedPath(0), Prefix() + ".svg");
  EXPECT_EQ(session.chart(ChartRole::kMap).bottom.title, "X (m)");
}

TEST_F(ChartCommandsTest, FailedSaveKeepsTheMapForAnotherTry) {
  Open(kMeadow);
  ASSERT_TRUE(session.MlgMap().ok());
  renderer.fail = true;
  Status s = session.SaveMap(renderer);
  EXPECT_FALSE(s.ok());
  EXPECT_TRUE(session.chart(ChartRole::kMap).visible);
  EXPECT_EQ(MapPoints(), 3u);
}

TEST_F(ChartCommandsTest, SaveGraphNamesEachVisibleChartAndCurve) {
  Open(kMeadow);
  struct Case {
    ChartRole chart;
    EffortCurve curve;
    const char* suffix;
  };
  const Case cases[] = {
      {ChartRole::kPareto, EffortCurve::kNone, ".pareto.svg"},
      {ChartRole::kSamplingEffort, EffortCurve::kCombinedIndividuals, ".combiind.svg"},
      {ChartRole::kSamplingEffort, EffortCurve::kCombinedLoci, ".combiloc.svg"},
      {ChartRole::kSamplingEffort, EffortCurve::kResampledIndividuals, ".permind.svg"},
      {ChartRole::kSamplingEffort, EffortCurve::kResampledLoci, ".permloc.svg"},
      {ChartRole::kAllelicHistogram, EffortCurve::kNone, ".gendist.svg"},
      {ChartRole::kMicrosatHistogram, EffortCurve::kNone, ".microsatdist.svg"},
  };
  for (const Case& c : cases) {
    renderer.saved.clear();
    session.chart(c.chart).visible = true;
    session.SetEffortCurve(c.curve);
    ASSERT_TRUE(session.SaveGraph(renderer).ok()) << c.suffix;
    ASSERT_EQ(renderer.saved.size(), 1u) << c.suffix;
    EXPECT_EQ(renderer.saved[0].chart, c.chart);
    EXPECT_EQ(SavedPath(0), Prefix() + c.suffix);
    EXPECT_FALSE(session.chart(c.chart).visible);
    EXPECT_EQ(session.effortCurve(), EffortCurve::kNone) << c.suffix;
  }
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ChartCommandsTest, SaveGraphSavesTheSpatialChartsToo) {
  Open(kMeadow);
  session.chart(ChartRole::kSubrange).visible = true;
  session.chart(ChartRole::kCorrelogram).visible = true;
  ASSERT_TRUE(session.SaveGraph(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 2u);
  EXPECT_EQ(SavedPath(0), Prefix() + ".subrange.svg");
  EXPECT_EQ(SavedPath(1), Prefix() + ".correlogram.svg");
  EXPECT_FALSE(session.chart(ChartRole::kSubrange).visible);
  EXPECT_FALSE(session.chart(ChartRole::kCorrelogram).visible);
}

TEST_F(ChartCommandsTest, SecondSaveGraphAfterCombinationOverLociSavesNothing) {
  Open(kMeadow);
  session.chart(ChartRole::kSamplingEffort).visible = true;
  session.SetEffortCurve(EffortCurve::kCombinedLoci);
  ASSERT_TRUE(session.SaveGraph(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 1u);
  EXPECT_EQ(SavedPath(0), Prefix() + ".combiloc.svg");
  EXPECT_FALSE(session.SaveGraph(renderer).ok());
  EXPECT_EQ(renderer.saved.size(), 1u);
}

TEST_F(ChartCommandsTest, SaveGraphSavesEveryVisibleChartInOrder) {
  Open(kMeadow);
  session.chart(ChartRole::kPareto).visible = true;
  session.chart(ChartRole::kMicrosatHistogram).visible = true;
  ASSERT_TRUE(session.SaveGraph(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 2u);
  EXPECT_EQ(SavedPath(0), Prefix() + ".pareto.svg");
  EXPECT_EQ(SavedPath(1), Prefix() + ".microsatdist.svg");
}

TEST_F(ChartCommandsTest, SaveGraphIgnoresTheMapAndFailsWithNothingToSave) {
  Open(kMeadow);
  ASSERT_TRUE(session.MlgMap().ok());
  session.chart(ChartRole::kPareto)
      .findSeries(kParetoPointsSeries)
      ->points.push_back({1, 1, "", ""});
  Status s = session.SaveGraph(renderer);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("no chart to save"), std::string::npos);
  EXPECT_TRUE(renderer.saved.empty());
  EXPECT_TRUE(session.chart(ChartRole::kMap).visible);
}

TEST_F(ChartCommandsTest, FailedSaveGraphReportsAndKeepsTheChart) {
  Open(kMeadow);
  session.chart(ChartRole::kAllelicHistogram).visible = true;
  renderer.fail = true;
  Status s = session.SaveGraph(renderer);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("disk full"), std::string::npos);
  EXPECT_TRUE(session.chart(ChartRole::kAllelicHistogram).visible);
  EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace vireltan

namespace vireltan {
namespace {

// save-graph writes every chart the commands drew, each once, even those a
// later command hid.
TEST_F(ChartCommandsTest, SaveGraphWritesEveryChartDrawnSinceTheLastSave) {
  Open(kMeadow);
  session.chart(ChartRole::kPareto).visible = true;
  session.NoteChartsShown();
  session.HideCharts();
  session.chart(ChartRole::kAllelicHistogram).visible = true;
  ASSERT_TRUE(session.SaveGraph(renderer).ok());
  ASSERT_EQ(renderer.saved.size(), 2u);
  EXPECT_EQ(SavedPath(0), Prefix() + ".pareto.svg");
  EXPECT_EQ(SavedPath(1), Prefix() + ".gendist.svg");
  EXPECT_FALSE(session.SaveGraph(renderer).ok());
  EXPECT_EQ(renderer.saved.size(), 2u);
}

TEST(FigureOptions, FormatsSizesAndPixels) {
  FigureOptions o;
  ASSERT_TRUE(ParseFigureFormats("pdf,svg", o).ok());
  EXPECT_TRUE(o.pdf && o.svg && !o.png);
  EXPECT_FALSE(ParseFigureFormats("svg,jpeg", o).ok());
  EXPECT_TRUE(o.pdf && o.svg && !o.png);  // untouched by a refused list
  // 160 x 120 mm at 300 dpi: 160 / 25.4 * 300 = 1889.8, 120 / 25.4 * 300 = 1417.3.
  EXPECT_EQ(FigurePixels(160, 300), 1890);
  EXPECT_EQ(FigurePixels(120, 300), 1417);
  o.dpi = 10;
  EXPECT_FALSE(CheckFigureSize(o).ok());
  EXPECT_EQ(FigurePaths("/d/m", FigureOptions{}),
            (std::vector<std::string>{"/d/m.svg", "/d/m.png"}));
}

}  // namespace
}  // namespace vireltan
