// SPDX-License-Identifier: GPL-3.0-or-later
// The map's clones keep their colour and shape in every figure of a
// dataset: at a journal column, at a page's width and with texts twice as
// large, every unit is drawn in the same colour and shape, and the legend
// names the same clones.
#include <gtest/gtest.h>

#include <QtCharts/QChart>
#include <QtCharts/QScatterSeries>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "app/qt_chart_renderer.h"
#include "session/session.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

using vireltan::testing::TempDir;

// Where each point is drawn -> its colour and marker shape.
using Looks = std::map<std::pair<double, double>, std::set<std::pair<QString, int>>>;

Looks LooksOf(const LaidOutChart& laidOut) {
  Looks looks;
  for (QAbstractSeries* series : laidOut.chart->series()) {
    auto* scatter = qobject_cast<QScatterSeries*>(series);
    if (!scatter) continue;
    for (const QPointF& p : scatter->points())
      looks[{p.x(), p.y()}].insert(
          {scatter->color().name(), static_cast<int>(scatter->markerShape())});
  }
  return looks;
}

std::set<QString> LegendTexts(const LaidOutChart& laidOut) {
  std::set<QString> texts;
  for (const FigureText& t : QtChartRenderer::Texts(laidOut))
    if (t.text.contains('(') || t.text.startsWith("other")) texts.insert(t.text);
  return texts;
}

FigureOptions Size(double widthMm, double heightMm, double textScale) {
  FigureOptions o;
  o.widthMm = widthMm;
  o.heightMm = heightMm;
  o.fontPoints *= textScale;
  o.titlePoints *= textScale;
  return o;
}

TEST(MapColours, EveryCloneKeepsItsColourAndShapeAtEverySize) {
  for (const std::string file : {std::string(VIRELTAN_TEST_DATA_DIR) + "/pramorum_curry.txt",
                                 std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt"}) {
    SCOPED_TRACE(file);
    RecordingMessageSink messages;
    NullProgressSink progress;
    Session session(messages, progress);
    TempDir dir;
    std::filesystem::copy_file(file, dir.file("d.txt"));
    ASSERT_TRUE(session.Open(dir.file("d.txt")).ok());
    ASSERT_TRUE(session.MlgMap().ok());
    const ChartData& map = session.chart(ChartRole::kMap);

    const auto column = QtChartRenderer::LayOut(map, Size(80, 60, 1));
    const Looks reference = LooksOf(*column);
    const std::set<QString> legend = LegendTexts(*column);
    ASSERT_FALSE(reference.empty());
    // Eight clones, at least four shapes and eight colours besides the grey.
    std::set<QString> colours;
    std::set<int> shapes;
    for (const auto& [at, look] : reference)
      for (const auto& [colour, shape] : look) {
        colours.insert(colour);
        shapes.insert(shape);
      }
    EXPECT_EQ(colours.size(), 9u);
    EXPECT_EQ(shapes.size(), 4u);
    EXPECT_TRUE(colours.count("#bbbbbb"));

    for (const FigureOptions& size : {Size(170, 120, 1), Size(80, 60, 2), Size(170, 120, 2)}) {
      SCOPED_TRACE(std::to_string(size.widthMm) + " mm, text " + std::to_string(size.fontPoints) +
                   " pt");
      const auto laidOut = QtChartRenderer::LayOut(map, size);
      EXPECT_EQ(LooksOf(*laidOut), reference);
      EXPECT_EQ(LegendTexts(*laidOut), legend);
    }
  }
}

}  // namespace
}  // namespace vireltan::app
