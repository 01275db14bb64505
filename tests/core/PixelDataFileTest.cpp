#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "core/IoError.h"
#include "core/PixelDataFile.h"
#include "support/TestSupport.h"

using namespace vantorel;
using vantorel::test::ReadBytes;
using vantorel::test::TempDir;

namespace {

// A file whose record k holds k.
void FillWithIndices(PixelDataFile& file, int64_t count) {
  std::vector<double> values(static_cast<size_t>(count));
  for (int64_t k = 0; k < count; ++k) values[static_cast<size_t>(k)] = double(k);
  file.Rewind();
  file.Write(values.data(), values.size());
}

}  // namespace

TEST(PixelDataFile, RecordsAreLittleEndianDoublesWithoutHeader) {
  TempDir dir;
  PixelDataFile file;
  file.Create(dir.file("p.TMP1"));
  const double values[2] = {1.0, -2.5};
  file.Write(values, 2);
  const std::vector<unsigned char> bytes = ReadBytes(dir.file("p.TMP1"));
  const std::vector<unsigned char> expected = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0x04, 0xC0};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(file.RecordCount(), 2);
  EXPECT_EQ(file.Position(), 2);
}

TEST(PixelDataFile, SeekReadWriteAndPositionalAccess) {
  TempDir dir;
  PixelDataFile file;
  file.Create(dir.file("p.TMP1"));
  FillWithIndices(file, 10);
  double v[4] = {};
  file.Seek(7);
  EXPECT_EQ(file.Read(v, 4), 3u);  // only three records remain
  EXPECT_EQ(v[0], 7.0);
  EXPECT_EQ(v[2], 9.0);
  EXPECT_EQ(file.Position(), 10);

  const double w = 42.0;
  file.WriteAt(3, &w, 1);
  EXPECT_EQ(file.Position(), 10);
  EXPECT_EQ(file.ReadAt(2, v, 3), 3u);
  EXPECT_EQ(v[0], 2.0);
  EXPECT_EQ(v[1], 42.0);
  EXPECT_EQ(file.ReadAt(20, v, 3), 0u);
}

TEST(PixelDataFile, ClearTruncatesAndRewindKeeps) {
  TempDir dir;
  PixelDataFile file;
  file.Create(dir.file("p.TMP1"));
  FillWithIndices(file, 10);
  file.Rewind();
  EXPECT_EQ(file.Position(), 0);
  EXPECT_EQ(file.RecordCount(), 10);
  file.Seek(5);
  file.Clear();
  EXPECT_EQ(file.Position(), 0);
  EXPECT_EQ(file.RecordCount(), 0);
  EXPECT_EQ(std::filesystem::file_size(dir.file("p.TMP1")), 0u);
}

TEST(PixelDataFile, FailuresRaiseTheSystemsMessage) {
  TempDir dir;
  PixelDataFile file;
  EXPECT_THROW(file.Create(dir.file("missing/p.TMP1")), IoError);
  EXPECT_THROW(file.Open(dir.path().string()), IoError);  // a directory

  // A closed file.
  double v = 0;
  try {
    file.Seek(0);
    FAIL() << "seek on a closed file";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find("Bad file descriptor"), std::string::npos) << e.what();
  }
  EXPECT_THROW(file.Read(&v, 1), IoError);
  EXPECT_THROW(file.Write(&v, 1), IoError);
  EXPECT_THROW(file.RecordCount(), IoError);

  file.Create(dir.file("p.TMP1"));
  EXPECT_THROW(file.Seek(-1), IoError);

  // A full device.
  if (std::filesystem::exists("/dev/full")) {
    PixelDataFile full;
    full.Open("/dev/full");
    try {
      full.Write(&v, 1);
      FAIL() << "write to a full device";
    } catch (const IoError& e) {
      EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
    }
  }
}

TEST(PixelDataFile, PreviewOfALargerPictureIsScaledDownAndCentred) {
  TempDir dir;
  PixelDataFile file;
  file.Create(dir.file("p.TMP1"));
  FillWithIndices(file, 194 * 154);
  file.Seek(1234);
  PreviewGrid grid;
  grid.Values.fill(-1.0);
  const PreviewSize size = SamplePreview(file, 194, 154, grid);
  EXPECT_EQ(size.Width, 150);
  EXPECT_EQ(size.Height, 119);
  EXPECT_EQ(file.Position(), 1234);
  const double s = 154.0 / 119.0;
  // Columns 12..161 hold records; the rest are 0.
  EXPECT_EQ(grid.At(11, 50), 0.0);
  EXPECT_EQ(grid.At(162, 50), 0.0);
  EXPECT_EQ(grid.At(12, 0), 0.0);  // record 0
  for (int x : {0, 1, 75, 149})
    for (int y : {0, 60, 118})
      EXPECT_EQ(grid.At(12 + x, y), std::rint(x * s) + std::rint(y * s) * 194) << x << "," << y;
}

TEST(PixelDataFile, PreviewOfASmallerPictureRepeatsRecords) {
  TempDir dir;
  PixelDataFile file;
  file.Create(dir.file("p.TMP1"));
  FillWithIndices(file, 100 * 30);  // only the upper half computed
  PreviewGrid grid;
  const PreviewSize size = SamplePreview(file, 100, 60, grid);
  EXPECT_EQ(size.Width, 175);
  EXPECT_EQ(size.Height, 105);
  const double s = 60.0 / 105.0;
  EXPECT_EQ(grid.At(100, 6), 0.0);  // above the picture
  EXPECT_EQ(grid.At(174, 7), std::rint(174 * s));
  EXPECT_EQ(grid.At(1, 8), std::rint(1 * s) + std::rint(1 * s) * 100);
  EXPECT_EQ(grid.At(0, 7 + 51), std::rint(51 * s) * 100);  // row 29, the last one computed
  EXPECT_EQ(grid.At(10, 7 + 52), 0.0);                     // row 30: not computed yet
  EXPECT_EQ(grid.At(10, 111), 0.0);
}

TEST(PixelDataFile, PreviewRoundsHalvesToEven) {
  // 117 x 238: s = 2, pw = round(58.5) = 58, the even neighbour.
  TempDir dir;
  PixelDataFile file;
  file.Create(dir.file("p.TMP1"));
  FillWithIndices(file, 117 * 238);
  PreviewGrid grid;
  const PreviewSize size = SamplePreview(file, 117, 238, grid);
  EXPECT_EQ(size.Width, 58);
  EXPECT_EQ(size.Height, 119);
}
