// What a new user ran into: the wheel over a scrolling page, a bad setting found only after the
// save dialog, a main window larger than the screen, and
// controls that assistive technology could not name.
#include "app/gui/About.h"
#include "gui/Accessibility.h"
#include "app/gui/OKBottomDlg1.h"
#include "app/gui/ProgressForm.h"
#include "gui/RadioGroup.h"
#include "app/gui/StartupNote.h"
#include "gui/WindowPlacement.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

using NewUserTest = test::FrameTest;

// One notch of the wheel, turned towards the user, over the middle of a widget.
void WheelDown(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent wheel(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                    false);
  QCoreApplication::sendEvent(w, &wheel);
}

TEST_F(NewUserTest, TheWheelScrollsThePageUnlessTheControlHasTheFocus) {
  TMDIChild* child = OpenShown();
  child->CheckBox1->setChecked(true);  // the fixed formulas show
  child->parentWidget()->resize(375, 220);
  QApplication::processEvents();
  auto* page = qobject_cast<QScrollArea*>(child->TabSheet1);
  ASSERT_TRUE(page);
  QScrollBar* bar = page->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0) << "the page must scroll for this test";

  struct Case {
    QWidget* control;
    std::function<int()> value;
  } cases[] = {{child->SpinEdit1, [&] { return child->SpinEdit1->value(); }},
               {child->SpinEdit2, [&] { return child->SpinEdit2->value(); }},
               {child->RadioGroup1, [&] {
                  return child->ScrollBox2->verticalScrollBar()->value() * 1000 + child->RadioGroup1->ItemIndex();
                }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control->metaObject()->className());
    child->Edit1->setFocus();
    bar->setValue(0);
    const int before = c.value();
    WheelDown(c.control);
    EXPECT_EQ(c.value(), before);
    EXPECT_GT(bar->value(), 0);  // the page scrolled instead
    EXPECT_NE(c.control->focusPolicy(), Qt::WheelFocus);
  }
  // A focused spin box takes the wheel.
  child->SpinEdit1->setFocus();
  ASSERT_TRUE(child->SpinEdit1->hasFocus());
  bar->setValue(0);
  WheelDown(child->SpinEdit1);
  EXPECT_TRUE(child->SpinEdit1->value() == 100 && bar->value() == 0);  // 150 less one step of 50
}

// A bad setting is reported before a save dialog asks for a file name, for both saves and for
// the close query's "Yes".
TEST_F(NewUserTest, ABadSettingIsReportedBeforeTheSaveDialog) {
  TMDIChild* child = Open();
  child->Edit2->setText("0.5");  // start X with a point
  const TCalcParams before = child->Params();
  for (auto save : {&TMainForm::Parameter2Click, &TMainForm::Daten2Click}) {
    dialogs_.messages.clear();
    (frame_.get()->*save)();
    EXPECT_TRUE(dialogs_.fileRequests.empty());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.lastMessage().contains("start X: \"0.5\" is not a number."))
        << dialogs_.lastMessage().toStdString();
  }
  dialogs_.answerMessage(QMessageBox::Yes);  // "Save changes?"
  EXPECT_FALSE(child->FormCloseQuery());
  EXPECT_TRUE(dialogs_.fileRequests.empty() && child->Params() == before);
}

TEST(WindowPlacement, TheStatedPlaceIsKeptWhereItFitsAndClampedWhereNot) {
  const QRect wanted(182, 74, 708, 649);  // the main window with its frame
  struct Case {
    QRect area, expected;
  } cases[] = {{{0, 0, 1600, 1000}, wanted},
               {{0, 0, 800, 500}, {92, 0, 708, 500}},          // 1600 x 1000 at a scale factor of 2
               {{0, 30, 700, 1000}, {0, 74, 700, 649}},        // too narrow only
               {{-800, 20, 800, 600}, {-708, 20, 708, 600}}};  // a screen left of the primary one
  for (const Case& c : cases) EXPECT_EQ(FitIntoArea(wanted, c.area), c.expected) << c.area.x() << "," << c.area.y();
}

TEST(WindowPlacement, AToolWindowGoesBesideItsWindowOnTheScreen) {
  const QRect area(0, 0, 1600, 1000);
  EXPECT_EQ(PlaceBeside({100, 80, 400, 450}, {540, 600}, area), QPoint(508, 80));     // right of it
  EXPECT_EQ(PlaceBeside({900, 80, 400, 450}, {540, 600}, area), QPoint(352, 80));     // no room right: left
  EXPECT_EQ(PlaceBeside({300, 600, 1000, 450}, {540, 600}, area), QPoint(316, 400));  // over it, on screen
}

TEST(DialogTitles, TheChangeSettingsDialogIsWideEnoughForItsTitle) {
  TOKBottomDlg1 dialog;
  dialog.show();
  const int title = QFontMetrics(QApplication::font()).horizontalAdvance(dialog.windowTitle());
  EXPECT_GE(dialog.width(), title + 120);
}

TEST_F(NewUserTest, TheMainWindowLiesWithinTheScreen) {
  const QRect area = frame_->screen()->availableGeometry();  // 800 x 600 without a display
  frame_->show();
  EXPECT_TRUE(area.contains(frame_->frameGeometry())) << area.width() << " x " << area.height();
  if (area.width() >= 1000 && area.height() >= 800) {
    EXPECT_EQ(frame_->size(), QSize(700, 619));
  }
}

TEST_F(NewUserTest, EveryControlOfTheFrameTheProjectWindowAndTheSmallWindowsHasAName) {
  frame_->OpenProjectWindow("x");
  TAboutBox about;
  TForm5 note;
  TForm7 progress;
  QStringList unnamed;
  for (QWidget* root : std::initializer_list<QWidget*>{frame_.get(), &about, &note, &progress})
    for (QWidget* w : root->findChildren<QWidget*>())
      if (IsControl(w) && AccessibleNameOf(w).isEmpty())
        unnamed << QString("%1 %2 in %3")
                       .arg(w->metaObject()->className(), w->objectName(),
                            w->parentWidget()->metaObject()->className());
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join("\n").toStdString();

  // Names come from the caption, the label beside, or the hint, which they follow.
  TMDIChild* child = frame_->ProjectWindows().first();
  EXPECT_EQ(AccessibleNameOf(child->Button11), "use settings");
  EXPECT_TRUE(AccessibleNameOf(child->SpinEdit1).startsWith("iterations"));
  child->ToolButton2->setToolTip("pause");
  EXPECT_EQ(AccessibleNameOf(child->ToolButton2), "pause");
}

}  // namespace
}  // namespace vantorel::gui
