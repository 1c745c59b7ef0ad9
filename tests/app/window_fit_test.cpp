// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a laptop: every option panel takes the keyboard (Enter
// runs it, Escape closes it), the window and its Run buttons stay on a
// 1366 x 768 screen at scale factors 1 and 2, and what the data open rule
// out is disabled with the reason in the window's words.
#include <gtest/gtest.h>

#include <QtCore/QSettings>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtGui/QShortcut>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QStatusBar>
#include <filesystem>
#include <memory>

#include "app/main_window.h"
#include "app/main_window_parts.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

namespace fs = std::filesystem;

class WindowFitTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(&messages);
  vireltan::testing::TempDir dir;

  // The cats of 17 colonies: coordinates, and the colonies as populations,
  // so that every item that opens a panel is enabled.
  void OpenColonies() {
    const fs::path data = dir.path() / "cats.txt";
    fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "nancycats_colonies.txt", data,
                  fs::copy_options::overwrite_existing);
    form->OpenPath(QString::fromStdString(data.string()));
    form->WaitUntilIdle();
    const std::string strata =
        std::string(VIRELTAN_TEST_DATA_DIR) + "/peers/popgen/nancycats_colonies.populations.txt";
    form->Run("Load populations", [strata](Session& s) { return s.LoadPopulations(strata); });
    form->WaitUntilIdle();
    messages.messages.clear();  // the notice of missing data on opening
  }
  void OpenSnp() {
    for (const char* f : {"clonal.vcf.gz", "clonal.samples.csv"})
      fs::copy_file(fs::path(VIRELTAN_TEST_DATA_DIR) / "snp" / f, dir.path() / f);
    form->OpenPath(QString::fromStdString(dir.file("clonal.vcf.gz")));
    form->WaitUntilIdle();
  }
  // The option panel on show (the progress panel aside), if any.
  QGroupBox* ShownPanel() {
    for (QGroupBox* panel :
         form->findChild<QWidget*>("Panels")->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
      if (!panel->isHidden() && panel != form->GroupBox1) return panel;
    return nullptr;
  }
  void Key(int key) {
    QWidget* target = form->focusWidget() ? form->focusWidget() : form.get();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::processEvents();
  }
  QAction* Item(const char* name) { return form->findChild<QAction*>(name); }
  // True when the keyboard is in a panel on show.
  bool FocusInShownPanel() {
    QWidget* focus = form->focusWidget();
    for (QWidget* w = focus; w; w = w->parentWidget())
      if (auto* panel = qobject_cast<QGroupBox*>(w))
        if (panel->parentWidget() == form->findChild<QWidget*>("Panels")) return !panel->isHidden();
    return false;
  }
};

TEST_F(WindowFitTest, EveryPanelTakesTheKeyboardEnterRunsItAndEscapeClosesIt) {
  form->show();
  OpenColonies();
  QStringList runs;
  form->InterceptRuns([&runs](const QString& what) { runs << what; });
  for (const PanelOpener& opener : PanelOpeners()) {
    SCOPED_TRACE(opener.menuItem);
    QAction* item = Item(opener.menuItem);
    ASSERT_TRUE(item->isEnabled()) << item->toolTip().toStdString();
    // Escape closes the panel just opened.
    item->trigger();
    QGroupBox* panel = ShownPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(form->focusWidget(), nullptr);
    EXPECT_TRUE(panel->isAncestorOf(form->focusWidget()))
        << form->focusWidget()->objectName().toStdString();
    Key(Qt::Key_Escape);
    EXPECT_TRUE(panel->isHidden()) << panel->objectName().toStdString();

    // Enter runs it, through the panels that lead to the run (the
    // autocorrelation's choices, the subrange's kind of classes).
    item->trigger();
    form->CheckBox1->setChecked(true);
    form->CheckBox3->setChecked(true);
    const qsizetype before = runs.size();
    for (int step = 0; step < 3 && runs.size() == before; ++step) {
      QGroupBox* shown = ShownPanel();
      ASSERT_NE(shown, nullptr) << "no panel after step " << step;
      EXPECT_TRUE(FocusInShownPanel()) << shown->objectName().toStdString();
      Key(Qt::Key_Return);
    }
    EXPECT_EQ(runs.size(), before + 1) << "Enter did not run " << opener.menuItem;
  }
  EXPECT_TRUE(messages.messages.empty()) << messages.messages.front();
}

// The window, its status bar and the Run buttons of every panel lie on
// each screen (1366 x 768 at scale factors 1 and 2), and no panel makes the
// window wider.
TEST_F(WindowFitTest, WindowAndRunButtonsStayOnALaptopScreen) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  int checked = 0;
  for (QScreen* screen : screens) {
    const QRect area = screen->availableGeometry();
    if (area.width() > 1366 || area.height() > 768) continue;
    SCOPED_TRACE(screen->name().toStdString());
    ++checked;
    auto window = std::make_unique<TForm1>(&messages);
    window->setScreen(screen);
    window->move(area.topLeft());
    window->show();
    QApplication::processEvents();
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
    form.swap(window);
    OpenColonies();
    const QSize opened = form->size();
    auto onScreen = [&](QWidget* w) {
      return area.contains(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
    };
    EXPECT_TRUE(onScreen(form->statusBar()));
    form->InterceptRuns([](const QString&) {});
    for (const PanelOpener& opener : PanelOpeners()) {
      Item(opener.menuItem)->trigger();
      QApplication::processEvents();
      EXPECT_EQ(form->size(), opened) << opener.menuItem;
      EXPECT_TRUE(area.contains(form->frameGeometry())) << opener.menuItem;
      EXPECT_TRUE(onScreen(form->statusBar())) << opener.menuItem;
      for (QPushButton* button : ShownPanel()->findChildren<QPushButton*>())
        if (button->isVisible())
          EXPECT_TRUE(onScreen(button))
              << opener.menuItem << " " << button->objectName().toStdString();
    }
    form.swap(window);
  }
  if (checked == 0) GTEST_SKIP() << "no screen of 1366 x 768 or less on this platform";
  // The test platform's two laptop screens (scale factors 1 and 2).
  if (screens.size() == 2) EXPECT_EQ(checked, 2);
}

