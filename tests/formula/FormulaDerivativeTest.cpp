// Text forms, simplification and the symbolic derivative.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/NumberText.h"
#include "formula/Formula.h"

using namespace vantorel;

namespace {

std::string Internal(const std::string& text) {
  TFormula f;
  f.ShowMessages = false;
  f.Load(text);
  EXPECT_TRUE(f.Ok()) << text;
  return f.Text();
}

std::string DerivativeInternal(const std::string& text) {
  TFormula f;
  f.ShowMessages = false;
  f.Load(text);
  f.Derive("X");
  EXPECT_TRUE(f.Ok()) << text;
  return f.Text();
}

// dF/dX at x (other variables as given) through a derived object.
double SlopeAt(const std::string& text, double x, double ab = 1.0) {
  TFormula f;
  f.ShowMessages = false;
  f.Load(text);
  f.Derive("x");
  EXPECT_TRUE(f.Ok()) << text;
  f.SetVariable("X", x);
  if (f.IndexOfVariable("AB") >= 0) f.SetVariable("AB", ab);
  return f.Evaluate();
}

}  // namespace

TEST(FormulaText, InternalFormulas) {
  EXPECT_EQ(Internal("X*(1-X)"), "(X)*((1-X))");
  EXPECT_EQ(Internal("1*X+0"), "X");
  EXPECT_EQ(Internal("(2)*(3)+X"), "(6+X)");
  EXPECT_EQ(Internal("0*X+1"), "1");
  EXPECT_EQ(Internal("X/2"), "(X)*(0,5)");
  EXPECT_EQ(Internal("fak(5)"), "120");
  EXPECT_EQ(Internal("AB*X*(1-X)"), "((AB)*(X))*((1-X))");
  EXPECT_EQ(Internal("2,5*sqr(sin(X+AB))"), "(2,5)*(SQR(SIN((X+AB))))");
  EXPECT_EQ(Internal("sinh(X)"), "SINH(X)");
  EXPECT_EQ(Internal("max(2*3;X)"), "MAX(6;X)");
  EXPECT_EQ(Internal("X*-1"), "(0-X)");
  EXPECT_EQ(Internal("2^3+sqrt(16)+log(1)+teta(-1)"), "12");
  EXPECT_EQ(Internal("(-2)^X+(-2)^0,5"), "((-2)^(X)+-10000)");
  EXPECT_EQ(Internal("log(0)+X"), "(-10000+X)");
}

TEST(FormulaText, FullyBracketedForm) {
  TFormula f;
  f.SetFormula("X*(1-X)+max(X;2)+sinh(x)-sin(x)");
  EXPECT_EQ(f.ToText(f.Root()),
            "((((((((X)*(((1)-(X)))))+(MAX(X;2))))+(SINH(X))))-(SIN(X)))");
}

TEST(FormulaText, NumbersAreWrittenWithoutExponents) {
  // The parser reads no exponent part, so folded constants must not be written with one.
  EXPECT_EQ(Internal("X/100000"), "(X)*(0,00001)");
  TFormula f;
  f.ShowMessages = false;
  f.Load("X*0,00001");
  f.SetVariable("X", 3);
  EXPECT_DOUBLE_EQ(f.Evaluate(), 3e-5);
  EXPECT_EQ(f.VariableCount(), 2);
  f.Load("X+10^20");
  EXPECT_EQ(f.Text(), "(X+100000000000000000000)");
  EXPECT_EQ(FloatToPlainText(1.5e-7), "0,00000015");
  EXPECT_EQ(FloatToPlainText(-2.5e20), "-250000000000000000000");
  EXPECT_EQ(FloatToPlainText(0.1137635), "0,1137635");
  EXPECT_EQ(TextToFloat(FloatToPlainText(1e-310)), 1e-310);
}

TEST(FormulaText, FoldsThatCannotBeComputedRaiseTypedErrors) {
  TFormula f;
  f.ShowMessages = false;
  EXPECT_THROW(f.Load("X/0"), FormulaError);
  EXPECT_THROW(f.Load("X/(1-1)"), FormulaError);
  EXPECT_FALSE(f.Ok());
  EXPECT_THROW(f.Load("exp(1000)*X"), FormulaError);
  EXPECT_THROW(f.Load("fak(10000000000,9)+X"), FormulaError);
  EXPECT_THROW(f.Load("sqr(10^200)+X"), FormulaError);
  try {
    f.Load("X/0");
  } catch (const FormulaError& e) {
    EXPECT_NE(std::string(e.what()).find("division by zero"), std::string::npos);
  }
}

