#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "colour/ColorMapping.h"

using namespace vantorel;

namespace {

constexpr uint32_t kBelow = 0x112233, kAbove = 0x445566;

TEST(ColorForExponent, OutsideTheListUsesTheOuterColours) {
  const std::vector<TColorEntry> list = DefaultColorList();
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, -1.5), kBelow);
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, 0.2), kAbove);
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, -std::numeric_limits<double>::infinity()), kBelow);
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, std::numeric_limits<double>::infinity()), kAbove);
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, std::nan("")), kBelow);
}

TEST(ColorForExponent, ValuesOnAnEntryGiveItsColourExactly) {
  const std::vector<TColorEntry> list = DefaultColorList();
  for (const TColorEntry& e : list) EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, e.Value), e.Color);
}

TEST(ColorForExponent, InterpolationTruncatesEachChannel) {
  const std::vector<TColorEntry> list = {{0x000000, 0.0}, {0xFFFFFF, 1.0}};
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, 0.5), 0x7F7F7Fu);
  // channels move independently: red only
  const std::vector<TColorEntry> red = {{0x000000, 0.0}, {0x0000FF, 1.0}};
  EXPECT_EQ(ColorForExponent(red, kBelow, kAbove, 0.75), 0x0000BFu);
}

TEST(ColorForExponent, EqualValuesNeverDivideByZero) {
  const std::vector<TColorEntry> list = {{0x000000, 0.0}, {0x0000FF, 1.0}, {0x00FF00, 1.0}, {0xFF0000, 2.0}};
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, 1.0), 0x0000FFu);
  // above the doubled value, interpolation starts from the second of the pair
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, 1.5), 0x7F7F00u);
}

TEST(ColorForExponent, SingleEntryList) {
  const std::vector<TColorEntry> list = {{0x00AA00, 0.25}};
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, 0.25), 0x00AA00u);
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, 0.2), kBelow);
  EXPECT_EQ(ColorForExponent(list, kBelow, kAbove, 0.3), kAbove);
}

}  // namespace
