// Undo and redo of the colours page: every change of the editable colour list (with its outer
// colours) is one step on an undo stack, which the project window shares with its other pages.
#pragma once

#include <QString>
#include <QUndoCommand>
#include <functional>
#include <vector>

#include "colour/ColorList.h"

class QUndoStack;

namespace vantorel::gui {

// One change of the colour list: the whole list before and after, and the rows the changed list
// selects. Pushing the step shows the new list; undo shows the old one again.
class ColourListStep : public QUndoCommand {
 public:
  using Show = std::function<void(const ColorListState& list, const std::vector<size_t>& selected)>;
  ColourListStep(const QString& name, ColorListState before, ColorListState after, std::vector<size_t> selected,
                 Show show);
  void undo() override;
  void redo() override;
  const ColorListState& Before() const { return before_; }
  const ColorListState& After() const { return after_; }

 private:
  ColorListState before_;
  ColorListState after_;
  std::vector<size_t> selected_;
  Show show_;
};

// Asked before a step is taken back (undo true) or done again; false leaves it where it is.
using UndoGuard = std::function<bool(const QUndoCommand& step, bool undo)>;

// The step that undo (or redo) would take, or nullptr.
const QUndoCommand* NextStep(const QUndoStack& stack, bool undo);
// Takes the stack's last step back (or does the next one again) when the guard allows it; true
// when a step was taken.
bool TakeStep(QUndoStack& stack, bool undo, const UndoGuard& guard);

}  // namespace vantorel::gui
