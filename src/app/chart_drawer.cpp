#include "app/chart_drawer.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChartView>
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

namespace vireltan::app {

namespace {

constexpr int kMarkFontPixels = 13;  // point labels of the MLG map
const QColor kDefaultPointColor(0, 0, 160);
const QColor kDefaultLineColor(200, 0, 0);
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
    for (Mark& m : marks) {
      QPointF at = chart_.mapToPosition(m.value, m.series);
      QRectF box = m.item->boundingRect();
      m.item->setPos(at.x() - box.width() / 2, at.y() - box.height() - 1);
      m.item->setVisible(plot.width() > 0 && tolerant.contains(at));
    }
    if (subtitle) subtitle->setPos(plot.left() + 6, plot.top() + 4);
    if (foot) {
      QRectF box = foot->boundingRect();
      foot->setPos(plot.left(), chart_.size().height() - box.height() - 6);
    }
  }

  std::vector<Mark> marks;
  QGraphicsSimpleTextItem* subtitle = nullptr;
  QGraphicsSimpleTextItem* foot = nullptr;

 private:
  QChart& chart_;
};

struct Extent {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  void add(double v) {
    if (!std::isfinite(v)) return;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  bool any() const { return lo <= hi; }
};

// Smallest gap between distinct sorted positions: the width one bar or
// box may take without touching its neighbour.
double SmallestGap(std::vector<double> xs, double fallback) {
  std::sort(xs.begin(), xs.end());
  double gap = std::numeric_limits<double>::infinity();
  for (size_t i = 1; i < xs.size(); ++i)
    if (xs[i] > xs[i - 1]) gap = std::min(gap, xs[i] - xs[i - 1]);
  return std::isfinite(gap) ? gap : fallback;
}

double BarWidth(const ChartSeries& s) {
  std::vector<double> xs;
  for (const ChartPoint& p : s.points) xs.push_back(p.x);
  return SmallestGap(xs, 1.0);
}

// Half-width of the boxes in axis units. The analyses give it in pixels of
// the chart's width; the plot takes roughly the chart's width less the
// axis margins.
double BoxHalfWidth(const ChartSeries& s, double span, double chartWidthPixels) {
  std::vector<double> xs;
  for (const BoxStats& b : s.boxes) xs.push_back(b.x);
  double gap = SmallestGap(xs, span > 0 ? span / 4 : 1.0);
  double half = 0.25 * gap;
  if (!s.boxes.empty() && s.boxes.front().halfWidthPixels > 0 && span > 0) {
    double plotPixels = chartWidthPixels > 250 ? chartWidthPixels - 150 : 600;
    half = s.boxes.front().halfWidthPixels * span / plotPixels;
  }
  return std::min(half, 0.45 * gap);
}

void AddToExtents(const ChartData& data, Extent& x, Extent& y) {
  for (const ChartSeries& s : data.series) {
    switch (s.kind) {
      case ChartSeries::Kind::kPoints:
      case ChartSeries::Kind::kLine:
        for (const ChartPoint& p : s.points) {
          x.add(p.x);
          y.add(p.y);
        }
        break;
      case ChartSeries::Kind::kBars: {
        double half = BarWidth(s) / 2;
        for (const ChartPoint& p : s.points) {
          x.add(p.x - half);
          x.add(p.x + half);
          y.add(0);
          y.add(p.y);
        }
        break;
      }
      case ChartSeries::Kind::kBoxes:
        for (const BoxStats& b : s.boxes) {
          x.add(b.x - 0.5);
          x.add(b.x + 0.5);
          for (double v :
               {b.lowerWhisker, b.lowerQuartile, b.median, b.upperQuartile, b.upperWhisker})
            y.add(v);
        }
        break;
    }
  }
}

// A round step (1, 2 or 5 times a power of ten) giving about `ticks`
// intervals over `span`.
double NiceStep(double span, int ticks) {
  double raw = span / ticks;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * power * (1 + 1e-9)) return m * power;
  return 10 * power;
}

// How round the number written in `text` is, for choosing which of crowded
// labels to show: 0 for 1, 2 or 5 times a power of ten (and 0), 1 for the
// other one-digit multiples of a power of ten, else the number of significant
// digits. Texts that are not numbers rank after every number.
int Roundness(const std::string& text) {
  constexpr int kNotANumber = 1000;
  std::string digits;
  bool point = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '-' && i == 0) continue;
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return kNotANumber;
    digits += c;
  }
  if (digits.empty()) return kNotANumber;
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  size_t last = digits.find_last_not_of('0');
  const std::string significant = digits.substr(first, last - first + 1);
  if (significant.size() > 1) return static_cast<int>(significant.size());
  return significant == "1" || significant == "2" || significant == "5" ? 0 : 1;
}

// Custom labels closer than this share of the axis to the previous one are
// left out, so that crowded labels stay readable instead of overlapping.
constexpr double kHorizontalLabelGap = 0.035;
constexpr double kVerticalLabelGap = 0.04;

