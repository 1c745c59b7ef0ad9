// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chart_axes.h"

#include <QtCharts/QCategoryAxis>
#include <QtCharts/QValueAxis>
#include <QtCore/QVariant>
#include <QtGui/QFontMetricsF>
#include <QtWidgets/QGraphicsLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include "charts/figure_text.h"

namespace vireltan::app {

namespace {
constexpr char kIncrementProperty[] = "vireltanIncrement";
constexpr char kBaseMarginsProperty[] = "vireltanBaseMargins";
constexpr char kGroupDigitsProperty[] = "vireltanGroupDigits";
// Most ticks an axis may have whatever its range: Qt Charts makes one
// item per tick, so a tiny step over a huge range would exhaust memory.
constexpr double kMaxTicks = 25;
constexpr char kHomeMinProperty[] = "vireltanHomeMin";
constexpr char kHomeMaxProperty[] = "vireltanHomeMax";
QString ToQ(const std::string& text) {
  return QString::fromStdString(ShortFigureText(text));
}
}  // namespace

void Extent::add(double v) {
  if (!std::isfinite(v)) return;
  lo = std::min(lo, v);
  hi = std::max(hi, v);
}

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
  if (s.barWidth > 0) return s.barWidth;
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
      case ChartSeries::Kind::kBand:
        for (size_t i = 0; i < s.points.size(); ++i) {
          x.add(s.points[i].x);
          y.add(s.points[i].y);
          if (i < s.high.size()) y.add(s.high[i]);
        }
        break;
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

double NiceStep(double span, int ticks) {
  if (!(span > 0) || ticks < 1) return 1;
  double raw = span / ticks;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * power * (1 + 1e-9)) return m * power;
  return 10 * power;
}

namespace {
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

constexpr char kLabelValuesProperty[] = "vireltanLabelValues";
constexpr char kLabelTextsProperty[] = "vireltanLabelTexts";

// The custom labels kept at least `gap` (axis units) apart: round values
// placed first, then the others wherever they do not crowd a label already
// placed; in the order of their values.
std::vector<std::pair<double, QString>> ThinLabels(const QVariantList& values,
                                                   const QStringList& texts, double gap) {
  std::vector<size_t> order(std::min<size_t>(values.size(), texts.size()));
  std::vector<int> rank;
  for (size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
    rank.push_back(Roundness(texts[i].toStdString()));
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (rank[a] != rank[b]) return rank[a] < rank[b];
    return values[a].toDouble() < values[b].toDouble();
  });
  std::map<double, QString> placed;
  for (size_t i : order) {
    const double v = values[i].toDouble();
    auto next = placed.lower_bound(v);
    if (next != placed.end() && next->first - v < gap) continue;
    if (next != placed.begin() && v - std::prev(next)->first < gap) continue;
    placed.emplace(v, texts[i]);
  }
  return {placed.begin(), placed.end()};
}

// Category labels must differ; an invisible suffix keeps repeats.
std::vector<std::pair<double, QString>> Distinct(std::vector<std::pair<double, QString>> labels) {
  std::set<QString> used;
  for (auto& [value, text] : labels) {
    while (used.count(text)) text += QChar(0x200B);
    used.insert(text);
  }
  return labels;
}

// Replaces the labels of `axis` by `labels` unless they are the same
// (each change asks for a new layout).
void SetCategoryLabels(QCategoryAxis& axis, std::vector<std::pair<double, QString>> labels) {
  labels = Distinct(std::move(labels));
  const QStringList now = axis.categoriesLabels();
  bool same = now.size() == static_cast<qsizetype>(labels.size());
  for (size_t i = 0; same && i < labels.size(); ++i)
    same = now[i] == labels[i].second && axis.endValue(now[i]) == labels[i].first;
  if (same) return;
  for (const QString& label : now) axis.remove(label);
  for (const auto& [value, text] : labels) axis.append(text, value);
}

}  // namespace

double SmallerNiceStep(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double mantissa = step / power;
  if (mantissa > 4.5) return 2 * power;
  if (mantissa > 1.5) return power;
  return 0.5 * power;
}

