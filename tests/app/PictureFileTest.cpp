#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "app/ProjectFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using Bytes = std::vector<unsigned char>;

TPicture Gradient(int32_t w, int32_t h) {
  TPicture p;
  p.Resize(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) p.SetPixel(x, y, uint32_t(x * 255 / w) | uint32_t(y * 255 / h) << 8 | 0x800000u);
  return p;
}

// A JPEG decoder for checking what was written (libjpeg's own error handling is fine here).
TPicture LoadJpegForTest(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot open " + path);
  jpeg_decompress_struct info;
  jpeg_error_mgr err;
  info.err = jpeg_std_error(&err);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, f);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  TPicture p;
  p.Resize(int32_t(info.output_width), int32_t(info.output_height));
  std::vector<uint8_t> row(info.output_width * 3);
  while (info.output_scanline < info.output_height) {
    const int32_t y = int32_t(info.output_scanline);
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&info, &r, 1);
    for (int32_t x = 0; x < p.Width; ++x)
      p.SetPixel(x, y, row[3 * x] | row[3 * x + 1] << 8 | uint32_t(row[3 * x + 2]) << 16);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(f);
  return p;
}

int LargestChannelDifference(const TPicture& a, const TPicture& b) {
  int most = 0;
  for (int32_t y = 0; y < a.Height; ++y)
    for (int32_t x = 0; x < a.Width; ++x)
      for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(int(a.Pixel(x, y) >> shift & 255) - int(b.Pixel(x, y) >> shift & 255)));
  return most;
}

struct TypeCase {
  PictureType type;
  const char* name;
  TPicture (*load)(const std::string&);
  int tolerance;  // per colour channel
};
const TypeCase kTypes[] = {{PictureType::Bitmap, "a.bmp", LoadBitmap, 0},
                           {PictureType::Jpeg, "a.jpg", LoadJpegForTest, 12},
                           {PictureType::Png, "a.png", LoadPng, 0}};

class PictureFileTest : public ::testing::Test {
 protected:
  size_t Entries() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
  }
  test::TempDir dir;
};

TEST(PictureType, FollowsTheExtensionInAnyCase) {
  for (auto [path, wanted] : {std::pair<const char*, PictureType>{"a/b.BMP", PictureType::Bitmap},
                              {"x.jpeg", PictureType::Jpeg},
                              {"x.Jpg", PictureType::Jpeg},
                              {"y.PnG", PictureType::Png}}) {
    PictureType t{};
    EXPECT_TRUE(PictureTypeForPath(path, t) && t == wanted) << path;
  }
  PictureType t{};
  EXPECT_FALSE(PictureTypeForPath("x.gif", t) || PictureTypeForPath("dir.bmp/x", t));
}

// Every type reads back as written (JPEG within its loss), asking the source for each row once
// and in the order it stores them.
TEST_F(PictureFileTest, EveryTypeReadsBackAndTakesTheRowsOneByOne) {
  const TPicture pic = Gradient(37, 23);  // rows of 111 bytes: a bitmap pads them to 112
  for (const TypeCase& c : kTypes) {
    std::vector<int32_t> asked;
    PictureRows rows = RowsOf(pic);
    rows.Row = [&](int32_t y, uint8_t* bgr) {
      asked.push_back(y);
      std::memcpy(bgr, pic.Row(y), 37 * 3);
    };
    SavePicture(dir.file(c.name), rows, c.type);
    std::vector<int32_t> expected;
    for (int32_t y = 0; y < 23; ++y) expected.push_back(c.type == PictureType::Bitmap ? 22 - y : y);
    EXPECT_EQ(asked, expected) << c.name;
    const TPicture back = c.load(dir.file(c.name));
    ASSERT_EQ(back.Width, 37) << c.name;
    ASSERT_EQ(back.Height, 23) << c.name;
    EXPECT_LE(LargestChannelDifference(back, pic), c.tolerance) << c.name;
  }
}

TEST_F(PictureFileTest, BitmapIsUncompressed24BitBottomUp) {
  const TPicture pic = Gradient(5, 3);  // rows of 15 bytes padded to 16
  SaveBitmap(dir.file("a.bmp"), pic);
  const Bytes b = ReadBytes(dir.file("a.bmp"));
  ASSERT_EQ(b.size(), 54u + 16 * 3);
  auto u32 = [&](size_t o) { return uint32_t(b[o] | b[o + 1] << 8 | b[o + 2] << 16) | uint32_t(b[o + 3]) << 24; };
  EXPECT_EQ(std::string(b.begin(), b.begin() + 2), "BM");
  // file size, data offset, header size, width, height, planes and bits, compression, image size
  for (auto [at, value] : {std::pair<size_t, uint32_t>{2, 102},
                           {10, 54},
                           {14, 40},
                           {18, 5},
                           {22, 3},
                           {26, 1 | 24 << 16},
                           {30, 0},
                           {34, 48}})
    EXPECT_EQ(u32(at), value) << "offset " << at;
  // The first stored row is the bottom row; pixel (1, 2) is blue, green, red; then row padding.
  const uint32_t c = pic.Pixel(1, 2);
  EXPECT_EQ(Bytes(b.begin() + 57, b.begin() + 60), (Bytes{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)}));
  EXPECT_EQ(b[54 + 15], 0);
}

