// The "calculation" page driving the real computation thread headless: a picture is
// initialised, started, paused, saved, continued and finished, extended by more iterations for
// the whole picture and a dragged rectangle, recoloured and stopped. Every result is compared
// with the engine run directly the way the renderer runs it. With VANTOREL_GRAB_DIR set, the
// page is grabbed to PNG files there at each stage.
#include <QProcess>
#include <chrono>
#include <thread>

#include "app/ProjectFile.h"
#include "app/gui/OKBottomDlg1.h"
#include "app/gui/PictureExport.h"
#include "core/ColorMapping.h"
#include "colour/gui/ColorListDisplay.h"
#include "core/RechenThread.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

// The engine run directly, as the renderer runs it, on its own data files.
struct EngineRun {
  explicit EngineRun(const test::TempDir& dir) {
    tmp1.Create(dir.file("engine.TMP1"));
    tmp2.Create(dir.file("engine.TMP2"));
  }
  void Run(TCalcParams& p, bool fresh, const PictureRegion* region = nullptr) {
    if (picture.Width != p.PictureWidth) {
      picture.Resize(p.PictureWidth, p.PictureHeight);
      picture.Fill(0xFFFFFF);
    }
    DirectDispatcher ui;
    TRechenThread t(ui, 2);
    bool finished = false;
    t.SetFresh(fresh);
    t.SetFastTrig(fast);
    t.SetFiles(tmp1, tmp2);
    t.SetFinishedHandler([&] { finished = true; });
    t.Setup(p, picture);
    if (region) t.SetRegion(region->Left, region->Top, region->Right, region->Bottom);
    tmp1.Rewind();
    tmp2.Rewind();
    t.Resume();
    while (!t.Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    t.WaitFor();
    ASSERT_TRUE(finished);
    p.IterationsDone += region ? 0 : p.Iterations;
    p.ProgressColumn = p.ProgressRow = 0;
  }
  PixelDataFile tmp1, tmp2;
  TPicture picture;
  bool fast = false;
};

class CalculationTest : public FrameTest {
 protected:
  void SetUp() override {
    child_ = Open();
    frame_->resize(900, 700);
    frame_->show();
    child_->CheckBox3->setChecked(false);  // keep both picture sides as set
    child_->SpinEdit3->setValue(80);
    child_->SpinEdit4->setValue(60);
    child_->PageControl1->setCurrentWidget(child_->TabSheet4);
  }

  bool WaitForState(uint8_t state) { return test::WaitForState(child_, state); }
  void Grab(const char* name) { test::Grab(*child_->TabSheet4, name); }
  // Initialises (the block then is kept in initialised_) and starts; then waits for the end, or
  // pauses once some rows are drawn.
  void Run(bool toTheEnd) {
    child_->ToolButton7->click();
    initialised_ = child_->Params();
    child_->ToolButton2->click();
    if (toTheEnd) {
      ASSERT_TRUE(WaitForState(StateFinished));
      return;
    }
    while (child_->DataFile1().RecordCount() < 360) QTest::qWait(5);
    child_->ToolButton2->click();
    ASSERT_EQ(child_->Params().State, StatePaused);
  }
  Bytes Data(int index) const { return ReadBytes(child_->TempFileName(index).toStdString()); }
  static Bytes Data(const PixelDataFile& f) { return ReadBytes(f.Path()); }
  // The shown picture equals the engine's, pixel for pixel.
  void ExpectPictureEquals(const TPicture& expected) {
    const QImage& shown = child_->Picture();
    ASSERT_EQ(shown.width(), expected.Width);
    ASSERT_EQ(shown.height(), expected.Height);
    int differing = 0;
    for (int y = 0; y < expected.Height; ++y)
      for (int x = 0; x < expected.Width; ++x) {
        const uint32_t c = expected.Pixel(x, y);
        differing += shown.pixel(x, y) != qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
      }
    EXPECT_EQ(differing, 0);
  }
  QString Hint() const { return child_->ToolButton2->toolTip(); }

