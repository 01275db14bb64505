// Saving the picture of a project window: the popup of "save picture", its three save dialogs,
// the files they write, a PNG reopened as settings through "load parameters", and failures.
#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/gui/PictureExport.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

using PictureExportTest = test::FrameTest;

TEST_F(PictureExportTest, SavePicturePopsUpTheThreeTypesAtItsButtonAlsoWhenMaximised) {
  frame_->move(40, 30);
  TMDIChild* child = frame_->OpenProjectWindow("fern");
  child->parentWidget()->move(25, 15);
  QMenu* shown = nullptr;
  QPoint at;
  child->PictureExport->PopupShower = [&](QMenu& menu, QPoint p) {
    shown = &menu;
    at = p;
  };
  frame_->show();
  child->PageControl1->setCurrentWidget(child->TabSheet4);
  QToolButton* button = child->ToolButton3;
  for (const bool maximised : {false, true}) {
    SCOPED_TRACE(maximised);
    if (maximised) child->parentWidget()->showMaximized();
    QCoreApplication::processEvents();
    shown = nullptr;
    child->ToolButton3Click();
    ASSERT_EQ(shown, child->PictureExport->PopupMenu2);
    EXPECT_EQ(at, button->mapToGlobal(QPoint(0, button->height())));
  }
  // Without a picture nothing is asked and nothing written.
  child->PictureExport->WindowsBitmap1->trigger();
  EXPECT_TRUE(dialogs_.fileRequests.empty());
  EXPECT_EQ(dialogs_.lastMessage(), "There is no picture to save yet.");
}

// Each item shows its dialog preset to the caption and writes the whole picture as its type;
// cancelling writes nothing; a PNG reopens as its picture, computed from its settings.
TEST_F(PictureExportTest, EachTypeIsSavedThroughItsDialogAndAPngReopensAsItsPicture) {
  QWidget window;
  window.setWindowTitle("fern");
  QImage image(30, 20, QImage::Format_RGB888);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) image.setPixelColor(x, y, QColor(x * 8, y * 12, 200));
  TCalcParams params = DefaultCalcParams();
  params.CenterX = 3.5;
  params.PictureWidth = 30;
  params.PictureHeight = 20;
  params.AdjustRatio = false;
  TPictureExport exporter(
      &window, [&]() -> const QImage& { return image; }, [&]() -> const TCalcParams& { return params; });
  const std::tuple<QAction*, const char*, const char*> cases[] = {{exporter.WindowsBitmap1, "fern.Bmp", "a.bmp"},
                                                                  {exporter.JpegBitmap1, "fern.Jpg", "a.jpg"},
                                                                  {exporter.PngBitmap1, "fern.Png", "a.png"}};
  for (const auto& [item, preset, file] : cases) {
    SCOPED_TRACE(file);
    dialogs_.answerFile(std::nullopt);  // cancelled: nothing written
    item->trigger();
    dialogs_.answerFile(Path(file));
    item->trigger();
    ASSERT_EQ(dialogs_.fileRequests.size(), 2u);
    EXPECT_EQ(dialogs_.fileRequests[1].presetFileName, preset);
    EXPECT_TRUE(dialogs_.fileRequests[1].confirmOverwrite);
    dialogs_.fileRequests.clear();
  }
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.lastMessage().toStdString();
  TPicture expected;
  expected.Resize(30, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) expected.SetPixel(x, y, uint32_t(x * 8) | uint32_t(y * 12) << 8 | 200u << 16);
  EXPECT_EQ(LoadBitmap(dir_.file("a.bmp")).Bits, expected.Bits);
  EXPECT_EQ(LoadPng(dir_.file("a.png")).Bits, expected.Bits);
  EXPECT_EQ(test::ReadBytes(dir_.file("a.jpg")).at(1), 0xD8);

  dialogs_.answerFile(Path("a.png"));  // its settings, and its picture computed again from them
  frame_->Parameter1Click();
  TMDIChild* reopened = frame_->ProjectWindows().last();
  EXPECT_TRUE(reopened->Caption() == "a" && reopened->PictureInitialised() && reopened->Params().CenterX == 3.5);
  EXPECT_EQ(reopened->Picture().size(), QSize(30, 20));

  // A write that fails is reported with the system's reason; the old file stays.
  EXPECT_FALSE(exporter.SavePictureAs(Path("no/such/dir/a.bmp"), PictureType::Bitmap));
  EXPECT_TRUE(dialogs_.lastMessage().contains("No such file")) << dialogs_.lastMessage().toStdString();
  test::WriteBytes(dir_.file("old.jpg"), {'o', 'l', 'd'});
  image = QImage(65501, 1, QImage::Format_RGB888);
  EXPECT_FALSE(exporter.SavePictureAs(Path("old.jpg"), PictureType::Jpeg));
  EXPECT_TRUE(dialogs_.lastMessage().contains("65500 pixels"));
  EXPECT_EQ(test::ReadBytes(dir_.file("old.jpg")), (std::vector<unsigned char>{'o', 'l', 'd'}));
}

}  // namespace
}  // namespace vantorel::gui
