// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop conventions of the main window: menu mnemonics and shortcuts,
// Escape, tooltips on every option field, panel titles naming their
// analysis, File > Open Recent, the Help menu (user guide, About), and the
// settings kept between runs (window geometry, option values).
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QSettings>
#include <QtCore/QUrl>
#include <QtGui/QShortcut>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QTabBar>
#include <algorithm>
#include <utility>

#include "app/guide_window.h"
#include "app/main_window_parts.h"
#include "app/map_view.h"
#include "common/version.h"

namespace vireltan::app {

namespace {

constexpr int kRecentFileCount = 8;

// Captions with their mnemonics (Alt + the underlined letter).
const std::pair<const char*, const char*> kCaptions[] = {
    {"Open1", "&Open\u2026"},
    {"Coordinateunit1", "Coordinate &unit\u2026"},
    {"Save1", "Save &map\u2026"},
    {"Saveas1", "Save &Graph\u2026"},
    {"SaveAllCharts1", "Save &all charts\u2026"},
    {"Close1", "&Close"},
    {"Quit1", "&Quit"},
    {"resampling1lloci1", "&Resampling of loci\u2026"},
    {"resampling1nindividuals1", "Resampling of &sampling units\u2026"},
    {"Combination1lloci1", "&Combinations of loci"},
    {"Combination1nindfividuals1", "Combinations of sampling &units"},
    {"Psex1", "&Psex"},
    {"numberofdistinctalleles1", "Matrix of &allelic distances"},
    {"Matrixofmicrosatellitedistance1", "Matrix of m&icrosatellite distances"},
    {"diversityindices1", "&Diversity and richness"},
    {"Pareto1", "&Pareto distribution"},
    {"MLGmap1", "MLG &map"},
    {"Clonalsubrange1", "Clonal &subrange\u2026"},
    {"Spatialautocorrelation1", "Spatial &autocorrelation\u2026"},
    {"Aggregationindex1", "A&ggregation index\u2026"},
    {"Edgeeffect1", "&Edge effect\u2026"},
    {"Quorvex1", "&Quorvex"},
    {"Arlequin1", "&Arlequin"},
    {"Loadpopulations1", "Load &populations\u2026"},
    {"Populationsummary1", "Population &summary"},
    {"Unitstable1", "&Units table (MLG, MLL)"},
    {"GenAlEx1", "&GenAlEx"},
    {"Genepop1", "Ge&nepop"},
    {"Vcf1", "&VCF (SNP data)"},
    {"Multilocuslineages1", "Multilocus &lineages\u2026"},
    {"Countlineages1", "&Count lineages instead of genotypes"},
    {"Minimumspanningnetwork1", "Minimum spanning &network\u2026"},
    {"Testofclonality1", "&Test of clonality (index of association)\u2026"},
};

// What each option field means, its range and its default.
const std::pair<const char*, const char*> kFieldTips[] = {
    {"Edit1",
     "Aggregation index: number of permutations of the units' positions (a whole "
     "number, at least 1; default 1000)"},
    {"Edit2",
     "Resampling of sampling units: random draws for each number of units (at least "
     "2; default 1000)"},
    {"Edit3",
     "Clonal subrange: number of distance classes, each holding about as many pairs "
     "(at least 1; default 6)"},
    {"Edit4",
     "Resampling of loci: random draws for each number of loci (at least 2; default "
     "1000)"},
    {"Edit5", "Edge effect: number of permutations (at least 1; default 1000)"},
    {"Edit6", "Spatial autocorrelation: number of distance classes (at least 1; default 10)"},
    {"Edit7",
     "Spatial autocorrelation: number of permutations for the 95% envelope (at least "
     "1; default 1000)"},
    {"CheckBox1", "Distance classes holding about the same number of pairs"},
    {"CheckBox2", "Distance classes read from distances.txt beside the data file"},
    {"CheckBox3",
     "Replicates of a genet (clonal copies) replaced by one unit at their central "
     "coordinates"},
    {"CheckBox4", "Each pair of genets weighted by its number of replicates"},
    {"CheckBox5", "One replicate of each genet drawn at random, the draw repeated"},
};

const std::pair<const char*, const char*> kPanelTitles[] = {
    {"GroupBox2", "Aggregation index: permutations"},
    {"GroupBox3", "Resampling of sampling units: permutations"},
    {"GroupBox4", "Clonal subrange: number of distance classes"},
    {"GroupBox5", "Resampling of loci: permutations"},
    {"GroupBox6", "Clonal subrange: distance classes"},
    {"GroupBox7", "Edge effect: permutations"},
    {"GroupBox9", "Spatial autocorrelation: classes and replicates"},
    {"GroupBox10", "Spatial autocorrelation: classes and permutations"},
};

QString UserGuidePath() {
  // Installed under the prefix (the folder above the programs'), else the
  // guide in the sources for a program run from its build tree.
  const QString prefix = QCoreApplication::applicationDirPath() + "/..";
  for (const QString& candidate :
       {prefix + "/" + kGuideInstalledRelativePath, QString::fromUtf8(kGuideSourcePath)})
    if (QFileInfo::exists(candidate)) return QFileInfo(candidate).absoluteFilePath();
  return {};
}

}  // namespace

void TForm1::ApplyDesktopConventions() {
  File1->setTitle("&File");
  CombinationandPermutationtest1->setTitle("&Tests");
  MLG1->setTitle("&MLG");
  Spatialcomponents2->setTitle("&Spatial components");
  Format1->setTitle("F&ormat");
  for (const auto& [name, caption] : kCaptions)
    if (auto* item = findChild<QAction*>(name)) item->setText(caption);

  Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  Saveas1->setShortcut(QKeySequence::Save);
  Close1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  Psex1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  diversityindices1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  MLGmap1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));

  // File > Open Recent, under Open.
  OpenRecent1 = new QMenu("Open &Recent", File1);
  OpenRecent1->setObjectName("OpenRecent1");
  const QList<QAction*> fileItems = File1->actions();
  const qsizetype open = fileItems.indexOf(Open1);
  File1->insertMenu(open + 1 < fileItems.size() ? fileItems[open + 1] : nullptr, OpenRecent1);

  BuildOutputFolderItems();

  // Help: the user guide and About.
  menuBar()->removeAction(About1);
  Help1 = menuBar()->addMenu("&Help");
  Help1->setObjectName("Help1");
  Userguide1 = Help1->addAction("&User guide");
  Userguide1->setObjectName("Userguide1");
  Userguide1->setShortcut(QKeySequence::HelpContents);
  connect(Userguide1, &QAction::triggered, this, [this] { OpenUserGuide(); });
  Help1->addAction(About1);
  About1->setText("&About Vireltan");

  // Ctrl+Tab and Ctrl+Shift+Tab (or Ctrl+Page Down / Up) go to the next and
  // previous page, wherever the keyboard is.
  auto turnPage = [this](int step) {
    const int count = PageControl1->count();
    if (count > 0 && PageControl1->tabBar()->isEnabled())
      PageControl1->setCurrentIndex((PageControl1->currentIndex() + step + count) % count);
  };
  for (const auto& [keys, step] :
       {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}}) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [turnPage, step = step] { turnPage(step); });
  }

  // Escape stops the running command, as its Cancel button does.
  CancelCommand1 = new QAction("Cancel the running command", this);
  CancelCommand1->setObjectName("CancelCommand1");
  CancelCommand1->setShortcut(QKeySequence(Qt::Key_Escape));
  CancelCommand1->setShortcutContext(Qt::WindowShortcut);
  addAction(CancelCommand1);
  connect(CancelCommand1, &QAction::triggered, this, [this] { CancelButtonClick(); });
  CancelButton->setToolTip("Stop the running command (Escape); nothing is written");

  for (const auto& [name, tip] : kFieldTips)
    if (auto* field = findChild<QWidget*>(name)) field->setToolTip(tip);
  for (const auto& [name, title] : kPanelTitles)
    if (auto* panel = findChild<QGroupBox*>(name)) panel->setTitle(title);
  for (QPushButton* run : {Button1, Button2, Button3, Button4, Button7, Button9, Button11}) {
    run->setText(run == Button9 ? "&Next" : "&Run");
    run->setDefault(true);
  }
  Button5->setText("&Number of distance classes");
  Button6->setText("Fi&xed distance classes (distances.txt)");
  Button5->setToolTip("Classes holding about the same number of pairs");
  Button6->setToolTip("Classes read from distances.txt, in the folder of the data file");
  GroupBox1->setTitle("In progress");
  // Enter runs the panel on show (its default button), Escape closes it;
  // Escape cancels a running command (the panels are disabled meanwhile).
  CancelCommand1->setEnabled(false);
  for (QGroupBox* panel :
       {GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6, GroupBox7, GroupBox9, GroupBox10})
    panel->installEventFilter(this);
  for (QGroupBox* panel : lineagePanels_) {
    panel->installEventFilter(this);
    for (auto* button : panel->findChildren<QPushButton*>())
      if (button->text() == "&Run") button->setDefault(true);
  }
  Label1->setText("Fitted line equation");
}

