// The project picture's zoom: sizes, the mouse in picture coordinates and rectangles back on
// the widget at 50 %, 100 % and 300 %, the levels of Ctrl+wheel and the keys, fitting by default.
#include "app/gui/PictureView.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class PictureZoomTest : public test::FrameTest {};

TEST_F(PictureZoomTest, TheMouseAndTheRectanglesMapThroughTheZoom) {
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(Qt::red);
  QScrollArea area;
  area.resize(500, 400);
  auto* view = new TPictureView;
  area.setWidget(view);
  view->SetImage(&image);
  area.show();
  EXPECT_EQ(view->size(), QSize(200, 100));  // smaller than the window: 1 : 1
  std::vector<QPoint> down, up;
  view->MouseDown = [&](QPoint p) { down.push_back(p); };
  view->MouseUp = [&](QPoint p) { up.push_back(p); };
  struct Case {
    double zoom;
    QPoint widget, picture;
    QRect pictureRect, widgetRect;
  };
  const Case cases[] = {
      {0.5, {21, 11}, {42, 22}, {40, 30, 10, 6}, {20, 15, 5, 3}},
      {1, {21, 11}, {21, 11}, {40, 30, 10, 6}, {40, 30, 10, 6}},
      {3, {65, 35}, {21, 11}, {40, 30, 10, 6}, {120, 90, 30, 18}},
  };
  for (const Case& c : cases) {
    view->SetZoom(c.zoom);
    EXPECT_EQ(view->size(), QSize(int(200 * c.zoom), int(100 * c.zoom)));
    down.clear();
    up.clear();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, c.widget);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, c.widget);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0], c.picture) << c.zoom;
    EXPECT_EQ(up.at(0), c.picture);
    EXPECT_EQ(view->ToWidget(c.pictureRect), c.widgetRect);
  }
  // Larger than the window at 300 %: scroll bars.
  EXPECT_TRUE(area.horizontalScrollBar()->maximum() > 0);

  // Ctrl+wheel and the keys step through the levels; "fit to window" fills it.
  QWheelEvent wheel(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
  EXPECT_DOUBLE_EQ(view->Scale(), 4);
  // The keys work where the picture's area has the focus (a click on the picture gives it).
  area.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
  area.setFocus();
  QTest::keyClick(&area, Qt::Key_Minus, Qt::ControlModifier);
  QTest::keyClick(&area, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(view->Scale(), 2);
  view->SetZoom(100);
  EXPECT_DOUBLE_EQ(view->Scale(), 8);
  view->SetZoomMode(TPictureView::ZoomMode::Fit);
  const QSize room = area.maximumViewportSize();
  EXPECT_DOUBLE_EQ(view->Scale(), std::min(room.width() / 200.0, room.height() / 100.0));
}

TEST_F(PictureZoomTest, AProjectPictureLargerThanTheWindowIsFittedIntoIt) {
  frame_->resize(900, 700);
  frame_->show();
  TMDIChild* child = Open("x");
  child->CheckBox3->setChecked(false);
  child->SpinEdit3->setValue(1000);
  child->SpinEdit4->setValue(800);
  ASSERT_TRUE(child->InitialisePicture());
  auto* view = static_cast<TPictureView*>(child->Image1);
  EXPECT_LT(view->Scale(), 1);
  EXPECT_LE(view->width(), child->ScrollBox1->maximumViewportSize().width());
  EXPECT_LE(view->height(), child->ScrollBox1->maximumViewportSize().height());
  view->SetZoom(1);
  EXPECT_EQ(view->size(), QSize(1000, 800));
}

}  // namespace
}  // namespace vantorel::gui
