// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws a chart described by the engine (ChartData) on a Qt chart: point,
// line, bar and box series, point labels, fixed axis ranges, tick
// increments, custom axis labels, title, subtitle and foot. Used by the
// window's chart views and by the renderer that saves charts as files.
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include "charts/chart_data.h"
#include "charts/chart_renderer.h"

namespace vireltan::app {

// Sizes of a chart's texts and lines in points (1/72 inch), and the layout
// units per point: 96/72 for the window's pixels, 2 for figure files
// (laid out in half points, so that whole and half point sizes are exact).
struct ChartStyle {
  double fontPoints = 8;   // tick labels, legend, point labels, notes
  double titlePoints = 9;  // title and axis titles
  bool showTitle = true;
  double unitsPerPoint = 96.0 / 72.0;
  static ChartStyle ForFigure(const FigureOptions& options, double unitsPerPoint) {
    return {options.fontPoints, options.titlePoints, options.showTitle, unitsPerPoint};
  }
  // Layout units of `points`.
  double Units(double points) const { return points * unitsPerPoint; }
};

// A text of the engine as a figure writes it: numbers to four significant
// digits, no control characters.
QString ChartTextForFigure(const std::string& text);

// Replaces everything on `chart` by the drawing of `data`. The chart keeps
// no reference to `data`. Each ChartSeries becomes a Qt series whose
// objectName is its component name (SeriesObjectName: "Series1" ...); extra
// Qt series that a kind needs (one per colour, the parts of a box) are named
// after it.
void DrawChart(QChart& chart, const ChartData& data, const ChartStyle& style = {});

// Shows the drawing of `data` in `view` on a new chart and deletes the chart
// shown before. A chart redrawn in place can keep the graphics of the axes
// it had (Qt Charts leaves stale axes over the new drawing, notably when the
// chart was redrawn while hidden), so the window never reuses one.
void ShowChart(QChartView& view, const ChartData& data);

// Places the point labels, the subtitle and the foot of a drawn chart for
// its current plot area. Charts redo this by themselves when their plot
// area changes; call it after a resize whose layout was not yet applied.
void PlaceChartTexts(QChart& chart);

// The window's component name of a chart ("Chart1" for the map ...
// "Chart5" for the microsatellite histogram, "subrange", "Correlogram"):
// the objectName of its Qt chart and the title of its SVG file.
QString ChartObjectName(ChartRole role);
// The window's component name of a series of the five main charts
// ("Series1" for the map's units ... "Series7"); other series keep their
// own name.
QString SeriesObjectName(const std::string& seriesName);

// The first Qt series of `chart` with that objectName, or nullptr.
QAbstractSeries* FindSeries(QChart& chart, const QString& name);

}  // namespace vireltan::app
