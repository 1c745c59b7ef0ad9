// SPDX-License-Identifier: GPL-3.0-or-later
// Command wiring and running: which session command each menu item and
// panel button runs, and the runner that starts it off the window's thread.
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QStatusBar>
#include <charconv>
#include <string>

#include "app/main_window_parts.h"

namespace vireltan::app {

namespace {

// A command that takes the whole number typed in one option field: a text
// that is not an integer stops it before any work.
SessionCommand WithCount(std::string CommandInputs::*field, Status (Session::*command)(int)) {
  return [field, command](Session& s, const CommandInputs& in) {
    int count = 0;
    if (Status read = IntegerField(in.*field, count); !read) return read;
    return (s.*command)(count);
  };
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
      {"Saveas1", "Saveas1Click",
       [](Session& s, In in) {
         // The network and the clonality histograms: drawing, image and
         // print versions at the default figure size; the network's tied
         // edges as the network panel shows them.
         FigureOptions all;
         all.pdf = true;
         all.networkTies = s.lineages().network.showTiedAlternatives;
         return s.SaveGraph(*in.renderer, all);
       }},
      // Tests
      {"Button4", "Button4Click", WithCount(&CommandInputs::Edit4, &Session::ResampleLoci)},
      {"Button2", "Button2Click", WithCount(&CommandInputs::Edit2, &Session::ResampleIndividuals)},
      {"Combination1lloci1", "Combination1lloci1Click",
       [](Session& s, In) { return s.CombineLoci(); }},
      {"Combination1nindfividuals1", "Combination1nindfividuals1Click",
       [](Session& s, In) { return s.CombineIndividuals(); }},
      {"Psex1", "Psex1Click", [](Session& s, In) { return s.Psex(); }},
      {"numberofdistinctalleles1", "numberofdistinctalleles1Click",
       [](Session& s, In) { return s.AllelicDistances(); }},
      {"Matrixofmicrosatellitedistance1", "Matrixofmicrosatellitedistance1Click",
       [](Session& s, In) { return s.MicrosatelliteDistances(); }},
      // MLG
      {"diversityindices1", "diversityindices1Click", [](Session& s, In) { return s.Diversity(); }},
      {"Pareto1", "Pareto1Click", [](Session& s, In) { return s.Pareto(); }},
      {"MllRunButton", "MllRunButtonClick", LineagesFrom},
      {"MllSuggestButton", "MllSuggestButtonClick", SuggestionFrom},
      {"MllReplicatesButton", "MllReplicatesButtonClick", ReplicatesFrom},
      {"Countlineages1", "Countlineages1Click",
       [](Session& s, In) { return s.CountLineages(!s.lineages().counting); }},
      {"MsnRunButton", "MsnRunButtonClick", NetworkFrom},
      {"IaRunButton", "IaRunButtonClick", ClonalityTestFrom},
      // Populations
      {"DiversityRunButton", "DiversityRunButtonClick", GeneticDiversityFrom},
      {"FstatsRunButton", "FstatsRunButtonClick", FStatisticsFrom},
      {"PairwiseFstRunButton", "PairwiseFstRunButtonClick", PairwiseFstFrom},
      {"HweRunButton", "HweRunButtonClick", HardyWeinbergFrom},
      {"AmovaRunButton", "AmovaRunButtonClick", AmovaFrom},
      {"OrdinationRunButton", "OrdinationRunButtonClick", OrdinationFrom},
      {"IbdRunButton", "IbdRunButtonClick", IsolationFrom},
      {"SharedMlgs1", "SharedMlgs1Click", [](Session& s, In) { return s.SharedMlgs(); }},
      // Spatial components
      {"MLGmap1", "MLGmap1Click", [](Session& s, In) { return s.MlgMap(); }},
      {"Button3", "Button3Click", WithCount(&CommandInputs::Edit3, &Session::ClonalSubrange)},
      {"Button6", "Button6Click", [](Session& s, In) { return s.ClonalSubrangeFixed(); }},
      {"Button11", "Button11Click",
       [](Session& s, In in) { return s.SpatialAutocorrelation(AutocorrelationFrom(in)); }},
      {"Button1", "Button1Click", WithCount(&CommandInputs::Edit1, &Session::AggregationIndex)},
      {"Button7", "Button7Click", WithCount(&CommandInputs::Edit5, &Session::EdgeEffect)},
      // Format
      {"Quorvex1", "Quorvex1Click", [](Session& s, In) { return s.ExportQuorvex(); }},
      {"Arlequin1", "Arlequin1Click", [](Session& s, In) { return s.ExportArlequin(); }},
  };
  return table;
}

const std::vector<PanelOpener>& PanelOpeners() {
  static const std::vector<PanelOpener> openers = {
      {"resampling1lloci1", {"Button4"}},
      {"resampling1nindividuals1", {"Button2"}},
      {"Clonalsubrange1", {"Button3", "Button6"}},
      {"Spatialautocorrelation1", {"Button11"}},
      {"Aggregationindex1", {"Button1"}},
      {"Edgeeffect1", {"Button7"}},
      {"Multilocuslineages1", {"MllRunButton", "MllSuggestButton", "MllReplicatesButton"}},
      {"Minimumspanningnetwork1", {"MsnRunButton"}},
      {"Testofclonality1", {"IaRunButton"}},
      {"Geneticdiversity1", {"DiversityRunButton"}},
      {"Fstatistics1", {"FstatsRunButton"}},
      {"PairwiseFst1", {"PairwiseFstRunButton"}},
      {"HardyWeinberg1", {"HweRunButton"}},
      {"Amova1", {"AmovaRunButton"}},
      {"Ordination1", {"OrdinationRunButton"}},
      {"Isolationbydistance1", {"IbdRunButton"}},
  };
  return openers;
}

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
      {"Multilocuslineages1", CommandGroup::kDataset},
      {"Countlineages1", CommandGroup::kDataset},
      {"Minimumspanningnetwork1", CommandGroup::kDataset},
      {"Testofclonality1", CommandGroup::kDataset},
      // F-statistics, pairwise Fst, the AMOVA and the shared MLGs also need
      // two populations (RefreshPopgen); the isolation by distance needs
      // coordinates.
      {"Geneticdiversity1", CommandGroup::kDataset},
      {"Fstatistics1", CommandGroup::kDataset},
      {"PairwiseFst1", CommandGroup::kDataset},
      {"HardyWeinberg1", CommandGroup::kDataset},
      {"Amova1", CommandGroup::kDataset},
      {"Ordination1", CommandGroup::kDataset},
      {"Isolationbydistance1", CommandGroup::kSpatialMenu},
      {"SharedMlgs1", CommandGroup::kDataset},
      {"MLGmap1", CommandGroup::kSpatialMenu},
      {"Clonalsubrange1", CommandGroup::kSpatialMenu},
      {"Spatialautocorrelation1", CommandGroup::kSpatialMenu},
      {"Aggregationindex1", CommandGroup::kSpatialMenu},
      {"Edgeeffect1", CommandGroup::kSpatialMenu},
      {"Quorvex1", CommandGroup::kDataset},
      {"Arlequin1", CommandGroup::kDataset},
      // Items with handlers of their own (population_dialogs.cpp).
      {"Loadpopulations1", CommandGroup::kDataset},
      {"Populationsummary1", CommandGroup::kDataset},
      {"Unitstable1", CommandGroup::kDataset},
      {"GenAlEx1", CommandGroup::kDataset},
      {"Genepop1", CommandGroup::kDataset},
      {"Vcf1", CommandGroup::kDataset},
  };
  return rules;
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
        if (!PanelValueIsValid(button)) return;
        button->setEnabled(false);
        if (auto* panel = qobject_cast<QGroupBox*>(button->parentWidget())) panel->hide();
        std::function<void(const Status&)> after;
        if (button == Button11) {
          GroupBox9->hide();
          // A run, finished or not, ends the choice of options: a new run
          // starts from the menu command.
          // A run that failed (a wrong number, a file missing) opens the
          // choices again as they were, to be corrected.
          after = [this](const Status& status) {
            GroupBox10->hide();
            Button11->setEnabled(false);
            if (status.ok() || status.cancelled()) {
              ClearAutocorrelationChoices();
            } else {
              ShowPanel(GroupBox9, {Button9});
            }
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
  std::vector<QGroupBox*> panels = lineagePanels_;
  panels.insert(panels.end(), popgenPanels_.begin(), popgenPanels_.end());
  if (auto* entireOnly = findChild<QRadioButton*>("AutocorrelationEntireOnly"))
    in.fields["AutocorrelationEntireOnly"] = entireOnly->isChecked() ? "1" : "";
  for (QGroupBox* panel : panels) {
    for (auto* e : panel->findChildren<QLineEdit*>())
      in.fields[e->objectName().toStdString()] = e->text().toStdString();
    for (auto* c : panel->findChildren<QComboBox*>())
      in.fields[c->objectName().toStdString()] = c->currentText().toStdString();
    for (auto* c : panel->findChildren<QCheckBox*>())
      in.fields[c->objectName().toStdString()] = c->isChecked() ? "1" : "";
    for (auto* r : panel->findChildren<QRadioButton*>())
      in.fields[r->objectName().toStdString()] = r->isChecked() ? "1" : "";
    for (auto* n : panel->findChildren<QSpinBox*>())
      in.fields[n->objectName().toStdString()] = std::to_string(n->value());
  }
  in.renderer = renderer_.get();
  return in;
}

void TForm1::RunWired(const std::string& component, std::function<void(const Status&)> after) {
  const Wiring* w = FindWiring(component);
  if (!w || !w->command) return;
  CommandInputs inputs = CollectInputs();
  SessionCommand command = w->command;
  Run(
      CommandTitle(component), [command, inputs](Session& s) { return command(s, inputs); },
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
  if (interceptRuns_) {
    interceptRuns_(what);
    return;
  }
  progress_->ResetCancel();
  session_->ClearLastSummary();
  SetBusy(true);
  running_ = what;
  statusBar()->showMessage(what + "…");
  // A command that takes a while shows the progress panel (and its Cancel
  // button) even when it reports no progress of its own.
  QTimer::singleShot(400, this, [this] {
    if (busy() && GroupBox1->isHidden()) {
      ProgressBar1->setRange(0, 0);
      GroupBox1->show();
      UpdateSidePane();
    }
  });
  // What the command adds is found by comparing with the state before it.
  const int rowsBefore = session_->results.first().LastRow();
  const int sheetsBefore = static_cast<int>(autocorrViews_.size());
  const std::string firstSheetBefore =
      sheetsBefore > 0 ? session_->spatialResults.SheetName(1) : std::string();
  Session* session = session_.get();
  // A failure is shown once the command has ended, with the error icon.
  runner_->Start(
      [session, job] { return job(*session); },
      [this, what, after, rowsBefore, sheetsBefore, firstSheetBefore](const Status& status) {
        GroupBox1->hide();
        SetBusy(false);
        running_.clear();
        const QString shownBefore = statusBar()->currentMessage();
        if (after) after(status);
        // A command that says its own outcome (Open) keeps it.
        const bool saidByAfter = statusBar()->currentMessage() != shownBefore;
        Refresh();
        if (status.ok()) KeepShownCharts();
        if (status.cancelled()) {
          statusBar()->showMessage(what + ": cancelled; nothing was written");
        } else if (!status.ok()) {
          if (!saidByAfter) statusBar()->showMessage(what + " failed");
          messages_->Error(status.message());
        } else if (!saidByAfter) {
          ShowOutcome(what, rowsBefore, sheetsBefore, firstSheetBefore);
        }
        session_->NoteChartsShown();
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
  CancelCommand1->setEnabled(busy);
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
  statusBar()->showMessage(running_.isEmpty() ? QString("Cancelling…")
                                              : running_ + ": cancelling…");
}

}  // namespace vireltan::app
