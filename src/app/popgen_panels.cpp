// SPDX-License-Identifier: GPL-3.0-or-later
// Populations > Genetic diversity, F-statistics, Pairwise Fst,
// Hardy–Weinberg, AMOVA, Ordination, Isolation by distance and MLGs shared
// among populations: their menu items, their option panels (which units are
// counted, the order of the populations and one number each; the AMOVA's
// hierarchy, levels, missing data and scale, the points and distance of the
// ordination and of the isolation by distance besides) and the zoomable
// view of the pairwise Fst heat map beside the pages.
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
#include "app/main_window_parts.h"
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
// The distance rows of the ordination and of the isolation by distance when
// no distance between units is computed.
constexpr char kOrdinationOfSnps[] =
    "SNP data: the principal components of the genotypes are computed instead of a distance "
    "between units";
constexpr char kIsolationOfSnps[] =
    "SNP data: the genetic distance between two units is the share of their alleles that differ";
constexpr char kPopulationsByFst[] =
    "Populations are compared by their pairwise Fst, not by a distance between units";
constexpr char kNotOnSnps[] = "SNP data have no allele sizes";
constexpr char kMicrosatTip[] =
    "The differences in allele size (repeat numbers) between the two genotypes";
constexpr char kSizeOfGenets[] = "Each genet drawn by the number of units of its clone";
constexpr char kSizeNeedsGenets[] = "Only genets stand for a clone: choose Genets under Points";

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
  bool unitsRow;  // the choice of the units counted
};

// A row of exclusive choices named `name` (a caption for its label and
// objectName + "Caption"), each choice {objectName, caption, tooltip}, the
// first chosen.
struct Choice {
  const char* name;
  const char* caption;
  const char* tip;
};
QWidget* AddChoiceRow(QGroupBox& panel, QFormLayout& form, const QString& name, const char* caption,
                      std::initializer_list<Choice> choices) {
  auto* row = new QWidget(&panel);
  row->setObjectName(name + "Row");
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);
  auto* group = new QButtonGroup(row);
  for (const Choice& choice : choices) {
    auto* button = new QRadioButton(choice.caption, row);
    button->setObjectName(choice.name);
    button->setToolTip(choice.tip);
    button->setChecked(group->buttons().isEmpty());
    group->addButton(button);
    line->addWidget(button);
  }
  line->addStretch(1);
  auto* label = new QLabel(caption, &panel);
  label->setObjectName(name + "Caption");
  form.addRow(label, row);
  return row;
}

// The genetic distance between units and its rule for loci missing in
// either, for the panel of `prefix`; the captions of the choices carry the
// Alt letters left free by the rest of the panel.
void AddDistanceRows(QGroupBox& panel, QFormLayout& form, const QString& prefix,
                     const char* allelic, const char* microsat, const char* rescale) {
  const QByteArray allelicName = (prefix + "DistanceAllelic").toUtf8();
  const QByteArray microsatName = (prefix + "DistanceMicrosat").toUtf8();
  AddChoiceRow(panel, form, prefix + "Distance", "Distance",
               {{allelicName.constData(), allelic, "The number of alleles that differ"},
                {microsatName.constData(), microsat, kMicrosatTip}});
  const QByteArray rescaleName = (prefix + "MissingRescale").toUtf8();
  const QByteArray popprName = (prefix + "MissingPoppr").toUtf8();
  AddChoiceRow(panel, form, prefix + "Missing", "Missing loci",
               {{rescaleName.constData(), rescale,
                 "A locus missing in either unit is left out and the distance scaled up to all "
                 "the loci"},
                {popprName.constData(), "Count as no &difference (poppr)",
                 "A locus missing in either unit counts as no difference, without scaling (as "
                 "poppr's diss.dist)"}});
}