TEST(FormulaDerivative, KnownDerivatives) {
  EXPECT_EQ(DerivativeInternal("X*(1-X)"), "((1-X)+(0-X))");
  EXPECT_EQ(DerivativeInternal("X-X*X"), "(1-(X+X))");
  EXPECT_DOUBLE_EQ(SlopeAt("X*(1-X)", 0.25), 0.5);
  EXPECT_DOUBLE_EQ(SlopeAt("AB*X*(1-X)", 0.5, 4), 0.0);
  for (double x : {-3.0, 0.0, 0.3, 7.0}) EXPECT_DOUBLE_EQ(SlopeAt("abs(1-2*X)", x), 2.0);
  EXPECT_NEAR(SlopeAt("sin(X)", 0.3), std::cos(0.3), 1e-15);
  EXPECT_NEAR(SlopeAt("cos(X)", 0.3), -std::sin(0.3), 1e-15);
  EXPECT_NEAR(SlopeAt("tan(X)", 0.3), 1 / std::pow(std::cos(0.3), 2), 1e-14);
  EXPECT_NEAR(SlopeAt("exp(2*X)", 0.3), 2 * std::exp(0.6), 1e-14);
  EXPECT_NEAR(SlopeAt("log(X)", 0.3), 1 / 0.3, 1e-14);
  EXPECT_NEAR(SlopeAt("sqr(X)", 0.3), 0.6, 1e-15);
  EXPECT_NEAR(SlopeAt("sinh(X)", 0.3), std::cosh(0.3), 1e-15);
  EXPECT_NEAR(SlopeAt("cosh(X)", 0.3), std::sinh(0.3), 1e-15);
  EXPECT_NEAR(SlopeAt("tanh(X)", 0.3), 1 / std::pow(std::cosh(0.3), 2), 1e-15);
  EXPECT_NEAR(SlopeAt("sqrt(X)", 0.3), 0.5 / std::sqrt(0.3), 1e-15);
  EXPECT_NEAR(SlopeAt("atan(X)", 0.3), 1 / 1.09, 1e-15);
  EXPECT_NEAR(SlopeAt("X^3", 0.3), 3 * 0.09, 1e-15);
  EXPECT_NEAR(SlopeAt("2^X", 0.3), std::log(2) * std::pow(2, 0.3), 1e-15);
  EXPECT_NEAR(SlopeAt("1/X", 0.5), -4, 1e-14);
  EXPECT_NEAR(SlopeAt("max(X;1-X)", 0.8), 1, 0);
  EXPECT_NEAR(SlopeAt("min(X;1-X)", 0.8), -1, 0);
  EXPECT_NEAR(SlopeAt("fak(X)", 3.5), 6 * std::sqrt(3.5) * (std::log(3.5) + 0.5 / 3.5), 1e-12);
  EXPECT_DOUBLE_EQ(SlopeAt("frac(3*X)", 0.3), 3.0);
  EXPECT_DOUBLE_EQ(SlopeAt("int(X)+teta(X)", 0.3), 0.0);
}

TEST(FormulaDerivative, FormulaWithoutXHasTheDerivativeZero) {
  TFormula f;
  f.ShowMessages = false;
  f.Load("AB*sin(BA)");
  f.Derive("X");
  ASSERT_TRUE(f.Ok());
  EXPECT_EQ(f.Text(), "0");
  EXPECT_EQ(f.IndexOfVariable("X"), -1);
  EXPECT_EQ(f.Evaluate(), 0.0);
}

TEST(FormulaDerivative, WarningsOnlyWhenAskedFor) {
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.Load("abs(X)+int(X)+max(X;1)");
  f.Derive("X");
  EXPECT_TRUE(sink.Messages.empty());
  f.ReportMathErrors = true;
  f.Load("abs(X)+int(X)");
  f.Derive("X");
  EXPECT_EQ(sink.Messages, (std::vector<std::string>{"VORSICHT! Nicht differenzierbare Funktion!",
                                                     "VORSICHT! Unstetige Funktion!"}));
}

TEST(FormulaDerivative, SimplifyEndsOnAnUnstableChainOfFolds) {
  // Each pass folds one level of "1+1+...": the pass limit ends the loop with a correct formula.
  std::string sum = "1";
  for (int i = 0; i < 300; ++i) sum += "+1";
  TFormula f;
  f.ShowMessages = false;
  f.Load(sum + "+X");
  ASSERT_TRUE(f.Ok());
  f.SetVariable("X", 0.5);
  EXPECT_DOUBLE_EQ(f.Evaluate(), 301.5);
}

TEST(FormulaDerivative, DeriveOfAFailedFormulaSaysSo) {
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.Load("");
  f.Derive("X");
  EXPECT_FALSE(f.Ok());
  EXPECT_EQ(sink.Messages, (std::vector<std::string>{"Formel eingeben!!", "Fehler in Formel"}));
}
