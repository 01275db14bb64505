// The frame as people expect of a desktop program: the program's pictures open as pictures,
// recent files (failed opens left out), dropped files, the window's place and the last folders
// kept between runs, and the help in a window of its own.
#include <QMimeData>
#include <QTextBrowser>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/gui/HelpWindow.h"
#include "app/gui/PictureExport.h"
#include "gui/Settings.h"
#include "gui/WindowPlacement.h"
#include "colour/ColorFile.h"
#include "colour/gui/ColorListDisplay.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class DesktopTest : public FrameTest {
 protected:
  void SetUp() override { frame_->show(); }
  // A small parameter file with a centre of its own.
  QString ParameterFile(const std::string& name, double centreX = 3.25) {
    TCalcParams p = DefaultCalcParams();
    p.CenterX = centreX;
    SaveParameterFile(File(name), p);
    return Path(name);
  }
  // Drags the files over the widget and drops them, as the mouse would; true when taken.
  static bool Drop(QWidget* target, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();  // the files open once the drop has returned
    return drop.isAccepted();
  }
  QStringList RecentItems() {
    emit frame_->File1->aboutToShow();
    QStringList texts;
    for (QAction* a : frame_->RecentFiles1->actions()) texts << a->text();
    return texts;
  }
};

// --- opening ----------------------------------------------------------------------------

TEST_F(DesktopTest, APictureOfTheProgramOpensAsItsPictureComputedAgain) {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 1;
  p.PictureWidth = 24, p.PictureHeight = 18, p.AdjustRatio = false;
  p.Iterations = 40, p.CalmDownIterations = 20;
  QImage image(24, 18, QImage::Format_RGB888);
  image.fill(Qt::gray);
  SavePng(File("Fern.png"), gui::RowsOf(image), EncodeParameterBlock(p, BlockForm::Parameters));
  // Dropped onto the frame or opened: both go the same way.
  ASSERT_TRUE(Drop(frame_->WorkSpace()->viewport(), {Path("Fern.png")}));
  TMDIChild* child = frame_->ActiveProjectWindow();
  ASSERT_TRUE(child && child->windowTitle() == "Fern");
  EXPECT_TRUE(child->PictureInitialised());
  ASSERT_TRUE(WaitForState(child, StateFinished, 30000));
  EXPECT_EQ(child->Picture().size(), QSize(24, 18));
  EXPECT_NE(child->Picture().pixelColor(12, 9), QColor(Qt::white));  // coloured, not an empty project
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.lastMessage().toStdString();
}

// --- recent files -------------------------------------------------------------------------

TEST_F(DesktopTest, RecentFilesListTheLastTenOpenedOrSavedMissingOnesGreyed) {
  EXPECT_EQ(RecentItems(), QStringList{"(none yet)"});
  WriteBytes(File("broken.Par"), {1, 2, 3, 4, 5});  // a file that cannot be opened is not listed
  frame_->OpenFiles({Path("broken.Par")});
  EXPECT_TRUE(frame_->ProjectWindows().isEmpty() && dialogs_.lastMessage().contains("broken.Par"));
  EXPECT_EQ(RecentItems(), QStringList{"(none yet)"});
  for (int i = 0; i < 12; ++i) frame_->OpenFiles({ParameterFile("p" + std::to_string(i) + ".Par")});
  TMDIChild* child = frame_->ActiveProjectWindow();
  dialogs_.answerFile(Path("saved.LPr"));
  child->SaveProject();
  dialogs_.answerFile(Path("warm.Pal"));
  child->ColorPage->Button9->click();

  QStringList items = RecentItems();
  ASSERT_EQ(items.size(), 10);
  EXPECT_EQ(items.mid(0, 3), (QStringList{"&1 warm.Pal", "&2 saved.LPr", "&3 p11.Par"}));
  EXPECT_EQ(items.last(), "1&0 p4.Par");  // p0 to p3 fell off the end
  frame_->OpenFiles({Path("p9.Par")});    // used again: to the top, not twice
  items = RecentItems();
  EXPECT_TRUE(items.first() == "&1 p9.Par" && items.filter("p9.Par").size() == 1);

  std::filesystem::remove(File("saved.LPr"));
  RecentItems();
  QAction* missing = frame_->RecentFiles1->actions().at(2);
  EXPECT_FALSE(missing->isEnabled());
  EXPECT_EQ(missing->statusTip(), "missing: " + QDir::toNativeSeparators(Path("saved.LPr")));
  QAction* present = frame_->RecentFiles1->actions().at(3);  // p11.Par
  EXPECT_TRUE(present->isEnabled() && present->toolTip() == QDir::toNativeSeparators(Path("p11.Par")));
  const qsizetype before = frame_->ProjectWindows().size();
  present->trigger();
  EXPECT_EQ(frame_->ProjectWindows().size(), before + 1);
  EXPECT_EQ(frame_->ActiveProjectWindow()->windowTitle(), "p11");
}

// --- dropped files ------------------------------------------------------------------------

