// Colour files: the 12-byte record layout, reading back what was written, refusing bad files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "colour/ColorFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

using namespace vantorel;
using Bytes = std::vector<unsigned char>;

namespace {

void Record(Bytes& b, double value, uint32_t colour) {
  unsigned char r[12];
  std::memcpy(r, &value, 8);  // the test machine is little-endian, as the file is
  std::memcpy(r + 8, &colour, 4);
  b.insert(b.end(), r, r + 12);
}

TEST(ColorFile, DefaultListGivesTheKnownBytesAndReadsBackIdentically) {
  test::TempDir dir;
  const ColorListState list{DefaultColorList(), 0xFFFFFF, 0x000000};
  SaveColorFile(dir.file("a.Pal"), list);
  Bytes expected;
  Record(expected, 0.0, 0xFFFFFF);
  Record(expected, 0.0, 0x000000);
  for (const TColorEntry& e : DefaultColorList()) Record(expected, e.Value, e.Color);
  const Bytes written = test::ReadBytes(dir.file("a.Pal"));
  EXPECT_EQ(written.size(), 84u);
  EXPECT_EQ(written, expected);
  EXPECT_EQ(LoadColorFile(dir.file("a.Pal")), list);

  // Equal values, an extreme one and a colour with all channels survive the round trip.
  const ColorListState odd{{{0x010203, -1e300}, {0xABCDEF, 0.5}, {0x00FF00, 0.5}}, 0x123456, 0x654321};
  SaveColorFile(dir.file("a.Pal"), odd);
  EXPECT_EQ(LoadColorFile(dir.file("a.Pal")), odd);
}

TEST(ColorFile, HandMadeFileLoadsSortedWithTheOuterColoursFromTheFirstRecords) {
  test::TempDir dir;
  Bytes b;
  Record(b, 7.0, 0x0000FF);                 // below: red; the value is ignored
  Record(b, -3.0, 0xFF000000u | 0x00FF00);  // above: green; a top byte is dropped
  Record(b, 2.5, 0xFF0000);
  Record(b, -0.25, 0x00FFFF);
  b.insert(b.end(), {1, 2, 3, 4, 5});  // trailing bytes that fill no record
  test::WriteBytes(dir.file("h.Pal"), b);
  const ColorListState got = LoadColorFile(dir.file("h.Pal"));
  EXPECT_EQ(got.Below, 0x0000FFu);
  EXPECT_EQ(got.Above, 0x00FF00u);
  EXPECT_EQ(got.Entries, (std::vector<TColorEntry>{{0x00FFFF, -0.25}, {0xFF0000, 2.5}}));
}

TEST(ColorFile, BadFilesAreRefusedWithAReasonAndFailedSavesSaySo) {
  test::TempDir dir;
  Bytes two;
  Record(two, 0, 1);
  Record(two, 0, 2);
  Bytes withNan = two, withInf = two;
  Record(withNan, std::nan(""), 3);
  Record(withInf, -std::numeric_limits<double>::infinity(), 3);
  struct Case {
    const char* name;
    Bytes bytes;
    const char* reason;
  };
  const Case cases[] = {{"empty", {}, "at least one entry"},
                        {"outer colours only", two, "at least one entry"},
                        {"35 bytes", Bytes(35, 0), "at least one entry"},
                        {"nan", withNan, "not a finite number"},
                        {"infinite", withInf, "not a finite number"}};
  for (const Case& c : cases) {
    test::WriteBytes(dir.file("bad.Pal"), c.bytes);
    EXPECT_THAT(test::ErrorOf<FormatError>([&] { LoadColorFile(dir.file("bad.Pal")); }), testing::HasSubstr(c.reason))
        << c.name;
  }
  // Too many entries: refused by the size alone (a sparse file, nothing is read).
  {
    test::WriteBytes(dir.file("bad.Pal"), {});
    std::filesystem::resize_file(dir.file("bad.Pal"), (kMaxColorFileEntries + 3) * kColorRecordSize);
    EXPECT_THROW(LoadColorFile(dir.file("bad.Pal")), FormatError);
    std::filesystem::resize_file(dir.file("bad.Pal"), (kMaxColorFileEntries + 2) * kColorRecordSize);
    EXPECT_EQ(LoadColorFile(dir.file("bad.Pal")).Entries.size(), kMaxColorFileEntries);
  }
  EXPECT_THROW(LoadColorFile(dir.file("missing.Pal")), IoError);
  EXPECT_THROW(LoadColorFile(dir.path().string()), IoError);
  // Saving into a missing folder fails; a file system that refuses to let the file grow is in
  // FailedWriteTest.
  EXPECT_THROW(SaveColorFile(dir.file("no such folder/k.Pal"), {DefaultColorList(), 0xFFFFFF, 0}), IoError);
}

}  // namespace
