// Colour tools: the list display on the "colors" page, editing the list through its dialogs,
// colour files, and the histogram window. With VANTOREL_GRAB_DIR set, the page and the window
// are saved there to look at.
#include <QUndoStack>

#include "colour/gui/ColorDialogs.h"
#include "core/ColorMapping.h"
#include "colour/gui/ColorListDisplay.h"
#include "colour/gui/Histogram.h"
#include "core/CalcParams.h"
#include "core/PixelDataFile.h"
#include "core/NumberText.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

constexpr uint32_t kWhite = 0xFFFFFF, kYellow = 0x00FFFF, kOrange = 0x0080FF, kRed = 0x0000FF, kBlack = 0,
                   kGreen = 0x00FF00;
using List = std::vector<TColorEntry>;

// An answer for TOKBottomDlg: note what it proposes, click the colour (the colour dialog is
// answered by the test), type a value and press OK or cancel.
std::function<void(QDialog*)> Choose(const QString& value, bool ok = true, TColorEntry* proposed = nullptr) {
  return [=](QDialog* d) {
    auto* dlg = dynamic_cast<TOKBottomDlg*>(d);
    ASSERT_NE(dlg, nullptr);
    if (proposed) *proposed = {dlg->Shape1->BrushColor(), TextToFloat(dlg->Edit1->text().toStdString()).value()};
    QTest::mouseClick(dlg->Shape1, Qt::LeftButton);
    dlg->Edit1->setText(value);
    (ok ? dlg->OKBtn : dlg->CancelBtn)->click();
  };
}

