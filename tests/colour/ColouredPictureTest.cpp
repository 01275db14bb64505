// Pictures coloured from their exponents: supersampled sub-pixels averaged in linear light, and a
// picture recoloured from its exponent file.
#include "colour/Supersample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "colour/Recolour.h"
#include "core/ColorMapping.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

TCalcParams Region(double angleDegrees) {
  TCalcParams p = DefaultCalcParams();
  p.CenterX = 3.2, p.CenterY = 2.7, p.Width = 0.6, p.Height = 0.45, p.Angle = DegreesToRadians(angleDegrees);
  p.PictureWidth = 7, p.PictureHeight = 5;
  return p;
}

// Every sub-pixel of the N·W x N·H picture lies in the cell of output pixel (N·i + a, N·r + b) /
// N, the cell being found from the region alone: the W x H tiling of the rotated rectangle, each
// pixel's cell reaching from its own sample point one pixel to the right and one down.
TEST(Supersample, SubPixelsAreExactlyThoseInsideTheirPixelsCell) {
  for (const double angle : {0.0, 30.0, -115.0})
    for (const int n : {1, 2, 3, 8}) {
      SCOPED_TRACE(std::to_string(angle) + " degrees, N = " + std::to_string(n));
      const TCalcParams p = Region(angle);
      const TCalcParams sub = SubPixelBlock(p, n);
      ASSERT_EQ(sub.PictureWidth, 7 * n);
      ASSERT_EQ(sub.PictureHeight, 5 * n);
      const PixelMapping plain(p), fine(sub);
      const double c = std::cos(p.Angle), s = std::sin(p.Angle);
      const double dx = p.Width / p.PictureWidth, dy = p.Height / p.PictureHeight;
      for (int32_t row = 0; row < sub.PictureHeight; ++row)
        for (int32_t column = 0; column < sub.PictureWidth; ++column) {
          double a, b;
          fine.MapPixel(column, sub.PictureHeight - row, a, b);
          // Back into the unrotated region: u from its left edge, v down from its top edge.
          const double u = (a - p.CenterX) * c + (b - p.CenterY) * s + p.Width / 2;
          const double v = p.Height / 2 - (-(a - p.CenterX) * s + (b - p.CenterY) * c);
          const double ci = u / dx, ri = v / dy;
          ASSERT_EQ(int32_t(std::floor(ci + 1e-9)), column / n) << column << "," << row;
          ASSERT_EQ(int32_t(std::floor(ri + 1e-9)), row / n) << column << "," << row;
          // Where in the cell: a / N and b / N of a pixel from its sample corner.
          EXPECT_NEAR(ci - column / n, double(column % n) / n, 1e-9);
          EXPECT_NEAR(ri - row / n, double(row % n) / n, 1e-9);
          if (column % n == 0 && row % n == 0) {  // the pixel's own sample point
            double pa, pb;
            plain.MapPixel(column / n, p.PictureHeight - row / n, pa, pb);
            EXPECT_NEAR(pa, a, 1e-12);
            EXPECT_NEAR(pb, b, 1e-12);
          }
        }
    }
}

TEST(Supersample, SubPixelBlockIsAFreshBlockOfTheSameRegion) {
  TCalcParams p = Region(10), fresh = p;
  p.State = StatePaused, p.ProgressRow = 3, p.IterationsDone = 156;
  fresh.PictureWidth *= 4, fresh.PictureHeight *= 4;
  EXPECT_EQ(SubPixelBlock(p, 4), fresh);
  EXPECT_THROW(SubPixelBlock(p, 0), std::invalid_argument);
  EXPECT_THROW(SubPixelBlock(p, 9), std::invalid_argument);
}