// The ordination's points, distance and sizes.
void AddOrdinationRows(QGroupBox& panel, QFormLayout& form) {
  AddChoiceRow(panel, form, "OrdinationPoints", "Points",
               {{"OrdinationPointsUnits", "Un&its", "One point per sampling unit"},
                {"OrdinationPointsGenets", "&Genets (one per MLG in each population)",
                 "One point per MLG (per lineage while lineages are counted) in each population"},
                {"OrdinationPointsPopulations", "&Populations (pairwise Fst between them)",
                 "One point per population, placed by the pairwise Fst between them"}});
  AddDistanceRows(panel, form, "Ordination", "A&llelic", "Micros&atellite", "S&cale to all loci");
  auto* size = new QCheckBox("Si&ze genets by clone size", &panel);
  size->setObjectName("OrdinationSizeCheck");
  size->setToolTip(kSizeOfGenets);
  form.addRow("", size);
}

// The isolation by distance's items, distance and test.
void AddIsolationRows(QGroupBox& panel, QFormLayout& form) {
  AddChoiceRow(panel, form, "IbdAmong", "Among",
               {{"IbdAmongUnits", "units",
                 "The genetic against the geographic distance of "
                 "every two units"},
                {"IbdAmongPopulations", "&populations",
                 "Fst/(1 − Fst) of every two populations against the distance between their "
                 "centres"}});
  AddDistanceRows(panel, form, "Ibd", "Allelic", "M&icrosatellite", "Scale to all loci");
  auto* log = new QCheckBox("Log of geographi&c distance", &panel);
  log->setObjectName("IbdLogCheck");
  log->setToolTip(
      "The natural logarithm of the geographic distance (no two items may share a "
      "place)");
  form.addRow("", log);
  auto* spearman = new QCheckBox("Spearman's ran&k correlation", &panel);
  spearman->setObjectName("IbdSpearmanCheck");
  spearman->setToolTip("The correlation of the ranks of the distances instead of Pearson's");
  form.addRow("", spearman);
}

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
     CloneCorrection::kNone, nullptr, nullptr, true},
    {"Fstats", "F-statistics (Weir and Cockerham)", "&Bootstrap resamplings of loci",
     "FstatsBootstrapSpin", 0, 100000, 1000, "none (no interval)",
     "Loci drawn with replacement this many times for the 95% interval of each F-statistic "
     "(default 1000)",
     CloneCorrection::kNone, nullptr, nullptr, true},
    {"PairwiseFst", "Pairwise Fst", "P&ermutations", "PairwiseFstPermutationsSpin", 0, 100000, 999,
     "none (no test)",
     "Units permuted between the two populations of each pair this many times to test Fst > 0 "
     "(default 999)",
     CloneCorrection::kNone, nullptr, nullptr, true},
    {"Hwe", "Hardy–Weinberg", "P&ermutations for the exact test", "HwePermutationsSpin", 1, 100000,
     999, nullptr,
     "Genotypes drawn this many times for the Monte-Carlo exact test of each population and "
     "locus (default 999)",
     CloneCorrection::kMlg, kClonesAndHardyWeinberg, nullptr, true},
    {"Amova", "AMOVA (analysis of molecular variance)", "Permutat&ions", "AmovaPermutationsSpin", 0,
     100000, 999, "none (no test)",
     "Units or groups permuted this many times to test each variance component (default 999)",
     CloneCorrection::kNone, nullptr, AddAmovaRows, true},
    {"Ordination", "Ordination (principal coordinates)", "A&xes kept", "OrdinationAxesSpin", 2, 50,
     10, nullptr, "Coordinates kept for each point (fewer when fewer axes exist; default 10)",
     CloneCorrection::kNone, nullptr, AddOrdinationRows, false},
    {"Ibd", "Isolation by distance (Mantel test)", "P&ermutations", "IbdPermutationsSpin", 0,
     100000, 999, "none (no test)",
     "Geographic distances permuted among the items this many times to test the correlation "
     "(default 999)",
     CloneCorrection::kNone, nullptr, AddIsolationRows, true},
};

