// The project window on a real frame: temporary files, the close query, the ratio keeping of
// the coordinates page, gathering and showing the parameter block, and saving parameters and
// projects, also when the save fails.
#include <cstring>
#include <optional>

#include "app/ParameterFile.h"
#include "app/gui/ProgressForm.h"
#include "colour/gui/ColorListDisplay.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

namespace fs = std::filesystem;
using namespace test;
using ChildwinTest = FrameTest;

Bytes Encoded(const TCalcParams& p, BlockForm form, int32_t records = 0) {
  const auto v = EncodeParameterBlock(p, form, records);
  return {v.begin(), v.end()};
}
bool Close(TMDIChild* child) { return child->parentWidget()->close(); }

// ---------------------------------------------------------------------------------------------
// Temporary files and the close query

TEST_F(ChildwinTest, TakenNamesExtendTheBaseWithUnderscores) {
  // Names taken by a file of three bytes, a folder ("/") or a link to nowhere ("@").
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"x.TMP1"}, "x_"}, {{"x.TMP0", "x_.TMP2"}, "x__"}, {{"x.TMP0/", "x_.TMP2@"}, "x__"}};
  for (const auto& [taken, base] : cases) {
    SCOPED_TRACE(base + (" after " + taken.back()));
    TempDir dir;
    WorkIn in(dir);
    for (const std::string& name : taken) {
      const fs::path path = dir.path() / name.substr(0, name.find_first_of("/@"));
      if (name.back() == '/')
        fs::create_directory(path);
      else if (name.back() == '@')
        fs::create_symlink(dir.path() / "nowhere", path);
      else
        WriteBytes(path.string(), {1, 2, 3});
    }
    TMDIChild* child = Open();
    EXPECT_EQ(child->TempFileName(0), QDir::current().filePath(QString(base) + ".TMP0"));
    EXPECT_TRUE(child->DataFile1().IsOpen() && child->DataFile2().IsOpen());
    child->FormClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
    if (fs::is_regular_file(dir.path() / taken[0])) {  // a stranger's file stays as it was
      EXPECT_EQ(ReadBytes((dir.path() / taken[0]).string()), (Bytes{1, 2, 3}));
    }
  }
}

TEST_F(ChildwinTest, TemporaryParametersHoldNoProgressAndGoWithAnUnchangedWindow) {
  TMDIChild* child = Open();
  child->Params().State = StateFinished;
  child->Params().ProgressRow = 7;
  child->Params().IterationsDone = 300;
  ASSERT_TRUE(child->WriteTempParameters());
  EXPECT_EQ(child->Params().IterationsDone, 0);
  EXPECT_EQ(ReadBytes(File("x.TMP0")), Encoded(child->Params(), BlockForm::Parameters));
  EXPECT_EQ(LoadParameterFile(File("x.TMP0")).State, 0);

  // The close query: an unchanged window closes silently and takes its files along.
  EXPECT_TRUE(Close(child) && dialogs_.messages.empty());
  for (const char* f : {"x.TMP0", "x.TMP1", "x.TMP2"}) EXPECT_FALSE(Exists(f)) << f;
  EXPECT_FALSE(frame_->CurrentProject().Window || frame_->CurrentProject().SaveParameters);
}

TEST_F(ChildwinTest, CloseQueryAnswers) {
  TMDIChild* child = Open();
  child->Edit2->setText("0,25");
  ASSERT_TRUE(child->Changed());
  dialogs_.answerMessage(QMessageBox::Cancel);
  EXPECT_FALSE(Close(child));
  ASSERT_EQ(dialogs_.messages.size(), 1u);

  // Yes, and then the save dialog is cancelled: the window stays, with its timer as it was.
  child->Timer1->start();
  dialogs_.answerMessage(QMessageBox::Yes);
  dialogs_.answerFile(std::nullopt);
  EXPECT_FALSE(Close(child));
  EXPECT_TRUE(child->Timer1->isActive());
  child->Timer1->stop();

  // Yes, and the save fails: the window stays, and so does the old file.
  WriteBytes(File("old.LPr"), {9, 9});
  dialogs_.answerMessage(QMessageBox::Yes);
  dialogs_.answerFile(Path("old.LPr"));
  dialogs_.answerMessage(QMessageBox::Ok);  // the error box
  {
    SmallFileLimit limit;
    EXPECT_FALSE(Close(child));
  }
  EXPECT_EQ(ReadBytes(File("old.LPr")), (Bytes{9, 9}));
  EXPECT_TRUE(dialogs_.lastMessage().contains("could not be saved") && child->Changed() && Exists("x.TMP1"));

  // Yes, and the save succeeds: the window closes and its files go ("No" is in the frame's test).
  dialogs_.answerMessage(QMessageBox::Yes);
  dialogs_.answerFile(Path("kept.LPr"));
  EXPECT_TRUE(Close(child));
  EXPECT_TRUE(Exists("kept.LPr") && !Exists("x.TMP1"));
  EXPECT_EQ(dialogs_.unexpected, 0);
}

