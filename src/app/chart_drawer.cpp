// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chart_drawer.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <QtCore/QCoreApplication>
#include <QtGui/QFont>
#include <QtGui/QPen>
#include <QtGui/QResizeEvent>
#include <QtWidgets/QGraphicsSimpleTextItem>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include "app/chart_axes.h"

namespace vireltan::app {

namespace {

constexpr int kMarkFontPixels = 11;  // point labels of the MLG map
const QColor kDefaultPointColor(0, 0, 160);
const QColor kDefaultLineColor(0, 0, 0);
const QColor kDefaultBarColor(150, 150, 150);  // histogram bars are grey
const QColor kDefaultBoxColor(0, 0, 0);

QString ToQ(const std::string& text) {
  return QString::fromStdString(text);
}

QColor ColorOr(const std::string& name, const QColor& fallback) {
  if (name.empty()) return fallback;
  QColor c(ToQ(name));
  return c.isValid() ? c : fallback;
}

bool Finite(double x, double y) {
  return std::isfinite(x) && std::isfinite(y);
}

// The texts drawn over a chart that Qt Charts does not place itself: one
// label above each labelled point, a subtitle and a foot. Owned by the
// chart (a child QObject); its items are children of the chart's graphics.
class ChartTexts : public QObject {
 public:
  struct Mark {
    QGraphicsSimpleTextItem* item;
    QPointF value;
    QAbstractSeries* series;
  };

  explicit ChartTexts(QChart& chart) : QObject(&chart), chart_(chart) {
    setObjectName("ChartTexts");
    QObject::connect(&chart, &QChart::plotAreaChanged, this, [this] { Place(); });
  }
  // The items are children of the chart's graphics and die with it; a
  // redraw removes them explicitly.
  void DeleteItems() {
    for (Mark& m : marks) delete m.item;
    marks.clear();
    delete subtitle;
    delete foot;
    subtitle = foot = nullptr;
  }

  void Place() {
    const QRectF plot = chart_.plotArea();
    const QRectF tolerant = plot.adjusted(-1, -1, 1, 1);
    // A label that would cover one already placed is left out: crowded
    // points keep the first label (the largest clone's, as the analysis
    // orders them) readable rather than a pile of digits.
    std::vector<QRectF> placed;
    for (Mark& m : marks) {
      QPointF at = chart_.mapToPosition(m.value, m.series);
      QRectF box = m.item->boundingRect();
      m.item->setPos(at.x() - box.width() / 2, at.y() - box.height() - 1);
      QRectF where = m.item->mapRectToParent(box).adjusted(-1, 0, 1, 0);
      bool free = std::none_of(placed.begin(), placed.end(),
                               [&](const QRectF& r) { return r.intersects(where); });
      bool shown = plot.width() > 0 && tolerant.contains(at) && free;
      m.item->setVisible(shown);
      if (shown) placed.push_back(where);
    }
    if (subtitle) subtitle->setPos(plot.left() + 6, plot.top() + 4);
    if (foot) {
      QRectF box = foot->boundingRect();
      foot->setPos(plot.left(), chart_.size().height() - box.height() - 6);
    }
  }

  std::vector<Mark> marks;
  bool showLabels = true;
  QGraphicsSimpleTextItem* subtitle = nullptr;
  QGraphicsSimpleTextItem* foot = nullptr;

