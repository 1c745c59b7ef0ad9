// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/figure_dialog.h"

#include <QtCore/QFileInfo>
#include <QtCore/QSettings>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <algorithm>

namespace vireltan::app {

namespace {
const char* const kFormats[] = {"svg", "png", "pdf"};
}

QString FigureExtension(const FigureOptions& options) {
  if (options.pdf) return ".pdf";
  if (options.png) return ".png";
  return ".svg";
}

FigureDialog::FigureDialog(const QString& what, const std::string& basePath, QWidget* parent)
    : QDialog(parent) {
  setObjectName("FigureDialog");
  setWindowTitle(tr("Save %1").arg(what));
  QSettings settings;
  auto* form = new QFormLayout(this);

  auto* fileRow = new QHBoxLayout;
  file_ = new QLineEdit(QString::fromStdString(basePath), this);
  file_->setObjectName("FigureFile");
  file_->setMinimumWidth(360);
  file_->setToolTip(tr("File name without extension; the extension follows the format"));
  auto* browse = new QPushButton(tr("&Browse\u2026"), this);
  connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse);
  // A row holding a layout gets a label without a buddy, which would show
  // "&File:" as written: the label is made here with the field as buddy.
  auto* fileLabel = new QLabel(tr("&File:"), this);
  fileLabel->setBuddy(file_);
  form->addRow(fileLabel, fileRow);

  format_ = new QComboBox(this);
  format_->setObjectName("FigureFormat");
  format_->addItem(tr("SVG drawing (*.svg), for editing"), "svg");
  format_->addItem(tr("PNG image (*.png), for slides and the web"), "png");
  format_->addItem(tr("PDF page (*.pdf), vector, for print"), "pdf");
  format_->setCurrentIndex(
      std::max(0, format_->findData(settings.value("figure/format", "svg").toString())));
  format_->setToolTip(tr("SVG and PDF keep lines and texts sharp at any size; PNG is an image"));
  form->addRow(tr("F&ormat:"), format_);

  auto spin = [this](const char* name, const QString& tip, double value) {
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(name);
    box->setRange(20, 1000);
    box->setDecimals(0);
    box->setSuffix(" mm");
    box->setValue(value);
    box->setToolTip(tip);
    return box;
  };
  width_ = spin("FigureWidth", tr("Printed width, 20 to 1000 mm (default 160: a page width)"),
                settings.value("figure/width", 160).toDouble());
  height_ = spin("FigureHeight", tr("Printed height, 20 to 1000 mm (default 120)"),
                 settings.value("figure/height", 120).toDouble());
  form->addRow(tr("&Width:"), width_);
  form->addRow(tr("&Height:"), height_);

  dpi_ = new QSpinBox(this);
  dpi_->setObjectName("FigureDpi");
  dpi_->setRange(30, 2400);
  dpi_->setSuffix(" dpi");
  dpi_->setValue(settings.value("figure/dpi", 300).toInt());
  dpi_->setToolTip(
      tr("Dots per inch of the PNG image, 30 to 2400 (default 300, what journals ask)"));
  form->addRow(tr("&Resolution:"), dpi_);
  pixels_ = new QLabel(this);
  pixels_->setWordWrap(true);
  form->addRow(QString(), pixels_);

  auto points = [this](const char* name, const QString& tip, double value) {
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(name);
    box->setRange(4, 24);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(" pt");
    box->setValue(value);
    box->setToolTip(tip);
    return box;
  };
  font_ = points("FigureFontSize",
                 tr("Size of tick labels, legend and notes on paper, 4 to 24 points (default 8)"),
                 settings.value("figure/fontPoints", 8).toDouble());
  title_ = points("FigureTitleSize",
                  tr("Size of the title and axis titles on paper, 4 to 24 points (default 9)"),
                  settings.value("figure/titlePoints", 9).toDouble());
  form->addRow(tr("&Text size:"), font_);
  form->addRow(tr("T&itle size:"), title_);
  showTitle_ = new QCheckBox(tr("Draw the &title (journals put it in the caption)"), this);
  showTitle_->setObjectName("FigureShowTitle");
  showTitle_->setChecked(settings.value("figure/showTitle", true).toBool());
  form->addRow(QString(), showTitle_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    Remember();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);

