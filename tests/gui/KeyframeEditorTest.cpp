// The explorer's keyframe editor: keys from views, frame numbers edited, moved and deleted, the
// animation saved with its base block (both files or neither), and the preview computed in the
// background and stopped.
#include "app/gui/Explorer.h"
#include "app/gui/KeyframeEditor.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class KeyframeEditorTest : public test::FrameTest {
 protected:
  void SetUp() override {
    frame_->resize(1000, 700);
    frame_->show();
    child_ = Open("x");
    child_->Params().W = 0.25;  // the explorer's block is not the default one
    frame_->Explore1->trigger();
    explorer_ = qobject_cast<TExplorer*>(frame_->WorkSpace()->activeSubWindow()->widget());
    ASSERT_NE(explorer_, nullptr);
    explorer_->KeyframesButton->click();
    editor_ = explorer_->Keyframes;
    ASSERT_TRUE(editor_->isVisible());
  }
  // Adds the current view, then one zoomed in about a point off the centre.
  void AddTwoViews() {
    QTest::mouseClick(editor_->AddButton, Qt::LeftButton);
    first_ = explorer_->View().Region();
    explorer_->ZoomAt({30, 20}, 4);
    second_ = explorer_->View().Region();
    QTest::mouseClick(editor_->AddButton, Qt::LeftButton);
  }
  std::vector<int32_t> Frames() const {
    std::vector<int32_t> f;
    for (const Keyframe& k : editor_->Keys().Keys()) f.push_back(k.Frame);
    return f;
  }

  TMDIChild* child_ = nullptr;
  TExplorer* explorer_ = nullptr;
  TKeyframeEditor* editor_ = nullptr;
  RegionFrame first_, second_;
};

