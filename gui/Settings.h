// What the program keeps between runs, in the user's settings of organisation "Vantorel":
// the recent files of the file menu, the last folder of each file kind, and the main
// window's place. Every reader copes with missing or malformed entries.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>

#include "gui/DialogService.h"

class QSettings;

namespace vantorel::gui {

// The program's settings store (an INI file under the user's configuration folder).
std::unique_ptr<QSettings> OpenSettings();

// How many recent files the file menu lists.
inline constexpr int kRecentFileCount = 10;

// The recent parameter, project and colour files, the latest first (absolute paths).
QStringList RecentFiles();
// Puts a file that was just opened or saved at the top of the recent files.
void RememberRecentFile(const QString& path);

// The kind of file a dialog is about, named by its default suffix ("par", "lpr", "pal",
// "png", ...; "tmp0" for the recovery dialog without one).
QString FileKind(const QString& defaultSuffix, const QString& filter);
// The folder last used for a kind of file, or an empty string.
QString LastFolder(const QString& kind);
// Remembers the folder of a file chosen in a dialog for the kind.
void RememberFolder(const QString& kind, const QString& filePath);
// Where a file dialog starts: in the folder last used for files of the request's kind (the
// working directory before any), showing the preset file name. An absolute preset stays.
QString StartPath(const FileDialogRequest& request);

// The main window's normal geometry (frame top-left and client size) and whether it was
// maximised; an invalid rectangle when none was stored.
struct StoredWindowPlace {
  QRect Geometry;
  bool Maximised = false;
};
StoredWindowPlace MainWindowPlace();
void RememberMainWindowPlace(const StoredWindowPlace& place);

}  // namespace vantorel::gui
