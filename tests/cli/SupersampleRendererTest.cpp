// vantorel-render --supersample N against the plain pictures of its sub-pixels.
#include <gtest/gtest.h>

#include "app/PictureFile.h"
#include "colour/Supersample.h"
#include "cli/RenderProgram.h"

namespace vantorel {
namespace {

using namespace test;
using Result = ProgramResult;

// Fixed formula 2: filaments and sharp edges in a few milliseconds; rotated, so that the
// sub-pixel grid has to follow the angle.
void SaveRotatedBlock(const TempDir& dir) {
  TCalcParams p = SmallBlock(31, 19);
  p.Angle = DegreesToRadians(20);
  SaveParameterFile(dir.file("s.Par"), p);
}

// The picture of N x N times the pixels, each pixel the mean of its sub-pixels' light (the
// transfer to and from linear light is tests/colour/ColouredPictureTest's).
TEST(SupersampleRenderer, IsThePlainPictureOfTwiceTheSizeBoxFilteredInLinearLight) {
  TempDir dir;
  SaveRotatedBlock(dir);
  ASSERT_EQ(Render(dir, Words("s.Par --size 62x38 -o big.bmp -q")).status, 0);
  const Result r = Render(dir, Words("s.Par --supersample 2 -o ss.bmp"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("62 x 38 sub-pixels, 2 x 2 a pixel"), std::string::npos) << r.err;
  const TPicture big = LoadBitmap(dir.file("big.bmp")), ss = LoadBitmap(dir.file("ss.bmp"));
  ASSERT_EQ(ss.Width, 31);
  ASSERT_EQ(ss.Height, 19);
  int distinct = 0;
  for (int32_t y = 0; y < 19; ++y)
    for (int32_t x = 0; x < 31; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        double sum = 0;
        for (int b = 0; b < 2; ++b)
          for (int a = 0; a < 2; ++a) sum += SrgbToLinear(big.Row(2 * y + b)[3 * (2 * x + a) + ch]);
        ASSERT_EQ(ss.Row(y)[3 * x + ch], LinearToSrgb(sum / 4)) << x << "," << y << " channel " << ch;
        distinct += big.Row(2 * y)[3 * 2 * x + ch] != big.Row(2 * y + 1)[3 * (2 * x + 1) + ch];
      }
  EXPECT_GT(distinct, 50);  // the picture has edges for the filter to smooth
}

TEST(SupersampleRenderer, TakesEveryInputAndOneSubPixelIsThePlainPicture) {
  TempDir dir;
  SaveRotatedBlock(dir);
  ASSERT_EQ(Render(dir, Words("s.Par -o s.png --project s.LPr -q")).status, 0);
  for (const std::string type : {"bmp", "jpg", "png"}) {
    SCOPED_TRACE(type);
    ASSERT_EQ(Render(dir, Words("s.Par -q -o plain." + type)).status, 0);
    ASSERT_EQ(Render(dir, Words("s.Par --supersample 1 -q -o one." + type)).status, 0);
    EXPECT_EQ(ReadBytes(dir.file("one." + type)), ReadBytes(dir.file("plain." + type)));
    // Parameter file, finished project and PNG picture: one block, one picture.
    for (const std::string input : {"s.Par", "s.LPr", "s.png"}) {
      const Result r = Render(dir, {input, "--supersample=3", "-o", "ss-" + input + "." + type});
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(ReadBytes(dir.file("ss-" + input + "." + type)), ReadBytes(dir.file("ss-s.Par." + type)));
      EXPECT_EQ(r.err.find("stored data are not used") != std::string::npos, input == "s.LPr") << r.err;
    }
    EXPECT_NE(ReadBytes(dir.file("ss-s.Par." + type)), ReadBytes(dir.file("plain." + type)));
  }
  // The PNG carries the parameters as a plain render leaves them.
  EXPECT_EQ(ReadPngParameterBlock(dir.file("ss-s.Par.png")), ReadPngParameterBlock(dir.file("plain.png")));
  // The default project.
  ASSERT_EQ(Render(dir, Words("--size 20x16 --supersample 2 -q")).status, 0);
  EXPECT_EQ(LoadBitmap(dir.file("vantorel.bmp")).Width, 20);
}

}  // namespace
}  // namespace vantorel
