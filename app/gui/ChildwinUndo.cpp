// Undo and redo of the project window: the colour list's steps and the pages' values share one
// stack, emptied when the picture is initialised (or a file is shown).
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QUndoGroup>
#include <QUndoStack>

#include "app/PageSteps.h"
#include "app/gui/Childwin.h"
#include "app/gui/CurrentProject.h"
#include "gui/DialogService.h"
#include "app/gui/PageUndo.h"
#include "gui/RadioGroup.h"
#include "colour/gui/ColorListDisplay.h"
#include "colour/gui/ColourUndo.h"

namespace vantorel::gui {

namespace {

const char* const kColours = "colors";

PageFields Fields(const QMap<QString, QString>& values, bool withColours) {
  PageFields f;
  for (auto i = values.begin(); i != values.end(); ++i)
    if (withColours || i.key() != QLatin1String(kColours)) f[i.key().toStdString()] = i.value().toStdString();
  return f;
}

}  // namespace

void TMDIChild::SetupUndo() {
  UndoStack1 = new QUndoStack(this);
  ColorPage->SetUndoStack(UndoStack1);
  ColorPage->SetUndoGuard([this](const QUndoCommand& step, bool undo) { return MayTakeStep(step, undo); });
  pageUndo_ = std::make_unique<TPageUndo>(
      *UndoStack1, [this] { return Fields(PageValues(), false); },
      [this](const PageFields& values) {
        applying_ = true;  // the values as they were, without ratio keeping in between
        const auto text = [&values](const char* name) { return QString::fromStdString(values.at(name)); };
        const std::pair<const char*, QLineEdit*> edits[] = {{"Edit1", Edit1},   {"Edit2", Edit2},  {"Edit3", Edit3},
                                                            {"Edit4", Edit4},   {"Edit5", Edit5},  {"Edit6", Edit6},
                                                            {"Edit7", Edit7},   {"Edit8", Edit8},  {"Edit9", Edit9},
                                                            {"Edit10", Edit10}, {"Edit11", Edit11}};
        for (const auto& [name, edit] : edits)
          if (values.count(name)) edit->setText(text(name));
        if (values.count("Memo1")) Memo1->setPlainText(text("Memo1"));
        const std::pair<const char*, QSpinBox*> spins[] = {
            {"SpinEdit1", SpinEdit1}, {"SpinEdit2", SpinEdit2}, {"SpinEdit3", SpinEdit3}, {"SpinEdit4", SpinEdit4}};
        for (const auto& [name, spin] : spins)
          if (values.count(name)) spin->setValue(text(name).toInt());
        const std::pair<const char*, QCheckBox*> checks[] = {
            {"CheckBox1", CheckBox1}, {"CheckBox2", CheckBox2}, {"CheckBox3", CheckBox3}};
        for (const auto& [name, check] : checks)
          if (values.count(name)) check->setChecked(text(name).toInt() != 0);
        if (values.count("RadioGroup1")) RadioGroup1->SetItemIndex(text("RadioGroup1").toInt());
        GroupBox5->setVisible(CheckBox1->isChecked());
        GroupBox1->setVisible(!CheckBox1->isChecked());
        applying_ = false;
        setChanged();
      });
  SendUndoKeysToWindow(this);
  if (QUndoGroup* group = host_.UndoGroup()) group->addStack(UndoStack1);
}

void TMDIChild::ActivateUndo() {
  if (QUndoGroup* group = host_.UndoGroup()) group->setActiveStack(UndoStack1);
}

void TMDIChild::UndoClick() {
  TakeStep(*UndoStack1, true, [this](const QUndoCommand& s, bool u) { return MayTakeStep(s, u); });
}

void TMDIChild::RedoClick() {
  TakeStep(*UndoStack1, false, [this](const QUndoCommand& s, bool u) { return MayTakeStep(s, u); });
}

bool TMDIChild::MayTakeStep(const QUndoCommand& step, bool undo) {
  std::vector<std::string> fields{kColours};
  if (const auto* page = dynamic_cast<const PageStep*>(&step)) fields = page->Fields();
  // Only a picture with computed data was made from values; an empty one is made anew anyway.
  const bool computed = dataFile1_.IsOpen() && dataFile1_.RecordCount() > 0;
  if (!computed || !StepLeavesPicture(fields, Fields(PageValues(), true), Fields(appliedPages_, true))) return true;
  return DialogService::instance().question(
             this, QString::fromStdString(LeavePictureQuestion(step.text().toStdString(), undo)),
             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace vantorel::gui
