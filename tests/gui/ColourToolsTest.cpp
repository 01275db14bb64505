// Colour tools: editing the list on the "colors" page through its dialogs, colour files, and the
// histogram window. With VANTOREL_GRAB_DIR set, the page and the window are saved there to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "app/gui/Childwin.h"
#include "app/gui/Main.h"
#include "colour/gui/ColorDialogs.h"
#include "colour/gui/ColorListDisplay.h"
#include "colour/gui/Histogram.h"
#include "gui/ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace vantorel::gui {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kYellow = 0x00FFFF, kOrange = 0x0080FF, kRed = 0x0000FF, kBlack = 0;

void Grab(QWidget& w, const QString& name) {
  const QString dir = qEnvironmentVariable("VANTOREL_GRAB_DIR");
  if (!dir.isEmpty()) w.grab().save(QDir(dir).filePath(name + ".png"));
}

// Answers for TOKBottomDlg: type a value (and check what was proposed), then press a button.
std::function<void(QDialog*)> Choose(const QString& value, bool ok = true, QString* proposed = nullptr,
                                     uint32_t* proposedColour = nullptr) {
  return [=](QDialog* d) {
    auto* dlg = dynamic_cast<TOKBottomDlg*>(d);
    ASSERT_NE(dlg, nullptr);
    if (proposed) *proposed = dlg->Edit1->text();
    if (proposedColour) *proposedColour = dlg->Shape1->BrushColor();
    dlg->Edit1->setText(value);
    QTest::mouseClick(dlg->Shape1, Qt::LeftButton);  // the colour dialog, answered by the test
    (ok ? dlg->OKBtn : dlg->CancelBtn)->click();
  };
}

std::function<void(QDialog*)> Change(int radio, const QString& number) {
  return [=](QDialog* d) {
    auto* dlg = dynamic_cast<TOKBottomDlg2*>(d);
    ASSERT_NE(dlg, nullptr);
    QRadioButton* radios[] = {dlg->RadioButton1, dlg->RadioButton2, dlg->RadioButton3};
    QLineEdit* edits[] = {dlg->Edit1, dlg->Edit2, dlg->Edit3};
    radios[radio]->setChecked(true);
    edits[radio]->setText(number);
    dlg->OKBtn->click();
  };
}

class ColourToolsTest : public ::testing::Test {
 protected:
  void SetUp() override { page.SetColors(DefaultColorList(), kWhite, kBlack); }
  void Select(std::initializer_list<int> rows) {
    page.ListView1->clearSelection();
    for (int r : rows) page.ListView1->item(r)->setSelected(true);
  }
  std::vector<double> Values() const {
    std::vector<double> v;
    for (const TColorEntry& e : page.Colors()) v.push_back(e.Value);
    return v;
  }
  std::vector<uint32_t> Colours() const {
    std::vector<uint32_t> v;
    for (const TColorEntry& e : page.Colors()) v.push_back(e.Color);
    return v;
  }

  test::ScriptedDialogs dialogs;
  TColorListDisplay page;
  QSignalSpy edited{&page, &TColorListDisplay::colorsEdited};
};

