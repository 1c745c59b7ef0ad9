// SPDX-License-Identifier: GPL-3.0-or-later
// The charts kept since the dataset was opened: every chart a command draws
// is added to the "charts" page, where it can be looked at and saved again
// without running its analysis again; File > Save Graph saves the chart on
// show, File > Save all charts writes every kept chart in one go with one
// set of size options. The histograms of the test of clonality are shown
// one at a time with a population chooser.
#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QPainter>
#include <QtSvg/QSvgRenderer>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <memory>

#include "app/chart_drawer.h"
#include "app/figure_dialog.h"
#include "app/main_window_parts.h"
#include "app/map_view.h"
#include "app/qt_chart_renderer.h"
#include "session/chart_files.h"
#include "sheet/atomic_file.h"

namespace vireltan::app {

namespace {

// The charts of the session other than the network and the clonality
// histograms, in the order their commands are listed in the menus.
constexpr ChartRole kKeptRoles[] = {ChartRole::kMap,
                                    ChartRole::kPareto,
                                    ChartRole::kSamplingEffort,
                                    ChartRole::kAllelicHistogram,
                                    ChartRole::kMicrosatHistogram,
                                    ChartRole::kSubrange,
                                    ChartRole::kCorrelogram,
                                    ChartRole::kCallRate,
                                    ChartRole::kOrdination,
                                    ChartRole::kIsolationByDistance};

// ".ia.svg" -> ".ia": the renderer adds the extension of each format.
std::string WithoutSvgExtension(std::string suffix) {
  if (suffix.size() >= 4 && suffix.compare(suffix.size() - 4, 4, ".svg") == 0)
    suffix.resize(suffix.size() - 4);
  return suffix;
}

QString ListCaption(const std::string& title, const std::string& suffix) {
  QString caption = QString::fromStdString(title).simplified();
  if (caption.isEmpty()) caption = QString::fromStdString(suffix).mid(1);
  return caption;
}

}  // namespace

void TForm1::BuildChartsPage() {
  auto* page = new QSplitter(Qt::Horizontal, PageControl1);
  page->setObjectName("ChartsPage");
  auto* left = new QWidget(page);
  auto* column = new QVBoxLayout(left);
  column->setContentsMargins(0, 0, 0, 0);
  ChartList = new QListWidget(left);
  ChartList->setObjectName("ChartList");
  ChartList->setToolTip("Every chart drawn since the dataset was opened; choose one to see it");
  column->addWidget(ChartList, 1);
  auto* saveOne = new QPushButton("Save this chart\u2026", left);
  saveOne->setObjectName("SaveChartButton");
  saveOne->setToolTip("Save the chart chosen above as SVG, PNG or PDF (Ctrl+S)");
  auto* saveAll = new QPushButton("Save all charts\u2026", left);
  saveAll->setObjectName("SaveAllChartsButton");
  saveAll->setToolTip("Save every chart of the list in one go, at one size and format");
  column->addWidget(saveOne);
  column->addWidget(saveAll);

  keptStack_ = new QStackedWidget(page);
  KeptChartView = new QChartView(new QChart, keptStack_);
  KeptChartView->setObjectName("KeptChartView");
  KeptChartView->setRenderHint(QPainter::Antialiasing);
  keptStack_->addWidget(KeptChartView);
  auto* scroll = new QScrollArea(keptStack_);
  scroll->setObjectName("KeptNetworkView");
  keptNetwork_ = new QLabel(scroll);
  keptNetwork_->setObjectName("KeptNetworkPicture");
  scroll->setWidget(keptNetwork_);
  scroll->setWidgetResizable(false);
  keptStack_->addWidget(scroll);
  // Until a command draws a chart, a word rather than an empty frame.
  auto* none = new QLabel("No chart yet: run a command that draws one", keptStack_);
  none->setObjectName("NoChartYet");
  none->setAlignment(Qt::AlignCenter);
  none->setWordWrap(true);
  keptStack_->addWidget(none);
  keptStack_->setCurrentWidget(none);
  page->addWidget(left);
  page->addWidget(keptStack_);
  page->setStretchFactor(0, 1);
  page->setStretchFactor(1, 4);
  PageControl1->addTab(page, "charts");
  PageControl1->setTabToolTip(PageControl1->indexOf(page),
                              "every chart drawn since the dataset was opened");

  connect(ChartList, &QListWidget::currentRowChanged, this,
          [this](int row) { ShowKeptChart(row); });
  connect(saveOne, &QPushButton::clicked, this, [this] {
    if (ChartList->currentRow() >= 0) SaveKeptChartWithDialog(ChartList->currentRow());
  });
  connect(saveAll, &QPushButton::clicked, this, [this] { SaveAllCharts1Click(); });
}

void TForm1::ClearKeptCharts() {
  keptCharts_.clear();
  shownKept_ = -1;
  QSignalBlocker block(ChartList);
  ChartList->clear();
  ShowChart(*KeptChartView, ChartData());
  keptNetwork_->clear();
  keptStack_->setCurrentWidget(keptStack_->findChild<QLabel*>("NoChartYet"));
}

int TForm1::Keep(KeptChart kept) {
  auto same = std::find_if(keptCharts_.begin(), keptCharts_.end(),
                           [&](const KeptChart& k) { return k.suffix == kept.suffix; });
  int index = static_cast<int>(same - keptCharts_.begin());
  if (same != keptCharts_.end()) {
    // The same analysis run again: its chart replaces the earlier one.
    *same = std::move(kept);
    ChartList->item(index)->setText(same->caption);
  } else {
    keptCharts_.push_back(std::move(kept));
    ChartList->addItem(keptCharts_.back().caption);
  }
  ChartList->item(index)->setToolTip(keptCharts_[static_cast<std::size_t>(index)].caption);
  return index;
}

void TForm1::KeepShownCharts() {
  int firstShown = -1;
  auto note = [&firstShown](int index) {
    if (firstShown < 0) firstShown = index;
  };
  for (ChartRole role : kKeptRoles) {
    const ChartData& chart = session_->chart(role);
    if (!chart.visible) continue;
    KeptChart kept;
    kept.chart = chart;
    if (role == ChartRole::kMap)
      if (auto* map = dynamic_cast<MapView*>(Chart1))
        kept.chart.showPointLabels = map->labelsAction()->isChecked();
    kept.suffix = role == ChartRole::kMap ? ".map" : session_->ChartFileSuffix(role);
    kept.caption = ListCaption(chart.title, kept.suffix);
    const int index = Keep(std::move(kept));
    if (role != ChartRole::kMap) note(index);
  }
  const auto& association = session_->associationCharts();
  const auto& suffixes = session_->associationSuffixes();
  for (std::size_t k = 0; k < association.size() && k < suffixes.size(); ++k) {
    if (!association[k].visible) continue;
    KeptChart kept;
    kept.chart = association[k];
    kept.suffix = WithoutSvgExtension(suffixes[k]);
    kept.caption = ListCaption(association[k].title, kept.suffix);
    note(Keep(std::move(kept)));
  }
  const NetworkChart& network = session_->lineages().network;
  if (network.visible) {
    KeptChart kept;
    kept.network = network;
    kept.suffix = ".msn";
    kept.caption = ListCaption(network.title.empty() ? "Minimum spanning network" : network.title,
                               kept.suffix);
    note(Keep(std::move(kept)));
  }
  const HeatMapChart& heatMap = session_->pairwiseFstChart();
  if (heatMap.visible) {
    KeptChart kept;
    kept.heatMap = heatMap;
    kept.suffix = ".pairwise-fst";
    kept.caption = ListCaption(heatMap.title.empty() ? "Pairwise Fst" : heatMap.title, kept.suffix);
    note(Keep(std::move(kept)));
  }
  if (firstShown >= 0) shownKept_ = firstShown;
  if (ChartList->currentRow() < 0 && !keptCharts_.empty()) ChartList->setCurrentRow(0);
}

void TForm1::ShowKeptChart(int index) {
  if (index < 0 || index >= static_cast<int>(keptCharts_.size())) return;
  const KeptChart& kept = keptCharts_[static_cast<std::size_t>(index)];
  if (kept.network || kept.heatMap) {
    // The engine's own drawings: shown as a picture of their SVG.
    QSvgRenderer svg(QByteArray::fromStdString(kept.network ? NetworkSvg(*kept.network)
                                                            : HeatMapSvg(*kept.heatMap)));
    QPixmap picture(svg.isValid() ? svg.defaultSize() : QSize(1, 1));
    picture.fill(Qt::white);
    if (svg.isValid()) {
      QPainter painter(&picture);
      painter.setRenderHint(QPainter::Antialiasing);
      svg.render(&painter);
    }
    keptNetwork_->setPixmap(picture);
    keptNetwork_->resize(picture.size());
    keptStack_->setCurrentIndex(1);
  } else {
    ShowChart(*KeptChartView, kept.chart);
    keptStack_->setCurrentIndex(0);
  }
}

Status TForm1::SaveKeptChart(int index, const std::string& basePath, const FigureOptions& options) {
  if (index < 0 || index >= static_cast<int>(keptCharts_.size()))
    return Status::Error("There is no such chart to save.");
  const KeptChart& kept = keptCharts_[static_cast<std::size_t>(index)];
  QtChartRenderer renderer;
  if (kept.network) return SaveNetworkFiles(renderer, *kept.network, basePath, options);
  if (kept.heatMap) return SaveHeatMapFiles(renderer, *kept.heatMap, basePath, options);
  return SaveChartFiles(renderer, kept.chart, basePath, options);
}

void TForm1::SaveKeptChartWithDialog(int index) {
  if (index < 0 || index >= static_cast<int>(keptCharts_.size())) return;
  const KeptChart& kept = keptCharts_[static_cast<std::size_t>(index)];
  const std::string suffix = kept.suffix == ".map" ? std::string() : kept.suffix;
  FigureDialog dialog("chart", session_->OutputPath(suffix), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string base = dialog.basePath();
  const FigureOptions options = dialog.options();
  Status saved = SaveKeptChart(index, base, options);
  if (!saved) {
    statusBar()->showMessage("The chart could not be saved");
    messages_->Show(saved.message());
    return;
  }
  QStringList files;
  for (const std::string& path : FigurePaths(base, options)) files << QString::fromStdString(path);
  statusBar()->showMessage("Chart saved to " + files.join(", "));
}

void TForm1::SaveAllCharts1Click() {
  if (busy()) return;
  if (keptCharts_.empty()) {
    messages_->Show("There is no chart to save: run an analysis that draws one first.");
    return;
  }
  // One dialog for all: its file name is the prefix of every file, each
  // chart adding its own suffix (".pareto", ".msn" ...).
  FigureDialog dialog(QString("all %1 charts (file names start with)").arg(keptCharts_.size()),
                      session_->OutputPath(""), this);
  if (dialog.exec() != QDialog::Accepted) return;
  // The charts are Qt graphics scenes, drawn on the window's thread: one
  // chart per turn of the event loop, so that the window stays responsive
  // (a chart at 600 dpi takes about a second), with the progress panel and
  // its Cancel button.
  struct SaveAll {
    std::string prefix;
    FigureOptions options;
    int next = 0;
  };
  auto job = std::make_shared<SaveAll>(SaveAll{dialog.basePath(), dialog.options()});
  const int total = static_cast<int>(keptCharts_.size());
  savingCharts_ = true;
  progress_->ResetCancel();
  SetBusy(true);
  running_ = "Saving all charts";
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  GroupBox1->show();
  UpdateSidePane();
  statusBar()->showMessage(QString("Saving all charts: 0 of %1").arg(total));
  auto* turn = new QTimer(this);
  turn->setInterval(0);
  connect(turn, &QTimer::timeout, this, [this, job, total, turn] {
    auto finish = [&](const QString& said) {
      turn->stop();
      turn->deleteLater();
      savingCharts_ = false;
      GroupBox1->hide();
      SetBusy(false);
      running_.clear();
      UpdateSidePane();
      statusBar()->showMessage(said);
    };
    if (progress_->Cancelled()) {
      finish(
          QString("Save all charts: cancelled; %1 of %2 charts saved").arg(job->next).arg(total));
    } else if (job->next >= total || job->next >= static_cast<int>(keptCharts_.size())) {
      const QString prefix = QString::fromStdString(job->prefix);
      finish(QString("%1 charts saved to %2 (%3*%4)")
                 .arg(job->next)
                 .arg(QFileInfo(prefix).absolutePath(), QFileInfo(prefix).fileName(),
                      FigureExtension(job->options)));
    } else {
      const int i = job->next;
      Status saved = SaveKeptChart(i, job->prefix + keptCharts_[static_cast<std::size_t>(i)].suffix,
                                   job->options);
      if (!saved) {
        finish(QString("Save all charts: %1 of %2 saved").arg(i).arg(total));
        messages_->Show(saved.message());
      } else {
        job->next = i + 1;
        ProgressBar1->setValue(100 * job->next / total);
        statusBar()->showMessage(QString("Saving all charts: %1 of %2").arg(job->next).arg(total));
        return;
      }
    }
    if (closeAfterRun_) {
      closeAfterRun_ = false;
      close();
    }
  });
  turn->start();
}

void TForm1::WaitUntilIdle() {
  runner_->WaitUntilIdle();
  while (savingCharts_) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void TForm1::BuildAssociationChooser(QVBoxLayout& layout) {
  auto* row = new QHBoxLayout;
  associationLabel_ = new QLabel("Po&pulation:", chartArea_);
  associationLabel_->setObjectName("iaPopulationLabel");
  AssociationChooser = new QComboBox(chartArea_);
  AssociationChooser->setObjectName("iaPopulationBox");
  AssociationChooser->setToolTip("The histogram of the test of clonality of this population");
  associationLabel_->setBuddy(AssociationChooser);
  row->addWidget(associationLabel_);
  row->addWidget(AssociationChooser, 1);
  layout.addLayout(row);
  associationView_ = new QChartView(new QChart, chartArea_);
  associationView_->setObjectName("iaChart");
  associationView_->setRenderHint(QPainter::Antialiasing);
  associationView_->setMinimumHeight(380);
  layout.addWidget(associationView_, 1);
  connect(AssociationChooser, &QComboBox::currentIndexChanged, this,
          [this] { RefreshAssociationChart(); });
}

void TForm1::RefreshAssociationChart() {
  // One histogram on show at a time, chosen by population: a dataset of
  // many populations no longer stacks them taller than the screen.
  const auto& charts = session_->associationCharts();
  std::vector<int> shown;
  for (std::size_t k = 0; k < charts.size(); ++k)
    if (charts[k].visible) shown.push_back(static_cast<int>(k));
  QStringList names;
  for (int k : shown) names << ListCaption(charts[static_cast<std::size_t>(k)].title, ".ia");
  QStringList listed;
  for (int i = 0; i < AssociationChooser->count(); ++i) listed << AssociationChooser->itemText(i);
  if (listed != names) {
    QSignalBlocker block(AssociationChooser);
    AssociationChooser->clear();
    AssociationChooser->addItems(names);
    // The total of all units, listed last, is the first one shown.
    AssociationChooser->setCurrentIndex(static_cast<int>(names.size()) - 1);
  }
  const bool any = !shown.empty();
  const bool choose = shown.size() > 1;
  associationLabel_->setVisible(choose);
  AssociationChooser->setVisible(choose);
  associationView_->setVisible(any);
  const int chosen = AssociationChooser->currentIndex();
  if (any && chosen >= 0 && chosen < static_cast<int>(shown.size())) {
    ShowChart(*associationView_, charts[static_cast<std::size_t>(shown[chosen])]);
    const std::string suffix = WithoutSvgExtension(
        session_->associationSuffixes()[static_cast<std::size_t>(shown[chosen])]);
    for (std::size_t i = 0; i < keptCharts_.size(); ++i)
      if (keptCharts_[i].suffix == suffix) shownKept_ = static_cast<int>(i);
  }
}

}  // namespace vireltan::app
