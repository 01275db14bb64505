// The formula page's tools on a real project window, and the plot window: its link with the
// project, the function plot, refused ranges, zooming and the bifurcation graph with its STOP.
#include "gui/RadioGroup.h"
#include "gui/WindowPlacement.h"
#include "formula/gui/PlotWindow.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class FormulaToolsTest : public test::FrameTest {
 protected:
  void TearDown() override {
    delete &TForm2::Instance();  // the next test starts with a fresh window
    FrameTest::TearDown();
  }
  // Processes events until the graph has ended.
  static void WaitForGraph(TForm2& plot) {
    QElapsedTimer t;
    t.start();
    while (plot.Running() && t.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
};

TEST_F(FormulaToolsTest, TestHelpAndFixedFormulaButtons) {
  TMDIChild* child = Open("x");
  for (QPushButton* b : {child->Button1, child->Button2, child->Button7, child->Button12})
    EXPECT_TRUE(b->isEnabled());  // from the start
  const std::pair<QString, QStringList> cases[] = {
      {"AB*X*(1-X)",
       {"conversion successful\ninternal used formula:\n\n((AB)*(X))*((1-X))",
        "derivative dF/dX, internal used formula:\n\n((AB)*((1-X))+(0-(AB)*(X)))"}},
      {"X*AB+C", {"wrong variables: \"C\"\nonly X, A, B, AB and BA allowed!"}},
      {"log(0)*X+sqrt(-4)",
       {"Log(-X) !", "Wurzel(-X) !", "conversion successful\ninternal used formula:\n\n((-10000)*(X)+2)",
        "derivative dF/dX, internal used formula:\n\n-10000"}},
  };
  for (const auto& [text, messages] : cases) {
    dialogs_.messages.clear();
    child->Memo1->setPlainText(text);
    QTest::mouseClick(child->Button1, Qt::LeftButton);
    ASSERT_EQ(dialogs_.messages.size(), 1u) << text.toStdString();  // one box
    EXPECT_EQ(dialogs_.lastMessage(), messages.join("\n\n"));
  }
  child->RadioGroup1->SetItemIndex(2);
  child->Button12Click();
  EXPECT_TRUE(child->Memo1->toPlainText().startsWith("teta(X-0,5)*AB*X*abs(1-X)"));
  child->RadioGroup1->SetItemIndex(-1);  // none chosen: nothing happens
  child->Button12Click();
  EXPECT_TRUE(child->Memo1->toPlainText().startsWith("teta"));
}

TEST_F(FormulaToolsTest, PlotWindowDrawsAndFollowsTheProjectThatOpenedItAndLetsGoOfAClosedOne) {
  TMDIChild* first = Open("a");
  TMDIChild* second = Open("b");
  second->Memo1->setPlainText("AB*X*(1-X)");
  TForm2& plot = TForm2::Instance();
  first->Button7Click();
  EXPECT_EQ(plot.Memo1->toPlainText(), "2,5*sqr(sin(X+AB))");
  // The default formula's curves: -5 .. 5 on 400 rows, 2,5 is row 100, 0 is row 200; the slope
  // runs from -2,5 to 2,5.
  const QImage& picture = plot.Picture();
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) {
      const QRgb c = picture.pixel(x, y);
      const bool inside = c == qRgb(0, 0, 0) ? y >= 99 && y <= 201 : c != qRgb(255, 0, 0) || (y >= 99 && y <= 301);
      ASSERT_TRUE(inside) << x << " " << y;
    }
  test::Grab(plot, "plot");
  second->Button7Click();
  EXPECT_EQ(plot.Memo1->toPlainText(), "AB*X*(1-X)");
  plot.Memo1->setPlainText("AB*X*(1-X)+A");  // edits reach the linked project only
  EXPECT_TRUE(second->Memo1->toPlainText() == "AB*X*(1-X)+A" && first->Memo1->toPlainText().startsWith("2,5*"));
  second->Memo1->setPlainText("X");  // and the project's edits reach the window
  EXPECT_EQ(plot.Memo1->toPlainText(), "X");
  plot.Button5Click();
  EXPECT_TRUE(plot.Running());
  dialogs_.answerMessage(QMessageBox::No);  // "Save changes?"
  ASSERT_TRUE(qobject_cast<QMdiSubWindow*>(second->parentWidget())->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(plot.LinkedMemo() == nullptr && !plot.Running());
  plot.Memo1->setPlainText("X*X");  // no dangling link
  EXPECT_EQ(first->Memo1->toPlainText(), "2,5*sqr(sin(X+AB))");
  EXPECT_EQ(dialogs_.unexpected, 0);
}

TEST_F(FormulaToolsTest, EmptyRangesAreRefusedAndADragZooms) {
  TMDIChild* child = Open("x");
  TForm2& plot = TForm2::Instance();
  child->Memo1->setPlainText("X");
  child->Button7Click();
  ASSERT_TRUE(dialogs_.messages.empty());
  // Two equal range edits; "adjust" on a formula whose values and slope are one constant.
  plot.Edit5->setText("-5");
  plot.Button2Click();
  plot.Edit5->setText("5");
  child->Memo1->setPlainText("0");
  plot.CheckBox1->setChecked(true);
  plot.Button2Click();
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_TRUE(dialogs_.messages[0].text.contains("The range of X from -5 to -5 is empty"));
  EXPECT_TRUE(dialogs_.messages[1].text.contains("The range of F(X) from 0 to 0 is empty"));
  plot.CheckBox1->setChecked(false);
  child->Memo1->setPlainText("X");
  // A click without a drag, answered Yes: refused; a drag answered No: nothing changes; a drag
  // answered Yes: the ranges of the rectangle.
  dialogs_.messages.clear();
  for (auto answer : {QMessageBox::Yes, QMessageBox::Ok, QMessageBox::No, QMessageBox::Yes})
    dialogs_.answerMessage(answer);
  plot.Image1MouseDown(Qt::LeftButton, 99, 99);
  plot.Image1MouseUp(99, 99);
  EXPECT_TRUE(dialogs_.lastMessage().contains("is empty"));
  for (int k = 0; k < 2; ++k) {
    plot.Image1MouseDown(Qt::LeftButton, 99, 99);
    plot.Image1MouseMove(299, 199);
    plot.Image1MouseUp(299, 199);
    EXPECT_EQ(plot.Edit4->text(), k == 0 ? "-5" : "-2,5");
  }
  EXPECT_EQ(QStringList({plot.Edit5->text(), plot.Edit6->text(), plot.Edit7->text()}),
            QStringList({"2,5", "0", "2,5"}));
}

TEST_F(FormulaToolsTest, FeigenbaumGraphStopsAtOnceEndsWithItsWindowAndNeverStaysOnStop) {
  TMDIChild* child = Open("x");
  TForm2& plot = TForm2::Instance();
  child->Memo1->setPlainText("AB*X*(1-X)");
  child->Button7Click();
  // The default graph completes; zooming after it draws the graph again.
  plot.Button5Click();
  EXPECT_EQ(plot.Button5->text(), "STOP");
  WaitForGraph(plot);
  test::Grab(plot, "feigenbaum");
  EXPECT_TRUE(plot.LastWasBifurcation());
  // AB = 2,8 (column 279): the fixed point 1 - 1/AB; AB = 3 (column 300): nothing on Y = 0.
  EXPECT_EQ(plot.Picture().pixel(279, 167), qRgb(0, 0, 0));
  EXPECT_EQ(plot.Picture().pixel(300, 200), qRgb(0xC0, 0xC0, 0xC0));
  // The largest iteration count: STOP is answered at once, and pressing STOP ends the graph.
  plot.SpinEdit1->setValue(plot.SpinEdit1->maximum());
  plot.Button5Click();
  QElapsedTimer t;
  t.start();
  QTimer::singleShot(50, &plot, [&] { QTest::mouseClick(plot.Button5, Qt::LeftButton); });
  WaitForGraph(plot);
  EXPECT_TRUE(t.elapsed() < 1000 && !plot.Running());
  // Closing the window stops a graph; a range that cannot be used never leaves "STOP".
  plot.Button5Click();
  plot.close();
  EXPECT_FALSE(plot.Running());
  plot.Edit11->setText("0");
  dialogs_.messages.clear();
  plot.Button5Click();
  EXPECT_FALSE(plot.Running());
  EXPECT_EQ(plot.Button5->text(), "plot \"Feigenbaum-graph\"");
  EXPECT_TRUE(dialogs_.lastMessage().contains("is empty"));
}

TEST_F(FormulaToolsTest, ThePlotWindowOpensBesideTheProjectWindowWithRoundedAxisLabels) {
  frame_->show();
  TMDIChild* child = Open("near");
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
  QTest::mouseClick(child->Button7, Qt::LeftButton);
  TForm2& plot = TForm2::Instance();
  ASSERT_TRUE(plot.isVisible());
  const QWidget* project = child->parentWidget();
  const QRect projectRect(project->mapToGlobal(QPoint(0, 0)), project->size());
  const QRect area = plot.screen()->availableGeometry();
  const QPoint expected = PlaceBeside(projectRect, plot.frameGeometry().size(), area);
  EXPECT_LE((plot.frameGeometry().topLeft() - expected).manhattanLength(), 40);
  EXPECT_TRUE(area.contains(plot.frameGeometry().topLeft()));
  // The automatic F(X) range shows the digits in which its ends differ, not fifteen.
  plot.Memo1->setPlainText("sin(X*3,3)*1,23456789+0,1");
  QTest::mouseClick(plot.CheckBox1, Qt::LeftButton);
  ASSERT_TRUE(plot.CheckBox1->isChecked());
  QTest::mouseClick(plot.Button2, Qt::LeftButton);  // "new plot"
  EXPECT_LE(plot.Label1->text().size(), 8) << plot.Label1->text().toStdString();
  EXPECT_LE(plot.Label2->text().size(), 8) << plot.Label2->text().toStdString();
}

}  // namespace
}  // namespace vantorel::gui