// ---------------------------------------------------------------------------------------------
// Controls

TEST_F(ChildwinTest, ANewWindowShowsTheDefaultsAndCanOnlyBeInitialised) {
  TMDIChild* child = Open();
  TMDIChild* other = Open("y");
  ASSERT_TRUE(child->GatherParameters());  // the untouched controls gather to a new project's block
  TCalcParams defaults = DefaultCalcParams();
  defaults.CalmDownIterations = 300;  // the spin's 300 is 25 whole sequences of 12: used as it is
  EXPECT_EQ(child->Params(), defaults);
  EXPECT_FALSE(child->ToolButton2->isEnabled() || child->Changed());

  child->SpinEdit3->setValue(300);
  child->Button11->click();  // "use settings" without a picture: silently nothing
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(child->Params().PictureWidth, 194);
  EXPECT_FALSE(child->PictureInitialised() || Exists("x.TMP0"));

  // The fast-maths switch is off, its own per window, and no change to the project.
  other->CheckBoxFastTrig->click();
  EXPECT_TRUE(other->CheckBoxFastTrig->isChecked());
  EXPECT_FALSE(child->CheckBoxFastTrig->isChecked() || other->Changed());
  // Fixed formulas swap the groups; sequences are typed in upper case.
  other->CheckBox1->setChecked(true);
  EXPECT_FALSE(other->GroupBox5->isHidden());
  EXPECT_TRUE(other->GroupBox1->isHidden() && other->Changed());
  other->Edit1->clear();
  QTest::keyClicks(other->Edit1, "abxa");
  EXPECT_EQ(other->Edit1->text(), "ABXA");
}

TEST_F(ChildwinTest, PreviewShowsTheDemonstrationDataThroughTheEditedList) {
  TMDIChild* child = Open();
  for (auto [i, j] : {std::pair{43, 10}, {174, 118}})
    EXPECT_DOUBLE_EQ(child->Preview().At(i, j), 4 * std::tan(2 * kPi * j / 119) * std::sin(2 * kPi * i / 175));
  // Column 0 holds 0, which the default list shows orange; halfway between green and blue after.
  EXPECT_EQ(FromQColor(child->ColorPage->PreviewImage().pixelColor(0, 50)), 0x0080FFu);
  child->Params().SetColors({{0x00FF00, -1}, {0xFF0000, 1}});
  child->ApplyParameters();
  child->Button8->click();
  EXPECT_EQ(FromQColor(child->ColorPage->PreviewImage().pixelColor(0, 50)), 0x7F7F00u);
}

