// SPDX-License-Identifier: GPL-3.0-or-later
// Populations > Genetic diversity, F-statistics, Pairwise Fst,
// Hardy–Weinberg and AMOVA: their menu items, their option panels (which
// units are counted, the order of the populations and one number each; the
// AMOVA's hierarchy, levels, missing data and scale besides) and the
// zoomable view of the pairwise Fst heat map beside the pages.
#include <QtWidgets/QButtonGroup>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>
#include <map>

#include "app/svg_canvas.h"
#include "app/tform1_internal.h"
#include "charts/heat_map_chart.h"

namespace vireltan::app {

namespace {

constexpr char kNeedsLineages[] =
    "Needs lineages: group the MLGs first with MLG > Multilocus lineages";
constexpr char kNeedsTwoPopulations[] =
    "Needs two populations or more: load a populations file with File > Load populations";
constexpr char kClonesAndHardyWeinberg[] =
    "Copies of one clone share one genotype: counted as many times as they were sampled, they "
    "alone make a population depart from Hardy–Weinberg proportions. One unit per MLG (or per "
    "lineage) tests the genets.";
constexpr char kNeedsDiploids[] =
    "Needs diploid data: the units of haploid data have one allele set each";
// The hierarchy of the population level alone, and the separator of the
// levels of a longer one (top first).
constexpr char kPopulationLevel[] = "Populations";
constexpr char kLevelSeparator[] = " / ";

// One panel: its components' names start with `prefix`; its number field
// says `numberCaption` and holds `value` within [minimum, maximum], the
// minimum shown as `special` when given; `extraRows`, when given, adds the
// options of its own under the units counted.
struct PopgenPanelDesign {
  const char* prefix;
  const char* title;
  const char* numberCaption;
  const char* numberName;
  int minimum, maximum, value;
  const char* special;
  const char* numberTip;
  CloneCorrection units;  // chosen when the panel is first shown
  const char* help;       // a line under the options, or nullptr
  void (*extraRows)(QGroupBox& panel, QFormLayout& form);
};

// The AMOVA's own options: the hierarchy, the within-individual level, the
// missing-data rule and the scale of the sums of squares.
void AddAmovaRows(QGroupBox& panel, QFormLayout& form) {
  auto* hierarchy = new QComboBox(&panel);
  hierarchy->setObjectName("AmovaHierarchyCombo");
  hierarchy->addItem(kPopulationLevel);
  hierarchy->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* hierarchyCaption = new QLabel("Hi&erarchy", &panel);
  hierarchyCaption->setObjectName("AmovaHierarchyComboCaption");
  hierarchyCaption->setBuddy(hierarchy);
  form.addRow(hierarchyCaption, hierarchy);

  auto* within =
      new QCheckBox("Split each unit into its two allele sets (&within-individual level)", &panel);
  within->setObjectName("AmovaWithinCheck");
  within->setChecked(true);
  form.addRow("", within);

  auto* missing = new QSpinBox(&panel);
  missing->setObjectName("AmovaMissingSpin");
  missing->setRange(0, 100);
  missing->setValue(5);
  missing->setToolTip(
      "Loci missing in more than this share of the units counted are left out, then the units "
      "still missing a locus kept (default 5 %)");
  auto* missingCaption = new QLabel("Missing &data: leave out loci missing in more than", &panel);
  missingCaption->setObjectName("AmovaMissingSpinCaption");
  missingCaption->setBuddy(missing);
  auto* missingRow = new QHBoxLayout;
  missingRow->addWidget(missingCaption);
  missingRow->addWidget(missing);
  missingRow->addWidget(new QLabel("% of units", &panel));
  missingRow->addStretch(1);
  form.addRow(missingRow);

  auto* scale = new QVBoxLayout;
  auto* group = new QButtonGroup(&panel);
  auto* poppr = new QRadioButton("&poppr's", &panel);
  poppr->setObjectName("AmovaScalePoppr");
  poppr->setChecked(true);
  poppr->setToolTip("Between two allele sets, twice the number of loci where they differ");
  auto* arlequin = new QRadioButton(
      "Arle&quin's and GenAlEx's (half the sums of squares and \u03c3\u00b2)", &panel);
  arlequin->setObjectName("AmovaScaleArlequin");
  arlequin->setToolTip(
      "Between two allele sets, the number of loci where they differ: half poppr's sums of "
      "squares, mean squares and \u03c3\u00b2 (\u03a6 is the same)");
  for (QRadioButton* choice : {poppr, arlequin}) {
    group->addButton(choice);
    scale->addWidget(choice);
  }
  form.addRow("Scale", scale);
}

const PopgenPanelDesign kPanels[] = {
    {"Diversity", "Genetic diversity", "Rar&efy allelic richness to", "DiversityRarefySpin", 0,
     100000, 0, "smallest sample",
     "Allelic richness is counted in samples of this many gene copies per population and locus; "
     "the smallest sample: the fewest gene copies typed in any population at that locus",
     CloneCorrection::kNone, nullptr, nullptr},
    {"Fstats", "F-statistics (Weir and Cockerham)", "&Bootstrap resamplings of loci",
     "FstatsBootstrapSpin", 0, 100000, 1000, "none (no interval)",
     "Loci drawn with replacement this many times for the 95% interval of each F-statistic "
     "(default 1000)",
     CloneCorrection::kNone, nullptr, nullptr},
    {"PairwiseFst", "Pairwise Fst", "P&ermutations", "PairwiseFstPermutationsSpin", 0, 100000, 999,
     "none (no test)",
     "Units permuted between the two populations of each pair this many times to test Fst > 0 "
     "(default 999)",
     CloneCorrection::kNone, nullptr, nullptr},
    {"Hwe", "Hardy–Weinberg", "P&ermutations for the exact test", "HwePermutationsSpin", 1, 100000,
     999, nullptr,
     "Genotypes drawn this many times for the Monte-Carlo exact test of each population and "
     "locus (default 999)",
     CloneCorrection::kMlg, kClonesAndHardyWeinberg, nullptr},
    {"Amova", "AMOVA (analysis of molecular variance)", "Permutat&ions", "AmovaPermutationsSpin", 0,
     100000, 999, "none (no test)",
     "Units or groups permuted this many times to test each variance component (default 999)",
     CloneCorrection::kNone, nullptr, AddAmovaRows},
};

// The hierarchies the strata columns allow, top first: two and three
// levels, each level nesting in the one above (every group of it lies in a
// single group of the level above).
QStringList Hierarchies(const Dataset& d) {
  const int columns = static_cast<int>(d.strataNames.size());
  auto nests = [&d](int lower, int upper) {
    std::map<std::string, const std::string*> above;
    for (int su = 0; su < d.sampleCount; ++su) {
      auto [it, added] = above.emplace(d.strataOfSu[lower][su], &d.strataOfSu[upper][su]);
      if (!added && *it->second != d.strataOfSu[upper][su]) return false;
    }
    return true;
  };
  auto name = [&d](int column) { return QString::fromStdString(d.strataNames[column]); };
  QStringList two, three;
  for (int top = 0; top < columns; ++top)
    for (int middle = 0; middle < columns; ++middle) {
      if (middle == top || !nests(middle, top)) continue;
      two << name(top) + kLevelSeparator + name(middle);
      for (int bottom = 0; bottom < columns; ++bottom)
        if (bottom != top && bottom != middle && nests(bottom, middle))
          three << name(top) + kLevelSeparator + name(middle) + kLevelSeparator + name(bottom);
    }
  return two + three;
}

std::string Field(const CommandInputs& in, const std::string& name) {
  auto it = in.fields.find(name);
  return it == in.fields.end() ? std::string() : it->second;
}

// The units counted and the order of the populations chosen on the panel
// of `prefix`, with its number field read into `number`.
Status RequestFrom(const CommandInputs& in, const std::string& prefix, const char* numberName,
                   Session::PopgenRequest& request, int& number) {
  request.cloneCorrect = !Field(in, prefix + "UnitsMll").empty()   ? CloneCorrection::kMll
                         : !Field(in, prefix + "UnitsMlg").empty() ? CloneCorrection::kMlg
                                                                   : CloneCorrection::kNone;
  request.sortPopulations = !Field(in, prefix + "SortCheck").empty();
  return IntegerField(Field(in, numberName), number);
}

}  // namespace

Status GeneticDiversityFrom(Session& session, const CommandInputs& in) {
  Session::PopgenRequest request;
  if (Status read =
          RequestFrom(in, "Diversity", "DiversityRarefySpin", request, request.rarefyAlleles);
      !read)
    return read;
  return session.GeneticDiversity(request);
}

Status FStatisticsFrom(Session& session, const CommandInputs& in) {
  Session::PopgenRequest request;
  if (Status read = RequestFrom(in, "Fstats", "FstatsBootstrapSpin", request, request.bootstraps);
      !read)
    return read;
  return session.FStatistics(request);
}

Status PairwiseFstFrom(Session& session, const CommandInputs& in) {
  Session::PopgenRequest request;
  if (Status read = RequestFrom(in, "PairwiseFst", "PairwiseFstPermutationsSpin", request,
                                request.permutations);
      !read)
    return read;
  return session.PairwiseFst(request);
}

Status HardyWeinbergFrom(Session& session, const CommandInputs& in) {
  Session::PopgenRequest request;
  if (Status read = RequestFrom(in, "Hwe", "HwePermutationsSpin", request, request.permutations);
      !read)
    return read;
  return session.HardyWeinberg(request);
}

Status AmovaFrom(Session& session, const CommandInputs& in) {
  Session::PopgenRequest units;
  Session::AmovaRequest request;
  if (Status read = RequestFrom(in, "Amova", "AmovaPermutationsSpin", units, request.permutations);
      !read)
    return read;
  request.cloneCorrect = units.cloneCorrect;
  request.sortPopulations = units.sortPopulations;
  const std::string hierarchy = Field(in, "AmovaHierarchyCombo");
  if (hierarchy != kPopulationLevel) {
    const std::string separator = kLevelSeparator;
    std::size_t start = 0;
    for (std::size_t end; (end = hierarchy.find(separator, start)) != std::string::npos;
         start = end + separator.size())
      request.hierarchy.push_back(hierarchy.substr(start, end - start));
    request.hierarchy.push_back(hierarchy.substr(start));
  }
  request.within = !Field(in, "AmovaWithinCheck").empty();
  int percent = 0;
  if (Status read = IntegerField(Field(in, "AmovaMissingSpin"), percent); !read) return read;
  request.maxMissing = percent / 100.0;
  request.arlequinScale = !Field(in, "AmovaScaleArlequin").empty();
  return session.Amova(request);
}

void TForm1::BuildPopgenMenu() {
  Populations1 = menuBar()->addMenu("Pop&ulations");
  Populations1->setObjectName("Populations1");
  Populations1->menuAction()->setObjectName("Populations1Action");
  Populations1->setToolTipsVisible(true);
  auto action = [this](QAction*& member, const char* name, const char* caption) {
    member = Populations1->addAction(caption);
    member->setObjectName(name);
  };
  action(Geneticdiversity1, "Geneticdiversity1", "&Genetic diversity\u2026");
  action(Fstatistics1, "Fstatistics1", "&F-statistics\u2026");
  action(PairwiseFst1, "PairwiseFst1", "&Pairwise Fst\u2026");
  action(HardyWeinberg1, "HardyWeinberg1", "&Hardy\u2013Weinberg\u2026");
  action(Amova1, "Amova1", "&AMOVA\u2026");
}

void TForm1::BuildPopgenPanels(QVBoxLayout& layout) {
  QAction* items[] = {Geneticdiversity1, Fstatistics1, PairwiseFst1, HardyWeinberg1, Amova1};
  int k = 0;
  for (const PopgenPanelDesign& design : kPanels) {
    const QString prefix = design.prefix;
    QGroupBox* panel = nullptr;
    AddPanel(layout, panel, (prefix + "Panel").toUtf8().constData(), design.title);
    auto* form = new QFormLayout(panel);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);

    // Which units are counted: every unit, or one per MLG or per lineage
    // within each population.
    auto* units = new QHBoxLayout;
    auto* group = new QButtonGroup(panel);
    const std::pair<CloneCorrection, const char*> choices[] = {
        {CloneCorrection::kNone, "&All units"},
        {CloneCorrection::kMlg, "One per ML&G"},
        {CloneCorrection::kMll, "One per &lineage (MLL)"}};
    const char* names[] = {"UnitsAll", "UnitsMlg", "UnitsMll"};
    int c = 0;
    for (const auto& [rule, caption] : choices) {
      auto* choice = new QRadioButton(caption, panel);
      choice->setObjectName(prefix + names[c++]);
      choice->setChecked(rule == design.units);
      if (rule == design.units) panel->setProperty("defaultUnits", choice->objectName());
      group->addButton(choice);
      units->addWidget(choice);
    }
    units->addStretch(1);
    form->addRow("Units counted", units);
    panel->findChild<QRadioButton*>(prefix + "UnitsAll")
        ->setToolTip("Every sampling unit, clonal copies included");
    panel->findChild<QRadioButton*>(prefix + "UnitsMlg")
        ->setToolTip("In each population, only the first unit of each MLG");
    if (design.extraRows) design.extraRows(*panel, *form);

    auto* sorted = new QCheckBox("Populations by &name", panel);
    sorted->setObjectName(prefix + "SortCheck");
    sorted->setToolTip("Populations listed by name rather than in the order of the file");
    form->addRow("", sorted);

    auto* number = new QSpinBox(panel);
    number->setObjectName(design.numberName);
    number->setRange(design.minimum, design.maximum);
    number->setValue(design.value);
    if (design.special) number->setSpecialValueText(design.special);
    number->setToolTip(design.numberTip);
    number->setMinimumWidth(160);
    auto* caption = new QLabel(design.numberCaption, panel);
    caption->setObjectName(QString(design.numberName) + "Caption");
    caption->setBuddy(number);
    form->addRow(caption, number);

    if (design.help) {
      auto* help = new QLabel(design.help, panel);
      help->setObjectName(prefix + "Help");
      help->setWordWrap(true);
      form->addRow(help);
      panel->setToolTip(design.help);
    }

    QPushButton* run = nullptr;
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MakeButton(run, (prefix + "RunButton").toUtf8().constData(), "&Run", panel));
    buttons->addStretch(1);
    form->addRow(buttons);
    run->setDefault(true);
    // Enter runs the panel, Escape closes it (eventFilter).
    panel->installEventFilter(this);
    popgenPanels_.push_back(panel);

