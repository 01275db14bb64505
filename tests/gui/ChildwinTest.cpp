// The project window on a real frame: temporary files, the close query, the ratio keeping of
// the coordinates page, gathering and showing the parameter block, and saving parameters and
// projects.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "app/ParameterFile.h"
#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "app/gui/ProgressForm.h"
#include "app/gui/RadioGroup.h"
#include "colour/gui/ColorListDisplay.h"
#include "core/NumberText.h"
#include "gui/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace vantorel::gui {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::ScriptedDialogs;
using test::TempDir;

std::vector<unsigned char> Bytes(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

// A frame working in a fresh temporary directory, so that the project windows' temporary
// files land there.
class ChildwinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir_.path().string())));
    frame_ = std::make_unique<TMainForm>();
  }
  void TearDown() override {
    // Close what is still open without questions.
    for (TMDIChild* child : frame_->ProjectWindows()) child->FormClose();
    // Windows closed by a test are deleted later; let that happen while the frame still lives.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frame_.reset();
    QDir::setCurrent(previousDir_);
  }

  TMDIChild* Open(const QString& name) { return frame_->OpenProjectWindow(name); }
  std::string InDir(const std::string& name) const { return dir_.file(name); }
  bool Exists(const std::string& name) const { return fs::exists(dir_.path() / name); }
  static QMdiSubWindow* SubWindow(TMDIChild* child) { return qobject_cast<QMdiSubWindow*>(child->parentWidget()); }

  TempDir dir_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TMainForm> frame_;
  QString previousDir_;
};

// ---------------------------------------------------------------------------------------------
// Temporary files

TEST_F(ChildwinTest, NewWindowCreatesEmptyDataFilesNamedAfterTheProject) {
  TMDIChild* child = Open("x");
  EXPECT_EQ(child->TempBaseName(), QDir::current().filePath("x"));
  EXPECT_TRUE(Exists("x.TMP1"));
  EXPECT_TRUE(Exists("x.TMP2"));
  EXPECT_FALSE(Exists("x.TMP0"));  // written with the first parameter block
  EXPECT_TRUE(child->DataFile1().IsOpen());
  EXPECT_TRUE(child->DataFile2().IsOpen());
  EXPECT_EQ(child->DataFile1().RecordCount(), 0);
  EXPECT_EQ(child->Caption(), "x");
}

TEST_F(ChildwinTest, TwoWindowsWithOneNameGetDifferentFiles) {
  TMDIChild* first = Open("x");
  TMDIChild* second = Open("x");
  EXPECT_EQ(QFileInfo(first->TempBaseName()).fileName(), "x");
  EXPECT_EQ(QFileInfo(second->TempBaseName()).fileName(), "x_");
  EXPECT_TRUE(Exists("x_.TMP1"));
  EXPECT_TRUE(Exists("x_.TMP2"));
}

TEST_F(ChildwinTest, OneExistingFileMovesAllThreeNames) {
  test::WriteBytes(InDir("x.TMP1"), {1, 2, 3});
  TMDIChild* child = Open("x");
  EXPECT_EQ(QFileInfo(child->TempBaseName()).fileName(), "x_");
  EXPECT_EQ(child->TempFileName(0), QDir::current().filePath("x_.TMP0"));
  EXPECT_TRUE(Exists("x_.TMP1"));
  EXPECT_TRUE(Exists("x_.TMP2"));
  EXPECT_EQ(ReadBytes(InDir("x.TMP1")).size(), 3u);  // the stranger's file stays as it was
}

TEST_F(ChildwinTest, ExistingFilesOfLaterExtensionsExtendTheBaseFurther) {
  test::WriteBytes(InDir("x.TMP0"), {1});
  test::WriteBytes(InDir("x_.TMP2"), {1});
  TMDIChild* child = Open("x");
  EXPECT_EQ(QFileInfo(child->TempBaseName()).fileName(), "x__");
}

TEST_F(ChildwinTest, FoldersAndDanglingLinksAreTakenNames) {
  fs::create_directory(dir_.path() / "y.TMP0");
  fs::create_symlink(dir_.path() / "nowhere", dir_.path() / "y_.TMP2");
  TMDIChild* child = Open("y");
  EXPECT_EQ(QFileInfo(child->TempBaseName()).fileName(), "y__");
  EXPECT_FALSE(Exists("nowhere"));
  EXPECT_TRUE(child->DataFile1().IsOpen());
}

