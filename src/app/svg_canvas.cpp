// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/svg_canvas.h"

#include <QtGui/QPainter>
#include <QtGui/QWheelEvent>
#include <algorithm>

namespace vireltan::app {

SvgCanvas::SvgCanvas(const QString& whole, QWidget* parent) : QWidget(parent) {
  setToolTip(tr("Wheel: zoom; double click: %1 at its own size").arg(whole));
}

void SvgCanvas::SetDrawing(const std::string& svg) {
  if (svg == svg_) return;
  svg_ = svg;
  renderer_.load(QByteArray::fromStdString(svg));
  zoom_ = 1;
  Resize();
}

void SvgCanvas::Zoom(double factor) {
  zoom_ = std::clamp(zoom_ * factor, 0.1, 20.0);
  Resize();
}

void SvgCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (renderer_.isValid()) renderer_.render(&painter, QRectF(rect()));
}

void SvgCanvas::wheelEvent(QWheelEvent* event) {
  Zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
  event->accept();
}

void SvgCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
  zoom_ = 1;
  Resize();
  event->accept();
}

void SvgCanvas::Resize() {
  QSize base = renderer_.isValid() ? renderer_.defaultSize() : QSize(400, 300);
  setFixedSize(static_cast<int>(base.width() * zoom_), static_cast<int>(base.height() * zoom_));
  update();
}

}  // namespace vireltan::app