// Coordinates: the region is 0,0132 wide and 0,0105 high; the picture 194 x 154.
TEST_F(ChildwinTest, PictureSizeKeepsTheRegionsRatio) {
  // Steps: 'w'/'h' picture width/height, 'W'/'H' region width/height, 'r' adjust ratio.
  struct Case {
    const char* name;
    std::vector<std::pair<char, QString>> steps;
    int width, height;  // width -1: not checked
    QString error;      // beside the fields; empty: none shown
  };
  const Case cases[] = {
      {"300 * 0,0105 / 0,0132 = 238,6", {{'w', "300"}}, 300, 239, ""},
      {"and back", {{'w', "300"}, {'w', "194"}}, 194, 154, ""},
      {"free without the ratio", {{'r', "0"}, {'w', "500"}, {'h', "100"}}, 500, 100, ""},
      {"the ratio again sets the height", {{'r', "0"}, {'w', "500"}, {'h', "100"}, {'r', "1"}}, 500, 398, ""},
      {"largest height", {{'r', "0"}, {'w', "10"}, {'r', "1"}, {'H', "1000"}}, 10, 100000, ""},
      {"smallest height", {{'H', "0,000001"}}, -1, 10, ""},
      {"region height not a number",
       {{'H', "0.0105"}, {'w', "400"}},
       400,
       154,
       "height: \"0.0105\" is not a number. Both picture sizes were left as they are."},
      {"and mended", {{'H', "0.0105"}, {'w', "400"}, {'H', "0,0105"}}, 400, 318, ""},
      {"region width 0", {{'W', "0"}, {'w', "500"}}, 500, 154, "width is 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMDIChild* child = Open();
    for (const auto& [what, value] : c.steps) {
      if (what == 'w' || what == 'h') (what == 'w' ? child->SpinEdit3 : child->SpinEdit4)->setValue(value.toInt());
      if (what == 'W' || what == 'H') {  // typed over, then Enter: the edit is finished
        QLineEdit* edit = what == 'W' ? child->Edit6 : child->Edit7;
        edit->selectAll();
        QTest::keyClicks(edit, value);
        QTest::keyClick(edit, Qt::Key_Return);
      }
      if (what == 'r') child->CheckBox3->setChecked(value == "1");
    }
    EXPECT_TRUE(c.width < 0 || child->SpinEdit3->value() == c.width) << child->SpinEdit3->value();
    EXPECT_EQ(child->SpinEdit4->value(), c.height);
    EXPECT_EQ(child->CoordinatesError->isHidden(), c.error.isEmpty());
    EXPECT_TRUE(child->CoordinatesError->text().contains(c.error));
    EXPECT_TRUE(child->Changed());
  }
  EXPECT_TRUE(dialogs_.messages.empty());  // never in a box: the text may be half typed
}

// ---------------------------------------------------------------------------------------------
// Gathering and showing the block

TEST_F(ChildwinTest, ShownBlockGathersBack) {
  TMDIChild* child = Open();
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = 2;
  block.W = 3.25, block.V = -0.5, block.U = 1e-7;
  block.SetFormula("sin(X)*AB");
  block.SetSequence(ReadSequence("ABBA"));
  block.StartX = 0.125, block.CalmDownIterations = 100, block.Iterations = 2004, block.SmartIterate = true;
  block.CenterX = -1.5, block.CenterY = 2.75, block.Width = 0.5, block.Height = 0.25;
  block.Angle = DegreesToRadians(30);
  block.PictureWidth = 640, block.PictureHeight = 320;
  block.SetColors({{0x123456, -2.5}, {0xABCDEF, 0.0}, {0x00FF00, 3.0}});
  block.BelowColor = 0x0000FF, block.AboveColor = 0x00FF00, block.ErrorLimit = 0.01, block.AdjustRatio = false;
  block.Reserved[0] = 7, block.Reserved[86] = 9;
  child->Params() = block;
  child->ParametersLoaded();
  EXPECT_EQ(child->Edit5->text(), "30");      // degrees on the page, radians in the block
  EXPECT_EQ(child->SpinEdit4->value(), 320);  // shown as stored, not re-derived from the ratio

  // The counts shown are the block's own: gathered again, they stay (they do not creep).
  ASSERT_TRUE(child->GatherParameters());
  EXPECT_EQ(child->Params(), block);
  EXPECT_EQ(child->Params().Angle, 0.5235987755982988);
}

TEST_F(ChildwinTest, GatheringRoundsIterationsAndJoinsMemoLines) {
  TMDIChild* child = Open();
  child->SpinEdit1->setValue(145);
  child->Memo1->setPlainText("2,5*sqr(\nsin(X+AB)\n)");
  child->Edit11->setText("-0,5");
  child->Edit1->setText("AXB");
  ASSERT_TRUE(child->GatherParameters());
  EXPECT_EQ(child->Params().Iterations, 147);          // S = 3: rounded up to whole sequences
  EXPECT_EQ(child->Params().CalmDownIterations, 300);  // already whole: stays
  EXPECT_EQ(child->Params().FormulaText, "2,5*sqr(sin(X+AB))");
  EXPECT_TRUE(child->Params().Sequence == (std::vector<uint8_t>{0, 1, 1}) && child->Params().ErrorLimit == 0.5);
  EXPECT_EQ(child->SpinEdit1->value(), 145);  // the spin edit keeps its own value
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(ChildwinTest, SaveParametersWritesThePagesWithoutAQuestion) {
  TMDIChild* child = Open("new project 1");
  child->Edit3->setText("1,25");
  dialogs_.answerFile(std::nullopt);  // cancelled: nothing written
  child->SaveParameters();
  EXPECT_EQ(dialogs_.fileRequests.at(0).presetFileName, "new project 1.Par");

  // Pending adjustments of an initialised picture stay pending: the file takes the pages, the
  // picture's block stays, and nothing is asked.
  child->ToolButton9->setEnabled(true);
  const TCalcParams applied = child->Params();
  dialogs_.answerFile(Path("Fern.Par"));
  child->SaveParameters();
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.lastMessage().toStdString();
  EXPECT_EQ(child->Caption(), "Fern");
  EXPECT_TRUE(RecentFiles().value(0).endsWith("Fern.Par")) << RecentFiles().join(", ").toStdString();
  EXPECT_EQ(LoadParameterFile(File("Fern.Par")).CenterX, 1.25);
  EXPECT_TRUE(child->Params() == applied && child->ToolButton9->isEnabled());
  EXPECT_TRUE(child->Changed());  // saving parameters is not saving the project
}

TEST_F(ChildwinTest, FailedSavesKeepTheOldFileTheCaptionAndTheChangedFlag) {
  enum Obstacle { FileTooLarge, MissingFolder, FolderInTheWay };
  const std::pair<Obstacle, std::string> cases[] = {
      {FileTooLarge, "old"}, {MissingFolder, "no such folder/p"}, {FolderInTheWay, "taken"}};
  for (const bool project : {false, true}) {
    for (const auto& [obstacle, name] : cases) {
      SCOPED_TRACE(name + (project ? ".LPr" : ".Par"));
      TMDIChild* child = Open();
      child->setChanged();
      const std::string target = name + (project ? ".LPr" : ".Par");
      if (obstacle == FolderInTheWay) fs::create_directory(dir_.path() / target);
      // A file that must keep its bytes.
      const std::string kept = obstacle == FileTooLarge ? target : obstacle == FolderInTheWay ? target + "/inside" : "";
      if (!kept.empty()) WriteBytes(File(kept), {7});
      dialogs_.answerFile(Path(target));
      {
        std::optional<SmallFileLimit> limit;
        if (obstacle == FileTooLarge) limit.emplace();
        project ? child->SaveProject() : child->SaveParameters();
      }
      EXPECT_TRUE(dialogs_.lastMessage().contains("could not be saved"));
      EXPECT_TRUE(dialogs_.lastMessage().contains(Path(target)));
      EXPECT_TRUE(obstacle != FileTooLarge || dialogs_.lastMessage().contains("File too large"));  // the system's
      EXPECT_TRUE(kept.empty() || ReadBytes(File(kept)) == Bytes{7});
      EXPECT_TRUE(child->Caption() == "x" && child->Changed() && !child->Saved());
      EXPECT_TRUE(frame_->MainProgressBar().value() == 0 && !frame_->ProgressWindow().isVisible());
      child->FormClose();
      fs::remove_all(dir_.path() / target);
    }
  }
  // The temporary parameter file keeps its old bytes as well.
  TMDIChild* child = Open();
  WriteBytes(File("x.TMP0"), {'o', 'l', 'd'});
  {
    SmallFileLimit limit;
    child->WriteTempParameters();
  }
  EXPECT_TRUE(dialogs_.lastMessage().contains("File too large")) << dialogs_.lastMessage().toStdString();
  EXPECT_EQ(ReadBytes(File("x.TMP0")), (Bytes{'o', 'l', 'd'}));
  // No temporary file of the failed writes stays behind.
  for (const auto& entry : fs::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(ChildwinTest, SaveProjectWritesBlockAndDataAndClearsChanged) {
  TMDIChild* child = Open();
  child->setChanged();
  // Without data the project file is the block alone, with record count 0.
  dialogs_.answerFile(Path("P.LPr"));
  child->SaveProject();
  EXPECT_EQ(dialogs_.fileRequests.at(0).presetFileName, "x.LPr");
  EXPECT_EQ(ReadBytes(File("P.LPr")), Encoded(child->Params(), BlockForm::Project));
  EXPECT_TRUE(child->Saved() && !child->Changed() && !frame_->ProgressWindow().isVisible());
  EXPECT_EQ(child->Caption(), "P");

  // With data, both data files follow the block.
  const double a[3] = {0.5, -1.0, 2.0}, b[3] = {0.1, 0.2, 0.3};
  child->DataFile1().Write(a, 3);
  child->DataFile2().Write(b, 3);
  dialogs_.answerFile(Path("Q.LPr"));
  child->SaveProject();
  const Bytes bytes = ReadBytes(File("Q.LPr"));
  const size_t head = Encoded(child->Params(), BlockForm::Project, 3).size();
  ASSERT_EQ(bytes.size(), head + 48);
  double stored[6];
  std::memcpy(stored, bytes.data() + head, 48);
  EXPECT_TRUE(stored[0] == 0.5 && stored[3] == 0.1 && stored[5] == 0.3);
  EXPECT_EQ(frame_->MainProgressBar().value(), 0);
}

TEST_F(ChildwinTest, PagesFitTheDefaultWidth) {
  TMDIChild* child = Open();
  frame_->resize(800, 700);
  frame_->show();
  const char* names[5] = {"formula", "coordinates", "colors", "calculation", "formula-fixed"};
  for (int i = 0; i < 5; ++i) {
    if (i == 4) child->CheckBox1->setChecked(true);
    child->PageControl1->setCurrentIndex(i % 4);
    QApplication::processEvents();
    QWidget* page = child->PageControl1->currentWidget();  // no sideways scrolling at the start
    EXPECT_LE(page->minimumSizeHint().width(), page->width()) << names[i];
    Grab(*child->parentWidget(), QString("child-") + names[i]);
  }
}

}  // namespace
}  // namespace vantorel::gui