TEST_F(ChildwinTest, WriteTempParametersStoresTheBlockInParameterForm) {
  TMDIChild* child = Open("x");
  child->Params().State = StateFinished;
  child->Params().ProgressRow = 7;
  child->Params().IterationsDone = 300;
  ASSERT_TRUE(child->WriteTempParameters());
  EXPECT_EQ(child->Params().IterationsDone, 0);
  EXPECT_EQ(ReadBytes(InDir("x.TMP0")), Bytes(EncodeParameterBlock(child->Params(), BlockForm::Parameters)));
  const TCalcParams stored = LoadParameterFile(InDir("x.TMP0"));
  EXPECT_EQ(stored.State, 0);
  EXPECT_EQ(stored.ProgressRow, 0);
}

// ---------------------------------------------------------------------------------------------
// Activation and the close query

TEST_F(ChildwinTest, ActivationPointsTheSlotsAtTheWindow) {
  TMDIChild* first = Open("a");
  TMDIChild* second = Open("b");
  CurrentProjectSlots& current = frame_->CurrentProject();
  EXPECT_EQ(current.Window, second);
  first->Params().IterationsDone = 12;
  first->FormActivate();
  EXPECT_EQ(current.Window, first);
  EXPECT_EQ(current.Params, &first->Params());
  EXPECT_EQ(current.DataFile1, &first->DataFile1());
  EXPECT_EQ(current.DataFile2, &first->DataFile2());
  EXPECT_EQ(first->Params().IterationsDone, 0);
  ASSERT_TRUE(current.SaveParameters && current.SaveProject && current.ParametersLoaded && current.ProjectLoaded);
}

TEST_F(ChildwinTest, UnchangedWindowClosesSilentlyAndDeletesItsFiles) {
  TMDIChild* child = Open("x");
  EXPECT_FALSE(child->Changed());
  ASSERT_TRUE(child->WriteTempParameters());
  EXPECT_TRUE(SubWindow(child)->close());
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_FALSE(Exists("x.TMP0"));
  EXPECT_FALSE(Exists("x.TMP1"));
  EXPECT_FALSE(Exists("x.TMP2"));
  EXPECT_EQ(frame_->CurrentProject().Window, nullptr);
}

