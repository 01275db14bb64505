// TFormula: conversion of texts into trees, what a text that cannot be taken in says, internal
// (simplified) formulas, values with their operand limits and substitutes, derivatives, and
// what the "test formula" button says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "formula/Formula.h"
#include "formula/FormulaCheck.h"

using namespace vantorel;
using Texts = std::vector<std::string>;
using TextPair = std::pair<std::string, std::string>;

namespace {

enum Step { kConvert, kLoad, kDerive };

// A text converted by SetFormula, or taken in by Load as every client does (and then derived by
// X), with its messages collected.
struct Formula {
  CollectingMessageSink sink;
  TFormula f;
  explicit Formula(const std::string& text, Step step = kLoad, bool show = true, bool reportMath = false) {
    f.Messages = &sink;
    f.ShowMessages = show;
    f.ReportMathErrors = reportMath;
    step == kConvert ? f.SetFormula(text) : f.Load(text);
    if (step == kDerive) f.Derive("x");
  }
  double At(double x) {
    f.SetVariable("X", x);
    return f.Evaluate();
  }
};

std::string Repeat(const std::string& piece, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += piece;
  return s;
}

}  // namespace

TEST(FormulaParser, TreesOfTexts) {
  // Case and spaces do not matter; outer brackets go only around the whole piece; a sign before
  // anything but a number is 0 minus the rest; *, / and ^ share a level, left to right; there is
  // no exponent part (1E5 is a name); a trailing operator belongs to a name.
  const TextPair cases[] = {{"x*(1-x)", "((X)*(((1)-(X))))"},
                            {"  X + 1 ", "((X)+(1))"},
                            {"((X))", "X"},
                            {"(X)*(Y)", "((X)*(Y))"},
                            {"-X", "((0)-(X))"},
                            {"-5", "-5"},
                            {"-5*X", "((0)-(((5)*(X))))"},
                            {"-2^2", "((0)-(((2)^(2))))"},
                            {"+X", "X"},
                            {"(1-X)+-X", "((((1)-(X)))+(((0)-(X))))"},
                            {"X+-2", "((X)+(-2))"},
                            {"X*-2", "((X)*(-2))"},
                            {"X--X", "((X)-(((0)-(X))))"},
                            {"1+2*3", "((1)+(((2)*(3))))"},
                            {"2*X^2", "((((2)*(X)))^(2))"},
                            {"X^2*2", "((((X)^(2)))*(2))"},
                            {"2^3^2", "((((2)^(3)))^(2))"},
                            {"8/2/2", "((((8)/(2)))/(2))"},
                            {"3:4", "((3)/(4))"},
                            {"1.5", "1,5"},
                            {"5-3", "((5)-(3))"},
                            {"1E5", "1E5"},
                            {"X+", "X+"},
                            {"SINX", "SINX"},
                            {"sinh(X)-sin(X)", "((SINH(X))-(SIN(X)))"},
                            {"min(X+1;sqr(X))", "MIN(((X)+(1));SQR(X))"},
                            {"max(X;min(X;1))", "MAX(X;MIN(X;1))"},
                            {"sqrt(x)+atan(x)+teta(x)+fak(x)", "((((((SQRT(X))+(ATAN(X))))+(TETA(X))))+(FAK(X)))"}};
  for (const auto& [text, tree] : cases) {
    const Formula t(text, kConvert);
    EXPECT_TRUE(t.f.Ok() && t.sink.Messages.empty()) << text;
    EXPECT_EQ(t.f.ToText(t.f.Root()), tree) << text;
  }
  EXPECT_EQ(Formula("  x + 1 ", kConvert).f.Text(), "x+1");  // spaces removed, case as typed
  // The variable list starts with PI and lists each name once, in order of appearance.
  const Formula t("AB*X*(1-X)+B*X", kConvert);
  Texts names;
  for (int32_t i = 0; i < t.f.VariableCount(); ++i) names.push_back(t.f.VariableName(i));
  EXPECT_EQ(names, (Texts{"PI", "AB", "X", "B"}));
  EXPECT_EQ(t.f.Variables()[0]->Value, 3.141592653589793);
}