TEST_F(DesktopTest, DroppedFilesOpenAsFromTheOpenDialogAndColourFilesLoadIntoTheColoursPage) {
  EXPECT_FALSE(Drop(frame_.get(), {Path("notes.txt")}));  // nothing the program opens
  ASSERT_TRUE(Drop(frame_->WorkSpace()->viewport(), {ParameterFile("a.Par", 1.5), ParameterFile("b.Par", 2.5)}));
  ASSERT_EQ(frame_->ProjectWindows().size(), 2);
  EXPECT_EQ(frame_->ProjectWindows()[0]->Params().CenterX, 1.5);
  TMDIChild* child = frame_->ProjectWindows()[1];
  EXPECT_EQ(child->windowTitle(), "b");

  ColorListState warm;
  warm.Entries = {{0x0000FF, -1.0}, {0x00FFFF, 0.5}};
  SaveColorFile(File("warm.Pal"), warm);
  child->PageControl1->setCurrentWidget(child->TabSheet3);
  ASSERT_TRUE(Drop(child->ColorPage->ListView1->viewport(), {Path("warm.Pal")}));  // onto the list
  EXPECT_EQ(child->ColorPage->Colors().size(), 2u);
  EXPECT_EQ(frame_->ProjectWindows().size(), 2);  // no window for a colour file
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.lastMessage().toStdString();
}

// --- the frame's place and the last folders -------------------------------------------------

TEST_F(DesktopTest, TheFrameComesBackWhereItWasOrOnScreenWhenThatScreenIsGone) {
  const QRect area = frame_->screen()->availableGeometry();
  frame_->move(area.topLeft() + QPoint(30, 20));
  frame_->resize(520, 410);
  ASSERT_TRUE(frame_->close());
  TMainForm again;
  EXPECT_EQ(again.size(), QSize(520, 410));
  EXPECT_EQ(again.frameGeometry().topLeft(), area.topLeft() + QPoint(30, 20));

  RememberMainWindowPlace({QRect(area.right() + 3000, area.bottom() + 2000, 500, 400), false});
  TMainForm moved;  // the screen it was on is gone
  moved.show();
  EXPECT_TRUE(area.contains(moved.frameGeometry())) << moved.frameGeometry().x() << "," << moved.frameGeometry().y();
  EXPECT_EQ(moved.size(), QSize(500, 400));
}

TEST_F(DesktopTest, FileDialogsStartInTheFolderUsedLastForTheirKind) {
  FileDialogRequest parameters;
  parameters.defaultSuffix = "Par";
  parameters.presetFileName = "fern.Par";
  FileDialogRequest colours;
  colours.defaultSuffix = "Pal";
  EXPECT_EQ(StartPath(parameters), "fern.Par");  // the working directory at first
  std::filesystem::create_directories(dir_.path() / "params");
  RememberFolder(FileKind("Par", QString()), Path("params/old.Par"));
  EXPECT_EQ(StartPath(parameters), Path("params/fern.Par"));
  EXPECT_TRUE(StartPath(colours).isEmpty());  // each kind its own
  parameters.presetFileName = Path("elsewhere/x.Par");
  EXPECT_EQ(StartPath(parameters), Path("elsewhere/x.Par"));
  std::filesystem::remove(dir_.path() / "params");
  parameters.presetFileName = "fern.Par";
  EXPECT_EQ(StartPath(parameters), "fern.Par");  // a folder that is gone is forgotten
}

// --- help -------------------------------------------------------------------------------------

TEST_F(DesktopTest, HelpShowsInItsOwnWindowWithLinksBackForwardSearchAndTheBrowserAsAnOption) {
  std::vector<QUrl> opened;
  frame_->UrlOpener = [&](const QUrl& url) {
    opened.push_back(url);
    return false;  // no web browser on this machine
  };
  frame_->ToolButton5->click();
  THelpWindow* help = frame_->HelpWindow();
  ASSERT_TRUE(help && help->isVisible());
  EXPECT_TRUE(opened.empty() && dialogs_.messages.empty());
  EXPECT_TRUE(help->Browser->source().toLocalFile().endsWith("help/index.html"));
  EXPECT_FALSE(help->BackButton->isEnabled());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(help));

  // A click on the contents' link "Formula syntax" goes there; back and forward.
  QTextCursor link = help->Browser->document()->find("Formula syntax");
  ASSERT_FALSE(link.isNull());
  link.setPosition(link.selectionStart() + 2);
  const QPoint at = help->Browser->cursorRect(link).center();
  QTest::mouseClick(help->Browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_EQ(help->Browser->source().fragment(), "formula");
  ASSERT_TRUE(help->BackButton->isEnabled());
  help->BackButton->click();
  EXPECT_TRUE(help->Browser->source().fragment().isEmpty() && help->ForwardButton->isEnabled());
  help->ForwardButton->click();
  EXPECT_EQ(help->Browser->source().fragment(), "formula");

  // Typing a word and Enter finds it; a word that is not there says so.
  QTest::keyClicks(help->SearchEdit, "renderer");
  QTest::keyClick(help->SearchEdit, Qt::Key_Return);
  EXPECT_EQ(help->Browser->textCursor().selectedText().toLower(), "renderer");
  EXPECT_TRUE(help->SearchResult->text().isEmpty());
  help->SearchEdit->clear();
  QTest::keyClicks(help->SearchEdit, "zzqx");
  QTest::keyClick(help->SearchEdit, Qt::Key_Return);
  EXPECT_EQ(help->SearchResult->text(), "not found");

  // "open in browser" asks the desktop, and says where the page is when it cannot.
  help->BrowserButton->click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith("help/index.html"));
  EXPECT_TRUE(help->SearchResult->text().contains("index.html"));
  frame_->ToolButton5Click();  // the same window again
  EXPECT_EQ(frame_->HelpWindow(), help);
}

}  // namespace
}  // namespace vantorel::gui
