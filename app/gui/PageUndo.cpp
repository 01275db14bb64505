#include "app/gui/PageUndo.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUndoStack>
#include <QWidget>
#include <utility>

namespace vantorel::gui {

namespace {

PageFields Only(const PageFields& all, const std::vector<std::string>& names) {
  PageFields some;
  for (const std::string& n : names) {
    const auto i = all.find(n);
    if (i != all.end()) some.insert(*i);
  }
  return some;
}

// Lets the undo keys through to the window's shortcuts.
class UndoKeys : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
        key->ignore();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

PageStep::PageStep(PageFields before, PageFields after, Write write)
    : before_(std::move(before)), after_(std::move(after)), write_(std::move(write)) {
  fields_ = ChangedFields(before_, after_);
  setText(QString::fromStdString(PageStepName(fields_)));
}

bool PageStep::mergeWith(const QUndoCommand* other) {
  const auto* next = dynamic_cast<const PageStep*>(other);
  if (!next || next->fields_ != fields_) return false;
  after_ = next->after_;
  if (before_ == after_) setObsolete(true);  // typed back to where it began
  return true;
}

void PageStep::undo() {
  write_(before_);
  done_ = false;
}

void PageStep::redo() {
  if (!done_) write_(after_);
  done_ = true;
}

TPageUndo::TPageUndo(QUndoStack& stack, Read read, PageStep::Write write)
    : stack_(stack), read_(std::move(read)), write_(std::move(write)) {
  seen_ = read_();
}

void TPageUndo::Record() {
  if (restoring_) return;
  PageFields now = read_();
  const std::vector<std::string> fields = ChangedFields(seen_, now);
  if (fields.empty()) return;
  PageFields before = Only(seen_, fields);
  PageFields after = Only(now, fields);
  seen_ = std::move(now);
  stack_.push(new PageStep(std::move(before), std::move(after), [this](const PageFields& values) {
    restoring_ = true;
    write_(values);
    restoring_ = false;
    seen_ = read_();
  }));
}

void TPageUndo::Reset() {
  stack_.clear();
  seen_ = read_();
}

void SendUndoKeysToWindow(QWidget* root) {
  auto* keys = new UndoKeys(root);
  for (QWidget* w : root->findChildren<QWidget*>())
    if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w))
      w->installEventFilter(keys);
}

}  // namespace vantorel::gui