TEST(FormulaParser, TextsThatDoNotConvertSayWhyOnlyWhenMessagesAreOnAndDeepOnesWithinTheLimitsWork) {
  const std::string error = "Fehler in Formel";
  const TextPair cases[] = {
      {"", "Formel eingeben!!"},
      {"X )(", "Klammerfehler !!! in\rX)("},
      {"(X+1", "Klammerfehler !!! in\r(X+1"},
      // Pieces cut at ";" or at the last ")" whose brackets do not balance.
      {"max(min(X;1);2)", error},
      {"max((X;1))", error},
      {"max(X)", error},
      {"sin(X)(2)", error},
      {"sin(X)Y", error},
      {"sqrt(X)(Y)", error},
      // Too long, or deeper than the tree may go.
      {std::string(100000, '(') + "X" + std::string(100000, ')'), "Formel zu lang !!! (höchstens 100000 Zeichen)"},
      {Repeat("sin(", 2000) + "X" + std::string(2000, ')'), error},
      {std::string(20000, '(') + "X" + std::string(20000, ')'), error},
      {"X" + Repeat("*X", 5000), error},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text.substr(0, 30));
    const Formula shown(text, kConvert), silent(text, kConvert, false);
    EXPECT_FALSE(shown.f.Ok());
    EXPECT_EQ(shown.sink.Messages, Texts{message});
    EXPECT_TRUE(silent.sink.Messages.empty());
  }
  Formula kept("X+1", kConvert);  // a failed bracket check keeps the previous formula
  kept.f.SetFormula("X)(");
  EXPECT_EQ(kept.f.Text(), "X+1");
  EXPECT_EQ(kept.At(2), 3.0);
  // A deep formula within the limits converts, evaluates and derives.
  const std::string deep = Repeat("sin(", 150) + "X" + std::string(150, ')');
  EXPECT_GT(Formula(deep).At(0.5), 0.0);
  EXPECT_TRUE(Formula(deep, kDerive).f.Ok());
}

TEST(FormulaParser, NumbersAndFoldsThatCannotBeComputedRaiseTypedErrors) {
  const std::string huge = "1" + std::string(400, '0');  // beyond the double range
  const std::string byZero = "division by zero in the formula: a divisor is the constant 0";
  const std::string overflow = "floating point overflow in the formula: a constant part is too large to compute";
  const TextPair cases[] = {
      {"1,2,3", "'1,2,3' is not a valid number"},
      {"X*5-", "'5-' is not a valid number"},
      {huge, "'" + huge + "' is not a valid number"},
      {"X/0", byZero},
      {"X/(1-1)", byZero},
      {"exp(1000)*X", overflow},
      {"fak(10000000000,9)+X", overflow},
      {"sqr(10^200)+X", overflow},
      // A zero divisor is said before the dividend is folded.
      {"X/0+exp(1000)*X", byZero},
      {"max(X/0;exp(1000))", byZero},
  };
  for (const auto& [text, message] : cases) {
    TFormula f;
    EXPECT_THAT([&] { f.Load(text); }, testing::ThrowsMessage<FormulaError>(message));
    EXPECT_FALSE(f.Ok()) << text;  // unusable, even when the tree was built before the fold
  }
  TFormula f;
  EXPECT_THROW(f.SetFormula("1,2,3"), FormulaError);
  EXPECT_EQ(f.Evaluate(), 1.0);  // no tree: nothing to evaluate, no crash
}

TEST(FormulaText, InternalFormulas) {
  const TextPair cases[] = {{"X*(1-X)", "(X)*((1-X))"},
                            {"AB*X*(1-X)", "((AB)*(X))*((1-X))"},
                            {"1*X+0", "X"},
                            {"0*X+1", "1"},
                            {"2,5*sqr(sin(X+AB))", "(2,5)*(SQR(SIN((X+AB))))"},
                            {"(2)*(3)+X", "(6+X)"},
                            {"X*-1", "(0-X)"},
                            {"fak(5)", "120"},
                            {"sinh(X)", "SINH(X)"},
                            {"max(2*3;X)", "MAX(6;X)"},
                            {"2^3+sqrt(16)+log(1)+teta(-1)", "12"},
                            {"(-2)^X+(-2)^0,5", "((-2)^(X)+-10000)"},
                            {"log(0)+X", "(-10000+X)"},
                            {"X-X*X", "(X-(X)*(X))"},
                            // Folded numbers are written without exponents: the parser reads none.
                            {"X/2", "(X)*(0,5)"},
                            {"X/(10^20)", "(X)*(0,00000000000000000001)"},
                            {"X+10^20", "(X+100000000000000000000)"}};
  for (const auto& [text, internal] : cases) EXPECT_EQ(Formula(text).f.Text(), internal) << text;
  // Each pass folds one level of "1+1+...": the pass limit ends the loop with a correct formula.
  Formula sum("1" + Repeat("+1", 300) + "+X");
  EXPECT_EQ(sum.At(0.5), 301.5);
}

