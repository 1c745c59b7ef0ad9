// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/population_dialogs.h"

#include <QtGui/QAction>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <optional>

#include "app/main_window.h"

namespace vireltan::app {

namespace {

// All units (false), clone-corrected (true), or cancelled.
std::optional<bool> AskCloneCorrection(QWidget* parent, const QString& format) {
  QMessageBox box(QMessageBox::Question, format,
                  "Write all sampling units, or one unit per MLG per population "
                  "(clone-corrected)?",
                  QMessageBox::Cancel, parent);
  QPushButton* all = box.addButton("All units", QMessageBox::AcceptRole);
  QPushButton* corrected = box.addButton("Clone-corrected", QMessageBox::AcceptRole);
  box.setDefaultButton(all);
  box.exec();
  if (box.clickedButton() == all) return false;
  if (box.clickedButton() == corrected) return true;
  return std::nullopt;
}

struct SummaryChoice {
  int rarefyTo = 0;
  bool cloneCorrect = false;
  bool sortPopulations = false;
};

std::optional<SummaryChoice> AskSummaryOptions(QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Population summary");
  auto* layout = new QFormLayout(&dialog);
  auto* rarefy = new QSpinBox(&dialog);
  rarefy->setRange(0, 1000000000);
  rarefy->setSpecialValueText("smallest population, but at least 10 (as poppr)");
  auto* corrected = new QCheckBox("one unit per MLG per population", &dialog);
  layout->addRow("eMLG for a subsample of n =", rarefy);
  layout->addRow("Clone-corrected", corrected);
  auto* sorted = new QCheckBox("by name (else in file order, as poppr keeps them)", &dialog);
  layout->addRow("Populations", sorted);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return SummaryChoice{rarefy->value(), corrected->isChecked(), sorted->isChecked()};
}

}  // namespace

void ConnectPopulationCommands(TForm1& form) {
  auto connectItem = [&form](const char* name, std::function<void()> handler) {
    if (auto* item = form.findChild<QAction*>(name))
      QObject::connect(item, &QAction::triggered, &form, [&form, handler] {
        if (!form.busy()) handler();
      });
  };
  connectItem("Loadpopulations1", [&form] {
    const QString path = QFileDialog::getOpenFileName(
        &form, "Load populations", QString::fromStdString(form.session().info().dataDirectory),
        "Tables (*.txt *.csv *.tsv *.xlsx *.xls);;All files (*)");
    if (path.isEmpty()) return;
    const std::string file = path.toStdString();
    form.Run("Load populations", [file](Session& s) { return s.LoadPopulations(file); });
  });
  connectItem("Populationsummary1", [&form] {
    std::optional<SummaryChoice> choice = AskSummaryOptions(&form);
    if (!choice) return;
    const SummaryChoice c = *choice;
    form.Run("Population summary", [c](Session& s) {
      return s.PopulationSummary(c.rarefyTo, c.cloneCorrect, c.sortPopulations);
    });
  });
  connectItem("Unitstable1",
              [&form] { form.Run("Units table", [](Session& s) { return s.WriteUnitsTable(); }); });
  connectItem("GenAlEx1", [&form] {
    std::optional<bool> corrected = AskCloneCorrection(&form, "GenAlEx");
    if (!corrected) return;
    const bool c = *corrected;
    form.Run("GenAlEx", [c](Session& s) { return s.ExportGenAlEx(c); });
  });
  connectItem("Vcf1", [&form] {
    std::optional<bool> corrected = AskCloneCorrection(&form, "VCF");
    if (!corrected) return;
    const bool c = *corrected;
    form.Run("VCF", [c](Session& s) { return s.ExportSnpVcf(c); });
  });
  connectItem("Genepop1", [&form] {
    std::optional<bool> corrected = AskCloneCorrection(&form, "Genepop");
    if (!corrected) return;
    const bool c = *corrected;
    form.Run("Genepop", [c](Session& s) { return s.ExportGenepop(c); });
  });
}

}  // namespace vireltan::app
