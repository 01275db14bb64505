#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "app/PictureFile.h"
#include "core/IoError.h"
#include "core/SafeFile.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

uint32_t U32(const std::vector<unsigned char>& b, size_t o) {
  return uint32_t(b.at(o)) | uint32_t(b.at(o + 1)) << 8 | uint32_t(b.at(o + 2)) << 16 |
         uint32_t(b.at(o + 3)) << 24;
}

TPicture Gradient(int32_t w, int32_t h) {
  TPicture p;
  p.Resize(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      p.SetPixel(x, y, uint32_t(x * 40 % 256) | uint32_t(y * 60 % 256) << 8 | 0x800000u);
  return p;
}

size_t EntriesIn(const std::filesystem::path& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

// Makes every write beyond `bytes` fail with EFBIG (works for any user, root included).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

TEST(PictureType, FollowsTheExtension) {
  PictureType t{};
  ASSERT_TRUE(PictureTypeForPath("a/b.BMP", t));
  EXPECT_EQ(t, PictureType::Bitmap);
  ASSERT_TRUE(PictureTypeForPath("x.jpeg", t));
  EXPECT_EQ(t, PictureType::Jpeg);
  ASSERT_TRUE(PictureTypeForPath("x.Jpg", t));
  EXPECT_EQ(t, PictureType::Jpeg);
  EXPECT_FALSE(PictureTypeForPath("x.png", t));
  EXPECT_FALSE(PictureTypeForPath("dir.bmp/x", t));
}

TEST(Bitmap, HeaderDescribesAnUncompressed24BitBottomUpPicture) {
  TempDir dir;
  const TPicture pic = Gradient(5, 3);  // rows of 15 bytes padded to 16
  SaveBitmap(dir.file("a.bmp"), pic);
  const auto b = ReadBytes(dir.file("a.bmp"));
  ASSERT_EQ(b.size(), 54u + 16 * 3);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32(b, 2), b.size());
  EXPECT_EQ(U32(b, 10), 54u);
  EXPECT_EQ(U32(b, 14), 40u);
  EXPECT_EQ(U32(b, 18), 5u);
  EXPECT_EQ(U32(b, 22), 3u);
  EXPECT_EQ(b[26] | b[27] << 8, 1);
  EXPECT_EQ(b[28] | b[29] << 8, 24);
  EXPECT_EQ(U32(b, 30), 0u);
  EXPECT_EQ(U32(b, 34), 48u);
  // The first stored row is the bottom row; pixel (1, 2) is blue, green, red.
  const uint32_t c = pic.Pixel(1, 2);
  EXPECT_EQ(b[54 + 3], (c >> 16) & 0xFF);
  EXPECT_EQ(b[54 + 4], (c >> 8) & 0xFF);
  EXPECT_EQ(b[54 + 5], c & 0xFF);
  EXPECT_EQ(b[54 + 15], 0);  // row padding
}

TEST(Bitmap, ReadsBackTheSamePixels) {
  TempDir dir;
  const TPicture pic = Gradient(7, 4);
  SaveBitmap(dir.file("a.bmp"), pic);
  const TPicture back = LoadBitmap(dir.file("a.bmp"));
  EXPECT_EQ(back.Width, 7);
  EXPECT_EQ(back.Height, 4);
  EXPECT_EQ(back.Bits, pic.Bits);
}

TEST(Jpeg, IsAColourJpegFile) {
  TempDir dir;
  SaveJpeg(dir.file("a.jpg"), Gradient(40, 30));
  const auto b = ReadBytes(dir.file("a.jpg"));
  ASSERT_GT(b.size(), 100u);
  EXPECT_EQ(b[0], 0xFF);
  EXPECT_EQ(b[1], 0xD8);
  EXPECT_EQ(b[b.size() - 2], 0xFF);
  EXPECT_EQ(b[b.size() - 1], 0xD9);
  // The frame header (SOF0) says 30 x 40 with three components.
  for (size_t k = 2; k + 9 < b.size(); ++k) {
    if (b[k] == 0xFF && b[k + 1] == 0xC0) {
      EXPECT_EQ(b[k + 5] << 8 | b[k + 6], 30);
      EXPECT_EQ(b[k + 7] << 8 | b[k + 8], 40);
      EXPECT_EQ(b[k + 9], 3);
      return;
    }
  }
  ADD_FAILURE() << "no baseline frame header";
}

TEST(Jpeg, TooLargeAPictureIsRefusedClearly) {
  TempDir dir;
  TPicture pic;
  pic.Resize(70000, 1);
  EXPECT_THROW(SaveJpeg(dir.file("a.jpg"), pic), FormatError);
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
}

TEST(SafeWrite, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("old.bmp");
  WriteBytes(path, {'o', 'l', 'd'});
  {
    FileSizeLimit limit(1000);
    EXPECT_THROW(SaveBitmap(path, Gradient(100, 100)), IoError);
    EXPECT_THROW(SaveJpeg(path, Gradient(400, 400)), IoError);
  }
  EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(SafeWrite, UncommittedFileIsDiscarded) {
  TempDir dir;
  const std::string path = dir.file("x");
  WriteBytes(path, {'1'});
  {
    SafeFile f(path);
    f.Write("22", 2);
    EXPECT_EQ(EntriesIn(dir.path()), 2u);
  }
  EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{'1'}));
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
  WriteFileSafely(path, "22", 2);
  EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{'2', '2'}));
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(SafeWrite, MessageCarriesTheSystemsReason) {
  TempDir dir;
  try {
    WriteFileSafely(dir.file("none/x"), "1", 1);
    ADD_FAILURE();
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace vantorel
