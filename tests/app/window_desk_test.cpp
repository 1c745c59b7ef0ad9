// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a desktop program: what the status bar says, where the
// results view goes after a command, copying a block, and a cancelled
// File > Open.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtWidgets/QStatusBar>
#include <cstdlib>
#include <filesystem>

#include "app/table_actions.h"
#include "app/main_window.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

namespace fs = std::filesystem;

class WindowDeskTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(&messages);
  vireltan::testing::TempDir dir;
  QStringList said;  // every status bar text, in order

  void SetUp() override {
    QObject::connect(form->statusBar(), &QStatusBar::messageChanged,
                     [this](const QString& text) { said << text; });
    fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt",
                  dir.path() / "meadow.txt");
    form->OpenPath(QString::fromStdString(dir.file("meadow.txt")));
    form->WaitUntilIdle();
  }
  void Trigger(QAction* action) {
    action->trigger();
    form->WaitUntilIdle();
  }
};

TEST_F(WindowDeskTest, AfterPsexTheResultsShowTheNewBlockSelected) {
  const int before = form->session().results.first().LastRow();
  Trigger(form->Psex1);
  const int after = form->session().results.first().LastRow();
  ASSERT_GT(after, before);
  EXPECT_EQ(form->PageControl1->currentWidget(), form->results);
  const QModelIndexList rows = form->results->selectionModel()->selectedRows();
  ASSERT_FALSE(rows.isEmpty());
  int first = after, last = 0;
  for (const QModelIndex& r : rows)
    first = std::min(first, r.row() + 1), last = std::max(last, r.row() + 1);
  EXPECT_GT(first, before);
  EXPECT_EQ(last, after);
  // Its first row is the top row of the view.
  EXPECT_EQ(form->results->rowAt(0), first - 1);
  EXPECT_TRUE(form->statusBar()->currentMessage().startsWith("Psex: "));
  EXPECT_NE(form->statusBar()->currentMessage().indexOf("rows added to the results"), -1);
}

TEST_F(WindowDeskTest, NoStatusTextNamesAHandler) {
  Trigger(form->Psex1);
  Trigger(form->Pareto1);
  Trigger(form->Combination1lloci1);
  Trigger(form->MLGmap1);
  Trigger(form->Close1);
  ASSERT_GT(said.size(), 5);
  for (const QString& text : said) EXPECT_EQ(text.indexOf("Click"), -1) << text.toStdString();
}

TEST_F(WindowDeskTest, CopyingASelectedBlockGivesTabSeparatedLines) {
  Trigger(form->Psex1);
  QTableView* view = form->results;
  view->clearSelection();
  auto* model = view->model();
  // A 3 x 2 block of the Psex table: every digit, not the 4 shown.
  const int top = form->session().results.first().LastRow() - 3;
  view->selectionModel()->select(QItemSelection(model->index(top, 1), model->index(top + 2, 2)),
                                 QItemSelectionModel::Select);
  const QString tsv = SelectedBlockAsTsv(*view);
  const QStringList lines = tsv.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  for (const QString& line : lines) EXPECT_EQ(line.count('\t'), 1) << line.toStdString();
  const Cell& cell = form->session().results.first().at(top + 1, 2);
  if (cell.isNumber()) EXPECT_EQ(lines[0].section('\t', 0, 0).toDouble(), cell.number());
  view->setFocus();
  for (QAction* a : view->actions())
    if (a->objectName() == "resultsCopy") a->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), tsv);
}

TEST_F(WindowDeskTest, CancelledOpenKeepsTheDatasetAndItsResults) {
  Trigger(form->Psex1);
  const int rows = form->session().results.first().LastRow();
  QTimer::singleShot(0, form->OpenDialog1, [this] { form->OpenDialog1->reject(); });
  form->Open1Click();
  form->WaitUntilIdle();
  EXPECT_TRUE(form->session().hasData());
  EXPECT_EQ(form->session().results.first().LastRow(), rows);
  EXPECT_EQ(form->userswindow->model()->rowCount(), form->session().info().unitCount);
  EXPECT_EQ(form->windowTitle(), "meadow.txt \u2014 Vireltan");
}

