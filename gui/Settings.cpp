#include "gui/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "gui/RecentFiles.h"

namespace vantorel::gui {

std::unique_ptr<QSettings> OpenSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vantorel"),
                                     QStringLiteral("vantorel"));
}

QStringList RecentFiles() {
  QStringList files;
  for (const QString& file : OpenSettings()->value(QStringLiteral("recent/files")).toStringList())
    if (!file.isEmpty() && files.size() < kRecentFileCount) files << file;
  return files;
}

void RememberRecentFile(const QString& path) {
  if (path.isEmpty()) return;
  std::vector<std::string> list;
  for (const QString& file : RecentFiles()) list.push_back(file.toStdString());
  AddRecentFile(list, QFileInfo(path).absoluteFilePath().toStdString(), kRecentFileCount);
  QStringList files;
  for (const std::string& file : list) files << QString::fromStdString(file);
  OpenSettings()->setValue(QStringLiteral("recent/files"), files);
}

QString FileKind(const QString& defaultSuffix, const QString& filter) {
  if (!defaultSuffix.isEmpty()) return defaultSuffix.toLower();
  return filter.contains(QLatin1String("*.TMP0"), Qt::CaseInsensitive) ? QStringLiteral("tmp0") : QStringLiteral("any");
}

QString LastFolder(const QString& kind) {
  const QString folder = OpenSettings()->value(QStringLiteral("folders/") + kind).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberFolder(const QString& kind, const QString& filePath) {
  if (filePath.isEmpty()) return;
  OpenSettings()->setValue(QStringLiteral("folders/") + kind, QFileInfo(filePath).absolutePath());
}

QString StartPath(const FileDialogRequest& request) {
  const QString preset = request.presetFileName;
  if (!preset.isEmpty() && QFileInfo(preset).isAbsolute()) return preset;
  const QString folder = LastFolder(FileKind(request.defaultSuffix, request.filter));
  if (folder.isEmpty()) return preset;
  return preset.isEmpty() ? folder : QDir(folder).filePath(preset);
}

StoredWindowPlace MainWindowPlace() {
  const auto settings = OpenSettings();
  StoredWindowPlace place;
  place.Geometry = settings->value(QStringLiteral("mainwindow/geometry")).toRect();
  place.Maximised = settings->value(QStringLiteral("mainwindow/maximised"), false).toBool();
  if (place.Geometry.width() < 100 || place.Geometry.height() < 100) place.Geometry = QRect();
  return place;
}

void RememberMainWindowPlace(const StoredWindowPlace& place) {
  const auto settings = OpenSettings();
  settings->setValue(QStringLiteral("mainwindow/geometry"), place.Geometry);
  settings->setValue(QStringLiteral("mainwindow/maximised"), place.Maximised);
}

}  // namespace vantorel::gui
