#include "app/tform1.h"

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
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <filesystem>

#include "app/chart_drawer.h"

namespace vireltan::app {

namespace {

const char kNotAvailable[] = "not available yet";
const char kCaption[] = "Vireltan 2.0";

// A command that takes the whole number typed in one option field: a text
// that is not an integer stops it before any work.
SessionCommand WithCount(std::string CommandInputs::*field, Status (Session::*command)(int)) {
  return [field, command](Session& s, const CommandInputs& in) {
    int count = 0;
    if (Status read = IntegerField(in.*field, count); !read) return read;
    return (s.*command)(count);
  };
}

AutocorrelationOptions AutocorrelationFrom(const CommandInputs& in) {
  AutocorrelationOptions options;
  options.CheckBox1 = in.CheckBox1;
  options.CheckBox2 = in.CheckBox2;
  options.CheckBox3 = in.CheckBox3;
  options.CheckBox4 = in.CheckBox4;
  options.CheckBox5 = in.CheckBox5;
  options.Edit6 = in.Edit6;
  options.Edit7 = in.Edit7;
  return options;
}

}  // namespace

Status IntegerField(const std::string& text, int& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  while (begin < end && *begin == ' ') ++begin;
  while (end > begin && end[-1] == ' ') --end;
  if (begin < end && *begin == '+') ++begin;
  auto result = std::from_chars(begin, end, value);
  if (begin == end || result.ec != std::errc() || result.ptr != end)
    return Status::Error("'" + text + "' is not a valid integer value");
  return Status::Ok();
}

// ---------------------------------------------------------------------------
// Command wiring: one line per menu item or panel button that runs a session
// command. The command runs on the worker thread with the option fields as
// they were when it started. An entry without a command leaves its menu item
// or button disabled with the tooltip "not available yet"; a menu item that
// opens an option panel is available when its panel's run button is.
// ---------------------------------------------------------------------------
const std::vector<TForm1::Wiring>& TForm1::CommandTable() {
  using In = const CommandInputs&;
  static const std::vector<Wiring> table = {
      // File
      {"Save1", "Save1Click", [](Session& s, In in) { return s.SaveMap(*in.renderer); }},
      {"Saveas1", "Saveas1Click", [](Session& s, In in) { return s.SaveGraph(*in.renderer); }},
      // Tests
      {"Button4", "Button4Click", WithCount(&CommandInputs::Edit4, &Session::ResampleLoci)},
      {"Button2", "Button2Click", WithCount(&CommandInputs::Edit2, &Session::ResampleIndividuals)},
      {"Combination1lloci1", "Combination1lloci1Click",
       [](Session& s, In) { return s.Combination1lloci1Click(); }},
      {"Combination1nindfividuals1", "Combination1nindfividuals1Click",
       [](Session& s, In) { return s.Combination1nindfividuals1Click(); }},
      {"Psex1", "Psex1Click", [](Session& s, In) { return s.Psex1Click(); }},
      {"numberofdistinctalleles1", "numberofdistinctalleles1Click",
       [](Session& s, In) { return s.numberofdistinctalleles1Click(); }},
      {"Matrixofmicrosatellitedistance1", "Matrixofmicrosatellitedistance1Click",
       [](Session& s, In) { return s.Matrixofmicrosatellitedistance1Click(); }},
      // MLG
      {"diversityindices1", "diversityindices1Click",
       [](Session& s, In) { return s.diversityindices1Click(); }},
      {"Pareto1", "Pareto1Click", [](Session& s, In) { return s.Pareto1Click(); }},
      // Spatial components
      {"MLGmap1", "MLGmap1Click", [](Session& s, In) { return s.MlgMap(); }},
      {"Button3", "Button3Click", WithCount(&CommandInputs::Edit3, &Session::ClonalSubrange)},
      {"Button6", "Button6Click", [](Session& s, In) { return s.ClonalSubrangeFixed(); }},
      {"Button11", "Button11Click",
       [](Session& s, In in) { return s.SpatialAutocorrelation(AutocorrelationFrom(in)); }},
      {"Button1", "Button1Click", WithCount(&CommandInputs::Edit1, &Session::AggregationIndex)},
      {"Button7", "Button7Click", WithCount(&CommandInputs::Edit5, &Session::EdgeEffect)},
      // Format
      {"Quorvex1", "Quorvex1Click", [](Session& s, In) { return s.Quorvex1Click(); }},
      {"Arlequin1", "Arlequin1Click", [](Session& s, In) { return s.Arlequin1Click(); }},
  };
  return table;
}

namespace {

// Menu items that open an option panel, and the run buttons of that panel.
struct PanelOpener {
  const char* menuItem;
  std::vector<const char*> runButtons;
};
const std::vector<PanelOpener>& PanelOpeners() {
  static const std::vector<PanelOpener> openers = {
      {"resampling1lloci1", {"Button4"}},          {"resampling1nindividuals1", {"Button2"}},
      {"Clonalsubrange1", {"Button3", "Button6"}}, {"Spatialautocorrelation1", {"Button11"}},
      {"Aggregationindex1", {"Button1"}},          {"Edgeeffect1", {"Button7"}},
  };
  return openers;
}

// What the loaded dataset must allow for each menu item (the menu enabling
// of Open); File and About need nothing.
struct MenuItemRule {
  const char* item;
  CommandGroup group;
};
const std::vector<MenuItemRule>& MenuItemRules() {
  static const std::vector<MenuItemRule> rules = {
      {"resampling1lloci1", CommandGroup::kDataset},
      {"resampling1nindividuals1", CommandGroup::kDataset},
      {"Combination1lloci1", CommandGroup::kDataset},
      {"Combination1nindfividuals1", CommandGroup::kDataset},
      {"Psex1", CommandGroup::kPsex},
      {"numberofdistinctalleles1", CommandGroup::kAllelicMatrix},
      {"Matrixofmicrosatellitedistance1", CommandGroup::kMicrosatMatrix},
      {"diversityindices1", CommandGroup::kMlgMenu},
      {"Pareto1", CommandGroup::kMlgMenu},
      {"MLGmap1", CommandGroup::kSpatialMenu},
      {"Clonalsubrange1", CommandGroup::kSpatialMenu},
      {"Spatialautocorrelation1", CommandGroup::kSpatialMenu},
      {"Aggregationindex1", CommandGroup::kSpatialMenu},
      {"Edgeeffect1", CommandGroup::kSpatialMenu},
      {"Quorvex1", CommandGroup::kDataset},
      {"Arlequin1", CommandGroup::kDataset},
  };
  return rules;
}

}  // namespace

// The window's own way of showing a message: a modal box with the exact text.
class TForm1::BoxMessageSink : public MessageSink {
 public:
  explicit BoxMessageSink(QWidget* parent) : parent_(parent) {}
  void Show(const std::string& text) override {
    // The busy cursor would hide that the box waits for the user.
    bool busyCursor = QApplication::overrideCursor() != nullptr;
    if (busyCursor) QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(text.rfind("!!", 0) == 0 ? QMessageBox::Warning : QMessageBox::Information,
                    kCaption, QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
    if (busyCursor) QApplication::restoreOverrideCursor();
  }

 private:
  QWidget* parent_;
};

TForm1::TForm1(MessageSink* messages, QWidget* parent) : QMainWindow(parent) {
  setObjectName("Form1");
  setWindowTitle(kCaption);
  setAcceptDrops(true);
  resize(1400, 860);

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
                                       [this](int percent) { ProgressBar1->setValue(percent); },
                                       [this] { ProgressBar1->setValue(100); }});
  renderer_ = std::make_unique<GuiChartRenderer>(this);
  session_ = std::make_unique<Session>(*messages_, *progress_);
  runner_ = new CommandRunner(this);