QAbstractAxis* MakeAxis(const ChartAxis& settings, const Extent& data, bool horizontal,
                        bool groupDigits) {
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
  // Counts, distances and percentages cannot be negative: their axis
  // starts at 0 at the lowest rather than in an empty stretch below it.
  if (!settings.fixedRange && data.any() && data.lo >= 0 && lo < 0) lo = 0;
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
    QVariantList values;
    QStringList texts;
    for (const AxisLabel& label : settings.customLabels)
      if (std::isfinite(label.value) && label.value >= lo - tolerance &&
          label.value <= hi + tolerance) {
        values << label.value;
        texts << ToQ(label.text);
      }
    // Kept for thinning them again once the axis's length is known.
    category->setProperty(kLabelValuesProperty, values);
    category->setProperty(kLabelTextsProperty, texts);
    SetCategoryLabels(
        *category, ThinLabels(values, texts,
                              (hi - lo) * (horizontal ? kHorizontalLabelGap : kVerticalLabelGap)));
    axis = category;
  } else {
    auto* value = new QValueAxis;
    value->setRange(lo, hi);
    value->setTickType(QValueAxis::TicksDynamic);
    value->setMinorTickCount(0);
    // The increment the analysis asks for (a count axis steps by whole
    // numbers); KeepTicksRound widens it to fit the labels.
    value->setProperty(kIncrementProperty, settings.increment);
    // Until the chart is laid out (KeepTicksRound), at most 25 ticks.
    double step = settings.increment > 0 ? settings.increment : NiceStep(hi - lo, 8);
    while ((hi - lo) / step > 25) step *= 2;
    value->setTickInterval(step);
    value->setTickAnchor(std::ceil(lo / step) * step);
    value->setLabelFormat("%.10g");
    value->setProperty(kGroupDigitsProperty, groupDigits);
    // The range the data asks for, to which an equal scale returns.
    value->setProperty(kHomeMinProperty, lo);
    value->setProperty(kHomeMaxProperty, hi);
    axis = value;
  }
  axis->setTruncateLabels(false);
  axis->setTitleText(ToQ(settings.title));
  axis->setGridLineVisible(false);
  axis->setMinorGridLineVisible(false);
  return axis;
}

