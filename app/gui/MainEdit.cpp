// The frame's "edit" menu: undo and redo of the active project window, named after the step.
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QUndoGroup>

#include "app/gui/Childwin.h"
#include "app/gui/Main.h"

namespace vantorel::gui {

void TMainForm::BuildEditMenu() {
  undoGroup_ = new QUndoGroup(this);
  Edit1 = menuBar()->addMenu("&edit");
  Edit1->setObjectName("Edit1");
  Undo1 = Edit1->addAction(QStringLiteral("&Undo"));
  Undo1->setObjectName("Undo1");
  Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  Redo1 = Edit1->addAction(QStringLiteral("&Redo"));
  Redo1->setObjectName("Redo1");
  Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  Undo1->setStatusTip(QStringLiteral("take back the last change of the active project's colors or settings"));
  Redo1->setStatusTip(QStringLiteral("do the change taken back last again"));
  const auto name = [](QAction* action, const QString& verb, const QString& step) {
    action->setText(step.isEmpty() ? verb : verb + QLatin1Char(' ') + step);
  };
  connect(undoGroup_, &QUndoGroup::undoTextChanged, Undo1, [this, name](const QString& t) { name(Undo1, "&Undo", t); });
  connect(undoGroup_, &QUndoGroup::redoTextChanged, Redo1, [this, name](const QString& t) { name(Redo1, "&Redo", t); });
  connect(undoGroup_, &QUndoGroup::canUndoChanged, Undo1, &QAction::setEnabled);
  connect(undoGroup_, &QUndoGroup::canRedoChanged, Redo1, &QAction::setEnabled);
  Undo1->setEnabled(false);
  Redo1->setEnabled(false);
  // The project window asks first when a step would leave the values its picture was made from.
  connect(Undo1, &QAction::triggered, this, [this] {
    if (TMDIChild* w = current_.Window) w->UndoClick();
  });
  connect(Redo1, &QAction::triggered, this, [this] {
    if (TMDIChild* w = current_.Window) w->RedoClick();
  });
}

}  // namespace vantorel::gui
