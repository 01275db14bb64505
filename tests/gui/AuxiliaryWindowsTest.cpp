// The startup note and the dispatcher that hands work to the event loop.
#include <atomic>
#include <thread>

#include "gui/QtDispatcher.h"
#include "app/gui/StartupNote.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

void MoveMouseOver(QWidget* w, QPoint at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}

TEST(StartupNote, TheButtonLightsUpUnderTheMouseOnlyTheLogoMovesAndTheButtonCloses) {
  TForm5 note;
  note.show();
  EXPECT_FALSE(note.Image2->isVisible());
  MoveMouseOver(note.Image1, QPoint(10, 10));
  EXPECT_EQ(note.Image2->geometry(), note.Image1->geometry());
  test::Grab(note, "startup-note-hot");
  MoveMouseOver(note.Image2, QPoint(12, 10));  // still over the button
  EXPECT_TRUE(note.Image2->isVisible());
  MoveMouseOver(note.Memo1->viewport(), QPoint(20, 20));
  EXPECT_FALSE(note.Image2->isVisible());
  MoveMouseOver(note.Image1, QPoint(10, 10));
  MoveMouseOver(&note, QPoint(300, 240));
  EXPECT_FALSE(note.Image2->isVisible());
  test::Grab(note, "startup-note");

  // A click on the logo moves it; a click on the button, dark or lit, closes the note.
  const int start = note.Image3->x();
  QTest::mouseClick(note.Image3, Qt::LeftButton);
  EXPECT_EQ(note.Image3->x(), (start + 280) % 560);
  EXPECT_TRUE(note.Image3->geometry().right() <= note.width() && note.isVisible());
  for (QLabel* button : {note.Image1, note.Image2}) {
    note.show();
    note.Image1MouseMove();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(note.isVisible());
  }
}

TEST(QtDispatcher, RunsPostedWorkOnTheEventLoopInOrder) {
  QtDispatcher dispatcher;
  std::vector<int> order;
  std::atomic<bool> wrongThread{false};
  QThread* uiThread = QThread::currentThread();
  const auto post = [&](int i) {
    dispatcher.Post([&, i] {
      if (QThread::currentThread() != uiThread) wrongThread = true;
      order.push_back(i);
    });
  };
  post(-1);  // from the event loop's own thread: waits for the loop too
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) post(i);
  });
  worker.join();
  EXPECT_TRUE(order.empty());  // nothing runs before the event loop gets to it
  QCoreApplication::sendPostedEvents();
  ASSERT_EQ(order.size(), 101u);
  for (int i = -1; i < 100; ++i) EXPECT_EQ(order[static_cast<size_t>(i + 1)], i);
  EXPECT_FALSE(wrongThread);
}

}  // namespace
}  // namespace vantorel::gui