TEST_F(KeyframeEditorTest, KeysComeFromViewsAndTheirFrameNumbersAreEditedMovedAndDeleted) {
  AddTwoViews();
  EXPECT_EQ(Frames(), (std::vector<int32_t>{0, 100}));
  EXPECT_EQ(editor_->FramesLabel->text(), QStringLiteral("frames: 101"));
  EXPECT_EQ(editor_->Selected(), 1);

  // The film frames a view's centre with the whole view visible, at the film's ratio.
  const Animation a = editor_->Keys().ToAnimation("default");
  ASSERT_EQ(a.Keys.size(), 2u);
  EXPECT_EQ(a.Keys[1].Set.CenterX, second_.CenterX);
  EXPECT_EQ(a.Keys[1].Set.CenterY, second_.CenterY);
  EXPECT_DOUBLE_EQ(*a.Keys[1].Set.Width / *a.Keys[1].Set.Height, 320.0 / 240.0);
  EXPECT_GE(*a.Keys[1].Set.Width, second_.Width * (1 - 1e-12));
  EXPECT_GE(*a.Keys[1].Set.Height, second_.Height * (1 - 1e-12));
  EXPECT_TRUE(*a.Keys[1].Set.Width == second_.Width || *a.Keys[1].Set.Height == second_.Height);

  // A typed frame number re-sorts; a taken one, or moving the first key, is refused.
  editor_->FrameSpin->setValue(250);
  EXPECT_EQ(Frames(), (std::vector<int32_t>{0, 250}));
  explorer_->ZoomAt({200, 100}, 2);
  QTest::mouseClick(editor_->AddButton, Qt::LeftButton);
  const RegionFrame third = explorer_->View().Region();
  EXPECT_TRUE(editor_->SetSelectedFrame(50));
  EXPECT_EQ(Frames(), (std::vector<int32_t>{0, 50, 250}));
  EXPECT_EQ(editor_->Selected(), 1);
  EXPECT_FALSE(editor_->SetSelectedFrame(250));
  EXPECT_FALSE(editor_->FrameSpin->isEnabled() && editor_->Selected() == 0);
  editor_->Select(0);
  EXPECT_FALSE(editor_->FrameSpin->isEnabled());
  EXPECT_FALSE(editor_->SetSelectedFrame(7));
  EXPECT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(Frames(), (std::vector<int32_t>{0, 50, 250}));

  // Moving exchanges the views; the frame numbers stay.
  editor_->Select(1);
  QTest::mouseClick(editor_->UpButton, Qt::LeftButton);
  EXPECT_EQ(editor_->Selected(), 0);
  EXPECT_EQ(editor_->Keys().Keys()[0].View.CenterX, third.CenterX);
  EXPECT_EQ(editor_->Keys().Keys()[1].View.CenterX, first_.CenterX);
  EXPECT_TRUE(editor_->MoveSelectedDown());
  EXPECT_EQ(editor_->Keys().Keys()[0].View.CenterX, first_.CenterX);

  // Going to a key shows its view; deleting the first gives the next frame 0.
  editor_->Select(2);
  QTest::mouseClick(editor_->GoToButton, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(explorer_->View().Region().CenterX, second_.CenterX);
  EXPECT_DOUBLE_EQ(explorer_->View().Region().Width, second_.Width);
  editor_->Select(0);
  QTest::mouseClick(editor_->DeleteButton, Qt::LeftButton);
  EXPECT_EQ(Frames(), (std::vector<int32_t>{0, 250}));
  EXPECT_EQ(editor_->Keys().Keys()[0].View.CenterX, third.CenterX);
  EXPECT_FALSE(editor_->SetFilmSize(3, 240));
  EXPECT_TRUE(editor_->SetFilmSize(160, 90));
  EXPECT_EQ(editor_->FilmHeightSpin->value(), 90);
}

TEST_F(KeyframeEditorTest, TheAnimationIsSavedWithItsBaseBlockBothOrNeither) {
  AddTwoViews();
  dialogs_.answerFile(Path("zoom.anim"));
  QTest::mouseClick(editor_->SaveButton, Qt::LeftButton);
  ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
  EXPECT_EQ(dialogs_.fileRequests[0].defaultSuffix, QStringLiteral("anim"));
  ASSERT_TRUE(Exists("zoom.anim"));
  const Animation a = LoadAnimationFile(File("zoom.anim"));
  EXPECT_EQ(a.Base, "zoom.base.Par");
  EXPECT_EQ(a.Frames, 101);
  ASSERT_EQ(a.Keys.size(), 2u);
  EXPECT_DOUBLE_EQ(*a.Keys[0].Set.CenterX, first_.CenterX);
  EXPECT_DOUBLE_EQ(*a.Keys[0].Set.CenterY, first_.CenterY);
  EXPECT_DOUBLE_EQ(*a.Keys[1].Set.CenterX, second_.CenterX);
  EXPECT_DOUBLE_EQ(*a.Keys[1].Set.CenterY, second_.CenterY);
  const TCalcParams base = LoadAnimationBase(a, File("zoom.anim"));
  EXPECT_EQ(base.W, 0.25);
  EXPECT_EQ(base.FormulaText, explorer_->Params().FormulaText);
  EXPECT_EQ(base.ColorList, explorer_->Params().ColorList);
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(IsDefaultFilmBase(DefaultCalcParams()));
  EXPECT_FALSE(IsDefaultFilmBase(explorer_->Params()));

  {
    SmallFileLimit limit;  // neither file can be written
    EXPECT_FALSE(editor_->SaveAnimationTo(Path("other.anim")));
  }
  EXPECT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_FALSE(Exists("other.anim"));
  EXPECT_FALSE(Exists("other.base.Par"));
}

TEST_F(KeyframeEditorTest, ThePreviewComputesItsFramesInTheBackgroundAndStops) {
  AddTwoViews();
  int arrived = 0;
  editor_->PreviewFrameArrived = [&](int) { ++arrived; };
  QTest::mouseClick(editor_->PreviewButton, Qt::LeftButton);
  ASSERT_TRUE(editor_->Previewing());
  // 101 frames: every 2nd, and the last.
  const std::vector<int32_t>& numbers = editor_->PreviewFrameNumbers();
  ASSERT_EQ(numbers.size(), 51u);
  EXPECT_EQ(numbers[1], 2);
  EXPECT_EQ(numbers.back(), 100);
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor_->PreviewImages().size() == numbers.size(); }, 120000));
  EXPECT_FALSE(editor_->Computing());
  EXPECT_EQ(editor_->PreviewImages()[0].size(), QSize(80, 60));
  EXPECT_NE(editor_->PreviewImages()[0], editor_->PreviewImages().back());  // zoomed in
  EXPECT_TRUE(QTest::qWaitFor([&] { return !editor_->PreviewLabel->pixmap().isNull(); }, 5000));

  // Stopped in the middle: the computation ends and frames on their way are dropped.
  QTest::mouseClick(editor_->PreviewButton, Qt::LeftButton);
  EXPECT_FALSE(editor_->Previewing());
  arrived = 0;
  ASSERT_TRUE(editor_->StartPreview());
  ASSERT_TRUE(QTest::qWaitFor([&] { return arrived > 0; }, 60000));
  editor_->StopPreview();
  EXPECT_FALSE(editor_->Computing());
  const size_t kept = editor_->PreviewImages().size();
  EXPECT_LT(kept, numbers.size());
  QTest::qWait(200);
  EXPECT_EQ(editor_->PreviewImages().size(), kept);
  EXPECT_EQ(editor_->PreviewButton->text(), QStringLiteral("preview"));
}

}  // namespace
}  // namespace vantorel::gui
