// The explorer window driven by real mouse, wheel and key events: zooming about the cursor,
// panning, back and forward, passes of the view shown only, and handing the region back.
#include "gui/Accessibility.h"
#include "app/gui/Explorer.h"
#include "core/NumberText.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class ExplorerWindowTest : public test::FrameTest {
 protected:
  void SetUp() override {
    frame_->resize(480, 360);  // a small canvas: few pixels per pass
    frame_->show();
    child_ = Open("x");
    frame_->Explore1->trigger();  // on the active project window
    explorer_ = qobject_cast<TExplorer*>(frame_->WorkSpace()->activeSubWindow()->widget());
    ASSERT_NE(explorer_, nullptr);
    ASSERT_TRUE(WaitForFull());
  }
  // Until the full-resolution pass of the view shown is drawn.
  bool WaitForFull() {
    return QTest::qWaitFor(
        [&] {
          const ExplorerPass* p = explorer_->ShownPass();
          return p && p->Generation == explorer_->ExpectedGeneration() && p->Step <= 1 &&
                 explorer_->ImageView() == explorer_->ShownView();
        },
        60000);
  }
  void Wheel(QPoint at, int angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* c = explorer_->Canvas;
    QWheelEvent e(QPointF(at), QPointF(c->mapToGlobal(at)), QPoint(), QPoint(0, angle), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(c, &e);
  }
  ABPoint AB(QPoint at) const { return explorer_->ShownView().ToAB(explorer_->Canvas->DevicePoint(at)); }

  TMDIChild* child_ = nullptr;
  TExplorer* explorer_ = nullptr;
};

TEST_F(ExplorerWindowTest, TheWheelZoomsAboutTheCursorADragPansAndBackGoesBack) {
  const ExplorerView first = explorer_->View();
  EXPECT_DOUBLE_EQ(first.Region().CenterX, child_->Params().CenterX);
  const QPoint at(60, 40);
  const ABPoint before = AB(at);
  Wheel(at, 120);
  Wheel(at, 240);
  const ABPoint after = AB(at);
  EXPECT_NEAR(after.A, before.A, first.UnitsPerPixel() * 1e-6);
  EXPECT_NEAR(after.B, before.B, first.UnitsPerPixel() * 1e-6);
  EXPECT_NEAR(explorer_->View().Region().Width, first.Region().Width / std::pow(1.25, 3), 1e-12);
  ASSERT_TRUE(WaitForFull());
  EXPECT_EQ(explorer_->ShownPass()->Width, explorer_->Canvas->DeviceSize().width());

  // A drag to the right moves the picture with the hand.
  const ABPoint grabbed = AB(QPoint(100, 100));
  QTest::mousePress(explorer_->Canvas, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  QTest::mouseMove(explorer_->Canvas, QPoint(130, 90));
  QTest::mouseRelease(explorer_->Canvas, Qt::LeftButton, Qt::NoModifier, QPoint(150, 80));
  const ABPoint dropped = AB(QPoint(150, 80));
  EXPECT_NEAR(dropped.A, grabbed.A, first.UnitsPerPixel() * 1e-6);
  EXPECT_NEAR(dropped.B, grabbed.B, first.UnitsPerPixel() * 1e-6);
  EXPECT_EQ(explorer_->History().Size(), 4u);  // the first view, two notches, one drag

  // Ctrl+wheel turns about the cursor; the keys zoom and go back and forward.
  Wheel(at, 120, Qt::ControlModifier);
  EXPECT_NEAR(explorer_->View().Region().Angle, 5 * kPi / 180, 1e-12);
  QTest::keyClick(explorer_->Canvas, Qt::Key_Plus);
  EXPECT_EQ(explorer_->History().Size(), 6u);
  QTest::keyClick(explorer_->Canvas, Qt::Key_Left, Qt::AltModifier);
  QTest::keyClick(explorer_->BackButton, Qt::Key_Space);  // the button too
  EXPECT_NEAR(explorer_->View().Region().Angle, 0, 1e-12);
  QTest::keyClick(explorer_->Canvas, Qt::Key_Right, Qt::AltModifier);
  EXPECT_NEAR(explorer_->View().Region().Angle, 5 * kPi / 180, 1e-12);
  QTest::keyClick(explorer_->Canvas, Qt::Key_Home);
  EXPECT_EQ(explorer_->View(), first);
  ASSERT_TRUE(WaitForFull());
  Grab(*explorer_, "explorer");
}

// One window set-up (its first full pass) serves the region hand-over, the names and the
// project window's own explorer action.
TEST_F(ExplorerWindowTest, UsingTheRegionInitialisesTheProjectAfterAskingAndANewProjectTakesIt) {
  Wheel(QPoint(30, 30), 360);
  const RegionFrame r = explorer_->View().Region();
  const int pixels = child_->Params().PictureWidth * child_->Params().PictureHeight;
  ASSERT_TRUE(explorer_->UseThisRegion());  // nothing computed yet: no question
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_DOUBLE_EQ(child_->Params().CenterX, r.CenterX);
  EXPECT_DOUBLE_EQ(child_->Params().Width, r.Width);
  EXPECT_DOUBLE_EQ(child_->Params().Height, r.Height);
  EXPECT_NEAR(child_->Params().PictureWidth * child_->Params().PictureHeight, pixels, pixels / 50);
  EXPECT_TRUE(child_->PictureInitialised());

  // Computed data is lost only when the user says so.
  child_->Params().State = StateFinished;
  explorer_->PanBy(40, 0, true);
  dialogs_.answerMessage(QMessageBox::No);
  EXPECT_FALSE(explorer_->UseThisRegion());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_DOUBLE_EQ(child_->Params().CenterX, r.CenterX);

  TMDIChild* fresh = explorer_->OpenAsNewProject();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(frame_->ProjectWindows().size(), 2);
  EXPECT_DOUBLE_EQ(fresh->Params().CenterX, explorer_->View().Region().CenterX);
  EXPECT_EQ(fresh->Params().FormulaText, child_->Params().FormulaText);
  EXPECT_EQ(fresh->Edit3->text().toStdString(), FloatToText(explorer_->View().Region().CenterX));

  // Every control has a name, those of the keyframe editor (hidden) too; the project window opens
  // an explorer of its own.
  QStringList unnamed;
  for (QWidget* w : explorer_->findChildren<QWidget*>())
    if (IsControl(w) && AccessibleNameOf(w).isEmpty()) unnamed << w->objectName();
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();
  auto* explore = child_->findChild<QAction*>("ExploreThisRegion");
  ASSERT_NE(explore, nullptr);
  frame_->WorkSpace()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(child_->parentWidget()));
  explore->trigger();
  auto* second = qobject_cast<TExplorer*>(frame_->WorkSpace()->activeSubWindow()->widget());
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, explorer_);
  EXPECT_EQ(second->Project(), child_);
}

}  // namespace
}  // namespace vantorel::gui
