// The frame window: project windows and their names, the current-project slots, the popup
// menus, loading parameter files, closing, tiling, the help document and screen grabs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/ParameterFile.h"
#include "app/gui/About.h"
#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "app/gui/ProgressForm.h"
#include "app/gui/StartupNote.h"
#include "core/CalcParams.h"
#include "gui/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace vantorel::gui {
namespace {

using test::ScriptedDialogs;
using test::TempDir;

// A frame in a fresh working directory (project windows put their temporary files there),
// with scripted dialogs and a popup menu that only records where it would appear.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir_.path().string())));
    form_ = std::make_unique<TMainForm>();
    form_->PopupShower = [this](QMenu& menu, QPoint at) { popups_.emplace_back(&menu, at); };
    form_->show();
  }
  void TearDown() override {
    form_.reset();
    QDir::setCurrent(previousDir_);
  }
  QString Path(const QString& name) const { return QDir(QString::fromStdString(dir_.path().string())).filePath(name); }
  bool Exists(const QString& name) const { return QFile::exists(Path(name)); }

  TempDir dir_;
  QString previousDir_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TMainForm> form_;
  std::vector<std::pair<QMenu*, QPoint>> popups_;
};

TEST_F(MainFormTest, StatusBarShowsTheHintUnderTheMouse) {
  form_->FileNew1->showStatusText(form_->menuBar());  // as the menu does for the item under the mouse
  EXPECT_EQ(form_->statusBar()->currentMessage(), "create new file");
  QStatusTipEvent tip(form_->ToolButton2->statusTip());
  QApplication::sendEvent(form_->ToolButton2, &tip);
  EXPECT_EQ(form_->statusBar()->currentMessage(), "save file");
  // Also for the controls of a project window.
  TMDIChild* child = form_->OpenProjectWindow("hints");
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(child->CheckBox1, &enter);
  EXPECT_EQ(form_->statusBar()->currentMessage(), "fixed formulas are much faster!");
}

TEST_F(MainFormTest, NewProjectsAreNumberedAndGetTheirOwnTemporaryFiles) {
  form_->FileNew1Execute();
  form_->FileNew1Execute();
  const QList<TMDIChild*> windows = form_->ProjectWindows();
  ASSERT_EQ(windows.size(), 2);
  EXPECT_EQ(windows[0]->windowTitle(), "new project 1");
  EXPECT_EQ(windows[1]->windowTitle(), "new project 2");
  EXPECT_EQ(form_->ProjectCounter(), 3);
  EXPECT_TRUE(Exists("new project 1.TMP1"));
  EXPECT_TRUE(Exists("new project 2.TMP2"));
  EXPECT_EQ(form_->ActiveProjectWindow(), windows[1]);  // the window created last
}

