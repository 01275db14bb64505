// The colour list display: items in value order with their colour squares, the colour bar and
// its readout, the outer colours and the preview.
#include "colour/gui/ColorListDisplay.h"
#include "core/CalcParams.h"
#include "core/PixelDataFile.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;

constexpr uint32_t kWhite = 0xFFFFFF, kYellow = 0x00FFFF, kOrange = 0x0080FF, kRed = 0x0000FF, kBlack = 0;

uint32_t BarColumn(const TColorListDisplay& d, int x) { return FromQColor(d.ColorBar().pixelColor(x, 11)); }

class ColorListDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { display.SetColors(DefaultColorList(), kWhite, kBlack); }
  TColorListDisplay display;
};

TEST_F(ColorListDisplayTest, ListInValueOrderWithItsSquares) {
  const uint32_t colours[5] = {kWhite, kYellow, kOrange, kRed, kBlack};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(display.ItemColor(display.ListView1->item(i)), colours[i]);
    EXPECT_EQ(TColorListDisplay::ItemImage(display.ListView1->item(i)), i);
    EXPECT_FALSE(display.ListView1->item(i)->icon().isNull());
  }
  EXPECT_EQ(display.Colors(), DefaultColorList());
  EXPECT_FALSE(display.Button4->isEnabled() || display.Button5->isEnabled());  // nothing is selected

  display.SetColors({{kRed, 0.5}, {kYellow, -3}, {kBlack, 0.01}, {kWhite, -3}}, kWhite, kBlack);
  QStringList texts;
  for (int i = 0; i < display.ListView1->count(); ++i) texts << display.ListView1->item(i)->text();
  EXPECT_EQ(texts, (QStringList{"-3", "-3", "0,01", "0,5"}));
  EXPECT_EQ(display.ItemColor(display.ListView1->item(0)), kYellow);  // equal values keep their order
  // An item added later finds its place when the list is sorted again.
  display.AddItem(display.AddImage(kOrange), 0.1);
  display.DrawColorPad();
  EXPECT_EQ(display.ListView1->item(3)->text(), "0,1");
}

TEST_F(ColorListDisplayTest, ColourBarWithItsEndLabelsAndOuterColours) {
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
    display.SetColors(c.list, c.below, c.above);
    EXPECT_EQ(display.ListView1->count(), int(c.list.size()));
    EXPECT_TRUE(display.Label17->text() == c.first && display.Label18->text() == c.last);
    for (const auto& [x, colour] : c.columns) EXPECT_EQ(BarColumn(display, x), colour) << x;
  }
  EXPECT_EQ(display.ReadoutText(100), QString());  // nothing to read on an empty list
}

TEST_F(ColorListDisplayTest, ReadoutFollowsTheMouse) {
  EXPECT_EQ(QStringList({display.ReadoutText(5), display.ReadoutText(155), display.ReadoutText(305)}),
            QStringList({"-1", "-0,45", "0,1"}));
  EXPECT_TRUE(display.Label19->isHidden());

  QMouseEvent over(QEvent::MouseMove, QPointF(5, 10), QPointF(5, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(display.Image3, &over);
  EXPECT_TRUE(!display.Label19->isHidden() && display.Label19->text() == "-1");

  QMouseEvent away(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(display.ScrollBox4, &away);
  EXPECT_TRUE(display.Label19->isHidden());
}

TEST_F(ColorListDisplayTest, ClickingAnOuterColourAsksForANewOne) {
  test::ScriptedDialogs dialogs;
  QSignalSpy changed(&display, &TColorListDisplay::outerColorChanged);
  dialogs.answerColor(QColor(0, 0, 255));
  QTest::mouseClick(display.Shape1, Qt::LeftButton);
  ASSERT_EQ(dialogs.colorRequests.size(), 1u);
  EXPECT_EQ(dialogs.colorRequests[0].first, QColor(255, 255, 255));
  EXPECT_TRUE(display.BelowColor() == 0xFF0000u && BarColumn(display, 0) == 0xFF0000u);  // blue in 0x00BBGGRR
  EXPECT_EQ(changed.count(), 1);

  QTest::mouseClick(display.Shape2, Qt::LeftButton);  // cancelled: nothing changes
  EXPECT_TRUE(display.AboveColor() == kBlack && changed.count() == 1);
}

TEST_F(ColorListDisplayTest, PreviewMapsTheGridThroughTheList) {
  auto grid = std::make_unique<PreviewGrid>();
  grid->At(0, 0) = -1;     // the first value: its colour
  grid->At(1, 0) = -5;     // below
  grid->At(2, 0) = 7;      // above
  grid->At(3, 0) = 0.005;  // between orange and red
  display.SetColors(DefaultColorList(), 0x010203, 0x040506);
  display.DrawPreview(*grid);
  const QImage& img = display.PreviewImage();
  ASSERT_EQ(img.size(), QSize(175, 119));
  EXPECT_EQ(FromQColor(img.pixelColor(0, 0)), kWhite);
  EXPECT_EQ(FromQColor(img.pixelColor(1, 0)), 0x010203u);
  EXPECT_EQ(FromQColor(img.pixelColor(2, 0)), 0x040506u);
  EXPECT_EQ(FromQColor(img.pixelColor(3, 0)), 0x0040FFu);    // green halfway from 128 to 0
  EXPECT_EQ(FromQColor(img.pixelColor(100, 100)), kOrange);  // the rest of the grid holds 0
}

}  // namespace
}  // namespace vantorel::gui
