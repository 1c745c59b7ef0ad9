// SPDX-License-Identifier: GPL-3.0-or-later
// The window's size and place on the screen: it opens within the screen's
// available area (a 1366 x 768 laptop included, at any scale factor), and a
// geometry restored from an earlier run on a larger screen is brought back
// within the screen it now opens on.
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/QShowEvent>
#include <algorithm>

#include "app/main_window.h"

namespace vireltan::app {

namespace {

// The size the window is designed for, in device-independent pixels.
constexpr int kPreferredWidth = 1400;
constexpr int kPreferredHeight = 860;
// Allowance for the window manager's frame before it is known: borders of
// a few pixels and a title bar of up to 40 (device-independent pixels).
constexpr int kFrameWidthAllowance = 16;
constexpr int kFrameHeightAllowance = 48;

QRect AvailableArea(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

QSize TForm1::FirstSize() const {
  const QRect area = AvailableArea(*this);
  if (area.isEmpty()) return {kPreferredWidth, kPreferredHeight};
  return {std::min(kPreferredWidth, area.width() - kFrameWidthAllowance),
          std::min(kPreferredHeight, area.height() - kFrameHeightAllowance)};
}

void TForm1::FitToScreen() {
  const QRect area = AvailableArea(*this);
  if (area.isEmpty() || isMaximized() || isFullScreen()) return;
  // The frame's extra width and height (zero until the window is shown on
  // a platform that draws frames; the allowance is used then).
  QSize extra = frameGeometry().size() - geometry().size();
  if (!isVisible() || extra.isEmpty())
    extra = extra.expandedTo(QSize(kFrameWidthAllowance, kFrameHeightAllowance));
  const QSize largest = area.size() - extra;
  const QSize fitted = size().boundedTo(largest).expandedTo(minimumSizeHint().boundedTo(largest));
  if (fitted != size()) resize(fitted);
  // The frame's top-left corner within the area, the whole frame on it.
  QRect frame = frameGeometry();
  if (!isVisible()) frame = QRect(pos(), size() + extra);
  int x =
      std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
  int y =
      std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
  if (x != frame.x() || y != frame.y()) move(x, y);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!fittedOnShow_ && !event->spontaneous()) {
    fittedOnShow_ = true;
    FitToScreen();
  }
}

}  // namespace vireltan::app
