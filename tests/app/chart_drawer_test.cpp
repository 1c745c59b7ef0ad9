// SPDX-License-Identifier: GPL-3.0-or-later
// The chart drawer renders any chart the analyses describe, and the renderer
// writes it as SVG and PNG.
#include "app/chart_drawer.h"

#include <gtest/gtest.h>

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <QtCore/QFile>
#include <QtCore/QThread>
#include <QtCore/QXmlStreamReader>
#include <QtGui/QImage>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGraphicsSimpleTextItem>
#include <cmath>
#include <filesystem>
#include <limits>

#include "app/chart_axes.h"
#include "app/qt_chart_renderer.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

using Kind = ChartSeries::Kind;

QStringList TextItems(QChart& chart) {
  QStringList texts;
  for (QGraphicsItem* item : chart.childItems())
    if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item)) texts << text->text();
  return texts;
}

ChartData EverySeriesKind() {
  ChartData data;
  data.title = "a title";
  data.subtitle = "y = 1x +0";
  data.foot = "c = 2";
  data.series = {
      {"Points", Kind::kPoints, {{1, 1, "a", ""}, {2, 2, "b", "red"}, {3, 1, "", ""}}, {}},
      {"Line", Kind::kLine, {{0, 0, "", ""}, {4, 4, "", "black"}}, {}},
      {"Bars", Kind::kBars, {{1, 3, "", ""}, {2, 5, "", ""}}, {}},
      {"Boxes", Kind::kBoxes, {}, {{1, 0.5, 1, 1.5, 2, 3, 10}, {2, 1, 1, 2, 2, 2, 10}}},
  };
  return data;
}

TEST(DrawChart, EverySeriesKindBecomesNamedQtSeries) {
  QChart chart;
  chart.resize(640, 480);
  DrawChart(chart, EverySeriesKind());
  EXPECT_NE(qobject_cast<QScatterSeries*>(FindSeries(chart, "Points")), nullptr);
  EXPECT_NE(FindSeries(chart, "Points red"), nullptr);  // one Qt series per colour
  EXPECT_NE(qobject_cast<QLineSeries*>(FindSeries(chart, "Line")), nullptr);
  auto* bars = qobject_cast<QAreaSeries*>(FindSeries(chart, "Bars"));
  ASSERT_NE(bars, nullptr);
  // Touching bars of full width: x from 0.5 to 2.5.
  QList<QPointF> outline = bars->upperSeries()->points();
  ASSERT_EQ(outline.size(), 8);
  EXPECT_DOUBLE_EQ(outline.front().x(), 0.5);
  EXPECT_DOUBLE_EQ(outline[1].y(), 3);
  EXPECT_DOUBLE_EQ(outline.back().x(), 2.5);
  EXPECT_NE(FindSeries(chart, "Boxes"), nullptr);
  EXPECT_NE(FindSeries(chart, "Boxes box 1 median"), nullptr);
  EXPECT_NE(FindSeries(chart, "Boxes box 1 upper whisker"), nullptr);
  // The second box's whiskers coincide with its quartiles: none drawn.
  EXPECT_EQ(FindSeries(chart, "Boxes box 2 upper whisker"), nullptr);
  QStringList texts = TextItems(chart);
  for (const char* t : {"a", "b", "y = 1x +0", "c = 2"}) EXPECT_TRUE(texts.contains(t)) << t;
  EXPECT_TRUE(texts.contains("a title"));  // drawn by the chart's own texts

  // A redraw replaces everything instead of adding to it.
  DrawChart(chart, EverySeriesKind());
  EXPECT_EQ(TextItems(chart).size(), texts.size());
  EXPECT_EQ(chart.axes().size(), 2);
}

TEST(DrawChart, SeriesWithoutMarksDrawNoLabels) {
  ChartData data;
  data.series = {{"Series2", Kind::kPoints, {{1, 1, "O", ""}, {2, 2, "O", ""}}, {}, false}};
  QChart chart;
  DrawChart(chart, data);
  EXPECT_TRUE(TextItems(chart).isEmpty());
}

