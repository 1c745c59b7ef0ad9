// SPDX-License-Identifier: GPL-3.0-or-later
// vireltan-screenshots OUTDIR DATAFILE NAME [POPULATIONS]: drives the window through the
// commands that draw a chart on DATAFILE and saves a picture of the window
// after each, as OUTDIR/NAME-<step>.png, for the README and the user guide
// (scripts/screenshots.sh runs it under a virtual display). Every chart
// drawn is then saved as a figure at a journal column (80 x 60 mm) and a
// page width (170 x 120 mm), as OUTDIR/figures/NAME-<chart>-<size>.png.
// With a POPULATIONS table it loads it and shows the Populations menu's
// commands instead (diversity, F-statistics, Hardy-Weinberg, AMOVA, pairwise
// Fst).
#include <QtCore/QDir>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QSplitter>
#include <cstdio>
#include <functional>

#include "app/main_window.h"

using vireltan::app::TForm1;

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: vireltan-screenshots OUTDIR DATAFILE NAME [POPULATIONS]\n");
    return 2;
  }
  // A fresh window: no remembered size or options.
  QTemporaryDir settings;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[3]);
  QDir().mkpath(outDir);

  vireltan::RecordingMessageSink messages;  // no modal boxes in a tour
  TForm1 form(&messages);
  // The size the window opens at on the screen of the tour (a 1366 x 768
  // laptop): the pictures show what such a user sees.
  form.show();
  int failures = 0;
  auto shot = [&](const char* step) {
    Settle();
    const QString path = outDir + "/" + name + "-" + step + ".png";
    if (!form.grab().save(path)) {
      std::fprintf(stderr, "could not write %s\n", qPrintable(path));
      ++failures;
    }
  };
  auto run = [&](QAction* item) {
    item->trigger();
    form.WaitUntilIdle();
  };
  auto panel = [&](QAction* item, QLineEdit* field, const char* value, QPushButton* go) {
    run(item);
    if (field) field->setText(value);
    go->click();
    form.WaitUntilIdle();
  };

  // Each chart as a figure at two printed sizes.
  auto saveFigures = [&] {
    const QString figures = outDir + "/figures";
    QDir().mkpath(figures);
    const std::vector<TForm1::KeptChart>& kept = form.keptCharts();
    for (int i = 0; i < static_cast<int>(kept.size()); ++i) {
      for (const auto& [width, height] : {std::pair{80.0, 60.0}, std::pair{170.0, 120.0}}) {
        vireltan::FigureOptions options;
        options.svg = false;
        options.png = true;
        options.widthMm = width;
        options.heightMm = height;
        options.dpi = 150;
        const QString base = QString("%1/%2-%3-%4x%5")
                                 .arg(figures, name,
                                      QString::fromStdString(kept[static_cast<size_t>(i)].suffix)
                                          .mid(1)
                                          .replace('.', '-'))
                                 .arg(width)
                                 .arg(height);
        if (vireltan::Status saved = form.SaveKeptChart(i, base.toStdString(), options); !saved) {
          std::fprintf(stderr, "%s\n", saved.message().c_str());
          ++failures;
        }
      }
    }
  };

  form.OpenPath(QString::fromLocal8Bit(argv[2]));
  form.WaitUntilIdle();
  if (!form.session().hasData()) return 1;
  if (argc == 5) {
    // The population-genetics commands on the genets, each with its panel
    // shown over the results it gave.
    const std::string strata = argv[4];
    form.Run("Load populations",
             [strata](vireltan::Session& s) { return s.LoadPopulations(strata); });
    form.WaitUntilIdle();
    // Each command with its panel shown over the results it gave, or with
    // the chart it drew (the ordination, the isolation by distance and the
    // pairwise Fst heat map).
    auto step = [&](QAction* item, const char* prefix, const char* shotName, bool panelAgain,
                    const std::function<void()>& choose) {
      run(item);
      if (auto* mlg = form.findChild<QAbstractButton*>(QString(prefix) + "UnitsMlg"))
        mlg->setChecked(true);
      if (choose) choose();
      form.findChild<QPushButton*>(QString(prefix) + "RunButton")->click();
      form.WaitUntilIdle();
      if (panelAgain) run(item);
      shot(shotName);
    };
    step(form.Geneticdiversity1, "Diversity", "popgen-diversity", true, {});
    step(form.Fstatistics1, "Fstats", "popgen-fstats", true, {});
    step(form.HardyWeinberg1, "Hwe", "popgen-hwe", true, {});
    // The AMOVA's permutation tests kept short.
    step(form.Amova1, "Amova", "popgen-amova", true,
         [&] { form.findChild<QSpinBox*>("AmovaPermutationsSpin")->setValue(99); });
    // The genets, each drawn by the size of its clone.
    step(form.Ordination1, "Ordination", "popgen-ordination", false, [&] {
      form.findChild<QAbstractButton*>("OrdinationPointsGenets")->setChecked(true);
      form.findChild<QAbstractButton*>("OrdinationSizeCheck")->setChecked(true);
    });
    // Only with coordinates.
    if (form.Isolationbydistance1->isEnabled())
      step(form.Isolationbydistance1, "Ibd", "popgen-ibd", false,
           [&] { form.findChild<QSpinBox*>("IbdPermutationsSpin")->setValue(99); });
    step(form.PairwiseFst1, "PairwiseFst", "popgen-pairwise-fst", false, {});
    saveFigures();
    for (const std::string& m : messages.messages) std::fprintf(stderr, "%s\n", m.c_str());
    return failures == 0 ? 0 : 1;
  }
  shot("dataset");
  run(form.Psex1);
  shot("psex");
  run(form.Pareto1);
  shot("pareto");
  if (form.MLGmap1->isEnabled()) {
    run(form.MLGmap1);
    shot("map");
  }
  panel(form.resampling1lloci1, form.Edit4, "200", form.Button4);
  shot("resampling-loci");
  panel(form.resampling1nindividuals1, form.Edit2, "50", form.Button2);
  shot("resampling-units");
  run(form.numberofdistinctalleles1);
  shot("allelic-distances");
  run(form.Matrixofmicrosatellitedistance1);
  shot("microsatellite-distances");
  if (form.Clonalsubrange1->isEnabled()) {
    run(form.Clonalsubrange1);
    form.Button5->click();
    form.Edit3->setText("8");
    form.Button3->click();
    form.WaitUntilIdle();
    shot("subrange");
    run(form.Spatialautocorrelation1);
    form.CheckBox1->click();
    form.CheckBox3->click();
    form.Button9->click();
    form.Edit6->setText("8");
    form.Edit7->setText("99");
    form.Button11->click();
    form.WaitUntilIdle();
    shot("correlogram");
  }
  // Lineages, the network and the test of clonality.
  run(form.Multilocuslineages1);
  form.findChild<QPushButton*>("MllSuggestButton")->click();
  form.WaitUntilIdle();
  form.findChild<QPushButton*>("MllRunButton")->click();
  form.WaitUntilIdle();
  shot("lineages");
  run(form.Minimumspanningnetwork1);
  form.findChild<QPushButton*>("MsnRunButton")->click();
  form.WaitUntilIdle();
  shot("network");
  run(form.Testofclonality1);
  form.findChild<QLineEdit*>("IaPermutationsEdit")->setText("99");
  form.findChild<QPushButton*>("IaRunButton")->click();
  form.WaitUntilIdle();
  shot("clonality");
  // The charts page with every chart kept.
  form.PageControl1->setCurrentWidget(form.findChild<QWidget*>("ChartsPage"));
  form.ChartList->setCurrentRow(0);
  if (auto* splitter = form.findChild<QSplitter*>("MainSplitter")) splitter->setSizes({1000, 360});
  shot("charts");

  // Help > User guide, in its own window.
  form.Userguide1->trigger();
  if (auto* guide = form.findChild<QWidget*>("UserGuideWindow")) {
    Settle();
    guide->grab().save(outDir + "/" + name + "-guide.png");
    guide->close();
  }

  saveFigures();
  for (const std::string& m : messages.messages) std::fprintf(stderr, "%s\n", m.c_str());
  return failures == 0 ? 0 : 1;
}
