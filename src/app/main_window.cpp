// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <QtCore/QFileInfo>
#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QCloseEvent>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QVBoxLayout>

#include "app/chart_drawer.h"
#include "app/main_window_parts.h"
#include "app/population_dialogs.h"
#include "app/table_actions.h"

namespace vireltan::app {

// The window's own way of showing a message: errors and warnings in a
// modal box with the warning icon (the leading "!!" of a warning is not
// shown), notices that need no answer in the status bar.
class TForm1::BoxMessageSink : public MessageSink {
 public:
  explicit BoxMessageSink(QMainWindow* parent) : parent_(parent) {}
  void Show(const std::string& text) override { Box(QMessageBox::Warning, text); }
  void Error(const std::string& text) override { Box(QMessageBox::Critical, text); }
  void Note(const std::string& text) override {
    parent_->statusBar()->showMessage(QString::fromStdString(text));
  }

 private:
  void Box(QMessageBox::Icon icon, const std::string& text) {
    // The busy cursor would hide that the box waits for the user.
    bool busyCursor = QApplication::overrideCursor() != nullptr;
    if (busyCursor) QApplication::setOverrideCursor(Qt::ArrowCursor);
    QString shown = QString::fromStdString(text).trimmed();
    if (shown.startsWith("!!")) shown.remove(0, 2);
    QMessageBox box(icon, kCaption, shown, QMessageBox::Ok, parent_);
    box.exec();
    if (busyCursor) QApplication::restoreOverrideCursor();
  }

