#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "core/CalcParams.h"

using namespace vantorel;

TEST(CalcParams, DefaultsOfANewProject) {
  const TCalcParams p = DefaultCalcParams();
  EXPECT_EQ(std::pair(p.FixedFormula, p.AdjustRatio), std::pair(-1, true));
  EXPECT_EQ(p.FormulaText, "2,5*sqr(sin(X+AB))");
  EXPECT_EQ(SequenceText(p.Sequence), "AAAAAABBBBBB");
  EXPECT_EQ(p.ColorList, (std::vector<TColorEntry>{
                             {0xFFFFFF, -1.0}, {0x00FFFF, -0.1}, {0x0080FF, 0.0}, {0x0000FF, 0.01}, {0x000000, 0.1}}));
  // The stored lengths agree with the texts and lists they count.
  EXPECT_EQ(std::tuple(p.FormulaLength, p.SequenceLength, p.SequenceSteps, p.ColorCount), std::tuple(18, 12, 12, 5));
  EXPECT_EQ(std::tuple(p.Iterations, p.CalmDownIterations, p.PictureWidth, p.PictureHeight),
            std::tuple(156, 312, 194, 154));
}

TEST(PixelMapping, MapsPixelsOfPlainAndQuarterTurnedRegions) {
  // A 2 x 2 picture of the square -1..1 around 0; j counts rows from the bottom edge.
  struct Case {
    double degrees;
    int32_t i, j;
    double a, b;
  } cases[] = {
      {0, 0, 2, -1, 1},  {0, 1, 2, 0, 1},  {0, 0, 1, -1, 0},   {0, 1, 1, 0, 0},
      {90, 0, 1, 0, -1}, {90, 1, 1, 0, 0}, {90, 0, 2, -1, -1},  // right runs along B, up along -A
  };
  TCalcParams p = DefaultCalcParams();
  p.CenterX = p.CenterY = 0;
  p.Width = p.Height = 2;
  p.PictureWidth = p.PictureHeight = 2;
  for (const Case& c : cases) {
    p.Angle = DegreesToRadians(c.degrees);
    double a, b;
    PixelMapping(p).MapPixel(c.i, c.j, a, b);
    EXPECT_NEAR(a, c.a, 1e-12) << c.degrees << " degrees, pixel " << c.i << "," << c.j;
    EXPECT_NEAR(b, c.b, 1e-12) << c.degrees << " degrees, pixel " << c.i << "," << c.j;
  }
}

TEST(CalcParams, SequenceTextAndCountsRoundedToItAndRefusedOnlyBeyondTheSpinEditsAndTheEndOfARun) {
  // {S, iterations, calm-down, iterations done, refused}
  struct Case {
    int32_t s, iterations, calmDown, done;
    bool refused;
  } cases[] = {
      {12, 100000008, 100000008, 0, false},  // 100000000 rounded to 12 letters
      {12, 100000009, 0, 0, true},          {12, 156, 100000009, 0, true}, {1, 100000001, 0, 0, false},
      {0, 100000001, 0, 0, false},          {12, -12, 0, 0, true},         {12, 156, 0, INT32_MAX - 156, false},
      {12, 156, 0, INT32_MAX - 155, true},  {12, 156, 0, -1, true},
  };
  for (const Case& c : cases) {
    TCalcParams p = DefaultCalcParams();
    p.SetSequence(std::vector<uint8_t>(size_t(c.s), 1));
    p.Iterations = c.iterations, p.CalmDownIterations = c.calmDown, p.IterationsDone = c.done;
    EXPECT_EQ(!(IterationCountProblem(p) + IterationsDoneProblem(p)).empty(), c.refused)
        << c.s << " letters: " << c.iterations << ", " << c.calmDown << ", " << c.done;
  }
  const int32_t rounded[][3] = {{150, 12, 156}, {144, 12, 156}, {1, 1, 2}, {INT32_MAX, 12, INT32_MAX - INT32_MAX % 12}};
  for (const auto& c : rounded) EXPECT_EQ(RoundIterations(c[0], c[1]), c[2]) << c[0] << " with S = " << c[1];
  EXPECT_EQ(ReadSequence("abx"), (std::vector<uint8_t>{0, 1, 1}));
  EXPECT_EQ(SequenceText({0, 1, 1}), "ABB");
}
