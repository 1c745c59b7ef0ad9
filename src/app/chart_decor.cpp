// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/chart_decor.h"

#include <QtCharts/QAbstractAxis>
#include <QtCharts/QValueAxis>
#include <QtGui/QFontMetricsF>
#include <QtGui/QPolygonF>
#include <QtWidgets/QGraphicsEllipseItem>
#include <QtWidgets/QGraphicsLayout>
#include <QtWidgets/QGraphicsLineItem>
#include <QtWidgets/QGraphicsPolygonItem>
#include <QtWidgets/QGraphicsRectItem>
#include <algorithm>
#include <cmath>

namespace vireltan::app {

namespace {

// Greedy line breaking at spaces for `width` in layout units; a word
// wider than a line is cut between characters. Never shortens a text (the
// texts come shortened to a few hundred characters by ChartTextForFigure).
// Each word and character is measured once: the work grows with the
// length of the text, not with its square.
QStringList Wrap(const QString& text, const QFontMetricsF& metrics, double width) {
  QStringList lines;
  QString line;
  double lineWidth = 0;
  const double space = metrics.horizontalAdvance(' ');
  for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
    const double wordWidth = metrics.horizontalAdvance(word);
    if (line.isEmpty() && wordWidth <= width) {
      line = word;
      lineWidth = wordWidth;
      continue;
    }
    if (!line.isEmpty() && lineWidth + space + wordWidth <= width) {
      line += ' ' + word;
      lineWidth += space + wordWidth;
      continue;
    }
    if (!line.isEmpty()) lines << line;
    line.clear();
    lineWidth = 0;
    if (wordWidth <= width) {
      line = word;
      lineWidth = wordWidth;
      continue;
    }
    // Cut between characters (a surrogate pair stays whole).
    QString piece;
    double pieceWidth = 0;
    for (int i = 0; i < word.size();) {
      const int length = word.at(i).isHighSurrogate() && i + 1 < word.size() ? 2 : 1;
      const QString character = word.mid(i, length);
      const double characterWidth = metrics.horizontalAdvance(character);
      if (!piece.isEmpty() && pieceWidth + characterWidth > width) {
        lines << piece;
        piece.clear();
        pieceWidth = 0;
      }
      piece += character;
      pieceWidth += characterWidth;
      i += length;
    }
    line = piece;
    lineWidth = pieceWidth;
  }
  if (!line.isEmpty() || lines.isEmpty()) lines << line;
  return lines;
}

// How many of `foldable` legend entries `cells` rows or cells keep beside
// `always` entries shown anyway (and one for "other MLGs" when it shows only
// once entries are folded).
int KeptEntries(int cells, int always, int foldable, bool targetIfFolded) {
  const int room = cells - always;
  if (room >= foldable) return foldable;
  return std::max(0, room - (targetIfFolded ? 1 : 0));
}

}  // namespace

ChartDecor::ChartDecor(QChart& chart, const ChartStyle& style, bool legendBeside)
    : QObject(&chart), chart_(chart), style_(style), legendBeside_(legendBeside) {
  setObjectName("ChartTexts");
  QObject::connect(&chart, &QChart::plotAreaChanged, this, [this] { Place(); });
}

QFont ChartDecor::Font(double points, bool bold) const {
  QFont font;
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(style_.Units(points)))));
  font.setBold(bold);
  return font;
}

QGraphicsSimpleTextItem* ChartDecor::NewText(const QString& text, const QFont& font) {
  auto* item = new QGraphicsSimpleTextItem(text, &chart_);
  item->setFont(font);
  item->setBrush(Qt::black);
  item->setZValue(10);
  return item;
}

void ChartDecor::DeleteItems() {
  for (Mark& m : marks_) delete m.item;
  marks_.clear();
  for (auto* line : titleLines_) delete line;
  titleLines_.clear();
  for (auto* lines : {&xTitleLines_, &yTitleLines_}) {
    for (auto* line : *lines) delete line;
    lines->clear();
  }
  for (LegendItem& l : legend_) {
    delete l.symbol;
    delete l.text;
  }
  legend_.clear();
  delete subtitle_;
  delete foot_;
  subtitle_ = foot_ = nullptr;
}

void ChartDecor::SetTitle(const QString& title) {
  title_ = style_.showTitle ? title : QString();
}