  QMainWindow* parent_;
};

TForm1::TForm1(MessageSink* messages, QWidget* parent) : QMainWindow(parent) {
  setObjectName("Form1");
  setWindowTitle(kCaption);
  setAcceptDrops(true);
  // 1400 x 860 where the screen has room, else what the screen offers
  // (a 1366 x 768 laptop): the status bar and every Run button stay on it.
  resize(FirstSize());

  if (!messages) {
    ownMessages_ = std::make_unique<BoxMessageSink>(this);
    messages = ownMessages_.get();
  }
  messages_ = std::make_unique<GuiMessageSink>(this, *messages);
  progress_ = std::make_unique<GuiProgressSink>(
      this, GuiProgressSink::Callbacks{[this] {
                                         ProgressBar1->setRange(0, 100);
                                         ProgressBar1->setValue(0);
                                         GroupBox1->show();
                                         UpdateSidePane();
                                       },
                                       [this](int percent) {
                                         ProgressBar1->setValue(percent);
                                         if (!running_.isEmpty())
                                           statusBar()->showMessage(
                                               QString("%1: %2%").arg(running_).arg(percent));
                                       },
                                       [this] { ProgressBar1->setValue(100); }});
  renderer_ = std::make_unique<GuiChartRenderer>(this);
  session_ = std::make_unique<Session>(*messages_, *progress_);
  // Messages name menu paths, not command-line options.
  session_->SetFrontEnd(FrontEnd::kWindow);
  runner_ = new CommandRunner(this);

  BuildMenus();
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName("MainSplitter");
  setCentralWidget(splitter);
  // Neither side is ever squeezed out of sight by the other.
  splitter->setChildrenCollapsible(false);
  PageControl1 = new QTabWidget(splitter);
  PageControl1->setObjectName("PageControl1");
  BuildPages();
  // The panels and charts scroll within their pane: a wide panel or two
  // charts one above the other never make the window larger than the screen.
  auto* sideScroll = new QScrollArea(splitter);
  sideScroll->setObjectName("SidePane");
  sideScroll->setWidgetResizable(true);
  sideScroll->setFrameShape(QFrame::NoFrame);
  sidePane_ = sideScroll;
  auto* sideContent = new QWidget(sideScroll);
  sideContent->setObjectName("SidePaneContent");
  auto* side = new QVBoxLayout(sideContent);
  side->setContentsMargins(4, 0, 0, 0);
  auto* panels = new QWidget(sideContent);
  panels->setObjectName("Panels");
  side->addWidget(panels);
  BuildPanels(panels);
  chartArea_ = new QWidget(sideContent);
  chartArea_->setObjectName("ChartArea");
  side->addWidget(chartArea_, 1);
  BuildCharts(chartArea_);
  sideScroll->setWidget(sideContent);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  splitter->setSizes({width() * 2 / 5, width() * 3 / 5});
  statusBar()->showMessage("Choose File > Open to load a dataset.");

  ConnectWiring();
  ApplyDesktopConventions();
  FormCreate();
  RestoreSettings();
}

TForm1::~TForm1() {
  // The worker may be waiting on this window; let it finish first.
  if (runner_->busy()) {
    progress_->RequestCancel();
    runner_->WaitUntilIdle();
  }
}

void TForm1::BuildMenus() {
  auto action = [this](QMenu* menu, QAction*& member, const char* name, const char* caption) {
    member = menu->addAction(caption);
    member->setObjectName(name);
  };
  auto menu = [this](QMenu*& member, const char* name, const char* caption) {
    member = menuBar()->addMenu(caption);
    member->setObjectName(name);
    member->menuAction()->setObjectName(QString(name) + "Action");
    member->setToolTipsVisible(true);
  };
  menu(File1, "File1", "File");
  action(File1, Open1, "Open1", "Open");
  QAction* populationItem = nullptr;  // the population items live in population_dialogs.cpp
  action(File1, populationItem, "Loadpopulations1", "Load populations…");
  QAction* coordinateUnit = nullptr;
  action(File1, coordinateUnit, "Coordinateunit1", "Coordinate unit…");
  action(File1, Save1, "Save1", "Save map");
  action(File1, Saveas1, "Saveas1", "Save Graph");
  action(File1, SaveAllCharts1, "SaveAllCharts1", "Save all charts…");
  action(File1, Close1, "Close1", "Close");
  action(File1, Quit1, "Quit1", "Quit");
  Open1->setShortcut(QKeySequence::Open);
  Quit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  menu(CombinationandPermutationtest1, "CombinationandPermutationtest1", "Tests");
  QMenu* tests = CombinationandPermutationtest1;
  action(tests, resampling1lloci1, "resampling1lloci1", "resampling1-l loci");
  action(tests, resampling1nindividuals1, "resampling1nindividuals1", "resampling 1-n individuals");
  action(tests, Combination1lloci1, "Combination1lloci1", "Combination 1-l loci");
  action(tests, Combination1nindfividuals1, "Combination1nindfividuals1",
         "Combination1-n individuals");
  action(tests, Psex1, "Psex1", "Psex");
  action(tests, numberofdistinctalleles1, "numberofdistinctalleles1", "matrix of allelic distance");
  action(tests, Matrixofmicrosatellitedistance1, "Matrixofmicrosatellitedistance1",
         "Matrix of microsatellite distance");

  menu(MLG1, "MLG1", "MLG");
  action(MLG1, diversityindices1, "diversityindices1", "Diversity and richness");
  action(MLG1, Pareto1, "Pareto1", "Pareto distribution");
  action(MLG1, populationItem, "Populationsummary1", "Population summary");
  action(MLG1, populationItem, "Unitstable1", "Units table");
  BuildLineageMenu();
  BuildPopgenMenu();

  menu(Spatialcomponents2, "Spatialcomponents2", "Spatial components");
  QMenu* spatial = Spatialcomponents2;
  action(spatial, MLGmap1, "MLGmap1", "MLG map");
  action(spatial, Clonalsubrange1, "Clonalsubrange1", "Clonal sub range");
  action(spatial, Spatialautocorrelation1, "Spatialautocorrelation1", "Spatial autocorrelation");
  action(spatial, Aggregationindex1, "Aggregationindex1", "Aggregation index");
  action(spatial, Edgeeffect1, "Edgeeffect1", "Edge effect");

  menu(Format1, "Format1", "Format");
  action(Format1, Quorvex1, "Quorvex1", "Quorvex");
  action(Format1, Arlequin1, "Arlequin1", "Arlequin");
  action(Format1, populationItem, "GenAlEx1", "GenAlEx");
  action(Format1, populationItem, "Genepop1", "Genepop");
  action(Format1, populationItem, "Vcf1", "VCF (SNP data)");

  About1 = menuBar()->addAction("About");
  About1->setObjectName("About1");

  connect(Open1, &QAction::triggered, this, [this] { Open1Click(); });
  connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });
  connect(coordinateUnit, &QAction::triggered, this, [this] { Coordinateunit1Click(); });
  connect(Saveas1, &QAction::triggered, this, [this] { Saveas1Click(); });
  connect(SaveAllCharts1, &QAction::triggered, this, [this] { SaveAllCharts1Click(); });
  connect(Close1, &QAction::triggered, this, [this] { Close1Click(); });
  connect(Quit1, &QAction::triggered, this, [this] { Quit1Click(); });
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  connect(resampling1lloci1, &QAction::triggered, this, [this] { resampling1lloci1Click(); });
  connect(resampling1nindividuals1, &QAction::triggered, this,
          [this] { resampling1nindividuals1Click(); });
  connect(Aggregationindex1, &QAction::triggered, this, [this] { Aggregationindex1Click(); });
  connect(Edgeeffect1, &QAction::triggered, this, [this] { Edgeeffect1Click(); });
  connect(Clonalsubrange1, &QAction::triggered, this, [this] { Clonalsubrange1Click(); });
  connect(Spatialautocorrelation1, &QAction::triggered, this,
          [this] { Spatialautocorrelation1Click(); });
  ConnectPopulationCommands(*this);
}