TEST(FormulaEvaluation, WhatOverflowsDespiteTheLimitsGivesOne) {
  Formula shown("X/(X-1)+cosh(-X)"), quiet("X^X", kLoad, false), node("1/X*X");
  EXPECT_EQ(shown.At(1e300), 1.0);  // 1e300 / 1e300 is fine, cosh(-1e300) overflows
  EXPECT_EQ(shown.sink.Messages, Texts{"Wert nicht ermittelbar"});
  EXPECT_EQ(quiet.At(1000), 1.0);
  node.f.SetVariable("X", 1e-320);
  EXPECT_EQ(node.f.EvaluateNode(node.f.Root()), 1.0);
  EXPECT_TRUE(quiet.sink.Messages.empty() && node.sink.Messages.empty());
}

// Domain errors are said only when asked for, in the order of the text: folds and their errors go
// left subtree first; a zero divisor is replaced and said before the dividend is evaluated; a
// derivative beyond the guards says so. Said or not, the value is the same.
TEST(FormulaEvaluation, DomainErrorsAreSaidOnlyWhenAskedForInTheOrderOfTheText) {
  const std::tuple<std::string, Step, double, Texts> cases[] = {
      {"1/X", kLoad, 0, {"Division durch null !"}},
      {"X^2", kLoad, -3, {"Log(x) mit x<0 !"}},
      {"X^2", kLoad, 0, {"Log(x) mit x=0 !"}},
      {"log(X)", kLoad, -1, {"Log(x) mit x<=0 !"}},
      {"sqrt(X)", kLoad, -1, {"Wurzel(-X) !"}},
      {"log(0)*X+sqrt(-4)", kLoad, 1, {"Log(-X) !", "Wurzel(-X) !"}},
      {"max(sqrt(-4);log(0))+X", kLoad, 1, {"Wurzel(-X) !", "Log(-X) !"}},
      {"log(X)/(X-X)", kLoad, 0, {"Division durch null !", "Log(x) mit x<=0 !"}},
      {"sqrt(X)/(X-X)+X^2", kLoad, -1, {"Division durch null !", "Wurzel(-X) !", "Log(x) mit x<0 !"}},
      {Repeat("sin(", 300) + "X" + std::string(300, ')'), kDerive, 1, {"formula too large to differentiate"}},
  };
  for (const auto& [text, step, x, messages] : cases) {
    SCOPED_TRACE(text.substr(0, 30));
    Formula reported(text, step, true, true), silent(text, step);
    if (reported.f.Ok()) {
      EXPECT_EQ(reported.At(x), silent.At(x));
    }
    EXPECT_EQ(reported.sink.Messages, messages);
    EXPECT_TRUE(step != kLoad || silent.sink.Messages.empty());
  }
}

TEST(FormulaEvaluation, MissingNamesAreSaidOnlyWhenAskedFor) {
  Formula t("1/X+log(X)+sqrt(X)");
  t.f.SetVariable("AB", 1);
  EXPECT_TRUE(t.sink.Messages.empty());
  t.f.ReportMathErrors = true;
  t.At(2);  // no domain error
  t.f.SetVariable("AB", 1);
  EXPECT_EQ(t.f.IndexOfVariable("ab"), -1);
  EXPECT_EQ(t.sink.Messages, Texts(2, "Ich kann eine Variable nicht finden.\rVielleicht wurde sie abgelitten!"));
}