TEST_F(ChildwinTest, CloseQueryAnswers) {
  TMDIChild* child = Open("x");
  child->Edit2->setText("0,25");
  ASSERT_TRUE(child->Changed());

  dialogs_.answerMessage(QMessageBox::Cancel);
  EXPECT_FALSE(SubWindow(child)->close());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, "x\n\nYou changed something.\nSave changes?");
  EXPECT_EQ(dialogs_.messages[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_TRUE(Exists("x.TMP1"));

  // Yes, and then the save dialog is cancelled: the window stays, with its timer as it was.
  child->Timer1->start();
  dialogs_.answerMessage(QMessageBox::Yes);
  dialogs_.answerFile(std::nullopt);
  EXPECT_FALSE(SubWindow(child)->close());
  EXPECT_TRUE(child->Timer1->isActive());
  EXPECT_EQ(child->Caption(), "x");
  EXPECT_TRUE(child->Changed());
  child->Timer1->stop();

  dialogs_.answerMessage(QMessageBox::No);
  EXPECT_TRUE(SubWindow(child)->close());
  EXPECT_FALSE(Exists("x.TMP1"));
  EXPECT_EQ(dialogs_.unexpected, 0);
}

TEST_F(ChildwinTest, CloseQueryYesSavesTheProjectAndCloses) {
  TMDIChild* child = Open("x");
  child->setChanged();
  dialogs_.answerMessage(QMessageBox::Yes);
  dialogs_.answerFile(QString::fromStdString(InDir("kept.LPr")));
  EXPECT_TRUE(SubWindow(child)->close());
  EXPECT_TRUE(Exists("kept.LPr"));
  EXPECT_FALSE(Exists("x.TMP1"));
}

TEST_F(ChildwinTest, FrameRefusesToCloseWhileAWindowRefuses) {
  TMDIChild* child = Open("x");
  child->setChanged();
  dialogs_.answerMessage(QMessageBox::Cancel);
  EXPECT_FALSE(frame_->close());
  EXPECT_EQ(frame_->ProjectWindows().size(), 1);
  EXPECT_TRUE(Exists("x.TMP1"));
}

// ---------------------------------------------------------------------------------------------
// Controls at creation

TEST_F(ChildwinTest, OnlyInitialiseIsEnabledOnTheCalculationPage) {
  TMDIChild* child = Open("x");
  EXPECT_TRUE(child->ToolButton7->isEnabled());
  for (QToolButton* b : {child->ToolButton2, child->ToolButton3, child->ToolButton4, child->ToolButton9,
                         child->ToolButton10, child->ToolButton12, child->ToolButton13, child->ToolButton14})
    EXPECT_FALSE(b->isEnabled()) << b->toolTip().toStdString();
  EXPECT_EQ(child->ToolButton2->toolTip(), "start");
  EXPECT_EQ(child->ToolButton10->toolTip(), "stop (all data is lost!!!)");
  EXPECT_EQ(child->ToolButton14->statusTip(), "continue iteration in selected area");
  EXPECT_EQ(child->CheckBox1->statusTip(), "fixed formulas are much faster!");
  EXPECT_TRUE(child->ToolButton14->isCheckable());
  EXPECT_EQ(child->ToolButton2Image(), 0);
  EXPECT_EQ(child->ProgressBar1->maximum(), 10000);
  EXPECT_EQ(child->Timer1->interval(), 2000);
  EXPECT_FALSE(child->Timer1->isActive());
  EXPECT_FALSE(child->Shape3->isVisible());
  EXPECT_FALSE(child->Button6->isEnabled());
  EXPECT_TRUE(child->Button8->isEnabled());
  EXPECT_FALSE(child->PictureInitialised());
  EXPECT_EQ(SubWindow(child)->size(), QSize(375, 440));
}

TEST_F(ChildwinTest, CalculationCommandsRefuseClearlyForNow) {
  TMDIChild* child = Open("x");
  child->ToolButton7->click();
  EXPECT_TRUE(dialogs_.lastMessage().contains("not available"));
  child->ProjectLoaded();
  EXPECT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_FALSE(child->PictureInitialised());
  EXPECT_FALSE(child->Changed());
  EXPECT_FALSE(Exists("x.TMP0"));
  EXPECT_FALSE(child->ToolButton2->isEnabled());
}

TEST_F(ChildwinTest, DefaultsOfANewProject) {
  TMDIChild* child = Open("x");
  EXPECT_EQ(child->Memo1->toPlainText(), "2,5*sqr(sin(X+AB))");
  EXPECT_EQ(child->Edit1->text(), "AAAAAABBBBBB");
  EXPECT_EQ(child->Edit2->text(), "0,5");
  EXPECT_EQ(child->SpinEdit1->value(), 150);
  EXPECT_EQ(child->SpinEdit2->value(), 300);
  EXPECT_EQ(child->SpinEdit1->singleStep(), 50);
  EXPECT_EQ(child->SpinEdit2->maximum(), 100000000);
  EXPECT_EQ(child->Edit11->text(), "0,001");
  EXPECT_FALSE(child->CheckBox1->isChecked());
  EXPECT_EQ(child->RadioGroup1->ItemIndex(), 1);
  EXPECT_EQ(child->RadioGroup1->Item(2)->text(), "3) F=AB*X*|1-x| {x>0,5}; F=AB*X*(1-X)+U*(AB-2)/4 {x<0,5}");
  EXPECT_TRUE(child->GroupBox5->isHidden());
  EXPECT_EQ(child->Edit8->text(), "2,5");
  EXPECT_EQ(child->Edit9->text(), "0,1137635");
  EXPECT_EQ(child->Edit10->text(), "0,063633");
  EXPECT_EQ(child->Edit3->text(), "3,959");
  EXPECT_EQ(child->Edit6->text(), "0,0132");
  EXPECT_EQ(child->SpinEdit3->value(), 194);
  EXPECT_EQ(child->SpinEdit4->value(), 154);
  EXPECT_EQ(child->SpinEdit3->minimum(), 10);
  EXPECT_EQ(child->SpinEdit4->maximum(), 100000);
  EXPECT_TRUE(child->CheckBox3->isChecked());
  EXPECT_FALSE(child->Changed());
  for (QPushButton* b : {child->Button1, child->Button2, child->Button7, child->Button12})
    EXPECT_FALSE(b->isEnabled());

  // Gathering the untouched controls gives the block of a new project.
  ASSERT_TRUE(child->GatherParameters());
  EXPECT_EQ(child->Params(), DefaultCalcParams());
}

TEST_F(ChildwinTest, DemonstrationPreviewData) {
  TMDIChild* child = Open("x");
  const double twoPi = 2 * kPi;
  for (auto [i, j] : {std::pair{0, 0}, {43, 10}, {174, 118}, {100, 60}})
    EXPECT_DOUBLE_EQ(child->Preview().At(i, j), 4 * std::tan(twoPi * j / 119) * std::sin(twoPi * i / 175));
}

TEST_F(ChildwinTest, ApplyToPreviewColoursTheGridThroughTheEditedList) {
  TMDIChild* child = Open("x");
  // Column 0 of the demonstration data holds 0, which the default list shows orange.
  EXPECT_EQ(FromQColor(child->ColorPage->PreviewImage().pixelColor(0, 50)), 0x0080FFu);
  TCalcParams p = child->Params();
  p.SetColors({{0x00FF00, -1}, {0xFF0000, 1}});
  child->Params() = p;
  child->ApplyParameters();
  child->Button8->click();
  EXPECT_EQ(FromQColor(child->ColorPage->PreviewImage().pixelColor(0, 50)), 0x7F7F00u);
}

TEST_F(ChildwinTest, UseFixedSwapsTheGroupsAndMarksChanged) {
  TMDIChild* child = Open("x");
  child->CheckBox1->setChecked(true);
  EXPECT_FALSE(child->GroupBox5->isHidden());
  EXPECT_TRUE(child->GroupBox1->isHidden());
  EXPECT_TRUE(child->Changed());
  child->CheckBox1->setChecked(false);
  EXPECT_TRUE(child->GroupBox5->isHidden());
  EXPECT_FALSE(child->GroupBox1->isHidden());
}

TEST_F(ChildwinTest, SequenceIsTypedInUpperCase) {
  TMDIChild* child = Open("x");
  child->Edit1->clear();
  QTest::keyClicks(child->Edit1, "abxa");
  EXPECT_EQ(child->Edit1->text(), "ABXA");
}

// ---------------------------------------------------------------------------------------------
// Coordinates

TEST_F(ChildwinTest, PictureKeepsTheRegionsRatio) {
  TMDIChild* child = Open("x");
  child->SpinEdit3->setValue(300);
  EXPECT_EQ(child->SpinEdit4->value(), 239);  // 300 * 0,0105 / 0,0132 = 238,6
  child->SpinEdit3->setValue(194);
  EXPECT_EQ(child->SpinEdit4->value(), 154);
  EXPECT_EQ(child->SpinEdit3->value(), 194);

  // Editing the region height adjusts the picture height; the region width the picture width.
  child->Edit7->setText("0,0132");
  EXPECT_EQ(child->SpinEdit4->value(), 194);
  child->Edit6->setText("0,0264");
  EXPECT_EQ(child->SpinEdit3->value(), 388);
  EXPECT_TRUE(child->Changed());
}

TEST_F(ChildwinTest, RatioRoundsHalvesToEven) {
  TMDIChild* child = Open("x");
  child->CheckBox3->setChecked(false);
  child->Edit6->setText("4");
  child->Edit7->setText("1");
  child->SpinEdit3->setValue(50);  // 12,5 -> 12 once the ratio is kept again
  child->CheckBox3->setChecked(true);
  EXPECT_EQ(child->SpinEdit4->value(), 12);
}

TEST_F(ChildwinTest, WithoutAdjustRatioBothSizesAreFree) {
  TMDIChild* child = Open("x");
  child->CheckBox3->setChecked(false);
  child->SpinEdit3->setValue(500);
  child->SpinEdit4->setValue(100);
  EXPECT_EQ(child->SpinEdit3->value(), 500);
  EXPECT_EQ(child->SpinEdit4->value(), 100);
  child->CheckBox3->setChecked(true);  // recomputes the height from the width
  EXPECT_EQ(child->SpinEdit4->value(), 398);
}

TEST_F(ChildwinTest, RegionThatIsNotANumberLeavesThePictureSizeAndSaysWhy) {
  TMDIChild* child = Open("x");
  child->Edit7->setText("0.0105");
  child->SpinEdit3->setValue(400);
  EXPECT_EQ(child->SpinEdit4->value(), 154);
  EXPECT_FALSE(child->CoordinatesError->isHidden());
  EXPECT_TRUE(child->CoordinatesError->text().contains("height"));
  child->Edit7->setText("0,0105");
  EXPECT_TRUE(child->CoordinatesError->isHidden());
  EXPECT_EQ(child->SpinEdit4->value(), 318);

  child->Edit6->setText("0");
  child->SpinEdit3->setValue(500);
  EXPECT_EQ(child->SpinEdit4->value(), 318);
  EXPECT_TRUE(child->CoordinatesError->text().contains("width is 0"));
  EXPECT_TRUE(dialogs_.messages.empty());  // reported beside the fields, not in a box
}

TEST_F(ChildwinTest, RatioKeepsTheSpinRange) {
  TMDIChild* child = Open("x");
  child->Edit7->setText("1000");
  EXPECT_EQ(child->SpinEdit4->value(), 100000);
  child->Edit7->setText("0,000001");
  EXPECT_EQ(child->SpinEdit4->value(), 10);
}

TEST_F(ChildwinTest, UseSettingsDoesNothingWithoutAPicture) {
  TMDIChild* child = Open("x");
  child->SpinEdit3->setValue(300);
  child->Button11->click();
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(child->Params().PictureWidth, 194);
  EXPECT_FALSE(Exists("x.TMP0"));
}

// ---------------------------------------------------------------------------------------------
// Gathering and showing the block

TCalcParams SampleBlock() {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 2;
  p.W = 3.25;
  p.V = -0.5;
  p.U = 1e-7;
  p.SetFormula("sin(X)*AB");
  p.SetSequence(ReadSequence("ABBA"));
  p.StartX = 0.125;
  p.CalmDownIterations = 100;  // multiples of 4, as gathering makes them
  p.Iterations = 2004;
  p.SmartIterate = true;
  p.CenterX = -1.5;
  p.CenterY = 2.75;
  p.Width = 0.5;
  p.Height = 0.25;
  p.Angle = DegreesToRadians(30);
  p.PictureWidth = 640;
  p.PictureHeight = 320;
  p.SetColors({{0x123456, -2.5}, {0xABCDEF, 0.0}, {0x00FF00, 3.0}});
  p.BelowColor = 0x0000FF;
  p.AboveColor = 0x00FF00;
  p.ErrorLimit = 0.01;
  p.AdjustRatio = false;
  p.Reserved[0] = 7;
  p.Reserved[86] = 9;
  return p;
}

TEST_F(ChildwinTest, ApplyThenGatherGivesTheBlockBack) {
  TMDIChild* child = Open("x");
  // Iterations are stored as v - (v mod S) + S of the spin value; the block shown holds
  // 2004 = 501 * 4 and 100, so the gathered counts are one sequence length higher.
  const TCalcParams block = SampleBlock();
  child->Params() = block;
  child->ApplyParameters();
  EXPECT_TRUE(child->CheckBox1->isChecked());
  EXPECT_FALSE(child->GroupBox5->isHidden());
  EXPECT_EQ(child->RadioGroup1->ItemIndex(), 2);
  EXPECT_EQ(child->Edit5->text(), "30");
  EXPECT_EQ(child->Edit1->text(), "ABBA");
  EXPECT_EQ(child->SpinEdit3->value(), 640);  // shown as stored, not re-derived from the ratio
  EXPECT_EQ(child->SpinEdit4->value(), 320);
  EXPECT_EQ(child->ListView1->count(), 3);

  ASSERT_TRUE(child->GatherParameters());
  TCalcParams expected = block;
  expected.CalmDownIterations = 104;
  expected.Iterations = 2008;
  EXPECT_EQ(child->Params(), expected);
  EXPECT_EQ(child->Params().Angle, 0.5235987755982988);
}

TEST_F(ChildwinTest, GatheringRoundsIterationsAndJoinsMemoLines) {
  TMDIChild* child = Open("x");
  child->SpinEdit1->setValue(144);
  child->Memo1->setPlainText("2,5*sqr(\nsin(X+AB)\n)");
  child->Edit11->setText("-0,5");
  child->Edit1->setText("AXB");
  ASSERT_TRUE(child->GatherParameters());
  EXPECT_EQ(child->Params().Iterations, 147);  // S = 3
  EXPECT_EQ(child->Params().CalmDownIterations, 303);
  EXPECT_EQ(child->Params().FormulaText, "2,5*sqr(sin(X+AB))");
  EXPECT_EQ(child->Params().Sequence, (std::vector<uint8_t>{0, 1, 1}));
  EXPECT_EQ(child->Params().ErrorLimit, 0.5);
  EXPECT_EQ(child->SpinEdit1->value(), 144);  // the spin edit keeps its own value
}

TEST_F(ChildwinTest, GatheringRefusesBadInputAndKeepsTheBlock) {
  TMDIChild* child = Open("x");
  const TCalcParams before = child->Params();

  child->Edit1->setText("");
  EXPECT_FALSE(child->GatherParameters());
  EXPECT_TRUE(dialogs_.lastMessage().contains("AB-sequence"));
  EXPECT_EQ(child->Params(), before);

  child->Edit1->setText("AB");
  child->Edit2->setText("0.5");  // a point is not the decimal separator
  child->Edit4->setText("2");    // valid, but must not reach the block either
  EXPECT_FALSE(child->GatherParameters());
  EXPECT_TRUE(dialogs_.lastMessage().contains("start X"));
  EXPECT_TRUE(dialogs_.lastMessage().contains("0.5"));
  EXPECT_EQ(child->Params(), before);

  child->Edit2->setText("0,5");
  child->Edit6->setText("wide");
  EXPECT_FALSE(child->GatherParameters());
  EXPECT_TRUE(dialogs_.lastMessage().contains("width"));
  EXPECT_EQ(child->Params(), before);
}

TEST_F(ChildwinTest, ParametersLoadedShowsTheBlock) {
  TMDIChild* child = Open("x");
  child->Params() = SampleBlock();
  child->ParametersLoaded();
  EXPECT_EQ(child->Edit3->text(), "-1,5");
  EXPECT_EQ(child->Edit9->text(), "-0,5");
  EXPECT_EQ(child->Edit10->text(), "1E-7");
  EXPECT_EQ(child->Shape1->BrushColor(), 0x0000FFu);
  EXPECT_EQ(child->Label17->text(), "-2,5");
  EXPECT_EQ(child->Label18->text(), "3");
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(ChildwinTest, SaveParametersWritesTheGatheredBlock) {
  TMDIChild* child = Open("new project 1");
  child->Edit3->setText("1,25");
  const std::string path = InDir("Fern.Par");
  dialogs_.answerFile(QString::fromStdString(path));
  child->SaveParameters();
  ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
  const FileDialogRequest& r = dialogs_.fileRequests[0];
  EXPECT_EQ(r.kind, FileDialogRequest::Save);
  EXPECT_EQ(r.title, "save parameters");
  EXPECT_EQ(r.defaultSuffix, "Par");
  EXPECT_EQ(r.presetFileName, "new project 1.Par");
  EXPECT_TRUE(r.filter.contains("*.Par"));
  EXPECT_TRUE(r.confirmOverwrite);

  EXPECT_EQ(child->Params().CenterX, 1.25);
  EXPECT_EQ(ReadBytes(path), Bytes(EncodeParameterBlock(child->Params(), BlockForm::Parameters)));
  EXPECT_EQ(child->Caption(), "Fern");
  EXPECT_TRUE(child->Changed());  // saving parameters is not saving the project
  EXPECT_EQ(dialogs_.unexpected, 0);
}

TEST_F(ChildwinTest, SavedParametersLoadBackIntoAnEqualBlock) {
  TMDIChild* child = Open("x");
  child->Params() = SampleBlock();
  child->ApplyParameters();
  const std::string path = InDir("sample.Par");
  dialogs_.answerFile(QString::fromStdString(path));
  child->SaveParameters();
  EXPECT_EQ(LoadParameterFile(path), child->Params());
}

TEST_F(ChildwinTest, CancelledSaveChangesNothing) {
  TMDIChild* child = Open("x");
  child->Edit3->setText("1,25");
  dialogs_.answerFile(std::nullopt);
  child->SaveParameters();
  EXPECT_EQ(child->Caption(), "x");
  EXPECT_EQ(child->Params().CenterX, DefaultCalcParams().CenterX);
}

TEST_F(ChildwinTest, FailedParameterSaveKeepsTheOldFileAndTheCaption) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TMDIChild* child = Open("x");
  const fs::path folder = dir_.path() / "locked";
  fs::create_directory(folder);
  const std::string path = (folder / "old.Par").string();
  test::WriteBytes(path, {1, 2, 3, 4});
  chmod(folder.c_str(), 0500);
  dialogs_.answerFile(QString::fromStdString(path));
  child->SaveParameters();
  chmod(folder.c_str(), 0700);
  EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{1, 2, 3, 4}));
  EXPECT_EQ(child->Caption(), "x");
  EXPECT_TRUE(dialogs_.lastMessage().contains("could not be saved"));
}