// Which units are counted: every unit, or one per MLG or per lineage
// within each population.
void AddUnitsRow(const PopgenPanelDesign& design, QGroupBox& panel, QFormLayout& form) {
  const QString prefix = design.prefix;
  auto* units = new QHBoxLayout;
  auto* group = new QButtonGroup(&panel);
  const std::pair<CloneCorrection, const char*> choices[] = {
      {CloneCorrection::kNone, "&All units"},
      {CloneCorrection::kMlg, "One per ML&G"},
      {CloneCorrection::kMll, "One per &lineage (MLL)"}};
  const char* names[] = {"UnitsAll", "UnitsMlg", "UnitsMll"};
  int c = 0;
  for (const auto& [rule, caption] : choices) {
    auto* choice = new QRadioButton(caption, &panel);
    choice->setObjectName(prefix + names[c++]);
    choice->setChecked(rule == design.units);
    if (rule == design.units) panel.setProperty("defaultUnits", choice->objectName());
    group->addButton(choice);
    units->addWidget(choice);
  }
  units->addStretch(1);
  form.addRow("Units counted", units);
  panel.findChild<QRadioButton*>(prefix + "UnitsAll")
      ->setToolTip("Every sampling unit, clonal copies included");
  panel.findChild<QRadioButton*>(prefix + "UnitsMlg")
      ->setToolTip("In each population, only the first unit of each MLG");
}

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

Status OrdinationFrom(Session& session, const CommandInputs& in) {
  Session::OrdinationRequest request;
  request.of = !Field(in, "OrdinationPointsGenets").empty() ? Session::OrdinationOf::kGenets
               : !Field(in, "OrdinationPointsPopulations").empty()
                   ? Session::OrdinationOf::kPopulations
                   : Session::OrdinationOf::kUnits;
  request.distance = !Field(in, "OrdinationDistanceMicrosat").empty() ? MlgDistanceKind::kMicrosat
                                                                      : MlgDistanceKind::kAllelic;
  request.missing = !Field(in, "OrdinationMissingPoppr").empty() ? DistanceMissing::kPoppr
                                                                 : DistanceMissing::kRescale;
  if (Status read = IntegerField(Field(in, "OrdinationAxesSpin"), request.axes); !read) return read;
  request.sizeByClone =
      request.of == Session::OrdinationOf::kGenets && !Field(in, "OrdinationSizeCheck").empty();
  request.sortPopulations = !Field(in, "OrdinationSortCheck").empty();
  return session.PrincipalCoordinatesAnalysis(request);
}

Status IsolationFrom(Session& session, const CommandInputs& in) {
  Session::PopgenRequest units;
  Session::IsolationRequest request;
  if (Status read = RequestFrom(in, "Ibd", "IbdPermutationsSpin", units, request.permutations);
      !read)
    return read;
  request.cloneCorrect = units.cloneCorrect;
  request.sortPopulations = units.sortPopulations;
  request.amongPopulations = !Field(in, "IbdAmongPopulations").empty();
  request.distance = !Field(in, "IbdDistanceMicrosat").empty() ? MlgDistanceKind::kMicrosat
                                                               : MlgDistanceKind::kAllelic;
  request.missing =
      !Field(in, "IbdMissingPoppr").empty() ? DistanceMissing::kPoppr : DistanceMissing::kRescale;
  request.logDistance = !Field(in, "IbdLogCheck").empty();
  request.spearman = !Field(in, "IbdSpearmanCheck").empty();
  return session.IsolationByDistance(request);
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
  action(Ordination1, "Ordination1", "&Ordination\u2026");
  action(Isolationbydistance1, "Isolationbydistance1", "&Isolation by distance\u2026");
  action(SharedMlgs1, "SharedMlgs1", "&MLGs shared among populations");
}

void TForm1::BuildPopgenPanels(QVBoxLayout& layout) {
  QAction* items[] = {Geneticdiversity1, Fstatistics1,        PairwiseFst1, HardyWeinberg1, Amova1,
                      Ordination1,       Isolationbydistance1};
  int k = 0;
  for (const PopgenPanelDesign& design : kPanels) {
    const QString prefix = design.prefix;
    QGroupBox* panel = nullptr;
    AddPanel(layout, panel, (prefix + "Panel").toUtf8().constData(), design.title);
    auto* form = new QFormLayout(panel);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);

    if (design.unitsRow) AddUnitsRow(design, *panel, *form);
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

  // The distance rows follow the points chosen.
  for (const char* name :
       {"OrdinationPointsPopulations", "IbdAmongPopulations", "OrdinationPointsGenets"})
    connect(findChild<QRadioButton*>(name), &QRadioButton::toggled, this,
            [this] { RefreshOrdinationChoices(); });

  auto* scroll = new QScrollArea(chartArea_ ? chartArea_ : layout.parentWidget());
  scroll->setObjectName("pairwiseFstView");
  scroll->setMinimumHeight(420);
  scroll->setWidget(new SvgCanvas(tr("the whole heat map"), scroll));
  scroll->hide();
  heatMapView_ = scroll;
}