TEST(DrawChart, FixedRangesIncrementsAndCustomLabels) {
  ChartData data;
  data.bottom.fixedRange = true;
  data.bottom.minimum = 0;
  data.bottom.maximum = 2;
  // Crowded labels near the end of the axis are thinned; repeated texts kept.
  data.bottom.customLabels = {{0, "1"}, {0.301, "2"}, {1.0, "10"}, {1.01, "11"}, {2, "10"}};
  data.left.increment = 1;
  data.series = {{"S", Kind::kPoints, {{0.5, 3, "", ""}, {1.5, 400, "", ""}}, {}}};
  QChart chart;
  DrawChart(chart, data);
  auto* bottom = qobject_cast<QCategoryAxis*>(chart.axes(Qt::Horizontal).value(0));
  ASSERT_NE(bottom, nullptr);
  EXPECT_DOUBLE_EQ(bottom->min(), 0);
  EXPECT_DOUBLE_EQ(bottom->max(), 2);
  QStringList labels = bottom->categoriesLabels();
  ASSERT_EQ(labels.size(), 4);
  EXPECT_EQ(labels[0], "1");
  EXPECT_EQ(labels[2], "10");
  EXPECT_TRUE(labels[3].startsWith("10"));  // a repeat, made distinct invisibly
  auto* left = qobject_cast<QValueAxis*>(chart.axes(Qt::Vertical).value(0));
  ASSERT_NE(left, nullptr);
  EXPECT_LE(left->min(), 3);
  EXPECT_GE(left->max(), 400);
  // Increment 1 over ~400 would give 400 ticks: widened to at most 25.
  EXPECT_LE((left->max() - left->min()) / left->tickInterval(), 25);
  EXPECT_EQ(std::fmod(left->tickInterval(), 1.0), 0.0);
}

TEST(DrawChart, CrowdedLabelsKeepTheRoundValues) {
  // The clone-size axis of a Pareto chart whose largest clone holds 5,000
  // units: one label per integer up to 50,000, each at log10 of its number.
  ChartData data;
  data.bottom.fixedRange = true;
  data.bottom.minimum = 0;
  data.bottom.maximum = std::log10(5000.0) + 1;
  for (int i = 1; i <= 50000; ++i)
    data.bottom.customLabels.push_back({std::log10(static_cast<double>(i)), std::to_string(i)});
  QChart chart;
  DrawChart(chart, data);
  auto* bottom = qobject_cast<QCategoryAxis*>(chart.axes(Qt::Horizontal).value(0));
  ASSERT_NE(bottom, nullptr);
  QStringList labels = bottom->categoriesLabels();
  EXPECT_LE(labels.size(), 40);
  for (const char* round : {"1", "2", "5", "10", "20", "50", "100", "200", "500", "1000", "2000",
                            "5000", "10000", "20000", "50000"})
    EXPECT_TRUE(labels.contains(round)) << round;
  // In ascending order, never closer than the thinning gap.
  for (int i = 1; i < labels.size(); ++i)
    EXPECT_GT(bottom->endValue(labels[i]) - bottom->endValue(labels[i - 1]),
              0.03 * data.bottom.maximum)
        << labels[i].toStdString();
}

TEST(DrawChart, ManyBoxesBecomeOneBandWithItsMedianLine) {
  ChartData data;
  data.series = {{"Series4", Kind::kBoxes, {}, {}}};
  const int n = 700;
  for (int i = 0; i <= n; ++i) {
    double low = i / 3.0, high = i;
    data.series[0].boxes.push_back(
        {static_cast<double>(i), low, low, (low + high) / 2, high, high, 2});
  }
  QChart chart;
  DrawChart(chart, data);
  EXPECT_LE(chart.series().size(), 4);
  auto* band = qobject_cast<QAreaSeries*>(FindSeries(chart, "Series4"));
  ASSERT_NE(band, nullptr);
  ASSERT_EQ(band->upperSeries()->count(), n + 1);
  ASSERT_NE(band->lowerSeries(), nullptr);
  EXPECT_DOUBLE_EQ(band->upperSeries()->at(300).y(), 300);
  EXPECT_DOUBLE_EQ(band->lowerSeries()->at(300).y(), 100);
  auto* median = qobject_cast<QLineSeries*>(FindSeries(chart, "Series4 median"));
  ASSERT_NE(median, nullptr);
  EXPECT_DOUBLE_EQ(median->at(300).y(), 200);
  EXPECT_EQ(median->pen().style(), Qt::DotLine);
  // Whiskers equal to the quartiles draw nothing more.
  EXPECT_EQ(FindSeries(chart, "Series4 upper whisker"), nullptr);
}