  BuildMenus();
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName("MainSplitter");
  setCentralWidget(splitter);
  PageControl1 = new QTabWidget(splitter);
  PageControl1->setObjectName("PageControl1");
  BuildPages();
  sidePane_ = new QWidget(splitter);
  sidePane_->setObjectName("SidePane");
  auto* side = new QVBoxLayout(sidePane_);
  side->setContentsMargins(4, 0, 0, 0);
  auto* panels = new QWidget(sidePane_);
  panels->setObjectName("Panels");
  side->addWidget(panels);
  BuildPanels(panels);
  chartArea_ = new QWidget(sidePane_);
  chartArea_->setObjectName("ChartArea");
  side->addWidget(chartArea_, 1);
  BuildCharts(chartArea_);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  splitter->setSizes({560, 840});
  statusBar()->showMessage("Choose File > Open to load a dataset.");

  ConnectWiring();
  FormCreate();
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
  action(File1, Save1, "Save1", "Save map");
  action(File1, Saveas1, "Saveas1", "Save Graph");
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

  About1 = menuBar()->addAction("About");
  About1->setObjectName("About1");

  connect(Open1, &QAction::triggered, this, [this] { Open1Click(); });
  connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });
  connect(Saveas1, &QAction::triggered, this, [this] { Saveas1Click(); });
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
}

