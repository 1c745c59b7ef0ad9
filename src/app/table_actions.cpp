// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table_actions.h"

#include <QtCore/QFileInfo>
#include <QtGui/QAction>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeySequence>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMenu>
#include <algorithm>
#include <climits>
#include <vector>

#include "app/sheet_model.h"
#include "sheet/book.h"
#include "sheet/table_file.h"

namespace vireltan::app {

QString SelectedBlockAsTsv(const QTableView& view) {
  const QModelIndexList selected =
      view.selectionModel() ? view.selectionModel()->selectedIndexes() : QModelIndexList();
  if (selected.isEmpty()) return {};
  int top = INT_MAX, left = INT_MAX, bottom = -1, right = -1;
  for (const QModelIndex& i : selected) {
    top = std::min(top, i.row());
    bottom = std::max(bottom, i.row());
    left = std::min(left, i.column());
    right = std::max(right, i.column());
  }
  std::vector<QStringList> rows;
  // The block ends at the last column holding something in a selected
  // cell: rows selected whole do not carry the sheet's empty columns.
  int last = left - 1;
  for (int r = top; r <= bottom; ++r) {
    QStringList cells;
    for (int c = left; c <= right; ++c) {
      QModelIndex index = view.model()->index(r, c);
      cells << (view.selectionModel()->isSelected(index)
                    ? index.data(SheetModel::kFullTextRole).toString()
                    : QString());
      if (!cells.back().isEmpty()) last = std::max(last, c);
    }
    rows.push_back(std::move(cells));
  }
  QStringList lines;
  for (QStringList& cells : rows) lines << cells.mid(0, std::max(1, last - left + 1)).join('\t');
  return lines.join('\n') + '\n';
}

QString ExportTable(const QTableView& view, const QString& path) {
  auto* model = dynamic_cast<const SheetModel*>(view.model());
  if (!model) return "this grid holds no table";
  Book book;
  book.first() = model->sheet();
  if (book.first().name().empty()) book.SetSheetName(1, "table");
  const bool workbook = path.endsWith(".xlsx", Qt::CaseInsensitive);
  Status written = WriteTableFile(book, path.toStdString(),
                                  workbook ? FileType::kXlsxWorkbook : FileType::kTextTable);
  return written ? QString() : QString::fromStdString(written.message());
}

void InstallTableActions(QTableView* view, std::function<void(const QString&)> report,
                         std::function<void(const QString&)> error) {
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* copy = new QAction(QObject::tr("&Copy"), view);
  copy->setObjectName(view->objectName() + "Copy");
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  copy->setToolTip(QObject::tr("Copy the selected cells as tab-separated text, every digit kept"));
  view->addAction(copy);
  QObject::connect(copy, &QAction::triggered, view, [view, report] {
    const QString text = SelectedBlockAsTsv(*view);
    if (text.isEmpty()) {
      report(QObject::tr("Nothing selected to copy"));
      return;
    }
    QGuiApplication::clipboard()->setText(text);
    report(QObject::tr("Copied %1 rows to the clipboard").arg(text.count('\n')));
  });
  auto* exportTable = new QAction(QObject::tr("&Export table\u2026"), view);
  exportTable->setObjectName(view->objectName() + "Export");
  view->addAction(exportTable);
  QObject::connect(exportTable, &QAction::triggered, view, [view, report, error] {
    QString filter;
    const QString path = QFileDialog::getSaveFileName(
        view, QObject::tr("Export table"), QString(),
        QObject::tr("Workbook (*.xlsx);;Tab-separated text (*.txt)"), &filter);
    if (path.isEmpty()) return;
    QString target = path;
    if (QFileInfo(target).suffix().isEmpty())
      target += filter.startsWith("Workbook") ? ".xlsx" : ".txt";
    const QString failure = ExportTable(*view, target);
    if (failure.isEmpty()) {
      report(QObject::tr("Table exported to %1").arg(target));
    } else {
      error(failure);
    }
  });
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(view, &QWidget::customContextMenuRequested, view,
                   [view, copy, exportTable](const QPoint& at) {
                     QMenu menu(view);
                     menu.addAction(copy);
                     menu.addAction(exportTable);
                     menu.exec(view->viewport()->mapToGlobal(at));
                   });
}

}  // namespace vireltan::app