// A PNG carries the parameter block; loading parameters and the renderer's project loader
// take it back as the settings of the picture.
TEST_F(PictureFileTest, PngCarriesTheParameterBlockBackToTheLoaders) {
  TCalcParams p = DefaultCalcParams();
  p.SetFormula("AB*X*(1-X)"), p.SetSequence({0, 1, 1});
  p.CenterX = 3.25, p.PictureWidth = 40, p.PictureHeight = 30, p.Reserved[86] = 7;
  const std::vector<uint8_t> block = EncodeParameterBlock(p, BlockForm::Parameters);
  const std::string path = dir.file("picture.png");
  SavePng(path, RowsOf(Gradient(40, 30)), block);

  EXPECT_TRUE(IsPngFile(path));
  EXPECT_EQ(ReadPngParameterBlock(path), block);
  EXPECT_EQ(EncodeParameterBlock(LoadParameterFile(path), BlockForm::Parameters), block);
  PixelDataFile tmp1, tmp2;
  tmp1.Create(dir.file("x.TMP1")), tmp2.Create(dir.file("x.TMP2"));
  tmp1.Write(std::vector<double>(5, 1.0).data(), 5);
  EXPECT_EQ(EncodeParameterBlock(LoadProject(path, tmp1, tmp2), BlockForm::Parameters), block);
  EXPECT_EQ(tmp1.RecordCount(), 0);  // a picture brings no pixel data

  // A PNG without a block, and files that are no PNG, are refused with their reason.
  SavePng(dir.file("plain.png"), RowsOf(Gradient(4, 4)));
  WriteBytes(dir.file("fake.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0});
  WriteBytes(dir.file("x.Par"), {1, 2, 3});
  for (auto [file, reason] : {std::pair<const char*, const char*>{"plain.png", "carries no parameters"},
                              {"fake.png", "damaged PNG"},
                              {"x.Par", "not a PNG"}}) {
    EXPECT_THAT(test::ErrorOf<FormatError>([&] { ReadPngParameterBlock(dir.file(file)); }), testing::HasSubstr(reason));
  }
  EXPECT_FALSE(IsPngFile(dir.file("x.Par")));
  EXPECT_THROW(LoadParameterFile(dir.file("plain.png")), FormatError);
}

// Sizes a type cannot hold are refused before a file is made or a row is asked for.
TEST_F(PictureFileTest, SizesATypeCannotHoldAreRefusedWithoutAFile) {
  struct Case {
    PictureType type;
    int32_t w, h;
    const char* reason;
  } cases[] = {{PictureType::Jpeg, 65501, 1, "65500 pixels"},
               {PictureType::Jpeg, 1, 65501, "65500 pixels"},
               {PictureType::Bitmap, 100000, 14317, "4 GB"},  // 300 000 bytes a row: 4.29e9 bytes
               {PictureType::Png, 0, 5, "no picture"}};
  for (const Case& c : cases) {
    PictureRows rows{c.w, c.h, [](int32_t, uint8_t*) { FAIL() << "a row was asked for"; }};
    EXPECT_THAT(test::ErrorOf<FormatError>([&] { SavePicture(dir.file("big"), rows, c.type); }),
                testing::HasSubstr(c.reason));
  }
  EXPECT_EQ(Entries(), 0u);
  // The largest sizes that fit are written.
  EXPECT_NO_THROW(CheckPictureSize(100000, 14316, PictureType::Bitmap));
  TPicture wide;
  wide.Resize(65500, 1);
  SaveJpeg(dir.file("wide.jpg"), wide);
  EXPECT_EQ(LoadJpegForTest(dir.file("wide.jpg")).Width, 65500);
}

// A row source that fails leaves the old file as it was and no temporary file (a file system
// that refuses to let the file grow is in FailedWriteTest).
TEST_F(PictureFileTest, FailingRowSourceLeavesTheOldFileAndNoTemporaryFile) {
  PictureRows failing = RowsOf(Gradient(400, 400));
  failing.Row = [](int32_t y, uint8_t*) {
    if (y == 200) throw IoError("the rows ran out");
  };
  for (const TypeCase& c : kTypes) {
    const std::string path = dir.file(c.name);
    WriteBytes(path, {'o', 'l', 'd'});
    EXPECT_THROW(SavePicture(path, failing, c.type), IoError) << c.name;
    EXPECT_EQ(ReadBytes(path), (Bytes{'o', 'l', 'd'})) << c.name;
    EXPECT_EQ(Entries(), 1u) << c.name;
    std::filesystem::remove(path);
  }
}

}  // namespace
}  // namespace vantorel
