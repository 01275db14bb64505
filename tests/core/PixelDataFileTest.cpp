#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "core/IoError.h"
#include "core/PixelDataFile.h"
#include "support/TestSupport.h"

using namespace vantorel;
using testing::HasSubstr;
using testing::ThrowsMessage;

namespace {

class PixelDataFileTest : public testing::Test {
 protected:
  void SetUp() override { file.Create(path); }
  // Makes the file records 0..count-1, record k holding k.
  void FillWithIndices(int64_t count) {
    std::vector<double> values(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k) values[static_cast<size_t>(k)] = double(k);
    file.Clear();
    file.Write(values.data(), values.size());
  }
  test::TempDir dir;
  const std::string path = dir.file("p.TMP1");
  PixelDataFile file;
};

}  // namespace

TEST_F(PixelDataFileTest, LittleEndianRecordsWithoutHeaderAndSeekReadWritePositionalAccessAndClear) {
  const double values[2] = {1.0, -2.5};
  file.Write(values, 2);
  const std::vector<unsigned char> expected = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0x04, 0xC0};
  EXPECT_EQ(test::ReadBytes(path), expected);
  EXPECT_EQ(file.RecordCount(), 2);
  EXPECT_EQ(file.Position(), 2);
  FillWithIndices(10);
  double v[4] = {};
  file.Seek(7);
  EXPECT_EQ(file.Read(v, 4), 3u);  // only three records remain
  EXPECT_EQ(v[0], 7.0);
  EXPECT_EQ(v[2], 9.0);
  EXPECT_EQ(file.Position(), 10);
  // Positional access leaves the position alone.
  const double w = 42.0;
  file.WriteAt(3, &w, 1);
  EXPECT_EQ(file.ReadAt(2, v, 3), 3u);
  EXPECT_EQ(v[1], 42.0);
  EXPECT_EQ(file.ReadAt(20, v, 3), 0u);
  EXPECT_EQ(file.Position(), 10);
  file.Rewind();  // keeps the records
  EXPECT_EQ(file.RecordCount(), 10);
  file.Seek(5);
  file.Clear();
  EXPECT_EQ(file.Position(), 0);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(PixelDataFileTest, FailuresRaiseTheSystemsMessage) {
  PixelDataFile other;
  EXPECT_THROW(other.Create(dir.file("missing/p.TMP1")), IoError);
  EXPECT_THROW(other.Open(dir.path().string()), IoError);  // a directory
  double v = 0;
  EXPECT_THAT([&] { other.Seek(0); }, ThrowsMessage<IoError>(HasSubstr("Bad file descriptor")));  // still closed
  EXPECT_THROW(other.Read(&v, 1), IoError);
  EXPECT_THROW(other.Write(&v, 1), IoError);
  EXPECT_THROW(other.RecordCount(), IoError);
  EXPECT_THROW(file.Seek(-1), IoError);
  if (std::filesystem::exists("/dev/full")) {
    other.Open("/dev/full");
    EXPECT_THAT([&] { other.Write(&v, 1); }, ThrowsMessage<IoError>(HasSubstr("No space left on device")));
  }
}

TEST_F(PixelDataFileTest, PreviewScalesThePictureToFitAndCentresIt) {
  // s: picture pixels per preview cell. Records missing from TMP1 (and cells outside the
  // picture) show 0; halves round to even (58.5 -> 58).
  struct Case {
    int32_t width, height;
    int64_t records;
    double s;
    int pw, ph;
  } cases[] = {
      {194, 154, 194 * 154, 154.0 / 119.0, 150, 119},
      {100, 60, 100 * 30, 60.0 / 105.0, 175, 105},  // only the upper half computed
      {117, 238, 117 * 238, 2.0, 58, 119},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    FillWithIndices(c.records);
    file.Seek(1234);
    PreviewGrid grid;
    grid.Values.fill(-1.0);
    const PreviewSize size = SamplePreview(file, c.width, c.height, grid);
    EXPECT_EQ(size.Width, c.pw);
    EXPECT_EQ(size.Height, c.ph);
    EXPECT_EQ(file.Position(), 1234);
    const int left = (PreviewGrid::Columns - c.pw) / 2, top = (PreviewGrid::Rows - c.ph) / 2;
    for (int i = 0; i < PreviewGrid::Columns; ++i)
      for (int j = 0; j < PreviewGrid::Rows; ++j) {
        const int x = i - left, y = j - top;
        double expected = 0.0;
        if (x >= 0 && x < c.pw && y >= 0 && y < c.ph) {
          const double k = std::rint(x * c.s) + std::rint(y * c.s) * c.width;
          expected = k < c.records ? k : 0.0;
        }
        ASSERT_EQ(grid.At(i, j), expected) << "cell " << i << "," << j;
      }
  }
}
