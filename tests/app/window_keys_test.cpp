// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard of the main window (no Alt letter shared within what is
// reachable at once; Enter runs a panel, Escape closes it) and the guide.
#include <gtest/gtest.h>

#include <QtGui/QKeyEvent>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QTextBrowser>
#include <filesystem>
#include <map>

#include "app/main_window.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

// Adds the mnemonic of `text` ("Save &map": M; "&&" is a literal) to
// `scope`; a letter already there is a clash.
void Claim(std::map<QChar, QString>& scope, const QString& text, const QString& where) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[++i] == '&') continue;
    auto [it, added] = scope.emplace(text[i].toUpper(), text);
    EXPECT_TRUE(added) << where.toStdString() << ": \"" << text.toStdString() << "\" and \""
                       << it->second.toStdString() << "\"";
    return;
  }
}

void CheckMenu(QMenu* menu) {
  std::map<QChar, QString> items;
  for (QAction* item : menu->actions()) {
    Claim(items, item->text(), menu->title());
    if (item->menu()) CheckMenu(item->menu());
  }
}

class WindowKeysTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(&messages);
  void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  }
};

TEST_F(WindowKeysTest, NoMnemonicIsSharedWithinWhatIsReachableAtOnce) {
  // The menu titles and page tabs answer everywhere; each option panel is
  // shown alone beside them.
  std::map<QChar, QString> window;
  for (QAction* title : form->menuBar()->actions()) {
    Claim(window, title->text(), "menu bar");
    CheckMenu(title->menu());
  }
  for (int i = 0; i < form->PageControl1->count(); ++i)
    Claim(window, form->PageControl1->tabText(i), "pages");
  for (QGroupBox* panel :
       form->findChild<QWidget*>("Panels")->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) {
    std::map<QChar, QString> scope = window;
    for (auto* button : panel->findChildren<QAbstractButton*>())
      Claim(scope, button->text(), panel->objectName());
    for (auto* label : panel->findChildren<QLabel*>())
      if (label->buddy()) Claim(scope, label->text(), panel->objectName());
  }
  for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button7", "Button11",
                           "MllRunButton", "MsnRunButton", "IaRunButton", "DiversityRunButton",
                           "FstatsRunButton", "PairwiseFstRunButton", "HweRunButton",
                           "AmovaRunButton", "OrdinationRunButton", "IbdRunButton"})
    EXPECT_EQ(form->findChild<QPushButton*>(name)->text(), "&Run") << name;
}

TEST_F(WindowKeysTest, EnterRunsThePanelAndEscapeClosesIt) {
  vireltan::testing::TempDir dir;
  std::filesystem::copy_file(VIRELTAN_EXAMPLES_DIR "/seagrass_meadow.txt", dir.path() / "m.txt");
  form->OpenPath(QString::fromStdString(dir.file("m.txt")));
  form->WaitUntilIdle();
  form->Edgeeffect1->trigger();
  Key(form->Edit5, Qt::Key_Escape);
  EXPECT_TRUE(form->GroupBox7->isHidden());
  const int rows = form->session().results.first().LastRow();
  form->resampling1lloci1->trigger();
  form->Edit4->setText("20");
  Key(form->Edit4, Qt::Key_Return);
  form->WaitUntilIdle();
  EXPECT_TRUE(form->GroupBox5->isHidden());
  EXPECT_GT(form->session().results.first().LastRow(), rows);
}

// Help > User guide shows the guide in a window of the program, its
// pictures found beside it.
TEST_F(WindowKeysTest, UserGuideOpensInTheProgramWithItsPictures) {
  form->Userguide1->trigger();
  auto* text = form->findChild<QTextBrowser*>("UserGuideText");
  EXPECT_TRUE(text->toPlainText().contains("Open Recent"));
  const QUrl picture = text->source().resolved(QUrl("screenshots/example-dataset.png"));
  EXPECT_FALSE(text->document()->resource(QTextDocument::ImageResource, picture).isNull());
}

}  // namespace
}  // namespace vireltan::app