void TForm1::RestoreSettings() {
  QSettings settings;
  if (settings.contains("window/geometry"))
    restoreGeometry(settings.value("window/geometry").toByteArray());
  // Saved on a larger screen (or at another scale factor): brought back
  // within this one.
  FitToScreen();
  for (QLineEdit* field : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7}) {
    const QString key = "options/" + field->objectName();
    if (settings.contains(key)) field->setText(settings.value(key).toString());
  }
  if (auto* map = dynamic_cast<MapView*>(Chart1))
    map->labelsAction()->setChecked(settings.value("map/labels", true).toBool());
  RebuildRecentMenu();
}

void TForm1::SaveSettings() {
  QSettings settings;
  settings.setValue("window/geometry", saveGeometry());
  for (QLineEdit* field : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7})
    settings.setValue("options/" + field->objectName(), field->text());
  if (auto* map = dynamic_cast<MapView*>(Chart1))
    settings.setValue("map/labels", map->labelsAction()->isChecked());
}

QStringList TForm1::RecentFiles() const {
  return QSettings().value("recentFiles").toStringList();
}

void TForm1::AddRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  const QString file = QFileInfo(path).absoluteFilePath();
  files.removeAll(file);
  files.prepend(file);
  while (files.size() > kRecentFileCount) files.removeLast();
  QSettings().setValue("recentFiles", files);
  RebuildRecentMenu();
}

