// SPDX-License-Identifier: GPL-3.0-or-later
// MLG > Multilocus lineages, Count lineages instead of genotypes and Minimum
// spanning network: their menu items, their two option panels, and the
// zoomable view of the network.
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollArea>
#include <cmath>

#include "app/main_window_parts.h"
#include "app/svg_canvas.h"
#include "charts/network_chart.h"
#include "sheet/sheet.h"
#include "sheet/table_file.h"

namespace vireltan::app {

namespace {

std::string Field(const CommandInputs& in, const char* name) {
  auto it = in.fields.find(name);
  return it == in.fields.end() ? std::string() : it->second;
}

MlgDistanceKind DistanceOf(const std::string& text) {
  return text == "microsatellite" ? MlgDistanceKind::kMicrosat : MlgDistanceKind::kAllelic;
}

// The "Missing loci" box of the lineage and network panels.
const char kScaleToAllLoci[] = "scale to all loci";
const char kNoDifference[] = "count as no difference (poppr)";

DistanceMissing MissingOf(const std::string& text) {
  return text == kNoDifference ? DistanceMissing::kPoppr : DistanceMissing::kRescale;
}

// The linkage, tie rule and average weights chosen on the lineage panel
// (each box's first word is the command line's).
struct ClusterChoices {
  Linkage linkage = Linkage::kFarthest;
  TieRule ties = TieRule::kPoppr;
  AverageWeight average = AverageWeight::kUnits;
};

ClusterChoices ClusterChoicesOf(const CommandInputs& in) {
  auto firstWord = [&](const char* box) {
    const std::string word = Field(in, box);
    return word.substr(0, word.find(' '));
  };
  ClusterChoices c;
  ParseLinkage(firstWord("MllLinkageBox"), c.linkage);
  ParseTieRule(firstWord("MllTiesBox"), c.ties);
  ParseAverageWeight(firstWord("MllAverageBox"), c.average);
  return c;
}

}  // namespace

Status LineagesFrom(Session& session, const CommandInputs& in) {
  const std::string text = Field(in, "MllThresholdEdit");
  std::optional<double> threshold = ParseDecimal(text);
  if (!threshold) return Status::Error("'" + text + "' is not a valid floating point value");
  const ClusterChoices c = ClusterChoicesOf(in);
  return session.Lineages(DistanceOf(Field(in, "MllDistanceBox")), c.linkage, *threshold, c.ties,
                          c.average, MissingOf(Field(in, "MllMissingBox")));
}

Status SuggestionFrom(Session& session, const CommandInputs& in) {
  return session.SuggestLineageThreshold(DistanceOf(Field(in, "MllDistanceBox")),
                                         MissingOf(Field(in, "MllMissingBox")));
}

Status ReplicatesFrom(Session& session, const CommandInputs& in) {
  const ClusterChoices c = ClusterChoicesOf(in);
  return session.SnpLineagesFromReplicates(c.linkage, c.ties, c.average);
}

Status NetworkFrom(Session& session, const CommandInputs& in) {
  NetworkTies ties = NetworkTies::kPoppr;
  const std::string word = Field(in, "MsnTiesBox");
  ParseNetworkTies(word.substr(0, word.find(' ')), ties);
  Status built = session.SpanningNetwork(
      DistanceOf(Field(in, "MsnDistanceBox")), !Field(in, "MsnLineagesCheck").empty(), ties,
      !Field(in, "MsnSortPopulationsCheck").empty(), MissingOf(Field(in, "MsnMissingBox")));
  if (built) session.ShowNetworkTies(!Field(in, "MsnTiesShownCheck").empty());
  return built;
}

Status ClonalityTestFrom(Session& session, const CommandInputs& in) {
  int permutations = 0;
  if (Status read = IntegerField(Field(in, "IaPermutationsEdit"), permutations); !read) return read;
  IaMissing missing = IaMissing::kPoppr;
  const std::string missingWord = Field(in, "IaMissingBox");
  ParseIaMissing(missingWord.substr(0, missingWord.find(' ')), missing);
  IaNull null = IaNull::kAlleles;
  const std::string nullWord = Field(in, "IaNullBox");
  ParseIaNull(nullWord.substr(0, nullWord.find(' ')), null);
  return session.PopulationSummaryTest(0, !Field(in, "IaCloneCorrectCheck").empty(), permutations,
                                       false, missing, null);
}

void TForm1::BuildLineageMenu() {
  auto action = [this](QAction*& member, const char* name, const char* caption) {
    member = MLG1->addAction(caption);
    member->setObjectName(name);
  };
  action(Multilocuslineages1, "Multilocuslineages1", "Multilocus lineages");
  action(Countlineages1, "Countlineages1", "Count lineages instead of genotypes");
  Countlineages1->setCheckable(true);
  action(Minimumspanningnetwork1, "Minimumspanningnetwork1", "Minimum spanning network");
  action(Testofclonality1, "Testofclonality1", "Test of clonality (index of association)");
}

void TForm1::BuildLineagePanels(QVBoxLayout& layout) {
  auto distanceBox = [](const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems({"allelic", "microsatellite"});
    return box;
  };
  auto missingLociBox = [](const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems({kScaleToAllLoci, kNoDifference});
    box->setToolTip(
        "Missing loci: the distance over the loci typed in both MLGs scaled to all loci, or "
        "a locus missing in either MLG counted as no difference (poppr's diss.dist)");
    return box;
  };

  QGroupBox* mll = nullptr;
  AddPanel(layout, mll, "MllPanel", "Multilocus lineages");
  auto* form = new QFormLayout(mll);
  QLineEdit* threshold = nullptr;
  form->addRow("threshold T", MakeEdit(threshold, "MllThresholdEdit", "1", mll));
  threshold->setToolTip(
      "MLGs joined at a linkage distance of at most T form one lineage (poppr's mlg.filter "
      "joins them only below T)");
  form->addRow("distance", distanceBox("MllDistanceBox", mll));
  form->addRow("missing loci", missingLociBox("MllMissingBox", mll));
  auto* linkage = new QComboBox(mll);
  linkage->setObjectName("MllLinkageBox");
  linkage->addItems({"farthest neighbour", "average neighbour", "nearest neighbour"});
  form->addRow("linkage", linkage);
  auto* ties = new QComboBox(mll);
  ties->setObjectName("MllTiesBox");
  ties->addItems({"poppr (poppr's merges and lineage numbers)", "lowest-mlg (MLG number order)"});
  ties->setToolTip("Which of equally close pairs is merged first, and how lineages are numbered");
  form->addRow("ties", ties);
  auto* average = new QComboBox(mll);
  average->setObjectName("MllAverageBox");
  average->addItems({"units (clone size counts, as poppr)", "mlgs (each MLG once)"});
  form->addRow("average over", average);
  auto* buttons = new QHBoxLayout;
  QPushButton *suggest = nullptr, *run = nullptr, *replicates = nullptr;
  buttons->addWidget(MakeButton(suggest, "MllSuggestButton", "Su&ggest T", mll));
  buttons->addWidget(MakeButton(run, "MllRunButton", "&Run", mll));
  // SNP data: T from the replicate pairs of the sample sheet, then the run.
  buttons->addWidget(MakeButton(replicates, "MllReplicatesButton", "T from re&plicates", mll));
  replicates->setToolTip(
      "T from the replicate pairs of the sample sheet (the largest distance between two "
      "replicates of one sample), then the grouping at it");
  buttons->addStretch(1);
  form->addRow(buttons);
  // A suggestion is copied into the threshold field once it has run.
  connect(suggest, &QPushButton::clicked, this, [this] { shownSuggestion_ = 1; });

  QGroupBox* msn = nullptr;
  AddPanel(layout, msn, "MsnPanel", "Minimum spanning network");
  // One option a row, as the other panels: the panel fits a narrow pane.
  auto* row = new QFormLayout(msn);
  row->addRow("distance", distanceBox("MsnDistanceBox", msn));
  row->addRow("missing loci", missingLociBox("MsnMissingBox", msn));
  auto* lineages = new QCheckBox("lineages (MLLs) as nodes", msn);
  lineages->setObjectName("MsnLineagesCheck");
  row->addRow(lineages);
  auto* networkTies = new QComboBox(msn);
  networkTies->setObjectName("MsnTiesBox");
  networkTies->addItems({"poppr (poppr's tree, ties at each node's shortest tree edge)",
                         "all (every edge of some minimum spanning tree)",
                         "none (poppr's tree alone)"});
  row->addRow("ties", networkTies);
  // The drawing's tied alternative edges, dashed; they may cross the tree.
  auto* tiesShown = new QCheckBox("show tied edges", msn);
  tiesShown->setObjectName("MsnTiesShownCheck");
  tiesShown->setToolTip(
      "Draw the tied alternative edges too, thin and dashed (they may cross the tree's edges)");
  row->addRow(tiesShown);
  auto* sortPopulations = new QCheckBox("populations by name", msn);
  sortPopulations->setObjectName("MsnSortPopulationsCheck");
  sortPopulations->setToolTip(
      "The node table lists each node's populations by name rather than in the file's order");
  row->addRow(sortPopulations);
  QPushButton* draw = nullptr;
  auto* drawRow = new QHBoxLayout;
  drawRow->addWidget(MakeButton(draw, "MsnRunButton", "&Run", msn));
  drawRow->addStretch(1);
  row->addRow(drawRow);

  QGroupBox* ia = nullptr;
  AddPanel(layout, ia, "IaPanel", "Test of clonality");
  auto* iaRows = new QFormLayout(ia);
  QLineEdit* permutations = nullptr;
  iaRows->addRow("N. permutations", MakeEdit(permutations, "IaPermutationsEdit", "999", ia));
  auto* corrected = new QCheckBox("clone-corrected", ia);
  corrected->setObjectName("IaCloneCorrectCheck");
  iaRows->addRow(corrected);
  auto* nullBox = new QComboBox(ia);
  nullBox->setObjectName("IaNullBox");
  nullBox->addItems({"alleles permuted (poppr method 1)", "genotypes permuted (poppr method 4)"});
  iaRows->addRow("null model", nullBox);
  auto* missingBox = new QComboBox(ia);
  missingBox->setObjectName("IaMissingBox");
  missingBox->addItems(
      {"poppr (missing = no difference)", "typed-pairs (each locus over its typed pairs)"});
  iaRows->addRow("missing data", missingBox);
  QPushButton* test = nullptr;
  auto* iaRow = new QHBoxLayout;
  iaRow->addWidget(MakeButton(test, "IaRunButton", "&Run", ia));
  iaRow->addStretch(1);
  iaRows->addRow(iaRow);
  lineagePanels_ = {mll, msn, ia};
  // The network on show follows the check box at once.
  connect(tiesShown, &QCheckBox::toggled, this, [this](bool shown) {
    if (busy() || !session_->lineages().network.visible) return;
    session_->ShowNetworkTies(shown);
    RefreshLineages();
  });

  auto* scroll = new QScrollArea(chartArea_ ? chartArea_ : layout.parentWidget());
  scroll->setObjectName("networkView");
  scroll->setMinimumHeight(420);
  scroll->setWidget(new SvgCanvas(tr("the whole network"), scroll));
  scroll->hide();
  networkView_ = scroll;

  connect(Multilocuslineages1, &QAction::triggered, this,
          [this, mll, threshold, suggest, run, replicates] {
            HideChartsAndPanels();
            ShowPanel(mll, {threshold, suggest, run, replicates});
          });
  connect(Testofclonality1, &QAction::triggered, this, [this, ia, permutations, test] {
    HideChartsAndPanels();
    ShowPanel(ia, {permutations, test});
  });
  connect(Minimumspanningnetwork1, &QAction::triggered, this, [this, msn, lineages, draw] {
    HideChartsAndPanels();
    lineages->setEnabled(session_->lineages().grouped);
    if (!session_->lineages().grouped) lineages->setChecked(false);
    ShowPanel(msn, {draw});
  });
}

void TForm1::RefreshLineages() {
  const LineageState& state = session_->lineages();
  Countlineages1->setChecked(state.counting);
  if (networkView_->parentWidget() != chartArea_ && chartArea_) {
    networkView_->setParent(chartArea_);
    chartArea_->layout()->addWidget(networkView_);
  }
  auto* scroll = static_cast<QScrollArea*>(networkView_);
  auto* canvas = static_cast<SvgCanvas*>(scroll->widget());
  // Laying a network of hundreds of nodes out takes a second or so: the
  // drawing is made again only when the network or its tied edges change,
  // not at every refresh of the window.
  static std::string drawnKey;
  if (state.network.visible) {
    int units = 0;
    for (const NetworkNode& node : state.network.nodes) units += node.units;
    const std::string key =
        state.network.title + '\n' + std::to_string(state.network.nodes.size()) + ' ' +
        std::to_string(state.network.edges.size()) + ' ' + std::to_string(units) + ' ' +
        (state.network.showTiedAlternatives ? "ties" : "tree");
    if (key != drawnKey) canvas->SetDrawing(NetworkSvg(state.network));
    drawnKey = key;
  } else {
    drawnKey.clear();
  }
  networkView_->setVisible(state.network.visible);
  if (shownSuggestion_ && !busy()) {
    shownSuggestion_ = 0;
    if (state.suggestion) {
      findChild<QLineEdit*>("MllThresholdEdit")
          ->setText(QString::fromStdString(FormatNumber(state.suggestion->threshold)));
      lineagePanels_[0]->show();
    }
  }
}

}  // namespace vireltan::app
