// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests run without a display, on Qt's offscreen platform, with
// settings (recent files, remembered options) kept in memory only, so that
// tests neither read the user's nor leave any behind.
#include <gtest/gtest.h>

#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  QTemporaryDir settings;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  QCoreApplication::setOrganizationName("vireltan-tests");
  return RUN_ALL_TESTS();
}