void ChartDecor::SetLegendTitle(const QString& text) {
  if (text.isEmpty()) return;
  LegendEntry heading;
  heading.symbol = LegendEntry::Symbol::kNone;
  heading.text = text;
  legend_.insert(legend_.begin(), {heading, nullptr, NewText(text, Font(style_.fontPoints, true))});
}

void ChartDecor::SetSubtitle(const QString& text) {
  if (!text.isEmpty()) subtitle_ = NewText(text, Font(style_.fontPoints));
}

void ChartDecor::SetFoot(const QString& text) {
  if (!text.isEmpty()) foot_ = NewText(text, Font(style_.fontPoints));
  if (foot_) foot_->setData(0, text);  // the unwrapped text
}

void ChartDecor::AddLegendEntry(const LegendEntry& entry) {
  legend_.push_back({entry, nullptr, NewText(entry.text, Font(style_.fontPoints))});
}

void ChartDecor::AddMark(const QString& text, const QPointF& value, QAbstractSeries* series) {
  QGraphicsSimpleTextItem* item = NewText(text, Font(style_.fontPoints));
  marks_.push_back({item, value, series});
}

void ChartDecor::SetAxisTitles(QAbstractAxis* x, const QString& xTitle, QAbstractAxis* y,
                               const QString& yTitle) {
  xAxis_ = x;
  yAxis_ = y;
  xTitle_ = xTitle;
  yTitle_ = yTitle;
  for (QAbstractAxis* axis : {x, y}) {
    axis->setTitleText(QString());
    axis->setTitleVisible(false);
    axis->setLabelsFont(Font(style_.fontPoints));
  }
  // Points follow zoom and pan with their labels.
  for (QAbstractAxis* axis : {x, y})
    if (auto* v = qobject_cast<QValueAxis*>(axis))
      QObject::connect(v, &QValueAxis::rangeChanged, this, [this] { Place(); });
}

