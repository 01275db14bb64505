// The project window as a person uses it step by step: undo and redo of the pages and the
// colours (keys and the frame's "edit" menu), and the region dialog's drags and progress.
#include <QUndoStack>
#include <numbers>

#include "app/gui/RegionDialog.h"
#include "colour/gui/ColorDialogs.h"
#include "colour/gui/ColorListDisplay.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class ProjectWindowSteps : public FrameTest {
 protected:
  TMDIChild* Shown(const QString& name) {
    TMDIChild* child = OpenShown(name);
    child->FormActivate();
    return child;
  }
  // An answer for "choose color and value": the value typed, the colour left.
  static std::function<void(QDialog*)> Value(const QString& value) {
    return [value](QDialog* d) {
      auto* dlg = dynamic_cast<TOKBottomDlg*>(d);
      ASSERT_NE(dlg, nullptr);
      dlg->Edit1->setText(value);
      dlg->OKBtn->click();
    };
  }
};

TEST_F(ProjectWindowSteps, CtrlZAndTheEditMenuTakeBackTypedValuesAndColourEdits) {
  TMDIChild* child = Shown("u");
  const QString centre = child->Edit3->text();
  EXPECT_FALSE(frame_->Undo1->isEnabled());
  TypeOver(child->Edit3, "1,5");  // three keys, one step
  EXPECT_EQ(child->UndoStack1->count(), 1);
  EXPECT_EQ(frame_->Undo1->text(), "&Undo change centre X");
  QTest::keyClick(child->Edit3, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(child->Edit3->text(), centre);
  EXPECT_EQ(frame_->Redo1->text(), "&Redo change centre X");
  QTest::keyClick(child->Edit3, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(child->Edit3->text(), "1,5");

  // Colour edits are steps of the same stack; the page's "undo" takes back colour steps only.
  const std::vector<TColorEntry> colours = child->ColorPage->Colors();
  dialogs_.answerDialog(Value("0,5"));
  QTest::mouseClick(child->Button3, Qt::LeftButton);  // "new"
  child->ListView1->setCurrentRow(0);
  dialogs_.answerDialog(Value("-7"));
  QTest::mouseClick(child->Button5, Qt::LeftButton);  // "edit"
  EXPECT_EQ(frame_->Undo1->text(), "&Undo change colour");
  EXPECT_EQ(child->ColorPage->Colors().front().Value, -7);
  frame_->Undo1->trigger();
  EXPECT_EQ(frame_->Undo1->text(), "&Undo new colour");
  QTest::mouseClick(child->ColorPage->UndoButton, Qt::LeftButton);
  EXPECT_EQ(child->ColorPage->Colors(), colours);
  EXPECT_FALSE(child->ColorPage->UndoButton->isEnabled());  // the step before is the centre's
  EXPECT_EQ(frame_->Undo1->text(), "&Undo change centre X");
  frame_->Redo1->trigger();
  EXPECT_EQ(child->ColorPage->Colors().size(), colours.size() + 1);

  // A picture width typed with "adjust ratio" on sets the height within the same step.
  const int width = child->SpinEdit3->value(), height = child->SpinEdit4->value();
  child->CheckBox3->setChecked(true);
  TypeOver(child->SpinEdit3, QString::number(width * 2));
  QTest::keyClick(child->SpinEdit3, Qt::Key_Return);
  ASSERT_NE(child->SpinEdit4->value(), height);
  EXPECT_EQ(frame_->Undo1->text(), "&Undo change picture width and picture height");
  frame_->Undo1->trigger();
  EXPECT_EQ(child->SpinEdit3->value(), width);
  EXPECT_EQ(child->SpinEdit4->value(), height);

  // An initialisation starts afresh.
  ASSERT_TRUE(child->InitialisePicture());
  EXPECT_FALSE(frame_->Undo1->isEnabled());
  EXPECT_EQ(child->UndoStack1->count(), 0);
  EXPECT_EQ(dialogs_.unexpected, 0);
}

TEST_F(ProjectWindowSteps, AStepTheColouredPictureRestsOnIsTakenBackOnlyWhenTheUserAgrees) {
  TMDIChild* child = Shown("a");
  ASSERT_TRUE(child->InitialisePicture());
  const std::vector<double> v{-0.5, 0.25};
  child->DataFile1().Write(v.data(), v.size());
  dialogs_.answerDialog(Value("0,5"));
  QTest::mouseClick(child->Button3, Qt::LeftButton);
  const std::vector<TColorEntry> edited = child->ColorPage->Colors();
  child->Button6Click();  // "apply to picture": the picture shows the edited list
  ASSERT_TRUE(frame_->Undo1->isEnabled());
  dialogs_.answerMessage(QMessageBox::No);
  frame_->Undo1->trigger();
  EXPECT_EQ(child->ColorPage->Colors(), edited);
  EXPECT_TRUE(dialogs_.lastMessage().startsWith("Undo \"new colour\"?"));
  dialogs_.answerMessage(QMessageBox::Yes);
  frame_->Undo1->trigger();
  EXPECT_EQ(child->ColorPage->Colors().size(), edited.size() - 1);
  EXPECT_TRUE(child->PagesDifferFromBlock());
  // Typed values the picture was not made from go back without a question.
  TypeOver(child->Edit1, "AB");
  const size_t asked = dialogs_.messages.size();
  frame_->Undo1->trigger();
  EXPECT_EQ(dialogs_.messages.size(), asked);
  EXPECT_EQ(dialogs_.unexpected, 0);
}

TEST_F(ProjectWindowSteps, RegionDragsLandOnTrackBarStepsAndAcceptingShowsRowProgress) {
  TMDIChild* child = Shown("r");
  ASSERT_TRUE(child->InitialisePicture());
  TForm3& form = TForm3::Instance();
  form.Prepare(child->Params(), child->Picture());
  const auto drag = [&form](Qt::MouseButton button, int steps) {
    QTest::mousePress(form.Image1, button, {}, QPoint(100, 100));
    for (int i = 1; i <= steps; ++i) {  // slowly, one pixel at a time
      QMouseEvent move(QEvent::MouseMove, QPointF(100 + i, 100 + i), QPointF(100 + i, 100 + i), Qt::NoButton, button,
                       Qt::NoModifier);
      QCoreApplication::sendEvent(form.Image1, &move);
    }
    QTest::mouseRelease(form.Image1, button, {}, QPoint(100 + steps, 100 + steps));
  };
  drag(Qt::LeftButton, 7);
  const RegionFrame& r = form.Region();
  const double stepsX = form.Selection().Dx * 180 / r.Width, stepsY = form.Selection().Dy * 180 / r.Height;
  EXPECT_GT(stepsX, 0);  // a slow drag moves too
  EXPECT_DOUBLE_EQ(stepsX, std::round(stepsX));
  EXPECT_DOUBLE_EQ(stepsY, std::round(stepsY));
  EXPECT_EQ(form.TrackBar1->value(), std::lround(stepsX));
  drag(Qt::MiddleButton, 5);
  EXPECT_DOUBLE_EQ(form.Selection().Rot, -5 * std::numbers::pi / 180);

  // Accepting: the new picture grows row by row, with the progress shown.
  std::vector<int> positions;
  QStringList texts;
  QObject::connect(child->ProgressBar1, &QProgressBar::valueChanged, [&](int v) { positions.push_back(v); });
  QObject::connect(child->StatusBar1, &QStatusBar::messageChanged, [&](const QString& t) { texts << t; });
  QTimer::singleShot(0, [] { TForm3::Instance().ToolButton6Click(); });
  child->ToolButton4Click();
  const auto between = std::count_if(positions.begin(), positions.end(), [](int p) { return p > 0 && p < 10000; });
  EXPECT_GT(between, 10);
  EXPECT_TRUE(texts.contains("progress:50,0%") || texts.contains("progress:50,00%")) << texts.join(" | ").toStdString();
  EXPECT_EQ(child->ProgressBar1->value(), 0);
  EXPECT_EQ(dialogs_.unexpected, 0);
}

}  // namespace
}  // namespace vantorel::gui
