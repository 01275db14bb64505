// GIMP gradients: hand-written files whose colours are known at known positions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <string>

#include "colour/ColorFile.h"
#include "core/ColorMapping.h"
#include "colour/ColourImport.h"
#include "colour/GradientFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

Gradient Decode(const std::string& text) {
  return DecodeGimpGradient(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

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

TEST(GimpGradient, LinearRgbSegmentsBecomeTheirEndsAndMiddlePoints) {
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
}

TEST(GimpGradient, EveryBlendStaysWithinHalfALevelBetweenItsStops) {
  // Black to white, so each blend's factor f shows as the level 255 * f.
  struct Case {
    int blend;
    double middle;
    std::function<double(double)> factor;  // at position p of 0 ... 1
  };
  const auto halves = [](double p, double m) { return p <= m ? 0.5 * p / m : 0.5 + 0.5 * (p - m) / (1 - m); };
  const Case cases[] = {
      {0, 0.3, [&](double p) { return halves(p, 0.3); }},
      {1, 0.25, [](double p) { return std::sqrt(p); }},  // p^(log 0,5 / log 0,25)
      {2, 0.5, [](double p) { return (1 - std::cos(std::numbers::pi * p)) / 2; }},
      {3, 0.5, [](double p) { return std::sqrt(1 - (p - 1) * (p - 1)); }},
      {4, 0.5, [](double p) { return 1 - std::sqrt(1 - p * p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blend);
    const ColourStops s = Sample(OneSegment("0 " + std::to_string(c.middle) + " 1", kBlackToWhite, c.blend, 0));
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
    if (c.blend != 0) {
      EXPECT_GT(s.Stops.size(), 4u);
    }
  }
  // Known colours of the known blends: curved (middle 0,25) at 0,25 is half way, sine at 0,25
  // is (1 - cos(pi / 4)) / 2, the spheres at 0,5 are sqrt(3) / 2 and 1 - sqrt(3) / 2.
  const auto level = [](const std::string& file, double p) { return GradientColour(Decode(file), p)[1]; };
  EXPECT_NEAR(level(OneSegment("0 0.25 1", kBlackToWhite, 1, 0), 0.25), 127.5, 1e-9);
  EXPECT_NEAR(level(OneSegment("0 0.5 1", kBlackToWhite, 2, 0), 0.25), 255 * (1 - std::sqrt(0.5)) / 2, 1e-9);
  EXPECT_NEAR(level(OneSegment("0 0.5 1", kBlackToWhite, 3, 0), 0.5), 255 * std::sqrt(0.75), 1e-9);
  EXPECT_NEAR(level(OneSegment("0 0.5 1", kBlackToWhite, 4, 0), 0.5), 255 * (1 - std::sqrt(0.75)), 1e-9);
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

TEST(GimpGradient, OldFilesWithoutNameAndWithSixDecimalsRead) {
  // No "Name:" line, 13 numbers a segment, and 0,333333 written where 1/3 was meant.
  const Gradient g = Decode(
      "GIMP Gradient\r\n2\r\n0.000000 0.166667 0.333333 0 0 0 1 1 1 1 1 0 0\r\n"
      "0.333334 0.666667 1.000000 1 1 1 1 0 0 0 1 0 0\r\n");
  ASSERT_EQ(g.Segments.size(), 2u);
  EXPECT_EQ(g.Segments[1].Left, g.Segments[0].Right);
  EXPECT_EQ(g.Segments[1].Right, 1.0);
}

TEST(GimpGradient, BadFilesSayWhatIsWrong) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "empty"},
      {"GIMP Palette\n1\n", "begins with the line \"GIMP Gradient\""},
      {"GIMP Gradient\nName: x\n", "number of segments"},
      {"GIMP Gradient\n0\n", "number of segments"},
      {"GIMP Gradient\n3\n0 0.5 1 0 0 0 1 1 1 1 1 0 0\n", "announces 3 segments but holds 1"},
      {"GIMP Gradient\n1\n0 0.5 1 0 0 0 1 1.5 1 1 1 0 0\n", "line 3 has a colour component outside 0 ... 1"},
      {"GIMP Gradient\n1\n0 0.7 0.5 0 0 0 1 1 1 1 1 0 0\n", "out of order"},
      {"GIMP Gradient\n1\n0 0.5 0.9 0 0 0 1 1 1 1 1 0 0\n", "instead of 1"},
      {"GIMP Gradient\n2\n0 0.2 0.4 0 0 0 1 1 1 1 1 0 0\n0.5 0.7 1 0 0 0 1 1 1 1 1 0 0\n", "begins at 0.5"},
      {"GIMP Gradient\n1\n0 0.5 1 0 0 0 1 1 1 1 1 9 0\n", "unknown blend 9"},
      {"GIMP Gradient\n1\n0 0.5 1 0 0 0 1 1 1 1 1 0 3\n", "unknown colour model 3"},
      {"GIMP Gradient\n1\n0 0.5 1 0 0 0 1 1 1 nan 1 0 0\n", "where a number belongs"},
      {"GIMP Gradient\n1\n0 0.5 1 0 0 0 1\n", "13 or 15 numbers"},
      {std::string("GIMP Gradient\n1\n\0", 17), "no text file holds"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_THAT(test::ErrorOf<FormatError>([&] { Sample(text); }), testing::HasSubstr(message)) << text;
  }
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

TEST(GimpGradient, ColourFileToGradientAndBackKeepsEntriesAndEdges) {
  // Equal values (a sharp edge) and uneven spacing; the outer colours become the end colours,
  // since a gradient has no place for them.
  ColorListState list;
  list.Entries = {{Rgb(255, 255, 255), -2.0}, {Rgb(200, 100, 0), -0.3}, {Rgb(0, 0, 0), 0.0},
                  {Rgb(0, 255, 255), 0.0},    {Rgb(10, 20, 30), 0.125}, {Rgb(1, 2, 3), 1.0}};
  list.Below = 0x123456;
  list.Above = 0x654321;
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
}

}  // namespace
}  // namespace vantorel
