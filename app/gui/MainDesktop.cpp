// What the frame does as people expect of a desktop program: the recent files of the file
// menu, files dropped onto it, and its place kept between runs.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>

#include "app/PictureFile.h"
#include "app/gui/Childwin.h"
#include "app/gui/ColourFileDrop.h"
#include "app/gui/Main.h"
#include "gui/Settings.h"
#include "gui/WindowPlacement.h"
#include "colour/gui/ColorListDisplay.h"

namespace vantorel::gui {

namespace {

bool HasSuffix(const QString& file, const char* suffix) {
  return QFileInfo(file).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}

// The local files of a drag that the frame can open; empty when there are none.
QStringList DroppedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && TMainForm::CanOpen(url.toLocalFile())) files << url.toLocalFile();
  return files;
}

}  // namespace

bool TMainForm::CanOpen(const QString& file) {
  for (const char* suffix : {"Par", "LPr", "Pal"})
    if (HasSuffix(file, suffix)) return true;
  return HasSuffix(file, "png") && IsPngFile(QFile::encodeName(file).toStdString());
}

// ---------------------------------------------------------------------------------------
// Recent files

void TMainForm::FillRecentFiles() {
  RecentFiles1->clear();
  const QStringList files = RecentFiles();
  int number = 1;
  for (const QString& file : files) {
    const QString name = QFileInfo(file).fileName();
    QAction* action =
        RecentFiles1->addAction(number <= 9 ? QString("&%1 %2").arg(number).arg(name) : QString("1&0 %1").arg(name));
    const bool exists = QFileInfo(file).isFile();
    const QString hint =
        exists ? QDir::toNativeSeparators(file) : QString("missing: %1").arg(QDir::toNativeSeparators(file));
    action->setStatusTip(hint);
    action->setToolTip(hint);
    action->setEnabled(exists);
    connect(action, &QAction::triggered, this, [this, file] { OpenFiles({file}); });
    ++number;
  }
  RecentFiles1->setToolTipsVisible(true);
  if (files.isEmpty()) RecentFiles1->addAction("(none yet)")->setEnabled(false);
}

// ---------------------------------------------------------------------------------------
// Dropped files

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFiles(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
  if (DroppedFiles(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QStringList files = DroppedFiles(event->mimeData());
  if (files.isEmpty()) return event->ignore();
  event->acceptProposedAction();
  // The drag's source waits until the drop returns; the files open afterwards.
  QMetaObject::invokeMethod(
      this, [this, files] { OpenFiles(files); }, Qt::QueuedConnection);
}

void TMainForm::LoadColourFile(const QString& file) {
  TMDIChild* child = ActiveProjectWindow();
  if (!child) {
    DialogService::instance().information(
        this, QStringLiteral("%1\nis a colour file. Colour files are loaded on the \"colors\" page of a "
                             "project window: open or create a project first.")
                  .arg(QDir::toNativeSeparators(file)));
    return;
  }
  if (child->ColorPage->LoadColourFile(file)) child->PageControl1->setCurrentWidget(child->TabSheet3);
}

// ---------------------------------------------------------------------------------------
// The frame's place

void TMainForm::RestorePlace() {
  const StoredWindowPlace place = MainWindowPlace();
  if (!place.Geometry.isValid()) return;
  // A place on a screen that is gone (or a smaller one) comes back onto a screen.
  const QScreen* screen = QGuiApplication::screenAt(place.Geometry.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect fitted = FitIntoArea(place.Geometry, screen->availableGeometry());
  PlaceWithinScreen(this, fitted.topLeft(), place.Geometry.size());
  if (place.Maximised) setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainForm::StorePlace() {
  StoredWindowPlace place;
  place.Maximised = isMaximized();
  place.Geometry = place.Maximised ? normalGeometry() : QRect(frameGeometry().topLeft(), size());
  RememberMainWindowPlace(place);
}

}  // namespace vantorel::gui
