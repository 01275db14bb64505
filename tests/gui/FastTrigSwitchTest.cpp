// The project window's fast-trigonometry switch: off in a new window, its own per window, and no
// change to the project.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>

#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "gui/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace vantorel::gui {
namespace {

TEST(FastTrigSwitch, IsOffPerWindowAndLeavesTheProjectUnchanged) {
  test::TempDir dir;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path().string())));
  test::ScriptedDialogs dialogs;
  {
    TMainForm frame;
    TMDIChild* first = frame.OpenProjectWindow("a");
    TMDIChild* second = frame.OpenProjectWindow("b");
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(first->CheckBoxFastTrig->isChecked());
    EXPECT_FALSE(first->CheckBoxFastTrig->toolTip().isEmpty());
    first->CheckBoxFastTrig->click();
    EXPECT_TRUE(first->CheckBoxFastTrig->isChecked());
    EXPECT_FALSE(second->CheckBoxFastTrig->isChecked());
    EXPECT_FALSE(first->Changed());
    for (TMDIChild* child : frame.ProjectWindows()) child->FormClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QDir::setCurrent(previous);
}

}  // namespace
}  // namespace vantorel::gui
