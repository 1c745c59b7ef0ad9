// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard of the main window: no two mnemonics (Alt + letter) of what
// is reachable at once share a letter, Enter in an option panel runs it and
// Escape closes it.
#include <gtest/gtest.h>

#include <QtGui/QKeyEvent>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QTextBrowser>
#include <filesystem>
#include <map>

#include "app/tform1.h"
#include "support/sheet_builder.h"

namespace vireltan::app {
namespace {

namespace fs = std::filesystem;

// The mnemonic letter of a caption ("Save &map" -> 'M'), or 0; "&&" is a
// literal ampersand.
QChar Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toUpper();
  }
  return QChar();
}

// Adds the mnemonic of `text` to `scope`; a letter already there is a clash.
void Claim(std::map<QChar, QString>& scope, const QString& text, const QString& where) {
  const QChar letter = Mnemonic(text);
  if (letter.isNull()) return;
  auto [it, added] = scope.emplace(letter, text);
  EXPECT_TRUE(added) << where.toStdString() << ": \"" << text.toStdString() << "\" and \""
                     << it->second.toStdString() << "\" share Alt+"
                     << QString(letter).toStdString();
}

void CheckMenu(QMenu* menu) {
  std::map<QChar, QString> items;
  for (QAction* item : menu->actions()) {
    if (item->isSeparator()) continue;
    Claim(items, item->text(), menu->title());
    if (item->menu()) CheckMenu(item->menu());
  }
}

class WindowKeysTest : public ::testing::Test {
 protected:
  RecordingMessageSink messages;
  std::unique_ptr<TForm1> form = std::make_unique<TForm1>(&messages);
  vireltan::testing::TempDir dir;

  // The letters the whole window answers to: menu titles and page tabs.
  std::map<QChar, QString> WindowScope() {
    std::map<QChar, QString> scope;
    for (QAction* title : form->menuBar()->actions()) Claim(scope, title->text(), "menu bar");
    for (int i = 0; i < form->PageControl1->count(); ++i)
      Claim(scope, form->PageControl1->tabText(i), "pages");
    return scope;
  }
  void Key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    form->WaitUntilIdle();
  }
};

TEST_F(WindowKeysTest, NoMnemonicIsSharedWithinWhatIsReachableAtOnce) {
  const std::map<QChar, QString> window = WindowScope();
  for (QAction* title : form->menuBar()->actions()) CheckMenu(title->menu());
  // Each option panel is shown alone, beside the menu bar and the pages.
  const QList<QGroupBox*> panels =
      form->findChild<QWidget*>("Panels")->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly);
  ASSERT_GE(panels.size(), 10);
  for (QGroupBox* panel : panels) {
    std::map<QChar, QString> scope = window;
    for (auto* button : panel->findChildren<QAbstractButton*>())
      Claim(scope, button->text(), panel->objectName());
    for (auto* label : panel->findChildren<QLabel*>())
      if (label->buddy()) Claim(scope, label->text(), panel->objectName());
  }
}

TEST_F(WindowKeysTest, EveryRunButtonIsCalledRun) {
  for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button7", "Button11",
                           "MllRunButton", "MsnRunButton", "IaRunButton"}) {
    auto* button = form->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    EXPECT_EQ(button->text(), "&Run") << name;
  }
}

TEST_F(WindowKeysTest, EnterRunsThePanelAndEscapeClosesIt) {
  fs::copy_file(fs::path(VIRELTAN_EXAMPLES_DIR) / "seagrass_meadow.txt", dir.path() / "meadow.txt");
  form->OpenPath(QString::fromStdString(dir.file("meadow.txt")));
  form->WaitUntilIdle();
  form->Edgeeffect1->trigger();
  ASSERT_FALSE(form->GroupBox7->isHidden());
  Key(form->Edit5, Qt::Key_Escape);
  EXPECT_TRUE(form->GroupBox7->isHidden());
  EXPECT_EQ(form->session().results.first().LastRow() > 0, true);

  const int rows = form->session().results.first().LastRow();
  form->resampling1lloci1->trigger();
  form->Edit4->setText("20");
  Key(form->Edit4, Qt::Key_Return);
  EXPECT_TRUE(form->GroupBox5->isHidden());
  EXPECT_GT(form->session().results.first().LastRow(), rows);
  EXPECT_TRUE(form->session().chart(ChartRole::kSamplingEffort).visible);
}

// Headings the files keep for scripts are shown in plain words; copying
// takes the text as written.
TEST_F(WindowKeysTest, SheetsShowHeadingsInPlainWords) {
  Sheet sheet;
  sheet.SetColumnHeading(1, "individu");
  sheet.SetTextAt(1, 1, "Hill\u00b4s");
  sheet.SetTextAt(1, 2, "ignoring Sdt Dev.");
  SheetModel model;
  model.SetSheet(sheet);
  EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "individual");
  EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "Hill's");
  EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "ignoring SD");
  EXPECT_EQ(model.FullText(1, 1), QString::fromUtf8("Hill\u00b4s"));
}

// Help > User guide shows the guide in a window of the program, its
// pictures found beside it.
TEST_F(WindowKeysTest, UserGuideOpensInTheProgramWithItsPictures) {
  form->Userguide1->trigger();
  auto* text = form->findChild<QTextBrowser*>("UserGuideText");
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->toPlainText().contains("Open Recent"));
  const QString html = text->document()->toHtml();
  const qsizetype at = html.indexOf("<img src=\"");
  ASSERT_GE(at, 0);
  const qsizetype from = at + 10;
  const QUrl picture(html.mid(from, html.indexOf('"', from) - from));
  const QVariant image =
      text->document()->resource(QTextDocument::ImageResource, text->source().resolved(picture));
  EXPECT_FALSE(image.isNull()) << picture.toString().toStdString();
}

}  // namespace
}  // namespace vireltan::app
