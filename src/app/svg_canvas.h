// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A drawing the engine wrote as SVG (the spanning network, the pairwise Fst
// heat map), scaled by a zoom factor: the wheel zooms, a double click (and
// each new drawing) shows it at its own size again. Held by a scroll area.
#include <QtSvg/QSvgRenderer>
#include <QtWidgets/QWidget>
#include <string>

namespace vireltan::app {

class SvgCanvas : public QWidget {
 public:
  // `whole` names what a double click shows whole ("the whole network").
  SvgCanvas(const QString& whole, QWidget* parent);
  void SetDrawing(const std::string& svg);
  void Zoom(double factor);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Resize();
  QSvgRenderer renderer_;
  std::string svg_;
  double zoom_ = 1;
};

}  // namespace vireltan::app
