// The project window showing a project that was loaded from a file.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <exception>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/gui/Childwin.h"
#include "app/gui/CurrentProject.h"
#include "app/gui/DialogService.h"
#include "app/gui/ProgressForm.h"
#include "colour/gui/ColorListDisplay.h"

namespace vantorel::gui {

void TMDIChild::ProjectLoaded() {
  // Every page once, ending on the picture.
  for (int page = 0; page < PageControl1->count(); ++page) PageControl1->setCurrentIndex(page);
  ApplyParameters();
  try {
    SamplePreview(dataFile1_, params_.PictureWidth, params_.PictureHeight, preview_);
  } catch (const std::exception& e) {
    ReportIoError(e);
  }
  ColorPage->DrawPreview(preview_);

  pictureInitialised_ = true;
  TForm7& progress = host_.ProgressWindow();
  progress.Label1->setText(QStringLiteral("creating image..."));
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  ShowLoadedCalculationState();

  // The loaded block is this window's latest parameter block: a crash from here on leaves a
  // temporary set that recovery turns back into this project. The block keeps its count of
  // iterations done, which the stored exponents rest on.
  try {
    SaveParameterFile(QFile::encodeName(TempFileName(0)).toStdString(), params_);
  } catch (const std::exception& e) {
    ReportIoError(e);
  }
  changed_ = false;
}

void TMDIChild::ShowLoadedCalculationState() {
  // A run that was going on when the project was saved goes on from its stored position: the
  // page shows the state it continues from (1, 2 -> 0; 4, 5 -> 3), so the start button says what
  // it will do. The picture is rebuilt from the stored exponents.
  params_.State = MapLoadedState(params_.State);
  if (!CalculationLoaded()) return;
  Button6Click();
}

}  // namespace vantorel::gui
