// SPDX-License-Identifier: GPL-3.0-or-later
// The views of the main window: the dataset grid, the results, the sheets
// of the spatial workbook, the charts and the menus' enabling, all brought
// up to date with the session after each command.
#include <QtGui/QFontMetrics>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

#include "app/chart_drawer.h"
#include "app/main_window_parts.h"
#include "app/map_view.h"
#include "app/table_actions.h"

namespace vireltan::app {

void TForm1::BuildCharts(QWidget* host) {
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  QChartView** views[] = {&Chart1, &Chart2, &Chart3, &Chart4, &Chart5};
  for (int i = 0; i < 5; ++i) {
    QChartView* view = nullptr;
    if (i == 0) {
      auto* map = new MapView(new QChart, host);
      connect(map->labelsAction(), &QAction::toggled, this, [this] { RefreshCharts(); });
      view = map;
    } else {
      view = new QChartView(new QChart, host);
    }
    view->setObjectName(QString("Chart%1").arg(i + 1));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(380);
    view->hide();
    ShowChart(*view, session_->chart(kMainChartRoles[i]));
    layout->addWidget(view, 1);
    *views[i] = view;
    if (i == 1) {
      Label1 = new QLabel("Fitted line equation", host);
      Label1->setObjectName("Label1");
      Label1->hide();
      layout->addWidget(Label1);
    }
  }
  BuildAssociationChooser(*layout);
  FindDrawnSeries();
}

void TForm1::FindDrawnSeries() {
  Series1 = FindSeries(*Chart1->chart(), "Series1");
  Series2 = FindSeries(*Chart2->chart(), "Series2");
  Series3 = FindSeries(*Chart2->chart(), "Series3");
  Series4 = FindSeries(*Chart3->chart(), "Series4");
  Series5 = FindSeries(*Chart3->chart(), "Series5");
  Series6 = FindSeries(*Chart4->chart(), "Series6");
  Series7 = FindSeries(*Chart5->chart(), "Series7");
}

std::vector<std::pair<const char*, const ChartData*>> TForm1::ExtraCharts() {
  // Charts that analyses add to the session beyond Chart1..Chart5: the
  // clonal subrange, the correlogram of the autocorrelation, the ordination
  // and the isolation by distance, each shown by a view named after it.
  std::vector<std::pair<const char*, const ChartData*>> charts = {
      {"subrangeChart", &session_->chart(ChartRole::kSubrange)},
      {"correlogramChart", &session_->chart(ChartRole::kCorrelogram)},
      {"ordinationChart", &session_->chart(ChartRole::kOrdination)},
      {"isolationChart", &session_->chart(ChartRole::kIsolationByDistance)}};
  return charts;
}

void TForm1::Refresh() {
  RefreshSheets();
  RefreshCharts();
  RefreshMenus();
  RefreshLineages();
  RefreshPopgen();
  UpdateSidePane();
  UpdateTitle();
}

namespace {

// Texts longer than this many characters (notes of a block) are cut in the
// grid, their tooltip showing them whole; names of populations and loci
// are shorter and shown whole.
constexpr int kLongText = 40;
// Sheets of more cells are sized on their first rows (a few tenths of a
// second at most).
constexpr long long kSizedCells = 400000;

// Columns as wide as the longest text they show, every row looked at, so
// that no number is cut ("4.60" for 4.608); the grid scrolls sideways
// when they do not fit.
void FitColumns(QTableView* view) {
  auto* model = static_cast<SheetModel*>(view->model());
  const std::vector<QString> widest = model->WidestTexts(kLongText, kSizedCells);
  const QFontMetrics cells(view->font());
  const QFontMetrics headers(view->horizontalHeader()->font());
  // Room for the cell's margins and the grid line (pixels).
  const int padding =
      2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 12;
  for (int c = 0; c < model->columnCount(); ++c) {
    const QString heading = model->headerData(c, Qt::Horizontal).toString();
    const int width = std::max(cells.horizontalAdvance(widest[static_cast<std::size_t>(c)]),
                               headers.horizontalAdvance(heading)) +
                      padding;
    view->setColumnWidth(c, std::max(width, 48));
  }
}

}  // namespace

void TForm1::RefreshSheets() {
  usersModel_->SetSheet(session_->datasetGrid.first());
  // The call-rate chart stays on the data page for as long as the SNP data
  // are open, whatever the later commands draw.
  const ChartData& callRates = session_->chart(ChartRole::kCallRate);
  const bool snp = session_->hasSnpData() && !callRates.series.empty() &&
                   !callRates.series.front().points.empty();
  if (snp) ShowChart(*callRateView, callRates);
  callRateView->setVisible(snp);
  resultsModel_->SetSheet(session_->results.first());
  std::vector<std::pair<int, int>> matrices;
  for (const Session::MatrixBlock& m : session_->resultsMatrixBlocks())
    matrices.emplace_back(m.headerRow, m.mlgs);
  resultsModel_->SetUpperMatrices(std::move(matrices));
  FitColumns(results);
  // The spatial workbook: one grid per sheet, once a sheet holds something.
  const Book& book = session_->spatialResults;
  bool any = book.NumSheets() > 1 || book.first().LastRow() > 0;
  int count = any ? book.NumSheets() : 0;
  while (static_cast<int>(autocorrViews_.size()) > count) {
    delete autocorrViews_.back();
    autocorrViews_.pop_back();
  }
  for (int i = 1; i <= count; ++i) {
    if (static_cast<int>(autocorrViews_.size()) < i) {
      auto* view = new QTableView(autocorr);
      view->setObjectName(QString("autocorrSheet%1").arg(i));
      view->setModel(new SheetModel(view));
      InstallTableActions(
          view, [this](const QString& text) { statusBar()->showMessage(text); },
          [this](const QString& text) { messages_->Show(text.toStdString()); });
      autocorr->addTab(view, "");
      autocorrViews_.push_back(view);
    }
    QTableView* view = autocorrViews_[i - 1];
    static_cast<SheetModel*>(view->model())->SetSheet(book.sheet(i));
    FitColumns(view);
    // A tab caption takes "&" for a mnemonic: doubled, it shows as itself.
    QString name = QString::fromStdString(book.SheetName(i));
    autocorr->setTabText(autocorr->indexOf(view), QString(name).replace("&", "&&"));
    autocorr->setTabToolTip(autocorr->indexOf(view), name);
    // The workbook's default empty sheet is not worth a tab.
    autocorr->setTabVisible(autocorr->indexOf(view), book.sheet(i).LastRow() > 0);
  }
}

void TForm1::RefreshCharts() {
  QChartView* views[] = {Chart1, Chart2, Chart3, Chart4, Chart5};
  for (int i = 0; i < 5; ++i) {
    ChartData chart = session_->chart(kMainChartRoles[i]);
    if (auto* map = dynamic_cast<MapView*>(views[i]))
      chart.showPointLabels = map->labelsAction()->isChecked();
    ShowChart(*views[i], chart);
    views[i]->setVisible(chart.visible);
  }
  FindDrawnSeries();
  if (!Chart2->isVisible()) Label1->hide();

  std::vector<std::pair<const char*, const ChartData*>> extras = ExtraCharts();
  for (size_t i = 0; i < extras.size(); ++i) {
    auto [name, chart] = extras[i];
    QChartView*& view = extraChartViews_[i];
    if (!view) {
      view = new QChartView(new QChart, chartArea_);
      view->setObjectName(name);
      view->setRenderHint(QPainter::Antialiasing);
      view->setMinimumHeight(380);
      chartArea_->layout()->addWidget(view);
    }
    ShowChart(*view, *chart);
    view->setVisible(chart->visible);
  }
  // Views of charts that are gone (fewer populations than last time).
  for (auto& [index, view] : extraChartViews_)
    if (index >= extras.size()) view->hide();
  RefreshAssociationChart();
}

void TForm1::RefreshMenus() {
  const CommandAvailability& allowed = session_->availability();
  // Menus: the MLG menu needs complete genotypes, the spatial menu
  // coordinates; the others need a dataset in their items.
  auto enableMenu = [](QMenu* menu, bool on) {
    menu->setEnabled(on);
    menu->menuAction()->setEnabled(on);
  };
  // The MLG menu opens with any dataset: Population summary runs with missing
  // data, while its other items follow their own rules below.
  enableMenu(MLG1, allowed.dataset);
  enableMenu(Spatialcomponents2, allowed.spatialMenu);
  for (const MenuItemRule& rule : MenuItemRules()) {
    auto* item = findChild<QAction*>(rule.item);
    bool available = false;
    if (FindWiring(rule.item)) {
      available = IsWired(rule.item);
    } else {
      // An item that opens no panel has a handler of its own (the
      // population items of population_dialogs.cpp).
      available = true;
      for (const PanelOpener& opener : PanelOpeners())
        if (std::string(opener.menuItem) == rule.item) {
          available = false;
          for (const char* run : opener.runButtons) available = available || IsWired(run);
        }
    }
    // What the kind of data rules out is disabled before it could be refused.
    const QString ruledOut = DataKindReason(rule.item);
    const bool enabled = available && allowed.allows(rule.group) && ruledOut.isEmpty();
    item->setEnabled(enabled);
    // A disabled item says why; a command not built yet keeps its tooltip.
    if (available)
      item->setToolTip(enabled               ? QString()
                       : !ruledOut.isEmpty() ? ruledOut
                                             : DisabledReason(rule.group));
  }
  auto reason = [this](CommandGroup group) { return DisabledReason(group); };
  MLG1->menuAction()->setToolTip(allowed.mlgMenu ? QString() : reason(CommandGroup::kMlgMenu));
  Spatialcomponents2->menuAction()->setToolTip(
      allowed.spatialMenu ? QString() : reason(CommandGroup::kSpatialMenu));
  Save1->setToolTip(session_->chart(ChartRole::kMap).visible
                        ? "Save the map as SVG, PNG or PDF"
                        : "Draw the map first: Spatial components > MLG map");
  Saveas1->setToolTip(ShownGraphs().empty() ? "Run an analysis that draws a chart first"
                                            : "Save the chart shown as SVG, PNG or PDF");
}

void TForm1::UpdateSidePane() {
  bool shown = false;
  for (QWidget* w : std::initializer_list<QWidget*>{
           GroupBox1, GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6, GroupBox7, GroupBox8,
           GroupBox9, GroupBox10, Chart1, Chart2, Chart3, Chart4, Chart5})
    shown = shown || !w->isHidden();
  for (auto& [name, view] : extraChartViews_) shown = shown || !view->isHidden();
  shown = shown || !associationView_->isHidden();
  for (QGroupBox* panel : lineagePanels_) shown = shown || !panel->isHidden();
  for (QGroupBox* panel : popgenPanels_) shown = shown || !panel->isHidden();
  if (networkView_) shown = shown || !networkView_->isHidden();
  if (heatMapView_) shown = shown || !heatMapView_->isHidden();
  sidePane_->setVisible(shown);
}

}  // namespace vireltan::app
