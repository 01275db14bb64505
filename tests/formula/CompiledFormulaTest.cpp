// The flat program gives the tree walk's values to the bit, alone and with F and dF/dX in one;
// evaluation allocates nothing (it runs billions of times per picture): this test program
// counts the allocations of each thread.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "core/UserMap.h"
#include "formula/CompiledFormula.h"
#include "formula/Formula.h"

namespace {
thread_local long allocations = 0;
}

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace vantorel;

namespace {

// F and dF/dX of a text, taken in quietly.
struct FormulaAndSlope {
  TFormula f, d;
  explicit FormulaAndSlope(const char* text) {
    f.ShowMessages = d.ShowMessages = false;
    f.Load(text);
    d.Load(text);
    d.Derive("X");
    EXPECT_TRUE(f.Ok() && d.Ok()) << text;
  }
};

// Binds the computation's names in formulas and programs; names one does not use are skipped.
template <class... Formulas>
void Bind(double x, double ab, double ba, Formulas&... formulas) {
  auto bind = [](auto& f, const char* name, double value) {
    if (const int32_t i = f.IndexOfVariable(name); i >= 0) f.SetVariableByIndex(i, value);
  };
  for (const auto& [name, value] : {std::pair{"X", x}, {"AB", ab}, {"BA", ba}, {"A", ab}, {"B", ba}})
    (bind(formulas, name, value), ...);
}

uint64_t Bits(double v) { return std::bit_cast<uint64_t>(v); }

}  // namespace

TEST(CompiledFormula, SameValuesToTheBitAsTheTreeWalk) {
  const char* const formulas[] = {"2,5*sqr(sin(X+AB))",
                                  "AB*X*(1-X)",
                                  "PI*X+A-B",
                                  "sin(X)*cos(X)+sin(AB)",
                                  "2,5*AB*(cos(X-AB))+0,1137635*BA*X",
                                  "teta(X-0,5)*AB*X*abs(1-X)+teta(0,5-X)*(AB*X*(1-X)+0,063633*(AB-2)/4)",
                                  "AB*(2,5*sin(X+AB)+0,1137635*cos(X+BA))",
                                  "X^AB-log(X)/sqrt(X)+exp(X*BA)",
                                  "tan(X)+atan(X)+sinh(X)-cosh(X)*tanh(X)",
                                  "max(X;AB)*min(X;BA)+fak(X)+int(X)+frac(X)",
                                  "1/X+X^X+cosh(X*1000)"};  // the last faults for large X
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-5, 6);
  for (const char* text : formulas) {
    FormulaAndSlope t(text);
    TCompiledFormula alone(t.f), both(t.f, t.d);
    // First the values beyond the sine's range and those a file's start value may hold.
    const double special[] = {std::nan(""), INFINITY, -INFINITY, 0x1p63, -0x1p63, 0x1p64, -0.0};
    for (int k = 0; k < 2000; ++k) {
      const double x = k < 7 ? special[k] : mantissa(random) * std::pow(10.0, exponent(random));
      const double ab = mantissa(random) * 4, ba = mantissa(random) * 4;
      Bind(x, ab, ba, t.f, t.d, alone, both);
      const double fv = t.f.Evaluate(), dv = t.d.Evaluate();
      double first = 0, second = 0;
      both.EvaluateBoth(first, second);
      // alone, both for F only, and both for F and dF/dX
      ASSERT_EQ((std::array{Bits(alone.Evaluate()), Bits(both.Evaluate()), Bits(first), Bits(second)}),
                (std::array{Bits(fv), Bits(fv), Bits(fv), Bits(dv)}))
          << text << " at " << x;
    }
  }
}