TEST(Supersample, LinearLightOfKnownLevels) {
  EXPECT_EQ(SrgbToLinear(0), 0.0);
  EXPECT_EQ(SrgbToLinear(255), 1.0);
  EXPECT_NEAR(SrgbToLinear(10), 10 / 255.0 / 12.92, 1e-15);  // the straight part
  EXPECT_NEAR(SrgbToLinear(128), 0.2158605, 1e-7);
  EXPECT_EQ(LinearToSrgb(0.5), 188);  // half of white's light is far lighter than level 128
  EXPECT_EQ(LinearToSrgb(-1), 0);
  EXPECT_EQ(LinearToSrgb(2), 255);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(LinearToSrgb(SrgbToLinear(uint8_t(v))), v) << v;
}

struct Collected {
  std::vector<int32_t> rows;
  std::vector<std::vector<uint8_t>> pixels;
};

SupersampleRows::RowSink Collect(Collected& c, int32_t width) {
  return [&c, width](int32_t row, const uint8_t* bgr) {
    c.rows.push_back(row);
    c.pixels.emplace_back(bgr, bgr + 3 * width);
  };
}

TEST(Supersample, OneSubPixelGivesThePlainColours) {
  TCalcParams p = Region(0);
  Collected got;
  SupersampleRows rows(p, 1, Collect(got, p.PictureWidth));
  std::vector<double> e(size_t(p.PictureWidth) * p.PictureHeight);
  for (size_t k = 0; k < e.size(); ++k) e[k] = -1.2 + 0.04 * double(k);  // across the whole list
  rows.Add(0, e.data(), 10);
  rows.Add(10, e.data() + 10, int32_t(e.size()) - 10);
  ASSERT_TRUE(rows.Complete());
  ASSERT_EQ(got.rows, (std::vector<int32_t>{0, 1, 2, 3, 4}));
  for (size_t k = 0; k < e.size(); ++k) {
    const uint32_t colour = ColorForExponent(p.ColorList, uint32_t(p.BelowColor), uint32_t(p.AboveColor), e[k]);
    const uint8_t* px = &got.pixels[k / 7][3 * (k % 7)];
    EXPECT_EQ(px[0] | (px[1] << 8) | (uint32_t(px[2]) << 16),
              ((colour & 0xFF) << 16) | (colour & 0xFF00) | (colour >> 16))
        << k;
  }
}

TEST(Supersample, AveragesInLinearLightChannelByChannel) {
  TCalcParams p = Region(0);
  p.PictureWidth = 2, p.PictureHeight = 1;
  p.SetColors({{0x0000FF, 0.0}, {0x00FF00, 1.0}});  // red at 0, green at 1, black below, white above
  p.BelowColor = 0x000000, p.AboveColor = 0xFFFFFF;
  Collected got;
  SupersampleRows rows(p, 2, Collect(got, 2));
  // Sub-pixel rows of 4: pixel 0 gets red, green, black, white; pixel 1 four times red.
  const double top[4] = {0.0, 1.0, 0.0, 0.0}, bottom[4] = {-5, 5, 0.0, 0.0};
  rows.Add(0, top, 4);
  EXPECT_TRUE(got.rows.empty());  // the output row needs both sub-pixel rows
  EXPECT_THROW(rows.Add(5, bottom, 3), std::logic_error);
  rows.Add(4, bottom, 4);
  ASSERT_EQ(got.rows.size(), 1u);
  // Blue: one white of four; green: green and white; red: red and white.
  const uint8_t quarter = LinearToSrgb(0.25), half = LinearToSrgb(0.5);
  EXPECT_EQ(got.pixels[0], (std::vector<uint8_t>{quarter, half, half, 0, 0, 255}));
  EXPECT_EQ(quarter, 137);
  // A writer may ask for a row again.
  rows.StartAtRow(0);
  rows.Add(0, top, 4);
  rows.Add(4, bottom, 4);
  EXPECT_EQ(got.pixels[1], got.pixels[0]);
}