    connect(items[k++], &QAction::triggered, this, [this, panel, run, number] {
      if (busy()) return;
      HideChartsAndPanels();
      ShowPanel(panel, {run});
      // The keyboard goes to the panel: type the number, Enter runs.
      number->setFocus();
      number->selectAll();
    });
  }

  auto* scroll = new QScrollArea(chartArea_ ? chartArea_ : layout.parentWidget());
  scroll->setObjectName("pairwiseFstView");
  scroll->setMinimumHeight(420);
  scroll->setWidget(new SvgCanvas(tr("the whole heat map"), scroll));
  scroll->hide();
  heatMapView_ = scroll;
}

QString TForm1::PopgenDisabledReason(const QAction* item) const {
  if (item != Fstatistics1 && item != PairwiseFst1 && item != Amova1) return {};
  if (!session_->hasData() || session_->dataset().populationCount() < 2)
    return kNeedsTwoPopulations;
  return {};
}

void TForm1::RefreshPopgen() {
  // One unit per lineage needs a grouping into lineages.
  const bool grouped = session_->hasData() && session_->lineages().grouped;
  for (QGroupBox* panel : popgenPanels_) {
    const QString prefix = panel->objectName().chopped(5);  // less "Panel"
    auto* lineage = panel->findChild<QRadioButton*>(prefix + "UnitsMll");
    if (!grouped && lineage->isChecked())
      panel->findChild<QRadioButton*>(panel->property("defaultUnits").toString())->setChecked(true);
    lineage->setEnabled(grouped);
    lineage->setToolTip(grouped ? "In each population, only the first unit of each multilocus "
                                  "lineage of the last grouping"
                                : kNeedsLineages);
  }
  // F-statistics, pairwise Fst and the AMOVA compare populations.
  for (QAction* item : {Fstatistics1, PairwiseFst1, Amova1}) {
    if (!item->isEnabled()) continue;  // the menus have already said why
    const QString why = PopgenDisabledReason(item);
    if (why.isEmpty()) continue;
    item->setEnabled(false);
    item->setToolTip(why);
  }
  RefreshAmovaChoices();

  if (heatMapView_->parentWidget() != chartArea_ && chartArea_) {
    heatMapView_->setParent(chartArea_);
    chartArea_->layout()->addWidget(heatMapView_);
  }
  const HeatMapChart& heatMap = session_->pairwiseFstChart();
  auto* canvas = static_cast<SvgCanvas*>(static_cast<QScrollArea*>(heatMapView_)->widget());
  if (heatMap.visible) canvas->SetDrawing(HeatMapSvg(heatMap));
  heatMapView_->setVisible(heatMap.visible);
}

