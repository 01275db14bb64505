// Recolouring a picture from its exponent file.
#include <gtest/gtest.h>

#include <vector>

#include "core/ColorMapping.h"
#include "colour/Recolour.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

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
    p.PictureWidth = c.width;
    p.PictureHeight = c.height;
    p.SetColors({{0x000000, 0.0}, {0xFFFFFF, 100.0}});
    p.BelowColor = 0x0000FF;
    p.AboveColor = 0xFF0000;
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

TEST(RecolourTest, StatusTextAndBar) {
  EXPECT_EQ(RecolourStatusText(0, 400), "progress:0,00%");
  EXPECT_EQ(RecolourStatusText(103, 400), "progress:25,80%");  // 25.75 to 3 digits
  EXPECT_EQ(RecolourBarPosition(103, 400), 2600);
  EXPECT_EQ(RecolourBarPosition(1, 3), 3300);
}

TEST(RecolourTest, AnEmptyListOrAPictureOfAnotherSizeIsRefused) {
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
}

}  // namespace
}  // namespace vantorel
