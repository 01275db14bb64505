// Project files and recovery in the program: loading into the window the load created, what a
// failed load leaves, files named on the command line, recovery from left-over temporary files,
// and projects written by the renderer.
#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/Recovery.h"
#include "app/gui/ProgressForm.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

namespace fs = std::filesystem;

// A 175 x 119 picture maps onto the preview grid one to one: preview (i, j) is pixel record
// j * 175 + i.
constexpr int32_t kW = PreviewGrid::Columns, kH = PreviewGrid::Rows;

TCalcParams Project(uint8_t state, int32_t column, int32_t row) {
  TCalcParams p = DefaultCalcParams();
  p.PictureWidth = kW, p.PictureHeight = kH, p.CenterX = 3.5, p.Iterations = 240;
  p.State = state, p.ProgressColumn = column, p.ProgressRow = row, p.IterationsDone = 48;
  return p;
}

class ProjectLoadTest : public test::FrameTest {
 protected:
  void SetUp() override { frame_->show(); }
  // Saves a project with n records: exponent of pixel k is k, orbit value k + 0.25.
  void Save(const std::string& name, const TCalcParams& p, int64_t n) {
    PixelDataFile a, b;
    a.Create(File("src.TMP1")), b.Create(File("src.TMP2"));
    std::vector<double> e(static_cast<size_t>(n)), x(static_cast<size_t>(n));
    for (size_t k = 0; k < e.size(); ++k) e[k] = double(k), x[k] = double(k) + 0.25;
    a.Write(e.data(), e.size()), b.Write(x.data(), x.size());
    SaveProject(File(name), p, a, b);
  }
};

TEST_F(ProjectLoadTest, LoadsIntoANewWindowOrLeavesNoneAndSaysWhy) {
  Save("Done.LPr", Project(StateFinished, 0, 0), int64_t(kW) * kH);
  Save("Paused.LPr", Project(StatePaused, 10, 3), 3 * kW + 10);
  Save("Deriving.LPr", Project(StateDerivingPaused, 4, 2), int64_t(kW) * kH);
  SaveParameterFile(File("Plain.Par"), Project(StateInitialised, 0, 0));
  auto bytes = test::ReadBytes(File("Done.LPr"));
  bytes.resize(bytes.size() - 8);  // the record count no longer fits the length
  test::WriteBytes(File("Count.LPr"), bytes);
  test::WriteBytes(File("Junk.LPr"), {1, 2, 3});

  const struct Case {
    const char* file;
    uint8_t state;  // in the block after loading: a run that was going on is paused
    int64_t records;
    const char* message;  // of a failed load: the text, or a part of it
  } cases[] = {
      {"Done.LPr", StateFinished, kW * kH, nullptr},
      {"Paused.LPr", StatePaused, 3 * kW + 10, nullptr},
      {"Deriving.LPr", StateDerivingPaused, kW * kH, nullptr},
      {"Plain.Par", StateInitialised, 0, nullptr},
      {"Count.LPr", 0, 0, "Dateifehler!"},
      {"Junk.LPr", 0, 0, "too short"},
      {"Gone.LPr", 0, 0, ""},  // a file that is not there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    dialogs_.messages.clear();
    const qsizetype before = frame_->ProjectWindows().size();
    dialogs_.answerFile(Q(File(c.file)));
    frame_->Daten1->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frame_->ProgressWindow().isVisible());
    if (c.message) {
      ASSERT_EQ(dialogs_.messages.size(), 1u);
      const QString text = dialogs_.lastMessage();
      EXPECT_TRUE(text == "Dateifehler!" ? text == c.message : text.contains(c.message) && text.contains(c.file))
          << text.toStdString();
      // No window is left behind, and none of its temporary files.
      EXPECT_EQ(frame_->ProjectWindows().size(), before);
      EXPECT_FALSE(QFileInfo::exists(Q(File(QFileInfo(c.file).completeBaseName().toStdString() + ".TMP1"))));
      continue;
    }
    TMDIChild* child = frame_->ProjectWindows().last();
    EXPECT_EQ(child->windowTitle(), QFileInfo(c.file).completeBaseName());
    EXPECT_FALSE(child->Changed());
    EXPECT_TRUE(child->DataFile1().RecordCount() == c.records && child->DataFile2().RecordCount() == c.records);
    EXPECT_EQ(dialogs_.messages.size(), 0u) << dialogs_.lastMessage().toStdString();
    EXPECT_EQ(child->Params().State, c.state);
    EXPECT_EQ(child->Edit3->text(), "3,5");
    EXPECT_TRUE(child->PictureInitialised() && child->Picture().size() == QSize(kW, kH));
    // The picture is coloured from the stored exponents; a pixel without data stays white.
    EXPECT_EQ(child->Picture().pixel(kW - 1, kH - 1) == qRgb(255, 255, 255), c.records < int64_t(kW) * kH);
    // The preview comes from the data: record j * 175 + i, 0 where there is none.
    const int64_t k = 3 * kW + 12;
    EXPECT_EQ(child->Preview().At(12, 3), k < c.records ? double(k) : 0.0);
    // The window's latest parameter block is on disk, for recovery.
    EXPECT_EQ(LoadParameterFile(child->TempFileName(0).toStdString()).CenterX, 3.5);
  }
}

