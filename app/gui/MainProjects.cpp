// The frame's file commands that fill new project windows from files: loading project files,
// opening files named on the command line, and recovery from left-over temporary files.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <exception>

#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "gui/Settings.h"
#include <QMdiSubWindow>
#include "app/Recovery.h"
#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "app/gui/ProgressForm.h"
#include "core/IoError.h"
#include "core/PixelDataFile.h"

namespace vantorel::gui {

namespace {

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The progress window shows the stages and bar of a file command.
ProjectProgress ProgressReport(TForm7& progress) {
  ProjectProgress report;
  report.Stage = [&progress](const std::string& text) {
    progress.Label1->setText(QString::fromStdString(text));
    QApplication::processEvents();
  };
  report.Bar = [&progress](int percent) { progress.ProgressBar1->setValue(percent); };
  return report;
}

void ShowProgress(TForm7& progress, const QString& text) {
  progress.Label1->setText(text);
  progress.ProgressBar1->setValue(0);
  progress.show();
  QApplication::processEvents();
}

}  // namespace

void TMainForm::Daten1Click() {
  const std::optional<QString> file = DialogService::instance().fileName(this, OpenDialog1());
  if (file) LoadProject(*file);
}

TMDIChild* TMainForm::LoadProject(const QString& file) {
  TForm7& progress = ProgressWindow();
  ShowProgress(progress, QStringLiteral("lade Parameter..."));
  QPointer<TMDIChild> child = OpenProjectWindow(ProjectNameFromFile(file));

  // The file goes into the data files of the window created here, through handles of its own:
  // the window may be closed while the progress window lets events through, and another
  // window may become the active project meanwhile.
  TCalcParams loaded;
  try {
    PixelDataFile tmp1, tmp2;
    tmp1.Open(LocalPath(child->TempFileName(1)));
    tmp2.Open(LocalPath(child->TempFileName(2)));
    loaded = vantorel::LoadProject(LocalPath(file), tmp1, tmp2, ProgressReport(progress));
  } catch (const std::exception& e) {
    progress.close();
    // The window made for the file goes again: a failed open leaves nothing behind.
    if (child) {
      child->FormClose();
      if (auto* window = qobject_cast<QMdiSubWindow*>(child->parentWidget())) window->close();
    }
    const QString why = QString::fromLocal8Bit(e.what());
    DialogService::instance().error(this, why == QLatin1String(kProjectFileError)
                                              ? why
                                              : QStringLiteral("The project file\n%1\ncould not be loaded:\n%2")
                                                    .arg(QDir::toNativeSeparators(file), why));
    return nullptr;
  }
  if (child) {
    child->Params() = std::move(loaded);
    child->ProjectLoaded();
    RememberRecentFile(file);
  }
  progress.close();
  return child;
}

void TMainForm::OpenFiles(const QStringList& files) {
  for (const QString& file : files) {
    const QString suffix = QFileInfo(file).suffix();
    if (suffix.compare(QLatin1String("Par"), Qt::CaseInsensitive) == 0 || IsPngFile(LocalPath(file)))
      LoadParameters(file);
    else if (suffix.compare(QLatin1String("Pal"), Qt::CaseInsensitive) == 0)
      LoadColourFile(file);
    else
      LoadProject(file);
  }
}

void TMainForm::ToolButton6Click() {
  DialogService& dialogs = DialogService::instance();
  const std::optional<QString> file = dialogs.fileName(this, RestoreDialog());
  if (!file) return;
  TForm7& progress = ProgressWindow();
  ShowProgress(progress, QStringLiteral("restoring parameterfile"));
  RecoveryResult result;
  try {
    result = RecoverProject(LocalPath(*file), LocalPath(QDir::currentPath()), ProgressReport(progress));
  } catch (const std::exception& e) {
    progress.close();
    dialogs.error(this, QString::fromLocal8Bit(e.what()));
    return;
  }
  progress.close();
  const QString message = QString::fromLocal8Bit(result.Message.c_str());
  // Where the project went: the working directory, which the user may not know.
  const QString target = QString::fromLocal8Bit(result.Target.c_str());
  const QString where = QStringLiteral("\n\n%1").arg(QDir::toNativeSeparators(target));
  if (result.DataRestored)
    dialogs.information(this, message + where);
  else
    dialogs.error(this, message + where);
}

}  // namespace vantorel::gui