TEST_F(ChildwinTest, PendingAdjustmentsAskBeforeSavingParameters) {
  TMDIChild* child = Open("x");
  child->ToolButton9->setEnabled(true);  // as after an edit of an initialised picture's settings
  const std::string path = InDir("asked.Par");
  dialogs_.answerFile(QString::fromStdString(path));
  dialogs_.answerMessage(QMessageBox::No);
  child->SaveParameters();
  EXPECT_EQ(dialogs_.lastMessage(), "This will also re-initialize the adjustments\ncontinue anyway?");
  EXPECT_FALSE(Exists("asked.Par"));
  EXPECT_EQ(child->Caption(), "x");

  dialogs_.answerFile(QString::fromStdString(path));
  dialogs_.answerMessage(QMessageBox::Yes);
  child->SaveParameters();
  EXPECT_TRUE(Exists("asked.Par"));
  EXPECT_EQ(child->Caption(), "asked");
}

TEST_F(ChildwinTest, SavesIntoAMissingFolderFailClearly) {
  TMDIChild* child = Open("x");
  child->setChanged();
  const QString missing = QString::fromStdString(InDir("no such folder/p.Par"));
  dialogs_.answerFile(missing);
  child->SaveParameters();
  EXPECT_TRUE(dialogs_.lastMessage().contains("could not be saved"));
  EXPECT_TRUE(dialogs_.lastMessage().contains(missing));
  EXPECT_EQ(child->Caption(), "x");

  dialogs_.answerFile(QString::fromStdString(InDir("no such folder/p.LPr")));
  child->SaveProject();
  EXPECT_TRUE(dialogs_.lastMessage().contains("could not be saved"));
  EXPECT_FALSE(child->Saved());
  EXPECT_TRUE(child->Changed());
  EXPECT_EQ(child->Caption(), "x");
  EXPECT_EQ(frame_->MainProgressBar().value(), 0);
  EXPECT_FALSE(frame_->ProgressWindow().isVisible());
}

