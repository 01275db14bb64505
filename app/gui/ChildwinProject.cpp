// The project window showing a project that was loaded from a file, and telling whether its
// pages show the block its data were computed with.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QProgressBar>
#include <QTabWidget>
#include <exception>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/gui/Childwin.h"
#include "app/gui/CurrentProject.h"
#include "gui/DialogService.h"
#include "app/gui/PageUndo.h"
#include "app/gui/ProgressForm.h"
#include "gui/RadioGroup.h"
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

QMap<QString, QString> TMDIChild::PageValues() const {
  QMap<QString, QString> v;
  v[QStringLiteral("CheckBox1")] = QString::number(CheckBox1->isChecked());
  v[QStringLiteral("RadioGroup1")] = QString::number(RadioGroup1->ItemIndex());
  const std::pair<const char*, const QLineEdit*> edits[] = {
      {"Edit1", Edit1}, {"Edit2", Edit2}, {"Edit3", Edit3}, {"Edit4", Edit4},   {"Edit5", Edit5},  {"Edit6", Edit6},
      {"Edit7", Edit7}, {"Edit8", Edit8}, {"Edit9", Edit9}, {"Edit10", Edit10}, {"Edit11", Edit11}};
  for (const auto& [name, edit] : edits) v[QLatin1String(name)] = edit->text();
  v[QStringLiteral("Memo1")] = Memo1->toPlainText();
  const std::pair<const char*, const QSpinBox*> spins[] = {
      {"SpinEdit1", SpinEdit1}, {"SpinEdit2", SpinEdit2}, {"SpinEdit3", SpinEdit3}, {"SpinEdit4", SpinEdit4}};
  for (const auto& [name, spin] : spins) v[QLatin1String(name)] = QString::number(spin->value());
  v[QStringLiteral("CheckBox2")] = QString::number(CheckBox2->isChecked());
  v[QStringLiteral("CheckBox3")] = QString::number(CheckBox3->isChecked());
  QString colours = QStringLiteral("%1 %2").arg(ColorPage->BelowColor()).arg(ColorPage->AboveColor());
  for (const TColorEntry& e : ColorPage->Colors())
    colours += QStringLiteral(" %1:%2").arg(e.Color).arg(e.Value, 0, 'g', 17);
  v[QStringLiteral("colors")] = colours;
  return v;
}

void TMDIChild::PagesApplied(std::initializer_list<const char*> keys) {
  const QMap<QString, QString> now = PageValues();
  if (keys.size() == 0 && pageUndo_) pageUndo_->Reset();  // undo reaches back to here
  if (keys.size() == 0)
    appliedPages_ = now;
  else
    for (const char* key : keys) appliedPages_[QLatin1String(key)] = now.value(QLatin1String(key));
  control_.SetPagesDiffer(now != appliedPages_);
  ApplyControl();
}

bool TMDIChild::PagesDifferFromBlock() const { return PageValues() != appliedPages_; }

void TMDIChild::ShowLoadedCalculationState() {
  // A run that was going on when the project was saved goes on from its stored position: the
  // page shows it paused (1 -> 2, 4 -> 5), with what a pause offers (continue, export, histogram,
  // recolouring), and "continue" takes it up where it stopped. The picture is rebuilt from the
  // stored exponents.
  params_.State = MapLoadedState(params_.State);
  if (!CalculationLoaded()) return;
  Button6Click();
}

}  // namespace vantorel::gui
