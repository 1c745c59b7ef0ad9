// SPDX-License-Identifier: GPL-3.0-or-later
// File commands: Open (dialog, a path given at start, a dropped file), Close,
// Quit, and the About panel.
#include <QtCore/QFileInfo>
#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QCloseEvent>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QStatusBar>
#include <QtWidgets/QVBoxLayout>
#include <cstring>

#include "app/snp_open_dialog.h"
#include "app/main_window_parts.h"
#include "dataset/snp/snp_study.h"

namespace vireltan::app {

namespace {

// The sample sheet a SNP data file has beside it: NAME.samples.csv (or
// .tsv, .txt, .xlsx, .xls), NAME the file name without its SNP extension;
// empty when there is none.
QString SampleSheetBeside(const QString& dataPath) {
  const QFileInfo info(dataPath);
  QString name = info.fileName();
  for (const char* ext : {".vcf.gz", ".vcf.bgz", ".vcf", ".bcf", ".bed"})
    if (name.endsWith(ext, Qt::CaseInsensitive)) {
      name.chop(static_cast<int>(std::strlen(ext)));
      break;
    }
  for (const char* ext :
       {".samples.csv", ".samples.tsv", ".samples.txt", ".samples.xlsx", ".samples.xls"}) {
    const QString candidate = info.dir().filePath(name + ext);
    if (QFileInfo(candidate).isFile()) return candidate;
  }
  return {};
}

}  // namespace

void TForm1::ResetAfterOpen() {
  HidePanels();
  GroupBox8->hide();
  for (QPushButton* b : {Button1, Button2, Button3, Button4, Button5, Button6, Button7})
    b->setEnabled(false);
  ClearAutocorrelationChoices();
  // The charts kept belong to the previous dataset.
  ClearKeptCharts();
}

void TForm1::Open1Click() {
  if (busy()) return;
  // The loaded dataset and its results stay until a file is chosen and
  // read: a cancelled dialog or a file that fails to load loses nothing.
  if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
  const QString path = OpenDialog1->selectedFiles().constFirst();
  // SNP data: the sample sheet and the filters; Cancel keeps what is loaded.
  std::optional<SnpOpenOptions> chosen;
  if (IsSnpDataPath(path.toStdString())) {
    chosen = AskSnpOpenOptions(this, path, SampleSheetBeside(path), session_->snpOpenOptions());
    if (!chosen) return;
  }
  OpenFile(path, chosen);
}

void TForm1::OpenPath(const QString& path) {
  if (busy()) return;
  OpenFile(path);
}

void TForm1::OpenFile(const QString& path, const std::optional<SnpOpenOptions>& chosen) {
  const std::string file = QFileInfo(path).absoluteFilePath().toStdString();
  if (IsSnpDataPath(file)) {
    // SNP data take their sample information from a sample sheet (columns
    // sample, x, y, population, replicate_of); without one the samples
    // have no coordinates, one population and no replicates.
    // The filters stay as last chosen.
    SnpOpenOptions options = session_->snpOpenOptions();
    if (chosen) {
      options = *chosen;
    } else {
      const QString sheet = SampleSheetBeside(path);
      options.samplesPath =
          sheet.isEmpty() ? "" : QFileInfo(sheet).absoluteFilePath().toStdString();
    }
    session_->SetSnpOpenOptions(options);
  }
  OpenDialog1->setDirectory(QFileInfo(path).absolutePath());
  Run(
      "Opening " + QFileInfo(path).fileName(), [file](Session& s) { return s.Open(file); },
      [this, path](const Status& status) {
        if (!status.ok()) {
          // The session kept what was loaded before; say so beside the
          // message box that tells what failed.
          if (!status.cancelled() && session_->hasData())
            statusBar()->showMessage(
                QString("%1 could not be opened; %2 stays loaded")
                    .arg(QFileInfo(path).fileName(),
                         QFileInfo(QString::fromStdString(session_->info().dataFilePath))
                             .fileName()));
          return;
        }
        ResetAfterOpen();
        AddRecentFile(path);
        const Session& s = *session_;
        statusBar()->showMessage(QString("%1 opened: %2 sampling units, %3 loci, %4 MLGs")
                                     .arg(QString::fromStdString(s.info().datasetName))
                                     .arg(s.info().unitCount)
                                     .arg(s.info().locusCount)
                                     .arg(s.info().mlgCount));
      });
}

void TForm1::Close1Click() {
  Run(
      "Closing", [](Session& s) { return s.Close(); },
      [this](const Status&) {
        HidePanels();
        session_->HideCharts();
        Label1->hide();
        ClearKeptCharts();
      });
}

void TForm1::Quit1Click() {
  if (busy()) return;
  Run(
      "Quitting", [](Session& s) { return s.Quit(); },
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
  SaveSettings();
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

void TForm1::Button8Click() {
  Button8->setEnabled(false);
  GroupBox8->hide();
  UpdateSidePane();
}

}  // namespace vireltan::app
