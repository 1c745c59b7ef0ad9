// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests run without a display, on Qt's offscreen platform, with
// settings (recent files, remembered options) kept in memory only, so that
// tests neither read the user's nor leave any behind. The offscreen
// platform is given a laptop's screens: 1366 x 768 at scale factor 1 (the
// primary screen) and 2732 x 1536 pixels at scale factor 2 (192 dpi) beside
// it, the same area in device-independent pixels.
#include <gtest/gtest.h>

#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

int main(int argc, char** argv) {
  QTemporaryDir screens;
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen") {
    const QString config = screens.filePath("screens.json");
    QFile file(config);
    if (screens.isValid() && file.open(QIODevice::WriteOnly)) {
      file.write(R"({"screens": [
        {"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "laptop-scaled", "x": 1366, "y": 0, "width": 2732, "height": 1536,
         "logicalDpi": 192, "logicalBaseDpi": 96, "dpr": 1}]})");
      file.close();
      qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
    } else {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
  }
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  QTemporaryDir settings;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  QCoreApplication::setOrganizationName("vireltan-tests");
  return RUN_ALL_TESTS();
}