  TMDIChild* child_ = nullptr;
  TCalcParams initialised_;
};

TEST_F(CalculationTest, RunPauseSaveContinueDeriveAndSelectMatchTheEngine) {
  child_->ToolButton7->click();
  ASSERT_EQ(child_->Params().State, StateInitialised);
  EXPECT_EQ(child_->Picture().size(), QSize(80, 60));
  TCalcParams reference = child_->Params();

  // Start and pause at once: nothing has been handed over yet, so the run is surely unfinished.
  child_->ToolButton2->click();
  EXPECT_EQ(child_->Params().State, StateRunning);
  EXPECT_FALSE(child_->ToolButton7->isEnabled() || child_->Button6->isEnabled() || child_->ToolButton4->isEnabled());
  child_->ToolButton2->click();
  EXPECT_EQ(child_->Params().State, StatePaused);
  EXPECT_EQ(Hint(), "continue");
  EXPECT_TRUE(child_->Button6->isEnabled() && child_->ToolButton12->isEnabled());

  // The paused project saves.
  dialogs_.answerFile(Path("paused.LPr"));
  child_->SaveProject();
  EXPECT_TRUE(child_->Saved() && Exists("paused.LPr"));

  child_->ToolButton2->click();  // continue
  QCoreApplication::processEvents();
  Grab("running");
  ASSERT_TRUE(WaitForState(StateFinished));
  EXPECT_EQ(child_->StatusBar1->currentMessage(), "progress: finished");
  EXPECT_TRUE(Hint() == "derive more iterations" && child_->ProgressBar1->value() == 0);
  EXPECT_EQ(child_->Params().IterationsDone, reference.Iterations);
  Grab("finished");

  EngineRun engine(dir_);
  engine.Run(reference, true);
  EXPECT_EQ(Data(1), Data(engine.tmp1));
  EXPECT_EQ(Data(2), Data(engine.tmp2));
  ExpectPictureEquals(engine.picture);

  // More iterations for the whole picture continue from the stored data.
  child_->ToolButton2->click();
  EXPECT_EQ(child_->Params().State, StateDeriving);
  ASSERT_TRUE(WaitForState(StateFinished));
  engine.Run(reference, false);
  EXPECT_EQ(child_->Params().IterationsDone, reference.IterationsDone);
  EXPECT_EQ(Data(1), Data(engine.tmp1));
  ExpectPictureEquals(engine.picture);

  // A 10 x 5 drag computes 9 x 4 pixels and leaves the count of iterations alone.
  child_->ToolButton14->click();
  child_->Image1MouseDown(QPoint(40, 30));
  child_->Image1MouseMove(QPoint(50, 35));
  EXPECT_FALSE(child_->Shape3->isHidden());
  dialogs_.answerMessage(QMessageBox::Yes);
  child_->Image1MouseUp(QPoint(50, 35));
  EXPECT_EQ(child_->Params().State, StateDeriving);
  ASSERT_TRUE(WaitForState(StateFinished));
  EXPECT_TRUE(!child_->ToolButton14->isChecked() && child_->Params().IterationsDone == reference.IterationsDone);
  const Bytes before = Data(engine.tmp1);
  const PictureRegion area{40, 30, 49, 34};
  engine.Run(reference, false, &area);
  const Bytes after = Data(engine.tmp1);
  EXPECT_EQ(Data(1), after);
  size_t changed = 0;
  for (size_t r = 0; r < after.size() / 8; ++r)
    changed += !std::equal(after.begin() + r * 8, after.begin() + r * 8 + 8, before.begin() + r * 8);
  EXPECT_TRUE(changed > 0 && changed <= 36) << changed;
  ExpectPictureEquals(engine.picture);

  // Stop while deriving: asked, the run ends, nothing is finished, the data are gone, no old
  // percentage is shown, and the picture can still be exported.
  child_->ToolButton2->click();
  dialogs_.answerMessage(QMessageBox::Yes);
  child_->ToolButton10->click();
  EXPECT_FALSE(child_->RunLive() || child_->ToolButton2->isEnabled() || child_->ToolButton10->isEnabled());
  EXPECT_TRUE(Data(1).empty() && Data(2).empty() && child_->ToolButton7->isEnabled());
  QTest::qWait(100);
  EXPECT_EQ(child_->Params().State, StateDeriving);
  EXPECT_TRUE(child_->StatusBar1->currentMessage().isEmpty()) << child_->StatusBar1->currentMessage().toStdString();
  ASSERT_TRUE(child_->ToolButton3->isEnabled());
  dialogs_.answerFile(Path("stopped.bmp"));
  child_->PictureExport->WindowsBitmap1->trigger();
  EXPECT_TRUE(Exists("stopped.bmp")) << dialogs_.lastMessage().toStdString();

  // A new picture after a finished one: the status line no longer speaks of the old run.
  child_->ToolButton7->click();
  child_->ToolButton2->click();
  ASSERT_TRUE(WaitForState(StateFinished));
  EXPECT_EQ(child_->StatusBar1->currentMessage(), "progress: finished");
  child_->SpinEdit3->setValue(child_->SpinEdit3->value() - 2);
  child_->ToolButton7->click();
  EXPECT_EQ(child_->Params().State, StateInitialised);
  EXPECT_TRUE(child_->StatusBar1->currentMessage().isEmpty()) << child_->StatusBar1->currentMessage().toStdString();
}

// The fast switch covers the default project's own formula. A run computes in the mode it was
// started with: switching while paused asks nothing, leaves the parameters alone and takes
// effect at the next start.
TEST_F(CalculationTest, TheFastSwitchCoversUserFormulasFromTheNextStart) {
  ASSERT_EQ(child_->Params().FixedFormula, -1);
  EXPECT_TRUE(child_->CheckBoxFastTrig->isEnabled() && !child_->CheckBoxFastTrig->isChecked());
  child_->CheckBoxFastTrig->click();
  Run(false);
  const TCalcParams paused = child_->Params();
  const size_t asked = dialogs_.messages.size();
  child_->CheckBoxFastTrig->click();
  EXPECT_EQ(dialogs_.messages.size(), asked);
  EXPECT_EQ(child_->Params(), paused);
  EXPECT_EQ(dialogs_.unexpected, 0);
  EXPECT_EQ(child_->Params().State, StatePaused);
  child_->ToolButton2->click();  // continue: still fast
  ASSERT_TRUE(WaitForState(StateFinished));

  EngineRun engine(dir_);
  TCalcParams reference = initialised_;
  engine.fast = true;
  engine.Run(reference, true);
  EXPECT_EQ(Data(1), Data(engine.tmp1));
  EXPECT_EQ(Data(2), Data(engine.tmp2));

  // The next start, more iterations from the stored data, computes exactly.
  child_->ToolButton2->click();
  EXPECT_EQ(child_->Params().State, StateDeriving);
  ASSERT_TRUE(WaitForState(StateFinished));
  engine.fast = false;
  engine.Run(reference, false);
  EXPECT_EQ(Data(1), Data(engine.tmp1));
  EXPECT_EQ(Data(2), Data(engine.tmp2));
  EXPECT_EQ(dialogs_.unexpected, 0);
}

TEST_F(CalculationTest, RecolouringAPausedPictureUsesTheNewListForTheRest) {
  Run(false);
  TCalcParams reference = initialised_;
  const std::vector<TColorEntry> list = {{0x0000FF, -1.0}, {0x00FF00, 0.0}, {0xFF0000, 0.5}};
  child_->ColorPage->SetColors(list, 0x000000, 0xFFFFFF);
  child_->DataFile1().Seek(3);
  // While the colours are applied, the commands that change the picture, block or files wait.
  bool checked = false;
  QTimer::singleShot(0, child_, [&] {
    checked = true;
    EXPECT_TRUE(child_->Busy());
    EXPECT_FALSE(child_->ToolButton2->isEnabled() || child_->ToolButton10->isEnabled() ||
                 child_->Button6->isEnabled() || child_->ToolButton4->isEnabled());
    EXPECT_FALSE(child_->InitialisePicture());
    EXPECT_FALSE(child_->FormCloseQuery());
    EXPECT_EQ(dialogs_.lastMessage(), "Please wait until the colours are applied.");
  });
  child_->Button6->click();
  EXPECT_TRUE(checked && !child_->Busy());
  const TCalcParams& p = child_->Params();  // paused: the part done, not "finished"
  EXPECT_EQ(child_->StatusBar1->currentMessage(),
            Q(StateStatusText(StatePaused, p.ProgressColumn, p.ProgressRow, p.PictureWidth, p.PictureHeight)));
  EXPECT_EQ(child_->DataFile1().Position(), 3);
  EXPECT_TRUE(child_->ToolButton2->isEnabled());
  child_->DataFile1().Seek(0);  // as the run left it

  child_->ToolButton2->click();
  ASSERT_TRUE(WaitForState(StateFinished));
  reference.SetColors(list);
  reference.BelowColor = 0x000000;
  reference.AboveColor = 0xFFFFFF;
  EngineRun engine(dir_);
  engine.Run(reference, true);
  ExpectPictureEquals(engine.picture);
}

TEST_F(CalculationTest, ASavedPausedProjectContinuesWhereItStoppedInTheWindowAndTheRenderer) {
  Run(false);
  dialogs_.answerFile(Path("paused.LPr"));
  child_->SaveProject();
  ASSERT_TRUE(Exists("paused.LPr"));

  // Loaded into a new window, the project shows the picture so far and goes on with start.
  TMDIChild* second = frame_->LoadProject(Path("paused.LPr"));
  ASSERT_NE(second, child_);
  EXPECT_EQ(second->Params().State, StatePaused);  // as it was saved
  EXPECT_EQ(second->ToolButton2->toolTip(), "continue");
  EXPECT_EQ(second->Picture().pixel(0, 0), child_->Picture().pixel(0, 0));
  second->ToolButton2->click();
  std::swap(child_, second);
  ASSERT_TRUE(WaitForState(StateFinished));

  EngineRun engine(dir_);
  engine.Run(initialised_, true);
  EXPECT_EQ(Data(1), Data(engine.tmp1));
  EXPECT_EQ(Data(2), Data(engine.tmp2));
  ExpectPictureEquals(engine.picture);

#ifdef VANTOREL_RENDER_EXE
  // The renderer continues the same file to the same bytes.
  QProcess render;
  render.start(VANTOREL_RENDER_EXE, {"-q", Path("paused.LPr"), "--data", Path("rendered")});
  ASSERT_TRUE(render.waitForFinished(120000));
  ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
  EXPECT_EQ(ReadBytes(dir_.file("rendered.TMP1")), Data(engine.tmp1));
  EXPECT_EQ(ReadBytes(dir_.file("rendered.TMP2")), Data(engine.tmp2));
#endif
}

TEST_F(CalculationTest, DerivingMoreIsRefusedWhenTheCountOfIterationsDoneWouldOverflow) {
  Run(true);
  const Bytes before = Data(1);
  child_->Params().IterationsDone = INT32_MAX - child_->Params().Iterations + 1;
  dialogs_.messages.clear();
  child_->ToolButton2->click();  // derive more iterations
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.lastMessage().contains("Cannot derive more iterations")) << dialogs_.lastMessage().toStdString();
  EXPECT_TRUE(child_->Params().State == StateFinished && !child_->RunLive());
  EXPECT_EQ(Data(1), before);
}