TEST_F(ProjectLoadTest, FillsTheWindowItCreatedWhenAnotherBecomesActiveMeanwhile) {
  Save("Big.LPr", Project(StateFinished, 0, 0), int64_t(kW) * kH);
  TMDIChild* other = frame_->OpenProjectWindow("other");
  const TCalcParams otherParams = other->Params();
  // As soon as the loading window exists, the user activates the other one; the progress
  // window lets that through while the data are copied.
  auto* otherWindow = qobject_cast<QMdiSubWindow*>(other->parentWidget());
  const auto hook = QObject::connect(frame_->WorkSpace(), &QMdiArea::subWindowActivated, [&](QMdiSubWindow* w) {
    if (w && w->widget()->windowTitle() == "Big")
      QTimer::singleShot(0, [&] { frame_->WorkSpace()->setActiveSubWindow(otherWindow); });
  });
  TMDIChild* loaded = frame_->LoadProject(Q(File("Big.LPr")));
  QObject::disconnect(hook);
  ASSERT_NE(loaded, other);
  EXPECT_EQ(frame_->CurrentProject().Window, other);  // the activation did happen
  EXPECT_TRUE(loaded->Params().State == StateFinished && loaded->DataFile1().RecordCount() == kW * kH);
  EXPECT_TRUE(other->Params() == otherParams && other->DataFile1().RecordCount() == 0);
}

TEST_F(ProjectLoadTest, FilesFromTheCommandLineOpenEachInItsOwnWindow) {
  SaveParameterFile(File("Fern.Par"), Project(StateInitialised, 0, 0));
  Save("Fern.LPr", Project(StatePaused, 1, 1), kW + 1);
  test::WriteBytes(File("Warm.Pal"), {0});
  TCalcParams noColours = Project(StateInitialised, 0, 0);
  noColours.SetColors({});
  SaveParameterFile(File("Bare.Par"), noColours);  // checked like a project's block
  frame_->OpenFiles(
      {Q(File("Fern.Par")), Q(File("Fern.LPr")), Q(File("Fern.Par")), Q(File("Warm.Pal")), Q(File("Bare.Par"))});
  const QList<TMDIChild*> windows = frame_->ProjectWindows();
  ASSERT_EQ(windows.size(), 3);                    // none for the colour file and none for the refused block
  EXPECT_FALSE(windows[0]->PictureInitialised());  // parameters only
  EXPECT_EQ(windows[1]->DataFile1().RecordCount(), kW + 1);
  // The same file twice: a second, independent window with its own temporary files.
  EXPECT_NE(windows[0]->TempBaseName(), windows[2]->TempBaseName());
  EXPECT_EQ(windows[2]->windowTitle(), "Fern");  // the file's name, not the temporary files' base
  EXPECT_EQ(windows[2]->Params().CenterX, 3.5);
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_TRUE(dialogs_.messages[0].text.contains("colours were not loaded"));  // into the active project
  EXPECT_TRUE(dialogs_.messages[1].text.contains("colour list is empty"));
}

#ifdef VANTOREL_RENDER_EXE
// Projects written by the renderer open in the window: finished, and interrupted as a crash leaves
// one (its data files cut short, recovered through the toolbar).
TEST_F(ProjectLoadTest, RendererProjectsOpenInTheWindowAndRecoveredOnesWhereTheyStopped) {
  fs::create_directories(dir_.path() / "crashed");
  QProcess render;
  render.start(VANTOREL_RENDER_EXE, {"-q", "--size", "40x30", "--iterations", "60", "--fixed", "2", "--project",
                                     Q(File("R.LPr")), "--data", Q(File("crashed/R"))});
  ASSERT_TRUE(render.waitForFinished(60000));
  ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
  auto exponents = test::ReadBytes(File("crashed/R.TMP1"));
  ASSERT_EQ(exponents.size(), 8u * 40 * 30);

  TMDIChild* finished = frame_->LoadProject(Q(File("R.LPr")));
  EXPECT_TRUE(finished->Params().State == StateFinished && finished->Params().FixedFormula == 1);
  EXPECT_EQ(test::ReadBytes(finished->TempFileName(1).toStdString()), exponents);

  fs::resize_file(File("crashed/R.TMP1"), 8 * (7 * 40 + 3));  // 7 rows and 3 pixels
  fs::resize_file(File("crashed/R.TMP2"), 8 * (7 * 40 + 3) + 5);
  fs::remove(File("R.LPr"));
  for (const char* expected : {"R.LPr successfully restored.\n", "error: R.LPr already exists!"}) {
    dialogs_.answerFile(Q(File("crashed/R.TMP0")));
    frame_->ToolButton6->click();
    EXPECT_TRUE(dialogs_.lastMessage().startsWith(expected)) << dialogs_.lastMessage().toStdString();
    EXPECT_FALSE(frame_->ProgressWindow().isVisible());
  }
  TMDIChild* interrupted = frame_->LoadProject(Q(File("R.LPr")));  // written where the program runs
  EXPECT_EQ(interrupted->Params().State, StateInitialised);
  EXPECT_TRUE(interrupted->Params().ProgressColumn == 3 && interrupted->Params().ProgressRow == 7);
  exponents.resize(8 * (7 * 40 + 3));
  EXPECT_EQ(test::ReadBytes(interrupted->TempFileName(1).toStdString()), exponents);
}
#endif

}  // namespace
}  // namespace vantorel::gui
