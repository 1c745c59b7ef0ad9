// SPDX-License-Identifier: GPL-3.0-or-later
// Figures out of the window: File > Save map and File > Save Graph ask
// where, in which format and at what size, then write the chart as shown;
// the chart stays on screen and the status bar says where it went. File >
// Coordinate unit… (and the map's dialog) set the unit of the distances.
#include <QtCore/QFileInfo>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStatusBar>
#include <algorithm>

#include "app/chart_drawer.h"
#include "app/figure_dialog.h"
#include "app/main_window_parts.h"
#include "app/map_view.h"

namespace vireltan::app {

std::vector<ChartRole> TForm1::ShownGraphs() {
  std::vector<ChartRole> shown;
  for (ChartRole role :
       {ChartRole::kPareto, ChartRole::kSamplingEffort, ChartRole::kAllelicHistogram,
        ChartRole::kMicrosatHistogram, ChartRole::kSubrange, ChartRole::kCorrelogram,
        ChartRole::kCallRate, ChartRole::kOrdination, ChartRole::kIsolationByDistance})
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
  dialog.AddCoordinateUnitField(QString::fromStdString(session_->coordinateUnit()));
  if (dialog.exec() != QDialog::Accepted) return;
  if (!ApplyCoordinateUnit(dialog.coordinateUnit())) return;
  Status saved = SaveFigure(ChartRole::kMap, dialog.basePath(), dialog.options());
  if (!saved) messages_->Show(saved.message());
}

bool TForm1::ApplyCoordinateUnit(const QString& unit) {
  const std::string before = session_->coordinateUnit();
  if (Status set = session_->SetCoordinateUnit(unit.toStdString()); !set) {
    messages_->Show(set.message());
    return false;
  }
  const std::string now = session_->coordinateUnit();
  if (now == before) return true;
  // The charts kept on the charts page were drawn with the old unit.
  for (KeptChart& kept : keptCharts_)
    if (!kept.network && !kept.heatMap) Session::RelabelDistances(kept.chart, before, now);
  RefreshCharts();
  if (ChartList->currentRow() >= 0) ShowKeptChart(ChartList->currentRow());
  statusBar()->showMessage(
      QString("Coordinate unit: %1").arg(now.empty() ? "coordinate units" : now.c_str()));
  return true;
}

void TForm1::Coordinateunit1Click() {
  if (busy()) return;
  bool accepted = false;
  const QString unit = QInputDialog::getText(
      this, "Coordinate unit",
      "Unit of the coordinates, such as m or km (empty: coordinate units).\nIt is written in the "
      "axis titles of the map, the subrange chart and the correlogram,\nafter the clonal "
      "subrange value and in the notes of the spatial sheets.",
      QLineEdit::Normal, QString::fromStdString(session_->coordinateUnit()), &accepted);
  if (!accepted) return;
  ApplyCoordinateUnit(unit.trimmed());
}

void TForm1::Saveas1Click() {
  if (busy()) return;
  // The chart chosen on the charts page, else the chart on show beside the
  // pages (for the test of clonality, the population chosen): one chart,
  // always through the dialog. File > Save all charts writes them all.
  int index = -1;
  if (PageControl1->currentWidget() == findChild<QWidget*>("ChartsPage"))
    index = ChartList->currentRow();
  else if (shownKept_ >= 0 &&
           (!ShownGraphs().empty() || session_->lineages().network.visible ||
            session_->pairwiseFstChart().visible || !associationView_->isHidden()))
    index = shownKept_;
  if (index < 0) {
    if (keptCharts_.empty()) {
      messages_->Show("There is no chart to save: run an analysis that draws one first.");
      return;
    }
    // Charts were drawn before: the charts page lists them.
    PageControl1->setCurrentWidget(findChild<QWidget*>("ChartsPage"));
    if (ChartList->currentRow() < 0) ChartList->setCurrentRow(0);
    statusBar()->showMessage(
        "No chart is on show: choose one in the list, then Save this chart (or File > Save all "
        "charts)");
    return;
  }
  SaveKeptChartWithDialog(index);
}

}  // namespace vireltan::app
