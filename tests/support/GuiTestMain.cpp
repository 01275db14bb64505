// Entry point of the widget tests: one QApplication for the whole run, headless unless a
// platform was chosen explicitly.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The program's settings (recent files, folders, window place) go to a folder of this run,
  // never to the user's own; also those of the program when a test runs it.
  QTemporaryDir settings;
  if (!settings.isValid()) return 2;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
  QApplication app(argc, argv);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
