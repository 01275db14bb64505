// Colour files: the program's own (the 12-byte record layout, reading back what was written,
// refusing bad files) and other programs' (GIMP gradients whose colours are known at known
// positions, GIMP palettes and .map palettes), the import range and the shipped colour lists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <set>
#include <string>

#include "colour/ColorFile.h"
#include "core/ColorMapping.h"
#include "colour/ColourImport.h"
#include "colour/GradientFile.h"
#include "colour/PaletteFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

using Bytes = std::vector<unsigned char>;

const uint8_t* AsBytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::vector<uint32_t> Colours(const ColourStops& s) {
  std::vector<uint32_t> c;
  for (const TColorEntry& e : s.Stops) c.push_back(e.Color);
  return c;
}

Gradient Decode(const std::string& text) { return DecodeGimpGradient(AsBytes(text), text.size()); }

ColourStops Sample(const std::string& text) { return SampleGradient(Decode(text)); }

std::string OneSegment(const std::string& positions, const std::string& colours, int blend, int model) {
  return "GIMP Gradient\nName: test\n1\n" + positions + " " + colours + " " + std::to_string(blend) + " " +
         std::to_string(model) + " 0 0\n";
}

const std::string kBlackToWhite = "0 0 0 1 1 1 1 1";

// The level of a channel on the straight lines between the stops at position p.
double StopsLevel(const ColourStops& s, double p, int shift) {
  const auto& e = s.Stops;
  size_t i = 1;
  while (i + 1 < e.size() && e[i].Value < p) ++i;
  const double a = e[i - 1].Value, b = e[i].Value;
  const double w = b > a ? (p - a) / (b - a) : 1.0;
  return ((e[i - 1].Color >> shift) & 0xFF) * (1 - w) + ((e[i].Color >> shift) & 0xFF) * w;
}

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
  EXPECT_EQ(LoadColorFile(dir.file("h.Pal")),
            (ColorListState{{{0x00FFFF, -0.25}, {0xFF0000, 2.5}}, 0x0000FF, 0x00FF00}));
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

TEST(GimpGradient, LinearRgbSegmentsBecomeTheirEndsAndMiddlePointsAndOldFilesRead) {
  // Blue to white over 0 ... 0,5 with the middle at 0,25 (the midpoint: no extra stop), then
  // yellow (a sharp edge at 0,5) to red with its middle at 0,9 (a stop of half the way there).
  const ColourStops s = Sample(
      "GIMP Gradient\nName: Two parts\n2\n"
      "0.000000 0.250000 0.500000 0 0 1 1  1 1 1 1  0 0\n"
      "0.500000 0.900000 1.000000 1 1 0 1  1 0 0 1  0 0\n");
  EXPECT_EQ(s.Name, "Two parts");
  const std::vector<TColorEntry> expected = {{Rgb(0, 0, 255), 0.0},
                                             {Rgb(255, 255, 255), 0.5},
                                             {Rgb(255, 255, 0), 0.5},
                                             {Rgb(255, 128, 0), 0.9},
                                             {Rgb(255, 0, 0), 1.0}};
  EXPECT_EQ(s.Stops, expected);  // 127,5 green at the middle rounds to 128
  // No "Name:" line, 13 numbers a segment, and 0,333333 written where 1/3 was meant.
  const Gradient g = Decode(
      "GIMP Gradient\r\n2\r\n0.000000 0.166667 0.333333 0 0 0 1 1 1 1 1 0 0\r\n"
      "0.333334 0.666667 1.000000 1 1 1 1 0 0 0 1 0 0\r\n");
  ASSERT_EQ(g.Segments.size(), 2u);
  EXPECT_EQ(g.Segments[1].Left, g.Segments[0].Right);
  EXPECT_EQ(g.Segments[1].Right, 1.0);
}

