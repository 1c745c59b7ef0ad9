// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts and the legend drawn over a chart that Qt Charts does not place
// itself, laid out for the chart's size in points: the title and the axis
// titles (wrapped, never shortened), the legend and the chart's note (below
// the plot in compact rows, or beside it when that leaves the larger plot,
// at most a quarter of the figure's height below it; a map's smallest
// clones folded into "other MLGs" when there is no room), one label per
// labelled point (following zoom and pan, left out where it would cover
// another), a subtitle and a map's foot.
// Private to the chart drawer.
#include <QtCharts/QChart>
#include <QtCharts/QScatterSeries>
#include <QtGui/QColor>
#include <QtGui/QPen>
#include <QtWidgets/QGraphicsSimpleTextItem>
#include <vector>

#include "app/chart_drawer.h"

namespace vireltan::app {

// The name of the margins the texts need (QMargins), which an equal scale
// adds to.
inline constexpr char kBaseMarginsProperty[] = "vireltanBaseMargins";

class ChartDecor : public QObject {
 public:
  struct Mark {
    QGraphicsSimpleTextItem* item;
    QPointF value;
    QAbstractSeries* series;
  };
  // What a legend entry's symbol looks like.
  struct LegendEntry {
    enum class Symbol {
      kNone,
      kCircle,
      kSquare,
      kTriangle,
      kDiamond,
      kLine,
      kHollowBox,
      kFilledBox
    };
    Symbol symbol = Symbol::kCircle;
    QColor fill;
    QPen pen;
    QString text;
    // A map's clones: when the legend has no room for all, the last
    // kFoldable entries are left out and their points drawn as the kTarget
    // entry ("other MLGs"); a kTargetIfFolded entry shows only then.
    enum class Fold { kNone, kFoldable, kTarget, kTargetIfFolded };
    Fold fold = Fold::kNone;
    QScatterSeries* series = nullptr;  // kFoldable: its points
  };

  ChartDecor(QChart& chart, const ChartStyle& style, bool legendBeside);
  // Removes every item (a redraw).
  void DeleteItems();

  void SetTitle(const QString& title);
  void SetSubtitle(const QString& text);
  // A heading drawn first in the legend, in bold.
  void SetLegendTitle(const QString& text);
  void SetFoot(const QString& text);
  void AddLegendEntry(const LegendEntry& entry);
  void AddMark(const QString& text, const QPointF& value, QAbstractSeries* series);
  // The axis titles, drawn here (Qt would shorten them with "…"): wrapped
  // for their axis's length, the left one turned up, in margins kept free
  // for them.
  void SetAxisTitles(QAbstractAxis* x, const QString& xTitle, QAbstractAxis* y,
                     const QString& yTitle);

  // Lays the frame out for the chart's size (when it changed) and places
  // every text for the current plot area and axis ranges.
  void Place();
  // Where the legend (with a chart's note) is drawn, in chart coordinates;
  // empty when there is none.
  QRectF LegendArea() const { return legend_.empty() ? QRectF() : legendArea_; }
  bool LegendBesidePlot() const { return legendBesidePlot_; }

  bool showLabels = true;

 private:
  void LayOutFrame();
  // Shows the first `kept` foldable entries (all when negative) and draws
  // the others' points as the fold target.
  void FoldLegend(int kept);
  // Wraps the axis titles for axes `across` and `up` long; true when
  // either needs more lines than its margin holds (a new frame is due).
  bool WrapAxisTitles(double across, double up);
  void PlaceAxisTitles(const QRectF& plot);
  // Where an axis title may run: the x title right of the y title's lines,
  // the y title above the x title's, both within titleRoom_.
  QRectF AxisTitleRoom(bool xAxis) const;
  QFont Font(double points, bool bold = false) const;
  QGraphicsSimpleTextItem* NewText(const QString& text, const QFont& font);

  struct LegendItem {
    LegendEntry entry;
    QGraphicsItem* symbol = nullptr;
    QGraphicsSimpleTextItem* text = nullptr;
    bool shown = true;
    bool heading = false;  // the legend's title, in bold
  };
  QChart& chart_;
  ChartStyle style_;
  bool legendBeside_;              // may go beside the plot (a map)
  bool legendBesidePlot_ = false;  // where LayOutFrame put it
  QString title_, xTitle_, yTitle_;
  QAbstractAxis* xAxis_ = nullptr;
  QAbstractAxis* yAxis_ = nullptr;
  std::vector<QGraphicsSimpleTextItem*> titleLines_;
  // One item per line of each axis title; the lines their margins hold.
  std::vector<QGraphicsSimpleTextItem*> xTitleLines_, yTitleLines_;
  int xTitleRoom_ = 1, yTitleRoom_ = 1;
  std::vector<LegendItem> legend_;
  std::vector<Mark> marks_;
  QGraphicsSimpleTextItem* subtitle_ = nullptr;
  QGraphicsSimpleTextItem* foot_ = nullptr;
  QSizeF laidOutFor_;
  // Where the legend block starts (chart coordinates), set by LayOutFrame.
  QRectF legendArea_;
  // Where the axis titles may run (set by LayOutFrame).
  QRectF titleRoom_;
  double footTop_ = 0;
};

}  // namespace vireltan::app
