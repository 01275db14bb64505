// Projects and runs on their edge paths in the window: saving with edits that were not applied,
// loaded interrupted runs going on where they stopped, and the stop question holding the run. The uninterrupted runs
// are the renderer's.
#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "gui/RadioGroup.h"
#include "colour/gui/ColorListDisplay.h"
#include "gui/GuiTest.h"

#ifdef VANTOREL_RENDER_EXE

namespace vantorel::gui {
namespace {

using namespace test;

constexpr int32_t kW = 40, kH = 30;
constexpr int64_t kPixels = int64_t(kW) * kH;

TCalcParams Block() {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 0;  // no sine or cosine: the window's fast-trigonometry choice does not matter
  p.PictureWidth = kW, p.PictureHeight = kH;
  return p;
}

class ProjectEdgeTest : public FrameTest {
 protected:
  void SetUp() override {
    frame_->resize(900, 700);
    frame_->show();
    SaveParameterFile(File("s.Par"), Block());
    Render({"s.Par", "--project", "full.LPr", "--data", "full"});
    Render({"full.LPr", "--more", "--project", "more.LPr", "--data", "more"});
  }
  void Render(std::vector<std::string> args) {
    args.insert(args.begin(), VANTOREL_RENDER_EXE);
    args.push_back("-q");
    const ProgramResult r = RunProgram(dir_.path(), args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static Bytes Data(TMDIChild* c, int index) { return ReadBytes(c->TempFileName(index).toStdString()); }
  Bytes Bytes_(const std::string& name) const { return ReadBytes(File(name)); }
};

// A finished project whose data end after `records` pixels (as an old crash could leave one).
void WriteShortFinished(const std::string& full, int64_t records, const std::string& target) {
  const Bytes b = ReadBytes(full);
  const TCalcParams p = DecodeParameterBlock(b.data(), b.size()).Params;
  std::vector<uint8_t> out = EncodeParameterBlock(p, BlockForm::Project, static_cast<int32_t>(records));
  const size_t data = b.size() - 16 * size_t(kPixels);
  for (size_t file = 0; file < 2; ++file) {
    const auto from = b.begin() + static_cast<long>(data + file * 8 * size_t(kPixels));
    out.insert(out.end(), from, from + 8 * records);
  }
  WriteBytes(target, out);
}

TEST_F(ProjectEdgeTest, LoadedInterruptedRunsOfferWhatAPauseOffersAndGoOnWhereTheyStopped) {
  const struct Case {
    const char* what;
    uint8_t state;
    const char* hint;  // of the start button after loading
    const char* like;  // the uninterrupted run
  } cases[] = {
      {"paused first run", StatePaused, "continue", "full"},
      {"paused derive run", StateDerivingPaused, "continue", "more"},
      {"finished, data ending early", StateFinished, "start", "full"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = std::string("cut") + std::to_string(c.state) + ".LPr";
    if (c.state == StatePaused)
      WriteInterruptedProject(File("full.LPr"), File("full.LPr"), kPixels, 9 * kW + 13, StatePaused, File(file));
    else if (c.state == StateDerivingPaused)
      WriteInterruptedProject(File("full.LPr"), File("more.LPr"), kPixels, 11 * kW + 20, StateDerivingPaused,
                              File(file));
    else
      WriteShortFinished(File("full.LPr"), 17 * kW + 3, File(file));
    TMDIChild* child = frame_->LoadProject(Path(file));
    ASSERT_TRUE(child);
    EXPECT_EQ(child->ToolButton2->toolTip(), c.hint);
    EXPECT_NE(child->StatusBar1->currentMessage(), "progress: finished");  // it is not
    EXPECT_TRUE(child->ToolButton2->isEnabled() && child->ToolButton10->isEnabled());
    // As after a pause in the same session: the picture can be exported, inspected, recoloured.
    if (c.state != StateFinished) {
      EXPECT_TRUE(child->ToolButton3->isEnabled() && child->ToolButton12->isEnabled() && child->Button6->isEnabled() &&
                  !child->ToolButton7->isEnabled());
    }
    child->ToolButton2->click();
    ASSERT_TRUE(WaitForState(child, StateFinished));
    EXPECT_EQ(Data(child, 1), Bytes_(std::string(c.like) + ".TMP1"));
    EXPECT_EQ(Data(child, 2), Bytes_(std::string(c.like) + ".TMP2"));
  }
}

TEST_F(ProjectEdgeTest, SavingWritesTheBlockTheDataWereComputedWithAndSaysWhatWasLeftOut) {
  TMDIChild* child = frame_->LoadProject(Path("full.LPr"));
  ASSERT_TRUE(child);
  const QImage picture = child->Picture();
  const TCalcParams block = child->Params();
  const std::pair<const char*, std::function<void(TMDIChild*)>> edits[] = {
      {"picture width", [](TMDIChild* c) { c->CheckBox3->setChecked(false), c->SpinEdit3->setValue(50); }},
      {"centre", [](TMDIChild* c) { c->Edit3->setText("3,1"); }},
      {"rotation", [](TMDIChild* c) { c->Edit5->setText("30"); }},
      {"sequence", [](TMDIChild* c) { c->Edit1->setText("AB"); }},
      {"iterations", [](TMDIChild* c) { c->SpinEdit1->setValue(500); }},
      {"formula", [](TMDIChild* c) { c->RadioGroup1->SetItemIndex(2); }},
      {"colours",
       [](TMDIChild* c) {
         c->ColorPage->SetColors({{0x0000FF, -1.0}, {0x00FF00, 0.5}}, 0, 0xFFFFFF);
       }},
      {"a field that is no number", [](TMDIChild* c) { c->Edit4->setText("x"); }},
  };
  int k = 0;
  for (const auto& [what, edit] : edits) {
    SCOPED_TRACE(what);
    ASSERT_FALSE(child->ToolButton7->isEnabled());
    edit(child);
    // The pages differ from the picture's block (colours are applied by "apply to picture").
    EXPECT_TRUE(child->ToolButton7->isEnabled() || std::string(what) == "colours");
    const QString file = Path("edited" + std::to_string(++k) + ".LPr");
    dialogs_.answerFile(file);
    child->SaveProject();
    ASSERT_TRUE(child->Saved()) << dialogs_.lastMessage().toStdString();
    EXPECT_TRUE(child->StatusBar1->currentMessage().contains("not saved"));
    EXPECT_TRUE(child->Changed());  // the edits are still to be saved
    TMDIChild* reloaded = frame_->LoadProject(file);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->Picture(), picture);
    TCalcParams got = reloaded->Params();
    got.IterationsDone = block.IterationsDone;  // the window's activation may forget it
    EXPECT_EQ(got, block);
    reloaded->FormClose();
    child->ApplyParameters();  // back to the block for the next edit
  }
  // Saved unedited, nothing is left out.
  dialogs_.answerFile(Path("plain.LPr"));
  child->StatusBar1->clearMessage();
  child->SaveProject();
  EXPECT_TRUE(child->StatusBar1->currentMessage().isEmpty() && !child->Changed());
}

TEST_F(ProjectEdgeTest, TheStopQuestionHoldsTheRunUntilItIsAnswered) {
  TMDIChild* child = Open();
  child->CheckBox3->setChecked(false);
  child->SpinEdit3->setValue(300);
  child->SpinEdit4->setValue(200);
  child->SpinEdit1->setValue(20000);  // long enough not to end during the test
  child->ToolButton7->click();
  child->ToolButton2->click();
  ASSERT_TRUE(child->RunComputing());
  bool computingWhileAsked = true;
  int64_t grew = -1;
  dialogs_.whileAsking = [&](const QString&) {
    computingWhileAsked = child->RunComputing();
    const int64_t before = child->DataFile1().RecordCount();
    QTest::qWait(300);  // hand-overs would be delivered now
    grew = child->DataFile1().RecordCount() - before;
  };
  dialogs_.answerMessage(QMessageBox::No);
  child->ToolButton10->click();
  dialogs_.whileAsking = nullptr;
  EXPECT_FALSE(computingWhileAsked);
  EXPECT_EQ(grew, 0);
  EXPECT_TRUE(child->RunComputing() && child->Params().State == StateRunning);  // "No": it goes on
  EXPECT_TRUE(child->Timer1->isActive());
  dialogs_.answerMessage(QMessageBox::Yes);
  child->ToolButton10->click();
  EXPECT_FALSE(child->RunLive());
}

}  // namespace
}  // namespace vantorel::gui

#endif
