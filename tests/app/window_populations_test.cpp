// SPDX-License-Identifier: GPL-3.0-or-later
// The Populations menu of the window: each item opens its panel with the
// keyboard in it, Enter runs it, Escape closes it; the comparisons of
// populations wait for a second population; the AMOVA offers the
// hierarchies of the strata table loaded; the ordination and the isolation
// by distance draw their charts, the latter only with coordinates.
#include <gtest/gtest.h>

#include <QtCharts/QChartView>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QSpinBox>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

namespace fs = std::filesystem;

class WindowPopulationsTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(&messages);
  vireltan::testing::TempDir dir;

  // A copy of the forest and nursery sample (its results go beside it),
  // its units dealt in turn into `populations` populations.
  // With `regions`, a header row and a third column: the populations dealt
  // in turn into that many regions.
  void OpenWithPopulations(int populations, int regions = 0,
                           const char* sample = "pramorum_forest_nursery_nocoords.txt") {
    const fs::path data = dir.path() / "forest.txt";
    fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / sample, data);
    form->OpenPath(QString::fromStdString(data.string()));
    form->WaitUntilIdle();
    std::ifstream in(data);
    std::ofstream strata(dir.path() / "strata.txt");
    std::string line;
    std::getline(in, line);
    if (regions > 0) strata << "designation\tPopulation\tRegion\n";
    for (int unit = 0; std::getline(in, line); ++unit) {
      strata << line.substr(0, line.find('\t')) << "\tsite" << unit % populations;
      if (regions > 0) strata << "\tregion" << unit % populations % regions;
      strata << '\n';
    }
    strata.close();
    const std::string file = dir.file("strata.txt");
    form->Run("Load populations", [file](Session& s) { return s.LoadPopulations(file); });
    form->WaitUntilIdle();
  }
  void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  }
};

TEST_F(WindowPopulationsTest, EachItemOpensItsPanelEnterRunsItEscapeClosesIt) {
  OpenWithPopulations(2);
  ASSERT_EQ(form->session().dataset().populationCount(), 2);
  const std::pair<QAction*, const char*> items[] = {{form->Geneticdiversity1, "DiversityPanel"},
                                                    {form->Fstatistics1, "FstatsPanel"},
                                                    {form->PairwiseFst1, "PairwiseFstPanel"},
                                                    {form->HardyWeinberg1, "HwePanel"},
                                                    {form->Amova1, "AmovaPanel"},
                                                    {form->Ordination1, "OrdinationPanel"}};
  for (const auto& [item, name] : items) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    auto* panel = form->findChild<QGroupBox*>(name);
    ASSERT_FALSE(panel->isHidden());
    ASSERT_NE(form->focusWidget(), nullptr);
    EXPECT_TRUE(panel->isAncestorOf(form->focusWidget()));
    // No lineages yet: the lineage choice says why it is off.
    if (auto* lineage = panel->findChild<QRadioButton*>(QString(name).chopped(5) + "UnitsMll")) {
      EXPECT_FALSE(lineage->isEnabled());
      EXPECT_FALSE(lineage->toolTip().isEmpty());
    }
    // Enter runs it: the results grow, or a message says why they did not.
    const int rows = form->session().results.first().LastRow();
    const std::size_t said = messages.messages.size();
    Key(form->focusWidget(), Qt::Key_Return);
    form->WaitUntilIdle();
    EXPECT_TRUE(panel->isHidden());
    EXPECT_TRUE(form->session().results.first().LastRow() > rows ||
                messages.messages.size() > said);
    item->trigger();
    Key(form->focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(panel->isHidden());
  }
  // Clones break Hardy–Weinberg by themselves: one unit per MLG unless asked.
  EXPECT_TRUE(form->findChild<QRadioButton*>("HweUnitsMlg")->isChecked());
  EXPECT_TRUE(form->findChild<QRadioButton*>("DiversityUnitsAll")->isChecked());
}

TEST_F(WindowPopulationsTest, ComparisonsOfPopulationsWaitForASecondOne) {
  OpenWithPopulations(1);
  EXPECT_TRUE(form->Geneticdiversity1->isEnabled());
  EXPECT_TRUE(form->HardyWeinberg1->isEnabled());
  for (QAction* item : {form->Fstatistics1, form->PairwiseFst1, form->Amova1, form->SharedMlgs1}) {
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(item->toolTip().isEmpty());
  }
  // The ordination runs on the units or genets of one population, not
  // between populations.
  EXPECT_TRUE(form->Ordination1->isEnabled());
  auto* populations = form->findChild<QRadioButton*>("OrdinationPointsPopulations");
  EXPECT_FALSE(populations->isEnabled());
  EXPECT_FALSE(populations->toolTip().isEmpty());
  // The sites have no coordinates: no isolation by distance.
  EXPECT_FALSE(form->Isolationbydistance1->isEnabled());
  EXPECT_TRUE(form->Isolationbydistance1->toolTip().contains("coordinates"));
}

