// The colour list: mapping an exponent to its colour, and editing the list: every edit leaves a
// sorted list, and a refused edit changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "colour/ColorList.h"
#include "core/ColorMapping.h"

using namespace vantorel;

namespace {

constexpr uint32_t kBelow = 0x112233, kAbove = 0x445566;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Outside the list the outer colours (not a number is below); on an entry its colour exactly;
// between entries each channel interpolated and truncated; equal values never divide by zero,
// and above such a pair interpolation starts from the second of it.
TEST(ColorForExponent, OuterColoursEntriesAndTruncatedInterpolation) {
  const std::vector<TColorEntry> defaults = DefaultColorList(), grey = {{0x000000, 0.0}, {0xFFFFFF, 1.0}},
                                 red = {{0x000000, 0.0}, {0x0000FF, 1.0}}, single = {{0x00AA00, 0.25}},
                                 pair = {{0x000000, 0.0}, {0x0000FF, 1.0}, {0x00FF00, 1.0}, {0xFF0000, 2.0}};
  const std::tuple<const std::vector<TColorEntry>*, double, uint32_t> cases[] = {{&defaults, -1.5, kBelow},
                                                                                 {&defaults, 0.2, kAbove},
                                                                                 {&defaults, -kInf, kBelow},
                                                                                 {&defaults, kInf, kAbove},
                                                                                 {&defaults, std::nan(""), kBelow},
                                                                                 {&grey, 0.5, 0x7F7F7F},
                                                                                 {&red, 0.75, 0x0000BF},
                                                                                 {&pair, 1.0, 0x0000FF},
                                                                                 {&pair, 1.5, 0x7F7F00},
                                                                                 {&single, 0.25, 0x00AA00},
                                                                                 {&single, 0.2, kBelow},
                                                                                 {&single, 0.3, kAbove}};
  for (const auto& [list, value, colour] : cases)
    EXPECT_EQ(ColorForExponent(*list, kBelow, kAbove, value), colour) << value;
  for (const TColorEntry& e : defaults) EXPECT_EQ(ColorForExponent(defaults, kBelow, kAbove, e.Value), e.Color);
}

constexpr uint32_t kWhite = 0xFFFFFF, kYellow = 0x00FFFF, kOrange = 0x0080FF, kRed = 0x0000FF, kBlack = 0;

ColorListState Default() { return {DefaultColorList(), kWhite, kBlack}; }

std::vector<double> Values(const ColorListState& s) {
  std::vector<double> v;
  for (const TColorEntry& e : s.Entries) v.push_back(e.Value);
  return v;
}
std::vector<uint32_t> Colours(const ColorListState& s) {
  std::vector<uint32_t> v;
  for (const TColorEntry& e : s.Entries) v.push_back(e.Color);
  return v;
}

TEST(ColorList, TypedValuesAndNewEntriesMustBeFiniteAndNewEntriesFollowEqualValues) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {{"0,25", 0.25}, {" -1,5E-3 ", -0.0015}, {"1e-999", 0.0}, {"0.5", {}}, {"nan", {}},
                        {"inf", {}},    {"-INF", {}},           {"1e999", {}},   {"", {}},    {"abc", {}}};
  for (const Case& c : cases) {
    std::string message;
    EXPECT_EQ(ReadColorValue(c.text, message), c.value) << c.text;
    EXPECT_EQ(message.empty(), c.value.has_value()) << c.text;
  }
  const ColorEdit e = InsertColorEntry(Default(), {0x123456, 0.0});
  EXPECT_EQ(Colours(e.State), (std::vector<uint32_t>{kWhite, kYellow, kOrange, 0x123456, kRed, kBlack}));
  EXPECT_EQ(e.Selected, std::vector<size_t>{3});
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(InsertColorEntry(Default(), {0, bad}).Ok());
    EXPECT_FALSE(ReplaceColorEntry(Default(), 1, {0, bad}).Ok());
  }
}

TEST(ColorList, ReverseSwapsColoursNotValues) {
  for (size_t n = 1; n <= 4; ++n) {
    ColorListState s;
    s.Below = kYellow, s.Above = kRed;
    for (size_t i = 0; i < n; ++i) s.Entries.push_back({static_cast<uint32_t>(i + 1), double(i)});
    const ColorListState r = ReverseColors(s);
    EXPECT_EQ(Values(r), Values(s));
    for (size_t i = 0; i < n; ++i) EXPECT_EQ(r.Entries[i].Color, n - i) << n;
    EXPECT_EQ(r.Below, kRed);
    EXPECT_EQ(r.Above, kYellow);
  }
}

TEST(ColorList, ChangeValuesAppliesAllResultsOrNone) {
  const ColorListState powers{{{kWhite, -4}, {kYellow, -0.5}, {kOrange, 0}, {kRed, 9}}, kWhite, kBlack};
  const double huge = 1e300;
  struct Case {
    const char* name;
    ColorListState list;
    std::vector<size_t> selected;
    ValueChange change;
    std::vector<double> values;  // empty: refused
    std::vector<uint32_t> colours;
    bool outerSwapped;
  };
  using enum ValueOperation;
  const std::vector<size_t> all{0, 1, 2, 3}, five{0, 1, 2, 3, 4};
  const std::vector<uint32_t> kept{kWhite, kYellow, kOrange, kRed}, reversed{kBlack, kRed, kOrange, kYellow, kWhite},
      whiteMoved{kYellow, kWhite, kOrange, kRed, kBlack};
  const ColorListState big{{{kRed, 1}, {kBlack, huge}}, kWhite, kBlack};
  const Case cases[] = {
      {"square", powers, all, {Power, -5, 0, 2}, {-16, -0.25, 0, 81}, kept, false},
      {"root", powers, all, {Power, 1, 0, 0.5}, {-2, -std::sqrt(0.5), 0, 3}, kept, false},
      {"negate all", Default(), five, {Multiply, -1, 0, 1}, {-0.1, -0.01, 0, 0.1, 1}, reversed, true},
      // Adding 1 to -1 moves white past yellow, to stand before orange of the same value.
      {"add to one", Default(), {0}, {Add, -1, 1, 1}, {-0.1, 0, 0, 0.01, 0.1}, whiteMoved, false},
      {"overflowing product", big, {0, 1}, {Multiply, -huge, 0, 1}, {}, {}, false},
      {"overflowing power", big, {0, 1}, {Power, 1, 0, 2}, {}, {}, false},
      {"power of zero is zero", {{{kRed, 0}}, kWhite, kBlack}, {0}, {Power, 1, 0, -1}, {0}, {kRed}, false},
      {"infinite power of a fraction", {{{kRed, 0.5}}, kWhite, kBlack}, {0}, {Power, 1, 0, -2000}, {}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ColorEdit e = ChangeColorValues(c.list, c.selected, c.change);
    if (c.values.empty()) {
      EXPECT_FALSE(e.Ok());
      EXPECT_NE(e.Error.find("No value was changed"), std::string::npos);
      EXPECT_EQ(e.State, c.list);
      continue;
    }
    ASSERT_TRUE(e.Ok()) << e.Error;
    ASSERT_EQ(e.State.Entries.size(), c.values.size());
    for (size_t i = 0; i < c.values.size(); ++i) EXPECT_DOUBLE_EQ(e.State.Entries[i].Value, c.values[i]) << i;
    EXPECT_EQ(Colours(e.State), c.colours);
    EXPECT_EQ(e.State.Below, c.outerSwapped ? c.list.Above : c.list.Below);
    EXPECT_EQ(e.Selected.size(), c.selected.size());
  }
}

}  // namespace
