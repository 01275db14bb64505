// The frame window: project windows and their names, the current-project slots, the popup
// menus, loading parameter files, closing, tiling, the help document and screen grabs.
#include "app/ParameterFile.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

// A frame with a popup menu that only records where it would appear.
class MainFormTest : public FrameTest {
 protected:
  void SetUp() override {
    frame_->PopupShower = [this](QMenu& menu, QPoint at) { popups_.emplace_back(&menu, at); };
    frame_->show();
  }
  std::vector<std::pair<QMenu*, QPoint>> popups_;
};

TEST_F(MainFormTest, StatusBarShowsTheHintUnderTheMouseAlsoForAProjectWindow) {
  frame_->FileNew1->showStatusText(frame_->menuBar());  // as the menu does for the item under the mouse
  EXPECT_EQ(frame_->statusBar()->currentMessage(), "create new file");
  TMDIChild* child = Open("hints");
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(child->CheckBox1, &enter);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), "fixed formulas are much faster!");
}

TEST_F(MainFormTest, OnlyAChangeOfWindowIsAnActivation) {
  TMDIChild* first = Open("first");
  TMDIChild* second = Open("second");
  ASSERT_EQ(frame_->CurrentProject().Window, second);
  first->Params().IterationsDone = 77;
  auto* firstWindow = qobject_cast<QMdiSubWindow*>(first->parentWidget());
  frame_->WorkSpace()->setActiveSubWindow(firstWindow);
  const CurrentProjectSlots& current = frame_->CurrentProject();
  EXPECT_TRUE(current.Window == first && current.Params == &first->Params() &&
              current.DataFile1 == &first->DataFile1() && current.DataFile2 == &first->DataFile2());
  EXPECT_TRUE(current.SaveParameters && current.SaveProject && current.ParametersLoaded && current.ProjectLoaded);
  EXPECT_EQ(first->Params().IterationsDone, 0);

  // The program losing the focus and getting it back leaves the count alone.
  first->Params().IterationsDone = 12;
  emit frame_->WorkSpace()->subWindowActivated(nullptr);
  emit frame_->WorkSpace()->subWindowActivated(firstWindow);
  EXPECT_TRUE(frame_->CurrentProject().Window == first && first->Params().IterationsDone == 12);
}

TEST_F(MainFormTest, PopupsAppearAtFixedOffsetsFromTheFrame) {
  frame_->move(250, 140);
  frame_->FileOpen1Execute();
  frame_->ToolButton2Click();  // no project window: nothing to save, no popup
  frame_->FileNew1Execute();
  frame_->FileSave1->trigger();
  const QPoint corner = frame_->frameGeometry().topLeft();
  EXPECT_EQ(popups_, (std::vector<std::pair<QMenu*, QPoint>>{{frame_->PopupMenu1, corner + QPoint(37, 70)},
                                                             {frame_->PopupMenu2, corner + QPoint(60, 70)}}));
}

TEST_F(MainFormTest, LoadingOpensANamedWindowShowingTheBlockOrNoneAndSaysWhy) {
  TCalcParams saved = DefaultCalcParams();
  saved.SetSequence(ReadSequence("ABBA"));
  saved.Iterations = 404;
  saved.CenterX = 3.25;
  saved.SetColors({{0x0000FF, -0.5}, {0x00FF00, 0.0}, {0xFF0000, 0.25}});
  SaveParameterFile(File("Zircon.Par"), saved);
  TCalcParams running = saved;  // a project file opened as parameters: its progress is not taken over
  running.ProgressColumn = 17, running.ProgressRow = 5, running.State = StatePaused, running.IterationsDone = 40;
  const std::vector<uint8_t> head = EncodeParameterBlock(running, BlockForm::Project, 0);
  WriteBytes(File("run.LPr"), {head.begin(), head.end()});
  WriteBytes(File("broken.Par"), {1, 2, 3, 4, 5});

  const std::pair<std::string, bool> cases[] = {
      {"Zircon.Par", true}, {"run.LPr", true}, {"broken.Par", false}, {"gone.Par", false}};
  for (const auto& [file, loads] : cases) {
    SCOPED_TRACE(file);
    dialogs_.messages.clear();
    const qsizetype before = frame_->ProjectWindows().size();
    dialogs_.answerFile(Path(file));
    frame_->Parameter1Click();
    const QString name = QFileInfo(Q(file)).completeBaseName();
    ASSERT_EQ(frame_->ProjectWindows().size(), before + (loads ? 1 : 0));
    EXPECT_EQ(Exists(name.toStdString() + ".TMP1"), loads);
    ASSERT_EQ(dialogs_.messages.size(), loads ? 0u : 1u) << dialogs_.lastMessage().toStdString();
    if (!loads) {
      EXPECT_TRUE(dialogs_.lastMessage().contains(Q(file)));
      continue;
    }
    TMDIChild* child = frame_->ProjectWindows().last();
    EXPECT_EQ(child->windowTitle(), name);
    EXPECT_EQ(child->Params(), saved);
    EXPECT_EQ(child->Edit1->text(), Q(SequenceText(saved.Sequence)));
  }
  EXPECT_EQ(ReadBytes(File("broken.Par")), (Bytes{1, 2, 3, 4, 5}));
  frame_->FileNew1Execute();  // loaded windows count like new ones
  EXPECT_EQ(frame_->ProjectWindows().last()->windowTitle(), "new project 3");

  dialogs_.answerFile(std::nullopt);  // cancelled: no window, no number taken
  frame_->Parameter1Click();
  EXPECT_TRUE(frame_->ProjectWindows().size() == 3 && frame_->ProjectCounter() == 4);
}