TEST(FormulaEvaluation, FactorialAndItsCut) {
  for (const auto& [x, value] : {std::pair{-1.0, -1.0},
                                 {0.0, 1.0},
                                 {1.0, 1.0},
                                 {5.0, 120.0},
                                 {10.0, 3628800.0},
                                 {0.5, std::sqrt(0.5)},
                                 {3.5, 6 * std::sqrt(3.5)}})
    EXPECT_DOUBLE_EQ(TFormula::Factorial(x), value) << x;
  EXPECT_NEAR(TFormula::Factorial(160) / std::tgamma(161.0), 1.0, 1e-13);
  // The product stops growing once it passes 1e300 (at 167!), so huge arguments return at once.
  const double stop = TFormula::Factorial(167);
  EXPECT_GT(stop, 1e300);
  for (double x : {170.0, 1e15, 1e300}) EXPECT_EQ(TFormula::Factorial(x), stop) << x;
  Formula fak("fak(X)", kLoad, false);
  EXPECT_EQ(fak.At(1e15), stop);
  EXPECT_EQ(fak.At(1e15 + 0.75), 1.0);  // times x^0,75: beyond the double range
}

// (Known slopes: UserFormulaTest, through every evaluator.)
TEST(FormulaDerivative, TextsAndWarnings) {
  EXPECT_EQ(Formula("X-X*X", kDerive).f.Text(), "(1-(X+X))");
  EXPECT_EQ(Formula("AB*sin(BA)", kDerive).f.Text(), "0");
  // Warnings only when asked for; a formula that failed says so.
  EXPECT_TRUE(Formula("abs(X)+int(X)+max(X;1)", kDerive).sink.Messages.empty());
  EXPECT_EQ(Formula("abs(X)+int(X)", kDerive, true, true).sink.Messages,
            (Texts{"VORSICHT! Nicht differenzierbare Funktion!", "VORSICHT! Unstetige Funktion!"}));
  const Formula failed("", kDerive);
  EXPECT_FALSE(failed.f.Ok());
  EXPECT_EQ(failed.sink.Messages, (Texts{"Formel eingeben!!", "Fehler in Formel"}));
}

TEST(FormulaCheck, WhatTheTestButtonSaysAndTheDerivative) {
  const std::string allowed = "only X, A, B, AB and BA allowed!";
  const std::string success = "conversion successful\rinternal used formula:\r\r";
  const std::string slope = "derivative dF/dX, internal used formula:\r\r";
  const std::string deep = Repeat("sin(", 300) + "X" + std::string(300, ')');
  using enum FormulaVerdict;
  const std::tuple<std::string, FormulaVerdict, Texts> cases[] = {
      {"AB*X*(1-X)", Success, {success + "((AB)*(X))*((1-X))", slope + "((AB)*((1-X))+(0-(AB)*(X)))"}},
      {"X*AB+C", WrongVariables, {"wrong variables: \"C\"\r" + allowed}},
      {"PI*A*B*BA*sin(X)",
       Success,
       {success + "((((PI)*(A))*(B))*(BA))*(SIN(X))", slope + "(COS(X))*((((PI)*(A))*(B))*(BA))"}},
      // Messages of the conversion once; warnings of the derivative.
      {"sqrt(0-4)+X", Success, {"Wurzel(-X) !", success + "(2+X)", slope + "1"}},
      {"log(0)+X", Success, {"Log(-X) !", success + "(-10000+X)", slope + "1"}},
      {"abs(X)+A", Success, {success + "(ABS(X)+A)", "VORSICHT! Nicht differenzierbare Funktion!", slope + "1"}},
      {deep, NotDifferentiable, {success + "...", "formula too large to differentiate"}},
      {"sinus(X)", WrongVariables, {"wrong variables: \"SINUS(X)\"\r" + allowed}},
      {"Q*X+R", WrongVariables, {"wrong variables: \"Q\"\r" + allowed, "wrong variables: \"R\"\r" + allowed}},
      {"X*Y*Z*U*V*W", TooManyVariables, {"found too many variables!\r" + allowed}},
      // A formula that does not convert gets its conversion messages (the parser's table) but no
      // success message.
      {"", NotConverted, {"Formel eingeben!!"}},
      {"X/0", NotConverted, {"division by zero in the formula: a divisor is the constant 0"}},
  };
  for (const auto& [text, verdict, messages] : cases) {
    CollectingMessageSink sink;
    EXPECT_EQ(TestFormula(text, sink), verdict) << text.substr(0, 30);
    if (text == deep) {  // the internal formula of the deep one is long: only its start and the end
      ASSERT_EQ(sink.Messages.size(), 2u);
      EXPECT_EQ(sink.Messages[0].substr(0, success.size() + 4), success + "SIN(");
      EXPECT_EQ(sink.Messages[1], messages[1]);
      continue;
    }
    EXPECT_EQ(sink.Messages, messages) << text;
  }
}
