// The project window's inputs as a person uses them, with typed keys, focus changes and
// clicks: sizes and region values act once their editing is over and the ratio once; a huge
// size is asked about or refused with its figures; a formula that cannot be computed is
// refused before the picture; counts stay as given; re-initialising checks before it asks.
#include "app/ParameterFile.h"
#include "app/gui/OKBottomDlg1.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class ProjectInputTest : public FrameTest {
 protected:
  void SetUp() override {
    child_ = OpenShown();
    child_->PageControl1->setCurrentWidget(child_->TabSheet2);
    child_->RoomProbe = [] { return MachineRoom{uint64_t(1) << 40, uint64_t(1) << 42}; };
  }
  // Selects the whole text of a field and types over it, key by key, checking after every key
  // that the picture size has not moved.
  void Retype(QWidget* w, const QString& text) {
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    const QSize before = Size();
    for (QChar c : text) {
      QTest::keyClicks(w, QString(c));
      ASSERT_EQ(Size(), before) << "applied on the way: " << text.toStdString();
    }
  }
  QSize Size() const { return {child_->SpinEdit3->value(), child_->SpinEdit4->value()}; }
  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  TMDIChild* child_ = nullptr;
};

// 1200 typed into picture X gives 1200 x round(1200 * 0,0105 / 0,0132) = 1200 x 955, however
// the edit ends; the region's width sets the picture width once, from the height.
TEST_F(ProjectInputTest, SizesAndRegionValuesActWhenTheirEditingEndsAndTheRatioOnce) {
  enum End { Enter, Tab, FocusLeaves, ArrowUp };
  const struct Case {
    QWidget* field;
    const char* text;
    End end;
    QSize size;
  } cases[] = {
      {child_->SpinEdit3, "1200", Enter, {1200, 955}}, {child_->SpinEdit3, "1200", FocusLeaves, {1200, 955}},
      {child_->SpinEdit3, "", ArrowUp, {294, 234}},    {child_->SpinEdit4, "300", Tab, {377, 300}},
      {child_->Edit6, "0,0264", Enter, {387, 154}},    {child_->Edit7, "0,0132", FocusLeaves, {194, 194}},
  };
  for (const auto& [field, text, end, size] : cases) {
    SCOPED_TRACE(field->objectName().toStdString() + " " + text + " " + std::to_string(end));
    child_->ApplyParameters();  // the block's 194 x 154 and region
    if (end == ArrowUp)
      QTest::keyClick(field, Qt::Key_Up);
    else
      Retype(field, text);
    if (end == Enter || end == Tab) QTest::keyClick(field, end == Enter ? Qt::Key_Return : Qt::Key_Tab);
    if (end == FocusLeaves) child_->Edit3->setFocus();
    EXPECT_EQ(Size(), size);
  }
  EXPECT_TRUE(dialogs_.messages.empty());
}

// Region width 2 asks for 29333 x 154 (154 * 2 / 0,0105); the question names the size, memory,
// disk and time. "No" and a refusal leave the size as it was; "Yes" is not asked again.
TEST_F(ProjectInputTest, AHugeSizeIsAskedAboutWithItsFiguresOrRefused) {
  ASSERT_LT(child_->screen()->size().width() * child_->screen()->size().height() * 4, 29333 * 154);
  auto typeWidth2 = [this] {
    Retype(child_->Edit6, "2");
    QTest::keyClick(child_->Edit6, Qt::Key_Return);
  };
  dialogs_.answerMessage(QMessageBox::No);
  typeWidth2();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  for (const char* s : {"29333 x 154 pixels", "of memory", "of disk space", "to compute", "Use this size anyway?"})
    EXPECT_TRUE(dialogs_.lastMessage().contains(s)) << s << " in " << dialogs_.lastMessage().toStdString();
  EXPECT_EQ(Size(), QSize(194, 154));
  EXPECT_TRUE(child_->CoordinatesError->text().contains("left at 194 x 154"));

  child_->ApplyParameters();
  child_->RoomProbe = [] { return MachineRoom{uint64_t(1) << 40, 1000}; };  // a full temporary directory
  typeWidth2();
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages.back().icon, QMessageBox::Critical);
  EXPECT_TRUE(dialogs_.lastMessage().contains("does not fit into the temporary directory"));
  EXPECT_TRUE(dialogs_.lastMessage().contains("1000 bytes in the temporary directory"));
  EXPECT_EQ(Size(), QSize(194, 154));

  child_->RoomProbe = [] { return MachineRoom{uint64_t(1) << 40, uint64_t(1) << 42}; };
  child_->ApplyParameters();
  dialogs_.answerMessage(QMessageBox::Yes);
  typeWidth2();
  EXPECT_EQ(Size(), QSize(29333, 154));
  child_->CheckBox3->setChecked(false);
  Click(child_->ToolButton7);  // the size agreed to is not asked about again
  EXPECT_EQ(dialogs_.messages.size(), 3u);
  EXPECT_EQ(child_->Picture().size(), QSize(29333, 154));

  // A size from a file is asked about when the picture is initialised.
  TMDIChild* other = Open("y");
  other->Params().PictureWidth = other->Params().PictureHeight = 5000;
  other->ApplyParameters();
  Click(other->ToolButton7);
  ASSERT_EQ(dialogs_.messages.size(), 4u);
  EXPECT_TRUE(dialogs_.lastMessage().contains("5000 x 5000 pixels is larger than four screens"));
  EXPECT_FALSE(other->PictureInitialised());  // "No": nothing replaced
}

