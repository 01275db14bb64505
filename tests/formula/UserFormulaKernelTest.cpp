// Pictures of user formulas: the formula prepared for the kernels and the computation thread.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/RechenThread.h"
#include "core/UserMap.h"
#include "support/TestSupport.h"

using namespace vantorel;

namespace {

TCalcParams Block(const std::string& formula, int32_t iterations, const char* sequence = "AAAAAABBBBBB") {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = -1;
  block.SetFormula(formula);
  block.SetSequence(ReadSequence(sequence));
  block.Iterations = RoundIterations(iterations, block.SequenceLength);
  block.CalmDownIterations = 120;
  return block;
}

// The exponent of one fresh pixel, through the kernel the thread would choose.
PixelResult UserPixel(const TCalcParams& block, double a, double b) {
  const KernelParams p = KernelParamsFrom(block);
  const auto factory = PrepareUserMap(block);
  const auto map = factory->Create();
  PixelResult out;
  EXPECT_TRUE(PixelKernel(p, map.get()).Compute(PixelInput{a, b, true, 0.0, 0.0}, out));
  return out;
}

}  // namespace

TEST(UserFormulaKernel, LogisticMapMatchesFixedFormula1WhereOrbitsAreStable) {
  TCalcParams user = Block("AB*X*(1-X)", 600);
  TCalcParams fixed = user;
  fixed.FixedFormula = 0;
  const KernelParams kp = KernelParamsFrom(user), kf = KernelParamsFrom(fixed);
  const auto factory = PrepareUserMap(user);
  const auto map = factory->Create();
  const PixelKernel userKernel(kp, map.get()), fixedKernel(kf, nullptr);
  // A 20 x 20 region of stable orbits: A and B in [2,2; 3,0].
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 20; ++j) {
      const PixelInput in{2.2 + 0.04 * i, 2.2 + 0.04 * j, true, 0.0, 0.0};
      PixelResult u, f;
      ASSERT_TRUE(userKernel.Compute(in, u));
      ASSERT_TRUE(fixedKernel.Compute(in, f));
      ASSERT_LT(f.E, 0.0);
      EXPECT_NEAR(u.E, f.E, 1e-9 * std::fabs(f.E)) << in.A << " " << in.B;
      EXPECT_NEAR(u.X, f.X, 1e-12);
    }
}

TEST(UserFormulaKernel, LogisticMapAtFourHasTheExponentLn2) {
  TCalcParams block = Block("AB*X*(1-X)", 200000);
  block.StartX = 0.3;  // 0,5 runs into the fixed point 0 at once
  const PixelResult r = UserPixel(block, 4, 4);
  EXPECT_NEAR(r.E, std::log(2.0), 0.01);
}

TEST(UserFormulaKernel, SmartKernelRunsTheUserFormula) {
  TCalcParams block = Block("AB*X*(1-X)", 1200);
  block.SmartIterate = true;
  block.ErrorLimit = 1e-9;
  // A stable fixed point: the last pass stands for the passes left, so the exponent is
  // ln|2 - AB| itself; the plain kernel sums one pass more than N stands for.
  const PixelResult r = UserPixel(block, 2.5, 2.5);
  EXPECT_NEAR(r.E, std::log(0.5), 1e-9);
  block.SmartIterate = false;
  EXPECT_NEAR(UserPixel(block, 2.5, 2.5).E, std::log(0.5) * (1 + 12.0 / block.Iterations), 1e-6);
}

TEST(UserFormulaKernel, FormulaWithoutXAddsThePenaltyEveryStep) {
  // N = 12 with 12 letters: two passes of 12 summed steps, each -100, divided by 12.
  TCalcParams block = Block("AB*0,5+PI", 12);
  block.Iterations = 12;
  EXPECT_DOUBLE_EQ(UserPixel(block, 3, 2).E, -200.0);
}

TEST(UserFormulaKernel, BaIsTheOtherLetter) {
  // BA under the sequence "AB" is AB under "BA".
  const PixelResult ba = UserPixel(Block("BA*X*(1-X)", 240, "AAB"), 3.3, 2.4);
  const PixelResult ab = UserPixel(Block("AB*X*(1-X)", 240, "BBA"), 3.3, 2.4);
  EXPECT_EQ(ba.E, ab.E);
  EXPECT_EQ(ba.X, ab.X);
  // A and B are the point itself: A*X*(1-X) ignores the sequence.
  EXPECT_EQ(UserPixel(Block("A*X*(1-X)", 240, "AAB"), 3.3, 2.4).E,
            UserPixel(Block("AB*X*(1-X)", 240, "AAA"), 3.3, 2.4).E);
}

TEST(UserFormulaKernel, OtherNamesKeepTheValueOne) {
  EXPECT_EQ(UserPixel(Block("C*AB*X*(1-X)", 240), 3.3, 2.4).E, UserPixel(Block("AB*X*(1-X)", 240), 3.3, 2.4).E);
}

namespace {

// Why PrepareUserMap refused a formula; empty when it did not.
std::string Refusal(const std::string& text) {
  try {
    PrepareUserMap(Block(text, 24));
  } catch (const FormatError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(UserFormulaKernel, BrokenUserFormulaIsRefusedOnlyWhenInUse) {
  for (const char* text : {"sin((X+", "", "X/0", "1,2,3*X", "sin(X)(2)"})
    EXPECT_NE(Refusal(text).find("cannot be computed"), std::string::npos) << text;
  EXPECT_NE(Refusal("X/0").find("division by zero"), std::string::npos);
  EXPECT_NE(Refusal("sin((X+").find("Klammerfehler !!! in\nsin((X+"), std::string::npos);

  TCalcParams block = Block("sin((X+", 24);
  DirectDispatcher direct;
  TPicture picture;
  picture.Resize(4, 4);
  block.PictureWidth = block.PictureHeight = 4;
  {
    TRechenThread t(direct, 1);
    EXPECT_THROW(t.Setup(block, picture), FormatError);
  }
  block.FixedFormula = 1;  // a fixed formula in use: the broken text does not matter
  TRechenThread t(direct, 1);
  EXPECT_NO_THROW(t.Setup(block, picture));
}

TEST(UserFormulaKernel, TheThreadComputesAUserFormulaPicture) {
  test::TempDir dir;
  TCalcParams block = Block("2,5*sqr(sin(X+AB))", 48);
  block.CalmDownIterations = 24;
  block.PictureWidth = block.PictureHeight = 12;
  TPicture picture;
  picture.Resize(12, 12);
  PixelDataFile tmp1, tmp2;
  tmp1.Create(dir.file("p.TMP1"));
  tmp2.Create(dir.file("p.TMP2"));
  DirectDispatcher direct;
  TRechenThread t(direct, 2);
  t.Setup(block, picture);
  t.SetFresh(true);
  t.SetFiles(tmp1, tmp2);
  bool finished = false;
  t.SetFinishedHandler([&] { finished = true; });
  t.SetErrorHandler([](const std::string& message) { ADD_FAILURE() << message; });
  t.Resume();
  t.WaitFor();
  ASSERT_TRUE(finished);
  std::vector<double> e(144);
  tmp1.ReadAt(0, e.data(), e.size());
  const PixelMapping mapping(block);
  for (int k = 0; k < 144; k += 13) {
    double a, b;
    mapping.MapPixel(k % 12, 12 - k / 12, a, b);
    EXPECT_EQ(e[size_t(k)], UserPixel(block, a, b).E) << k;
  }
}