TEST_F(ChildwinTest, SavingOverAFolderLeavesItAlone) {
  TMDIChild* child = Open("x");
  fs::create_directory(dir_.path() / "taken.Par");
  test::WriteBytes(InDir("taken.Par/inside"), {5});
  dialogs_.answerFile(QString::fromStdString(InDir("taken.Par")));
  child->SaveParameters();
  EXPECT_TRUE(dialogs_.lastMessage().contains("could not be saved"));
  EXPECT_EQ(ReadBytes(InDir("taken.Par/inside")), (std::vector<unsigned char>{5}));
  EXPECT_EQ(child->Caption(), "x");
}

TEST_F(ChildwinTest, BadInputStopsAParameterSave) {
  TMDIChild* child = Open("x");
  child->Edit1->setText("");
  const std::string path = InDir("never.Par");
  dialogs_.answerFile(QString::fromStdString(path));
  child->SaveParameters();
  EXPECT_FALSE(Exists("never.Par"));
  EXPECT_EQ(child->Caption(), "x");
}

TEST_F(ChildwinTest, SaveProjectWritesBlockAndClearsChanged) {
  TMDIChild* child = Open("x");
  child->setChanged();
  const std::string path = InDir("P.LPr");
  dialogs_.answerFile(QString::fromStdString(path));
  child->SaveProject();
  ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
  EXPECT_EQ(dialogs_.fileRequests[0].title, "save project");
  EXPECT_EQ(dialogs_.fileRequests[0].defaultSuffix, "LPr");
  EXPECT_EQ(dialogs_.fileRequests[0].presetFileName, "x.LPr");
  // Without data the project file is the block alone, with record count 0.
  EXPECT_EQ(ReadBytes(path), Bytes(EncodeParameterBlock(child->Params(), BlockForm::Project, 0)));
  EXPECT_TRUE(child->Saved());
  EXPECT_FALSE(child->Changed());
  EXPECT_EQ(child->Caption(), "P");
  EXPECT_EQ(frame_->MainProgressBar().value(), 0);
  EXPECT_FALSE(frame_->ProgressWindow().isVisible());
}

