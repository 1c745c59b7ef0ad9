// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a user can take away from a grid of the window (dataset, results,
// spatial sheets): Ctrl+C copies the selected block as tab-separated text
// that pastes into a spreadsheet, with every digit of each number; the
// context menu offers Copy and "Export table…" (a workbook or tab-separated
// text).
#include <QtCore/QString>
#include <QtWidgets/QTableView>
#include <functional>

namespace vireltan::app {

// The selected cells' bounding block as lines of tab-separated full texts
// (unselected cells inside the block are empty); "" without a selection.
QString SelectedBlockAsTsv(const QTableView& view);

// Gives `view` (showing a SheetModel) its Copy shortcut, its context menu
// and the export. `report` receives what happened, for the status bar;
// `error` an error to show in a warning box.
void InstallTableActions(QTableView* view, std::function<void(const QString&)> report,
                         std::function<void(const QString&)> error);

// Writes the whole table of `view` to `path`: an .xlsx workbook, else
// tab-separated text. Returns "" or the reason it failed.
QString ExportTable(const QTableView& view, const QString& path);

}  // namespace vireltan::app
