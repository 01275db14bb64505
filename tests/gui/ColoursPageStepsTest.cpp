// The "colors" page step by step: every change is an undo step of its stack, the preview waits
// for "apply to preview", and Delete without a selection does nothing.
#include <QUndoStack>

#include "core/ColorMapping.h"
#include "core/PixelDataFile.h"
#include "colour/gui/ColorDialogs.h"
#include "colour/gui/ColorListDisplay.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;
using List = std::vector<TColorEntry>;

class ColoursPageSteps : public ::testing::Test {
 protected:
  ColoursPageSteps() { page.SetColors(DefaultColorList(), 0xFFFFFF, 0); }
  void New(const QString& value) {
    dialogs.answerDialog([value](QDialog* d) {
      auto* dlg = dynamic_cast<TOKBottomDlg*>(d);
      ASSERT_NE(dlg, nullptr);
      dlg->Edit1->setText(value);
      QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    });
    QTest::mouseClick(page.Button3, Qt::LeftButton);
  }
  ScriptedDialogs dialogs;
  TColorListDisplay page;
};

TEST_F(ColoursPageSteps, EveryChangeIsOneStepBackAndForth) {
  const ColorListState start = page.State();
  New("0,5");
  const ColorListState added = page.State();
  page.ListView1->clearSelection();
  page.Farbreihenfolgeumkehren1->trigger();  // "invert order"
  const ColorListState inverted = page.State();
  dialogs.answerColor(QColor(0, 255, 0));
  QTest::mouseClick(page.Shape1, Qt::LeftButton);
  EXPECT_EQ(page.BelowColor(), 0x00FF00u);
  const QStringList names{"new colour", "invert order", "change colour below"};
  ASSERT_EQ(page.UndoStack().count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(page.UndoStack().text(i), names[i]);
  const ColorListState back[] = {inverted, added, start};
  for (const ColorListState& expected : back) {
    ASSERT_TRUE(page.UndoButton->isEnabled());
    QTest::mouseClick(page.UndoButton, Qt::LeftButton);
    EXPECT_EQ(page.State(), expected);
  }
  EXPECT_FALSE(page.UndoButton->isEnabled());
  page.RedoClick();
  EXPECT_EQ(page.State(), added);
  // A list shown from outside (a loaded project) is no step.
  page.SetColors(DefaultColorList(), 0xFFFFFF, 0);
  EXPECT_EQ(page.UndoStack().count(), 3);
  EXPECT_EQ(dialogs.unexpected, 0);
}

TEST_F(ColoursPageSteps, EditsWaitForApplyToPreviewAndDeleteWithoutSelectionDoesNothing) {
  PreviewGrid grid;
  for (int x = 0; x < PreviewGrid::Columns; ++x)
    for (int y = 0; y < PreviewGrid::Rows; ++y) grid.At(x, y) = 0.5;
  page.DrawPreview(grid);
  const QImage before = page.PreviewImage().copy();
  dialogs.answerColor(QColor(0, 0, 255));
  QTest::mouseClick(page.Shape2, Qt::LeftButton);  // the colour above the list: 0,5 lies above it
  New("0,4");
  EXPECT_EQ(page.PreviewImage(), before);
  page.DrawPreview(grid);  // "apply to preview"
  EXPECT_EQ(page.PreviewImage().pixelColor(10, 10), QColor(0, 0, 255));

  const List colours = page.Colors();
  page.ListView1->clearSelection();
  page.ListView1->setFocus();
  QTest::keyClick(page.ListView1, Qt::Key_Delete);
  EXPECT_FALSE(page.Button4->isEnabled());
  EXPECT_EQ(page.Colors(), colours);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.unexpected, 0);
}

}  // namespace
}  // namespace vantorel::gui
