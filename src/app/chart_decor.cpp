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
  legend_.insert(legend_.begin(),
                 {heading, nullptr, NewText(text, Font(style_.fontPoints, true)), true, true});
}

void ChartDecor::SetSubtitle(const QString& text) {
  if (!text.isEmpty()) subtitle_ = NewText(text, Font(style_.fontPoints));
}

void ChartDecor::SetFoot(const QString& text) {
  if (text.isEmpty()) return;
  if (!legendBeside_) {
    // A note of a chart other than a map is laid out as the legend's last
    // entry (no symbol): beside the plot with it, or in its rows below.
    LegendEntry note;
    note.symbol = LegendEntry::Symbol::kNone;
    note.text = text;
    AddLegendEntry(note);
    return;
  }
  foot_ = NewText(text, Font(style_.fontPoints));
  foot_->setData(0, text);  // the unwrapped text
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

  // A map's foot, wrapped, at the bottom: up to a point and a half smaller
  // (never under 6 pt) when that saves it a line, which the map's height
  // needs more than the note its size.
  double footHeight = 0;
  if (foot_) {
    const QString text = foot_->data(0).toString();
    QStringList lines = Wrap(text, metrics, W - 2 * pad);
    double points = style_.fontPoints;
    for (double smaller = style_.fontPoints - 0.5;
         smaller >= std::max(6.0, style_.fontPoints - 1.5) - 1e-9; smaller -= 0.5) {
      const QStringList fewer = Wrap(text, QFontMetricsF(Font(smaller)), W - 2 * pad);
      if (fewer.size() < lines.size()) {
        lines = fewer;
        points = smaller;
        break;
      }
    }
    foot_->setFont(Font(points));
    foot_->setText(lines.join('\n'));
    footHeight = lines.size() * QFontMetricsF(Font(points)).lineSpacing();
  }

  // Legend entries (a chart's note among them, last): symbol a text's
  // height wide, text wrapped; in columns beside the plot, or below it in
  // rows where each entry takes its own width. A legend that would take
  // more than a quarter of the figure's height below the plot, or more than
  // a third of its width beside it, or that would save a row, is set a
  // point or two smaller (never under 6 pt); of the layouts that fit, the
  // one leaving the larger plot is chosen.
  const double symbol = metrics.ascent();
  const double spacing = style_.Units(2);
  struct Cell {
    double x, y;
  };
  struct LegendLayout {
    std::vector<Cell> cells;
    QStringList texts;
    double width = 0, height = 0;
    double points = 0;
  };
  auto layOut = [&](bool beside, double points) {
    LegendLayout out;
    out.points = points;
    const QFontMetricsF plain(Font(points)), bold(Font(points, true));
    const double lineHeight = plain.lineSpacing(), mark = plain.ascent();
    auto indent = [&](const LegendItem& l) {
      return l.entry.symbol == LegendEntry::Symbol::kNone ? 0.0 : mark + spacing;
    };
    auto natural = [&](const LegendItem& l) {
      return indent(l) + (l.heading ? bold : plain).horizontalAdvance(l.entry.text);
    };
    double widest = 0;
    for (const LegendItem& l : legend_)
      if (l.shown) widest = std::max(widest, natural(l));
    const double available = W - 2 * pad;
    const double column = std::min(widest, beside ? (legendBeside_ ? 0.45 : 0.3) * W : available);
    const double bottom = H - pad - footHeight;
    double x = 0, y = 0;
    // Below: where each row's next entry goes, its height, and whether it
    // holds the heading.
    std::vector<double> rowEnds, rowHeights;
    std::vector<bool> rowHeaded;
    for (const LegendItem& l : legend_) {
      if (!l.shown) {
        out.texts << QString();
        out.cells.push_back({0, 0});
        continue;
      }
      const double own = beside ? column : std::min(natural(l), available);
      // (The words measured one by one may come out a unit or so wider
      // than the whole text: an entry given its natural width stays whole.)
      const QStringList lines =
          Wrap(l.entry.text, l.heading ? bold : plain, std::max(mark, own - indent(l)) * 1.01 + 1);
      out.texts << lines.join('\n');
      const double h = lines.size() * lineHeight;
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
        // The first row with room for it (a short note may join the row
        // of a short entry above a long one); its place down is set once
        // every row's height is known.
        // A note stays out of the row of a legend's heading, where it
        // would read as one more entry.
        const bool note = l.entry.symbol == LegendEntry::Symbol::kNone && !l.heading;
        size_t row = 0;
        while (row < rowEnds.size() &&
               (rowEnds[row] + own > available + 1e-6 || (note && rowHeaded[row])))
          ++row;
        if (row == rowEnds.size()) {
          rowEnds.push_back(0);
          rowHeights.push_back(0);
          rowHeaded.push_back(false);
        }
        rowHeaded[row] = rowHeaded[row] || l.heading;
        out.cells.push_back({rowEnds[row], static_cast<double>(row)});
        out.width = std::max(out.width, rowEnds[row] + own);
        rowEnds[row] += own + 2 * gap;
        rowHeights[row] = std::max(rowHeights[row], h);
      }
    }
    if (!beside) {
      std::vector<double> rowTops(rowHeights.size(), 0);
      for (size_t r = 1; r < rowHeights.size(); ++r)
        rowTops[r] = rowTops[r - 1] + rowHeights[r - 1] + spacing / 2;
      for (size_t i = 0; i < out.cells.size(); ++i)
        if (legend_[i].shown) out.cells[i].y = rowTops[static_cast<size_t>(out.cells[i].y)];
      out.height = rowHeights.empty() ? 0 : rowTops.back() + rowHeights.back();
    }
    return out;
  };
  double legendWidth = 0, legendHeight = 0;
  double legendPoints = style_.fontPoints;
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
    double natural = 0;
    for (const LegendItem& l : legend_)
      natural = std::max(natural, symbol + spacing + metrics.horizontalAdvance(l.entry.text));
    const int rowsBeside =
        static_cast<int>((H - top - pad - footHeight + spacing / 2) / (line + spacing / 2));
    const double columnBelow = std::min(natural, W - 2 * pad);
    const int columnsBelow =
        std::max(1, static_cast<int>((W - 2 * pad + 2 * gap) / (columnBelow + 2 * gap)));
    const int keptBeside = KeptEntries(rowsBeside, always, foldable, targetIfFolded),
              keptBelow = KeptEntries(2 * columnsBelow, always, foldable, targetIfFolded);
    // Room of the axes: labels of up to nine characters and a title
    // across, a label and a title up.
    const double across = 5 * line, up = 3 * line;
    const double free = H - top - pad - footHeight;
    // The plot a layout leaves: a map keeps the larger square, other charts
    // the larger area.
    auto plotLeft = [&](const LegendLayout& l, bool beside) {
      const double w = W - 2 * pad - across - (beside ? l.width + gap : 0);
      const double h = free - up - (beside ? 0 : l.height + gap);
      if (w <= 0 || h <= 0) return 0.0;
      return legendBeside_ ? std::min(w, h) : w * h;
    };
    auto fits = [&](const LegendLayout& l, bool beside) {
      return beside ? l.width <= (legendBeside_ ? 0.5 : 0.35) * W && l.height <= free
                    : l.height <= 0.25 * H;
    };
    LegendLayout chosen;
    bool beside = false;
    double best = -1;
    // Maps keep their texts' size (their legend folds instead).
    const double smallest = legendBeside_
                                ? style_.fontPoints
                                : std::max(std::min(style_.fontPoints, 6.0), style_.fontPoints - 2);
    // Each point of the legend's size is worth 1.5 % of the figure's area:
    // a smaller legend is chosen only when it gives the plot more (a row
    // saved), or when the larger one does not fit its room.
    const double worthOfAPoint = legendBeside_ ? 0 : 0.015 * W * H;
    for (double points = style_.fontPoints; points >= smallest - 1e-9; points -= 1) {
      for (bool side : {false, true}) {
        // Beside the plot only when the figure is wider than tall, or a map.
        if (side && !legendBeside_ && W <= H) continue;
        if (foldable > 0) FoldLegend(side ? keptBeside : keptBelow);
        LegendLayout candidate = layOut(side, points);
        const double score = plotLeft(candidate, side) + (fits(candidate, side) ? 1e12 : 0) +
                             (points - smallest) * worthOfAPoint;
        if (score > best) {
          best = score;
          chosen = candidate;
          beside = side;
        }
      }
    }
    if (foldable > 0) FoldLegend(beside ? keptBeside : keptBelow);
    legendPoints = chosen.points;
    legendBesidePlot_ = beside;
    legendWidth = chosen.width;
    legendHeight = chosen.height;
    legendArea_ = beside ? QRectF(W - pad - legendWidth, top, legendWidth, legendHeight)
                         : QRectF(pad, H - pad - footHeight - legendHeight - (foot_ ? spacing : 0),
                                  legendWidth, legendHeight);
    const QFontMetricsF legendMetrics(Font(legendPoints));
    const double legendLine = legendMetrics.lineSpacing(), mark = legendMetrics.ascent();
    std::vector<Cell> cells = chosen.cells;
    for (size_t i = 0; i < legend_.size(); ++i) {
      legend_[i].text->setFont(Font(legendPoints, legend_[i].heading));
      legend_[i].text->setText(chosen.texts[i]);
    }
    for (size_t i = 0; i < legend_.size(); ++i) {
      LegendItem& l = legend_[i];
      l.text->setVisible(l.shown);
      delete l.symbol;
      l.symbol = nullptr;
      if (!l.shown) continue;
      const QPointF at = legendArea_.topLeft() + QPointF(cells[i].x, cells[i].y);
      l.text->setPos(at.x() + (l.entry.symbol == LegendEntry::Symbol::kNone ? 0 : mark + spacing),
                     at.y());
      const double cy = at.y() + legendLine / 2;
      const QRectF box(at.x(), cy - mark / 2, mark, mark);
      using Symbol = LegendEntry::Symbol;
      QAbstractGraphicsShapeItem* shape = nullptr;
      switch (l.entry.symbol) {
        case Symbol::kCircle:
          shape = new QGraphicsEllipseItem(
              box.adjusted(mark * 0.15, mark * 0.15, -mark * 0.15, -mark * 0.15), &chart_);
          break;
        case Symbol::kSquare:
        case Symbol::kHollowBox:
        case Symbol::kFilledBox:
          shape = new QGraphicsRectItem(
              box.adjusted(mark * 0.1, mark * 0.1, -mark * 0.1, -mark * 0.1), &chart_);
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
  // An axis title may run past its axis's ends, centred on it, within the
  // figure's room left of a legend beside the plot and above one below it:
  // a title of a column's figure then takes one line where the plot's
  // length would break it in two.
  titleRoom_ = QRectF(pad, top, W - 2 * pad - besideWidth,
                      std::max(0.0, H - top - pad - footHeight - belowHeight));
  {
    const QRectF x = AxisTitleRoom(true), y = AxisTitleRoom(false);
    WrapAxisTitles(x.width(), y.height());
  }
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

QRectF ChartDecor::AxisTitleRoom(bool xAxis) const {
  // The lines each title's margin holds (set by LayOutFrame).
  const double line = QFontMetricsF(Font(style_.titlePoints)).lineSpacing();
  const double spacing = style_.Units(2);
  QRectF room = titleRoom_;
  if (xAxis && !yTitleLines_.empty()) room.setLeft(room.left() + yTitleRoom_ * line + spacing);
  if (!xAxis && !xTitleLines_.empty()) room.setBottom(room.bottom() - xTitleRoom_ * line - spacing);
  return room;
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
  // Centred on the axis, moved in where it would leave the title's room.
  auto within = [](double start, double length, double lo, double hi) {
    return std::max(lo, std::min(start, hi - length));
  };
  const QRectF xRoom = AxisTitleRoom(true), yRoom = AxisTitleRoom(false);
  for (auto* item : xTitleLines_) {
    const double length = metrics.horizontalAdvance(item->text());
    item->setPos(within(plot.center().x() - length / 2, length, xRoom.left(), xRoom.right()), y);
    y += line;
  }
  const int n = static_cast<int>(yTitleLines_.size());
  for (int i = 0; i < n; ++i) {
    QGraphicsSimpleTextItem* item = yTitleLines_[i];
    // Turned up, the item's top-left corner is its bottom-left on the page.
    const double length = metrics.horizontalAdvance(item->text());
    item->setPos(
        margins.left() - spacing / 2 - (n - i) * line,
        within(plot.center().y() - length / 2, length, yRoom.top(), yRoom.bottom()) + length);
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
  if (plot.width() > 0 &&
      WrapAxisTitles(AxisTitleRoom(true).width(), AxisTitleRoom(false).height())) {
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
