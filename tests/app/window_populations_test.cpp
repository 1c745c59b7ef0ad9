// SPDX-License-Identifier: GPL-3.0-or-later
// The Populations menu of the window: each item opens its panel with the
// keyboard in it, Enter runs it, Escape closes it; the comparisons of
// populations wait for a second population; the AMOVA offers the
// hierarchies of the strata table loaded.
#include <gtest/gtest.h>

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QSpinBox>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/tform1.h"
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
                                                    {form->Amova1, "AmovaPanel"}};
  for (const auto& [item, name] : items) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(item->isEnabled());
    item->trigger();
    auto* panel = form->findChild<QGroupBox*>(name);
    ASSERT_FALSE(panel->isHidden());
    ASSERT_NE(form->focusWidget(), nullptr);
    EXPECT_TRUE(panel->isAncestorOf(form->focusWidget()));
    // No lineages yet: the lineage choice says why it is off.
    auto* lineage = panel->findChild<QRadioButton*>(QString(name).chopped(5) + "UnitsMll");
    EXPECT_FALSE(lineage->isEnabled());
    EXPECT_FALSE(lineage->toolTip().isEmpty());
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
  for (QAction* item : {form->Fstatistics1, form->PairwiseFst1, form->Amova1}) {
    EXPECT_FALSE(item->isEnabled());
    EXPECT_FALSE(item->toolTip().isEmpty());
  }
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
