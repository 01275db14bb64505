// Saving the picture of a project window: the popup of "save picture", its three save dialogs,
// the files they write, a PNG reopened as settings through "load parameters", and failures.
#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolButton>
#include <memory>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "app/gui/PictureExport.h"
#include "core/NumberText.h"
#include "gui/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace vantorel::gui {
namespace {

class PictureExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir_.path().string())));
    frame_ = std::make_unique<TMainForm>();
  }
  void TearDown() override {
    for (TMDIChild* child : frame_->ProjectWindows()) child->FormClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frame_.reset();
    QDir::setCurrent(previousDir_);
  }
  QString Path(const char* name) const { return QString::fromStdString(dir_.file(name)); }

  test::TempDir dir_;
  test::ScriptedDialogs dialogs_;
  std::unique_ptr<TMainForm> frame_;
  QString previousDir_;
};

TEST_F(PictureExportTest, SavePicturePopsUpTheThreeTypesAtItsOffset) {
  frame_->move(40, 30);
  TMDIChild* child = frame_->OpenProjectWindow("fern");
  child->parentWidget()->move(25, 15);
  QMenu* shown = nullptr;
  QPoint at;
  child->PictureExport->PopupShower = [&](QMenu& menu, QPoint p) {
    shown = &menu;
    at = p;
  };
  child->ToolButton3Click();
  ASSERT_EQ(shown, child->PictureExport->PopupMenu2);
  EXPECT_EQ(at, frame_->frameGeometry().topLeft() + QPoint(25 + 270, 15 + 150));
  QStringList captions;
  for (QAction* a : shown->actions()) captions << a->text();
  EXPECT_EQ(captions, (QStringList{"Windows-bitmap", "Jpeg-Bitmap", "PNG-Bitmap (with parameters)"}));
  // Without a picture nothing is asked and nothing written.
  child->PictureExport->WindowsBitmap1->trigger();
  EXPECT_TRUE(dialogs_.fileRequests.empty());
  EXPECT_EQ(dialogs_.lastMessage(), "There is no picture to save yet.");
}

// Each item shows its dialog preset to the caption and writes the whole picture as its type;
// cancelling writes nothing; a PNG reopens as the project's settings.
TEST_F(PictureExportTest, EachTypeIsSavedThroughItsDialogAndAPngReopensAsSettings) {
  QWidget window;
  window.setWindowTitle("fern");
  QImage image(30, 20, QImage::Format_RGB888);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) image.setPixelColor(x, y, QColor(x * 8, y * 12, 200));
  TCalcParams params = DefaultCalcParams();
  params.CenterX = 3.5;
  params.PictureWidth = 30;
  params.PictureHeight = 20;
  TPictureExport exporter(&window, [&]() -> const QImage& { return image; },
                          [&]() -> const TCalcParams& { return params; });
  struct Case {
    QAction* item;
    const char* title;
    const char* filter;
    const char* preset;
    const char* file;
  } cases[] = {
      {exporter.WindowsBitmap1, "save as BMP", "Windows - bitmap (*.bmp);;all files (*)", "fern.Bmp", "a.bmp"},
      {exporter.JpegBitmap1, "save as JPG", "JPEG bitmap (*.jpg *.jpeg);;all files (*)", "fern.Jpg", "a.jpg"},
      {exporter.PngBitmap1, "save as PNG", "PNG picture with parameters (*.png);;all files (*)", "fern.Png", "a.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    dialogs_.answerFile(std::nullopt);
    c.item->trigger();
    dialogs_.answerFile(Path(c.file));
    c.item->trigger();
    ASSERT_EQ(dialogs_.fileRequests.size(), 2u);
    const FileDialogRequest& r = dialogs_.fileRequests[1];
    EXPECT_EQ(r.kind, FileDialogRequest::Save);
    EXPECT_EQ(r.title, c.title);
    EXPECT_EQ(r.filter, c.filter);
    EXPECT_EQ(r.presetFileName, c.preset);
    EXPECT_TRUE(r.confirmOverwrite);
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

  dialogs_.answerFile(Path("a.png"));
  frame_->Parameter1Click();
  TMDIChild* reopened = frame_->ProjectWindows().last();
  EXPECT_EQ(reopened->Caption(), "a");
  EXPECT_EQ(reopened->Params(), params);
  EXPECT_EQ(reopened->Edit3->text(), QString::fromStdString(FloatToText(3.5)));

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