void TForm1::BuildPanels(QWidget* host) {
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  auto group = [&](QGroupBox*& member, const char* name, const char* caption) {
    member = new QGroupBox(caption, host);
    member->setObjectName(name);
    member->hide();
    layout->addWidget(member);
    return member;
  };
  auto button = [](QPushButton*& member, const char* name, const char* caption, QWidget* parent) {
    member = new QPushButton(caption, parent);
    member->setObjectName(name);
    return member;
  };
  auto edit = [](QLineEdit*& member, const char* name, const char* text, QWidget* parent) {
    member = new QLineEdit(text, parent);
    member->setObjectName(name);
    member->setMaximumWidth(120);
    return member;
  };
  // A panel holding one number field and its "run" button.
  auto numberPanel = [&](QGroupBox*& box, const char* boxName, const char* caption,
                         QLineEdit*& field, const char* fieldName, const char* fieldCaption,
                         const char* text, QPushButton*& run, const char* runName) {
    group(box, boxName, caption);
    auto* row = new QHBoxLayout(box);
    auto* label = new QLabel(fieldCaption, box);
    label->setObjectName(QString(fieldName) + "Caption");
    row->addWidget(label);
    row->addWidget(edit(field, fieldName, text, box));
    row->addWidget(button(run, runName, "run", box));
    row->addStretch(1);
  };

  group(GroupBox1, "GroupBox1", "In Progress");
  {
    auto* row = new QHBoxLayout(GroupBox1);
    ProgressBar1 = new QProgressBar(GroupBox1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    row->addWidget(ProgressBar1, 1);
    row->addWidget(button(CancelButton, "CancelButton", "Cancel", GroupBox1));
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
  }
  numberPanel(GroupBox2, "GroupBox2", "Permutations", Edit1, "Edit1", "N. permutations", "1000",
              Button1, "Button1");
  numberPanel(GroupBox3, "GroupBox3", "Permutations", Edit2, "Edit2", "N. permutations", "1000",
              Button2, "Button2");
  numberPanel(GroupBox4, "GroupBox4", "Number of distance classes", Edit3, "Edit3",
              "N. distance classes", "6", Button3, "Button3");
  numberPanel(GroupBox5, "GroupBox5", "Permutations", Edit4, "Edit4", "N. permutations", "1000",
              Button4, "Button4");
  group(GroupBox6, "GroupBox6", "distance classes");
  {
    auto* row = new QHBoxLayout(GroupBox6);
    row->addWidget(button(Button5, "Button5", "Number of distance classes", GroupBox6));
    row->addWidget(button(Button6, "Button6", "Fixed distance classses", GroupBox6));
    row->addStretch(1);
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  }
  numberPanel(GroupBox7, "GroupBox7", "Edge effect Permutations", Edit5, "Edit5", "N. permutations",
              "1000", Button7, "Button7");

  group(GroupBox8, kCaption, kCaption);
  GroupBox8->setObjectName("GroupBox8");
  {
    auto* column = new QVBoxLayout(GroupBox8);
    const char* lines[] = {
        "Vireltan 2.0, a computer program to analyse genotypic data,",
        "test for clonality and describe spatial clonal organisation", "The Vireltan developers",
        "Questions and reports: through the project's issue tracker",
        "Home page: the project's repository, where the README explains every command"};
    QLabel** members[] = {&StaticText1, &StaticText2, &StaticText3, &StaticText4, &StaticText5};
    for (int i = 0; i < 5; ++i) {
      *members[i] = new QLabel(lines[i], GroupBox8);
      (*members[i])->setObjectName(QString("StaticText%1").arg(i + 1));
      (*members[i])->setAlignment(Qt::AlignCenter);
      column->addWidget(*members[i]);
    }
    column->addWidget(button(Button8, "Button8", "OK", GroupBox8), 0, Qt::AlignCenter);
    connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  }

  group(GroupBox9, "GroupBox9", "Autocorrelation");
  {
    auto* column = new QVBoxLayout(GroupBox9);
    auto box = [&](QCheckBox*& member, const char* name, const char* caption) {
      member = new QCheckBox(caption, GroupBox9);
      member->setObjectName(name);
      column->addWidget(member);
    };
    box(CheckBox1, "CheckBox1", "number of distance classes");
    box(CheckBox2, "CheckBox2", "Fixed distance classes");
    box(CheckBox3, "CheckBox3", "Central coordinates");
    box(CheckBox4, "CheckBox4", "genets weighted");
    box(CheckBox5, "CheckBox5", "genets with resampling");
    column->addWidget(button(Button9, "Button9", "run", GroupBox9), 0, Qt::AlignLeft);
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
    connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
    connect(CheckBox4, &QCheckBox::clicked, this, [this] { CheckBox4Click(); });
    connect(CheckBox5, &QCheckBox::clicked, this, [this] { CheckBox5Click(); });
    connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  }
  group(GroupBox10, "GroupBox10", "Autocorrelation");
  {
    auto* form = new QFormLayout(GroupBox10);
    Label4 = new QLabel("N. distance classes", GroupBox10);
    Label4->setObjectName("Label4");
    Label5 = new QLabel("N. permutations", GroupBox10);
    Label5->setObjectName("Label5");
    form->addRow(Label4, edit(Edit6, "Edit6", "10", GroupBox10));
    form->addRow(Label5, edit(Edit7, "Edit7", "1000", GroupBox10));
    form->addRow(button(Button11, "Button11", "run", GroupBox10));
  }
  layout->addStretch(0);
}

void TForm1::BuildPages() {
  auto grid = [this](QTableView*& member, const char* name, QWidget* parent) {
    member = new QTableView(parent);
    member->setObjectName(name);
    member->setAlternatingRowColors(true);
    member->horizontalHeader()->setDefaultSectionSize(80);
    member->verticalHeader()->setDefaultSectionSize(22);
    return member;
  };
  usersModel_ = new SheetModel(this);
  grid(userswindow, "userswindow", PageControl1)->setModel(usersModel_);
  PageControl1->addTab(userswindow, "dataset");
  resultsModel_ = new SheetModel(this);
  grid(results, "results", PageControl1)->setModel(resultsModel_);
  PageControl1->addTab(results, "results");
  autocorr = new QTabWidget(PageControl1);
  autocorr->setObjectName("autocorr");
  autocorr->setTabPosition(QTabWidget::South);
  PageControl1->addTab(autocorr, "spatial components");
  PageControl1->setTabToolTip(2, "the sheets of the spatial results workbook");

  // The scratch books: present, hidden, empty.
  QTableView** scratch[] = {&data, &rob, &freq, &resperm, &combi, &combi2};
  const char* names[] = {"data", "rob", "freq", "resperm", "combi", "combi2"};
  for (int i = 0; i < 6; ++i) grid(*scratch[i], names[i], this)->hide();

  OpenDialog1 = new QFileDialog(this, "Open");
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

void TForm1::BuildCharts(QWidget* host) {
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  QChartView** views[] = {&Chart1, &Chart2, &Chart3, &Chart4, &Chart5};
  for (int i = 0; i < 5; ++i) {
    auto* view = new QChartView(new QChart, host);
    view->setObjectName(QString("Chart%1").arg(i + 1));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(380);
    view->hide();
    ShowChart(*view, session_->charts[i]);
    layout->addWidget(view, 1);
    *views[i] = view;
    if (i == 1) {
      Label1 = new QLabel("equation de la droite", host);
      Label1->setObjectName("Label1");
      Label1->hide();
      layout->addWidget(Label1);
    }
  }
  Series1 = FindSeries(*Chart1->chart(), "Series1");
  Series2 = FindSeries(*Chart2->chart(), "Series2");
  Series3 = FindSeries(*Chart2->chart(), "Series3");
  Series4 = FindSeries(*Chart3->chart(), "Series4");
  Series5 = FindSeries(*Chart3->chart(), "Series5");
  Series6 = FindSeries(*Chart4->chart(), "Series6");
  Series7 = FindSeries(*Chart5->chart(), "Series7");
}

const TForm1::Wiring* TForm1::FindWiring(const std::string& component) const {
  for (const Wiring& w : CommandTable())
    if (component == w.component) return &w;
  return nullptr;
}

bool TForm1::IsWired(const std::string& component) const {
  const Wiring* w = FindWiring(component);
  return w && w->command;
}

void TForm1::ConnectWiring() {
  for (const Wiring& w : CommandTable()) {
    const QString name = w.component;
    if (auto* button = findChild<QPushButton*>(name)) {
      // A run button hides its panel (and, for the autocorrelation, the
      // options panel before it), then runs.
      connect(button, &QPushButton::clicked, this, [this, button, name] {
        if (busy()) return;
        button->setEnabled(false);
        if (auto* panel = qobject_cast<QGroupBox*>(button->parentWidget())) panel->hide();
        std::function<void(const Status&)> after;
        if (button == Button11) {
          GroupBox9->hide();
          // A run, finished or not, ends the choice of options: a new run
          // starts from the menu command.
          after = [this](const Status&) {
            for (QCheckBox* c : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5})
              c->setChecked(false);
            GroupBox10->hide();
            Button11->setEnabled(false);
          };
        }
        UpdateSidePane();
        RunWired(name.toStdString(), std::move(after));
      });
      if (!w.command) button->setToolTip(kNotAvailable);
    } else if (auto* item = findChild<QAction*>(name)) {
      // The File commands have handlers of their own.
      if (item != Save1 && item != Saveas1)
        connect(item, &QAction::triggered, this,
                [this, name] { RunMenuCommand(name.toStdString()); });
    }
  }
  for (const PanelOpener& opener : PanelOpeners()) {
    bool available = false;
    for (const char* run : opener.runButtons) available = available || IsWired(run);
    if (!available) findChild<QAction*>(opener.menuItem)->setToolTip(kNotAvailable);
  }
  for (const MenuItemRule& rule : MenuItemRules()) {
    auto* item = findChild<QAction*>(rule.item);
    if (FindWiring(rule.item) && !IsWired(rule.item)) item->setToolTip(kNotAvailable);
  }
}

// ---------------------------------------------------------------------------
// Running commands
// ---------------------------------------------------------------------------

CommandInputs TForm1::CollectInputs() {
  CommandInputs in;
  in.Edit1 = Edit1->text().toStdString();
  in.Edit2 = Edit2->text().toStdString();
  in.Edit3 = Edit3->text().toStdString();
  in.Edit4 = Edit4->text().toStdString();
  in.Edit5 = Edit5->text().toStdString();
  in.Edit6 = Edit6->text().toStdString();
  in.Edit7 = Edit7->text().toStdString();
  in.CheckBox1 = CheckBox1->isChecked();
  in.CheckBox2 = CheckBox2->isChecked();
  in.CheckBox3 = CheckBox3->isChecked();
  in.CheckBox4 = CheckBox4->isChecked();
  in.CheckBox5 = CheckBox5->isChecked();
  in.renderer = renderer_.get();
  return in;
}

void TForm1::RunWired(const std::string& component, std::function<void(const Status&)> after) {
  const Wiring* w = FindWiring(component);
  if (!w || !w->command) return;
  CommandInputs inputs = CollectInputs();
  SessionCommand command = w->command;
  Run(
      QString::fromUtf8(w->handler), [command, inputs](Session& s) { return command(s, inputs); },
      std::move(after));
}

void TForm1::RunMenuCommand(const std::string& component) {
  if (busy()) return;
  HidePanels();
  GroupBox8->hide();
  RunWired(component);
}

void TForm1::Run(const QString& what, std::function<Status(Session&)> job,
                 std::function<void(const Status&)> after) {
  if (busy()) return;
  progress_->ResetCancel();
  SetBusy(true);
  statusBar()->showMessage(what + "...");
  // A command that takes a while shows the progress panel (and its Cancel
  // button) even when it reports no progress of its own.
  QTimer::singleShot(400, this, [this] {
    if (busy() && GroupBox1->isHidden()) {
      ProgressBar1->setRange(0, 0);
      GroupBox1->show();
      UpdateSidePane();
    }
  });
  Session* session = session_.get();
  runner_->Start([session, job] { return session->Report(job(*session)); },
                 [this, what, after](const Status& status) {
                   GroupBox1->hide();
                   SetBusy(false);
                   if (status.cancelled()) {
                     statusBar()->showMessage("cancelled");
                   } else if (!status.ok()) {
                     statusBar()->showMessage(what + " failed");
                   } else {
                     statusBar()->clearMessage();
                   }
                   if (after) after(status);
                   Refresh();
                   if (closeAfterRun_) {
                     closeAfterRun_ = false;
                     close();
                   }
                 });
}

void TForm1::SetBusy(bool busy) {
  menuBar()->setEnabled(!busy);
  PageControl1->tabBar()->setEnabled(!busy);
  for (QGroupBox* panel : {GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6, GroupBox7,
                           GroupBox8, GroupBox9, GroupBox10})
    panel->setEnabled(!busy);
  CancelButton->setEnabled(busy);
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void TForm1::CancelButtonClick() {
  if (!busy()) return;
  progress_->RequestCancel();
  CancelButton->setEnabled(false);
  statusBar()->showMessage("cancelling...");
}

// ---------------------------------------------------------------------------
// File commands
// ---------------------------------------------------------------------------

void TForm1::FormCreate() {
  session_->DatasetLoaded = false;
  {
    QSignalBlocker block(PageControl1);
    PageControl1->setCurrentIndex(0);
  }
  currentPage_ = 0;
  Refresh();
}

bool TForm1::PageControl1Changing(int /*newIndex*/) {
  if (session_->DatasetLoaded) return true;
  messages_->Show("You must load the file first");
  return false;
}

void TForm1::ResetBeforeOpen() {
  HidePanels();
  GroupBox8->hide();
  for (QPushButton* b : {Button1, Button2, Button3, Button4, Button5, Button6, Button7})
    b->setEnabled(false);
  for (QCheckBox* c : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) c->setChecked(false);
  Label1->setText("equation de la droite");
  session_->ResetForOpen();
  // The charts of the clonal subrange and the autocorrelation belong to the
  // previous dataset too.
  session_->HideCharts();
  Refresh();
}

void TForm1::Open1Click() {
  if (busy()) return;
  ResetBeforeOpen();
  if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
  OpenFile(OpenDialog1->selectedFiles().constFirst());
}

void TForm1::OpenPath(const QString& path) {
  if (busy()) return;
  ResetBeforeOpen();
  OpenFile(path);
}

void TForm1::OpenFile(const QString& path) {
  Edit1->setText("1000");
  Edit2->setText("1000");
  Edit3->setText("6");
  const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
  OpenDialog1->setDirectory(QFileInfo(path).absolutePath());
  Run(
      "Open", [file](Session& s) { return s.Open(file); },
      [this](const Status& status) {
        if (!status.ok()) return;
        const Session& s = *session_;
        statusBar()->showMessage(QString("%1: %2 sampling units, %3 loci, %4 MLGs")
                                     .arg(QString::fromStdString(s.DatasetName))
                                     .arg(s.SampleCount)
                                     .arg(s.LocusCount)
                                     .arg(s.MlgCount));
      });
}

void TForm1::Close1Click() {
  Run(
      "Close", [](Session& s) { return s.Close(); },
      [this](const Status&) {
        HidePanels();
        session_->HideCharts();
        Label1->hide();
        Label1->setText("equation de la droite");
      });
}

void TForm1::Quit1Click() {
  if (busy()) return;
  Run(
      "Quit", [](Session& s) { return s.Quit(); },
      [this](const Status&) {
        quitting_ = true;
        QTimer::singleShot(0, this, [this] { close(); });
      });
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (busy()) {
    // Closing waits for the running command, which is asked to stop.
    closeAfterRun_ = true;
    CancelButtonClick();
    event->ignore();
    return;
  }
  if (!quitting_) {
    // Closing the window quits as File > Quit does: the log is rewritten.
    quitting_ = true;
    session_->Report(session_->Quit());
  }
  event->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (!busy() && mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().first().isLocalFile())
    event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  OpenPath(urls.first().toLocalFile());
}

void TForm1::About1Click() {
  HideChartsAndPanels();
  GroupBox8->show();
  Button8->setEnabled(true);
  Button8->show();
  Refresh();
}

void TForm1::Button8Click() {
  Button8->setEnabled(false);
  GroupBox8->hide();
  UpdateSidePane();
}

// ---------------------------------------------------------------------------
// Option panels
// ---------------------------------------------------------------------------

void TForm1::HidePanels() {
  for (QGroupBox* panel :
       {GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6, GroupBox7, GroupBox9, GroupBox10})
    panel->hide();
  UpdateSidePane();
}

void TForm1::HideChartsAndPanels() {
  HidePanels();
  GroupBox8->hide();
  Label1->hide();
  session_->HideCharts();
}

void TForm1::ShowPanel(QGroupBox* panel, std::initializer_list<QWidget*> enabled) {
  for (QWidget* w : enabled) {
    w->show();
    // A run button whose command is not built yet stays disabled.
    auto* button = qobject_cast<QPushButton*>(w);
    bool wired = !button || !FindWiring(w->objectName().toStdString()) ||
                 IsWired(w->objectName().toStdString());
    w->setEnabled(wired);
  }
  panel->show();
  Refresh();
}

void TForm1::resampling1lloci1Click() {
  HideChartsAndPanels();
  Edit4->setText("1000");
  ShowPanel(GroupBox5, {Edit4, Button4});
}

void TForm1::resampling1nindividuals1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox3, {Edit2, Button2});
}