QAbstractAxis* MakeAxis(const ChartAxis& settings, const Extent& data, bool horizontal) {
  double lo = 0, hi = 1;
  if (settings.fixedRange) {
    lo = settings.minimum;
    hi = settings.maximum;
  } else if (data.any()) {
    double pad = (data.hi - data.lo) * 0.05;
    if (pad == 0) pad = std::max(1.0, std::fabs(data.hi) * 0.05);
    lo = data.lo - pad;
    hi = data.hi + pad;
  }
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  if (hi <= lo) hi = lo + 1;

  QAbstractAxis* axis = nullptr;
  if (!settings.customLabels.empty()) {
    auto* category = new QCategoryAxis;
    category->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    category->setRange(lo, hi);
    // Labels sit on category end values; starting just below the axis lets
    // a label stand on its very first value.
    category->setStartValue(lo - (hi - lo) * 1e-9);
    const double tolerance = (hi - lo) * 1e-9;
    const double gap = (hi - lo) * (horizontal ? kHorizontalLabelGap : kVerticalLabelGap);
    // Crowded labels are thinned: round values are placed first, then the
    // others wherever they do not crowd a label already placed.
    std::vector<const AxisLabel*> candidates;
    for (const AxisLabel& label : settings.customLabels)
      if (std::isfinite(label.value) && label.value >= lo - tolerance &&
          label.value <= hi + tolerance)
        candidates.push_back(&label);
    std::vector<int> rank;
    rank.reserve(candidates.size());
    for (const AxisLabel* label : candidates) rank.push_back(Roundness(label->text));
    std::vector<size_t> order(candidates.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      if (rank[a] != rank[b]) return rank[a] < rank[b];
      return candidates[a]->value < candidates[b]->value;
    });
    std::map<double, const AxisLabel*> placed;
    for (size_t i : order) {
      const double v = candidates[i]->value;
      auto next = placed.lower_bound(v);
      if (next != placed.end() && next->first - v < gap) continue;
      if (next != placed.begin() && v - std::prev(next)->first < gap) continue;
      placed.emplace(v, candidates[i]);
    }
    std::set<QString> used;
    for (const auto& [value, label] : placed) {
      // Category labels must differ; an invisible suffix keeps repeats.
      QString text = ToQ(label->text);
      while (used.count(text)) text += QChar(0x200B);
      used.insert(text);
      category->append(text, value);
    }
    axis = category;
  } else {
    auto* value = new QValueAxis;
    value->setRange(lo, hi);
    if (!settings.fixedRange) value->applyNiceNumbers();
    value->setLabelFormat("%.10g");
    // Ticks at round values: the increment asked for (doubled until the
    // axis carries at most 25 ticks, so that a large count stays readable),
    // else about eight round steps.
    const double span = value->max() - value->min();
    double step = settings.increment > 0 ? settings.increment : NiceStep(span, 8);
    while (span / step > 25) step *= 2;
    value->setTickType(QValueAxis::TicksDynamic);
    value->setTickAnchor(std::ceil(value->min() / step) * step);
    value->setTickInterval(step);
    value->setMinorTickCount(0);
    axis = value;
  }
  axis->setTruncateLabels(false);
  axis->setTitleText(ToQ(settings.title));
  axis->setGridLineVisible(false);
  axis->setMinorGridLineVisible(false);
  return axis;
}

void Attach(QChart& chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
  chart.addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

void DrawPoints(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y,
                ChartTexts& texts) {
  // One Qt series per colour, the first carrying the series' name.
  std::map<std::string, QScatterSeries*> byColour;
  std::vector<QScatterSeries*> order;
  auto seriesFor = [&](const std::string& colour) {
    auto it = byColour.find(colour);
    if (it != byColour.end()) return it->second;
    auto* q = new QScatterSeries;
    q->setObjectName(order.empty() ? SeriesObjectName(s.name)
                                   : SeriesObjectName(s.name) + " " + ToQ(colour));
    QColor c = ColorOr(colour, kDefaultPointColor);
    q->setColor(c);
    q->setBorderColor(c);
    q->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    byColour[colour] = q;
    order.push_back(q);
    return q;
  };
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
    q->setMarkerSize(labelled ? 5 : 8);
    Attach(chart, q, x, y);
  }
  QFont font;
  font.setPixelSize(kMarkFontPixels);
  for (auto& [q, p] : placed) {
    auto* item = new QGraphicsSimpleTextItem(ToQ(p->label), &chart);
    item->setFont(font);
    item->setBrush(ColorOr(p->color, Qt::black));
    item->setZValue(10);
    texts.marks.push_back({item, QPointF(p->x, p->y), q});
  }
}

void DrawLine(QChart& chart, const ChartSeries& s, QAbstractAxis* x, QAbstractAxis* y) {
  auto* q = new QLineSeries;
  q->setObjectName(SeriesObjectName(s.name));
  QColor c =
      s.points.empty() ? kDefaultLineColor : ColorOr(s.points.front().color, kDefaultLineColor);
  q->setPen(QPen(c, 2));
  for (const ChartPoint& p : s.points)
    if (Finite(p.x, p.y)) q->append(p.x, p.y);
  Attach(chart, q, x, y);
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
  QColor c = bars.empty() ? kDefaultBarColor : ColorOr(bars.front().color, kDefaultBarColor);
  area->setBrush(c);
  area->setPen(QPen(c.darker(150), 1));
  Attach(chart, area, x, y);
}

// Above this many boxes a box is only a few pixels wide and Qt Charts slows
// down with the several series each box needs: the boxes are then drawn as
// one band from the lower to the upper quartiles with the medians as a
// dotted line, which shows the same curve in three series.
constexpr size_t kMaxSeparateBoxes = 120;

void DrawBoxBand(QChart& chart, const QString& name, const std::vector<BoxStats>& boxes,
                 QAbstractAxis* x, QAbstractAxis* y) {
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
    return DrawBoxBand(chart, SeriesObjectName(s.name), boxes, x, y);

  double half = BoxHalfWidth(s, xSpan, chart.size().width());
  QColor c = kDefaultBoxColor;
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
  chart.legend()->hide();
  QFont titleFont = chart.titleFont();
  titleFont.setBold(true);
  titleFont.setPointSize(12);
  chart.setTitleFont(titleFont);
  chart.setTitle(ToQ(data.title));

  auto* texts = new ChartTexts(chart);
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
    }
  }

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
