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
#include <QtWidgets/QGraphicsLayout>
#include <QtWidgets/QGraphicsSimpleTextItem>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "app/chart_axes.h"
#include "app/chart_decor.h"
#include "charts/figure_text.h"

namespace vireltan::app {

namespace {

const QColor kDefaultPointColor(0, 0, 160);
const QColor kDefaultLineColor(0, 0, 0);
const QColor kDefaultBarColor(150, 150, 150);  // histogram bars are grey
const QColor kDefaultBoxColor(0, 0, 0);

QString ToQ(const std::string& text) {
  return ChartTextForFigure(text);
}

using LegendEntry = ChartDecor::LegendEntry;
using Symbol = LegendEntry::Symbol;

QColor ColorOr(const std::string& name, const QColor& fallback) {
  if (name.empty()) return fallback;
  QColor c(ToQ(name));
  return c.isValid() ? c : fallback;
}

// The Qt marker and the legend symbol of a point's marker name.
QScatterSeries::MarkerShape ShapeOf(const std::string& marker) {
  return marker == "square"     ? QScatterSeries::MarkerShapeRectangle
         : marker == "triangle" ? QScatterSeries::MarkerShapeTriangle
         : marker == "diamond"  ? QScatterSeries::MarkerShapeRotatedRectangle
                                : QScatterSeries::MarkerShapeCircle;
}
Symbol SymbolOf(const std::string& marker) {
  return marker == "square"     ? Symbol::kSquare
         : marker == "triangle" ? Symbol::kTriangle
         : marker == "diamond"  ? Symbol::kDiamond
                                : Symbol::kCircle;
}

bool Finite(double x, double y) {
  return std::isfinite(x) && std::isfinite(y);
}

void Attach(QChart& chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
  chart.addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

void DrawPoints(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
                ChartDecor& decor, const ChartStyle& style) {
  // One Qt series per colour and marker, the first carrying the series'
  // name; the legend names each as the analysis says (a clone), in its
  // order.
  // Points drawn larger than usual (genets by clone size) go to series of
  // their own size, which the legend leaves out.
  std::map<std::tuple<std::string, std::string, double>, QScatterSeries*> byKey;
  std::vector<QScatterSeries*> order;
  std::vector<QString> legends;
  std::vector<std::string> markers;
  std::vector<double> sizes;
  auto seriesFor = [&](const std::string& colour, const std::string& marker, double size = 1) {
    if (!(size > 0)) size = 1;
    auto it = byKey.find({colour, marker, size});
    if (it != byKey.end()) return it->second;
    auto* q = new QScatterSeries;
    q->setObjectName(order.empty() ? SeriesObjectName(s.name)
                                   : SeriesObjectName(s.name) + " " + ToQ(colour) +
                                         (marker.empty() ? QString() : " " + ToQ(marker)));
    QString legend = size == 1 ? ToQ(s.legend) : QString();
    for (const ColourLegend& entry : s.colourLegend)
      if (size == 1 && entry.color == colour && entry.marker == marker) legend = ToQ(entry.text);
    QColor c = ColorOr(colour, ColorOr(s.color, kDefaultPointColor));
    q->setName(legend);
    q->setColor(c);
    q->setBorderColor(c);
    q->setMarkerShape(ShapeOf(marker));
    byKey[{colour, marker, size}] = q;
    order.push_back(q);
    legends.push_back(legend);
    markers.push_back(marker);
    sizes.push_back(size);
    return q;
  };
  for (const ColourLegend& entry : s.colourLegend) seriesFor(entry.color, entry.marker);
  bool labelled = s.showMarks && std::any_of(s.points.begin(), s.points.end(),
                                             [](const ChartPoint& p) { return !p.label.empty(); });
  if (s.points.empty()) seriesFor("", "");
  std::vector<std::pair<QScatterSeries*, const ChartPoint*>> placed;
  for (const ChartPoint& p : s.points) {
    if (!Finite(p.x, p.y)) continue;
    QScatterSeries* q = seriesFor(p.color, p.marker, p.size);
    q->append(p.x, p.y);
    if (labelled && !p.label.empty()) placed.push_back({q, &p});
  }
  // The last legend entries (the grey "other MLGs") are drawn first, under
  // the clones' colours.
  for (size_t k = order.size(); k-- > 0;) {
    QScatterSeries* q = order[k];
    // Labelled points are small dots under their label; bare points are
    // circles that stand out on their own.
    q->setMarkerSize(style.Units(s.markerPoints > 0 ? s.markerPoints
                                 : labelled         ? 3.5
                                                    : 4) *
                     sizes[k]);
    QPen border(labelled ? q->color().darker(160) : q->color());
    border.setWidthF(style.Units(0.4));
    q->setPen(border);
    Attach(chart, q, x, y);
  }
  // A map's smallest clones may be folded into "other MLGs" when the
  // figure's legend has no room for them (the decor decides).
  const bool foldable = !s.foldColour.empty();
  const QColor foldColour = ColorOr(s.foldColour, QColor(187, 187, 187));
  bool target = false;
  for (size_t k = 0; k < order.size(); ++k) {
    if (legends[k].isEmpty()) continue;
    QPen pen(order[k]->pen());
    LegendEntry entry{SymbolOf(markers[k]), order[k]->color(), pen, legends[k]};
    if (foldable) {
      const bool isTarget = order[k]->color() == foldColour && markers[k].empty();
      entry.fold = isTarget ? LegendEntry::Fold::kTarget : LegendEntry::Fold::kFoldable;
      entry.series = isTarget ? nullptr : order[k];
      target = target || isTarget;
    }
    decor.AddLegendEntry(entry);
  }
  if (foldable && !target) {
    QPen pen(labelled ? foldColour.darker(160) : foldColour);
    pen.setWidthF(style.Units(0.4));
    LegendEntry other{Symbol::kCircle, foldColour, pen, ToQ(s.foldText)};
    other.fold = LegendEntry::Fold::kTargetIfFolded;
    decor.AddLegendEntry(other);
  }
  if (!decor.showLabels) return;
  for (auto& [q, p] : placed) decor.AddMark(ToQ(p->label), QPointF(p->x, p->y), q);
}

void DrawLine(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
              ChartDecor& decor, const ChartStyle& style) {
  auto* q = new QLineSeries;
  q->setObjectName(SeriesObjectName(s.name));
  q->setName(ToQ(s.legend));
  QColor c =
      ColorOr(s.color, s.points.empty() ? kDefaultLineColor
                                        : ColorOr(s.points.front().color, kDefaultLineColor));
  QPen pen(c, style.Units(s.dashed ? 0.75 : 1.25), s.dashed ? Qt::DashLine : Qt::SolidLine);
  q->setPen(pen);
  if (s.markers) {
    q->setPointsVisible(true);
    // Qt Charts draws a line's markers with this as their radius: 3 pt
    // across, a little wider than the line.
    q->setMarkerSize(style.Units(1.5));
  }
  for (const ChartPoint& p : s.points)
    if (Finite(p.x, p.y)) q->append(p.x, p.y);
  Attach(chart, q, x, y);
  if (!s.legend.empty()) decor.AddLegendEntry({Symbol::kLine, c, pen, ToQ(s.legend)});
}

// A shaded area between two curves (an envelope, a range, mean +- SE).
void DrawBand(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
              ChartDecor& decor, const ChartStyle& style) {
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
  band->setPen(QPen(c, style.Units(0.5), Qt::DotLine));
  Attach(chart, band, x, y);
  // A translucent band would read as hollow in the legend.
  QColor solid = fill;
  solid.setAlpha(160);
  if (!s.legend.empty())
    decor.AddLegendEntry({Symbol::kFilledBox, solid, QPen(solid, style.Units(0.5)), ToQ(s.legend)});
}

// Bars of full width (touching), drawn as one filled outline from the axis
// so that they sit on a numeric axis like the other series.
void DrawBars(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
              ChartDecor& decor, const ChartStyle& style) {
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
  area->setPen(QPen(c.darker(150), style.Units(0.5)));
  Attach(chart, area, x, y);
  if (!s.legend.empty())
    decor.AddLegendEntry(
        {Symbol::kFilledBox, c, QPen(c.darker(150), style.Units(0.5)), ToQ(s.legend)});
}

// Above this many boxes a box is a few pixels wide (a comb) and Qt Charts slows
// down with the several series each box needs: the boxes are then drawn as
// one band from the lower to the upper quartiles with the medians as a
// dotted line, which shows the same curve in three series.
constexpr size_t kMaxSeparateBoxes = 30;

void DrawBoxBand(QChart& chart, const QString& name, const QString& legend,
                 const std::vector<BoxStats>& boxes, QAbstractAxis* x, QAbstractAxis* y,
                 ChartDecor& decor, const ChartStyle& style) {
  const QColor c = kDefaultBoxColor;
  const double lineWidth = style.Units(0.5);
  if (!legend.isEmpty())
    decor.AddLegendEntry({Symbol::kFilledBox, QColor(205, 205, 205), QPen(c, lineWidth), legend});
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
  band->setPen(QPen(c, lineWidth));
  Attach(chart, band, x, y);
  median->setObjectName(name + " median");
  median->setPen(QPen(c, lineWidth, Qt::DotLine));
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
    w->setPen(QPen(c, lineWidth, Qt::DashLine));
    Attach(chart, w, x, y);
  };
  whiskers(" upper whisker", true);
  whiskers(" lower whisker", false);
}

void DrawBoxes(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
               double xSpan, ChartDecor& decor, const ChartStyle& style) {
  const double lineWidth = style.Units(0.5);
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
    return DrawBoxBand(chart, SeriesObjectName(s.name), ToQ(s.legend), boxes, x, y, decor, style);

  double half = BoxHalfWidth(s, xSpan, chart.size().width());
  QColor c = kDefaultBoxColor;
  if (!s.legend.empty())
    decor.AddLegendEntry({Symbol::kHollowBox, QColor(), QPen(c, lineWidth), ToQ(s.legend)});
  int n = 0;
  auto line = [&](const QString& suffix, const QPen& pen) {
    auto* q = new QLineSeries;
    q->setObjectName(n++ == 0 ? SeriesObjectName(s.name) : SeriesObjectName(s.name) + suffix);
    q->setPen(pen);
    return q;
  };
  if (boxes.empty()) Attach(chart, line("", QPen(c)), x, y);
  int index = 0;
  for (const BoxStats& b : boxes) {
    QString tag = QString(" box %1").arg(++index);
    auto* box = line(tag, QPen(c, lineWidth));
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
      auto* w = line(tag + " lower whisker", QPen(c, lineWidth));
      w->append(b.x, b.lowerQuartile);
      w->append(b.x, b.lowerWhisker);
      Attach(chart, w, x, y);
    }
    if (b.upperWhisker > b.upperQuartile) {
      auto* w = line(tag + " upper whisker", QPen(c, lineWidth));
      w->append(b.x, b.upperQuartile);
      w->append(b.x, b.upperWhisker);
      Attach(chart, w, x, y);
    }
  }
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
    case ChartRole::kCallRate:
      return "CallRate";
    case ChartRole::kOrdination:
      return "Ordination";
    case ChartRole::kIsolationByDistance:
      return "IsolationByDistance";
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

QString ChartTextForFigure(const std::string& text) {
  // Shortened first: a text of megabytes is laid out as a short one.
  return QString::fromStdString(RoundNumbersInText(ShortFigureText(text)));
}

void DrawChart(QChart& chart, const ChartData& data, const ChartStyle& style) {
  if (auto* old = chart.findChild<ChartDecor*>("ChartTexts", Qt::FindDirectChildrenOnly)) {
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
  chart.setBackgroundPen(Qt::NoPen);
  if (chart.layout()) chart.layout()->setContentsMargins(0, 0, 0, 0);
  // Title and legend are drawn by the decor, which wraps them instead of
  // shortening them with "…".
  chart.setTitle(QString());
  chart.legend()->hide();

  auto* decor = new ChartDecor(chart, style, data.equalScale);
  decor->showLabels = data.showPointLabels;
  decor->SetTitle(ToQ(data.title));
  decor->SetLegendTitle(ToQ(data.legendTitle));
  Extent xData, yData;
  AddToExtents(data, xData, yData);
  QAbstractAxis* x = MakeAxis(data.bottom, xData, true, data.groupDigits);
  QAbstractAxis* y = MakeAxis(data.left, yData, false, data.groupDigits);
  for (QAbstractAxis* axis : {x, y}) {
    QPen line(Qt::black, style.Units(0.5));
    axis->setLinePen(line);
  }
  chart.addAxis(x, Qt::AlignBottom);
  chart.addAxis(y, Qt::AlignLeft);
  decor->SetAxisTitles(x, ToQ(data.bottom.title), y, ToQ(data.left.title));
  double xSpan = 1;
  if (auto* v = qobject_cast<QValueAxis*>(x)) xSpan = v->max() - v->min();
  if (auto* c = qobject_cast<QCategoryAxis*>(x)) xSpan = c->max() - c->min();

  for (const ChartSeries& s : data.series) {
    switch (s.kind) {
      case ChartSeries::Kind::kPoints:
        DrawPoints(chart, s, x, y, *decor, style);
        break;
      case ChartSeries::Kind::kLine:
        DrawLine(chart, s, x, y, *decor, style);
        break;
      case ChartSeries::Kind::kBars:
        DrawBars(chart, s, x, y, *decor, style);
        break;
      case ChartSeries::Kind::kBoxes:
        DrawBoxes(chart, s, x, y, xSpan, *decor, style);
        break;
      case ChartSeries::Kind::kBand:
        DrawBand(chart, s, x, y, *decor, style);
        break;
    }
  }
  KeepTicksRound(chart, data.equalScale);
  decor->SetSubtitle(ToQ(data.subtitle));
  decor->SetFoot(ToQ(data.foot));
  decor->Place();
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
  if (auto* texts = chart.findChild<ChartDecor*>("ChartTexts", Qt::FindDirectChildrenOnly))
    texts->Place();
}

}  // namespace vireltan::app