void TForm1::RebuildRecentMenu() {
  OpenRecent1->clear();
  const QStringList files = RecentFiles();
  int number = 0;
  for (const QString& file : files) {
    ++number;
    QString name = QFileInfo(file).fileName();
    const QString caption = QString("&%1 %2").arg(number).arg(name.replace("&", "&&"));
    QAction* item = OpenRecent1->addAction(caption);
    item->setToolTip(file);
    connect(item, &QAction::triggered, this, [this, file] { OpenPath(file); });
  }
  OpenRecent1->setEnabled(!files.isEmpty());
  OpenRecent1->menuAction()->setToolTip(files.isEmpty() ? "No file opened yet" : QString());
}

void TForm1::OpenUserGuide() {
  const QString guide = UserGuidePath();
  if (guide.isEmpty()) {
    messages_->Show("The user guide (docs/guide.md) was not found beside the program.");
    return;
  }
  // The guide is shown by the program itself (Markdown drawn by Qt, its
  // pictures found beside it), whatever viewers the desktop has.
  auto* window = findChild<GuideWindow*>("UserGuideWindow");
  if (!window) window = new GuideWindow(guide, this);
  window->show();
  window->raise();
  window->activateWindow();
  statusBar()->showMessage("User guide: " + guide);
}

QString TForm1::DisabledReason(CommandGroup group) const {
  const DatasetInfo& info = session_->info();
  if (!session_->hasData()) return "Needs a dataset: choose File > Open first";
  switch (group) {
    case CommandGroup::kDataset:
      return {};
    case CommandGroup::kPsex:
      if (!info.hasMissingData) return "Already run for this dataset: open it again to rerun";
      [[fallthrough]];
    case CommandGroup::kAllelicMatrix:
    case CommandGroup::kMicrosatMatrix:
    case CommandGroup::kMlgMenu:
      return QString("Not available with missing genotypes: %1 unit%2")
          .arg(info.unitsWithMissingData)
          .arg(info.unitsWithMissingData == 1 ? "" : "s");
    case CommandGroup::kSpatialMenu:
      return "Needs coordinates: the dataset has none (999 in x and y)";
  }
  return {};
}

