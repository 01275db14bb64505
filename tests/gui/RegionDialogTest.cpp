// Choosing a new region over the picture of a project window: the dialog's modes, track bars
// and zoom, and "change coordinates" accepting a region (all or nothing) with the preview.
#include "app/ParameterFile.h"
#include "app/gui/RegionDialog.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class RegionDialogTest : public test::FrameTest {
 protected:
  void SetUp() override {
    child_ = frame_->OpenProjectWindow("x");
    ASSERT_TRUE(child_->InitialisePicture());
    // The picture: left half red, right half blue.
    QImage picture(child_->Picture().size(), QImage::Format_RGB888);
    QPainter p(&picture);
    p.fillRect(0, 0, picture.width() / 2, picture.height(), Qt::red);
    p.fillRect(picture.width() / 2, 0, picture.width(), picture.height(), Qt::blue);
    p.end();
    child_->ShowPicture(picture);
  }
  // "change coordinates", with the dialog handled by a function once it is shown.
  void ChangeCoordinates(std::function<void(TForm3&)> inDialog) {
    QTimer::singleShot(0, [inDialog] { inDialog(TForm3::Instance()); });
    child_->ToolButton4Click();
  }

  TMDIChild* child_ = nullptr;
};

TEST_F(RegionDialogTest, ModesTrackBarsAndZoomOfTheDialog) {
  TForm3& form = TForm3::Instance();
  form.Prepare(child_->Params(), child_->Picture());
  EXPECT_TRUE(form.Mode() == 2 && form.ToolButton9->isChecked());
  form.ToolButton1Click(form.ToolButton1);  // resize
  form.TrackBar1->setValue(150);
  EXPECT_EQ(form.Selection().Sx, 2.25);
  form.ToolButton1Click(form.ToolButton7);  // rotate: one track bar
  EXPECT_TRUE(form.TrackBar2->isHidden());
  form.TrackBar1->setValue(90);
  EXPECT_EQ(form.Panels[2]->text(), "angle =90°");
  form.ToolButton1Click(form.ToolButton11);  // move picture: none, any button moves
  EXPECT_TRUE(form.TrackBar1->isHidden());
  form.Image1MouseDown(Qt::RightButton, 10, 10);
  form.Image1MouseMove(30, 5);
  form.Image1MouseUp();
  EXPECT_EQ(form.View().Centre(), (DisplayPoint{321, 197}));
  // A left drag in another mode moves the selection and selects "move selection".
  form.ToolButton1Click(form.ToolButton1);
  form.Image1MouseDown(Qt::LeftButton, 10, 10);
  form.Image1MouseMove(20, 10);
  EXPECT_EQ(form.Mode(), 2);
  EXPECT_GT(form.Selection().Dx, 0);
  // The wheel over a track bar without the focus changes nothing.
  const int position = form.TrackBar1->value();
  QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(form.TrackBar1, &wheel);
  EXPECT_EQ(form.TrackBar1->value(), position);
  form.ToolButton3Click();
  EXPECT_EQ(form.View().Level(), 1);
  form.ToolButton10Click();
  EXPECT_EQ(form.View().Level(), 0);
  // The next execute starts afresh.
  form.Prepare(child_->Params(), child_->Picture());
  EXPECT_EQ(form.Selection().Sx, 1);
  EXPECT_EQ(form.View().Centre(), RegionView::kHome);
  // The dotted outline inverts the picture under it: on the red half's top edge it is cyan.
  const QImage display = form.Display();
  const int top = form.View().Outline(form.Selection())[1].Y;
  int cyan = 0;
  for (int x = 0; x < display.width(); ++x) cyan += display.pixel(x, top) == qRgb(0, 255, 255);
  EXPECT_GT(cyan, 20);
  form.ToolButton1Click(form.ToolButton7);
  form.TrackBar1->setValue(30);
  Grab(form, "region-dialog");
}

TEST_F(RegionDialogTest, AcceptingARegionInitialisesTheNewPictureWithThePreview) {
  // Unchanged: the same region and size, the preview is the old picture.
  ChangeCoordinates([](TForm3& f) { f.ToolButton6Click(); });
  EXPECT_TRUE(child_->Params().PictureWidth == 194 && child_->Params().PictureHeight == 154);
  EXPECT_EQ(child_->Params().CenterX, 3.959);
  EXPECT_TRUE(child_->Picture().pixel(20, 77) == qRgb(255, 0, 0) &&
              child_->Picture().pixel(170, 77) == qRgb(0, 0, 255));
  // Half a turn, 2,25 times as wide: the sides change places, the picture keeps its pixel count.
  ChangeCoordinates([](TForm3& f) {
    f.ToolButton1Click(f.ToolButton1);
    f.TrackBar1->setValue(150);
    f.ToolButton1Click(f.ToolButton7);
    f.TrackBar1->setValue(180);
    f.ToolButton6Click();
  });
  const TCalcParams& p = child_->Params();
  EXPECT_TRUE(p.PictureWidth == 291 && p.PictureHeight == 103);
  EXPECT_DOUBLE_EQ(p.Width, 0.0132 * 2.25);
  EXPECT_DOUBLE_EQ(p.Angle, kPi);
  EXPECT_TRUE(child_->SpinEdit3->value() == 291 && child_->Picture().size() == QSize(291, 103));
  EXPECT_EQ(child_->Picture().pixel(145 + 20, 51), qRgb(255, 0, 0));  // beyond the old picture: black
  EXPECT_EQ(child_->Picture().pixel(5, 51), qRgb(0, 0, 0));
  EXPECT_EQ(child_->Picture().pixel(145 - 20, 51), qRgb(0, 0, 255));
  EXPECT_EQ(LoadParameterFile(child_->TempFileName(0).toStdString()).PictureWidth, 291);
  EXPECT_TRUE(child_->Changed());
  EXPECT_EQ(dialogs_.unexpected, 0);
}

TEST_F(RegionDialogTest, DiscardedOrRefusedRegionsChangeNothing) {
  const TCalcParams before = child_->Params();
  const QImage picture = child_->Picture();
  const QString startX = child_->Edit2->text();
  // Discarded; refused by the initialisation (a setting on another page is not a number).
  ChangeCoordinates([](TForm3& f) { f.ToolButton4Click(); });
  child_->Edit2->setText("abc");
  ChangeCoordinates([](TForm3& f) {
    f.ToolButton1Click(f.ToolButton1);
    f.TrackBar1->setValue(150);
    f.ToolButton6Click();
  });
  EXPECT_EQ(child_->Params(), before);
  EXPECT_EQ(child_->Picture(), picture);
  EXPECT_TRUE(child_->Edit6->text() == "0,0132" && child_->SpinEdit3->value() == 194);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.lastMessage().contains("start X"));
  // A region so flat that its picture would be under 10 pixels high is refused with the size.
  child_->Edit2->setText(startX);
  child_->Edit7->setText("0,000001");
  ASSERT_TRUE(child_->InitialisePicture());
  const TCalcParams flat = child_->Params();
  ChangeCoordinates([](TForm3& f) { f.ToolButton6Click(); });
  EXPECT_EQ(child_->Params(), flat);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_TRUE(dialogs_.lastMessage().contains("between 10 and 100000")) << dialogs_.lastMessage().toStdString();
}

}  // namespace
}  // namespace vantorel::gui