 private:
  QChart& chart_;
};

void Attach(QChart& chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
  chart.addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

void DrawPoints(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
                ChartTexts& texts) {
  // One Qt series per colour, the first carrying the series' name; the
  // legend names each colour as the analysis says (a clone), in its order.
  std::map<std::string, QScatterSeries*> byColour;
  std::vector<QScatterSeries*> order;
  auto seriesFor = [&](const std::string& colour) {
    auto it = byColour.find(colour);
    if (it != byColour.end()) return it->second;
    auto* q = new QScatterSeries;
    q->setObjectName(order.empty() ? SeriesObjectName(s.name)
                                   : SeriesObjectName(s.name) + " " + ToQ(colour));
    q->setName(ToQ(s.legend));
    for (const ColourLegend& entry : s.colourLegend)
      if (entry.color == colour) q->setName(ToQ(entry.text));
    QColor c = ColorOr(colour, ColorOr(s.color, kDefaultPointColor));
    q->setColor(c);
    q->setBorderColor(c);
    q->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    byColour[colour] = q;
    order.push_back(q);
    return q;
  };
  for (const ColourLegend& entry : s.colourLegend) seriesFor(entry.color);
  bool labelled = s.showMarks && std::any_of(s.points.begin(), s.points.end(),
                                             [](const ChartPoint& p) { return !p.label.empty(); });
  if (s.points.empty()) seriesFor("");
  std::vector<std::pair<QScatterSeries*, const ChartPoint*>> placed;
  for (const ChartPoint& p : s.points) {
    if (!Finite(p.x, p.y)) continue;
    QScatterSeries* q = seriesFor(p.color);
    q->append(p.x, p.y);
    if (labelled && !p.label.empty()) placed.push_back({q, &p});
  }
  for (QScatterSeries* q : order) {
    // Labelled points are small dots under their label; bare points are
    // circles that stand out on their own.
    q->setMarkerSize(labelled ? 7 : 8);
    if (labelled) q->setBorderColor(q->color().darker(160));
    Attach(chart, q, x, y);
  }
  if (!texts.showLabels) return;
  QFont font;
  font.setPixelSize(kMarkFontPixels);
  for (auto& [q, p] : placed) {
    auto* item = new QGraphicsSimpleTextItem(ToQ(p->label), &chart);
    item->setFont(font);
    item->setBrush(Qt::black);
    item->setZValue(10);
    texts.marks.push_back({item, QPointF(p->x, p->y), q});
  }
}

void DrawLine(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y) {
  auto* q = new QLineSeries;
  q->setObjectName(SeriesObjectName(s.name));
  q->setName(ToQ(s.legend));
  QColor c =
      ColorOr(s.color, s.points.empty() ? kDefaultLineColor
                                        : ColorOr(s.points.front().color, kDefaultLineColor));
  q->setPen(QPen(c, s.dashed ? 1 : 2, s.dashed ? Qt::DashLine : Qt::SolidLine));
  if (s.markers) {
    q->setPointsVisible(true);
    q->setMarkerSize(7);
  }
  for (const ChartPoint& p : s.points)
    if (Finite(p.x, p.y)) q->append(p.x, p.y);
  Attach(chart, q, x, y);
}

// A shaded area between two curves (an envelope, a range, mean +- SE).
void DrawBand(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y) {
  auto* lower = new QLineSeries;
  auto* upper = new QLineSeries;
  for (size_t i = 0; i < s.points.size() && i < s.high.size(); ++i) {
    const ChartPoint& p = s.points[i];
    if (!Finite(p.x, p.y) || !std::isfinite(s.high[i])) continue;
    lower->append(p.x, p.y);
    upper->append(p.x, s.high[i]);
  }
  auto* band = new QAreaSeries(upper, lower);
  upper->setParent(band);
  lower->setParent(band);
  band->setObjectName(SeriesObjectName(s.name));
  band->setName(ToQ(s.legend));
  QColor c = ColorOr(s.color, QColor(150, 150, 150));
  QColor fill = c;
  fill.setAlpha(70);
  band->setBrush(fill);
  band->setPen(QPen(c, 1, Qt::DotLine));
  Attach(chart, band, x, y);
}

// Bars of full width (touching), drawn as one filled outline from the axis
// so that they sit on a numeric axis like the other series.
void DrawBars(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y) {
  auto* outline = new QLineSeries;
  double half = BarWidth(s) / 2;
  std::vector<ChartPoint> bars;
  for (const ChartPoint& p : s.points)
    if (Finite(p.x, p.y)) bars.push_back(p);
  std::stable_sort(bars.begin(), bars.end(),
                   [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
  for (const ChartPoint& p : bars) {
    outline->append(p.x - half, 0);
    outline->append(p.x - half, p.y);
    outline->append(p.x + half, p.y);
    outline->append(p.x + half, 0);
  }
  auto* area = new QAreaSeries(outline);
  outline->setParent(area);
  area->setObjectName(SeriesObjectName(s.name));
  area->setName(ToQ(s.legend));
  QColor c = ColorOr(
      s.color, bars.empty() ? kDefaultBarColor : ColorOr(bars.front().color, kDefaultBarColor));
  area->setBrush(c);
  area->setPen(QPen(c.darker(150), 1));
  Attach(chart, area, x, y);
}

// Above this many boxes a box is a few pixels wide (a comb) and Qt Charts slows
// down with the several series each box needs: the boxes are then drawn as
// one band from the lower to the upper quartiles with the medians as a
// dotted line, which shows the same curve in three series.
// Marks the line that carries the legend of a series of boxes.
constexpr const char* kBoxLegendProperty = "vireltanBoxLegend";

constexpr size_t kMaxSeparateBoxes = 30;

void DrawBoxBand(QChart& chart, const QString& name, const QString& legend,
                 const std::vector<BoxStats>& boxes, QAbstractAxis* x, QAbstractAxis* y) {
  const QColor c = kDefaultBoxColor;
  auto* upper = new QLineSeries;
  auto* lower = new QLineSeries;
  auto* median = new QLineSeries;
  for (const BoxStats& b : boxes) {
    upper->append(b.x, b.upperQuartile);
    lower->append(b.x, b.lowerQuartile);
    median->append(b.x, b.median);
  }
  auto* band = new QAreaSeries(upper, lower);
  upper->setParent(band);
  lower->setParent(band);
  band->setObjectName(name);
  band->setName(legend);
  band->setBrush(QColor(205, 205, 205));
  band->setPen(QPen(c, 1));
  Attach(chart, band, x, y);
  median->setObjectName(name + " median");
  median->setPen(QPen(c, 1, Qt::DotLine));
  Attach(chart, median, x, y);
  // Whiskers beyond the quartiles, as thin lines along the band.
  auto whiskers = [&](const QString& suffix, bool upperSide) {
    bool any = false;
    auto* w = new QLineSeries;
    for (const BoxStats& b : boxes) {
      double end = upperSide ? b.upperWhisker : b.lowerWhisker;
      double quartile = upperSide ? b.upperQuartile : b.lowerQuartile;
      any = any || (upperSide ? end > quartile : end < quartile);
      w->append(b.x, end);
    }
    if (!any) {
      delete w;
      return;
    }
    w->setObjectName(name + suffix);
    w->setPen(QPen(c, 1, Qt::DashLine));
    Attach(chart, w, x, y);
  };
  whiskers(" upper whisker", true);
  whiskers(" lower whisker", false);
}

void DrawBoxes(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
               double xSpan) {
  std::vector<BoxStats> boxes;
  for (BoxStats b : s.boxes) {
    if (!std::isfinite(b.x) || !Finite(b.lowerQuartile, b.upperQuartile) ||
        !std::isfinite(b.median))
      continue;
    if (!std::isfinite(b.lowerWhisker)) b.lowerWhisker = b.lowerQuartile;
    if (!std::isfinite(b.upperWhisker)) b.upperWhisker = b.upperQuartile;
    boxes.push_back(b);
  }
  std::stable_sort(boxes.begin(), boxes.end(),
                   [](const BoxStats& a, const BoxStats& b) { return a.x < b.x; });
  if (boxes.size() > kMaxSeparateBoxes)
    return DrawBoxBand(chart, SeriesObjectName(s.name), ToQ(s.legend), boxes, x, y);

  double half = BoxHalfWidth(s, xSpan, chart.size().width());
  QColor c = kDefaultBoxColor;
  int n = 0;
  auto line = [&](const QString& suffix, const QPen& pen) {
    auto* q = new QLineSeries;
    if (n == 0) {
      q->setName(ToQ(s.legend));
      q->setProperty(kBoxLegendProperty, true);  // its legend marker is a box
    }
    q->setObjectName(n++ == 0 ? SeriesObjectName(s.name) : SeriesObjectName(s.name) + suffix);
    q->setPen(pen);
    return q;
  };
  if (boxes.empty()) Attach(chart, line("", QPen(c)), x, y);
  int index = 0;
  for (const BoxStats& b : boxes) {
    QString tag = QString(" box %1").arg(++index);
    auto* box = line(tag, QPen(c, 1));
    box->append(b.x - half, b.lowerQuartile);
    box->append(b.x + half, b.lowerQuartile);
    box->append(b.x + half, b.upperQuartile);
    box->append(b.x - half, b.upperQuartile);
    box->append(b.x - half, b.lowerQuartile);
    Attach(chart, box, x, y);
    QPen dotted(c, 1, Qt::DotLine);
    auto* median = line(tag + " median", dotted);
    median->append(b.x - half, b.median);
    median->append(b.x + half, b.median);
    Attach(chart, median, x, y);
    if (b.lowerWhisker < b.lowerQuartile) {
      auto* w = line(tag + " lower whisker", QPen(c, 1));
      w->append(b.x, b.lowerQuartile);
      w->append(b.x, b.lowerWhisker);
      Attach(chart, w, x, y);
    }
    if (b.upperWhisker > b.upperQuartile) {
      auto* w = line(tag + " upper whisker", QPen(c, 1));
      w->append(b.x, b.upperQuartile);
      w->append(b.x, b.upperWhisker);
      Attach(chart, w, x, y);
    }
  }
}

// The legend lists the series the analysis named for it; the parts of a
// series (boxes, colours without a name) stay out. A map puts it on the
// right, beside its square plot; other charts under the title. Each marker
// looks like what it names: a line for a line, a filled square for a band
// or bars, a hollow box for boxes (drawn with lines, whose own marker would
// be a line).
void ShowLegend(QChart& chart, bool besidePlot) {
  QLegend* legend = chart.legend();
  legend->setMarkerShape(QLegend::MarkerShapeFromSeries);
  bool any = false;
  for (QLegendMarker* marker : legend->markers()) {
    bool named = !marker->series()->name().isEmpty();
    marker->setVisible(named);
    any = any || named;
    if (marker->series()->property(kBoxLegendProperty).toBool()) {
      marker->setShape(QLegend::MarkerShapeRectangle);
      marker->setBrush(QColor(Qt::transparent));  // hollow
      marker->setPen(QPen(kDefaultBoxColor, 1));
    } else if (auto* area = qobject_cast<QAreaSeries*>(marker->series())) {
      QColor fill = area->brush().color();
      fill.setAlpha(std::max(fill.alpha(), 160));  // a translucent band reads as hollow
      marker->setShape(QLegend::MarkerShapeRectangle);
      marker->setBrush(fill);
      marker->setPen(QPen(fill, 1));
    }
  }
  legend->setVisible(any);
  legend->setAlignment(besidePlot ? Qt::AlignRight : Qt::AlignTop);
  QFont font = legend->font();
  font.setPointSize(8);
  legend->setFont(font);
}

}  // namespace

QString ChartObjectName(ChartRole role) {
  switch (role) {
    case ChartRole::kMap:
      return "Chart1";
    case ChartRole::kPareto:
      return "Chart2";
    case ChartRole::kSamplingEffort:
      return "Chart3";
    case ChartRole::kAllelicHistogram:
      return "Chart4";
    case ChartRole::kMicrosatHistogram:
      return "Chart5";
    case ChartRole::kSubrange:
      return "subrange";
    case ChartRole::kCorrelogram:
      return "Correlogram";
    case ChartRole::kAssociation:
      return "Iahistogram";
  }
  return {};
}

QString SeriesObjectName(const std::string& seriesName) {
  static const std::pair<const char*, const char*> names[] = {
      {kMapUnitsSeries, "Series1"},    {kParetoPointsSeries, "Series2"},
      {kParetoFitSeries, "Series3"},   {kEffortBoxesSeries, "Series4"},
      {kEffortMeanSeries, "Series5"},  {kAllelicBarsSeries, "Series6"},
      {kMicrosatBarsSeries, "Series7"}};
  for (const auto& [core, component] : names)
    if (seriesName == core) return component;
  return QString::fromStdString(seriesName);
}

QAbstractSeries* FindSeries(QChart& chart, const QString& name) {
  for (QAbstractSeries* s : chart.series())
    if (s->objectName() == name) return s;
  return nullptr;
}

void DrawChart(QChart& chart, const ChartData& data) {
  if (auto* old = chart.findChild<ChartTexts*>("ChartTexts", Qt::FindDirectChildrenOnly)) {
    old->DeleteItems();
    delete old;
  }
  chart.removeAllSeries();
  for (QAbstractAxis* axis : chart.axes()) {
    chart.removeAxis(axis);
    delete axis;
  }

  chart.setObjectName(ChartObjectName(data.role));
  chart.setAnimationOptions(QChart::NoAnimation);
  chart.setBackgroundBrush(Qt::white);
  chart.setBackgroundRoundness(0);
  QFont titleFont = chart.titleFont();
  titleFont.setBold(true);
  titleFont.setPointSize(10);
  chart.setTitleFont(titleFont);
  chart.setTitle(ToQ(data.title));

  auto* texts = new ChartTexts(chart);
  texts->showLabels = data.showPointLabels;
  Extent xData, yData;
  AddToExtents(data, xData, yData);
  QAbstractAxis* x = MakeAxis(data.bottom, xData, true);
  QAbstractAxis* y = MakeAxis(data.left, yData, false);
  chart.addAxis(x, Qt::AlignBottom);
  chart.addAxis(y, Qt::AlignLeft);
  double xSpan = 1;
  if (auto* v = qobject_cast<QValueAxis*>(x)) xSpan = v->max() - v->min();
  if (auto* c = qobject_cast<QCategoryAxis*>(x)) xSpan = c->max() - c->min();

  for (const ChartSeries& s : data.series) {
    switch (s.kind) {
      case ChartSeries::Kind::kPoints:
        DrawPoints(chart, s, x, y, *texts);
        break;
      case ChartSeries::Kind::kLine:
        DrawLine(chart, s, x, y);
        break;
      case ChartSeries::Kind::kBars:
        DrawBars(chart, s, x, y);
        break;
      case ChartSeries::Kind::kBoxes:
        DrawBoxes(chart, s, x, y, xSpan);
        break;
      case ChartSeries::Kind::kBand:
        DrawBand(chart, s, x, y);
        break;
    }
  }
  ShowLegend(chart, data.equalScale);
  KeepTicksRound(chart, data.equalScale);

  if (!data.subtitle.empty())
    texts->subtitle = new QGraphicsSimpleTextItem(ToQ(data.subtitle), &chart);
  if (!data.foot.empty()) texts->foot = new QGraphicsSimpleTextItem(ToQ(data.foot), &chart);
  // Room under the bottom axis title for the foot.
  chart.setMargins(QMargins(12, 24, 24, data.foot.empty() ? 8 : 28));
  texts->Place();
}

void ShowChart(QChartView& view, const ChartData& data) {
  auto* fresh = new QChart;
  DrawChart(*fresh, data);
  QChart* old = view.chart();
  view.setChart(fresh);
  delete old;
  // A view fits its chart to itself only when its own size changes; the new
  // chart would otherwise keep its default size in a view already shown.
  QResizeEvent fit(view.size(), view.size());
  QCoreApplication::sendEvent(&view, &fit);
}

void PlaceChartTexts(QChart& chart) {
  if (auto* texts = chart.findChild<ChartTexts*>("ChartTexts", Qt::FindDirectChildrenOnly))
    texts->Place();
}

}  // namespace vireltan::app
