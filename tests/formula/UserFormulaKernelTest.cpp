// Pictures of user formulas: the formula prepared for the kernels and the computation thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/EngineHarness.h"
#include "core/UserMap.h"

using namespace vantorel;

namespace {

// A block of the user formula; iterations a multiple of the sequence's length.
TCalcParams Block(const std::string& formula, int32_t iterations, const char* sequence = "AAAAAABBBBBB") {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = -1;
  block.SetFormula(formula);
  block.SetSequence(ReadSequence(sequence));
  block.Iterations = iterations;
  block.CalmDownIterations = 120;
  return block;
}

// One fresh pixel, through the kernel the thread would choose.
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
  TCalcParams user = Block("AB*X*(1-X)", 600), fixed = user;
  fixed.FixedFormula = 0;
  const KernelParams kf = KernelParamsFrom(fixed);
  const PixelKernel fixedKernel(kf, nullptr);
  for (int k = 0; k < 400; ++k) {  // a 20 x 20 region of stable orbits: A and B in [2,2; 3,0]
    const double a = 2.2 + 0.04 * (k % 20), b = 2.2 + 0.04 * (k / 20);
    PixelResult f;
    ASSERT_TRUE(fixedKernel.Compute(PixelInput{a, b, true, 0.0, 0.0}, f));
    ASSERT_LT(f.E, 0.0);
    const PixelResult u = UserPixel(user, a, b);
    EXPECT_NEAR(u.E, f.E, 1e-9 * std::fabs(f.E)) << a << " " << b;
    EXPECT_NEAR(u.X, f.X, 1e-12) << a << " " << b;
  }
}

TEST(UserFormulaKernel, KnownExponents) {
  // The logistic map at 4 has the exponent ln 2 (from X = 0,3; 0,5 runs into the fixed point 0
  // at once). At the stable fixed point of AB = 2,5 the exponent is ln|2 - AB|: the smart kernel
  // lets the last pass stand for the passes left, the plain one sums one pass more than N stands
  // for. A formula without X adds the penalty -100 every step: two passes of 12 over N = 12.
  // Formula, N, smart kernel, A = B, exponent, tolerance:
  const std::tuple<const char*, int32_t, bool, double, double, double> cases[] = {
      {"AB*X*(1-X)", 200004, false, 4, std::log(2.0), 0.01},
      {"AB*X*(1-X)", 1200, true, 2.5, std::log(0.5), 1e-9},
      {"AB*X*(1-X)", 1200, false, 2.5, std::log(0.5) * (1 + 12.0 / 1200), 1e-6},
      {"AB*0,5+PI", 12, false, 3, -200, 1e-12}};
  for (const auto& [formula, iterations, smart, ab, exponent, tolerance] : cases) {
    TCalcParams block = Block(formula, iterations);
    block.SmartIterate = smart;
    block.ErrorLimit = 1e-9;
    block.StartX = 0.3;
    EXPECT_NEAR(UserPixel(block, ab, ab).E, exponent, tolerance) << formula << (smart ? " smart" : "");
  }
}

TEST(UserFormulaKernel, NamesOfTheUserFormula) {
  // BA under the sequence "AAB" is AB under "BBA"; A and B are the point itself, whatever the
  // sequence; other names keep the value one.
  const char* const cases[][4] = {{"BA*X*(1-X)", "AAB", "AB*X*(1-X)", "BBA"},
                                  {"A*X*(1-X)", "AAB", "AB*X*(1-X)", "AAA"},
                                  {"C*AB*X*(1-X)", "AAB", "AB*X*(1-X)", "AAB"}};
  for (const auto& c : cases) {
    const PixelResult r = UserPixel(Block(c[0], 240, c[1]), 3.3, 2.4);
    const PixelResult same = UserPixel(Block(c[2], 240, c[3]), 3.3, 2.4);
    EXPECT_EQ(std::pair(r.E, r.X), std::pair(same.E, same.X)) << c[0];
  }
}

TEST(UserFormulaKernel, BrokenUserFormulaIsRefusedOnlyWhenInUse) {
  const std::pair<std::string, std::string> cases[] = {
      {"sin((X+", "Klammerfehler !!! in\nsin((X+"},
      {"", "Formel eingeben!!"},
      {"sin(X)(2)", "Fehler in Formel"},
      {"X/0", "division by zero in the formula: a divisor is the constant 0"},
      {"1,2,3*X", "'1,2,3' is not a valid number"}};
  for (const auto& [text, why] : cases)
    EXPECT_THAT([&] { PrepareUserMap(Block(text, 24)); },
                testing::ThrowsMessage<FormatError>("The user formula \"" + text + "\" cannot be computed:\n" + why));
  TCalcParams block = Block("sin((X+", 24);
  block.PictureWidth = block.PictureHeight = 4;
  TPicture picture;
  picture.Resize(4, 4);
  DirectDispatcher direct;
  EXPECT_THROW(TRechenThread(direct, 1).Setup(block, picture), FormatError);
  block.FixedFormula = 1;  // a fixed formula in use: the broken text does not matter
  EXPECT_NO_THROW(TRechenThread(direct, 1).Setup(block, picture));
}
