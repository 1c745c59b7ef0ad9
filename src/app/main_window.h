// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window of Vireltan, Form1 of class TForm1: menus, option panels,
// the dataset grid and result sheets, the five charts, messages and the
// progress panel. Its handlers only collect options, call the session (on
// the worker thread, through the runner) and draw what the session holds
// afterwards. Every component has the name the program's documentation
// gives it, as member and as objectName.
#include <QtCharts/QChartView>
#include <QtCore/QStringList>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QTabWidget>
#include <QtWidgets/QTableView>
#include <QtWidgets/QVBoxLayout>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/command_runner.h"
#include "app/sheet_model.h"
#include "charts/chart_renderer.h"
#include "charts/heat_map_chart.h"
#include "charts/network_chart.h"
#include "session/session.h"

namespace vireltan::app {

// What a command may read from the window, collected on the window's thread
// before it runs: the texts of the option fields, the ticks of the boxes,
// and the renderer for chart files.
struct CommandInputs {
  std::string Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7;
  bool CheckBox1 = false, CheckBox2 = false, CheckBox3 = false, CheckBox4 = false,
       CheckBox5 = false;
  // Fields of the newer panels by objectName: a line edit's or combo box's
  // text, a check box's "1" or "".
  std::map<std::string, std::string> fields;
  ChartRenderer* renderer = nullptr;
};

// A session command started by a menu item or a panel button.
using SessionCommand = std::function<Status(Session&, const CommandInputs&)>;

// Reads a whole number typed in an option field; the message is the one a
// user of the program has always seen for a field that is not an integer.
Status IntegerField(const std::string& text, int& value);

class TForm1 : public QMainWindow {
 public:
  // A chart drawn since the dataset was opened, kept to be shown and saved
  // again without running its analysis again.
  struct KeptChart {
    QString caption;     // its line in the charts page's list
    std::string suffix;  // file name after the dataset's prefix (".pareto", ".msn")
    ChartData chart;     // the drawing, unless it is the network or the heat map
    std::optional<NetworkChart> network;
    std::optional<HeatMapChart> heatMap;  // pairwise Fst
  };