// A size and place remembered from a larger screen are brought back
// within this one.
TEST_F(WindowFitTest, RestoredGeometryIsClampedToTheScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  {
    TForm1 large(&messages);
    large.show();
    large.setGeometry(area.x() + 600, area.y() + 500, area.width() + 500, area.height() + 400);
    QSettings().setValue("window/geometry", large.saveGeometry());
  }
  TForm1 again(&messages);
  again.show();
  QApplication::processEvents();
  QSettings().remove("window/geometry");
  EXPECT_TRUE(area.contains(again.frameGeometry()))
      << again.frameGeometry().x() << "," << again.frameGeometry().y() << " "
      << again.frameGeometry().width() << "x" << again.frameGeometry().height();
}

// Items the kind of data rules out, with a reason free of command-line
// words; the session's own list decides for SNP data.
TEST_F(WindowFitTest, WhatTheDataRuleOutIsDisabledWithAReason) {
  struct Case {
    bool snp;
    std::vector<const char*> disabled;
    std::vector<const char*> enabled;
  };
  const Case cases[] = {
      {true,
       {"Quorvex1", "Arlequin1", "Genepop1", "Combination1lloci1", "Combination1nindfividuals1",
        "resampling1lloci1", "resampling1nindividuals1", "Psex1", "Matrixofmicrosatellitedistance1",
        "Unitstable1", "Loadpopulations1"},
       {"Vcf1", "GenAlEx1", "Multilocuslineages1", "diversityindices1", "Populationsummary1"}},
      {false, {"Vcf1"}, {"Quorvex1", "Combination1lloci1", "Multilocuslineages1", "Genepop1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.snp ? "SNP data" : "microsatellites");
    form = std::make_unique<TForm1>(&messages);
    if (c.snp) {
      OpenSnp();
    } else {
      OpenColonies();
    }
    for (const char* name : c.disabled) {
      QAction* item = Item(name);
      EXPECT_FALSE(item->isEnabled()) << name;
      EXPECT_FALSE(item->toolTip().isEmpty()) << name;
      EXPECT_FALSE(item->toolTip().contains("--")) << name;
    }
    for (const char* name : c.enabled) EXPECT_TRUE(Item(name)->isEnabled()) << name;
    // T from replicates: SNP data only.
    form->Multilocuslineages1->trigger();
    auto* replicates = form->findChild<QPushButton*>("MllReplicatesButton");
    EXPECT_EQ(replicates->isEnabled(), c.snp);
    EXPECT_FALSE(replicates->toolTip().isEmpty());
    EXPECT_FALSE(replicates->toolTip().contains("--"));
    // No menu item's tooltip names an option of the command line.
    for (QAction* item : form->findChildren<QAction*>())
      EXPECT_FALSE(item->toolTip().contains("--")) << item->objectName().toStdString();
  }
}

// Counting lineages needs lineages: disabled until they are grouped.
TEST_F(WindowFitTest, CountingLineagesWaitsForTheLineages) {
  OpenColonies();
  EXPECT_FALSE(form->Countlineages1->isEnabled());
  EXPECT_TRUE(form->Countlineages1->toolTip().contains("Multilocus lineages"));
}

// The session's messages in the window name menu paths: a refused export
// of SNP data says Format > VCF, not the command-line command.
TEST_F(WindowFitTest, SessionMessagesInTheWindowNameMenuPaths) {
  OpenColonies();
  const Status refused = form->session().ExportSnpVcf(false);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.message().find("Format > VCF"), std::string::npos) << refused.message();
  EXPECT_EQ(refused.message().find("export-vcf"), std::string::npos);
}

}  // namespace
}  // namespace vireltan::app

namespace vireltan::app {
namespace {

// The status bar says what a command found; the charts page a word before
// any chart; the autocorrelation runs on the entire dataset alone; Ctrl+Tab
// turns the pages.
TEST_F(WindowFitTest, FeedbackInWords) {
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "m.txt");
  form->OpenPath(QString::fromStdString(dir.file("m.txt")));
  form->WaitUntilIdle();
  auto* charts = form->findChild<QWidget*>("NoChartYet");
  ASSERT_NE(charts, nullptr);
  EXPECT_TRUE(charts->isVisibleTo(charts->parentWidget()));

  form->Multilocuslineages1->trigger();
  form->findChild<QPushButton*>("MllRunButton")->click();
  form->WaitUntilIdle();
  const QString said = form->statusBar()->currentMessage();
  EXPECT_TRUE(said.contains(" lineages of ") && said.contains("at T = 1")) << said.toStdString();
  EXPECT_FALSE(said.contains("rows added")) << said.toStdString();

  form->Spatialautocorrelation1Click();
  form->CheckBox1->setChecked(true);
  form->findChild<QRadioButton*>("AutocorrelationEntireOnly")->setChecked(true);
  messages.messages.clear();
  form->Button9Click();
  EXPECT_TRUE(messages.messages.empty()) << messages.messages.front();
  EXPECT_FALSE(form->GroupBox10->isHidden());

  bool nextPage = false;
  for (QShortcut* shortcut : form->findChildren<QShortcut*>())
    nextPage = nextPage || shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_Tab);
  EXPECT_TRUE(nextPage);
}

}  // namespace
}  // namespace vireltan::app
