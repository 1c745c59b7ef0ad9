// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/snp_open_dialog.h"

#include <QtCore/QFileInfo>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

namespace vireltan::app {

namespace {

// A fraction from 0 to 1 in steps of 0.01 (0: the filter is off).
QDoubleSpinBox* FractionBox(double value, QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(0, 1);
  box->setDecimals(3);
  box->setSingleStep(0.01);
  box->setSpecialValueText("off");
  box->setValue(value);
  return box;
}

}  // namespace

std::optional<SnpOpenOptions> AskSnpOpenOptions(QWidget* parent, const QString& dataPath,
                                                const QString& suggestedSheet,
                                                const SnpOpenOptions& current) {
  QDialog dialog(parent);
  dialog.setObjectName("SnpOpenDialog");
  dialog.setWindowTitle("Open SNP data: " + QFileInfo(dataPath).fileName());
  auto* layout = new QFormLayout(&dialog);
  auto* sheetRow = new QHBoxLayout;
  auto* sheet = new QLineEdit(suggestedSheet, &dialog);
  sheet->setPlaceholderText("none: no coordinates, one population, no replicates");
  auto* browse = new QPushButton("Choose…", &dialog);
  sheetRow->addWidget(sheet, 1);
  sheetRow->addWidget(browse);
  layout->addRow("Sample sheet (sample, x, y, population, replicate_of)", sheetRow);
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
    const QString chosen = QFileDialog::getOpenFileName(
        &dialog, "Sample sheet",
        sheet->text().isEmpty() ? QFileInfo(dataPath).absolutePath() : sheet->text(),
        "Sample sheets (*.csv *.tsv *.txt *.xlsx *.xls);;All files (*)");
    if (!chosen.isEmpty()) sheet->setText(chosen);
  });
  auto* locus = FractionBox(current.filters.minCallRateLocus, &dialog);
  auto* sample = FractionBox(current.filters.minCallRateSample, &dialog);
  auto* maf = FractionBox(current.filters.minMaf, &dialog);
  layout->addRow("Remove SNPs called in fewer than (share of samples)", locus);
  layout->addRow("Remove samples called at fewer than (share of SNPs)", sample);
  layout->addRow("Remove SNPs with a minor allele frequency below", maf);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  SnpOpenOptions options;
  const QString path = sheet->text().trimmed();
  options.samplesPath = path.isEmpty() ? "" : QFileInfo(path).absoluteFilePath().toStdString();
  options.filters.minCallRateLocus = locus->value();
  options.filters.minCallRateSample = sample->value();
  options.filters.minMaf = maf->value();
  return options;
}

}  // namespace vireltan::app
