// SPDX-License-Identifier: GPL-3.0-or-later
// Where the output goes and how large a run may be: File > Output folder
// (every output file in a chosen folder instead of beside the data file,
// remembered between runs), and the question asked before an exhaustive
// run of the combinations of loci that would take long (its work grows as
// 2^L).
#include <QtCore/QSettings>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QStatusBar>

#include "app/main_window_parts.h"

namespace vireltan::app {

void TForm1::BuildOutputFolderItems() {
  OutputFolder1 = new QAction("Output &folder\u2026", this);
  OutputFolder1->setObjectName("OutputFolder1");
  OutputFolder1->setToolTip("Write every output file to a folder of your choice");
  File1->insertAction(Close1, OutputFolder1);
  connect(OutputFolder1, &QAction::triggered, this, [this] {
    if (busy()) return;
    const QString chosen = QFileDialog::getExistingDirectory(
        this, "Output folder", QString::fromStdString(session_->outputDirectory()));
    // Cancel keeps the folder chosen before.
    if (chosen.isEmpty()) {
      statusBar()->showMessage("Output folder unchanged");
      return;
    }
    ChooseOutputFolder(chosen);
  });
  OutputBesideData1 = new QAction("Output &beside the data file", this);
  OutputBesideData1->setObjectName("OutputBesideData1");
  OutputBesideData1->setToolTip("Write every output file in the folder of the data file again");
  File1->insertAction(Close1, OutputBesideData1);
  connect(OutputBesideData1, &QAction::triggered, this, [this] {
    if (!busy()) ChooseOutputFolder(QString());
  });
  // Combinations of loci: asked before a run that would take long.
  disconnect(Combination1lloci1, &QAction::triggered, nullptr, nullptr);
  connect(Combination1lloci1, &QAction::triggered, this, [this] {
    if (busy() || !session_->hasData()) return;
    bool force = false;
    const ExhaustiveEstimate estimate = session_->EstimateCombinationLoci();
    if (estimate.tooLarge) {
      const QString question =
          QString(
              "Combinations of loci: %1 subsets of loci, %2 on this computer. Run them "
              "all anyway? (Resampling of loci draws subsets instead and is quick.)")
              .arg(estimate.subsets, 0, 'g', 3)
              .arg(QString::fromStdString(DescribeDuration(estimate.seconds)));
      if (QMessageBox::question(this, kCaption, question) != QMessageBox::Yes) {
        statusBar()->showMessage("Combinations of loci: not run");
        return;
      }
      force = true;
    }
    HidePanels();
    GroupBox8->hide();
    Run(CommandTitle("Combination1lloci1"), [force](Session& s) { return s.CombineLoci(force); });
  });
  const QString saved = QSettings().value("output/folder").toString();
  if (!saved.isEmpty() && !session_->SetOutputDirectory(saved.toStdString()).ok())
    QSettings().remove("output/folder");
}

void TForm1::ChooseOutputFolder(const QString& folder) {
  Status set = session_->SetOutputDirectory(folder.toStdString());
  if (!set) {
    messages_->Show(set.message());
    return;
  }
  QSettings().setValue("output/folder", folder);
  statusBar()->showMessage(folder.isEmpty() ? QString("Output files go beside the data file")
                                            : "Output files go to " + folder);
}

}  // namespace vireltan::app
