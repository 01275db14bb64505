#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "app/PictureFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using Bytes = std::vector<unsigned char>;

class PictureFileTest : public ::testing::Test {
 protected:
  static TPicture Gradient(int32_t w, int32_t h) {
    TPicture p;
    p.Resize(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        p.SetPixel(x, y, uint32_t(x * 40 % 256) | uint32_t(y * 60 % 256) << 8 | 0x800000u);
    return p;
  }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.path()), {}));
  }
  test::TempDir dir;
};

TEST(PictureType, FollowsTheExtensionInAnyCase) {
  PictureType t{};
  EXPECT_TRUE(PictureTypeForPath("a/b.BMP", t) && t == PictureType::Bitmap);
  EXPECT_TRUE(PictureTypeForPath("x.jpeg", t) && t == PictureType::Jpeg);
  EXPECT_TRUE(PictureTypeForPath("x.Jpg", t) && t == PictureType::Jpeg);
  EXPECT_FALSE(PictureTypeForPath("x.png", t) || PictureTypeForPath("dir.bmp/x", t));
}

TEST_F(PictureFileTest, BitmapIsUncompressed24BitBottomUpAndReadsBack) {
  const TPicture pic = Gradient(5, 3);  // rows of 15 bytes padded to 16
  SaveBitmap(dir.file("a.bmp"), pic);
  const Bytes b = ReadBytes(dir.file("a.bmp"));
  ASSERT_EQ(b.size(), 54u + 16 * 3);
  auto u32 = [&](size_t o) {
    return uint32_t(b[o] | b[o + 1] << 8 | b[o + 2] << 16) | uint32_t(b[o + 3]) << 24;
  };
  EXPECT_EQ(std::string(b.begin(), b.begin() + 2), "BM");
  // file size, data offset, header size, width, height, planes and bits, compression, image size
  for (auto [at, value] : {std::pair<size_t, uint32_t>{2, 102}, {10, 54}, {14, 40}, {18, 5},
                           {22, 3}, {26, 1 | 24 << 16}, {30, 0}, {34, 48}})
    EXPECT_EQ(u32(at), value) << "offset " << at;
  // The first stored row is the bottom row; pixel (1, 2) is blue, green, red; then row padding.
  const uint32_t c = pic.Pixel(1, 2);
  EXPECT_EQ(Bytes(b.begin() + 57, b.begin() + 60),
            (Bytes{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)}));
  EXPECT_EQ(b[54 + 15], 0);
  const TPicture back = LoadBitmap(dir.file("a.bmp"));
  EXPECT_EQ(back.Width, 5);
  EXPECT_EQ(back.Height, 3);
  EXPECT_EQ(back.Bits, pic.Bits);
}

TEST_F(PictureFileTest, JpegIsAColourBaselineFileAndTooLargeAPictureIsRefused) {
  SaveJpeg(dir.file("a.jpg"), Gradient(40, 30));
  const Bytes b = ReadBytes(dir.file("a.jpg"));
  ASSERT_GT(b.size(), 100u);
  EXPECT_EQ(b[0] << 8 | b[1], 0xFFD8);
  EXPECT_EQ(b[b.size() - 2] << 8 | b[b.size() - 1], 0xFFD9);
  size_t k = 2;  // the frame header (SOF0): 30 x 40, three components
  while (k + 9 < b.size() && !(b[k] == 0xFF && b[k + 1] == 0xC0)) ++k;
  ASSERT_LT(k + 9, b.size()) << "no baseline frame header";
  EXPECT_EQ(Bytes(b.begin() + k + 5, b.begin() + k + 10), (Bytes{0, 30, 0, 40, 3}));
  // Larger than JPEG allows: refused without a file.
  TPicture pic;
  pic.Resize(70000, 1);
  EXPECT_THROW(SaveJpeg(dir.file("b.jpg"), pic), FormatError);
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(PictureFileTest, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  const std::string path = dir.file("old.bmp");
  WriteBytes(path, {'o', 'l', 'd'});
  // Every write beyond 1000 bytes fails with EFBIG (for any user, root included).
  const sighandler_t oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const rlimit limit{1000, old.rlim_max};
  setrlimit(RLIMIT_FSIZE, &limit);
  std::string what;
  try {
    SaveBitmap(path, Gradient(100, 100));
  } catch (const IoError& e) {
    what = e.what();
  }
  EXPECT_THROW(SaveJpeg(path, Gradient(400, 400)), IoError);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_NE(what.find("File too large"), std::string::npos) << what;  // the system's reason
  EXPECT_EQ(ReadBytes(path), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(Entries(), 1u);
}

}  // namespace
}  // namespace vantorel