QString TForm1::PopgenDisabledReason(const QAction* item) const {
  if (item != Fstatistics1 && item != PairwiseFst1 && item != Amova1 && item != SharedMlgs1)
    return {};
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
    if (!lineage) continue;  // a panel without the choice of the units counted
    if (!grouped && lineage->isChecked())
      panel->findChild<QRadioButton*>(panel->property("defaultUnits").toString())->setChecked(true);
    lineage->setEnabled(grouped);
    lineage->setToolTip(grouped ? "In each population, only the first unit of each multilocus "
                                  "lineage of the last grouping"
                                : kNeedsLineages);
  }
  // F-statistics, pairwise Fst, the AMOVA and the shared MLGs compare
  // populations.
  for (QAction* item : {Fstatistics1, PairwiseFst1, Amova1, SharedMlgs1}) {
    if (!item->isEnabled()) continue;  // the menus have already said why
    const QString why = PopgenDisabledReason(item);
    if (why.isEmpty()) continue;
    item->setEnabled(false);
    item->setToolTip(why);
  }
  RefreshAmovaChoices();
  RefreshOrdinationChoices();

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

void TForm1::RefreshOrdinationChoices() {
  const bool two = session_->hasData() && session_->dataset().populationCount() >= 2;
  const bool snp = session_->hasData() && session_->hasSnpData();
  const std::pair<const char*, const char*> panels[] = {{"Ordination", "Points"}, {"Ibd", "Among"}};
  for (const auto& [prefix, points] : panels) {
    const QString name = prefix;
    auto* panel = findChild<QGroupBox*>(name + "Panel");
    auto* units = panel->findChild<QRadioButton*>(name + points + "Units");
    auto* populations = panel->findChild<QRadioButton*>(name + points + "Populations");
    // Populations are compared only when there are two of them.
    if (!two && populations->isChecked()) units->setChecked(true);
    populations->setEnabled(two);
    populations->setToolTip(two ? (name == "Ibd" ? "Fst/(1 \u2212 Fst) of every two populations "
                                                   "against the distance between their centres"
                                                 : "One point per population, placed by the "
                                                   "pairwise Fst between them")
                                : kNeedsTwoPopulations);

    // No distance between units is computed between populations, nor for
    // the ordination of SNP data; SNP data have no allele sizes.
    const bool among = populations->isChecked();
    const bool distance = !among && !snp;
    const QString why = among ? kPopulationsByFst
                        : snp ? (name == "Ibd" ? kIsolationOfSnps : kOrdinationOfSnps)
                              : QString();
    auto* microsat = panel->findChild<QRadioButton*>(name + "DistanceMicrosat");
    if (snp && microsat->isChecked())
      panel->findChild<QRadioButton*>(name + "DistanceAllelic")->setChecked(true);
    microsat->setEnabled(!snp);
    for (const char* row : {"Distance", "Missing"}) {
      const QString rowName = name + row;
      panel->findChild<QWidget*>(rowName + "Row")->setEnabled(distance);
      panel->findChild<QLabel*>(rowName + "Caption")->setEnabled(distance);
      panel->findChild<QWidget*>(rowName + "Row")->setToolTip(why);
      panel->findChild<QLabel*>(rowName + "Caption")->setToolTip(why);
    }
    microsat->setToolTip(snp ? kNotOnSnps : kMicrosatTip);
  }

  // Only genets stand for a clone.
  const bool genets = findChild<QRadioButton*>("OrdinationPointsGenets")->isChecked();
  auto* size = findChild<QCheckBox*>("OrdinationSizeCheck");
  size->setEnabled(genets);
  size->setToolTip(genets ? kSizeOfGenets : kSizeNeedsGenets);
}

}  // namespace vireltan::app
