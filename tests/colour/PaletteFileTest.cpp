// GIMP palettes and .map palettes, the import range and the shipped colour lists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "colour/ColorFile.h"
#include "core/ColorMapping.h"
#include "colour/ColourImport.h"
#include "colour/PaletteFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::vector<uint32_t> Colours(const ColourStops& s) {
  std::vector<uint32_t> c;
  for (const TColorEntry& e : s.Stops) c.push_back(e.Color);
  return c;
}

TEST(GimpPalette, ColoursInOrderEvenlySpacedWithNamesAndCommentsAside) {
  const std::string text =
      "\xEF\xBB\xBFGIMP Palette\r\nName: Three\r\nColumns: 3\r\n#\r\n# a comment\r\n"
      "  0   0   0\tBlack\r\n\r\n255 128   0 Orange colour\r\n 10  20  30\r\n";
  const ColourStops s = DecodeGimpPalette(Bytes(text), text.size());
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
  EXPECT_EQ(Colours(DecodeGimpPalette(Bytes(rgba), rgba.size())), (std::vector<uint32_t>{Rgb(1, 2, 3), Rgb(5, 6, 7)}));
}

TEST(GimpPalette, WrittenPaletteNamesEachColourByItsValue) {
  ColorListState list;
  list.Entries = {{Rgb(255, 255, 255), -1.0}, {Rgb(255, 128, 0), 0.0}, {Rgb(1, 2, 3), 0.01}};
  EXPECT_EQ(EncodeGimpPalette(list, "mine"),
            "GIMP Palette\nName: mine\nColumns: 1\n#\n255 255 255\t-1\n255 128   0\t0\n  1   2   3\t0,01\n");
}

TEST(GimpPalette, BadFilesSayWhatIsWrong) {
  const std::pair<std::string, std::string> cases[] = {
      {"GIMP Gradient\n1 2 3\n", "begins with the line \"GIMP Palette\""},
      {"GIMP Palette\nName: x\n#\n", "holds no colour"},
      {"GIMP Palette\n0 0 0\n300 0 0\n", "line 3 has the level 300"},
      {"GIMP Palette\n0 0 -1\n", "level -1"},
      {"GIMP Palette\n1 2\n", "line 2 should begin with \"R G B\""},
      {"GIMP Palette\nChannels: CMYK\n", "RGB and RGBA"},
  };
  for (const auto& [text, message] : cases)
    EXPECT_THAT(test::ErrorOf<FormatError>([&] { DecodeGimpPalette(Bytes(text), text.size()); }),
                testing::HasSubstr(message))
        << text;
}

TEST(MapPalette, OneColourALineWithCommentsAfterTheNumbers) {
  std::string text;
  for (int k = 0; k < 256; ++k)
    text += std::to_string(k) + " " + std::to_string(255 - k) + " 7  level " + std::to_string(k) + "\n";
  const ColourStops s = DecodeMapPalette(Bytes(text), text.size());
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
  EXPECT_EQ(Colours(DecodeMapPalette(Bytes(short3), short3.size())), (std::vector<uint32_t>{0, Rgb(255, 128, 0)}));
}

TEST(MapPalette, BadFilesSayWhatIsWrong) {
  std::string tooMany;
  for (int k = 0; k < 257; ++k) tooMany += "1 2 3\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "holds no colour"},
      {"GIMP Palette\n", "This is not a .map palette: line 1"},
      {"1 2 3\n4 5\n", "line 2 should begin with three levels"},
      {"1 2 256\n", "level 256"},
      {tooMany, "more than 256 colours"},
  };
  for (const auto& [text, message] : cases)
    EXPECT_THAT(test::ErrorOf<FormatError>([&] { DecodeMapPalette(Bytes(text), text.size()); }),
                testing::HasSubstr(message));
}

TEST(ColourImport, FormatByExtensionElseByContent) {
  const std::string ggr = "GIMP Gradient\n", gpl = "GIMP Palette\n", map = "1 2 3\n", pal(36, '\0');
  EXPECT_EQ(ColourFormatFor("a.GGR", Bytes(pal), pal.size()), ColourFormat::GimpGradient);
  EXPECT_EQ(ColourFormatFor("a.Gpl", Bytes(pal), pal.size()), ColourFormat::GimpPalette);
  EXPECT_EQ(ColourFormatFor("a.map", Bytes(pal), pal.size()), ColourFormat::MapPalette);
  EXPECT_EQ(ColourFormatFor("a.pal", Bytes(ggr), ggr.size()), ColourFormat::ColourFile);
  EXPECT_EQ(ColourFormatFor("a", Bytes(ggr), ggr.size()), ColourFormat::GimpGradient);
  EXPECT_EQ(ColourFormatFor("a.txt", Bytes(gpl), gpl.size()), ColourFormat::GimpPalette);
  EXPECT_EQ(ColourFormatFor("a", Bytes(map), map.size()), ColourFormat::MapPalette);
  EXPECT_EQ(ColourFormatFor("a", Bytes(pal), pal.size()), ColourFormat::ColourFile);
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

TEST(ColourImport, ExportRefusesOtherFormatsAndKeepsTheOldFile) {
  test::TempDir dir;
  const ColorListState list{DefaultColorList(), 0xFFFFFF, 0};
  EXPECT_THROW(ExportColours(dir.file("a.Pal"), list, ColourFormat::ColourFile), FormatError);
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.Pal")));
  EXPECT_THROW(ExportColours(dir.file("missing/a.ggr"), list, ColourFormat::GimpGradient), IoError);
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
