// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into vireltan-cli by the desktop build: registers the Qt chart
// renderer so that save-map and save-graph write the same files as the
// window.
#include <memory>

#include "app/qt_chart_renderer.h"

namespace {

struct RegisterQtChartRenderer {
  RegisterQtChartRenderer() {
    vireltan::SetChartRendererFactory([]() -> std::unique_ptr<vireltan::ChartRenderer> {
      return std::make_unique<vireltan::app::QtChartRenderer>();
    });
  }
} registerQtChartRenderer;

}  // namespace
