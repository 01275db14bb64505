// The flat program gives the tree walk's values to the bit, alone and with F and dF/dX in one.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "formula/CompiledFormula.h"
#include "formula/Formula.h"

using namespace vantorel;

namespace {

const char* const kFormulas[] = {
    "2,5*sqr(sin(X+AB))",
    "AB*X*(1-X)",
    "teta(X-0,5)*AB*X*abs(1-X)+teta(0,5-X)*(AB*X*(1-X)+0,063633*(AB-2)/4)",
    "AB*(2,5*sin(X+AB)+0,1137635*cos(X+BA))",
    "2,5*AB*(cos(X-AB))+0,1137635*BA*X",
    "X^AB-log(X)/sqrt(X)+exp(X*BA)",
    "tan(X)+atan(X)+sinh(X)-cosh(X)*tanh(X)",
    "max(X;AB)*min(X;BA)+fak(X)+int(X)+frac(X)",
    "1/X+X^X+cosh(X*1000)",  // faults for large X
    "sin(X)*cos(X)+sin(AB)",
    "PI*X+A-B",
};

uint64_t Bits(double v) { return std::bit_cast<uint64_t>(v); }

void SetAll(TFormula& f, double x, double ab, double ba) {
  for (const auto& [name, value] : {std::pair{"X", x}, {"AB", ab}, {"BA", ba}, {"A", ab}, {"B", ba}}) {
    const int32_t i = f.IndexOfVariable(name);
    if (i >= 0) f.SetVariableByIndex(i, value);
  }
}

void SetAll(TCompiledFormula& c, double x, double ab, double ba) {
  for (const auto& [name, value] : {std::pair{"X", x}, {"AB", ab}, {"BA", ba}, {"A", ab}, {"B", ba}}) {
    const int32_t i = c.IndexOfVariable(name);
    if (i >= 0) c.SetVariableByIndex(i, value);
  }
}

}  // namespace

TEST(CompiledFormula, SameValuesToTheBitAsTheTreeWalk) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-5, 6);
  for (const char* text : kFormulas) {
    TFormula f, d;
    f.ShowMessages = d.ShowMessages = false;
    f.Load(text);
    d.Load(text);
    d.Derive("X");
    ASSERT_TRUE(f.Ok() && d.Ok()) << text;
    TCompiledFormula alone(f), both(f, d);
    for (int k = 0; k < 2000; ++k) {
      const double x = mantissa(random) * std::pow(10.0, exponent(random));
      const double ab = mantissa(random) * 4, ba = mantissa(random) * 4;
      SetAll(f, x, ab, ba);
      SetAll(d, x, ab, ba);
      SetAll(alone, x, ab, ba);
      SetAll(both, x, ab, ba);
      const double fv = f.Evaluate(), dv = d.Evaluate();
      ASSERT_EQ(Bits(alone.Evaluate()), Bits(fv)) << text << " at " << x;
      ASSERT_EQ(Bits(both.Evaluate()), Bits(fv)) << text << " at " << x;
      double first = 0, second = 0;
      both.EvaluateBoth(first, second);
      ASSERT_EQ(Bits(first), Bits(fv)) << text << " at " << x;
      ASSERT_EQ(Bits(second), Bits(dv)) << text << " at " << x;
    }
  }
}

TEST(CompiledFormula, AFaultInOneFormulaLeavesTheOtherAlone) {
  TFormula f, g;
  f.Load("X+1");
  g.Load("X^X+X");  // overflows for X = 300
  TCompiledFormula both(f, g);
  both.SetVariableByIndex(both.IndexOfVariable("X"), 300);
  double first = 0, second = 0;
  both.EvaluateBoth(first, second);
  EXPECT_EQ(first, 301.0);
  EXPECT_EQ(second, 1.0);
}

TEST(CompiledFormula, CommonPartsAreComputedOnce) {
  TFormula f, d;
  f.Load("2,5*sqr(sin(X+AB))");
  d.Load("2,5*sqr(sin(X+AB))");
  d.Derive("X");
  ASSERT_EQ(d.Text(), "(((2)*(SIN((X+AB))))*(COS((X+AB))))*(2,5)");
  const TCompiledFormula alone(f), slope(d), both(f, d);
  EXPECT_EQ(alone.Size(), 4u);  // +, SIN, SQR, *
  EXPECT_EQ(slope.Size(), 6u);  // +, SIN and COS fused, *, *, *
  EXPECT_EQ(both.Size(), 8u);   // the sum and the sine are shared
}

TEST(CompiledFormula, VariablesByName) {
  TFormula f, d;
  f.Load("AB*X*(1-X)+C");
  d.Load("AB*X*(1-X)+C");
  d.Derive("X");
  TCompiledFormula alone(f), both(f, d);
  for (int32_t i = 0; i < f.VariableCount(); ++i) EXPECT_EQ(alone.IndexOfVariable(f.VariableName(i)), i);
  EXPECT_EQ(both.IndexOfVariable("pi"), 0);
  EXPECT_EQ(both.IndexOfVariable("ab"), f.IndexOfVariable("AB"));
  EXPECT_EQ(both.IndexOfVariable("BA"), -1);
  // A name the parser met starts at 1.0, as in the formula.
  both.SetVariableByIndex(both.IndexOfVariable("X"), 0.5);
  both.SetVariableByIndex(both.IndexOfVariable("AB"), 4);
  double value = 0, slope = 0;
  both.EvaluateBoth(value, slope);
  EXPECT_DOUBLE_EQ(value, 2.0);
  EXPECT_DOUBLE_EQ(slope, 0.0);
  TCompiledFormula none;
  EXPECT_EQ(none.Evaluate(), 1.0);
}

TEST(CompiledFormula, CopiesAreIndependent) {
  TFormula f;
  f.Load("X*2");
  TCompiledFormula a(f);
  TCompiledFormula b = a;
  a.SetVariableByIndex(a.IndexOfVariable("X"), 1);
  b.SetVariableByIndex(b.IndexOfVariable("X"), 5);
  EXPECT_EQ(a.Evaluate(), 2.0);
  EXPECT_EQ(b.Evaluate(), 10.0);
}