TEST_F(ColourToolsTest, EditsThroughTheDialogsKeepTheListSortedAndRefuseBadNumbers) {
  // New: green at 0,05 finds its place between red and black.
  dialogs.answerColor(QColor(0, 255, 0));
  dialogs.answerDialog(Choose("0,05"));
  page.Button3Click();
  EXPECT_EQ(Values(), (std::vector<double>{-1, -0.1, 0, 0.01, 0.05, 0.1}));
  EXPECT_EQ(Colours()[4], 0x00FF00u);
  EXPECT_EQ(page.SelectedRows(), std::vector<size_t>{4});
  EXPECT_EQ(dialogs.dialogRequests.back(), "choose color and value");

  // Numbers that are no finite values are refused with a message; the dialog stays open, and
  // "cancel" then leaves the list alone.
  for (const char* bad : {"nan", "inf", "1e999", "0.5", ""}) {
    dialogs.answerColor(std::nullopt);
    dialogs.answerDialog([&](QDialog* d) {
      Choose(bad)(d);
      EXPECT_TRUE(dialogs.lastMessage().contains("not a valid value")) << bad;
      EXPECT_EQ(d->result(), QDialog::Rejected) << bad;
      static_cast<TOKBottomDlg*>(d)->CancelBtn->click();
    });
    page.Button5Click();  // row 4 is still selected
  }
  EXPECT_EQ(Values().size(), 6u);
  EXPECT_EQ(edited.count(), 1);

  // Edit: the selected entry takes a new value and moves to its place.
  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("-2"));
  page.Button5Click();
  EXPECT_EQ(Values().front(), -2);
  EXPECT_EQ(Colours().front(), 0x00FF00u);
  EXPECT_EQ(page.Label17->text(), "-2");

  // Change values: factor -1 on all entries mirrors the list and the outer colours.
  Select({0, 1, 2, 3, 4, 5});
  dialogs.answerDialog(Change(0, "-1"));
  page.Farbwertenegativ1Click();
  EXPECT_EQ(Values(), (std::vector<double>{-0.1, -0.01, 0, 0.1, 1, 2}));
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{kBlack, kRed, kOrange, kYellow, kWhite, 0x00FF00}));
  EXPECT_EQ(page.BelowColor(), kBlack);
  EXPECT_EQ(page.AboveColor(), kWhite);
  EXPECT_EQ(FromQColor(page.ColorBar().pixelColor(5, 11)), kBlack);

  // A power that overflows changes nothing at all.
  dialogs.answerDialog(Change(2, "2000"));
  Select({4, 5});
  page.Farbwertenegativ1Click();
  EXPECT_TRUE(dialogs.lastMessage().contains("No value was changed"));
  EXPECT_EQ(Values().back(), 2);
  EXPECT_EQ(page.BelowColor(), kBlack);
  EXPECT_EQ(edited.count(), 3);
  Grab(page, "colours-after-edits");
}

TEST_F(ColourToolsTest, DeleteSwapInvertAndTheContextMenu) {
  // Delete asks first; the Delete key does the same, and with nothing selected asks nothing.
  Select({1, 3});
  dialogs.answerMessage(QMessageBox::No);
  QTest::keyClick(page.ListView1, Qt::Key_Delete);
  EXPECT_EQ(Values().size(), 5u);
  dialogs.answerMessage(QMessageBox::Yes);
  page.Button4Click();
  EXPECT_EQ(Values(), (std::vector<double>{-1, 0, 0.1}));
  EXPECT_EQ(dialogs.messages.back().text, "really delete selected color(s)");
  page.ListView1->clearSelection();
  QTest::keyClick(page.ListView1, Qt::Key_Delete);
  Select({0, 1, 2});
  page.Button4Click();  // all selected: nothing to ask, nothing deleted
  EXPECT_EQ(dialogs.messages.size(), 2u);

  // A double click beside the items asks for a new entry (cancelled here).
  page.ListView1->clearSelection();
  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("0", false));
  QTest::mouseDClick(page.ListView1->viewport(), Qt::LeftButton, {}, QPoint(5, 100));
  EXPECT_EQ(dialogs.dialogRequests.size(), 1u);

  Select({0, 2});
  page.PopupMenu1Popup();
  EXPECT_TRUE(page.swapcolors1->isEnabled());
  EXPECT_FALSE(page.Farbreihenfolgeumkehren1->isEnabled());
  EXPECT_TRUE(page.DeleteSelected1->isEnabled());
  page.swapcolors1->trigger();
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{kBlack, kOrange, kWhite}));

  page.ListView1->clearSelection();
  page.PopupMenu1Popup();
  EXPECT_TRUE(page.Farbreihenfolgeumkehren1->isEnabled());
  page.Farbreihenfolgeumkehren1->trigger();
  EXPECT_EQ(Colours(), (std::vector<uint32_t>{kWhite, kOrange, kBlack}));
  EXPECT_EQ(Values(), (std::vector<double>{-1, 0, 0.1}));
  EXPECT_EQ(page.BelowColor(), kBlack);
  EXPECT_EQ(edited.count(), 3);
  EXPECT_EQ(dialogs.unexpected, 0);
}

