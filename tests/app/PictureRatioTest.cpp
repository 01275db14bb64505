#include <gtest/gtest.h>

#include "app/PictureRatio.h"

namespace vantorel {
namespace {

TEST(PictureRatio, SetsTheSideOnlyFromTwoNumbersThatGiveAPictureSize) {
  struct Case {
    int side;
    const char* numerator;
    const char* denominator;
    int expected;  // -1: both sides stay
    const char* problem;
  } cases[] = {
      {194, "0,0105", "0,0132", 154, ""},   // the default region
      {25, "1", "2", 12, ""},               // 12,5: halves to even
      {27, "1", "2", 14, ""},               // 13,5
      {194, "1000", "0,0132", 100000, ""},  // limited to the spin edit's range
      {194, "0,000001", "1", 10, ""},
      {154, "-0,0132", "-0,0105", 194, ""},                                 // a mirrored region keeps its ratio
      {154, "0", "0,0105", -1, "width is 0, which gives no picture size"},  // "0" of "0,0132"
      {154, "-", "0,0105", -1, "width: \"-\" is not a number"},
      {154, "0.0132", "0,0105", -1, "width: \"0.0132\" is not a number"},
      {154, "0,0132", "", -1, "height: \"\" is not a number"},
      {154, "0,0132", "0", -1, "height is 0"},
      {154, "-0,0132", "0,0105", -1, "width and height differ in sign"},
      {154, "1E300", "1E-300", -1, "give no usable ratio"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.numerator) + " / " + c.denominator);
    const RatioResult r = KeepPictureRatio(c.side, c.numerator, c.denominator, "width", "height", 10, 100000);
    EXPECT_EQ(r.Side.value_or(-1), c.expected);
    EXPECT_NE(r.Problem.find(c.problem), std::string::npos) << r.Problem;
    EXPECT_EQ(r.Side.has_value(), r.Problem.empty());
    if (!r.Side) {
      EXPECT_NE(r.Problem.find("Both picture sizes were left as they are."), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace vantorel
