// SPDX-License-Identifier: GPL-3.0-or-later
// Every chart kind the program draws, saved at one journal column
// (80 x 60 mm) through the renderer and read back: the plot keeps most of
// the figure, the legend and note stay small, and each axis has a scale of
// at least three labelled ticks. A figure that fails one of these is what
// a reviewer sees first in a submitted paper.
#include <gtest/gtest.h>

#include <QtCharts/QChart>
#include <QtCore/QRegularExpression>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "analyses/snp/call_rates.h"
#include "app/chart_decor.h"
#include "app/qt_chart_renderer.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

using vireltan::testing::TempDir;

FigureOptions Column() {
  FigureOptions o;
  o.widthMm = 80;
  o.heightMm = 60;
  o.png = false;
  return o;
}

struct Kind {
  std::string name;
  ChartData chart;
};

// Opens a copy of `file` (the session writes beside its data file).
void Open(Session& session, TempDir& dir, const std::string& file) {
  const std::string copy = dir.file(std::filesystem::path(file).filename().string());
  std::filesystem::copy_file(file, copy);
  ASSERT_TRUE(session.Open(copy).ok()) << file;
}

class FigureFitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    kinds_ = new std::vector<Kind>;
    RecordingMessageSink messages;
    NullProgressSink progress;
    auto keep = [&](Session& session, const std::string& name, Status s, ChartRole role) {
      ASSERT_TRUE(s.ok()) << name << ": " << s.message();
      kinds_->push_back({name, session.chart(role)});
    };
    {
      // The example meadow: one population, metre coordinates.
      Session session(messages, progress);
      TempDir dir;
      Open(session, dir, std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt");
      session.SetSeed(1);
      keep(session, "map", session.MlgMap("m"), ChartRole::kMap);
      keep(session, "Pareto", session.Pareto(), ChartRole::kPareto);
      keep(session, "resampling", session.ResampleLoci(30), ChartRole::kSamplingEffort);
      keep(session, "allelic histogram", session.AllelicDistances(), ChartRole::kAllelicHistogram);
      keep(session, "microsatellite histogram", session.MicrosatelliteDistances(),
           ChartRole::kMicrosatHistogram);
      keep(session, "subrange", session.ClonalSubrange(5), ChartRole::kSubrange);
      AutocorrelationOptions a;
      a.equalCountClasses = true;
      a.classCountText = "5";
      a.permutationsText = "20";
      keep(session, "correlogram", session.SpatialAutocorrelation(a), ChartRole::kCorrelogram);
      Session::OrdinationRequest pcoa;
      keep(session, "ordination", session.PrincipalCoordinatesAnalysis(pcoa),
           ChartRole::kOrdination);
      Session::IsolationRequest ibd;
      ibd.permutations = 20;
      keep(session, "isolation by distance", session.IsolationByDistance(ibd),
           ChartRole::kIsolationByDistance);
      ASSERT_TRUE(session.PopulationSummaryTest(0, false, 30).ok());
      ASSERT_FALSE(session.associationCharts().empty());
      kinds_->push_back({"rbarD histogram", session.associationCharts().back()});
    }
    {
      // A UTM survey (coordinates in the millions) and its lineage
      // threshold ("Suggest T").
      Session session(messages, progress);
      TempDir dir;
      Open(session, dir, std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt");
      keep(session, "UTM map", session.MlgMap(""), ChartRole::kMap);
      keep(session, "threshold suggestion",
           session.SuggestLineageThreshold(MlgDistanceKind::kAllelic, DistanceMissing::kRescale),
           ChartRole::kAllelicHistogram);
    }
    {
      // Seventeen colonies: a legend of many populations.
      Session session(messages, progress);
      TempDir dir;
      Open(session, dir, std::string(VIRELTAN_TEST_DATA_DIR) + "/nancycats_colonies.txt");
      ASSERT_TRUE(session
                      .LoadPopulations(std::string(VIRELTAN_TEST_DATA_DIR) +
                                       "/peers/popgen/nancycats_colonies.populations.txt")
                      .ok());
      keep(session, "ordination of 17 populations",
           session.PrincipalCoordinatesAnalysis(Session::OrdinationRequest()),
           ChartRole::kOrdination);
    }
    // Call rates as a SNP study has them: most samples near 1.
    std::vector<double> rates;
    for (int i = 0; i < 40; ++i) rates.push_back(1.0 - 0.0015 * (i % 23));
    ChartData callRates;
    FillCallRateChart(rates, "clonal", callRates);
    kinds_->push_back({"call rates", callRates});
  }
  static void TearDownTestSuite() { delete kinds_; }
  static std::vector<Kind>* kinds_;
};
std::vector<Kind>* FigureFitTest::kinds_ = nullptr;

bool IsTickLabel(const QString& text) {
  static const QRegularExpression number("^-?[0-9][0-9,]*(\\.[0-9]+)?$");
  return number.match(text).hasMatch();
}

// The numbers written in the renderer's SVG file, in drawing order.
std::vector<std::string> SvgNumbers(const std::string& svg) {
  std::vector<std::string> numbers;
  const std::regex text(R"re(<text[^>]*>\s*(-?[0-9][0-9,]*(\.[0-9]+)?)\s*</text>)re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator();
       ++it)
    numbers.push_back((*it)[1]);
  return numbers;
}