TEST(DrawChart, NamedSeriesAndBandsMakeTheLegend) {
  ChartData data;
  ChartSeries band{"envelope", Kind::kBand, {{1, -1, "", ""}, {2, -2, "", ""}}};
  band.high = {1, 2};
  band.legend = "95% envelope";
  ChartSeries mean{"mean", Kind::kLine, {{1, 0.5, "", ""}, {2, 0.2, "", ""}}};
  mean.legend = "mean";
  mean.markers = true;
  ChartSeries zero{"zero", Kind::kLine, {{1, 0, "", ""}, {2, 0, "", ""}}};
  zero.dashed = true;  // no legend text: not in the legend
  BoxStats box;
  box.x = 1;
  box.lowerQuartile = box.lowerWhisker = -1;
  box.median = 0;
  box.upperQuartile = box.upperWhisker = 1;
  ChartSeries boxes{"range", Kind::kBoxes, {}, {box}};
  boxes.legend = "min\u2013max range";
  data.series = {band, mean, zero, boxes};
  QChart chart;
  DrawChart(chart, data);
  auto* area = qobject_cast<QAreaSeries*>(FindSeries(chart, "envelope"));
  ASSERT_NE(area, nullptr);
  EXPECT_DOUBLE_EQ(area->upperSeries()->at(1).y(), 2);
  EXPECT_DOUBLE_EQ(area->lowerSeries()->at(1).y(), -2);
  // The legend names what the analysis named; the zero line is not listed.
  EXPECT_EQ(FindSeries(chart, "envelope")->name(), "95% envelope");
  EXPECT_TRUE(FindSeries(chart, "zero")->name().isEmpty());
  EXPECT_TRUE(qobject_cast<QLineSeries*>(FindSeries(chart, "mean"))->pointsVisible());
  EXPECT_EQ(qobject_cast<QLineSeries*>(FindSeries(chart, "zero"))->pen().style(), Qt::DashLine);
  // The legend lists the named series, not the zero line.
  const QStringList texts = TextItems(chart);
  for (const char* t : {"95% envelope", "mean", "min\u2013max range"})
    EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t;
  EXPECT_FALSE(texts.contains("zero"));
}

TEST(QtChartRenderer, PngHasThePrintedSizeAtItsResolution) {
  vireltan::testing::TempDir dir;
  FigureOptions options;
  options.svg = false;
  options.widthMm = 80;
  options.heightMm = 60;
  options.dpi = 600;
  ASSERT_TRUE(QtChartRenderer().SaveFigure(EverySeriesKind(), dir.file("small"), options).ok());
  QImage png(QString::fromStdString(dir.file("small.png")));
  EXPECT_EQ(png.size(), QSize(1890, 1417));  // 80 mm at 600 dpi = 160 mm at 300 dpi
  EXPECT_FALSE(std::filesystem::exists(dir.file("small.svg")));
}

TEST(DrawChart, HistogramBarsAreGrey) {
  ChartData data;
  data.series = {{"Series6", Kind::kBars, {{1, 30, "", ""}, {2, 70, "", ""}}, {}}};
  QChart chart;
  DrawChart(chart, data);
  auto* bars = qobject_cast<QAreaSeries*>(FindSeries(chart, "Series6"));
  ASSERT_NE(bars, nullptr);
  QColor c = bars->brush().color();
  EXPECT_EQ(c.red(), c.green());
  EXPECT_EQ(c.green(), c.blue());
}

// A bar is one class wide: the class width the analysis gives, else the
// smallest gap between bars. A lone class of the permuted rbarD (0.0002
// wide) once spread over the whole axis.
TEST(DrawChart, BarsAreOneClassWide) {
  struct Case {
    std::vector<double> xs;
    double given, width;
  };
  for (const Case& c : {Case{{1, 2, 3}, 0, 1}, Case{{0.5}, 0, 1}, Case{{0.0001}, 0.0002, 0.0002},
                        Case{{0.0025, 0.0475}, 0.005, 0.005}}) {
    ChartSeries bars{"bars", Kind::kBars};
    for (double x : c.xs) bars.points.push_back({x, 1, "", ""});
    bars.barWidth = c.given;
    EXPECT_DOUBLE_EQ(BarWidth(bars), c.width) << c.xs.size() << " bars";
  }
}