TEST_F(WindowPopulationsTest, SharedMlgsRunAtOnce) {
  OpenWithPopulations(2);
  ASSERT_TRUE(form->SharedMlgs1->isEnabled());
  const int rows = form->session().results.first().LastRow();
  const std::size_t said = messages.messages.size();
  form->SharedMlgs1->trigger();
  form->WaitUntilIdle();
  EXPECT_TRUE(form->session().results.first().LastRow() > rows || messages.messages.size() > said);
  for (QGroupBox* panel : form->findChildren<QGroupBox*>()) {
    if (panel->objectName().endsWith("Panel"))
      EXPECT_TRUE(panel->isHidden()) << panel->objectName().toStdString();
  }
}

TEST_F(WindowPopulationsTest, OrdinationOfGenetsDrawsItsChart) {
  OpenWithPopulations(2);
  form->Ordination1->trigger();
  auto* size = form->findChild<QCheckBox*>("OrdinationSizeCheck");
  // Only genets are sized by their clone.
  EXPECT_FALSE(size->isEnabled());
  EXPECT_FALSE(size->toolTip().isEmpty());
  form->findChild<QRadioButton*>("OrdinationPointsGenets")->setChecked(true);
  EXPECT_TRUE(size->isEnabled());
  size->setChecked(true);
  auto* axes = form->findChild<QSpinBox*>("OrdinationAxesSpin");
  EXPECT_EQ(axes->minimum(), 2);
  EXPECT_EQ(axes->maximum(), 50);
  EXPECT_EQ(axes->value(), 10);
  // Between populations no distance between units is computed.
  auto* distance = form->findChild<QWidget*>("OrdinationDistanceRow");
  EXPECT_TRUE(distance->isEnabled());
  form->findChild<QRadioButton*>("OrdinationPointsPopulations")->setChecked(true);
  EXPECT_FALSE(distance->isEnabled());
  EXPECT_FALSE(distance->toolTip().isEmpty());
  form->findChild<QRadioButton*>("OrdinationPointsGenets")->setChecked(true);
  const int rows = form->session().results.first().LastRow();
  form->findChild<QPushButton*>("OrdinationRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_GT(form->session().results.first().LastRow(), rows);
  EXPECT_TRUE(form->session().chart(ChartRole::kOrdination).visible);
  auto* view = form->findChild<QChartView*>("ordinationChart");
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isHidden());
}

TEST_F(WindowPopulationsTest, IsolationByDistanceAmongColoniesDrawsItsScatter) {
  const fs::path data = dir.path() / "cats.txt";
  fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "nancycats_colonies.txt", data);
  form->OpenPath(QString::fromStdString(data.string()));
  form->WaitUntilIdle();
  auto* among = form->findChild<QRadioButton*>("IbdAmongPopulations");
  // One population until the colonies are loaded.
  ASSERT_TRUE(form->Isolationbydistance1->isEnabled());
  EXPECT_FALSE(among->isEnabled());
  EXPECT_FALSE(among->toolTip().isEmpty());
  const std::string file =
      std::string(VIRELTAN_TEST_DATA_DIR) + "/peers/popgen/nancycats_colonies.populations.txt";
  form->Run("Load populations", [file](Session& s) { return s.LoadPopulations(file); });
  form->WaitUntilIdle();
  ASSERT_GE(form->session().dataset().populationCount(), 2);
  EXPECT_TRUE(among->isEnabled());

  form->Isolationbydistance1->trigger();
  auto* panel = form->findChild<QGroupBox*>("IbdPanel");
  ASSERT_FALSE(panel->isHidden());
  auto* permutations = form->findChild<QSpinBox*>("IbdPermutationsSpin");
  EXPECT_EQ(permutations->value(), 999);
  ASSERT_NE(form->focusWidget(), nullptr);
  EXPECT_TRUE(panel->isAncestorOf(form->focusWidget()));
  Key(form->focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(panel->isHidden());

  form->Isolationbydistance1->trigger();
  among->setChecked(true);
  EXPECT_FALSE(form->findChild<QWidget*>("IbdDistanceRow")->isEnabled());
  permutations->setValue(99);
  form->findChild<QCheckBox*>("IbdSpearmanCheck")->setChecked(true);
  const int rows = form->session().results.first().LastRow();
  Key(form->focusWidget(), Qt::Key_Return);
  form->WaitUntilIdle();
  EXPECT_TRUE(panel->isHidden());
  EXPECT_GT(form->session().results.first().LastRow(), rows);
  EXPECT_TRUE(form->session().chart(ChartRole::kIsolationByDistance).visible);
  auto* view = form->findChild<QChartView*>("isolationChart");
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->isHidden());

  // Among the units, the allelic distance.
  form->Isolationbydistance1->trigger();
  form->findChild<QRadioButton*>("IbdAmongUnits")->setChecked(true);
  EXPECT_TRUE(form->findChild<QWidget*>("IbdDistanceRow")->isEnabled());
  const int before = form->session().results.first().LastRow();
  form->findChild<QPushButton*>("IbdRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_GT(form->session().results.first().LastRow(), before);
}

