// The renderer's colour options: shipped lists, imported gradients with their range, automatic
// colours, and the pixels they give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "colour/ColorFile.h"
#include "core/ColorMapping.h"
#include "core/PixelDataFile.h"
#include "cli/RenderProgram.h"

namespace vantorel {
namespace {

using test::TempDir;

using test::Render;

void WriteText(const TempDir& dir, const std::string& name, const std::string& text) {
  test::WriteBytes(dir.file(name), std::vector<unsigned char>(text.begin(), text.end()));
}

// Blue to white over the first half, white to red over the second.
const std::string kGradient =
    "GIMP Gradient\nName: Blue white red\n2\n"
    "0 0.25 0.5 0 0 1 1 1 1 1 1 0 0\n"
    "0.5 0.75 1 1 1 1 1 1 0 0 1 0 0\n";
constexpr uint32_t kBlue = 0xFF0000, kWhite = 0xFFFFFF, kRed = 0x0000FF;

// The logistic map over r = 1,2 ... 2,8 (A only), whose exponents are ln|2 - r|.
std::vector<std::string> Logistic(std::vector<std::string> more) {
  std::vector<std::string> args = {
      "--fixed",        "1",   "--sequence",      "A",    "--center-x", "2",      "--center-y",   "2",
      "--region-width", "1.6", "--region-height", "0.01", "--size",     "160x10", "--iterations", "600",
      "--calm-down",    "300", "--start-x",       "0.3",  "-q"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// Every pixel of the bitmap is the list's colour of the pixel's stored exponent.
void ExpectPixelsFollowTheList(const TempDir& dir, const TCalcParams& p, PixelDataFile& tmp1) {
  const TPicture pic = LoadBitmap(dir.file("out.bmp"));
  ASSERT_TRUE(pic.Width == p.PictureWidth && pic.Height == p.PictureHeight);
  std::vector<double> e(size_t(tmp1.RecordCount()));
  ASSERT_EQ(tmp1.ReadAt(0, e.data(), e.size()), e.size());
  for (int32_t y = 0; y < pic.Height; ++y)
    for (int32_t x = 0; x < pic.Width; ++x)
      ASSERT_EQ(pic.Pixel(x, y), ColorForExponent(p.ColorList, uint32_t(p.BelowColor), uint32_t(p.AboveColor),
                                                  e[size_t(y) * size_t(pic.Width) + size_t(x)]))
          << x << "," << y;
}

TEST(RendererColours, ImportedGradientSpansTheRangeAndColoursThePixels) {
  TempDir dir;
  WriteText(dir, "g.ggr", kGradient);
  const auto r =
      Render(dir, Logistic({"--colours", "g.ggr", "--colour-range", "-3;0", "-o", "out.bmp", "--project", "out.LPr"}));
  ASSERT_EQ(r.status, 0) << r.err;
  PixelDataFile tmp1, tmp2;
  tmp1.Create(dir.file("t.TMP1"));
  tmp2.Create(dir.file("t.TMP2"));
  const TCalcParams p = LoadProject(dir.file("out.LPr"), tmp1, tmp2);
  EXPECT_EQ(p.ColorList, (std::vector<TColorEntry>{{kBlue, -3}, {kWhite, -1.5}, {kRed, 0}}));
  EXPECT_TRUE(uint32_t(p.BelowColor) == kBlue && uint32_t(p.AboveColor) == kRed);
  ExpectPixelsFollowTheList(dir, p, tmp1);
}

TEST(RendererColours, AutoColoursFollowTheLogisticExponents) {
  TempDir dir;
  WriteText(dir, "g.ggr", kGradient);
  const auto r = Render(dir, Logistic({"--colours", "g.ggr", "--colour-range", "-3,0", "--auto-colours", "-o",
                                       "out.bmp", "--project", "out.LPr"}));
  ASSERT_EQ(r.status, 0) << r.err;
  PixelDataFile tmp1, tmp2;
  tmp1.Create(dir.file("t.TMP1"));
  tmp2.Create(dir.file("t.TMP2"));
  const TCalcParams p = LoadProject(dir.file("out.LPr"), tmp1, tmp2);
  ASSERT_EQ(p.ColorList.size(), 3u);
  // Half of the exponents lie below ln(0,8 / 2): the quantile of ln|2 - r| for r uniform on
  // 1,2 ... 2,8. The first entry goes to the smallest exponent, 0 stays.
  EXPECT_NEAR(p.ColorList[1].Value, std::log(0.4), 0.03);
  EXPECT_LT(p.ColorList[0].Value, std::log(0.8 / 40));
  EXPECT_EQ(p.ColorList[2].Value, 0.0);
  EXPECT_EQ(p.ColorList[1].Color, kWhite);
  ExpectPixelsFollowTheList(dir, p, tmp1);
}

TEST(RendererColours, ShippedListsByName) {
  TempDir dir;
  const auto list = Render(dir, {"--list-palettes"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_GE(std::count(list.out.begin(), list.out.end(), '\n'), 12);
  EXPECT_NE(list.out.find("classic\t"), std::string::npos);
  EXPECT_NE(list.out.find("viridis\t33 entries, -2 ... 0"), std::string::npos) << list.out;

  const auto r = Render(dir, {"--size", "20x10", "--colours", "grey-print", "--project", "g.LPr", "-q"});
  ASSERT_EQ(r.status, 0) << r.err;
  const TCalcParams p = LoadParameterFile(dir.file("g.LPr"));
  EXPECT_EQ(p.ColorList, LoadColorFile(std::string(VANTOREL_SOURCE_DIR) + "/palettes/grey-print.Pal").Entries);
}

TEST(RendererColours, BadColoursAreRefusedAndNothingIsWritten) {
  TempDir dir;
  WriteText(dir, "bad.gpl", "GIMP Palette\n0 0 0\n256 0 0\n");
  WriteText(dir, "g.ggr", kGradient);
  SaveColorFile(dir.file("c.Pal"), {DefaultColorList(), 0xFFFFFF, 0});
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string text;
  };
  const Case cases[] = {
      {{"--colours", "bad.gpl"}, 1, "line 3 has the level 256"},
      {{"--colours", "no-such-list"}, 1, "neither a file nor the name of a shipped colour list"},
      {{"--colours", "c.Pal", "--colour-range", "-1,1"}, 1, "keeps its own values"},
      {{"--colours", "g.ggr", "--colour-range", "1,0"}, 2, "LOW smaller than HIGH"},
      {{"--colours", "g.ggr", "--colour-range", "-1,0,1"}, 2, "can be read two ways"},
      {{"--colour-range", "-1,1"}, 2, "--colour-range spans the colours given with --colours"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--size", "10x10", "-o", "out.bmp"});
    const auto r = Render(dir, args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
  }
  EXPECT_EQ(test::FileNames(dir), (std::vector<std::string>{"bad.gpl", "c.Pal", "g.ggr"}));
}

}  // namespace
}  // namespace vantorel