bool TForm1::PanelValueIsValid(QPushButton* run) {
  auto* panel = qobject_cast<QGroupBox*>(run->parentWidget());
  if (!panel) return true;
  auto* note = panel->findChild<QLabel*>(panel->objectName() + "Error");
  QString problem;
  // The whole-number fields of the original panels; other panels check
  // their own fields.
  const std::initializer_list<QLineEdit*> counts = {Edit1, Edit2, Edit3, Edit4,
                                                    Edit5, Edit6, Edit7};
  for (QLineEdit* field : panel->findChildren<QLineEdit*>()) {
    if (field->isHidden() || std::find(counts.begin(), counts.end(), field) == counts.end())
      continue;
    // The resampling curves divide by P - 1: they need two draws.
    const int least = field == Edit2 || field == Edit4 ? 2 : 1;
    int value = 0;
    if (!IntegerField(field->text().toStdString(), value)) {
      problem = QString("\"%1\" is not a whole number").arg(field->text().left(20));
    } else if (value < least) {
      problem = QString("at least %1").arg(least);
    }
    if (!problem.isEmpty()) {
      field->setFocus();
      field->selectAll();
      break;
    }
  }
  if (problem.isEmpty()) {
    if (note) note->hide();
    return true;
  }
  if (!note) {
    note = new QLabel(panel);
    note->setObjectName(panel->objectName() + "Error");
    note->setStyleSheet("color: #B00020;");
    if (panel->layout()) panel->layout()->addWidget(note);
  }
  note->setText(problem);
  note->show();
  statusBar()->showMessage("Correct the value in the panel: " + problem);
  return false;
}

void TForm1::UpdateTitle() {
  const DatasetInfo& info = session_->info();
  if (session_->hasData()) {
    setWindowTitle(QString("%1 \u2014 Vireltan")
                       .arg(QFileInfo(QString::fromStdString(info.dataFilePath)).fileName()));
  } else {
    setWindowTitle("Vireltan");
  }
}

void TForm1::About1Click() {
  HideChartsAndPanels();
  StaticText1->setText(QString("Vireltan %1, population genetics of clonal organisms: MLGs, "
                               "clonal diversity and spatial clonal structure")
                           .arg(kVersion));
  StaticText2->setText(QString("Licence: GNU General Public License, version 3 or later (%1); "
                               "see the file LICENSE")
                           .arg(kLicenceSpdx));
  StaticText3->setText(QString("How to cite: ") + kCitation);
  StaticText4->setText("Questions and reports: through the project's issue tracker");
  StaticText5->setText("Help > User guide explains every command and the methods to cite");
  for (QLabel* l : {StaticText1, StaticText2, StaticText3, StaticText4, StaticText5})
    l->setWordWrap(true);
  GroupBox8->setTitle("About Vireltan");
  GroupBox8->show();
  Button8->setEnabled(true);
  Button8->show();
  Refresh();
}

}  // namespace vireltan::app