TEST_F(MainFormTest, ClosingTheProgramAsksEveryChangedProjectAndStopsAtCancel) {
  Open("one")->setChanged();
  Open("two")->setChanged();
  dialogs_.answerMessage(QMessageBox::Cancel);
  EXPECT_FALSE(frame_->close());
  EXPECT_EQ(dialogs_.messages.size(), 1u);  // the first refusal ends the round
  EXPECT_TRUE(frame_->ProjectWindows().size() == 2 && frame_->isVisible());

  dialogs_.answerMessage(QMessageBox::No);
  dialogs_.answerMessage(QMessageBox::No);
  frame_->FileExit1->trigger();
  EXPECT_FALSE(frame_->isVisible());
  EXPECT_EQ(dialogs_.messages.size(), 3u);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(Exists("one.TMP1") || Exists("two.TMP1"));
}

TEST_F(MainFormTest, TilingStacksOrPlacesSideBySideWithoutGaps) {
  const QRect area(0, 0, 700, 500);
  EXPECT_EQ(TileRects(3, area, TileDirection::Horizontal),
            (std::vector<QRect>{{0, 0, 700, 166}, {0, 166, 700, 166}, {0, 332, 700, 168}}));  // the rest at the end
  EXPECT_EQ(TileRects(2, area, TileDirection::Vertical), (std::vector<QRect>{{0, 0, 350, 500}, {350, 0, 350, 500}}));
  EXPECT_TRUE(TileRects(0, area, TileDirection::Vertical).empty());
  EXPECT_TRUE(TileRects(2, QRect(), TileDirection::Vertical).empty());

  frame_->FileNew1Execute();
  frame_->FileNew1Execute();
  frame_->TileWindows(TileDirection::Vertical);
  const auto rects = TileRects(2, frame_->WorkSpace()->viewport()->rect(), TileDirection::Vertical);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(frame_->ProjectWindows()[i]->parentWidget()->geometry(), rects[size_t(i)]);
  Grab(*frame_, "main-two-projects");
  frame_->CascadeWindows();
  Grab(*frame_, "main-cascaded");
}

TEST_F(MainFormTest, WindowMenuListsTheProjectsAndCloseTakesTheActiveOne) {
  Open("alpha");
  Open("beta");
  const auto items = [&] {
    emit frame_->Window1->aboutToShow();
    QStringList texts;
    for (QAction* a : frame_->Window1->actions()) texts << a->text();
    return texts;
  };
  const QStringList texts = items();
  EXPECT_TRUE(texts.contains("&2 beta"));
  frame_->Window1->actions()[texts.indexOf("&1 alpha")]->trigger();
  EXPECT_EQ(frame_->CurrentProject().Window->windowTitle(), "alpha");
  EXPECT_EQ(items().filter("alpha").size(), 1);  // rebuilt, not appended
  frame_->FileClose1->trigger();                 // "close" takes the active one, unchanged: no question
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(frame_->ProjectWindows().size(), 1);
  EXPECT_EQ(frame_->ProjectWindows()[0]->windowTitle(), "beta");
}

TEST(HelpDocument, FoundBesideAnInstalledProgramOrAboveABuildFolder) {
  for (const auto& [program, document] :
       {std::pair{"bin", "share/vantorel/help/index.html"}, {"build/app", "docs/help/index.html"}}) {
    SCOPED_TRACE(document);
    TempDir dir;
    const QString root = Q(dir.path().string());
    QDir(root).mkpath(program);
    QDir(root).mkpath(QFileInfo(document).path());
    EXPECT_TRUE(FindHelpDocument(root + "/" + program).isEmpty());  // the folder alone is not enough
    WriteBytes((dir.path() / document).string(), {'<', 'p', '>'});
    EXPECT_EQ(FindHelpDocument(root + "/" + program), QFileInfo(root + "/" + document).canonicalFilePath());
  }
}

}  // namespace
}  // namespace vantorel::gui