TEST(DrawChart, UndefinedValuesAreNotDrawn) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  ChartData data;
  data.series = {{"P", Kind::kPoints, {{1, 1, "", ""}, {nan, 2, "", ""}, {3, inf, "", ""}}, {}},
                 {"L", Kind::kLine, {{0, 0, "", ""}, {1, nan, "", ""}, {2, 2, "", ""}}, {}},
                 {"B", Kind::kBars, {{1, 3, "", ""}, {2, nan, "", ""}}, {}},
                 {"X", Kind::kBoxes, {}, {{1, 0, 1, 2, 3, 4, 5}, {2, 0, nan, 2, 3, 4, 5}}}};
  QChart chart;
  DrawChart(chart, data);
  EXPECT_EQ(qobject_cast<QScatterSeries*>(FindSeries(chart, "P"))->count(), 1);
  EXPECT_EQ(qobject_cast<QLineSeries*>(FindSeries(chart, "L"))->count(), 2);
  EXPECT_EQ(qobject_cast<QAreaSeries*>(FindSeries(chart, "B"))->upperSeries()->count(), 4);
  EXPECT_EQ(FindSeries(chart, "X box 2"), nullptr);
  EXPECT_NE(FindSeries(chart, "X box 1 median"), nullptr);
}

// Pumps the window events for a moment, so that charts lay themselves out.
void Settle() {
  for (int i = 0; i < 10; ++i) {
    QApplication::processEvents();
    QThread::msleep(5);
  }
}

TEST(ShowChart, ARedrawShowsOnlyTheNewDrawing) {
  ChartData empty = DefaultChart(ChartRole::kAllelicHistogram);
  ChartData histogram = empty;
  histogram.left.fixedRange = histogram.bottom.fixedRange = true;
  histogram.left.maximum = 10;
  histogram.bottom.maximum = 17;
  for (int d = 1; d <= 16; ++d)
    histogram.series[0].points.push_back({static_cast<double>(d), d % 7 + 1.0, "", ""});

  // The window redraws hidden charts after every command; the one shown
  // later must look exactly like a chart drawn once.
  QChartView shown(new QChart);
  shown.resize(640, 480);
  ShowChart(shown, empty);
  Settle();
  for (int i = 0; i < 3; ++i) {
    ShowChart(shown, empty);
    Settle();
  }
  shown.show();
  ShowChart(shown, histogram);
  Settle();

  QChartView fresh(new QChart);
  fresh.resize(640, 480);
  fresh.show();
  Settle();
  ShowChart(fresh, histogram);
  Settle();
  // Each chart fills its view, also when drawn in a view already shown.
  EXPECT_EQ(shown.chart()->size().toSize(), QSize(640, 480));
  EXPECT_EQ(fresh.chart()->size().toSize(), QSize(640, 480));
  EXPECT_EQ(shown.grab().toImage(), fresh.grab().toImage());
}

TEST(QtChartRenderer, WritesParseableSvgAndPngOrSaysWhyNot) {
  vireltan::testing::TempDir dir;
  QtChartRenderer renderer;
  const std::string svgPath = dir.file("mixed.svg");
  ASSERT_TRUE(renderer.SaveFigure(EverySeriesKind(), dir.file("mixed"), FigureOptions{}).ok());
  QFile svg(QString::fromStdString(svgPath));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  bool sawTitle = false;
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text"))
      sawTitle = sawTitle || xml.readElementText().contains("a title");
  EXPECT_FALSE(xml.hasError());
  EXPECT_TRUE(sawTitle);
  EXPECT_FALSE(QImage(QString::fromStdString(dir.file("mixed.png"))).isNull());

  Status failed = renderer.SaveFigure(EverySeriesKind(), dir.file("absent/dir/x"), FigureOptions{});
  EXPECT_FALSE(failed.ok());
  EXPECT_NE(failed.message().find("absent/dir/x.svg"), std::string::npos);
}

}  // namespace
}  // namespace vireltan::app
