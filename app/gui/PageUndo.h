// Undo and redo of the values of a project window's pages: each change of the controls is one
// step on the window's undo stack (typing into one control stays one step), which the colours
// page shares; the steps reach back to the last initialisation.
#pragma once

#include <QObject>
#include <QUndoCommand>
#include <functional>
#include <string>
#include <vector>

#include "app/PageSteps.h"

class QUndoStack;
class QWidget;

namespace vantorel::gui {

// The values of some fields before and after a change.
class PageStep : public QUndoCommand {
 public:
  using Write = std::function<void(const PageFields&)>;
  PageStep(PageFields before, PageFields after, Write write);
  // Steps of the same fields, one after the other, are one step (typing a number).
  int id() const override { return 1; }
  bool mergeWith(const QUndoCommand* other) override;
  void undo() override;
  void redo() override;
  const std::vector<std::string>& Fields() const { return fields_; }

 private:
  PageFields before_;
  PageFields after_;
  std::vector<std::string> fields_;
  Write write_;
  bool done_ = true;  // pushed after the change was made
};

// Watches the pages: after each change Record() compares them with the values seen last and
// pushes a step for the fields that differ.
class TPageUndo {
 public:
  using Read = std::function<PageFields()>;
  TPageUndo(QUndoStack& stack, Read read, PageStep::Write write);

  void Record();
  // The pages as they are now start a new history: the stack is emptied.
  void Reset();
  // A step is putting values back into the controls.
  bool Restoring() const { return restoring_; }

 private:
  QUndoStack& stack_;
  Read read_;
  PageStep::Write write_;
  PageFields seen_;
  bool restoring_ = false;
};

// Ctrl+Z and Ctrl+Shift+Z typed into the text fields below root go to the window's undo and
// redo, not to the field's own.
void SendUndoKeysToWindow(QWidget* root);

}  // namespace vantorel::gui