namespace {

// The text a value axis writes for `value` with ticks `step` apart: as
// many decimals as the step needs and no more.
int DecimalsFor(double step) {
  if (!(step > 0)) return 0;
  int decimals = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  return std::clamp(decimals, 0, 10);
}

// Sets the tick step of `axis` for `lo`..`hi` before its range, so that
// no layout ever sees a small step over a huge range.
void SetRangeWithTicks(QValueAxis* axis, double lo, double hi) {
  const double step = NiceStep(hi - lo, 5);
  if (step > 0 && std::isfinite(step)) {
    axis->setTickInterval(step);
    axis->setTickAnchor(std::ceil(lo / step) * step);
  }
  axis->setRange(lo, hi);
}

// Ticks of step `step` within lo..hi.
double TickCount(double lo, double hi, double step) {
  return std::floor(hi / step + 1e-9) - std::ceil(lo / step - 1e-9) + 1;
}

// Thins the custom labels of `axis` for its length on the plot: labels a
// line and a quarter apart up, their width and a half line across, so that
// none overlaps (Qt Charts would hide one of two that do, often the roundest)
// and, where the length allows, at least three are left.
void ThinForLength(QCategoryAxis& axis, const QRectF& plot) {
  const QVariantList values = axis.property(kLabelValuesProperty).toList();
  const QStringList texts = axis.property(kLabelTextsProperty).toStringList();
  const bool horizontal = axis.orientation() == Qt::Horizontal;
  const double length = horizontal ? plot.width() : plot.height();
  const double span = axis.max() - axis.min();
  if (values.isEmpty() || !(length > 0) || !(span > 0)) return;
  const QFontMetricsF metrics(axis.labelsFont());
  double widest = 0;
  for (const QString& text : texts) widest = std::max(widest, metrics.horizontalAdvance(text));
  const double room = horizontal ? widest + metrics.height() / 2 : metrics.height() * 1.25;
  const double tight = horizontal ? widest + metrics.height() / 4 : metrics.height() * 1.05;
  auto labels = ThinLabels(values, texts, room / length * span);
  if (labels.size() < 3) labels = ThinLabels(values, texts, tight / length * span);
  SetCategoryLabels(axis, std::move(labels));
}

void Retick(QChart& chart) {
  const QRectF plot = chart.plotArea();
  const int minimumTicks = chart.property("vireltanEqualScale").toBool() ? 4 : 3;
  for (QAbstractAxis* a : chart.axes()) {
    if (auto* category = qobject_cast<QCategoryAxis*>(a)) {
      if (plot.width() > 0) ThinForLength(*category, plot);
      continue;
    }
    auto* axis = qobject_cast<QValueAxis*>(a);
    if (!axis) continue;
    const bool horizontal = axis->orientation() == Qt::Horizontal;
    const double span = axis->max() - axis->min();
    if (!(span > 0) || !std::isfinite(span) || plot.width() <= 0) continue;
    const bool group = axis->property(kGroupDigitsProperty).toBool();
    const QFontMetricsF metrics(axis->labelsFont());
    const double increment = axis->property(kIncrementProperty).toDouble();
    const double length = horizontal ? plot.width() : plot.height();
    // Layout units between neighbouring ticks `s` apart.
    auto apart = [&](double s) { return s / span * length; };
    // The step for labels written across (`turned`: a horizontal axis's
    // labels turned up, each then a line wide). Room a label needs: its
    // widest text across, or a line and a half up; `tight` is the least
    // that keeps neighbours apart (a third of a line between them), which
    // the minimum number of ticks may use, never less: an axis too short
    // for its labels has fewer ticks, not overlapping ones.
    auto chooseStep = [&](bool turned) {
      double step = NiceStep(span, 8);
      double room = 0, tight = 0;
      for (int attempt = 0; attempt < 3; ++attempt) {
        const int decimals = DecimalsFor(step);
        const QString widest =
            QString(axis->min() < 0 ? "-" : "") +
            QString::asprintf(group ? "%'.*f" : "%.*f", decimals,
                              std::max(std::fabs(axis->min()), std::fabs(axis->max())));
        const double across = turned ? metrics.height() : metrics.horizontalAdvance(widest);
        room = horizontal ? across + metrics.height() : metrics.height() * 1.6;
        tight = horizontal ? across + metrics.height() / 3 : metrics.height() * 1.2;
        const int fit = std::max(1, static_cast<int>(length / room));
        step = NiceStep(span, fit);
        if (increment > 0 && step < increment) step = increment;
      }
      // At least the minimum number of ticks, with round steps (a fixed
      // number of halvings: bounded whatever the span), while they fit.
      for (int k = 0; k < 12 && TickCount(axis->min(), axis->max(), step) < minimumTicks; ++k) {
        const double smaller = SmallerNiceStep(step);
        if (increment > 0 && smaller < increment) break;
        if (apart(smaller) < tight) break;
        step = smaller;
      }
      // Too few ticks: a step of 4, 3, 2.5 or 1.5 times a power of ten
      // (ticks still at round values) may give more that fit.
      if (TickCount(axis->min(), axis->max(), step) < minimumTicks) {
        const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        for (double m : {4.0, 3.0, 2.5, 2.0, 1.5, 1.0}) {
          // (2.5 and 1.5 below 1 would need one more decimal than the step's.)
          if (power < 1 && (m == 2.5 || m == 1.5)) continue;
          const double candidate = m * power;
          if (candidate >= step * (1 - 1e-9) || apart(candidate) < tight) continue;
          // An axis of whole numbers keeps whole steps.
          if (increment > 0 &&
              (candidate < increment ||
               std::fabs(candidate / increment - std::round(candidate / increment)) > 1e-9))
            continue;
          if (TickCount(axis->min(), axis->max(), candidate) >
              TickCount(axis->min(), axis->max(), step)) {
            step = candidate;
            if (TickCount(axis->min(), axis->max(), step) >= minimumTicks) break;
          }
        }
      }
      return step;
    };
    double step = chooseStep(false);
    // Labels too wide for three ticks across (map coordinates in the
    // hundreds of thousands on a column's width) are turned up.
    bool turned = false;
    if (horizontal && TickCount(axis->min(), axis->max(), step) < minimumTicks) {
      const double upright = chooseStep(true);
      if (TickCount(axis->min(), axis->max(), upright) >
          TickCount(axis->min(), axis->max(), step)) {
        step = upright;
        turned = true;
      }
    }
    if (horizontal && (axis->labelsAngle() != 0) != turned) {
      axis->setLabelsAngle(turned ? -90 : 0);
      if (chart.layout())
        QMetaObject::invokeMethod(
            &chart, [&chart] { chart.layout()->invalidate(); }, Qt::QueuedConnection);
    }
    while (span / step > kMaxTicks) step *= 2;
    // Anchored at 0 when the axis crosses it, so that no rounding writes
    // the zero tick as "-0.000".
    const double anchor =
        axis->min() <= 0 && axis->max() >= 0 ? 0.0 : std::ceil(axis->min() / step - 1e-9) * step;
    const QString format = QString(group ? "%'.%1f" : "%.%1f").arg(DecimalsFor(step));
    const bool relayout = axis->labelFormat() != format;
    if (relayout) axis->setLabelFormat(format);
    // Labels of another width need another layout: asked once the current
    // one has finished (a change made during a layout is not seen by it).
    if (relayout && chart.layout())
      QMetaObject::invokeMethod(
          &chart, [&chart] { chart.layout()->invalidate(); }, Qt::QueuedConnection);
    if (step == axis->tickInterval() && anchor == axis->tickAnchor()) continue;
    axis->setTickInterval(step);
    axis->setTickAnchor(anchor);
    // The tick marks follow a new interval only when the axis is laid out
    // again: switching the tick type there and back makes it so.
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setTickType(QValueAxis::TicksDynamic);
  }
}

// Gives the plot area the shape of the data, so that a unit is as long
// across as up: the chart's margins grow on the side that has room to
// spare. The margins the drawer set are kept as the base; the plot area the
// layout would give without the extra is the "home" area. A shape too far
// from the chart's (a transect) keeps at least a quarter of the other side,
// and its axis range widens instead.
void EqualScale(QChart& chart) {
  QValueAxis* x = nullptr;
  QValueAxis* y = nullptr;
  for (QAbstractAxis* a : chart.axes()) {
    if (auto* v = qobject_cast<QValueAxis*>(a)) (v->orientation() == Qt::Horizontal ? x : y) = v;
  }
  if (!x || !y) return;
  if (!chart.property(kBaseMarginsProperty).isValid())
    chart.setProperty(kBaseMarginsProperty, QVariant::fromValue(chart.margins()));
  chart.setProperty("vireltanEqualScale", true);
  const QMargins base = chart.property(kBaseMarginsProperty).value<QMargins>();
  const QMargins now = chart.margins();
  // Where the plot would be without the extra margins.
  const QRectF home =
      chart.plotArea().adjusted(-(now.left() - base.left()), -(now.top() - base.top()),
                                now.right() - base.right(), now.bottom() - base.bottom());
  if (home.width() < 10 || home.height() < 10) return;
  // From the data's own ranges each time, so that a passing layout (the
  // chart being built, a narrow window) leaves no widening behind.
  const double xLo = x->property(kHomeMinProperty).toDouble();
  const double xHi = x->property(kHomeMaxProperty).toDouble();
  const double yLo = y->property(kHomeMinProperty).toDouble();
  const double yHi = y->property(kHomeMaxProperty).toDouble();
  const double xSpan = xHi - xLo, ySpan = yHi - yLo;
  if (!(xSpan > 0) || !(ySpan > 0)) return;
  // A margin of half a line of the tick labels (about a marker's width)
  // around the data, so that no point at the edge is cut.
  const double margin = std::min(QFontMetricsF(x->labelsFont()).height() * 0.6,
                                 std::min(home.width(), home.height()) / 8);
  const double unitsPerPixel =
      std::max(xSpan / (home.width() - 2 * margin), ySpan / (home.height() - 2 * margin));
  double width = std::max(xSpan / unitsPerPixel + 2 * margin, home.width() / 4);
  double height = std::max(ySpan / unitsPerPixel + 2 * margin, home.height() / 4);
  const double xWanted = width * unitsPerPixel, yWanted = height * unitsPerPixel;
  if (std::fabs(x->min() - (xLo + xHi - xWanted) / 2) > 1e-9 * xWanted ||
      std::fabs(x->max() - (xLo + xHi + xWanted) / 2) > 1e-9 * xWanted)
    SetRangeWithTicks(x, (xLo + xHi - xWanted) / 2, (xLo + xHi + xWanted) / 2);
  if (std::fabs(y->min() - (yLo + yHi - yWanted) / 2) > 1e-9 * yWanted ||
      std::fabs(y->max() - (yLo + yHi + yWanted) / 2) > 1e-9 * yWanted)
    SetRangeWithTicks(y, (yLo + yHi - yWanted) / 2, (yLo + yHi + yWanted) / 2);
  const int extraX = std::max(0, static_cast<int>((home.width() - width) / 2));
  const int extraY = std::max(0, static_cast<int>((home.height() - height) / 2));
  const QMargins wanted(base.left() + extraX, base.top() + extraY, base.right() + extraX,
                        base.bottom() + extraY);
  // Within a pixel or two the shape is right: no new layout (which would
  // call this again).
  auto close = [](int a, int b) { return std::abs(a - b) <= 2; };
  if (!close(wanted.left(), now.left()) || !close(wanted.top(), now.top()) ||
      !close(wanted.right(), now.right()) || !close(wanted.bottom(), now.bottom()))
    chart.setMargins(wanted);
}

}  // namespace

void KeepTicksRound(QChart& chart, bool equalScale) {
  if (equalScale) chart.setProperty("vireltanEqualScale", true);
  QObject::connect(&chart, &QChart::plotAreaChanged, &chart, [&chart, equalScale](const QRectF& r) {
    (void)r;
    if (equalScale) EqualScale(chart);
    Retick(chart);
  });
  for (QAbstractAxis* a : chart.axes())
    if (auto* v = qobject_cast<QValueAxis*>(a))
      QObject::connect(v, &QValueAxis::rangeChanged, &chart, [&chart] { Retick(chart); });
}

}  // namespace vireltan::app