// A distance matrix shows its values above a blank diagonal, blanks below
// (the results log keeps its zeros).
TEST_F(WindowDeskTest, DistanceMatrixShowsBlankDiagonalAndLowerTriangle) {
  Trigger(form->numberofdistinctalleles1);
  ASSERT_EQ(form->session().resultsMatrixBlocks().size(), 1u);
  const auto [header, g] = form->session().resultsMatrixBlocks()[0];
  QAbstractItemModel* model = form->results->model();
  for (int j = 1; j <= g; ++j)
    for (int k = 1; k <= g; ++k)
      EXPECT_EQ(model->data(model->index(header + j - 1, k)).isValid(), k > j) << j << "," << k;
  EXPECT_EQ(form->session().results.first().NumberAt(header + 2, 2), 0.0);
}

TEST_F(WindowDeskTest, CloseEmptiesEveryPageWithTheSpatialSheets) {
  form->Edit1->setText("19");
  Trigger(form->Aggregationindex1);
  form->Button1->click();
  form->WaitUntilIdle();
  ASSERT_GT(form->autocorr->count(), 0);
  EXPECT_EQ(form->PageControl1->currentWidget(), form->autocorr);
  Trigger(form->Close1);
  EXPECT_EQ(form->autocorr->count(), 0);
  EXPECT_EQ(form->results->model()->rowCount(), 0);
  EXPECT_EQ(form->windowTitle(), "Vireltan");
}

// The network figure follows the formats and the size asked for, like
// every chart.
TEST(CommandLine, SaveGraphWritesTheNetworkInTheFormatsAndSizeAsked) {
  vireltan::testing::TempDir dir;
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "m.txt");
  const std::string run = std::string("env -u DISPLAY -u QT_QPA_PLATFORM '") + VIRELTAN_CLI_PATH +
                          "' '" + dir.file("m.txt") +
                          "' msn save-graph --format=png,pdf --width=100 --height=80 --dpi=100 "
                          "> /dev/null 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.file("m.msn.svg")));
  EXPECT_TRUE(fs::exists(dir.file("m.msn.pdf")));
  const QImage png(QString::fromStdString(dir.file("m.msn.png")));
  EXPECT_EQ(png.size(), QSize(394, 315));  // 100 x 80 mm at 100 dpi
}

}  // namespace
}  // namespace vireltan::app

namespace vireltan::app {
namespace {

// save-graph writes every chart the run drew, in each format asked for;
// with nothing drawn it says so and fails.
TEST(CommandLine, SaveGraphWritesEveryChartOfTheRunInEachFormat) {
  vireltan::testing::TempDir dir;
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "m.txt");
  const std::string cli = std::string("env -u DISPLAY -u QT_QPA_PLATFORM '") + VIRELTAN_CLI_PATH +
                          "' --seed=1 '" + dir.file("m.txt") + "' ";
  const std::string run = cli +
                          "psex pareto resample-loci --permutations=50 allelic-distance "
                          "save-graph --format=svg,png,pdf > /dev/null 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0);
  for (const char* chart : {".pareto", ".permloc", ".gendist"})
    for (const char* format : {".svg", ".png", ".pdf"})
      EXPECT_TRUE(fs::exists(dir.file(std::string("m") + chart + format))) << chart << format;
  const std::string nothing = cli + "save-graph > /dev/null 2>&1";
  EXPECT_EQ(WEXITSTATUS(std::system(nothing.c_str())), 1);
}

// Designations that look like numbers are shown as the file writes them:
// "2108.1" and "2108.2" both showed as "2108".
TEST_F(WindowDeskTest, TheDataGridShowsDesignationsAsWritten) {
  fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "pramorum_curry.txt", dir.path() / "curry.txt");
  form->OpenPath(QString::fromStdString(dir.file("curry.txt")));
  form->WaitUntilIdle();
  QAbstractItemModel* grid = form->userswindow->model();
  QStringList shown;
  for (int row = 0; row < grid->rowCount(); ++row)
    shown << grid->data(grid->index(row, 0)).toString();
  EXPECT_TRUE(shown.contains("2108.1") && shown.contains("2108.2")) << shown.size();
  EXPECT_FALSE(shown.contains("2108"));
}

}  // namespace
}  // namespace vireltan::app