  // `messages`, when given, receives every message instead of a modal box
  // (tests read the texts); it is always called on the window's thread.
  explicit TForm1(MessageSink* messages = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  Session& session() { return *session_; }
  CommandRunner& runner() { return *runner_; }
  // A command runs, or File > Save all charts is writing its charts.
  bool busy() const { return runner_->busy() || savingCharts_; }
  // Resets the window and the session as Open does, then loads `path`
  // through the runner (a file given on the command line or dropped on the
  // window).
  void OpenPath(const QString& path);
  void WaitUntilIdle();
  // Writes the chart of `role` (as shown, labels included) to `basePath`
  // with the extensions `options` choose, on the window's thread; the chart
  // stays on screen and the status bar says where the files went. What
  // File > Save map and File > Save Graph do once their dialog is accepted.
  Status SaveFigure(ChartRole role, const std::string& basePath, const FigureOptions& options);
  // The charts now shown that File > Save Graph saves (the map aside).
  std::vector<ChartRole> ShownGraphs();
  // Every chart drawn since the dataset was opened (the charts page).
  const std::vector<KeptChart>& keptCharts() const { return keptCharts_; }
  // Writes kept chart `index` to `basePath` + the extensions `options`
  // choose; what File > Save all charts does for each.
  Status SaveKeptChart(int index, const std::string& basePath, const FigureOptions& options);
  void SaveAllCharts1Click();
  // Files recently opened, newest first (at most 8; File > Open Recent).
  QStringList RecentFiles() const;
  // Runs `job` on the worker thread as every command does: busy cursor,
  // menus and panels disabled, progress panel with Cancel, messages in
  // modal boxes, "cancelled" in the status bar; then `after` and a refresh
  // of every view on the window's thread.
  void Run(const QString& what, std::function<Status(Session&)> job,
           std::function<void(const Status&)> after = {});

  // Tests of the panels: each run is handed to `stub` (with what the
  // status bar would call it) instead of being started; empty: run again.
  void InterceptRuns(std::function<void(const QString& what)> stub) {
    interceptRuns_ = std::move(stub);
  }

  // --- Handlers ---
  void FormCreate();
  bool PageControl1Changing(int newIndex);
  void Open1Click();
  void Save1Click();
  // File > Coordinate unit…: the unit of the coordinates for every
  // distance shown (figure_saving.cpp).
  void Coordinateunit1Click();
  // Makes `unit` the session's coordinate unit and relabels the charts on
  // show and kept; false (the message shown) when the session refuses it.
  bool ApplyCoordinateUnit(const QString& unit);
  void Saveas1Click();
  void Close1Click();
  void Quit1Click();
  void About1Click();
  void Button8Click();
  void MLGmap1Click() { RunMenuCommand("MLGmap1"); }
  void resampling1lloci1Click();
  void resampling1nindividuals1Click();
  void Aggregationindex1Click();
  void Edgeeffect1Click();
  void Clonalsubrange1Click();
  void Button5Click();
  void Spatialautocorrelation1Click();
  // Unticks every choice of the autocorrelation panel.
  void ClearAutocorrelationChoices();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();
  void CheckBox4Click();
  void CheckBox5Click();
  void Button9Click();
  void CancelButtonClick();

  // --- Menus ---
  QMenu* File1 = nullptr;
  QAction *Open1 = nullptr, *Save1 = nullptr, *Saveas1 = nullptr, *Close1 = nullptr,
          *Quit1 = nullptr;
  QMenu* CombinationandPermutationtest1 = nullptr;
  QAction *resampling1lloci1 = nullptr, *resampling1nindividuals1 = nullptr,
          *Combination1lloci1 = nullptr, *Combination1nindfividuals1 = nullptr, *Psex1 = nullptr,
          *numberofdistinctalleles1 = nullptr, *Matrixofmicrosatellitedistance1 = nullptr;
  QMenu* MLG1 = nullptr;
  QAction *diversityindices1 = nullptr, *Pareto1 = nullptr;
  QAction *Multilocuslineages1 = nullptr, *Countlineages1 = nullptr,
          *Minimumspanningnetwork1 = nullptr, *Testofclonality1 = nullptr;
  // Populations: genetic diversity, F-statistics, pairwise Fst, Hardy–Weinberg,
  // AMOVA, ordination, isolation by distance, MLGs shared among populations.
  QMenu* Populations1 = nullptr;
  QAction *Geneticdiversity1 = nullptr, *Fstatistics1 = nullptr, *PairwiseFst1 = nullptr,
          *HardyWeinberg1 = nullptr, *Amova1 = nullptr, *Ordination1 = nullptr,
          *Isolationbydistance1 = nullptr, *SharedMlgs1 = nullptr;
  QMenu* Spatialcomponents2 = nullptr;
  QAction *MLGmap1 = nullptr, *Clonalsubrange1 = nullptr, *Spatialautocorrelation1 = nullptr,
          *Aggregationindex1 = nullptr, *Edgeeffect1 = nullptr;
  QMenu* Format1 = nullptr;
  QAction *Quorvex1 = nullptr, *Arlequin1 = nullptr;
  QAction* About1 = nullptr;
  QMenu* OpenRecent1 = nullptr;  // File > Open Recent
  QMenu* Help1 = nullptr;
  QAction* Userguide1 = nullptr;
  QAction* SaveAllCharts1 = nullptr;     // File > Save all charts
  QAction* CancelCommand1 = nullptr;     // Escape: cancels the running command
  QAction* OutputFolder1 = nullptr;      // File > Output folder
  QAction* OutputBesideData1 = nullptr;  // File > Output beside the data file
  // Sets the output folder ("" : beside the data file) and remembers it.
  void ChooseOutputFolder(const QString& folder);

  // --- Panels ---
  QGroupBox* GroupBox1 = nullptr;  // "In Progress"
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* CancelButton = nullptr;
  QGroupBox *GroupBox2 = nullptr, *GroupBox3 = nullptr, *GroupBox4 = nullptr, *GroupBox5 = nullptr,
            *GroupBox6 = nullptr, *GroupBox7 = nullptr, *GroupBox8 = nullptr, *GroupBox9 = nullptr,
            *GroupBox10 = nullptr;
  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr,
            *Edit5 = nullptr, *Edit6 = nullptr, *Edit7 = nullptr;
  QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr,
              *Button5 = nullptr, *Button6 = nullptr, *Button7 = nullptr, *Button8 = nullptr,
              *Button9 = nullptr, *Button11 = nullptr;
  // The autocorrelation's choices: radio buttons in two titled groups
  // (distance classes; clonal replicates), named as the original boxes.
  QRadioButton *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr,
               *CheckBox4 = nullptr, *CheckBox5 = nullptr;
  QLabel *Label4 = nullptr, *Label5 = nullptr;
  QLabel *StaticText1 = nullptr, *StaticText2 = nullptr, *StaticText3 = nullptr,
         *StaticText4 = nullptr, *StaticText5 = nullptr;

  // --- Pages, worksheets, dialogs ---
  QTabWidget* PageControl1 = nullptr;
  QTableView* userswindow = nullptr;
  // SNP data: the histogram of sample call rates above the data page's
  // summary (the session's call-rate chart); hidden for allele tables.
  QChartView* callRateView = nullptr;
  QTableView* results = nullptr;
  QTabWidget* autocorr = nullptr;  // one page per sheet of the spatial workbook
  // Scratch books of the original layout: the engine computes on typed
  // arrays, so these stay empty and hidden.
  QTableView *data = nullptr, *rob = nullptr, *freq = nullptr, *resperm = nullptr, *combi = nullptr,
             *combi2 = nullptr;
  QFileDialog* OpenDialog1 = nullptr;
  QFileDialog* OpenDialog2 = nullptr;  // not used by any command

  // --- Charts ---
  // Chart1, the MLG map, is a MapView: wheel zoom, drag pan, labels switch.
  QChartView *Chart1 = nullptr, *Chart2 = nullptr, *Chart3 = nullptr, *Chart4 = nullptr,
             *Chart5 = nullptr;
  // The Qt series drawn for each named series (re-pointed after each draw).
  QAbstractSeries *Series1 = nullptr, *Series2 = nullptr, *Series3 = nullptr, *Series4 = nullptr,
                  *Series5 = nullptr, *Series6 = nullptr, *Series7 = nullptr;
  QLabel* Label1 = nullptr;
  // The charts page: the list of kept charts and the one chosen.
  QListWidget* ChartList = nullptr;
  QChartView* KeptChartView = nullptr;
  // The histograms of the test of clonality: one shown, chosen by population.
  QComboBox* AssociationChooser = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // On the first show, once the window manager's frame is known, the
  // window is fitted within the screen's available area (FitToScreen).
  void showEvent(QShowEvent* event) override;
  // Enter and Escape in an option panel (run it, close it).
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct Wiring {
    const char* component;   // objectName of the menu item or button
    const char* handler;     // its handler's name
    SessionCommand command;  // empty: not available yet
  };
  static const std::vector<Wiring>& CommandTable();
  const Wiring* FindWiring(const std::string& component) const;
  bool IsWired(const std::string& component) const;

  // The size the window opens at: 1400 x 860 where the screen has room,
  // else the screen's available area less an allowance for the frame
  // (window_geometry.cpp).
  QSize FirstSize() const;
  // Moves and shrinks the window so that its frame lies within the
  // available area of its screen (a geometry restored from another,
  // larger screen; a frame taller than allowed for).
  void FitToScreen();
  void BuildMenus();
  void BuildPanels(QWidget* host);
  void BuildProgressPanel(QVBoxLayout& layout);
  void BuildEffortPanels(QVBoxLayout& layout);
  void BuildSpatialPanels(QVBoxLayout& layout);
  void BuildAboutPanel(QVBoxLayout& layout);
  void BuildAutocorrelationPanels(QVBoxLayout& layout);
  // Multilocus lineages and the spanning network (lineage_panels.cpp).
  void BuildLineageMenu();
  void BuildLineagePanels(QVBoxLayout& layout);
  void RefreshLineages();
  // The population genetics items, their panels and the heat map of
  // pairwise Fst (popgen_panels.cpp).
  void BuildPopgenMenu();
  void BuildPopgenPanels(QVBoxLayout& layout);
  void RefreshPopgen();
  // The AMOVA panel's hierarchies (from the strata table loaded) and its
  // within-individual level (diploid data only).
  void RefreshAmovaChoices();
  // The ordination's and the isolation by distance's choices: populations
  // with two of them, a distance between units when one is computed (not
  // between populations, nor for the ordination of SNP data), sizes for
  // genets.
  void RefreshOrdinationChoices();
  // Why an item of the Populations menu cannot run now beyond what the
  // dataset allows (two populations for F-statistics, pairwise Fst, the
  // AMOVA and the shared MLGs); empty when it can.
  QString PopgenDisabledReason(const QAction* item) const;
  void BuildPages();
  void BuildCharts(QWidget* host);
  void ConnectWiring();
  // Mnemonics, shortcuts, tooltips, Help menu, recent files, settings
  // (desktop_conventions.cpp).
  void ApplyDesktopConventions();
  void BuildOutputFolderItems();  // output_folder.cpp
  void RestoreSettings();
  void SaveSettings();
  void AddRecentFile(const QString& path);
  void RebuildRecentMenu();
  void OpenUserGuide();
  // Why a menu item needing `group` is disabled now, for its tooltip.
  QString DisabledReason(CommandGroup group) const;
  // Why the menu item or button `component` cannot run on the kind of data
  // open (SNP data or an allele table), in the window's words; empty when
  // it can (command_reasons.cpp).
  QString DataKindReason(const std::string& component) const;
  // Checks the number field of the panel holding `run`; an invalid value is
  // shown beside the field and the panel stays open.
  bool PanelValueIsValid(QPushButton* run);
  // After a command: a status message in words, the results scrolled to
  // the new block (selected) or the spatial page on its new sheet.
  void ShowOutcome(const QString& what, int resultsRowsBefore, int sheetsBefore,
                   const std::string& firstSheetBefore);
  // What the command of `component` does, in the status bar's words.
  QString CommandTitle(const std::string& component) const;
  // The window title: the program and the open file.
  void UpdateTitle();

  // Runs the wired command of `component` through the runner; `after` runs
  // on the window's thread once it is done.
  void RunWired(const std::string& component, std::function<void(const Status&)> after = {});
  // A menu command: hides the panels of the previous command, then runs.
  void RunMenuCommand(const std::string& component);
  CommandInputs CollectInputs();
  void SetBusy(bool busy);

  // Open's reset of the window (steps before the dialog) and of the session.
  // After a dataset was opened: panels, choices and kept charts of the
  // previous one go.
  void ResetAfterOpen();
  // SNP data open with `chosen` (File > Open asks for them); without, with
  // the sheet beside the data file, if any, and the last filters.
  void OpenFile(const QString& path, const std::optional<SnpOpenOptions>& chosen = std::nullopt);
  void HidePanels();
  void HideChartsAndPanels();
  void ShowPanel(QGroupBox* panel, std::initializer_list<QWidget*> enabled);

  // Brings every view up to date with the session (after each command).
  void Refresh();
  void RefreshCharts();
  // Re-points Series1..Series7 at the Qt series just drawn.
  void FindDrawnSeries();
  void RefreshMenus();
  void RefreshSheets();
  void UpdateSidePane();
  // Charts beyond the five of the main window that analyses fill.
  std::vector<std::pair<const char*, const ChartData*>> ExtraCharts();

  // The kept charts (charts_page.cpp).
  void BuildChartsPage();
  void BuildAssociationChooser(QVBoxLayout& layout);
  void RefreshAssociationChart();
  void ClearKeptCharts();
  // Adds (or replaces, for the same file suffix) a kept chart; its index.
  int Keep(KeptChart kept);
  // Keeps every chart the last command drew.
  void KeepShownCharts();
  void ShowKeptChart(int index);
  void SaveKeptChartWithDialog(int index);

  class BoxMessageSink;
  std::unique_ptr<MessageSink> ownMessages_;
  std::unique_ptr<GuiMessageSink> messages_;
  std::unique_ptr<GuiProgressSink> progress_;
  std::unique_ptr<GuiChartRenderer> renderer_;
  std::unique_ptr<Session> session_;
  CommandRunner* runner_ = nullptr;

  SheetModel* usersModel_ = nullptr;
  SheetModel* resultsModel_ = nullptr;
  std::vector<QTableView*> autocorrViews_;
  QWidget* sidePane_ = nullptr;
  QWidget* chartArea_ = nullptr;
  std::map<size_t, QChartView*> extraChartViews_;
  std::vector<QGroupBox*> lineagePanels_;
  QWidget* networkView_ = nullptr;  // the minimum spanning network, zoomable
  std::vector<QGroupBox*> popgenPanels_;
  QWidget* heatMapView_ = nullptr;  // the heat map of pairwise Fst, zoomable
  int shownSuggestion_ = 0;         // suggestions already copied into the panel
  int currentPage_ = 0;
  QString running_;  // what the running command does, for the status bar
  bool quitting_ = false;
  bool fittedOnShow_ = false;
  bool savingCharts_ = false;
  std::function<void(const QString&)>
      interceptRuns_;  // File > Save all charts at work, one chart at a time
  bool closeAfterRun_ = false;
  std::vector<KeptChart> keptCharts_;
  int shownKept_ = -1;  // the kept chart on show beside the pages, if any
  QStackedWidget* keptStack_ = nullptr;
  QLabel* keptNetwork_ = nullptr;
  QLabel* associationLabel_ = nullptr;
  QChartView* associationView_ = nullptr;
};

}  // namespace vireltan::app
