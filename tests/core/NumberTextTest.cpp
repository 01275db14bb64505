#include <gtest/gtest.h>

#include "core/NumberText.h"
#include "core/RangeText.h"

using namespace vantorel;

TEST(FloatToText, GeneralFormWithCommaAndExponentsForExtremeMagnitudes) {
  const std::pair<double, const char*> cases[] = {{0.01, "0,01"},
                                                  {-1.0, "-1"},
                                                  {0.0, "0"},
                                                  {2.5, "2,5"},
                                                  {0.1137635, "0,1137635"},
                                                  {1.0 / 3.0, "0,333333333333333"},
                                                  {120.0, "120"},
                                                  {123456789012345.0, "123456789012345"},
                                                  {0.0001, "0,0001"},
                                                  {0.00001, "1E-5"},
                                                  {1.5e-7, "1,5E-7"},
                                                  {1e15, "1E15"},
                                                  {-2.5e20, "-2,5E20"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FloatToText(value), text);
  EXPECT_EQ(FixedText(25.0, 2), "25,00");
}

TEST(TextToFloat, AcceptsTheCommaOnlyUnlessLenientAndReadsBackEveryShownValueInEitherForm) {
  EXPECT_EQ(TextToFloat("0,5"), 0.5);
  EXPECT_EQ(TextToFloat(" -1,5E-3 "), -1.5e-3);
  EXPECT_EQ(TextToFloat(",5"), 0.5);
  for (const char* bad : {"0.5", "", "abc", "1,5x", "1e400"}) EXPECT_FALSE(TextToFloat(bad)) << bad;
  EXPECT_EQ(TextToFloatLenient("0.5"), 0.5);
  EXPECT_EQ(TextToFloatLenient("0,5"), 0.5);
  // The plain form never writes an exponent; every shown value reads back, in either form.
  EXPECT_EQ(FloatToPlainText(0.00001), "0,00001");
  EXPECT_EQ(FloatToPlainText(2.5e20), "250000000000000000000");
  EXPECT_EQ(FloatToPlainText(-0.5), "-0,5");
  for (double v : {0.0132, 0.0105, 1.189, -0.1, 1e-20, 6.02e23, 0.001, 1e-5, 1.5e-7, 1e-310}) {
    EXPECT_EQ(TextToFloat(FloatToText(v)), v) << FloatToText(v);
    EXPECT_EQ(TextToFloat(FloatToPlainText(v)), v) << FloatToPlainText(v);
  }
}

TEST(RangeEndText, ShowsTheDigitsInWhichTheEndsDiffer) {
  struct Case {
    double value, from, to;
    const char* text;
  } cases[] = {{-0.123456789012, -0.123456789012, 2.987654321098, "-0,12"},
               {2.987654321098, -0.123456789012, 2.987654321098, "2,99"},
               {1.000123456, 1.000123456, 1.000987654, "1,000123"},  // close ends keep more digits
               {0.5, 0, 0.5, "0,5"},                                 // trailing zeros go
               {1234.5678, 0, 98765.4321, "1200"},                   // wide ranges round whole numbers
               {-0.0004, -0.0004, 10, "0"},
               {0.25, 0.25, 0.25, "0,25"}};  // no range: as always
  for (const Case& c : cases) EXPECT_EQ(RangeEndText(c.value, c.from, c.to), c.text) << c.value;
}
