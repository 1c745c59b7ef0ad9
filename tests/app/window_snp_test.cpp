// SPDX-License-Identifier: GPL-3.0-or-later
// SNP data in the window: a VCF opens with the sample sheet beside it and
// the data page shows the summary, not a grid of calls; the test of
// clonality runs on the SNPs.
#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDoubleSpinBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <filesystem>
#include <memory>

#include "app/main_window.h"
#include "app/snp_open_dialog.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

using vireltan::testing::TempDir;

TEST(WindowSnp, OpensWithTheSheetBesideAndShowsTheSummary) {
  TempDir dir;
  const std::string source = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/";
  for (const char* f : {"clonal.vcf.gz", "clonal.samples.csv"})
    std::filesystem::copy_file(source + f, dir.file(f));
  RecordingMessageSink messages;
  auto form = std::make_unique<TForm1>(&messages);
  form->OpenPath(QString::fromStdString(dir.file("clonal.vcf.gz")));
  form->WaitUntilIdle();
  Session& s = form->session();
  ASSERT_TRUE(s.hasSnpData());
  EXPECT_EQ(s.info().unitCount, 39);
  EXPECT_EQ(s.info().locusCount, 300);
  EXPECT_TRUE(s.dataset().populationsGiven);  // the sheet was found and joined
  const Sheet& page = s.datasetGrid.first();
  EXPECT_EQ(page.TextAt(1, 1), "SNP data");
  EXPECT_EQ(page.NumberAt(2, 2), 39);
  EXPECT_EQ(page.NumberAt(3, 2), 300);
  // The call-rate classes hold every sample once.
  double samples = 0;
  for (int row = 7; row < 27; ++row) samples += page.NumberAt(row, 3);
  EXPECT_EQ(samples, 39);
  EXPECT_LE(page.LastCol(), 6);
  // The same samples drawn as the call-rate chart above the grid, in
  // classes over the rates met: more than one bar.
  const ChartData& callRates = s.chart(ChartRole::kCallRate);
  ASSERT_EQ(callRates.series.size(), 1u);
  double drawn = 0;
  for (const ChartPoint& p : callRates.series[0].points) drawn += p.y;
  EXPECT_EQ(drawn, 39);
  EXPECT_GT(callRates.series[0].points.size(), 1u);
  EXPECT_GT(callRates.bottom.minimum, 0);
  ASSERT_NE(form->callRateView, nullptr);
  EXPECT_FALSE(form->callRateView->isHidden());
  EXPECT_EQ(form->callRateView->chart()->objectName(), "CallRate");
  EXPECT_FALSE(form->callRateView->chart()->series().isEmpty());

  // MLG > Multilocus lineages, "T from replicates": the 20 true genets.
  form->findChild<QAction*>("Multilocuslineages1")->trigger();
  form->WaitUntilIdle();
  auto* button = form->findChild<QPushButton*>("MllReplicatesButton");
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isEnabled());
  button->click();
  form->WaitUntilIdle();
  EXPECT_EQ(s.lineages().partition.lineageCount, 20);
  // The chart stays on the data page after other commands.
  EXPECT_FALSE(form->callRateView->isHidden());

  // MLG > Test of clonality runs on the SNPs: p-values and a histogram per
  // population and for all samples.
  form->findChild<QAction*>("Testofclonality1")->trigger();
  form->WaitUntilIdle();
  form->findChild<QLineEdit*>("IaPermutationsEdit")->setText("19");
  form->findChild<QPushButton*>("IaRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_GE(s.associationCharts().size(), 2u);
  const Sheet& results = s.results.first();
  bool header = false;
  for (int row = 1; row <= results.LastRow(); ++row)
    header = header || (results.TextAt(row, 12) == "p.Ia" && results.TextAt(row, 14) == "p.rD");
  EXPECT_TRUE(header);
  for (const std::string& m : messages.messages) ADD_FAILURE() << m;

  // An allele table opened next has no call rates: the chart goes.
  std::filesystem::copy_file(std::string(VIRELTAN_EXAMPLES_DIR) + "/seagrass_meadow.txt",
                             dir.file("meadow.txt"));
  form->OpenPath(QString::fromStdString(dir.file("meadow.txt")));
  form->WaitUntilIdle();
  ASSERT_FALSE(s.hasSnpData());
  EXPECT_TRUE(form->callRateView->isHidden());
}

TEST(WindowSnp, OpenDialogGivesSheetAndFilters) {
  SnpOpenOptions current;
  current.filters.minMaf = 0.05;
  // Fill the dialog as a user would, once it shows.
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QLineEdit*>()->setText("/data/study.samples.csv");
    QList<QDoubleSpinBox*> boxes = dialog->findChildren<QDoubleSpinBox*>();
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(boxes[2]->value(), 0.05);  // the current filters are shown
    boxes[0]->setValue(0.9);
    boxes[1]->setValue(0.8);
    dialog->accept();
  });
  std::optional<SnpOpenOptions> chosen =
      AskSnpOpenOptions(nullptr, "/data/study.vcf.gz", "", current);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->samplesPath, "/data/study.samples.csv");
  EXPECT_DOUBLE_EQ(chosen->filters.minCallRateLocus, 0.9);
  EXPECT_DOUBLE_EQ(chosen->filters.minCallRateSample, 0.8);
  EXPECT_DOUBLE_EQ(chosen->filters.minMaf, 0.05);
}

}  // namespace
}  // namespace vireltan::app