void TForm1::Aggregationindex1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox2, {Edit1, Button1});
}

void TForm1::Edgeeffect1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox7, {Edit5, Button7});
}

void TForm1::Clonalsubrange1Click() {
  HideChartsAndPanels();
  ShowPanel(GroupBox6, {Button5, Button6});
}

void TForm1::Button5Click() {
  GroupBox6->hide();
  ShowPanel(GroupBox4, {Edit3, Button3});
}

void TForm1::Spatialautocorrelation1Click() {
  HideChartsAndPanels();
  for (QCheckBox* c : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5}) {
    c->setChecked(false);
    c->setEnabled(true);
    c->show();
  }
  GroupBox10->hide();
  Label4->show();
  Label5->show();
  ShowPanel(GroupBox9, {Button9});
}

// Each box, ticked or unticked, rules out its alternatives until the menu
// command is chosen again.
void TForm1::CheckBox1Click() {
  CheckBox2->setEnabled(false);
}
void TForm1::CheckBox2Click() {
  CheckBox1->setEnabled(false);
}
void TForm1::CheckBox3Click() {
  CheckBox4->setEnabled(false);
  CheckBox5->setEnabled(false);
}
void TForm1::CheckBox4Click() {
  CheckBox3->setEnabled(false);
  CheckBox5->setEnabled(false);
}
void TForm1::CheckBox5Click() {
  CheckBox3->setEnabled(false);
  CheckBox4->setEnabled(false);
}

