// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's help names each command's menu item as the window
// shows it ("Tests > Resampling of loci"), so that a user can go from one
// to the other; a renamed item must be renamed in the help too.
#include <gtest/gtest.h>

#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtWidgets/QMenuBar>
#include <set>

#include "app/main_window.h"

namespace vireltan::app {
namespace {

// A caption as read: without its mnemonic marks and ellipsis, dashes as
// the help writes them.
QString Plain(QString caption) {
  caption.remove('&').remove(QChar(0x2026)).replace(QChar(0x2013), '-');
  return caption.trimmed();
}

void Collect(QMenu* menu, const QString& path, std::set<QString>& items) {
  for (QAction* item : menu->actions()) {
    if (item->isSeparator()) continue;
    const QString here = path + " > " + Plain(item->text());
    if (item->menu())
      Collect(item->menu(), here, items);
    else
      items.insert(here);
  }
}

TEST(MenuWordsTest, TheCommandLineHelpNamesMenuItemsTheWindowHas) {
  QProcess cli;
  cli.start(VIRELTAN_CLI_PATH, {"--help"});
  ASSERT_TRUE(cli.waitForFinished(30000));
  const QString help = QString::fromUtf8(cli.readAllStandardOutput());

  RecordingMessageSink messages;
  TForm1 form(&messages);
  std::set<QString> items;
  for (QAction* title : form.menuBar()->actions())
    if (title->menu()) Collect(title->menu(), Plain(title->text()), items);
  ASSERT_GT(items.size(), 30u);

  // "      Tests > Resampling of loci: distinct MLGs ..." under each command.
  const QRegularExpression named("^      ([A-Z][A-Za-z ]*) > ([^:]+):",
                                 QRegularExpression::MultilineOption);
  int checked = 0;
  for (auto m = named.globalMatch(help); m.hasNext();) {
    const auto match = m.next();
    const QString path = match.captured(1) + " > " + match.captured(2);
    EXPECT_TRUE(items.count(path))
        << "the help names \"" << path.toStdString() << "\", which no menu has";
    ++checked;
  }
  EXPECT_GT(checked, 25);
}

}  // namespace
}  // namespace vireltan::app