void ChartDecor::LayOutFrame() {
  const QSizeF size = chart_.size();
  laidOutFor_ = size;
  const double W = size.width(), H = size.height();
  const double pad = style_.Units(4), gap = style_.Units(3);
  const QFont font = Font(style_.fontPoints);
  const QFontMetricsF metrics(font);
  const double line = metrics.lineSpacing();

  // Title, centred, wrapped.
  for (auto* item : titleLines_) delete item;
  titleLines_.clear();
  double top = pad;
  if (!title_.isEmpty()) {
    const QFont titleFont = Font(style_.titlePoints, true);
    const QFontMetricsF titleMetrics(titleFont);
    for (const QString& text : Wrap(title_, titleMetrics, W - 2 * pad)) {
      QGraphicsSimpleTextItem* item = NewText(text, titleFont);
      item->setPos((W - titleMetrics.horizontalAdvance(text)) / 2, top);
      titleLines_.push_back(item);
      top += titleMetrics.lineSpacing();
    }
    top += gap;
  }

  // Foot, wrapped, at the bottom.
  double footHeight = 0;
  if (foot_) {
    const QStringList lines = Wrap(foot_->data(0).toString(), metrics, W - 2 * pad);
    foot_->setText(lines.join('\n'));
    footHeight = lines.size() * line;
  }

  // Legend entries: symbol a text's height wide, text wrapped; in columns
  // beside the plot, or in a grid of rows below it.
  const double symbol = metrics.ascent();
  const double spacing = style_.Units(2);
  struct Cell {
    double x, y;
  };
  struct LegendLayout {
    std::vector<Cell> cells;
    QStringList texts;
    double width = 0, height = 0;
  };
  double natural = 0;
  for (const LegendItem& l : legend_)
    natural = std::max(
        natural, symbol + spacing + QFontMetricsF(l.text->font()).horizontalAdvance(l.entry.text));
  auto layOut = [&](bool beside) {
    LegendLayout out;
    const double available = W - 2 * pad;
    const double column = std::min(natural, beside ? 0.45 * W : available);
    const double bottom = H - pad - footHeight;
    double x = 0, y = 0, rowHeight = 0;
    for (size_t i = 0; i < legend_.size(); ++i) {
      if (!legend_[i].shown) {
        out.texts << QString();
        out.cells.push_back({0, 0});
        continue;
      }
      const QStringList lines =
          Wrap(legend_[i].entry.text, metrics, std::max(symbol, column - symbol - spacing));
      out.texts << lines.join('\n');
      const double h = lines.size() * line;
      if (beside) {
        if (y > 0 && top + y + h > bottom) {  // a new column
          x += column + gap;
          y = 0;
        }
        out.cells.push_back({x, y});
        y += h + spacing / 2;
        out.height = std::max(out.height, y);
        out.width = x + column;
      } else {
        if (x > 0 && x + column > available + 1e-6) {  // a new row
          x = 0;
          y += rowHeight + spacing / 2;
          rowHeight = 0;
        }
        out.cells.push_back({x, y});
        x += column + 2 * gap;
        rowHeight = std::max(rowHeight, h);
        out.height = y + rowHeight;
        out.width = available;
      }
    }
    return out;
  };
  double legendWidth = 0, legendHeight = 0;
  if (!legend_.empty()) {
    // A map's clones too many for their room: as many as fit in one
    // column beside the plot, or in two rows below it, keep their entries.
    using Fold = LegendEntry::Fold;
    int foldable = 0, always = 0;
    bool targetIfFolded = false;
    for (const LegendItem& l : legend_) {
      foldable += l.entry.fold == Fold::kFoldable;
      always += l.entry.fold != Fold::kFoldable && l.entry.fold != Fold::kTargetIfFolded;
      targetIfFolded = targetIfFolded || l.entry.fold == Fold::kTargetIfFolded;
    }
    const int rowsBeside =
        static_cast<int>((H - top - pad - footHeight + spacing / 2) / (line + spacing / 2));
    const double columnBelow = std::min(natural, W - 2 * pad);
    const int columnsBelow =
        std::max(1, static_cast<int>((W - 2 * pad + 2 * gap) / (columnBelow + 2 * gap)));
    const int keptBeside = KeptEntries(rowsBeside, always, foldable, targetIfFolded),
              keptBelow = KeptEntries(2 * columnsBelow, always, foldable, targetIfFolded);
    if (foldable > 0) FoldLegend(keptBelow);
    LegendLayout below = layOut(false);
    bool beside = false;
    LegendLayout chosen = below;
    if (legendBeside_) {
      // A map keeps the layout that leaves it the larger square.
      if (foldable > 0) FoldLegend(keptBeside);
      LegendLayout side = layOut(true);
      // Room of the axes: labels of up to nine characters and a title
      // across, a label and a title up.
      const double across = 5 * line, up = 3 * line;
      const double belowSide =
          std::min(W - 2 * pad - across, H - top - pad - footHeight - below.height - gap - up);
      const double besideSide =
          std::min(W - 2 * pad - side.width - gap - across, H - top - pad - footHeight - up);
      if (besideSide > belowSide) {
        beside = true;
        chosen = side;
      }
    }
    if (foldable > 0) FoldLegend(beside ? keptBeside : keptBelow);
    legendBesidePlot_ = beside;
    legendWidth = chosen.width;
    legendHeight = chosen.height;
    legendArea_ = beside ? QRectF(W - pad - legendWidth, top, legendWidth, legendHeight)
                         : QRectF(pad, H - pad - footHeight - legendHeight - (foot_ ? spacing : 0),
                                  legendWidth, legendHeight);
    std::vector<Cell> cells = chosen.cells;
    for (size_t i = 0; i < legend_.size(); ++i) legend_[i].text->setText(chosen.texts[i]);
    for (size_t i = 0; i < legend_.size(); ++i) {
      LegendItem& l = legend_[i];
      l.text->setVisible(l.shown);
      delete l.symbol;
      l.symbol = nullptr;
      if (!l.shown) continue;
      const QPointF at = legendArea_.topLeft() + QPointF(cells[i].x, cells[i].y);
      l.text->setPos(at.x() + (l.entry.symbol == LegendEntry::Symbol::kNone ? 0 : symbol + spacing),
                     at.y());
      const double cy = at.y() + line / 2;
      const QRectF box(at.x(), cy - symbol / 2, symbol, symbol);
      using Symbol = LegendEntry::Symbol;
      QAbstractGraphicsShapeItem* shape = nullptr;
      switch (l.entry.symbol) {
        case Symbol::kCircle:
          shape = new QGraphicsEllipseItem(
              box.adjusted(symbol * 0.15, symbol * 0.15, -symbol * 0.15, -symbol * 0.15), &chart_);
          break;
        case Symbol::kSquare:
        case Symbol::kHollowBox:
        case Symbol::kFilledBox:
          shape = new QGraphicsRectItem(
              box.adjusted(symbol * 0.1, symbol * 0.1, -symbol * 0.1, -symbol * 0.1), &chart_);
          break;
        case Symbol::kTriangle:
          shape = new QGraphicsPolygonItem(QPolygonF({QPointF(box.center().x(), box.top()),
                                                      box.bottomRight(), box.bottomLeft()}),
                                           &chart_);
          break;
        case Symbol::kDiamond:
          shape = new QGraphicsPolygonItem(
              QPolygonF({QPointF(box.center().x(), box.top()), QPointF(box.right(), cy),
                         QPointF(box.center().x(), box.bottom()), QPointF(box.left(), cy)}),
              &chart_);
          break;
        case Symbol::kNone:
          break;
        case Symbol::kLine: {
          auto* item = new QGraphicsLineItem(box.left(), cy, box.right(), cy, &chart_);
          item->setPen(l.entry.pen);
          l.symbol = item;
          break;
        }
      }
      if (shape) {
        shape->setBrush(l.entry.symbol == Symbol::kHollowBox ? QBrush(Qt::NoBrush)
                                                             : QBrush(l.entry.fill));
        shape->setPen(l.entry.pen);
        l.symbol = shape;
      }
      if (l.symbol) l.symbol->setZValue(10);
    }
  }

  // The axis titles, wrapped for the room their axis will roughly have
  // (the other axis's labels take some of it); Place wraps them again for
  // the plot's actual size and asks for more lines if they need them.
  const double besideWidth = legendBesidePlot_ && !legend_.empty() ? legendWidth + gap : 0;
  const double belowHeight =
      !legendBesidePlot_ && !legend_.empty() ? legendHeight + gap + spacing : 0;
  WrapAxisTitles(W - 2 * pad - besideWidth - 6 * line,
                 H - top - pad - footHeight - belowHeight - 3 * line);
  xTitleRoom_ = std::max<int>(xTitleRoom_, xTitleLines_.size());
  yTitleRoom_ = std::max<int>(yTitleRoom_, yTitleLines_.size());
  const double titleLine = QFontMetricsF(Font(style_.titlePoints)).lineSpacing();
  const double xTitleHeight = xTitleLines_.empty() ? 0 : xTitleRoom_ * titleLine + spacing;
  const double yTitleWidth = yTitleLines_.empty() ? 0 : yTitleRoom_ * titleLine + spacing;

  // The margins the texts need; an equal scale adds to them.
  const QMargins base(static_cast<int>(std::ceil(pad + yTitleWidth)),
                      static_cast<int>(std::ceil(top)),
                      static_cast<int>(std::ceil(pad + besideWidth)),
                      static_cast<int>(std::ceil(pad + footHeight + belowHeight + xTitleHeight)));
  chart_.setProperty(kBaseMarginsProperty, QVariant::fromValue(base));
  if (chart_.margins() != base) chart_.setMargins(base);
  footTop_ = H - pad - footHeight;
}

