// The "colors" page's shipped lists, imports and exports, automatic colours and "undo".
#include "colour/gui/ColorListDisplay.h"
#include "colour/gui/PaletteTools.h"
#include "core/ColorMapping.h"
#include "core/NumberText.h"
#include "core/PixelDataFile.h"
#include "gui/GuiTest.h"

namespace vantorel::gui {
namespace {

using namespace test;
using List = std::vector<TColorEntry>;

// An answer for the import range dialog: note what it proposes, type the range, press OK.
std::function<void(QDialog*)> Range(const QString& lo, const QString& hi, QString* proposed = nullptr) {
  return [=](QDialog* d) {
    auto* dlg = dynamic_cast<TImportRangeDlg*>(d);
    ASSERT_NE(dlg, nullptr);
    if (proposed) *proposed = dlg->Edit1->text() + " " + dlg->Edit2->text();
    dlg->Edit1->setText(lo);
    dlg->Edit2->setText(hi);
    dlg->OKBtnClick();
  };
}

class PaletteToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page.SetPresetFolders({std::string(VANTOREL_SOURCE_DIR) + "/palettes"});
    page.SetColors(DefaultColorList(), 0xFFFFFF, 0);
  }
  QString Path(const std::string& name) { return Q(dir.file(name)); }
  ScriptedDialogs dialogs;
  TColorListDisplay page;
  QSignalSpy edited{&page, &TColorListDisplay::colorsEdited};
  TempDir dir;
};

TEST_F(PaletteToolsTest, PresetMenuShowsThumbnailsAndAPresetIsOneUndoStep) {
  page.FillPresetMenu();
  const QList<QAction*> actions = page.PresetMenu->actions();
  ASSERT_GE(actions.size(), 12);
  for (QAction* a : actions) EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
  EXPECT_FALSE(page.UndoButton->isEnabled());

  // The classic list: gold order, black at 0, blue chaos.
  const auto classic = std::find_if(actions.begin(), actions.end(), [](QAction* a) { return a->text() == "classic"; });
  ASSERT_NE(classic, actions.end());
  (*classic)->trigger();
  const List colours = page.Colors();
  EXPECT_EQ(page.Label17->text(), "-2");
  EXPECT_EQ(edited.count(), 1);
  EXPECT_TRUE(page.UndoButton->isEnabled());
  // Its thumbnail shows the list from its first value to its last.
  const QImage thumb = (*classic)->icon().pixmap(96, 14).toImage();
  EXPECT_EQ(FromQColor(thumb.pixelColor(0, 7)), colours.front().Color);

  QTest::mouseClick(page.UndoButton, Qt::LeftButton);
  EXPECT_EQ(page.Colors(), DefaultColorList());
  EXPECT_EQ(edited.count(), 2);
  EXPECT_FALSE(page.UndoButton->isEnabled());
  EXPECT_FALSE(page.ChoosePreset("no such list"));
  EXPECT_EQ(dialogs.unexpected, 0);
}

TEST_F(PaletteToolsTest, ImportedGradientSpansTheChosenRange) {
  const std::string ggr = "GIMP Gradient\nName: Blue white\n1\n0 0.5 1 0 0 1 1 1 1 1 1 0 0\n";
  test::WriteBytes(dir.file("g.ggr"), Bytes(ggr.begin(), ggr.end()));
  QString proposed;
  dialogs.answerFile(Path("g.ggr"));
  dialogs.answerDialog(Range("-1,5", "0,5", &proposed));
  page.ImportClick();
  EXPECT_EQ(proposed, "-1 0,1");  // the list's own first and last values
  EXPECT_EQ(page.Colors(), (List{{0xFF0000, -1.5}, {0xFFFFFF, 0.5}}));
  EXPECT_TRUE(page.BelowColor() == 0xFF0000 && page.AboveColor() == 0xFFFFFF);
  EXPECT_EQ(dialogs.dialogRequests, std::vector<QString>{"import range"});

  // A range that is no range keeps the dialog open with a message; cancel leaves the list.
  dialogs.answerFile(Path("g.ggr"));
  dialogs.answerDialog([](QDialog* d) {
    Range("1", "1")(d);
    EXPECT_EQ(d->result(), QDialog::Rejected);
  });
  page.ImportClick();
  EXPECT_TRUE(dialogs.lastMessage().contains("must be smaller"));
  EXPECT_EQ(page.Colors(), (List{{0xFF0000, -1.5}, {0xFFFFFF, 0.5}}));
  EXPECT_EQ(edited.count(), 1);
}