TEST(GimpGradient, EveryBlendStaysWithinHalfALevelBetweenItsStops) {
  // Black to white, so each blend's factor f shows as the level 255 * f. Known colours of the
  // known blends: curved (middle 0,25) at 0,25 is half way, sine at 0,25 is (1 - cos(pi / 4)) / 2,
  // the spheres at 0,5 are sqrt(3) / 2 and 1 - sqrt(3) / 2.
  struct Case {
    int blend;
    double middle, at;                     // the exact colour is checked at `at`
    std::function<double(double)> factor;  // at position p of 0 ... 1
  };
  const auto halves = [](double p, double m) { return p <= m ? 0.5 * p / m : 0.5 + 0.5 * (p - m) / (1 - m); };
  const Case cases[] = {
      {0, 0.3, 0.3, [&](double p) { return halves(p, 0.3); }},
      {1, 0.25, 0.25, [](double p) { return std::sqrt(p); }},  // p^(log 0,5 / log 0,25)
      {2, 0.5, 0.25, [](double p) { return (1 - std::cos(std::numbers::pi * p)) / 2; }},
      {3, 0.5, 0.5, [](double p) { return std::sqrt(1 - (p - 1) * (p - 1)); }},
      {4, 0.5, 0.5, [](double p) { return 1 - std::sqrt(1 - p * p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blend);
    const std::string file = OneSegment("0 " + std::to_string(c.middle) + " 1", kBlackToWhite, c.blend, 0);
    EXPECT_NEAR(GradientColour(Decode(file), c.at)[1], 255 * c.factor(c.at), 1e-9);
    const ColourStops s = Sample(file);
    ASSERT_GE(s.Stops.size(), 2u);
    EXPECT_EQ(s.Stops.front().Value, 0.0);
    EXPECT_EQ(s.Stops.back().Value, 1.0);
    double worst = 0;
    for (int i = 0; i <= 2000; ++i) {
      const double p = i / 2000.0, exact = 255 * c.factor(p);
      for (int shift : {0, 8, 16}) worst = std::max(worst, std::fabs(StopsLevel(s, p, shift) - exact));
    }
    // Half a level of sampling and half a level of rounding the stops to whole levels.
    EXPECT_LE(worst, 1.0);
    EXPECT_TRUE(c.blend == 0 || s.Stops.size() > 4) << s.Stops.size() << " stops";
  }
}

TEST(GimpGradient, StepIsASharpEdgeAtItsMiddlePoint) {
  const ColourStops s = Sample(OneSegment("0 0.3 1", "1 0 0 1 0 0 1 1", 5, 0));
  const std::vector<TColorEntry> expected = {
      {Rgb(255, 0, 0), 0.0}, {Rgb(255, 0, 0), 0.3}, {Rgb(0, 0, 255), 0.3}, {Rgb(0, 0, 255), 1.0}};
  EXPECT_EQ(s.Stops, expected);
  // Through the colour list: up to 0,3 red, above it blue.
  const ColorListState list = SpanStops(s, 0.0, 1.0);
  EXPECT_EQ(ColorForExponent(list.Entries, 0, 0, 0.3), Rgb(255, 0, 0));
  EXPECT_EQ(ColorForExponent(list.Entries, 0, 0, 0.3000001), Rgb(0, 0, 255));
}

TEST(GimpGradient, HueTurnsTheWayTheColourModelSays) {
  // Red to blue: counter-clockwise through green (hue 1/3 half way), clockwise through magenta.
  const std::string red2blue = "1 0 0 1 0 0 1 1";
  const Gradient ccw = Decode(OneSegment("0 0.5 1", red2blue, 0, 1));
  const Gradient cw = Decode(OneSegment("0 0.5 1", red2blue, 0, 2));
  const auto near = [](std::array<double, 3> c, std::array<double, 3> want) {
    for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(c[k], want[k], 1e-9) << k;
  };
  near(GradientColour(ccw, 0.5), {0, 255, 0});
  near(GradientColour(ccw, 0.25), {255, 255, 0});  // yellow at hue 1/6
  near(GradientColour(cw, 0.5), {255, 0, 255});
  // The sampled stops pass through green there too, within the rounding.
  const ColourStops s = SampleGradient(ccw);
  EXPECT_GT(s.Stops.size(), 3u);
  EXPECT_NEAR(StopsLevel(s, 0.5, 8), 255, 1.0);
  EXPECT_NEAR(StopsLevel(s, 0.5, 0), 0, 1.0);
}

TEST(GimpGradient, MegabytesOfGarbageAreRefusedAndTheListStays) {
  test::TempDir dir;
  std::mt19937 random(7);
  std::vector<unsigned char> garbage(10 << 20);
  for (auto& b : garbage) b = static_cast<unsigned char>(random());
  for (const char* name : {"garbage.ggr", "garbage.gpl", "garbage.map", "garbage"}) {
    test::WriteBytes(dir.file(name), garbage);
    EXPECT_THROW(ReadColourImport(dir.file(name)), FormatError) << name;
  }
  // Under the size limit, the readers still refuse it at once.
  garbage.resize(1 << 20);
  garbage[0] = 'G';
  test::WriteBytes(dir.file("small.ggr"), garbage);
  EXPECT_THROW(ReadColourImport(dir.file("small.ggr")), FormatError);
}

TEST(GimpGradient, ColourFileToGradientAndBackKeepsEntriesAndEdgesAndOtherFormatsAreRefused) {
  // Equal values (a sharp edge) and uneven spacing; the outer colours become the end colours,
  // since a gradient has no place for them.
  ColorListState list;
  list.Entries = {{Rgb(255, 255, 255), -2.0}, {Rgb(200, 100, 0), -0.3}, {Rgb(0, 0, 0), 0.0},
                  {Rgb(0, 255, 255), 0.0},    {Rgb(10, 20, 30), 0.125}, {Rgb(1, 2, 3), 1.0}};
  list.Below = 0x123456, list.Above = 0x654321;
  test::TempDir dir;
  SaveColorFile(dir.file("a.Pal"), list);
  ExportColours(dir.file("a.ggr"), LoadColorFile(dir.file("a.Pal")), ColourFormat::GimpGradient);
  const ColourImport back = ReadColourImport(dir.file("a.ggr"));
  ASSERT_TRUE(back.NeedsRange());
  EXPECT_EQ(back.Stops.Name, "a");
  SaveColorFile(dir.file("b.Pal"), ImportedList(back, -2.0, 1.0));
  const ColorListState again = LoadColorFile(dir.file("b.Pal"));
  ASSERT_EQ(again.Entries.size(), list.Entries.size());
  for (size_t k = 0; k < list.Entries.size(); ++k) {
    EXPECT_EQ(again.Entries[k].Color, list.Entries[k].Color) << k;
    EXPECT_NEAR(again.Entries[k].Value, list.Entries[k].Value, 1e-15) << k;
  }
  EXPECT_EQ(again.Below, Rgb(255, 255, 255));
  EXPECT_EQ(again.Above, Rgb(1, 2, 3));
  // Export refuses the program's own format and writes nothing; a missing folder fails.
  EXPECT_THROW(ExportColours(dir.file("c.Pal"), list, ColourFormat::ColourFile), FormatError);
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.Pal")));
  EXPECT_THROW(ExportColours(dir.file("missing/a.ggr"), list, ColourFormat::GimpGradient), IoError);
}

TEST(GimpPalette, ColoursInOrderEvenlySpacedWithNamesAndCommentsAsideAndWrittenWithTheirValues) {
  const std::string text =
      "\xEF\xBB\xBFGIMP Palette\r\nName: Three\r\nColumns: 3\r\n#\r\n# a comment\r\n"
      "  0   0   0\tBlack\r\n\r\n255 128   0 Orange colour\r\n 10  20  30\r\n";
  const ColourStops s = DecodeGimpPalette(AsBytes(text), text.size());
  EXPECT_EQ(s.Name, "Three");
  EXPECT_TRUE(s.Discrete);
  EXPECT_EQ(Colours(s), (std::vector<uint32_t>{0, Rgb(255, 128, 0), Rgb(10, 20, 30)}));
  // Evenly spaced over the import range: -1, -0,45, 0,1.
  const ColorListState list = SpanStops(s, -1.0, 0.1);
  ASSERT_EQ(list.Entries.size(), 3u);
  EXPECT_EQ(list.Entries[0].Value, -1.0);
  EXPECT_DOUBLE_EQ(list.Entries[1].Value, -0.45);
  EXPECT_EQ(list.Entries[2].Value, 0.1);
  EXPECT_EQ(list.Below, 0u);
  EXPECT_EQ(list.Above, Rgb(10, 20, 30));
  // An alpha level follows the colour with "Channels: RGBA".
  const std::string rgba = "GIMP Palette\nChannels: RGBA\n1 2 3 4\n5 6 7 255 named\n";
  EXPECT_EQ(Colours(DecodeGimpPalette(AsBytes(rgba), rgba.size())),
            (std::vector<uint32_t>{Rgb(1, 2, 3), Rgb(5, 6, 7)}));
  // A written palette names each colour by its value.
  const ColorListState written{{{Rgb(255, 255, 255), -1.0}, {Rgb(255, 128, 0), 0.0}, {Rgb(1, 2, 3), 0.01}}};
  EXPECT_EQ(EncodeGimpPalette(written, "mine"),
            "GIMP Palette\nName: mine\nColumns: 1\n#\n255 255 255\t-1\n255 128   0\t0\n  1   2   3\t0,01\n");
}

TEST(MapPalette, OneColourALineWithCommentsAfterTheNumbers) {
  std::string text;
  for (int k = 0; k < 256; ++k)
    text += std::to_string(k) + " " + std::to_string(255 - k) + " 7  level " + std::to_string(k) + "\n";
  const ColourStops s = DecodeMapPalette(AsBytes(text), text.size());
  ASSERT_EQ(s.Stops.size(), 256u);
  EXPECT_EQ(s.Stops[0].Color, Rgb(0, 255, 7));
  EXPECT_EQ(s.Stops[255].Color, Rgb(255, 0, 7));
  EXPECT_EQ(s.Stops[51].Value, 51.0 / 255.0);
  // Colour 51 of 256 stands at 51/255 of the range; the mapping gives it exactly there.
  const ColorListState list = SpanStops(s, 0.0, 255.0);
  EXPECT_NEAR(list.Entries[51].Value, 51.0, 1e-12);
  EXPECT_EQ(ColorForExponent(list.Entries, 0, 0, list.Entries[51].Value), Rgb(51, 204, 7));
  const double between = (list.Entries[51].Value + list.Entries[52].Value) / 2;
  EXPECT_EQ(ColorForExponent(list.Entries, 0, 0, between), Rgb(51, 203, 7));  // 51,5 and 203,5 truncated

  const std::string short3 = "0 0 0\r\n\r\n 255 128 0 ; orange\r\n";
  EXPECT_EQ(Colours(DecodeMapPalette(AsBytes(short3), short3.size())), (std::vector<uint32_t>{0, Rgb(255, 128, 0)}));
}

// The readers of other programs' colour files refuse a bad file with its reason.
TEST(ColourImport, BadFilesSayWhatIsWrong) {
  using Decoder = ColourStops (*)(const uint8_t*, size_t);
  const Decoder ggr = [](const uint8_t* b, size_t n) { return SampleGradient(DecodeGimpGradient(b, n)); };
  const Decoder gpl = DecodeGimpPalette, map = DecodeMapPalette;
  std::string tooMany;
  for (int k = 0; k < 257; ++k) tooMany += "1 2 3\n";
  const std::string g1 = "GIMP Gradient\n1\n0 0.5 ";
  const struct Case {
    Decoder decode;
    std::string text, message;
  } cases[] = {
      {ggr, "", "empty"},
      {ggr, "GIMP Palette\n1\n", "begins with the line \"GIMP Gradient\""},
      {ggr, "GIMP Gradient\nName: x\n", "number of segments"},
      {ggr, "GIMP Gradient\n0\n", "number of segments"},
      {ggr, "GIMP Gradient\n3\n0 0.5 1 0 0 0 1 1 1 1 1 0 0\n", "announces 3 segments but holds 1"},
      {ggr, g1 + "1 0 0 0 1 1.5 1 1 1 0 0\n", "line 3 has a colour component outside 0 ... 1"},
      {ggr, "GIMP Gradient\n1\n0 0.7 0.5 0 0 0 1 1 1 1 1 0 0\n", "out of order"},
      {ggr, g1 + "0.9 0 0 0 1 1 1 1 1 0 0\n", "instead of 1"},
      {ggr, "GIMP Gradient\n2\n0 0.2 0.4 0 0 0 1 1 1 1 1 0 0\n0.5 0.7 1 0 0 0 1 1 1 1 1 0 0\n", "begins at 0.5"},
      {ggr, g1 + "1 0 0 0 1 1 1 1 1 9 0\n", "unknown blend 9"},
      {ggr, g1 + "1 0 0 0 1 1 1 1 1 0 3\n", "unknown colour model 3"},
      {ggr, g1 + "1 0 0 0 1 1 1 nan 1 0 0\n", "where a number belongs"},
      {ggr, g1 + "1 0 0 0 1\n", "13 or 15 numbers"},
      {ggr, std::string("GIMP Gradient\n1\n\0", 17), "no text file holds"},
      {gpl, "GIMP Gradient\n1 2 3\n", "begins with the line \"GIMP Palette\""},
      {gpl, "GIMP Palette\nName: x\n#\n", "holds no colour"},
      {gpl, "GIMP Palette\n0 0 0\n300 0 0\n", "line 3 has the level 300"},
      {gpl, "GIMP Palette\n0 0 -1\n", "level -1"},
      {gpl, "GIMP Palette\n1 2\n", "line 2 should begin with \"R G B\""},
      {gpl, "GIMP Palette\nChannels: CMYK\n", "RGB and RGBA"},
      {map, "", "holds no colour"},
      {map, "GIMP Palette\n", "This is not a .map palette: line 1"},
      {map, "1 2 3\n4 5\n", "line 2 should begin with three levels"},
      {map, "1 2 256\n", "level 256"},
      {map, tooMany, "more than 256 colours"},
  };
  for (const Case& c : cases)
    EXPECT_THAT(test::ErrorOf<FormatError>([&] { c.decode(AsBytes(c.text), c.text.size()); }),
                testing::HasSubstr(c.message))
        << c.text;
}

TEST(ColourImport, FormatByExtensionElseByContent) {
  const std::string ggr = "GIMP Gradient\n", gpl = "GIMP Palette\n", map = "1 2 3\n", pal(36, '\0');
  EXPECT_EQ(ColourFormatFor("a.GGR", AsBytes(pal), pal.size()), ColourFormat::GimpGradient);
  EXPECT_EQ(ColourFormatFor("a.Gpl", AsBytes(pal), pal.size()), ColourFormat::GimpPalette);
  EXPECT_EQ(ColourFormatFor("a.map", AsBytes(pal), pal.size()), ColourFormat::MapPalette);
  EXPECT_EQ(ColourFormatFor("a.pal", AsBytes(ggr), ggr.size()), ColourFormat::ColourFile);
  EXPECT_EQ(ColourFormatFor("a", AsBytes(ggr), ggr.size()), ColourFormat::GimpGradient);
  EXPECT_EQ(ColourFormatFor("a.txt", AsBytes(gpl), gpl.size()), ColourFormat::GimpPalette);
  EXPECT_EQ(ColourFormatFor("a", AsBytes(map), map.size()), ColourFormat::MapPalette);
  EXPECT_EQ(ColourFormatFor("a", AsBytes(pal), pal.size()), ColourFormat::ColourFile);
}

TEST(ColourImport, RangeDefaultsToTheListsEndsAndMustBeOrdered) {
  double lo = 0, hi = 0;
  DefaultImportRange({DefaultColorList(), 0xFFFFFF, 0}, lo, hi);
  EXPECT_TRUE(lo == -1.0 && hi == 0.1);
  DefaultImportRange({{{0, -3.0}, {0, 2.5}}, 0, 0}, lo, hi);
  EXPECT_TRUE(lo == -3.0 && hi == 2.5);
  DefaultImportRange({{{0, 0.5}}, 0, 0}, lo, hi);  // one value spans nothing: the default list's range
  EXPECT_TRUE(lo == -1.0 && hi == 0.1);
  const ColourStops two = EvenlySpaced({0, 0xFFFFFF}, "");
  EXPECT_THROW(SpanStops(two, 1.0, 1.0), FormatError);
  EXPECT_THROW(SpanStops(two, 2.0, 1.0), FormatError);
  // Extreme ends do not overflow.
  const ColorListState wide = SpanStops(two, -1e308, 1e308);
  EXPECT_TRUE(wide.Entries[0].Value == -1e308 && wide.Entries[1].Value == 1e308);
}

TEST(Presets, AtLeastTwelveShippedListsThatReadAndKeepTheirBytes) {
  const std::string folder = std::string(VANTOREL_SOURCE_DIR) + "/palettes";
  const std::vector<Preset> presets = FindPresets({folder + "/no-such-folder", folder});
  ASSERT_GE(presets.size(), 12u);
  std::set<std::string> names;
  for (const Preset& p : presets) {
    SCOPED_TRACE(p.Name);
    names.insert(p.Name);
    const ColorListState list = LoadColorFile(p.Path);
    EXPECT_GE(list.Entries.size(), 3u);
    EXPECT_EQ(EncodeColorFile(list), test::ReadBytes(p.Path));  // sorted as stored
    // Order lies below 0, chaos above: a two-sided list is black at 0, a one-sided one colours
    // all chaos black; only the program's own default list does neither.
    const bool blackAtZero = ColorForExponent(list.Entries, list.Below, list.Above, 0.0) == 0;
    const bool blackChaos = list.Entries.back().Value == 0.0 && list.Above == 0;
    EXPECT_TRUE(blackAtZero || blackChaos || p.Name == "default");
  }
  for (const char* wanted : {"classic", "default", "grey-print", "high-contrast", "viridis", "cividis"})
    EXPECT_TRUE(names.count(wanted)) << wanted;
  EXPECT_EQ(LoadColorFile(FindPreset(presets, "default")->Path).Entries, DefaultColorList());
  EXPECT_FALSE(FindPreset(presets, "no such list"));
  // The build tree holds a copy where the programs look for it.
  EXPECT_EQ(FindPresets(PresetFolders(std::string(VANTOREL_BINARY_DIR) + "/cli")).size(), presets.size());
}

}  // namespace
}  // namespace vantorel
