#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

}  // namespace