TEST_F(ColourToolsTest, ClickOnTheColourBarProposesItsColourAndValue) {
  QString proposed;
  uint32_t proposedColour = 1;
  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("-1,5", true, &proposed, &proposedColour));
  QTest::mouseClick(page.Image3, Qt::LeftButton, {}, QPoint(2, 10));  // the below colour's area
  EXPECT_EQ(proposed, "-1,011");
  EXPECT_EQ(proposedColour, kWhite);
  EXPECT_EQ(Values().front(), -1.5);

  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("0", false, &proposed, &proposedColour));
  QTest::mouseClick(page.Image3, Qt::LeftButton, {}, QPoint(305, 10));
  EXPECT_EQ(proposed, "0,1");
  EXPECT_EQ(proposedColour, kBlack);
  EXPECT_EQ(Values().size(), 6u);  // cancelled
}

TEST_F(ColourToolsTest, ColourFilesSavedAndLoadedOrRefused) {
  test::TempDir dir;
  const QString path = QString::fromStdString(dir.file("c.Pal"));
  dialogs.answerFile(path);
  page.Button9Click();
  ASSERT_EQ(dialogs.fileRequests.size(), 1u);
  EXPECT_EQ(dialogs.fileRequests[0].title, "save colorfile");
  EXPECT_EQ(dialogs.fileRequests[0].defaultSuffix, "Pal");
  EXPECT_EQ(test::ReadBytes(dir.file("c.Pal")).size(), 84u);

  // A file of two records holds no entry: refused, the list stays.
  test::WriteBytes(dir.file("short.Pal"), std::vector<unsigned char>(24, 0));
  page.SetColors({{kRed, 3}}, kYellow, kOrange);
  dialogs.answerFile(QString::fromStdString(dir.file("short.Pal")));
  page.Button10Click();
  EXPECT_TRUE(dialogs.lastMessage().contains("at least one entry"));
  EXPECT_EQ(page.Colors(), (std::vector<TColorEntry>{{kRed, 3}}));
  EXPECT_EQ(page.BelowColor(), kYellow);
  EXPECT_EQ(edited.count(), 0);

  dialogs.answerFile(path);
  page.Button10Click();
  EXPECT_EQ(page.Colors(), DefaultColorList());
  EXPECT_EQ(page.BelowColor(), kWhite);
  EXPECT_EQ(page.AboveColor(), kBlack);
  EXPECT_EQ(edited.count(), 1);
  EXPECT_EQ(dialogs.fileRequests.back().title, "load colorfile");
}

// ---------------------------------------------------------------------------------------------
// The histogram window

class HistogramWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file.Create(dir.file("h.TMP1"));
    params = DefaultCalcParams();
  }
  void Write(const std::vector<double>& v) {
    file.Clear();
    file.Write(v.data(), v.size());
  }
  test::TempDir dir;
  test::ScriptedDialogs dialogs;
  PixelDataFile file;
  TCalcParams params;
};

