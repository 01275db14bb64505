#include <gtest/gtest.h>

#include "core/NumberText.h"

using namespace vantorel;

TEST(FloatToText, GeneralFormWithComma) {
  EXPECT_EQ(FloatToText(0.01), "0,01");
  EXPECT_EQ(FloatToText(-1.0), "-1");
  EXPECT_EQ(FloatToText(-0.1), "-0,1");
  EXPECT_EQ(FloatToText(0.0), "0");
  EXPECT_EQ(FloatToText(2.5), "2,5");
  EXPECT_EQ(FloatToText(3.959), "3,959");
  EXPECT_EQ(FloatToText(0.1137635), "0,1137635");
  EXPECT_EQ(FloatToText(1.0 / 3.0), "0,333333333333333");
  EXPECT_EQ(FloatToText(120.0), "120");
  EXPECT_EQ(FloatToText(123456789012345.0), "123456789012345");
}

TEST(FloatToText, ScientificForExtremeMagnitudes) {
  EXPECT_EQ(FloatToText(0.0001), "0,0001");
  EXPECT_EQ(FloatToText(0.00001), "1E-5");
  EXPECT_EQ(FloatToText(1.5e-7), "1,5E-7");
  EXPECT_EQ(FloatToText(1e15), "1E15");
  EXPECT_EQ(FloatToText(-2.5e20), "-2,5E20");
}

TEST(TextToFloat, AcceptsTheCommaOnly) {
  EXPECT_EQ(TextToFloat("0,5"), 0.5);
  EXPECT_EQ(TextToFloat(" -1,5E-3 "), -1.5e-3);
  EXPECT_EQ(TextToFloat("7"), 7.0);
  EXPECT_EQ(TextToFloat(",5"), 0.5);
  EXPECT_FALSE(TextToFloat("0.5"));
  EXPECT_FALSE(TextToFloat(""));
  EXPECT_FALSE(TextToFloat("abc"));
  EXPECT_FALSE(TextToFloat("1,5x"));
  EXPECT_FALSE(TextToFloat("1e400"));
  EXPECT_EQ(TextToFloatLenient("0.5"), 0.5);
  EXPECT_EQ(TextToFloatLenient("0,5"), 0.5);
}

TEST(TextToFloat, RoundTripsEveryShownValue) {
  for (double v : {0.0132, 0.0105, 1.189, -0.1, 1e-20, 6.02e23, 0.001})
    EXPECT_EQ(TextToFloat(FloatToText(v)), v) << FloatToText(v);
}

TEST(FixedText, TwoDecimals) { EXPECT_EQ(FixedText(25.0, 2), "25,00"); }