TEST(WindowPopulationsSnp, OrdinationOfSnpsComputesComponentsInsteadOfADistance) {
  vireltan::testing::TempDir dir;
  const std::string source = std::string(VIRELTAN_TEST_DATA_DIR) + "/snp/";
  for (const char* f : {"clonal.vcf.gz", "clonal.samples.csv"})
    fs::copy_file(source + f, dir.file(f));
  RecordingMessageSink messages;
  auto form = std::make_unique<TForm1>(&messages);
  form->OpenPath(QString::fromStdString(dir.file("clonal.vcf.gz")));
  form->WaitUntilIdle();
  ASSERT_TRUE(form->session().hasSnpData());
  for (const char* prefix : {"Ordination", "Ibd"}) {
    SCOPED_TRACE(prefix);
    auto* row = form->findChild<QWidget*>(QString(prefix) + "DistanceRow");
    EXPECT_FALSE(row->isEnabled());
    EXPECT_TRUE(row->toolTip().contains("SNP"));
    EXPECT_FALSE(form->findChild<QRadioButton*>(QString(prefix) + "DistanceMicrosat")->isEnabled());
  }
  EXPECT_TRUE(form->findChild<QWidget*>("OrdinationDistanceRow")
                  ->toolTip()
                  .contains("principal components"));
  form->Ordination1->trigger();
  const int rows = form->session().results.first().LastRow();
  const std::size_t said = messages.messages.size();
  form->findChild<QPushButton*>("OrdinationRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_TRUE(form->session().results.first().LastRow() > rows || messages.messages.size() > said);
}

TEST_F(WindowPopulationsTest, AmovaOffersTheHierarchiesOfTheStrataTable) {
  OpenWithPopulations(4, 2);
  auto* hierarchy = form->findChild<QComboBox*>("AmovaHierarchyCombo");
  // Each population lies in one region, a region holds two populations.
  ASSERT_EQ(hierarchy->count(), 2);
  EXPECT_EQ(hierarchy->itemText(0), "Populations");
  EXPECT_EQ(hierarchy->itemText(1), "Region / Population");
  EXPECT_TRUE(hierarchy->isEnabled());
  form->Amova1->trigger();
  hierarchy->setCurrentIndex(1);
  form->findChild<QSpinBox*>("AmovaPermutationsSpin")->setValue(9);
  const int rows = form->session().results.first().LastRow();
  form->findChild<QPushButton*>("AmovaRunButton")->click();
  form->WaitUntilIdle();
  EXPECT_GT(form->session().results.first().LastRow(), rows);
  // The choice stays while the table does.
  EXPECT_EQ(hierarchy->currentText(), "Region / Population");
  EXPECT_TRUE(form->findChild<QCheckBox*>("AmovaWithinCheck")->isEnabled());
}

TEST_F(WindowPopulationsTest, AmovaOffersThePopulationsAloneAndNoSplitOfHaploids) {
  OpenWithPopulations(2, 0, "monilinia_haploid.txt");
  auto* hierarchy = form->findChild<QComboBox*>("AmovaHierarchyCombo");
  EXPECT_EQ(hierarchy->count(), 1);
  EXPECT_FALSE(hierarchy->isEnabled());
  EXPECT_FALSE(hierarchy->toolTip().isEmpty());
  auto* within = form->findChild<QCheckBox*>("AmovaWithinCheck");
  EXPECT_FALSE(within->isEnabled());
  EXPECT_FALSE(within->toolTip().isEmpty());
}

}  // namespace
}  // namespace vireltan::app
