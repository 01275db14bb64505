#include <gtest/gtest.h>

#include <chrono>

#include "app/PictureFile.h"
#include "cli/Thumbnail.h"
#include "cli/RenderProgram.h"

namespace vantorel::cli {
namespace {

using namespace test;

TEST(Thumbnail, FitsInTheSquareKeepingTheProportions) {
  struct Case {
    int32_t w, h, side, fitW, fitH;
  };
  const Case cases[] = {{800, 600, 128, 128, 96},  {600, 800, 128, 96, 128}, {40, 30, 128, 40, 30},
                        {128, 128, 128, 128, 128}, {129, 64, 128, 128, 64},  {100000, 10, 100, 100, 1}};
  for (const Case& c : cases) {
    const PictureSize fit = FitInSquare(c.w, c.h, c.side);
    EXPECT_EQ(fit.Width, c.fitW) << c.w << "x" << c.h;
    EXPECT_EQ(fit.Height, c.fitH) << c.w << "x" << c.h;
  }
}

TEST(Thumbnail, WorkIsLimitedInProportionToWholeSequences) {
  TCalcParams p = DefaultCalcParams();
  ASSERT_EQ(p.SequenceLength, 12);  // AAAAAABBBBBB
  p.PictureWidth = p.PictureHeight = 100;
  p.Iterations = 1200;
  p.CalmDownIterations = 600;
  LimitWork(p, 50'000'000);  // 18 million steps: unchanged
  EXPECT_EQ(p.Iterations, 1200);
  EXPECT_EQ(p.CalmDownIterations, 600);
  LimitWork(p, 1'000'000);  // a scale of 1/18: 66.7 and 33.3 rounded down to sequences of 12
  EXPECT_EQ(p.Iterations, 60);
  EXPECT_EQ(p.CalmDownIterations, 24);
  LimitWork(p, 1);  // one sequence remains
  EXPECT_EQ(p.Iterations, 12);
  EXPECT_EQ(p.CalmDownIterations, 0);
}

TEST(Thumbnail, ShrinkingAveragesTheCoveredPixels) {
  // 4 x 2 pixels, red = 10 * (column + 4 * row), green 200 everywhere, blue = column.
  PictureRows rows;
  rows.Width = 4;
  rows.Height = 2;
  std::vector<int32_t> asked;
  rows.Row = [&asked](int32_t y, uint8_t* bgr) {
    asked.push_back(y);
    for (int x = 0; x < 4; ++x) {
      bgr[3 * x] = uint8_t(x);
      bgr[3 * x + 1] = 200;
      bgr[3 * x + 2] = uint8_t(10 * (x + 4 * y));
    }
  };
  const TPicture half = Shrink(rows, 2, 1);
  // Left block: red 0, 10, 40, 50 -> 25, blue 0, 1, 0, 1 -> 0.5 rounded up to 1.
  EXPECT_EQ(half.Pixel(0, 0), 0x01C819u);
  EXPECT_EQ(half.Pixel(1, 0), 0x03C82Du);  // red 20, 30, 60, 70 -> 45; blue 2, 3 -> 2.5 -> 3
  EXPECT_EQ(asked, (std::vector<int32_t>{0, 1}));
  const TPicture same = Shrink(rows, 4, 2);
  EXPECT_EQ(same.Pixel(3, 1), 0x03C846u);
}

TEST(Thumbnail, AParameterFileIsComputedSmallAndFast) {
  TempDir dir;
  TCalcParams p = SmallBlock(3000, 1000);
  p.Iterations = RoundIterations(100'000'000, p.SequenceLength);  // hours at full size
  SaveParameterFile(dir.file("big.Par"), p);
  const auto start = std::chrono::steady_clock::now();
  const auto r = Render(dir, Words("--thumbnail 64 -o big.png big.Par -q"));
  ASSERT_EQ(r.status, 0) << r.err;
  // The thumbnail's own time limit is 10 s; the bound leaves room for a busy machine and still
  // fails at once if the work were not cut down (hours).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  const TPicture t = LoadPng(dir.file("big.png"));
  EXPECT_EQ(t.Width, 64);
  EXPECT_EQ(t.Height, 21);
  // Computed: not left white.
  EXPECT_LT(std::count(t.Bits.begin(), t.Bits.end(), 0xFF), 3 * 64 * 21);
}

}  // namespace
}  // namespace vantorel::cli
