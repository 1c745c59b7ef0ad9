// SPDX-License-Identifier: GPL-3.0-or-later
// Figures out of the window: File > Save map and File > Save Graph ask
// where, in which format and at what size, then write the chart as shown;
// the chart stays on screen and the status bar says where it went.
#include <QtCore/QFileInfo>
#include <QtWidgets/QStatusBar>
#include <algorithm>

#include "app/chart_drawer.h"
#include "app/figure_dialog.h"
#include "app/map_view.h"
#include "app/tform1_internal.h"

namespace vireltan::app {

std::vector<ChartRole> TForm1::ShownGraphs() {
  std::vector<ChartRole> shown;
  for (ChartRole role :
       {ChartRole::kPareto, ChartRole::kSamplingEffort, ChartRole::kAllelicHistogram,
        ChartRole::kMicrosatHistogram, ChartRole::kSubrange, ChartRole::kCorrelogram})
    if (session_->chart(role).visible) shown.push_back(role);
  return shown;
}

Status TForm1::SaveFigure(ChartRole role, const std::string& basePath,
                          const FigureOptions& options) {
  ChartData chart = session_->chart(role);
  if (role == ChartRole::kMap)
    if (auto* map = dynamic_cast<MapView*>(Chart1))
      chart.showPointLabels = map->labelsAction()->isChecked();
  QtChartRenderer renderer;
  Status saved = renderer.SaveFigure(chart, basePath, options);
  if (!saved) {
    statusBar()->showMessage("The figure could not be saved");
    return saved;
  }
  QStringList files;
  for (const std::string& path : FigurePaths(basePath, options))
    files << QString::fromStdString(path);
  statusBar()->showMessage((role == ChartRole::kMap ? "Map saved to " : "Chart saved to ") +
                           files.join(", "));
  return saved;
}

void TForm1::Save1Click() {
  if (busy()) return;
  if (!session_->chart(ChartRole::kMap).visible) {
    messages_->Show("There is no map to save: draw it first with Spatial components > MLG map.");
    return;
  }
  FigureDialog dialog("map", session_->OutputPath(""), this);
  if (dialog.exec() != QDialog::Accepted) return;
  Status saved = SaveFigure(ChartRole::kMap, dialog.basePath(), dialog.options());
  if (!saved) messages_->Show(saved.message());
}

void TForm1::Saveas1Click() {
  if (busy()) return;
  // The lineage network and the clonality histograms are saved by the
  // session under their own names (SVG, PNG and PDF), with whatever else
  // is shown.
  const auto& association = session_->associationCharts();
  if (session_->lineages().network.visible ||
      std::any_of(association.begin(), association.end(),
                  [](const ChartData& c) { return c.visible; })) {
    RunWired("Saveas1", [this](const Status& status) {
      if (status.ok())
        statusBar()->showMessage("Charts saved beside the data file: " +
                                 QString::fromStdString(session_->info().outputPrefix) + ".*");
    });
    return;
  }
  const std::vector<ChartRole> shown = ShownGraphs();
  if (shown.empty()) {
    messages_->Show("There is no chart to save: run an analysis that draws one first.");
    return;
  }
  // One chart is shown at a time; its file name follows the analysis.
  const ChartRole role = shown.front();
  FigureDialog dialog("chart", session_->OutputPath(session_->ChartFileSuffix(role)), this);
  if (dialog.exec() != QDialog::Accepted) return;
  Status saved = SaveFigure(role, dialog.basePath(), dialog.options());
  if (!saved) messages_->Show(saved.message());
}

}  // namespace vireltan::app