TEST_F(HistogramWindowTest, BarsInTheListsColoursWithReadoutAndCuts) {
  // -1 ... 0,1 in 1100 steps, one value each, plus a thin tail far out.
  std::vector<double> v;
  for (int i = 0; i <= 1100; ++i) v.push_back(-1 + i / 1000.0);
  v.push_back(3.0);
  Write(v);
  params.SetColors({{kRed, -1}, {kYellow, 0.1}});  // stored list: red to yellow
  TForm4 form(file, params);
  form.SpinEdit1->setValue(100);
  form.Button1Click();
  const QImage& picture = form.Picture();
  ASSERT_EQ(picture.size(), QSize(100, 400));
  EXPECT_EQ(form.Label2->text(), "-1");
  EXPECT_EQ(form.Label3->text(), "3");  // fewer than 500 bins: xmax
  // Bins of 0,04 hold 40 or 41 values (rounding decides at the edges). Bin 0 (from -1) is red,
  // 40/41 of the height (top at row 10) with a black top; bin 50 (from 1) is empty.
  EXPECT_EQ(form.Counts().MaxCount(), 41u);
  EXPECT_EQ(form.Counts().Count(0), 40u);
  EXPECT_EQ(FromQColor(picture.pixelColor(0, 399)), kRed);
  EXPECT_EQ(picture.pixelColor(0, 10), QColor(Qt::black));
  EXPECT_EQ(picture.pixelColor(0, 9), QColor(Qt::white));
  EXPECT_EQ(picture.pixelColor(50, 399), QColor(Qt::white));

  // The mouse dragged out of the picture reads the nearest bin.
  form.Image1MouseMove(-40);
  EXPECT_EQ(form.Label4->text(), "-1");
  form.Image1MouseMove(4000);
  EXPECT_EQ(form.Label4->text(), "2,96");
  EXPECT_EQ(form.Label5->text(), "count: 0");
  EXPECT_EQ(form.Image1->CursorColumn(), 99);

  // Clear right at 2,96 leaves [-1, 2,96]; optimize then drops the empty stretch beyond 0,1.
  form.rechtsloeschenClick();
  EXPECT_EQ(form.Counts().Xmax(), 2.96);
  form.SpinEdit1->setValue(500);
  form.Button3Click();
  EXPECT_EQ(form.Counts().Bins(), 500);
  EXPECT_EQ(form.Counts().Xmin(), -1);
  EXPECT_NEAR(form.Counts().Xmax(), 0.1, 0.04);
  EXPECT_EQ(form.Picture().width(), 500);
  Grab(form, "histogram");

  // Clear left at the last column leaves a range without values: an empty picture.
  form.Image1MouseMove(499);
  form.linksloeschenClick();
  EXPECT_EQ(form.Counts().MaxCount(), 0u);
  EXPECT_EQ(form.Picture().pixelColor(0, 399), QColor(Qt::white));
  const double xmax = form.Counts().Xmax();
  // Clear left beyond the right end: refused with a message, nothing changes.
  form.Label4->setText("5");
  form.linksloeschenClick();
  EXPECT_TRUE(dialogs.lastMessage().contains("Nothing would be left"));
  EXPECT_EQ(form.Counts().Xmax(), xmax);
}

TEST_F(HistogramWindowTest, NothingToShowIsSaidNotDrawn) {
  TForm4 form(file, params);
  form.linksloeschenClick();  // before any count
  EXPECT_TRUE(dialogs.lastMessage().contains("Move the mouse"));
  form.Button1Click();  // empty exponent file
  EXPECT_TRUE(dialogs.lastMessage().contains("no point"));
  form.Image1MouseMove(30);
  EXPECT_EQ(form.Label4->text(), "");

  Write({0.5, std::nan(""), 0.5});
  form.Button1Click();
  EXPECT_EQ(form.Counts().Count(form.Counts().Bins() / 2), 2u);
  EXPECT_EQ(form.Label6->text(), "not finite: 1");
}

TEST(HistogramOfAProject, ShowHistogramOpensTheWindowAndPutsTheFilePositionBack) {
  test::TempDir dir;
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path().string())));
  test::ScriptedDialogs dialogs;
  {
    TMainForm frame;
    TMDIChild* child = frame.OpenProjectWindow("h");
    const std::vector<double> v{-0.5, -0.25, 0.0, 0.05};
    child->DataFile1().Write(v.data(), v.size());
    child->DataFile1().Seek(2);
    child->ToolButton12->setEnabled(true);  // as a paused or finished calculation leaves it

    int bins = 0;
    dialogs.answerDialog([&](QDialog* d) {
      auto* form = dynamic_cast<TForm4*>(d);
      ASSERT_NE(form, nullptr);
      form->Button1Click();
      bins = form->Counts().Bins();
    });
    child->ToolButton12->click();
    ASSERT_EQ(dialogs.dialogRequests.size(), 1u);
    EXPECT_EQ(dialogs.dialogRequests[0], "histogram");
    EXPECT_EQ(bins, 500);
    EXPECT_EQ(child->DataFile1().Position(), 2);

    // Edits of the colour list mark the project changed and show in the preview at once.
    EXPECT_FALSE(child->Changed());
    const QImage before = child->ColorPage->PreviewImage().copy();
    dialogs.answerColor(QColor(0, 255, 0));
    dialogs.answerDialog(Choose("0,5"));
    child->Button3->click();
    EXPECT_TRUE(child->Changed());
    EXPECT_NE(child->ColorPage->PreviewImage(), before);
    child->FormClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QDir::setCurrent(previous);
}

}  // namespace
}  // namespace vantorel::gui