void ChartDecor::FoldLegend(int kept) {
  using Fold = LegendEntry::Fold;
  const LegendEntry* target = nullptr;
  for (const LegendItem& l : legend_)
    if (l.entry.fold == Fold::kTarget || l.entry.fold == Fold::kTargetIfFolded) target = &l.entry;
  int index = 0;
  bool folded = false;
  for (LegendItem& l : legend_) {
    if (l.entry.fold != Fold::kFoldable) continue;
    l.shown = kept < 0 || index++ < kept || !target;
    folded = folded || !l.shown;
    QScatterSeries* series = l.entry.series;
    if (!series) continue;
    const LegendEntry& look = l.shown ? l.entry : *target;
    series->setColor(look.fill);
    series->setBorderColor(look.fill);
    series->setPen(look.pen);
    series->setMarkerShape(
        look.symbol == LegendEntry::Symbol::kSquare     ? QScatterSeries::MarkerShapeRectangle
        : look.symbol == LegendEntry::Symbol::kTriangle ? QScatterSeries::MarkerShapeTriangle
        : look.symbol == LegendEntry::Symbol::kDiamond ? QScatterSeries::MarkerShapeRotatedRectangle
                                                       : QScatterSeries::MarkerShapeCircle);
  }
  for (LegendItem& l : legend_)
    if (l.entry.fold == Fold::kTargetIfFolded) l.shown = folded;
}

