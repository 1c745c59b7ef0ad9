// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/map_view.h"

#include <QtGui/QAction>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QMenu>
#include <cmath>

namespace vireltan::app {

MapView::MapView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setToolTip(tr("Wheel: zoom; drag: pan; double click: whole map; right click: labels"));
  labels_ = new QAction(tr("Show MLG &labels"), this);
  labels_->setObjectName("MapLabels");
  labels_->setCheckable(true);
  labels_->setChecked(true);
  labels_->setToolTip(tr("Draw each point's MLG number beside it (crowded labels are left out)"));
  reset_ = new QAction(tr("&Reset view"), this);
  reset_->setObjectName("MapResetView");
  reset_->setToolTip(tr("Show the whole map again"));
  connect(reset_, &QAction::triggered, this, [this] { ResetView(); });
  addAction(reset_);
}

void MapView::ResetView() {
  if (chart()) chart()->zoomReset();
}

void MapView::ZoomAt(double factor, const QPointF& at) {
  if (!chart() || !(factor > 0)) return;
  const QRectF plot = chart()->plotArea();
  const QPointF centre = chart()->mapFromScene(mapToScene(at.toPoint()));
  if (!plot.contains(centre)) return;
  // The new plot rectangle, in the chart's coordinates, that keeps `centre`
  // fixed: each side moves towards it by 1 - 1/factor of its distance.
  QRectF rect(centre.x() - (centre.x() - plot.left()) / factor,
              centre.y() - (centre.y() - plot.top()) / factor, plot.width() / factor,
              plot.height() / factor);
  chart()->zoomIn(rect);
}

void MapView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return QChartView::wheelEvent(event);
  ZoomAt(std::pow(1.25, steps), event->position());
  event->accept();
}

void MapView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    last_ = event->position();
    setCursor(Qt::ClosedHandCursor);
    event->accept();
    return;
  }
  QChartView::mousePressEvent(event);
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && chart()) {
    const QPointF delta = event->position() - last_;
    last_ = event->position();
    chart()->scroll(-delta.x(), delta.y());
    event->accept();
    return;
  }
  QChartView::mouseMoveEvent(event);
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ && event->button() == Qt::LeftButton) {
    dragging_ = false;
    unsetCursor();
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void MapView::mouseDoubleClickEvent(QMouseEvent* event) {
  ResetView();
  event->accept();
}

void MapView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(reset_);
  menu.addAction(labels_);
  menu.exec(event->globalPos());
}

}  // namespace vireltan::app