TEST_F(MainFormTest, OnlyAChangeOfWindowIsAnActivation) {
  TMDIChild* first = form_->OpenProjectWindow("first");
  TMDIChild* second = form_->OpenProjectWindow("second");
  ASSERT_EQ(form_->CurrentProject().Window, second);
  first->Params().IterationsDone = 77;
  form_->WorkSpace()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
  const CurrentProjectSlots& current = form_->CurrentProject();
  EXPECT_EQ(current.Window, first);
  EXPECT_EQ(current.Params, &first->Params());
  EXPECT_EQ(current.DataFile1, &first->DataFile1());
  EXPECT_EQ(current.DataFile2, &first->DataFile2());
  EXPECT_TRUE(current.SaveParameters && current.SaveProject && current.ParametersLoaded && current.ProjectLoaded);
  EXPECT_EQ(first->Params().IterationsDone, 0);

  // The program losing the focus and getting it back leaves the count alone.
  first->Params().IterationsDone = 12;
  emit form_->WorkSpace()->subWindowActivated(nullptr);
  emit form_->WorkSpace()->subWindowActivated(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
  EXPECT_EQ(form_->CurrentProject().Window, first);
  EXPECT_EQ(first->Params().IterationsDone, 12);
}

TEST_F(MainFormTest, PopupsAppearAtFixedOffsetsFromTheFrame) {
  form_->move(250, 140);
  form_->FileOpen1Execute();
  ASSERT_EQ(popups_.size(), 1u);
  EXPECT_EQ(popups_[0].first, form_->PopupMenu1);
  EXPECT_EQ(popups_[0].second, form_->frameGeometry().topLeft() + QPoint(37, 70));

  form_->ToolButton2Click();  // no project window: nothing to save, no popup
  EXPECT_EQ(popups_.size(), 1u);

  form_->FileNew1Execute();
  form_->FileSave1->trigger();
  ASSERT_EQ(popups_.size(), 2u);
  EXPECT_EQ(popups_[1].first, form_->PopupMenu2);
  EXPECT_EQ(popups_[1].second, form_->frameGeometry().topLeft() + QPoint(60, 70));
}

// --- loading parameter files ---

TEST_F(MainFormTest, LoadingOpensANamedWindowShowingTheBlockOrANewOneAndSaysWhy) {
  TCalcParams saved = DefaultCalcParams();
  saved.SetSequence(ReadSequence("ABBA"));
  saved.Iterations = 404;
  saved.CenterX = 3.25;
  saved.SetColors({{0x0000FF, -0.5}, {0x00FF00, 0.0}, {0xFF0000, 0.25}});
  SaveParameterFile(Path("Zircon.Par").toStdString(), saved);
  TCalcParams running = saved;  // a project file opened as parameters: its progress is not taken over
  running.ProgressColumn = 17;
  running.ProgressRow = 5;
  running.State = StatePaused;
  running.IterationsDone = 40;
  const std::vector<uint8_t> head = EncodeParameterBlock(running, BlockForm::Project, 0);
  test::WriteBytes(Path("run.LPr").toStdString(), {head.begin(), head.end()});
  test::WriteBytes(Path("broken.Par").toStdString(), {1, 2, 3, 4, 5});

  const std::pair<QString, bool> cases[] = {{"Zircon.Par", true}, {"run.LPr", true}, {"broken.Par", false}, {"gone.Par", false}};
  for (const auto& [file, loads] : cases) {
    SCOPED_TRACE(file.toStdString());
    dialogs_.messages.clear();
    dialogs_.answerFile(Path(file));
    form_->Parameter1Click();
    TMDIChild* child = form_->ProjectWindows().last();
    const QString name = QFileInfo(file).completeBaseName();
    EXPECT_EQ(child->windowTitle(), name);
    EXPECT_TRUE(Exists(name + ".TMP1"));
    const TCalcParams expected = loads ? saved : DefaultCalcParams();
    EXPECT_EQ(child->Params(), expected);
    EXPECT_EQ(child->Edit1->text(), QString::fromStdString(SequenceText(expected.Sequence)));
    ASSERT_EQ(dialogs_.messages.size(), loads ? 0u : 1u) << dialogs_.lastMessage().toStdString();
    if (!loads) {
      EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Critical);
      EXPECT_TRUE(dialogs_.lastMessage().contains(file));
    }
  }
  EXPECT_EQ(dialogs_.fileRequests[0].title, "load parameter file");
  EXPECT_EQ(test::ReadBytes(Path("broken.Par").toStdString()), (std::vector<unsigned char>{1, 2, 3, 4, 5}));
  form_->FileNew1Execute();  // loaded windows count like new ones
  EXPECT_EQ(form_->ProjectWindows().last()->windowTitle(), "new project 5");

  dialogs_.answerFile(std::nullopt);  // cancelled: no window, no number taken
  form_->Parameter1Click();
  EXPECT_EQ(form_->ProjectWindows().size(), 5);
  EXPECT_EQ(form_->ProjectCounter(), 6);
}

// --- closing the program ---

TEST_F(MainFormTest, ClosingTheProgramAsksEveryChangedProjectAndStopsAtCancel) {
  TMDIChild* first = form_->OpenProjectWindow("one");
  TMDIChild* second = form_->OpenProjectWindow("two");
  first->setChanged();
  second->setChanged();
  dialogs_.answerMessage(QMessageBox::Cancel);
  EXPECT_FALSE(form_->close());
  EXPECT_EQ(dialogs_.messages.size(), 1u);  // the first refusal ends the round
  EXPECT_EQ(form_->ProjectWindows().size(), 2);
  EXPECT_TRUE(form_->isVisible());

  dialogs_.answerMessage(QMessageBox::No);
  dialogs_.answerMessage(QMessageBox::No);
  form_->FileExit1->trigger();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(dialogs_.messages.size(), 3u);
  EXPECT_TRUE(dialogs_.messages[1].text.contains("You changed something."));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(Exists("one.TMP1"));
  EXPECT_FALSE(Exists("two.TMP1"));
}

// --- window arrangement ---

TEST_F(MainFormTest, TilingStacksOrPlacesSideBySideWithoutGaps) {
  const QRect area(0, 0, 700, 500);
  EXPECT_EQ(TileRects(3, area, TileDirection::Horizontal),
            (std::vector<QRect>{{0, 0, 700, 166}, {0, 166, 700, 166}, {0, 332, 700, 168}}));  // the rest at the end
  EXPECT_EQ(TileRects(2, area, TileDirection::Vertical), (std::vector<QRect>{{0, 0, 350, 500}, {350, 0, 350, 500}}));
  EXPECT_TRUE(TileRects(0, area, TileDirection::Vertical).empty());
  EXPECT_TRUE(TileRects(2, QRect(), TileDirection::Vertical).empty());

  form_->FileNew1Execute();
  form_->FileNew1Execute();
  form_->TileWindows(TileDirection::Vertical);
  const auto rects = TileRects(2, form_->WorkSpace()->viewport()->rect(), TileDirection::Vertical);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(form_->ProjectWindows()[i]->parentWidget()->geometry(), rects[size_t(i)]);
}

