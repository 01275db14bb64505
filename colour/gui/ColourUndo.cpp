#include "colour/gui/ColourUndo.h"

#include <QPushButton>
#include <QUndoStack>
#include <utility>

#include "colour/gui/ColorListDisplay.h"

namespace vantorel::gui {

ColourListStep::ColourListStep(const QString& name, ColorListState before, ColorListState after,
                               std::vector<size_t> selected, Show show)
    : before_(std::move(before)), after_(std::move(after)), selected_(std::move(selected)), show_(std::move(show)) {
  setText(name);
}

void ColourListStep::undo() { show_(before_, {}); }

void ColourListStep::redo() { show_(after_, selected_); }

const QUndoCommand* NextStep(const QUndoStack& stack, bool undo) {
  const int index = undo ? stack.index() - 1 : stack.index();
  return index >= 0 && index < stack.count() ? stack.command(index) : nullptr;
}

bool TakeStep(QUndoStack& stack, bool undo, const UndoGuard& guard) {
  const QUndoCommand* step = NextStep(stack, undo);
  if (!step || (guard && !guard(*step, undo))) return false;
  if (undo)
    stack.undo();
  else
    stack.redo();
  return true;
}

// ---------------------------------------------------------------------------------------------
// The colours page's steps

void TColorListDisplay::SetUndoStack(QUndoStack* stack) {
  if (undoStack_) disconnect(undoStack_, nullptr, this, nullptr);
  if (!stack) {
    if (!ownStack_) ownStack_ = std::make_unique<QUndoStack>();
    stack = ownStack_.get();
  }
  undoStack_ = stack;
  connect(undoStack_, &QUndoStack::indexChanged, this, [this] { UndoStackChanged(); });
  connect(undoStack_, &QUndoStack::cleanChanged, this, [this] { UndoStackChanged(); });
  UndoStackChanged();
}

bool TColorListDisplay::CanUndo() const {
  return dynamic_cast<const ColourListStep*>(NextStep(*undoStack_, true)) != nullptr;
}

void TColorListDisplay::UndoStackChanged() {
  if (!UndoButton) return;
  UndoButton->setEnabled(CanUndo());
  UndoButton->setToolTip(CanUndo() ? QStringLiteral("undo: ") + undoStack_->undoText()
                                   : QStringLiteral("the colors as they were before their last change"));
}

void TColorListDisplay::UndoClick() {
  if (CanUndo()) TakeStep(*undoStack_, true, undoGuard_);
}

void TColorListDisplay::RedoClick() {
  if (dynamic_cast<const ColourListStep*>(NextStep(*undoStack_, false))) TakeStep(*undoStack_, false, undoGuard_);
}

}  // namespace vantorel::gui