// "Y*2" and "X+" would compute a blank picture: initialising and starting refuse them with the
// formula test's message, which names the unknown name.
TEST_F(ProjectInputTest, AFormulaThatCannotBeComputedIsRefusedBeforeThePicture) {
  for (const char* formula : {"Y*2", "X+"}) {
    SCOPED_TRACE(formula);
    dialogs_.messages.clear();
    child_->PageControl1->setCurrentWidget(child_->TabSheet1);
    TypeOver(child_->Memo1, formula);
    Click(child_->ToolButton7);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    const QString said = dialogs_.lastMessage();
    EXPECT_TRUE(said.contains(QStringLiteral("wrong variables: \"%1\"").arg(formula == std::string("X+") ? "X+" : "Y")))
        << said.toStdString();
    EXPECT_NE(child_->Params().FormulaText, formula);  // not taken into the block

    // A block loaded with the formula: "start" refuses it as well.
    TCalcParams block = DefaultCalcParams();
    block.SetFormula(formula);
    block.State = StateInitialised;
    child_->Params() = block;
    child_->ParametersLoaded();
    ASSERT_TRUE(child_->CalculationLoaded());
    Click(child_->ToolButton2);
    EXPECT_TRUE(dialogs_.lastMessage().contains("cannot be computed")) << dialogs_.lastMessage().toStdString();
    EXPECT_FALSE(child_->RunLive());
  }
}

// The counts stay as loaded through a save; typed counts are rounded to whole sequences only
// when they are not whole already, and the page says which counts a run uses.
TEST_F(ProjectInputTest, IterationCountsDoNotCreep) {
  struct Case {
    int32_t iterations, calmDown;
    const char* sequence;
  } cases[] = {{156, 312, "AAAAAABBBBBB"}, {150, 300, "AAAAAABBBBBB"}, {7, 5, "AB"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iterations);
    TCalcParams block = DefaultCalcParams();
    block.SetSequence(ReadSequence(c.sequence));
    block.Iterations = c.iterations, block.CalmDownIterations = c.calmDown;
    SaveParameterFile(File("in.Par"), block);
    TMDIChild* loaded = frame_->LoadParameters(Path("in.Par"));
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->IterationsUsed->isHidden());
    dialogs_.answerFile(Path("out.Par"));
    loaded->SaveParameters();
    EXPECT_EQ(ReadBytes(File("out.Par")), ReadBytes(File("in.Par")));
  }
  // Typed: 144 is twelve sequences of 12 and stays; 150 is used as 156, and the page says so.
  child_->PageControl1->setCurrentWidget(child_->TabSheet1);
  Retype(child_->SpinEdit1, "144");
  EXPECT_TRUE(child_->IterationsUsed->isHidden());
  Retype(child_->SpinEdit1, "150");
  EXPECT_TRUE(child_->IterationsUsed->isVisible());
  EXPECT_TRUE(child_->IterationsUsed->text().startsWith("used: 156 iterations, 300 to calm down"))
      << child_->IterationsUsed->text().toStdString();
  Click(child_->ToolButton7);
  EXPECT_EQ(std::pair(child_->Params().Iterations, child_->Params().CalmDownIterations), std::pair(156, 300));
  ASSERT_TRUE(child_->GatherParameters());  // gathered again: no creep
  EXPECT_EQ(child_->Params().Iterations, 156);
}

// "all parameters" and "use settings" check the new values first and ask only when data would
// be lost; a refusal keeps the data.
TEST_F(ProjectInputTest, ReinitialisingChecksFirstAndAsksOnlyWhenDataWouldBeLost) {
  child_->CheckBox3->setChecked(false);
  Click(child_->ToolButton7);
  ASSERT_TRUE(child_->PictureInitialised());
  auto allParameters = [this] {
    QTimer::singleShot(0, child_->OKBottomDlg1, [d = child_->OKBottomDlg1] {
      d->CheckBox4->setChecked(true);
      d->OKBtn->click();
    });
    Click(child_->ToolButton13);
  };
  auto holdData = [this] {
    const double e = -1;
    child_->DataFile1().WriteAt(0, &e, 1);
    child_->DataFile2().WriteAt(0, &e, 1);
  };
  // No data yet: no question.
  child_->Edit4->setText("1,2");
  allParameters();
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(child_->Params().CenterY, 1.2);

  // Data and a bad value: the error, no question, the data kept.
  holdData();
  child_->Edit2->setText("0.5");
  allParameters();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.lastMessage().contains("start X"));
  EXPECT_EQ(child_->DataFile1().RecordCount(), 1);

  // Data and good values: asked; "Yes" replaces.
  child_->Edit2->setText("0,25");
  dialogs_.answerMessage(QMessageBox::Yes);
  allParameters();
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.lastMessage(), "All calculated data will be lost!\ncontinue anyway?");
  EXPECT_TRUE(child_->DataFile1().RecordCount() == 0 && child_->Params().StartX == 0.25);

  // "use settings": no data, no question; with data, asked.
  child_->SpinEdit3->setValue(100);
  Click(child_->Button11);
  EXPECT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(child_->Picture().size(), QSize(100, 154));
  holdData();
  child_->SpinEdit3->setValue(120);
  dialogs_.answerMessage(QMessageBox::No);
  Click(child_->Button11);
  EXPECT_EQ(dialogs_.messages.size(), 3u);
  EXPECT_TRUE(child_->Picture().size() == QSize(100, 154) && child_->DataFile1().RecordCount() == 1);
}

}  // namespace
}  // namespace vantorel::gui