TEST(CompiledFormula, ZeroBasesAndLogarithmsOfZeroGiveTheTreeWalksBits) {
  // The substitute 1e-300 and its logarithm: the tree walk may fold ln(1e-300) while the
  // program computes it, unless both use the same written-out value.
  for (const char* text : {"X^AB", "(X-X)^AB+X", "log(X)*AB", "(0-X)^AB"}) {
    FormulaAndSlope t(text);
    TCompiledFormula alone(t.f), both(t.f, t.d);
    for (double ab : {-3.0, -1.0, -0.5, 0.5, 1.0, 2.5, 1000.0}) {
      for (double x : {0.0, -0.0}) {
        Bind(x, ab, ab, t.f, t.d, alone, both);
        double first = 0, second = 0;
        both.EvaluateBoth(first, second);
        ASSERT_EQ((std::array{Bits(alone.Evaluate()), Bits(first), Bits(second)}),
                  (std::array{Bits(t.f.Evaluate()), Bits(t.f.Evaluate()), Bits(t.d.Evaluate())}))
            << text << " at AB = " << ab;
      }
    }
  }
  FormulaAndSlope power("X^AB");
  Bind(0, -1, 0, power.f);
  EXPECT_DOUBLE_EQ(power.f.Evaluate(), 1e300);
}

TEST(CompiledFormula, TwoFormulasShareNamesAndAFaultInOneLeavesTheOtherAlone) {
  TFormula f, g;
  f.Load("X+1");
  g.Load("X^X+BA");  // overflows for X = 300
  TCompiledFormula both(f, g);
  for (int32_t i = 0; i < f.VariableCount(); ++i) EXPECT_EQ(both.IndexOfVariable(f.VariableName(i)), i);
  EXPECT_EQ(both.IndexOfVariable("ba"), f.VariableCount());  // names only the second uses follow
  EXPECT_EQ(both.IndexOfVariable("AB"), -1);
  Bind(300, 0, 0, both);
  double first = 0, second = 0;
  both.EvaluateBoth(first, second);
  EXPECT_EQ(first, 301.0);
  EXPECT_EQ(second, 1.0);
  EXPECT_EQ(TCompiledFormula().Evaluate(), 1.0);
}

TEST(CompiledFormula, CommonPartsAreComputedOnce) {
  FormulaAndSlope t("2,5*sqr(sin(X+AB))");
  ASSERT_EQ(t.d.Text(), "(((2)*(SIN((X+AB))))*(COS((X+AB))))*(2,5)");
  EXPECT_EQ(TCompiledFormula(t.f).Size(), 4u);       // +, SIN, SQR, *
  EXPECT_EQ(TCompiledFormula(t.d).Size(), 6u);       // +, SIN and COS fused, *, *, *
  EXPECT_EQ(TCompiledFormula(t.f, t.d).Size(), 8u);  // the sum and the sine are shared
}

TEST(CompiledFormula, EvaluationWithDomainErrorsAndFaultsAndUserFormulaStepsAllocateNothing) {
  FormulaAndSlope t("1/X+log(X)+sqrt(X)+X^2+fak(X)");
  TCompiledFormula both(t.f, t.d);
  const int32_t fx = t.f.IndexOfVariable("X"), dx = t.d.IndexOfVariable("X"), bx = both.IndexOfVariable("X");
  const auto factory = PrepareUserMap(DefaultCalcParams());
  const auto map = factory->Create();
  const long before = allocations;
  double sum = 0, slope = 0, x = 0.5;
  for (double v : {0.0, -1.0, 2.5, 1e300, -1e300}) {
    t.f.SetVariableByIndex(fx, v);
    t.d.SetVariableByIndex(dx, v);
    both.SetVariableByIndex(bx, v);
    double value, s;
    both.EvaluateBoth(value, s);
    sum += t.f.Evaluate() + t.d.Evaluate() + value + s + both.Evaluate();
  }
  map->Begin(3.4, 2.7);
  for (int k = 0; k < 1000; ++k) x = map->Step(map->Next(x, 3.4, 2.7), 2.7, 3.4, slope);
  EXPECT_EQ(allocations, before);
  EXPECT_TRUE(std::isfinite(sum + x + slope));
}