void TForm1::Button9Click() {
  CommandInputs in = CollectInputs();
  // The session checks the ticks and shows its messages; the panels follow.
  AutocorrelationValidation v = session_->CheckAutocorrelationOptions(AutocorrelationFrom(in));
  if (v.showSecondPanel) {
    Edit6->setVisible(v.showClassCount);
    Label4->setVisible(v.showClassCount);
    Label5->show();
    if (v.showClassCount) {
      ShowPanel(GroupBox10, {Button11, Edit7, Edit6});
    } else {
      ShowPanel(GroupBox10, {Button11, Edit7});
    }
  }
  if (v.closeFirstPanel) {
    GroupBox9->hide();
    UpdateSidePane();
  }
}

// ---------------------------------------------------------------------------
// Views
// ---------------------------------------------------------------------------

std::vector<std::pair<const char*, ChartData*>> TForm1::ExtraCharts() {
  // Charts that analyses add to the session beyond Chart1..Chart5: the
  // clonal subrange and the correlogram of the autocorrelation, each shown
  // by a view named after its session member.
  return {{"subrangeChart", &session_->subrangeChart},
          {"correlogramChart", &session_->correlogramChart}};
}

void TForm1::Refresh() {
  RefreshSheets();
  RefreshCharts();
  RefreshMenus();
  UpdateSidePane();
}