bool ChartDecor::WrapAxisTitles(double across, double up) {
  const QFont font = Font(style_.titlePoints);
  const QFontMetricsF titleMetrics(font);
  const double line = titleMetrics.lineSpacing();
  auto wrap = [&](const QString& text, double length,
                  std::vector<QGraphicsSimpleTextItem*>& items) {
    // An axis title breaks between words only: a word longer than a short
    // axis runs past its ends (into the margin) rather than being split.
    double widestWord = 2 * line;
    for (const QString& word : text.split(' ', Qt::SkipEmptyParts))
      widestWord = std::max(widestWord, titleMetrics.horizontalAdvance(word));
    const QStringList lines =
        text.isEmpty() ? QStringList() : Wrap(text, titleMetrics, std::max(length, widestWord));
    bool same = lines.size() == static_cast<qsizetype>(items.size());
    for (size_t i = 0; same && i < items.size(); ++i) same = items[i]->text() == lines[i];
    if (same) return;
    for (auto* item : items) delete item;
    items.clear();
    for (const QString& l : lines) items.push_back(NewText(l, font));
  };
  if (xAxis_) wrap(xTitle_, across, xTitleLines_);
  if (yAxis_) wrap(yTitle_, up, yTitleLines_);
  for (auto* item : yTitleLines_) item->setRotation(-90);
  return static_cast<int>(xTitleLines_.size()) > xTitleRoom_ ||
         static_cast<int>(yTitleLines_.size()) > yTitleRoom_;
}

// The x title centred under the tick labels, the y title turned up and
// centred left of them: Qt lays the axes out inside the chart's margins, so
// the margins' inner edges are where the tick labels end.
void ChartDecor::PlaceAxisTitles(const QRectF& plot) {
  const QMargins margins = chart_.margins();
  const QFontMetricsF metrics(Font(style_.titlePoints));
  const double line = metrics.lineSpacing(), spacing = style_.Units(2);
  double y = chart_.size().height() - margins.bottom() + spacing / 2;
  for (auto* item : xTitleLines_) {
    item->setPos(plot.center().x() - metrics.horizontalAdvance(item->text()) / 2, y);
    y += line;
  }
  const int n = static_cast<int>(yTitleLines_.size());
  for (int i = 0; i < n; ++i) {
    QGraphicsSimpleTextItem* item = yTitleLines_[i];
    // Turned up, the item's top-left corner is its bottom-left on the page.
    item->setPos(margins.left() - spacing / 2 - (n - i) * line,
                 plot.center().y() + metrics.horizontalAdvance(item->text()) / 2);
  }
}

void ChartDecor::Place() {
  if (chart_.size() != laidOutFor_ && chart_.size().width() > 0) {
    // A new size: the axis titles' margins start from one line again.
    xTitleRoom_ = yTitleRoom_ = 1;
    LayOutFrame();
  }
  const QRectF plot = chart_.plotArea();
  // Titles wrapped for the plot's actual size; lines beyond their margin's
  // room ask for a new frame (rooms only grow: a bounded number of times).
  if (plot.width() > 0 && WrapAxisTitles(plot.width(), plot.height())) {
    xTitleRoom_ = std::max<int>(xTitleRoom_, xTitleLines_.size());
    yTitleRoom_ = std::max<int>(yTitleRoom_, yTitleLines_.size());
    LayOutFrame();
    return;
  }
  PlaceAxisTitles(plot);
  const QRectF tolerant = plot.adjusted(-1, -1, 1, 1);
  // A label that would cover one already placed is left out: crowded
  // points keep the first label (the largest clone's, as the analysis
  // orders them) readable rather than a pile of digits.
  std::vector<QRectF> placed;
  for (Mark& m : marks_) {
    QPointF at = chart_.mapToPosition(m.value, m.series);
    QRectF box = m.item->boundingRect();
    m.item->setPos(at.x() - box.width() / 2, at.y() - box.height() - style_.Units(1));
    QRectF where = m.item->mapRectToParent(box).adjusted(-1, 0, 1, 0);
    bool free = std::none_of(placed.begin(), placed.end(),
                             [&](const QRectF& r) { return r.intersects(where); });
    bool shown =
        showLabels && plot.width() > 0 && tolerant.contains(at) && plot.contains(where) && free;
    m.item->setVisible(shown);
    if (shown) placed.push_back(where);
  }
  if (subtitle_) subtitle_->setPos(plot.left() + style_.Units(4), plot.top() + style_.Units(3));
  if (foot_) foot_->setPos(style_.Units(4), footTop_);
}

}  // namespace vireltan::app