TEST_F(ChildwinTest, SaveProjectCopiesTheDataFiles) {
  TMDIChild* child = Open("x");
  const double a[3] = {0.5, -1.0, 2.0}, b[3] = {0.1, 0.2, 0.3};
  child->DataFile1().Write(a, 3);
  child->DataFile2().Write(b, 3);
  const std::string path = InDir("P.LPr");
  dialogs_.answerFile(QString::fromStdString(path));
  child->SaveProject();
  const auto bytes = ReadBytes(path);
  const size_t head = EncodeParameterBlock(child->Params(), BlockForm::Project, 3).size();
  ASSERT_EQ(bytes.size(), head + 48);
  double stored[6];
  std::memcpy(stored, bytes.data() + head, 48);
  EXPECT_EQ(stored[0], 0.5);
  EXPECT_EQ(stored[3], 0.1);
  EXPECT_EQ(stored[5], 0.3);
}

TEST_F(ChildwinTest, FailedProjectSaveKeepsOldFileCaptionAndChangedFlag) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TMDIChild* child = Open("x");
  child->setChanged();
  const fs::path folder = dir_.path() / "locked";
  fs::create_directory(folder);
  const std::string path = (folder / "old.LPr").string();
  test::WriteBytes(path, {9, 9});
  chmod(folder.c_str(), 0500);
  dialogs_.answerFile(QString::fromStdString(path));
  child->SaveProject();
  chmod(folder.c_str(), 0700);
  EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{9, 9}));
  EXPECT_FALSE(child->Saved());
  EXPECT_TRUE(child->Changed());
  EXPECT_EQ(child->Caption(), "x");

  // The close query's Yes then keeps the window open.
  chmod(folder.c_str(), 0500);
  dialogs_.answerMessage(QMessageBox::Yes);
  dialogs_.answerFile(QString::fromStdString(path));
  EXPECT_FALSE(SubWindow(child)->close());
  chmod(folder.c_str(), 0700);
}

