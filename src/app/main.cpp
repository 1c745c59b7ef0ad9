// SPDX-License-Identifier: GPL-3.0-or-later
// vireltan: the desktop program. Optionally takes a data file to open.
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <cstring>
#include <iostream>

#include "app/qt_chart_renderer.h"
#include "app/main_window.h"
#include "common/version.h"
#include "sheet/atomic_file.h"

int main(int argc, char** argv) {
  // Answered before any window system is needed, so that it works on a
  // machine without a display too.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << vireltan::kVersionLine << '\n';
    return 0;
  }
  // Qt's own warnings (QPainter's ...) are not for the user.
  vireltan::app::InstallQtMessageFilter();
  // Ended by SIGTERM or SIGINT (a logout, kill, Ctrl+C in the terminal
  // that started it), the window leaves no temporary file behind.
  vireltan::RemoveTemporaryFilesOnTermination();
  QApplication application(argc, argv);
  QApplication::setOrganizationName("Vireltan");
  QApplication::setApplicationName("Vireltan");
  QApplication::setApplicationVersion(vireltan::kVersion);
  QApplication::setDesktopFileName("vireltan");
  vireltan::app::TForm1 Form1;
  Form1.show();
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    const QString path = arguments.at(1);
    QTimer::singleShot(0, &Form1, [&Form1, path] { Form1.OpenPath(path); });
  }
  return QApplication::exec();
}