TEST_F(MainFormTest, WindowMenuListsTheProjects) {
  form_->OpenProjectWindow("alpha");
  form_->OpenProjectWindow("beta");
  emit form_->Window1->aboutToShow();
  QStringList texts;
  for (QAction* a : form_->Window1->actions()) texts << a->text();
  EXPECT_TRUE(texts.contains("&1 alpha"));
  EXPECT_TRUE(texts.contains("&2 beta"));
  form_->Window1->actions()[texts.indexOf("&1 alpha")]->trigger();
  EXPECT_EQ(form_->CurrentProject().Window->windowTitle(), "alpha");
  emit form_->Window1->aboutToShow();  // rebuilt, not appended
  int count = 0;
  for (QAction* a : form_->Window1->actions()) count += a->text().endsWith("alpha");
  EXPECT_EQ(count, 1);
}

TEST_F(MainFormTest, AboutBoxAndStartupNoteShowModallyAndClose) {
  bool aboutShown = false;
  QTimer::singleShot(0, form_.get(), [&] {
    aboutShown = form_->AboutBox().isVisible();
    form_->AboutBox().OKButton->click();
  });
  form_->HelpAbout1Execute();
  EXPECT_TRUE(aboutShown);
  EXPECT_EQ(form_->AboutBox().result(), QDialog::Accepted);
  EXPECT_FALSE(form_->AboutBox().isVisible());
  bool noteShown = false;
  QTimer::singleShot(0, form_.get(), [&] {
    noteShown = form_->StartupNote().isVisible() && form_->StartupNote().isModal();
    form_->StartupNote().ImageClick();
  });
  form_->Hinweis1Click();
  EXPECT_TRUE(noteShown);
  EXPECT_FALSE(form_->StartupNote().isVisible());
}

// --- help ---

TEST(HelpDocument, FoundBesideAnInstalledProgramOrAboveABuildFolder) {
  struct Case {
    const char* program;
    const char* document;
  };
  for (const Case c : {Case{"bin", "share/vantorel/help/index.html"}, Case{"build/app", "docs/help/index.html"}}) {
    SCOPED_TRACE(c.document);
    TempDir dir;
    const QString root = QString::fromStdString(dir.path().string());
    QDir(root).mkpath(c.program);
    QDir(root).mkpath(QFileInfo(c.document).path());
    EXPECT_TRUE(FindHelpDocument(root + "/" + c.program).isEmpty());  // the folder alone is not enough
    test::WriteBytes((dir.path() / c.document).string(), {'<', 'p', '>'});
    EXPECT_EQ(FindHelpDocument(root + "/" + c.program), QFileInfo(root + "/" + c.document).canonicalFilePath());
  }
}

TEST_F(MainFormTest, HelpOpensTheDocumentInTheViewer) {
  std::vector<QUrl> opened;
  form_->UrlOpener = [&](const QUrl& url) {
    opened.push_back(url);
    return true;
  };
  form_->ToolButton5Click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].isLocalFile());
  EXPECT_TRUE(opened[0].toLocalFile().endsWith("help/index.html"));
  EXPECT_TRUE(dialogs_.messages.empty());

  form_->UrlOpener = [](const QUrl&) { return false; };
  form_->ToolButton5Click();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.lastMessage().contains("index.html"));
}

// With VANTOREL_GRAB_DIR set, the pictures are saved there to look at.
TEST_F(MainFormTest, ScreenGrabsOfTheFrameAndItsSmallWindows) {
  const QString out = qEnvironmentVariable("VANTOREL_GRAB_DIR");
  auto save = [&](QWidget& w, const QString& name) {
    w.show();
    QCoreApplication::processEvents();
    const QPixmap picture = w.grab();
    EXPECT_FALSE(picture.isNull()) << name.toStdString();
    if (!out.isEmpty()) picture.save(QDir(out).filePath(name + ".png"));
  };
  form_->FileNew1Execute();
  form_->FileNew1Execute();
  form_->TileWindows(TileDirection::Vertical);
  save(*form_, "main-two-projects");
  form_->CascadeWindows();
  save(*form_, "main-cascaded");
  save(form_->AboutBox(), "about");
  TForm5 note;
  save(note, "startup-note");
  note.Image1MouseMove();
  save(note, "startup-note-hot");
  form_->ProgressWindow().ProgressBar1->setValue(40);
  save(form_->ProgressWindow(), "progress");
}

}  // namespace
}  // namespace vantorel::gui