  connect(format_, &QComboBox::currentIndexChanged, this, [this] { FormatChanged(); });
  connect(width_, &QDoubleSpinBox::valueChanged, this, [this] { FormatChanged(); });
  connect(height_, &QDoubleSpinBox::valueChanged, this, [this] { FormatChanged(); });
  connect(dpi_, &QSpinBox::valueChanged, this, [this] { FormatChanged(); });
  FormatChanged();
}

void FigureDialog::FormatChanged() {
  const FigureOptions o = options();
  dpi_->setEnabled(o.png);
  const Status size = CheckFigureSize(o);
  if (!size) {
    pixels_->setText(QString::fromStdString(size.message()));
    return;
  }
  pixels_->setText(o.png ? tr("%1 \u00d7 %2 pixels")
                               .arg(FigurePixels(o.widthMm, o.dpi))
                               .arg(FigurePixels(o.heightMm, o.dpi))
                         : tr("vector drawing"));
}

void FigureDialog::Browse() {
  const FigureOptions o = options();
  const QString extension = FigureExtension(o);
  QString chosen = QFileDialog::getSaveFileName(this, windowTitle(), file_->text() + extension,
                                                tr("Figure (*%1)").arg(extension));
  if (chosen.isEmpty()) return;
  if (chosen.endsWith(extension, Qt::CaseInsensitive)) chosen.chop(extension.size());
  file_->setText(chosen);
}

void FigureDialog::Remember() const {
  QSettings settings;
  settings.setValue("figure/format", format_->currentData().toString());
  settings.setValue("figure/width", width_->value());
  settings.setValue("figure/height", height_->value());
  settings.setValue("figure/dpi", dpi_->value());
  settings.setValue("figure/fontPoints", font_->value());
  settings.setValue("figure/titlePoints", title_->value());
  settings.setValue("figure/showTitle", showTitle_->isChecked());
}

void FigureDialog::AddCoordinateUnitField(const QString& unit) {
  if (unit_) return;
  unit_ = new QLineEdit(unit, this);
  unit_->setObjectName("FigureCoordinateUnit");
  unit_->setMaxLength(20);
  unit_->setPlaceholderText(tr("coordinate units"));
  unit_->setToolTip(
      tr("Unit of the coordinates, such as m or km, written in the axis titles (\"X (m)\"); "
         "empty: coordinate units. Kept for every distance shown until changed (also File > "
         "Coordinate unit\u2026)"));
  auto* form = static_cast<QFormLayout*>(layout());
  // Above the row of buttons, the last one.
  form->insertRow(form->rowCount() - 1, tr("Coordinate &unit:"), unit_);
}

QString FigureDialog::coordinateUnit() const {
  return unit_ ? unit_->text().trimmed() : QString();
}

std::string FigureDialog::basePath() const {
  QString path = file_->text().trimmed();
  for (const char* f : kFormats) {
    const QString extension = QString(".") + f;
    if (path.endsWith(extension, Qt::CaseInsensitive)) path.chop(extension.size());
  }
  return path.toStdString();
}

FigureOptions FigureDialog::options() const {
  FigureOptions o;
  const QString format = format_->currentData().toString();
  o.svg = format == "svg";
  o.png = format == "png";
  o.pdf = format == "pdf";
  o.widthMm = width_->value();
  o.heightMm = height_->value();
  o.dpi = dpi_->value();
  o.fontPoints = font_->value();
  o.titlePoints = title_->value();
  o.showTitle = showTitle_->isChecked();
  return o;
}

}  // namespace vireltan::app