void TForm1::BuildPanels(QWidget* host) {
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  BuildProgressPanel(*layout);
  BuildEffortPanels(*layout);
  BuildSpatialPanels(*layout);
  BuildAboutPanel(*layout);
  BuildAutocorrelationPanels(*layout);
  BuildLineagePanels(*layout);
  BuildPopgenPanels(*layout);
  layout->addStretch(0);
}

void TForm1::BuildPages() {
  auto grid = [this](QTableView*& member, const char* name, QWidget* parent) {
    member = new QTableView(parent);
    member->setObjectName(name);
    member->setAlternatingRowColors(true);
    member->horizontalHeader()->setDefaultSectionSize(80);
    member->verticalHeader()->setDefaultSectionSize(22);
    // A grid narrowed by the panels scrolls sideways, never hides columns.
    member->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    member->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return member;
  };
  usersModel_ = new SheetModel(this);
  // The data page: the dataset grid, under the call-rate chart of SNP data.
  auto* datasetPage = new QWidget(PageControl1);
  datasetPage->setObjectName("DatasetPage");
  auto* datasetLayout = new QVBoxLayout(datasetPage);
  datasetLayout->setContentsMargins(0, 0, 0, 0);
  callRateView = new QChartView(new QChart, datasetPage);
  callRateView->setObjectName("callRateChart");
  callRateView->setRenderHint(QPainter::Antialiasing);
  callRateView->setMinimumHeight(300);
  callRateView->hide();
  datasetLayout->addWidget(callRateView, 2);
  grid(userswindow, "userswindow", datasetPage)->setModel(usersModel_);
  datasetLayout->addWidget(userswindow, 3);
  PageControl1->addTab(datasetPage, "dataset");
  resultsModel_ = new SheetModel(this);
  grid(results, "results", PageControl1)->setModel(resultsModel_);
  PageControl1->addTab(results, "results");
  for (QTableView* view : {userswindow, results})
    InstallTableActions(
        view, [this](const QString& text) { statusBar()->showMessage(text); },
        [this](const QString& text) { messages_->Show(text.toStdString()); });
  autocorr = new QTabWidget(PageControl1);
  autocorr->setObjectName("autocorr");
  autocorr->setTabPosition(QTabWidget::South);
  PageControl1->addTab(autocorr, "spatial components");
  PageControl1->setTabToolTip(2, "the sheets of the spatial results workbook");
  BuildChartsPage();

  // The scratch books: present, hidden, empty.
  QTableView** scratch[] = {&data, &rob, &freq, &resperm, &combi, &combi2};
  const char* names[] = {"data", "rob", "freq", "resperm", "combi", "combi2"};
  for (int i = 0; i < 6; ++i) grid(*scratch[i], names[i], this)->hide();

  OpenDialog1 = new QFileDialog(this, "Open a dataset");
  // Every format Open reads: the program's own tables, GenAlEx workbooks
  // and tables, Genepop files, and SNP data (VCF, BCF, PLINK).
  OpenDialog1->setNameFilters(
      {"Every dataset (*.txt *.csv *.tsv *.xlsx *.xls *.gen *.vcf *.vcf.gz *.bcf *.bed)",
       "Tables: text, CSV, TSV, Excel (*.txt *.csv *.tsv *.xlsx *.xls)",
       "GenAlEx (*.xlsx *.xls *.csv)", "Genepop (*.gen *.txt)",
       "SNP data: VCF, BCF, PLINK (*.vcf *.vcf.gz *.bcf *.bed)", "All files (*)"});
  OpenDialog1->setObjectName("OpenDialog1");
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog2 = new QFileDialog(this);
  OpenDialog2->setObjectName("OpenDialog2");

  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == currentPage_) return;
    if (!PageControl1Changing(index)) {
      QSignalBlocker block(PageControl1);
      PageControl1->setCurrentIndex(currentPage_);
      return;
    }
    currentPage_ = index;
  });
}

void TForm1::FormCreate() {
  {
    QSignalBlocker block(PageControl1);
    PageControl1->setCurrentIndex(0);
  }
  currentPage_ = 0;
  Refresh();
}

bool TForm1::PageControl1Changing(int /*newIndex*/) {
  if (session_->info().openAttempted) return true;
  messages_->Show("You must load the file first");
  return false;
}

}  // namespace vireltan::app
