// The renderer's colour options: shipped lists, imported gradients with their range, automatic
// colours, and the pixels they give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "colour/ColorFile.h"
#include "core/ColorMapping.h"
#include "core/PixelDataFile.h"
#include "cli/RenderProgram.h"

namespace vantorel {
namespace {

using namespace test;

// Blue to white over the first half, white to red over the second.
const std::string kGradient =
    "GIMP Gradient\nName: Blue white red\n2\n"
    "0 0.25 0.5 0 0 1 1 1 1 1 1 0 0\n"
    "0.5 0.75 1 1 1 1 1 1 0 0 1 0 0\n";
constexpr uint32_t kBlue = 0xFF0000, kWhite = 0xFFFFFF, kRed = 0x0000FF;

// Renders the logistic map over r = 1,2 ... 2,8 (A only), whose exponents are ln|2 - r|, coloured
// with the gradient and `colours`; checks that every pixel of the bitmap is the project's list's
// colour of the pixel's stored exponent, and gives the project's parameters.
TCalcParams RenderLogistic(const std::string& colours) {
  TempDir dir;
  WriteText(dir.file("g.ggr"), kGradient);
  const auto r = Render(dir, Words("--fixed 1 --sequence A --center-x 2 --center-y 2 --region-width 1.6"
                                   " --region-height 0.01 --size 160x10 --iterations 600 --calm-down 300"
                                   " --start-x 0.3 -q -o out.bmp --project out.LPr --colours g.ggr " +
                                   colours));
  EXPECT_EQ(r.status, 0) << r.err;
  PixelDataFile tmp1, tmp2;
  tmp1.Create(dir.file("t.TMP1"));
  tmp2.Create(dir.file("t.TMP2"));
  const TCalcParams p = LoadProject(dir.file("out.LPr"), tmp1, tmp2);
  const TPicture pic = LoadBitmap(dir.file("out.bmp"));
  EXPECT_TRUE(pic.Width == p.PictureWidth && pic.Height == p.PictureHeight);
  std::vector<double> e(size_t(tmp1.RecordCount()));
  EXPECT_EQ(tmp1.ReadAt(0, e.data(), e.size()), e.size());
  int wrong = 0;
  for (int32_t y = 0; y < pic.Height; ++y)
    for (int32_t x = 0; x < pic.Width; ++x)
      wrong += pic.Pixel(x, y) != ColorForExponent(p.ColorList, uint32_t(p.BelowColor), uint32_t(p.AboveColor),
                                                   e[size_t(y) * size_t(pic.Width) + size_t(x)]);
  EXPECT_EQ(wrong, 0);
  return p;
}

// The gradient spans the range given; --auto-colours moves its entries to the quantiles of the
// exponents: half of them lie below ln(0,8 / 2), the quantile of ln|2 - r| for r uniform on
// 1,2 ... 2,8. The first entry goes to the smallest exponent, 0 stays.
TEST(RendererColours, ImportedGradientSpansTheRangeOrFollowsTheLogisticExponents) {
  TCalcParams p = RenderLogistic("--colour-range -3;0");
  EXPECT_EQ(p.ColorList, (std::vector<TColorEntry>{{kBlue, -3}, {kWhite, -1.5}, {kRed, 0}}));
  EXPECT_TRUE(uint32_t(p.BelowColor) == kBlue && uint32_t(p.AboveColor) == kRed);
  p = RenderLogistic("--colour-range -3,0 --auto-colours");
  ASSERT_EQ(p.ColorList.size(), 3u);
  EXPECT_NEAR(p.ColorList[1].Value, std::log(0.4), 0.03);
  EXPECT_LT(p.ColorList[0].Value, std::log(0.8 / 40));
  EXPECT_EQ(p.ColorList[2].Value, 0.0);
  EXPECT_EQ(p.ColorList[1].Color, kWhite);
}

TEST(RendererColours, ShippedListsByName) {
  TempDir dir;
  const auto list = Render(dir, {"--list-palettes"});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_GE(std::count(list.out.begin(), list.out.end(), '\n'), 12);
  EXPECT_NE(list.out.find("classic\t"), std::string::npos);
  EXPECT_NE(list.out.find("viridis\t33 entries, -2 ... 0"), std::string::npos) << list.out;
  ASSERT_EQ(Render(dir, Words("--size 20x10 --colours grey-print --project g.LPr -q")).status, 0);
  EXPECT_EQ(LoadParameterFile(dir.file("g.LPr")).ColorList,
            LoadColorFile(std::string(VANTOREL_SOURCE_DIR) + "/palettes/grey-print.Pal").Entries);
}

}  // namespace
}  // namespace vantorel
