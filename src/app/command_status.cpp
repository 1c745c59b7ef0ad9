// SPDX-License-Identifier: GPL-3.0-or-later
// What the window says about a command: its name in the status bar while
// it runs, and once it has ended what it added, with the results view on
// the new block or the spatial page on the new sheet.
#include <QtWidgets/QStatusBar>
#include <algorithm>

#include "app/main_window_parts.h"

namespace vireltan::app {

namespace {

// What each command does, as the status bar says it ("Psex: 37%").
const std::pair<const char*, const char*> kCommandTitles[] = {
    {"Save1", "Saving the map"},
    {"Saveas1", "Saving the charts"},
    {"Button4", "Resampling loci"},
    {"Button2", "Resampling sampling units"},
    {"Combination1lloci1", "Combinations of loci"},
    {"Combination1nindfividuals1", "Combinations of sampling units"},
    {"Psex1", "Psex"},
    {"numberofdistinctalleles1", "Allelic distances"},
    {"Matrixofmicrosatellitedistance1", "Microsatellite distances"},
    {"diversityindices1", "Diversity and richness"},
    {"Pareto1", "Pareto distribution"},
    {"MLGmap1", "MLG map"},
    {"Button3", "Clonal subrange"},
    {"Button6", "Clonal subrange with fixed classes"},
    {"Button11", "Spatial autocorrelation"},
    {"Button1", "Aggregation index"},
    {"Button7", "Edge effect"},
    {"Quorvex1", "Export for Quorvex"},
    {"Arlequin1", "Export for Arlequin"},
    {"DiversityRunButton", "Genetic diversity"},
    {"FstatsRunButton", "F-statistics"},
    {"PairwiseFstRunButton", "Pairwise Fst"},
    {"HweRunButton", "Hardy\u2013Weinberg tests"},
    {"AmovaRunButton", "Analysis of molecular variance"},
    {"OrdinationRunButton", "Principal coordinates"},
    {"IbdRunButton", "Isolation by distance"},
    {"SharedMlgs1", "MLGs shared among populations"},
};

// The file each export writes, after the dataset's prefix: the status bar
// names it once written.
const std::pair<const char*, const char*> kExportFiles[] = {
    {"Export for Quorvex", ".quorvex.txt"},
    {"Export for Arlequin", ".arlequin.arp"},
    {"GenAlEx", ".genalex.xlsx"},
    {"Genepop", ".genepop.gen"},
};

}  // namespace

QString TForm1::CommandTitle(const std::string& component) const {
  for (const auto& [name, title] : kCommandTitles)
    if (component == name) return title;
  // A command without a title of its own is named by its menu item or
  // button, never by its handler.
  QString caption;
  if (auto* item = findChild<QAction*>(QString::fromStdString(component))) caption = item->text();
  if (auto* button = findChild<QPushButton*>(QString::fromStdString(component)))
    if (auto* panel = qobject_cast<QGroupBox*>(button->parentWidget())) caption = panel->title();
  caption.remove('&').remove(QChar(0x2026));
  return caption.isEmpty() ? QString("Command") : caption;
}

void TForm1::ShowOutcome(const QString& what, int resultsRowsBefore, int sheetsBefore,
                         const std::string& firstSheetBefore) {
  const Sheet& sheet = session_->results.first();
  const int rowsAfter = sheet.LastRow();
  auto emptyRow = [&sheet](int row) {
    for (int c = 1; c <= sheet.LastCol(); ++c)
      if (!sheet.at(row, c).empty()) return false;
    return true;
  };
  const int sheetsAfter = static_cast<int>(autocorrViews_.size());
  const std::string firstSheet = sheetsAfter > 0 ? session_->spatialResults.SheetName(1) : "";
  QStringList said;
  for (const auto& [title, suffix] : kExportFiles) {
    if (what != title) continue;
    // SNP data go to GenAlEx as a comma-separated table (too wide for a workbook).
    const bool snpTable = session_->hasSnpData() && std::string(suffix) == ".genalex.xlsx";
    said << "written to " +
                QString::fromStdString(session_->OutputPath(snpTable ? ".genalex.csv" : suffix));
  }
  if (rowsAfter > resultsRowsBefore && resultsModel_->rowCount() >= rowsAfter) {
    // The new block: from the first new non-empty row to the last row.
    int first = resultsRowsBefore + 1;
    while (first < rowsAfter && emptyRow(first)) ++first;
    // What the command found, when it says; else how much it added.
    if (session_->lastSummary().empty()) {
      said << QString("%1 rows added to the results").arg(rowsAfter - first + 1);
    } else {
      said << QString::fromStdString(session_->lastSummary());
    }
    QSignalBlocker block(PageControl1);
    PageControl1->setCurrentWidget(results);
    currentPage_ = PageControl1->currentIndex();
    const QModelIndex top = resultsModel_->index(first - 1, 0);
    const QModelIndex bottom =
        resultsModel_->index(rowsAfter - 1, std::max(0, resultsModel_->columnCount() - 1));
    results->selectionModel()->select(QItemSelection(top, bottom),
                                      QItemSelectionModel::ClearAndSelect);
    results->scrollTo(bottom, QAbstractItemView::PositionAtBottom);
    results->scrollTo(top, QAbstractItemView::PositionAtTop);
  }
  if (sheetsAfter > 0 && (sheetsAfter != sheetsBefore || firstSheet != firstSheetBefore)) {
    // Spatial commands put their sheet in front of the workbook.
    said << QString("sheet \"%1\" added to the spatial results")
                .arg(QString::fromStdString(firstSheet));
    QSignalBlocker block(PageControl1);
    PageControl1->setCurrentWidget(autocorr);
    currentPage_ = PageControl1->currentIndex();
    autocorr->setCurrentIndex(0);
  }
  // A file written without a block of results (the units table).
  if (said.isEmpty() && !session_->lastSummary().empty())
    said << QString::fromStdString(session_->lastSummary());
  if (!ShownGraphs().empty() || session_->pairwiseFstChart().visible)
    said << "chart shown (File > Save Graph saves it)";
  if (session_->chart(ChartRole::kMap).visible && what == "MLG map")
    said << "map shown (File > Save map saves it)";
  statusBar()->showMessage(what + ": " + (said.isEmpty() ? QString("done") : said.join("; ")));
}

}  // namespace vireltan::app
