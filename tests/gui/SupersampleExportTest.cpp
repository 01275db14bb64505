// "save supersampled picture…" of a project window: the choice, the background run, its file,
// and a cancelled run that writes nothing and leaves the project as it was.
#include <QComboBox>
#include <QElapsedTimer>
#include <QThread>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <map>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/gui/PictureExport.h"
#include "app/gui/SupersampleExport.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

class SupersampleExportTest : public FrameTest {
 protected:
  // A project window of a small picture of fixed formula 2.
  TMDIChild* Project(int32_t width, int32_t height, int32_t iterations) {
    TMDIChild* child = Open("fern");
    TCalcParams p = child->Params();
    p.FixedFormula = 1;
    p.PictureWidth = width;
    p.PictureHeight = height;
    p.Iterations = iterations;
    child->Params() = p;
    return child;
  }
  // The bytes of every file in the directory.
  std::map<std::string, Bytes> Files() const {
    std::map<std::string, Bytes> files;
    for (const std::string& name : FileNames(dir_)) files[name] = ReadBytes(File(name));
    return files;
  }
  // Waits until the run has ended.
  static bool WaitForEnd(TPictureExport& exporter) {
    QElapsedTimer timer;
    timer.start();
    while (exporter.SupersampleRun() && timer.elapsed() < 120000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QThread::msleep(2);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return exporter.SupersampleRun() == nullptr;
  }
};

TEST_F(SupersampleExportTest, ShowsTheChoiceComputesInTheBackgroundAndWritesThePicture) {
  TMDIChild* child = Project(30, 20, 24);
  const TCalcParams before = child->Params();
  const auto files = Files();
  TPictureExport& exporter = *child->PictureExport;
  ASSERT_TRUE(exporter.Supersampled1);
  QStringList factors;
  QString size;
  dialogs_.answerDialog([&](QDialog* d) {
    auto* choice = qobject_cast<TSupersampleDialog*>(d);
    ASSERT_TRUE(choice);
    for (int k = 0; k < choice->ComboBoxFactor->count(); ++k) factors << choice->ComboBoxFactor->itemText(k);
    choice->ComboBoxFactor->setCurrentIndex(0);
    choice->ComboBoxFormat->setCurrentIndex(2);
    size = choice->LabelSize->text();
    EXPECT_FALSE(choice->LabelTime->text().isEmpty());
    choice->ButtonStart->click();
  });
  dialogs_.answerFile(Path("ss.png"));
  exporter.Supersampled1->trigger();
  EXPECT_EQ(factors, QStringList({"2 x 2", "3 x 3", "4 x 4", "6 x 6", "8 x 8"}));
  EXPECT_EQ(size, "30 x 20 pixels (60 x 40 sub-pixels), PNG-Bitmap (with parameters)");
  ASSERT_EQ(dialogs_.fileRequests.size(), 1u);
  EXPECT_EQ(dialogs_.fileRequests[0].presetFileName, "fern.Png");
  TSupersampleRun* run = exporter.SupersampleRun();
  ASSERT_TRUE(run);  // the window goes on while it computes
  EXPECT_TRUE(run->isVisible());
  ASSERT_TRUE(WaitForEnd(exporter));
  EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.lastMessage().toStdString();
  const TPicture picture = LoadPng(File("ss.png"));
  EXPECT_TRUE(picture.Width == 30 && picture.Height == 20);
  EXPECT_EQ(ReadPngParameterBlock(File("ss.png")), EncodeParameterBlock(before, BlockForm::Parameters));
  EXPECT_EQ(child->Params(), before);
  auto after = Files();
  after.erase("ss.png");
  EXPECT_EQ(after, files);
}

TEST_F(SupersampleExportTest, ACancelledRunWritesNothingAndLeavesTheProjectAsItWas) {
  TMDIChild* child = Project(400, 300, 100000);
  const TCalcParams before = child->Params();
  const auto files = Files();
  TPictureExport& exporter = *child->PictureExport;
  dialogs_.answerDialog([](QDialog* d) {
    qobject_cast<TSupersampleDialog*>(d)->ComboBoxFactor->setCurrentIndex(4);  // 8 x 8
    d->accept();
  });
  dialogs_.answerFile(Path("big.bmp"));
  exporter.Supersampled1->trigger();
  TSupersampleRun* run = exporter.SupersampleRun();
  ASSERT_TRUE(run);
  QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  // A second one waits for the first.
  exporter.Supersampled1->trigger();
  EXPECT_EQ(dialogs_.lastMessage(), "A supersampled picture is being computed already.");
  run->ButtonCancel->click();
  ASSERT_TRUE(WaitForEnd(exporter));
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_FALSE(Exists("big.bmp"));
  EXPECT_EQ(Files(), files);
  EXPECT_EQ(child->Params(), before);
  // Cancelled in the choice or the save dialog: nothing starts.
  dialogs_.answerDialog([](QDialog*) {});
  exporter.Supersampled1->trigger();
  dialogs_.answerDialog([](QDialog* d) { d->accept(); });
  dialogs_.answerFile(std::nullopt);
  exporter.Supersampled1->trigger();
  EXPECT_EQ(exporter.SupersampleRun(), nullptr);
  EXPECT_EQ(Files(), files);
}

}  // namespace
}  // namespace vantorel::gui
