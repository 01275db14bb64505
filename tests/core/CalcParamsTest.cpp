#include <gtest/gtest.h>

#include <cmath>

#include "core/CalcParams.h"

using namespace vantorel;

TEST(CalcParams, DefaultsOfANewProject) {
  const TCalcParams p = DefaultCalcParams();
  EXPECT_EQ(p.FixedFormula, -1);
  EXPECT_EQ(p.FormulaText, "2,5*sqr(sin(X+AB))");
  EXPECT_EQ(p.FormulaLength, 18);
  EXPECT_EQ(SequenceText(p.Sequence), "AAAAAABBBBBB");
  EXPECT_EQ(p.SequenceLength, 12);
  EXPECT_EQ(p.SequenceSteps, 12);
  EXPECT_EQ(p.Iterations, 156);
  EXPECT_EQ(p.CalmDownIterations, 312);
  EXPECT_EQ(p.PictureWidth, 194);
  EXPECT_EQ(p.PictureHeight, 154);
  ASSERT_EQ(p.ColorCount, 5);
  EXPECT_DOUBLE_EQ(p.ColorList[0].Value, -1.0);
  EXPECT_DOUBLE_EQ(p.ColorList[1].Value, -0.1);
  EXPECT_DOUBLE_EQ(p.ColorList[2].Value, 0.0);
  EXPECT_DOUBLE_EQ(p.ColorList[3].Value, 0.01);
  EXPECT_DOUBLE_EQ(p.ColorList[4].Value, 0.1);
  EXPECT_EQ(p.ColorList[2].Color, 0x0080FFu);
  EXPECT_TRUE(p.AdjustRatio);
}

TEST(CalcParams, IterationRounding) {
  EXPECT_EQ(RoundIterations(150, 12), 156);
  EXPECT_EQ(RoundIterations(144, 12), 156);
  EXPECT_EQ(RoundIterations(1, 1), 2);
}

TEST(CalcParams, SequenceReading) {
  EXPECT_EQ(ReadSequence("abx"), (std::vector<uint8_t>{0, 1, 1}));
  EXPECT_EQ(SequenceText({0, 1, 1}), "ABB");
}

TEST(PixelMapping, CornersOfAnUnrotatedRegion) {
  TCalcParams p = DefaultCalcParams();
  p.CenterX = 0; p.CenterY = 0; p.Width = 2; p.Height = 2; p.Angle = 0;
  p.PictureWidth = 2; p.PictureHeight = 2;
  const PixelMapping m(p);
  double a, b;
  m.MapPixel(0, 2 - 0, a, b); EXPECT_DOUBLE_EQ(a, -1); EXPECT_DOUBLE_EQ(b, 1);
  m.MapPixel(1, 2 - 0, a, b); EXPECT_DOUBLE_EQ(a, 0); EXPECT_DOUBLE_EQ(b, 1);
  m.MapPixel(0, 2 - 1, a, b); EXPECT_DOUBLE_EQ(a, -1); EXPECT_DOUBLE_EQ(b, 0);
  m.MapPixel(1, 2 - 1, a, b); EXPECT_DOUBLE_EQ(a, 0); EXPECT_DOUBLE_EQ(b, 0);
}

TEST(PixelMapping, QuarterTurnRunsRightAlongB) {
  TCalcParams p = DefaultCalcParams();
  p.CenterX = 0; p.CenterY = 0; p.Width = 2; p.Height = 2; p.Angle = DegreesToRadians(90);
  p.PictureWidth = 2; p.PictureHeight = 2;
  const PixelMapping m(p);
  double a0, b0, a1, b1, a2, b2;
  m.MapPixel(0, 1, a0, b0);
  m.MapPixel(1, 1, a1, b1);  // one to the right
  m.MapPixel(0, 2, a2, b2);  // one up
  EXPECT_NEAR(a1 - a0, 0.0, 1e-12);
  EXPECT_NEAR(b1 - b0, 1.0, 1e-12);
  EXPECT_NEAR(a2 - a0, -1.0, 1e-12);
  EXPECT_NEAR(b2 - b0, 0.0, 1e-12);
}