TEST_F(PaletteToolsTest, BadFilesAreRefusedWithAMessageAndTheListStays) {
  const std::string broken = "GIMP Gradient\n2\n0 0.5 1 0 0 0 1 1 1 1 1 0 0\n";
  test::WriteBytes(dir.file("broken.ggr"), Bytes(broken.begin(), broken.end()));
  test::WriteBytes(dir.file("bad.gpl"), Bytes{'G', 'I', 'M', 'P', '\n'});
  for (const char* name : {"broken.ggr", "bad.gpl", "missing.map"}) {
    dialogs.answerFile(Path(name));
    page.ImportClick();
    EXPECT_TRUE(dialogs.lastMessage().startsWith("The colors were not imported")) << name;
    EXPECT_TRUE(dialogs.lastMessage().contains("stays as it was"));
  }
  EXPECT_EQ(page.Colors(), DefaultColorList());
  EXPECT_EQ(edited.count(), 0);
  EXPECT_FALSE(page.UndoButton->isEnabled());
}

// The gradient's way out and back is ColourFileTest's GimpGradient.ColourFileToGradientAndBack.
TEST_F(PaletteToolsTest, ExportedPaletteImportsBack) {
  dialogs.answerFile(Path("out.gpl"));
  page.ExportClick();
  const Bytes gpl = test::ReadBytes(dir.file("out.gpl"));
  EXPECT_TRUE(
      QByteArray(reinterpret_cast<const char*>(gpl.data()), int(gpl.size())).startsWith("GIMP Palette\nName: out\n"));
  dialogs.answerFile(Path("out.txt"));
  page.ExportClick();
  EXPECT_TRUE(dialogs.lastMessage().contains("GIMP gradient (.ggr) or a GIMP palette (.gpl)"));

  // The palette's five colours come back evenly spaced over the range.
  dialogs.answerFile(Path("out.gpl"));
  dialogs.answerDialog(Range("0", "4"));
  page.ImportClick();
  EXPECT_EQ(page.Colors(), (List{{0xFFFFFF, 0}, {0x00FFFF, 1}, {0x0080FF, 2}, {0x0000FF, 3}, {0, 4}}));
}

TEST_F(PaletteToolsTest, AutoColoursFromTheExponentsOrAMessage) {
  page.AutoColoursClick();  // no exponents to read
  EXPECT_TRUE(dialogs.lastMessage().contains("pause the calculation"));
  PixelDataFile file;
  file.Create(dir.file("p.TMP1"));
  std::vector<double> v;
  for (int k = 1; k <= 100; ++k) v.push_back(-k / 100.0);
  for (int k = 1; k <= 50; ++k) v.push_back(k / 10.0);
  file.Write(v.data(), v.size());
  bool readable = true;
  page.SetExponentSource([&]() -> const PixelDataFile* { return readable ? &file : nullptr; });
  page.AutoColoursClick();
  // -1 and -0,1 go to the shares 0 and 1/2 of the negative exponents, 0 stays, 0,01 and 0,1 to
  // the shares 1/2 and 1 of the positive ones.
  // Ranks round(0,5 * 99) = 50 of -1 ... -0,01 and round(0,5 * 49) = 25 of 0,1 ... 5.
  std::vector<double> values;
  for (const TColorEntry& e : page.Colors()) values.push_back(e.Value);
  EXPECT_EQ(values, (std::vector<double>{-1, -0.5, 0, 2.6, 5}));
  EXPECT_EQ(edited.count(), 1);
  page.UndoClick();
  EXPECT_EQ(page.Colors(), DefaultColorList());
  readable = false;
  page.AutoColoursClick();
  EXPECT_EQ(page.Colors(), DefaultColorList());
}

}  // namespace
}  // namespace vantorel::gui