TEST_F(CalculationTest, BadSettingsAndLiveRunsChangeNothingUnasked) {
  const std::tuple<const char*, std::function<void(TMDIChild*)>, const char*> cases[] = {
      {"empty sequence", [](TMDIChild* c) { c->Edit1->clear(); }, "the sequence is empty"},
      {"bad number", [](TMDIChild* c) { c->Edit2->setText("0.5"); }, "start X: \"0.5\""},  // a point is no comma
      {"region width no number", [](TMDIChild* c) { c->Edit6->setText("wide"); }, "width"},
      {"formula that does not convert", [](TMDIChild* c) { c->Memo1->setPlainText("X*(1-"); }, "formula"},
      {"picture too large for the memory",
       [](TMDIChild* c) {
         c->SpinEdit3->setValue(100000);
         c->SpinEdit4->setValue(100000);
       },
       "does not fit into memory"},
  };
  for (const auto& [what, edit, message] : cases) {
    SCOPED_TRACE(what);
    const TCalcParams before = child_->Params();
    child_->CheckBox3->setChecked(false);
    child_->Edit4->setText("2");  // valid, but must not reach the block either
    edit(child_);
    child_->ToolButton7->click();
    EXPECT_TRUE(dialogs_.lastMessage().contains(message, Qt::CaseInsensitive)) << dialogs_.lastMessage().toStdString();
    EXPECT_EQ(child_->Params(), before);
    EXPECT_FALSE(child_->PictureInitialised() || QFile::exists(child_->TempFileName(0)));
    child_->ApplyParameters();
  }

  // A paused run counts as live: "all parameters" and "use settings" ask before they end it.
  child_->ToolButton7->click();
  child_->ToolButton2->click();
  child_->ToolButton2->click();
  ASSERT_EQ(child_->Params().State, StatePaused);
  child_->SpinEdit1->setValue(24);
  ASSERT_TRUE(child_->ToolButton13->isEnabled());
  EXPECT_FALSE(child_->OKBottomDlg1->CheckBox1->isEnabled() || child_->OKBottomDlg1->CheckBox2->isEnabled());
  QTimer::singleShot(0, child_->OKBottomDlg1, [d = child_->OKBottomDlg1] { d->OKBtn->click(); });
  dialogs_.answerMessage(QMessageBox::No);
  child_->ToolButton13->click();
  EXPECT_EQ(dialogs_.lastMessage(), "All calculated data will be lost!\ncontinue anyway?");
  EXPECT_TRUE(child_->Params().State == StatePaused && child_->RunLive());

  child_->SpinEdit3->setValue(100);
  dialogs_.answerMessage(QMessageBox::Yes);
  child_->Button11->click();
  EXPECT_TRUE(!child_->RunLive() && child_->Params().State == StateInitialised);
  EXPECT_EQ(child_->Picture().size(), QSize(child_->SpinEdit3->value(), child_->SpinEdit4->value()));
  EXPECT_EQ(child_->Params().PictureWidth, child_->SpinEdit3->value());
}