// Record k holds the exponent k / 1000 and colours pixel (k mod width, k div width).
TEST(RecolourTest, RecordsColourTheirPixelsRowByRowAndThePositionComesBack) {
  struct Case {
    int32_t width, height;
    int64_t records;
    std::vector<int64_t> rowStarts;  // the first few
    int64_t rowCount;
  };
  const Case cases[] = {
      {7, 3, 17, {0, 7, 14}, 3},              // a picture stopped in its third row
      {7, 3, 26, {0, 7, 14}, 3},              // a longer file stops at the last pixel
      {7, 3000, 21000, {0, 7, 14}, 3000},     // rows across the 10000-record blocks
      {9973, 3, 29919, {0, 9973, 19946}, 3},  // a row wider than a block
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + ", " + std::to_string(c.records));
    test::TempDir dir;
    PixelDataFile tmp1;
    tmp1.Create(dir.file("x.TMP1"));
    std::vector<double> values(static_cast<size_t>(c.records));
    for (int64_t k = 0; k < c.records; ++k) values[size_t(k)] = double(k) / 1000.0;
    tmp1.Write(values.data(), values.size());
    tmp1.Seek(5);

    TCalcParams p = DefaultCalcParams();
    p.PictureWidth = c.width, p.PictureHeight = c.height;
    p.SetColors({{0x000000, 0.0}, {0xFFFFFF, 100.0}});
    p.BelowColor = 0x0000FF, p.AboveColor = 0xFF0000;
    TPicture picture;
    picture.Resize(c.width, c.height);
    picture.Fill(0x123456);

    std::vector<int64_t> starts;
    const int64_t used = RecolourPicture(tmp1, p, picture, [&](int64_t k, int64_t total) {
      EXPECT_EQ(total, std::min<int64_t>(c.records, int64_t(c.width) * c.height));
      starts.push_back(k);
    });
    const int64_t total = std::min<int64_t>(c.records, int64_t(c.width) * c.height);
    EXPECT_EQ(used, total);
    EXPECT_EQ(tmp1.Position(), 5);
    ASSERT_EQ(int64_t(starts.size()), c.rowCount);
    EXPECT_EQ(std::vector<int64_t>(starts.begin(), starts.begin() + 3), c.rowStarts);
    for (int64_t k : {int64_t(0), total / 2, total - 1, total}) {
      if (k >= int64_t(c.width) * c.height) continue;
      const int32_t x = int32_t(k % c.width), y = int32_t(k / c.width);
      const uint32_t expected = k < total ? ColorForExponent(p.ColorList, 0x0000FF, 0xFF0000, double(k) / 1000.0)
                                          : 0x123456;  // no record: kept
      EXPECT_EQ(picture.Pixel(x, y), expected) << "record " << k;
    }
  }
}

TEST(RecolourTest, AnEmptyListOrAPictureOfAnotherSizeIsRefusedAndTheStatusText) {
  test::TempDir dir;
  PixelDataFile tmp1;
  tmp1.Create(dir.file("x.TMP1"));
  const double values[4] = {1, 2, 3, 4};
  tmp1.Write(values, 4);
  TCalcParams p = DefaultCalcParams();
  p.PictureWidth = p.PictureHeight = 2;
  TPicture picture, wrongSize;
  picture.Resize(2, 2);
  wrongSize.Resize(3, 2);
  p.SetColors({});
  EXPECT_THROW(RecolourPicture(tmp1, p, picture, nullptr), FormatError);
  p.SetColors(DefaultColorList());
  EXPECT_THROW(RecolourPicture(tmp1, p, wrongSize, nullptr), FormatError);
  EXPECT_EQ(tmp1.Position(), 4);
  EXPECT_EQ(RecolourStatusText(0, 400), "progress:0,00%");
  EXPECT_EQ(RecolourStatusText(103, 400), "progress:25,80%");  // 25.75 to 3 digits
  EXPECT_EQ(RecolourBarPosition(103, 400), 2600);
  EXPECT_EQ(RecolourBarPosition(1, 3), 3300);
}

}  // namespace
}  // namespace vantorel