void TForm1::RefreshAmovaChoices() {
  auto* panel = findChild<QGroupBox*>("AmovaPanel");
  // The hierarchies of the strata table loaded, kept as they are (with the
  // one chosen) while it stays the same.
  QStringList choices = {kPopulationLevel};
  if (session_->hasData()) choices += Hierarchies(session_->dataset());
  auto* hierarchy = panel->findChild<QComboBox*>("AmovaHierarchyCombo");
  QStringList shown;
  for (int i = 0; i < hierarchy->count(); ++i) shown << hierarchy->itemText(i);
  if (shown != choices) {
    const QString chosen = hierarchy->currentText();
    hierarchy->clear();
    hierarchy->addItems(choices);
    hierarchy->setCurrentIndex(std::max(0, static_cast<int>(choices.indexOf(chosen))));
  }
  hierarchy->setEnabled(choices.size() > 1);
  hierarchy->setToolTip(
      choices.size() > 1
          ? "The levels compared, from the top down; each level nests in the one above"
          : "The populations alone: a populations table whose header row names further columns "
            "(such as a region) offers hierarchies of two and three levels (File > Load "
            "populations)");

  // Only diploid units split into two allele sets.
  const bool diploid =
      !session_->hasData() ||
      (session_->hasSnpData() ? session_->snp().ploidy == 2 : !session_->dataset().haploid());
  auto* within = panel->findChild<QCheckBox*>("AmovaWithinCheck");
  within->setEnabled(diploid);
  within->setToolTip(diploid ? "Each diploid unit becomes two allele sets, so that the variation "
                               "within the units forms a level of its own"
                             : kNeedsDiploids);
}

}  // namespace vireltan::app