// An answer for TOKBottomDlg2: choose operation 0, 1 or 2, type its number, press OK.
std::function<void(QDialog*)> Change(int operation, const QString& number) {
  return [=](QDialog* d) {
    auto* dlg = dynamic_cast<TOKBottomDlg2*>(d);
    ASSERT_NE(dlg, nullptr);
    QRadioButton* radios[] = {dlg->RadioButton1, dlg->RadioButton2, dlg->RadioButton3};
    QLineEdit* edits[] = {dlg->Edit1, dlg->Edit2, dlg->Edit3};
    radios[operation]->setChecked(true);
    edits[operation]->setText(number);
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

  // "new colour": the value typed and OK pressed, the colour proposed kept.
  void New(const QString& value) {
    dialogs.answerColor(std::nullopt);
    dialogs.answerDialog(Choose(value));
    QTest::mouseClick(page.Button3, Qt::LeftButton);
  }

  test::ScriptedDialogs dialogs;
  TColorListDisplay page;
  QSignalSpy edited{&page, &TColorListDisplay::colorsEdited};
};

// ---------------------------------------------------------------------------------------------
// The list display itself: items in value order with their squares, the colour bar and its
// readout.

using ColorListDisplayTest = ColourToolsTest;
uint32_t BarColumn(const TColorListDisplay& d, int x) { return FromQColor(d.ColorBar().pixelColor(x, 11)); }

TEST_F(ColorListDisplayTest, ListInValueOrderWithItsSquaresTheColourBarAndItsReadout) {
  EXPECT_EQ(QStringList({page.ReadoutText(5), page.ReadoutText(155), page.ReadoutText(305)}),
            QStringList({"-1", "-0,45", "0,1"}));
  EXPECT_TRUE(page.Label19->isHidden());
  QMouseEvent over(QEvent::MouseMove, QPointF(5, 10), QPointF(5, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(page.Image3, &over);
  EXPECT_TRUE(!page.Label19->isHidden() && page.Label19->text() == "-1");
  QMouseEvent away(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(page.ScrollBox4, &away);
  EXPECT_TRUE(page.Label19->isHidden());

  const uint32_t colours[5] = {kWhite, kYellow, kOrange, kRed, kBlack};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(page.ItemColor(page.ListView1->item(i)), colours[i]);
    EXPECT_EQ(TColorListDisplay::ItemImage(page.ListView1->item(i)), i);
    EXPECT_FALSE(page.ListView1->item(i)->icon().isNull());
  }
  EXPECT_FALSE(page.Button4->isEnabled() || page.Button5->isEnabled());  // nothing is selected

  page.SetColors({{kRed, 0.5}, {kYellow, -3}, {kBlack, 0.01}, {kWhite, -3}}, kWhite, kBlack);
  QStringList texts;
  for (int i = 0; i < page.ListView1->count(); ++i) texts << page.ListView1->item(i)->text();
  EXPECT_EQ(texts, (QStringList{"-3", "-3", "0,01", "0,5"}));
  EXPECT_EQ(page.ItemColor(page.ListView1->item(0)), kYellow);  // equal values keep their order
  // An item added later finds its place when the list is sorted again.
  page.AddItem(page.AddImage(kOrange), 0.1);
  page.DrawColorPad();
  EXPECT_EQ(page.ListView1->item(3)->text(), "0,1");

  // The colour bar with its end labels and the outer colours.
  struct Case {
    std::vector<TColorEntry> list;
    uint32_t below, above;
    QString first, last;                            // the end labels
    std::vector<std::pair<int, uint32_t>> columns;  // x -> colour
  };
  const Case cases[] = {
      // Column 277 shows v = -1 + 1,1 * 272 / 300 = -0,00267, just short of orange (0) coming
      // from yellow (-0,1): green 255 + (128 - 255) * 0,9733 = 131,4, truncated.
      {DefaultColorList(),
       0x112233,
       0x445566,
       "-1",
       "0,1",
       {{0, 0x112233}, {4, 0x112233}, {5, kWhite}, {277, 0x0083FF}, {305, kBlack}, {306, 0x445566}, {310, 0x445566}}},
      {{{kOrange, 0.25}},
       kWhite,
       kBlack,
       "0,25",
       "0,25",
       {{2, kWhite}, {5, kOrange}, {100, kOrange}, {305, kOrange}, {308, kBlack}}},
      {{}, kRed, kYellow, "", "", {{0, kRed}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first.toStdString());
    page.SetColors(c.list, c.below, c.above);
    EXPECT_EQ(page.ListView1->count(), int(c.list.size()));
    EXPECT_TRUE(page.Label17->text() == c.first && page.Label18->text() == c.last);
    for (const auto& [x, colour] : c.columns) EXPECT_EQ(BarColumn(page, x), colour) << x;
  }
  EXPECT_EQ(page.ReadoutText(100), QString());  // nothing to read on an empty list
}

// ---------------------------------------------------------------------------------------------
// Editing through the dialogs

TEST_F(ColourToolsTest, EditsThroughTheDialogsKeepTheListSortedAndRefuseBadNumbers) {
  dialogs.answerColor(QColor(0, 255, 0));
  dialogs.answerDialog(Choose("0,05"));
  page.Button3Click();  // "new": green at 0,05 goes between red and black
  EXPECT_EQ(page.Colors(),
            (List{{kWhite, -1}, {kYellow, -0.1}, {kOrange, 0}, {kRed, 0.01}, {kGreen, 0.05}, {kBlack, 0.1}}));
  EXPECT_EQ(page.SelectedRows(), std::vector<size_t>{4});

  // A number that is no finite value is refused with a message and the dialog stays open;
  // "cancel" then leaves the list alone.
  for (const char* bad : {"nan", "inf", "1e999", "0.5"}) {
    dialogs.answerColor(std::nullopt);
    dialogs.answerDialog([&](QDialog* d) {
      Choose(bad)(d);
      EXPECT_TRUE(dialogs.lastMessage().contains("not a valid value")) << bad;
      EXPECT_EQ(d->result(), QDialog::Rejected) << bad;
      static_cast<TOKBottomDlg*>(d)->CancelBtn->click();
    });
    page.Button5Click();
  }
  EXPECT_EQ(edited.count(), 1);

  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("-2"));
  page.Button5Click();  // "edit": green moves to the front
  EXPECT_EQ(page.Colors().front(), (TColorEntry{kGreen, -2}));

  // Factor -1 on all entries mirrors the list and the outer colours.
  Select({0, 1, 2, 3, 4, 5});
  dialogs.answerDialog(Change(0, "-1"));
  page.Farbwertenegativ1Click();
  EXPECT_EQ(page.Colors(),
            (List{{kBlack, -0.1}, {kRed, -0.01}, {kOrange, 0}, {kYellow, 0.1}, {kWhite, 1}, {kGreen, 2}}));
  EXPECT_EQ(BarColumn(page, 5), kBlack);

  // A power that overflows for one entry changes none.
  Select({4, 5});
  dialogs.answerDialog(Change(2, "2000"));
  page.Farbwertenegativ1Click();
  EXPECT_TRUE(dialogs.lastMessage().contains("No value was changed"));
  EXPECT_EQ(page.Colors().back(), (TColorEntry{kGreen, 2}));
  EXPECT_EQ(edited.count(), 3);
  Grab(page, "colours-after-edits");
}

TEST_F(ColourToolsTest, DeleteSwapInvertAndTheContextMenu) {
  // Delete asks first; the Delete key does the same, and with nothing selected asks nothing.
  Select({1, 3});
  dialogs.answerMessage(QMessageBox::No);
  QTest::keyClick(page.ListView1, Qt::Key_Delete);
  dialogs.answerMessage(QMessageBox::Yes);
  page.Button4Click();
  EXPECT_EQ(page.Colors(), (List{{kWhite, -1}, {kOrange, 0}, {kBlack, 0.1}}));
  page.ListView1->clearSelection();
  QTest::keyClick(page.ListView1, Qt::Key_Delete);
  Select({0, 1, 2});
  page.Button4Click();  // all selected: nothing to ask, nothing deleted
  EXPECT_EQ(dialogs.messages.size(), 2u);

  Select({0, 2});
  page.PopupMenu1Popup();
  EXPECT_TRUE(page.swapcolors1->isEnabled() && !page.Farbreihenfolgeumkehren1->isEnabled());
  page.swapcolors1->trigger();
  EXPECT_EQ(page.Colors(), (List{{kBlack, -1}, {kOrange, 0}, {kWhite, 0.1}}));

  page.ListView1->clearSelection();
  page.PopupMenu1Popup();  // the menu's items follow the selection when it opens
  page.Farbreihenfolgeumkehren1->trigger();
  EXPECT_EQ(page.Colors(), (List{{kWhite, -1}, {kOrange, 0}, {kBlack, 0.1}}));
  EXPECT_TRUE(page.BelowColor() == kBlack && edited.count() == 3);

  // A double click beside the items asks for a new entry (cancelled here).
  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("0", false));
  QTest::mouseDClick(page.ListView1->viewport(), Qt::LeftButton, {}, QPoint(5, 100));
  EXPECT_EQ(dialogs.dialogRequests, std::vector<QString>{"choose color and value"});
  EXPECT_EQ(dialogs.unexpected, 0);
}

TEST_F(ColourToolsTest, ClickOnTheColourBarProposesItsColourAndValue) {
  TColorEntry proposed;
  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("-1,5", true, &proposed));
  QTest::mouseClick(page.Image3, Qt::LeftButton, {}, QPoint(2, 10));  // the below colour's columns
  EXPECT_EQ(proposed, (TColorEntry{kWhite, -1.011}));                 // -1 + 1,1 * (2 - 5) / 300
  EXPECT_EQ(page.Colors().front(), (TColorEntry{kWhite, -1.5}));
  dialogs.answerColor(std::nullopt);
  dialogs.answerDialog(Choose("0", false, &proposed));
  QTest::mouseClick(page.Image3, Qt::LeftButton, {}, QPoint(305, 10));
  EXPECT_EQ(proposed, (TColorEntry{kBlack, 0.1}));
}

TEST_F(ColourToolsTest, ColourFilesSavedAndLoadedOrRefused) {
  test::TempDir dir;
  const QString path = QString::fromStdString(dir.file("c.Pal"));
  dialogs.answerFile(path);
  page.Button9Click();
  EXPECT_EQ(test::ReadBytes(dir.file("c.Pal")).size(), 84u);

  // A file of two records holds no entry: refused, the list stays.
  test::WriteBytes(dir.file("short.Pal"), std::vector<unsigned char>(24, 0));
  page.SetColors({{kRed, 3}}, kYellow, kOrange);
  dialogs.answerFile(QString::fromStdString(dir.file("short.Pal")));
  page.Button10Click();
  EXPECT_TRUE(dialogs.lastMessage().contains("at least one entry"));
  EXPECT_TRUE(page.Colors() == (List{{kRed, 3}}) && page.BelowColor() == kYellow);

  dialogs.answerFile(path);
  page.Button10Click();
  EXPECT_EQ(page.Colors(), DefaultColorList());
  EXPECT_TRUE(page.BelowColor() == kWhite && page.AboveColor() == kBlack);
  EXPECT_EQ(edited.count(), 1);
}

// ---------------------------------------------------------------------------------------------
// The "colors" page step by step: every change is an undo step of its stack, the preview waits
// for "apply to preview".

using ColoursPageSteps = ColourToolsTest;

TEST_F(ColoursPageSteps, EveryChangeIsOneStepBackAndForth) {
  const ColorListState start = page.State();
  New("0,5");
  const ColorListState added = page.State();
  page.ListView1->clearSelection();
  page.Farbreihenfolgeumkehren1->trigger();  // "invert order"
  const ColorListState inverted = page.State();
  // A click on an outer colour asks for a new one, starting from the colour it has.
  QSignalSpy outer(&page, &TColorListDisplay::outerColorChanged);
  dialogs.answerColor(QColor(0, 0, 255));
  QTest::mouseClick(page.Shape1, Qt::LeftButton);
  EXPECT_EQ(dialogs.colorRequests.back().first, QColor(Qt::black));                // inverted: black below
  EXPECT_TRUE(page.BelowColor() == 0xFF0000u && BarColumn(page, 0) == 0xFF0000u);  // blue in 0x00BBGGRR
  dialogs.answerColor(std::nullopt);
  QTest::mouseClick(page.Shape2, Qt::LeftButton);  // cancelled: nothing changes, no step
  EXPECT_TRUE(page.AboveColor() == kWhite && outer.count() == 1);
  const QStringList names{"new colour", "invert order", "change colour below"};
  ASSERT_EQ(page.UndoStack().count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(page.UndoStack().text(i), names[i]);
  const ColorListState back[] = {inverted, added, start};
  for (const ColorListState& expected : back) {
    ASSERT_TRUE(page.UndoButton->isEnabled());
    QTest::mouseClick(page.UndoButton, Qt::LeftButton);
    EXPECT_EQ(page.State(), expected);
  }
  EXPECT_FALSE(page.UndoButton->isEnabled());
  page.RedoClick();
  EXPECT_EQ(page.State(), added);
  // A list shown from outside (a loaded project) is no step.
  page.SetColors(DefaultColorList(), 0xFFFFFF, 0);
  EXPECT_EQ(page.UndoStack().count(), 3);
  EXPECT_EQ(dialogs.unexpected, 0);
}

// The preview maps the grid through the list and its outer colours (ColorForExponent), after
// "apply to preview" only.
TEST_F(ColoursPageSteps, EditsWaitForApplyToPreview) {
  PreviewGrid grid;
  for (int x = 0; x < PreviewGrid::Columns; ++x)
    for (int y = 0; y < PreviewGrid::Rows; ++y) grid.At(x, y) = 0.5;
  grid.At(0, 0) = -5;
  page.SetColors(DefaultColorList(), 0x010203, kBlack);
  page.DrawPreview(grid);
  const QImage before = page.PreviewImage().copy();
  ASSERT_EQ(before.size(), QSize(175, 119));
  EXPECT_EQ(FromQColor(before.pixelColor(0, 0)), 0x010203u);
  dialogs.answerColor(QColor(0, 0, 255));
  QTest::mouseClick(page.Shape2, Qt::LeftButton);  // the colour above the list: 0,5 lies above it
  New("0,4");
  EXPECT_EQ(page.PreviewImage(), before);
  page.DrawPreview(grid);  // "apply to preview"
  EXPECT_EQ(page.PreviewImage().pixelColor(10, 10), QColor(0, 0, 255));
  EXPECT_EQ(dialogs.unexpected, 0);
}

// ---------------------------------------------------------------------------------------------
// The histogram window

TEST(HistogramWindow, BarsInTheListsColoursWithReadoutAndCuts) {
  test::TempDir dir;
  test::ScriptedDialogs dialogs;
  PixelDataFile file;
  file.Create(dir.file("h.TMP1"));
  TCalcParams params = DefaultCalcParams();
  params.SetColors({{kRed, -1}, {kYellow, 0.1}});
  TForm4 form(file, params);
  form.linksloeschenClick();  // nothing counted yet
  EXPECT_TRUE(dialogs.lastMessage().contains("Move the mouse"));
  form.Button1Click();  // an empty exponent file
  EXPECT_TRUE(dialogs.lastMessage().contains("no point"));

  // -1 ... 0,1 in steps of 0,001, a thin tail at 3 and one value that is not finite.
  std::vector<double> v{3.0, std::nan("")};
  for (int i = 0; i <= 1100; ++i) v.push_back(-1 + i / 1000.0);
  file.Write(v.data(), v.size());
  form.SpinEdit1->setValue(100);
  form.Button1Click();
  const QImage& picture = form.Picture();
  ASSERT_EQ(picture.size(), QSize(100, 400));
  EXPECT_EQ(form.Label6->text(), "not finite: 1");
  // Bins of 0,04 hold 40 or 41 values. Bin 0 (from -1) is red, 40/41 of the height with a black
  // top at row 10; bin 50 (from 1) is empty.
  EXPECT_EQ(form.Counts().MaxCount(), 41u);
  EXPECT_EQ(FromQColor(picture.pixelColor(0, 399)), kRed);
  EXPECT_TRUE(picture.pixelColor(0, 10) == Qt::black && picture.pixelColor(0, 9) == Qt::white);
  EXPECT_EQ(picture.pixelColor(50, 399), QColor(Qt::white));

  // The mouse dragged out of the picture reads the nearest bin.
  form.Image1MouseMove(-40);
  EXPECT_EQ(form.Label4->text(), "-1");
  form.Image1MouseMove(4000);
  EXPECT_EQ(form.Label4->text(), "2,96");
  EXPECT_EQ(form.Image1->CursorColumn(), 99);

  // Clear right at 2,96, then optimize with 500 bins drops the empty stretch beyond 0,1.
  form.rechtsloeschenClick();
  EXPECT_EQ(form.Counts().Xmax(), 2.96);
  form.SpinEdit1->setValue(500);
  form.Button3Click();
  EXPECT_TRUE(form.Picture().width() == 500 && form.Counts().Xmin() == -1);
  EXPECT_NEAR(form.Counts().Xmax(), 0.1, 0.04);
  Grab(form, "histogram");

  // Clear left at the last column leaves a range without values: an empty picture.
  form.Image1MouseMove(499);
  form.linksloeschenClick();
  EXPECT_EQ(form.Counts().MaxCount(), 0u);
  EXPECT_EQ(form.Picture().pixelColor(0, 399), QColor(Qt::white));
  // Clear left beyond the right end: refused with a message, nothing changes.
  const double xmax = form.Counts().Xmax();
  form.Label4->setText("5");
  form.linksloeschenClick();
  EXPECT_TRUE(dialogs.lastMessage().contains("Nothing would be left"));
  EXPECT_EQ(form.Counts().Xmax(), xmax);
}

using HistogramOfAProject = test::FrameTest;

// Each project window keeps its own histogram window: it comes back with the bins left there,
// and the data file's position is put back.
TEST_F(HistogramOfAProject, TheHistogramComesBackWithItsBinsAndOutlinesWhiteBars) {
  std::vector<double> v;
  for (int i = 0; i < 400; ++i) v.push_back(i < 200 ? -0.5 + i / 1000.0 : (i - 200) / 100.0);
  const auto project = [&](const QString& name) {
    TMDIChild* c = Open(name);
    c->DataFile1().Write(v.data(), v.size());
    c->DataFile1().Seek(2);
    c->ToolButton12->setEnabled(true);  // as a paused or finished calculation leaves it
    return c;
  };
  TMDIChild* child = project("h");
  // All white: the stored list gives white to every exponent.
  child->Params().SetColors({{0xFFFFFF, -10}, {0xFFFFFF, 10}});
  std::vector<std::pair<QDialog*, int>> seen;
  QImage bars;
  QString edges;
  const auto look = [&](TMDIChild* c, std::optional<int> type) {
    dialogs_.answerDialog([&, type](QDialog* d) {
      auto* form = dynamic_cast<TForm4*>(d);
      ASSERT_NE(form, nullptr);
      seen.emplace_back(d, form->SpinEdit1->value());
      if (type) {  // typed into the field, as a person sets the bins
        form->SpinEdit1->selectAll();
        QTest::keyClicks(form->SpinEdit1, QString::number(*type));
        QTest::keyClick(form->SpinEdit1, Qt::Key_Return);
      }
      form->Button1Click();
      bars = form->Picture().copy();
      edges = form->Label2->text() + " .. " + form->Label3->text();
    });
    QTest::mouseClick(c->ToolButton12, Qt::LeftButton);
  };
  look(child, 100);
  EXPECT_EQ(child->DataFile1().Position(), 2);
  look(child, std::nullopt);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, seen[1].first);  // the same window again
  EXPECT_EQ(seen[0].second, 500);
  EXPECT_EQ(seen[1].second, 100);  // the second time as left the first time
  ASSERT_EQ(bars.width(), 100);
  EXPECT_EQ(edges, "-0,5 .. 1,99");  // the digits in which the edges differ
  // A white bar beside a lower one shows a grey edge on the background; the background stays white.
  int outlined = 0;
  for (int x = 0; x < bars.width(); ++x)
    for (int y = 0; y < bars.height(); ++y)
      if (bars.pixelColor(x, y) == QColor(160, 160, 160)) ++outlined;
  EXPECT_GT(outlined, 0);
  int background = 0;
  for (int x = 0; x < bars.width(); ++x) background += bars.pixelColor(x, 0) == QColor(Qt::white);
  EXPECT_GT(background, 50);

  look(project("k"), std::nullopt);  // the other project's own window, with its own bins
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_NE(seen[2].first, seen[0].first);
  EXPECT_EQ(seen[2].second, 500);
  look(child, 500);  // the bins as the other tests expect them

  // An edit of the colour list marks the project changed and shows in the preview with "apply
  // to preview".
  EXPECT_FALSE(child->Changed());
  const QImage before = child->ColorPage->PreviewImage().copy();
  dialogs_.answerColor(QColor(0, 255, 0));
  dialogs_.answerDialog(Choose("0,5"));
  child->Button3->click();
  EXPECT_TRUE(child->Changed() && child->ColorPage->PreviewImage() == before);
  child->Button8->click();
  EXPECT_NE(child->ColorPage->PreviewImage(), before);
  EXPECT_EQ(dialogs_.dialogRequests.back(), "choose color and value");
}

}  // namespace
}  // namespace vantorel::gui