TEST_F(ChildwinTest, CancelledProjectSaveIsNotSaved) {
  TMDIChild* child = Open("x");
  child->setChanged();
  dialogs_.answerFile(std::nullopt);
  child->SaveProject();
  EXPECT_FALSE(child->Saved());
  EXPECT_TRUE(child->Changed());
  EXPECT_EQ(child->Caption(), "x");
}

// ---------------------------------------------------------------------------------------------
// Looks

TEST_F(ChildwinTest, PagesFitTheDefaultWidth) {
  TMDIChild* child = Open("x");
  frame_->resize(800, 700);
  frame_->show();
  QApplication::processEvents();
  const QString grabDir = qEnvironmentVariable("VANTOREL_GRAB_DIR");
  const char* names[4] = {"formula", "coordinates", "colors", "calculation"};
  for (int i = 0; i < 4; ++i) {
    child->PageControl1->setCurrentIndex(i);
    QApplication::processEvents();
    // No page needs sideways scrolling at the starting size.
    QWidget* page = child->PageControl1->widget(i);
    EXPECT_LE(page->minimumSizeHint().width(), page->width()) << names[i];
    if (!grabDir.isEmpty()) SubWindow(child)->grab().save(grabDir + "/child-" + names[i] + ".png");
  }
  child->PageControl1->setCurrentIndex(0);
  child->CheckBox1->setChecked(true);
  QApplication::processEvents();
  EXPECT_LE(child->TabSheet1->minimumSizeHint().width(), child->TabSheet1->width());
  if (!grabDir.isEmpty()) SubWindow(child)->grab().save(grabDir + "/child-formula-fixed.png");
}

}  // namespace
}  // namespace vantorel::gui