namespace {
// Columns as wide as what they show (judged on the first rows, so that a
// long results sheet stays quick), within readable bounds.
void FitColumns(QTableView* view) {
  view->horizontalHeader()->setResizeContentsPrecision(200);
  view->resizeColumnsToContents();
  for (int c = 0; c < view->model()->columnCount(); ++c)
    view->setColumnWidth(c, std::clamp(view->columnWidth(c), 40, 260));
}
}  // namespace

void TForm1::RefreshSheets() {
  usersModel_->SetSheet(session_->userswindow.first());
  resultsModel_->SetSheet(session_->results.first());
  FitColumns(results);
  // The spatial workbook: one grid per sheet, once a sheet holds something.
  const Book& book = session_->autocorr;
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
      autocorr->addTab(view, "");
      autocorrViews_.push_back(view);
    }
    QTableView* view = autocorrViews_[i - 1];
    static_cast<SheetModel*>(view->model())->SetSheet(book.sheet(i));
    FitColumns(view);
    autocorr->setTabText(autocorr->indexOf(view), QString::fromStdString(book.SheetName(i)));
  }
}

void TForm1::RefreshCharts() {
  QChartView* views[] = {Chart1, Chart2, Chart3, Chart4, Chart5};
  for (int i = 0; i < 5; ++i) {
    const ChartData& chart = session_->charts[i];
    ShowChart(*views[i], chart);
    views[i]->setVisible(chart.visible);
  }
  Series1 = FindSeries(*Chart1->chart(), "Series1");
  Series2 = FindSeries(*Chart2->chart(), "Series2");
  Series3 = FindSeries(*Chart2->chart(), "Series3");
  Series4 = FindSeries(*Chart3->chart(), "Series4");
  Series5 = FindSeries(*Chart3->chart(), "Series5");
  Series6 = FindSeries(*Chart4->chart(), "Series6");
  Series7 = FindSeries(*Chart5->chart(), "Series7");
  if (!Chart2->isVisible()) Label1->hide();

  std::vector<std::pair<const char*, ChartData*>> extras = ExtraCharts();
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
}

