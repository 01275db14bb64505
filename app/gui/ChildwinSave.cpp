// Saving the project window's parameters and its project.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/gui/Childwin.h"
#include "app/gui/CurrentProject.h"
#include "gui/DialogService.h"
#include "app/gui/ProgressForm.h"
#include "gui/Settings.h"

namespace vantorel::gui {

namespace {

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The save dialogs of the project window; the file name starts as the caption.
FileDialogRequest SaveRequest(const QString& title, const QString& filter, const QString& suffix,
                              const QString& caption) {
  FileDialogRequest request;
  request.kind = FileDialogRequest::Save;
  request.title = title;
  request.filter = filter;
  request.defaultSuffix = suffix;
  request.presetFileName = caption + QLatin1Char('.') + suffix;
  return request;
}

}  // namespace

void TMDIChild::SaveParameters() {
  if (!CheckSettings()) return;  // before the user chooses a file name
  const auto path = DialogService::instance().fileName(
      this, SaveRequest(QStringLiteral("save parameters"), QStringLiteral("parameter - file (*.Par);;all files (*)"),
                        QStringLiteral("Par"), Caption()));
  if (!path) return;
  // The file takes the settings as the pages show them; the block of the picture and its
  // pending adjustments stay as they are, so there is nothing to ask.
  TCalcParams pages = params_;
  if (!CollectInto(pages)) return;
  try {
    SaveParameterFile(LocalPath(*path), pages);
  } catch (const std::exception& e) {
    DialogService::instance().error(this, QStringLiteral("The parameters could not be saved to \"%1\":\n%2")
                                              .arg(*path, QString::fromLocal8Bit(e.what())));
    return;
  }
  // The caption follows the file only once it has been written.
  setWindowTitle(ProjectNameFromFile(*path));
  RememberRecentFile(*path);
}

void TMDIChild::SaveProject() {
  saved_ = true;
  TForm7& progress = host_.ProgressWindow();
  if (RunComputing() || Busy()) {
    // Nothing was written, so nothing may be taken as saved. A paused run is saved as it stands.
    saved_ = false;
    DialogService::instance().information(this, QStringLiteral("Stop calculations first!"));
    return;
  }
  // The project file's block must describe its data: with a picture (or data) it is the block
  // of the last initialisation and the adjustments applied since; edits not applied stay out of
  // the file, and the status line says so. A project without data takes the pages as they are.
  const bool holdsData = control_.PictureInitialised() || dataFile1_.RecordCount() > 0 || dataFile2_.RecordCount() > 0;
  const bool leftOut = holdsData && PagesDifferFromBlock();
  if (!holdsData && !CheckSettings()) {  // before the user chooses a file name
    saved_ = false;
    return;
  }
  control_.SetBusy(true);  // the progress window lets events through: nothing may change the data
  ApplyControl();
  struct Idle {
    TMDIChild* w;
    ~Idle() {
      w->control_.SetBusy(false);
      w->ApplyControl();
    }
  } idle{this};
  const auto path = DialogService::instance().fileName(
      this, SaveRequest(QStringLiteral("save project"), QStringLiteral("project file (*.LPr);;all files (*)"),
                        QStringLiteral("LPr"), Caption()));
  if (!path) {
    saved_ = false;
    progress.close();
    return;
  }

  // The settings are checked before the progress window comes up, so that a refusal is not
  // hidden behind it.
  if (!holdsData && !GatherParameters()) {
    saved_ = false;
    progress.close();
    return;
  }
  progress.Label1->setText(QStringLiteral("saving parameters..."));
  progress.ProgressBar1->setValue(0);
  progress.show();
  QApplication::processEvents();

  QProgressBar& mainBar = host_.MainProgressBar();
  ProjectProgress report;
  report.Stage = [&progress](const std::string& text) {
    progress.Label1->setText(QString::fromStdString(text));
    if (text == "saving data...") progress.ProgressBar1->setValue(progress.ProgressBar1->maximum());
    QApplication::processEvents();
  };
  report.Bar = [&mainBar](int percent) { mainBar.setValue(percent); };
  const int64_t records1 = dataFile1_.RecordCount(), records2 = dataFile2_.RecordCount();
  int64_t saved = 0;
  try {
    saved = vantorel::SaveProject(LocalPath(*path), params_, dataFile1_, dataFile2_, report);
  } catch (const std::exception& e) {
    mainBar.setValue(0);
    progress.close();
    saved_ = false;
    DialogService::instance().error(
        this,
        QStringLiteral("The project could not be saved to \"%1\":\n%2").arg(*path, QString::fromLocal8Bit(e.what())));
    return;
  }
  mainBar.setValue(0);
  setWindowTitle(ProjectNameFromFile(*path));
  RememberRecentFile(*path);
  changed_ = leftOut;
  progress.close();
  QStringList notes;
  if (records1 != records2)
    notes << QStringLiteral(
                 "The data files differed in length (%1 and %2 pixels): the project holds the first %3 "
                 "pixels; the others are computed again when it continues.")
                 .arg(records1)
                 .arg(records2)
                 .arg(saved);
  if (leftOut)
    notes << QStringLiteral(
        "Saved with the settings the picture was computed with; the changed settings are not "
        "applied yet and were not saved.");
  if (!notes.isEmpty()) StatusBar1->showMessage(notes.join(QLatin1Char(' ')));
}

}  // namespace vantorel::gui