TEST_F(CalculationTest, AFailingDataFileEndsTheRunWithItsMessageAndStopStillWorks) {
  child_->ToolButton7->click();
  {
    SmallFileLimit limit;
    child_->ToolButton2->click();
    WaitUntil([&] { return !dialogs_.messages.empty(); }, 30000);
  }
  ASSERT_FALSE(dialogs_.messages.empty());
  EXPECT_TRUE(dialogs_.lastMessage().contains("large", Qt::CaseInsensitive)) << dialogs_.lastMessage().toStdString();
  QTest::qWait(100);
  EXPECT_NE(child_->StatusBar1->currentMessage(), "progress: finished");
  EXPECT_FALSE(child_->ToolButton2->isEnabled());
  dialogs_.answerMessage(QMessageBox::Yes);
  child_->ToolButton10->click();
  EXPECT_TRUE(child_->ToolButton7->isEnabled());
  EXPECT_FALSE(child_->RunLive());
}

TEST_F(CalculationTest, ClosingWithARunningProjectSavesItPausedOrWaitsForTheWorker) {
  child_->ToolButton7->click();
  child_->ToolButton2->click();
  dialogs_.answerMessage(QMessageBox::Yes);  // "Save changes?"
  dialogs_.answerFile(Path("closing.LPr"));
  ASSERT_TRUE(child_->parentWidget()->close());
  EXPECT_TRUE(Exists("closing.LPr"));
  EXPECT_EQ(dialogs_.unexpected, 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame_->ProjectWindows().isEmpty() && !Exists("x.TMP1"));
  QTest::qWait(50);  // hand-overs posted before the stop do nothing now
}

}  // namespace
}  // namespace vantorel::gui
