// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A chart view the user can explore: the wheel zooms about the pointer,
// dragging with the left button pans, a double click (or "Reset view" in
// the context menu) returns to the whole chart. Used for the MLG map, where
// a dense patch of clones needs a closer look.
#include <QtCharts/QChartView>
#include <QtCore/QPointF>

class QAction;

namespace vireltan::app {

class MapView : public QChartView {
 public:
  explicit MapView(QChart* chart, QWidget* parent = nullptr);

  // Checkable: whether the MLG numbers are drawn beside the points.
  QAction* labelsAction() const { return labels_; }
  // Back to the whole map.
  void ResetView();
  // Zooms by `factor` (> 1 closer) keeping the chart point under `at` (a
  // position in the view) where it is.
  void ZoomAt(double factor, const QPointF& at);

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QAction* labels_ = nullptr;
  QAction* reset_ = nullptr;
  bool dragging_ = false;
  QPointF last_;
};

}  // namespace vireltan::app