// The plot with its axes (tick labels and axis titles) keeps at least half
// of the figure, the plotting area itself at least 30 % (a map: the shape
// of its survey, filling 0.4 of the figure's width or height); the legend
// below takes at most a quarter of the figure's height, beside it at most
// 35 % of its width; each axis has three labelled ticks at least.
TEST_F(FigureFitTest, EveryKindKeepsAPlotOfHalfTheColumnAndASmallLegend) {
  ASSERT_EQ(kinds_->size(), 14u);
  for (const Kind& kind : *kinds_) {
    SCOPED_TRACE(kind.name);
    // Through the renderer, as Save Graph writes it.
    FigureBytes bytes;
    ASSERT_TRUE(QtChartRenderer().RenderFigure(kind.chart, Column(), bytes).ok());
    EXPECT_NE(bytes.svg.find("width=\"80mm\""), std::string::npos);
    const std::vector<std::string> numbers = SvgNumbers(bytes.svg);

    const auto laidOut = QtChartRenderer::LayOut(kind.chart, Column());
    const QRectF figure = laidOut->area;
    const QRectF plot = laidOut->chart->plotArea();
    const auto* decor =
        laidOut->chart->findChild<ChartDecor*>("ChartTexts", Qt::FindDirectChildrenOnly);
    ASSERT_NE(decor, nullptr);
    const QRectF legend = decor->LegendArea();
    const std::vector<FigureText> texts = QtChartRenderer::Texts(*laidOut);
    // The title's lines: 9 pt texts above the plot that the title holds.
    double titleBottom = 0;
    for (const FigureText& t : texts)
      if (t.points == 9 && t.rect.bottom() < plot.top() &&
          kind.chart.title.find(t.text.toStdString()) != std::string::npos)
        titleBottom = std::max(titleBottom, t.rect.bottom());
    QRectF axes(0, titleBottom, figure.width(), figure.height() - titleBottom);
    if (decor->LegendBesidePlot()) {
      axes.setRight(legend.left());
    } else if (!legend.isEmpty()) {
      axes.setBottom(legend.top());
    }
    const double area = figure.width() * figure.height();
    const double axesShare = axes.width() * axes.height() / area;
    const double plotShare = plot.width() * plot.height() / area;
    EXPECT_GE(axesShare, 0.5);
    if (kind.chart.equalScale) {
      // (UTM coordinates at 80 mm: the turned tick labels and the two-line
      // note leave the map 0.4 of the height.)
      EXPECT_TRUE(plot.width() >= 0.4 * figure.width() || plot.height() >= 0.4 * figure.height())
          << plot.width() << " x " << plot.height();
    } else {
      EXPECT_GE(plotShare, 0.3) << plot.width() << " x " << plot.height();
    }
    if (decor->LegendBesidePlot()) {
      EXPECT_LE(legend.width(), 0.35 * figure.width() + 1);
    } else {
      EXPECT_LE(legend.height(), 0.25 * figure.height() + 1);
    }
    EXPECT_FALSE(legend.intersects(plot)) << "legend over the plot";

    // Tick labels: those wholly under the plot, and those left of it.
    int across = 0, up = 0;
    for (const FigureText& t : texts) {
      if (!IsTickLabel(t.text) || legend.contains(t.rect.center())) continue;
      if (t.rect.top() >= plot.bottom() - 1) {
        ++across;
      } else if (t.rect.right() <= plot.left() + 1) {
        ++up;
      }
    }
    EXPECT_GE(across, 3);
    EXPECT_GE(up, 3);
    // The file holds them too.
    EXPECT_GE(numbers.size(), static_cast<size_t>(across + up));
  }
}

// Every text of a legend or note stays legible: 6 pt at the least.
TEST_F(FigureFitTest, LegendTextsStayLegible) {
  for (const Kind& kind : *kinds_) {
    const auto laidOut = QtChartRenderer::LayOut(kind.chart, Column());
    for (const FigureText& t : QtChartRenderer::Texts(*laidOut))
      EXPECT_GE(t.points, 6) << kind.name << ": " << t.text.toStdString();
  }
}

// Whole-number distances get whole-number ticks, and the lineage
// threshold's chart names its dataset like the other charts.
TEST_F(FigureFitTest, DistanceTicksAreWholeNumbers) {
  for (const Kind& kind : *kinds_) {
    if (kind.chart.role != ChartRole::kAllelicHistogram &&
        kind.chart.role != ChartRole::kMicrosatHistogram)
      continue;
    SCOPED_TRACE(kind.name);
    EXPECT_NE(kind.chart.title.find('"'), std::string::npos) << kind.chart.title;
    for (const FigureOptions& size : {Column(), [] {
                                        FigureOptions page = Column();
                                        page.widthMm = 170;
                                        page.heightMm = 120;
                                        return page;
                                      }()}) {
      const auto laidOut = QtChartRenderer::LayOut(kind.chart, size);
      const QRectF plot = laidOut->chart->plotArea();
      for (const FigureText& t : QtChartRenderer::Texts(*laidOut))
        if (IsTickLabel(t.text) && t.rect.center().y() > plot.bottom())
          EXPECT_FALSE(t.text.contains('.')) << t.text.toStdString();
    }
  }
}

// The clonal subrange's share axis ends just above its largest share, not
// at 1: F(r) of the meadow stays under 0.4.
TEST_F(FigureFitTest, TheSubrangeAxisFitsItsShares) {
  for (const Kind& kind : *kinds_) {
    if (kind.chart.role != ChartRole::kSubrange) continue;
    double highest = 0;
    for (const ChartPoint& p : kind.chart.series.at(0).points) highest = std::max(highest, p.y);
    ASSERT_GT(highest, 0);
    EXPECT_TRUE(kind.chart.left.fixedRange);
    EXPECT_EQ(kind.chart.left.minimum, 0);
    EXPECT_GE(kind.chart.left.maximum, highest);
    EXPECT_EQ(kind.chart.left.maximum, NiceAxisMaximum(highest));
    EXPECT_LT(kind.chart.left.maximum, 1) << highest;
    return;
  }
  FAIL() << "no subrange chart";
}

}  // namespace
}  // namespace vireltan::app