void TForm1::RefreshMenus() {
  const CommandAvailability& allowed = session_->availability();
  // Menus: the MLG menu needs complete genotypes, the spatial menu
  // coordinates; the others need a dataset in their items.
  auto enableMenu = [](QMenu* menu, bool on) {
    menu->setEnabled(on);
    menu->menuAction()->setEnabled(on);
  };
  enableMenu(MLG1, allowed.mlgMenu);
  enableMenu(Spatialcomponents2, allowed.spatialMenu);
  for (const MenuItemRule& rule : MenuItemRules()) {
    auto* item = findChild<QAction*>(rule.item);
    bool available = false;
    if (FindWiring(rule.item)) {
      available = IsWired(rule.item);
    } else {
      for (const PanelOpener& opener : PanelOpeners())
        if (std::string(opener.menuItem) == rule.item)
          for (const char* run : opener.runButtons) available = available || IsWired(run);
    }
    item->setEnabled(available && allowed.allows(rule.group));
  }
}

void TForm1::UpdateSidePane() {
  bool shown = false;
  for (QWidget* w : std::initializer_list<QWidget*>{
           GroupBox1, GroupBox2, GroupBox3, GroupBox4, GroupBox5, GroupBox6, GroupBox7, GroupBox8,
           GroupBox9, GroupBox10, Chart1, Chart2, Chart3, Chart4, Chart5})
    shown = shown || !w->isHidden();
  for (auto& [name, view] : extraChartViews_) shown = shown || !view->isHidden();
  sidePane_->setVisible(shown);
}

}  // namespace vireltan::app
