// Values of formulas: operand limits, substitutes, messages and the factorial.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <functional>
#include <thread>

#include "formula/Formula.h"

using namespace vantorel;

namespace {

double ValueAt(const std::string& text, double x) {
  TFormula f;
  f.ShowMessages = false;
  f.Load(text);
  EXPECT_TRUE(f.Ok()) << text;
  f.SetVariable("X", x);
  return f.Evaluate();
}

// Messages that evaluating a formula at x shows with domain errors reported.
std::vector<std::string> MathMessages(const std::string& text, double x) {
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.SetFormula(text);
  f.ReportMathErrors = true;
  f.SetVariable("X", x);
  f.Evaluate();
  return sink.Messages;
}

}  // namespace

TEST(FormulaEvaluation, KnownValues) {
  EXPECT_DOUBLE_EQ(ValueAt("X*(1-X)", 0.25), 0.1875);
  EXPECT_DOUBLE_EQ(ValueAt("X^2", -3), 9.0);
  EXPECT_DOUBLE_EQ(ValueAt("X^3", -2), -8.0);
  EXPECT_DOUBLE_EQ(ValueAt("teta(X-0,5)", 0.5), 1.0);
  EXPECT_DOUBLE_EQ(ValueAt("teta(X-0,5)", 0.49), 0.0);
  EXPECT_DOUBLE_EQ(ValueAt("sqrt(X)", -4), 2.0);
  EXPECT_DOUBLE_EQ(ValueAt("fak(X)", 3.5), 6 * std::sqrt(3.5));
  EXPECT_DOUBLE_EQ(ValueAt("int(X)+frac(X)*10", -2.75), -2 - 7.5);
  EXPECT_DOUBLE_EQ(ValueAt("abs(X)+max(X;1)+min(X;1)", -2), 2 + 1 - 2);
  EXPECT_NEAR(ValueAt("sin(X)^2+cos(X)^2", 0.7), 1.0, 1e-15);
  EXPECT_NEAR(ValueAt("atan(X)*4", 1), M_PI, 1e-15);
  EXPECT_NEAR(ValueAt("log(exp(X))", 2.5), 2.5, 1e-15);
  EXPECT_NEAR(ValueAt("cosh(X)^2-sinh(X)^2", 1.5), 1.0, 1e-14);
  EXPECT_NEAR(ValueAt("tanh(X)-sinh(X)/cosh(X)", 0.3), 0.0, 1e-16);
  EXPECT_NEAR(ValueAt("tan(X)", M_PI / 4), 1.0, 1e-15);
}

TEST(FormulaEvaluation, OperandLimitsAndSubstitutes) {
  EXPECT_DOUBLE_EQ(ValueAt("1/X", 0), 1e100);
  EXPECT_DOUBLE_EQ(ValueAt("exp(X)", 1000), std::exp(650.0));
  EXPECT_NEAR(ValueAt("log(X)", 0), std::log(1e-300), 1e-12);
  EXPECT_DOUBLE_EQ(ValueAt("X+X", 1e308), 2e300);
  EXPECT_DOUBLE_EQ(ValueAt("X*X", -1e200), 1e300);
  EXPECT_DOUBLE_EQ(ValueAt("sqr(X)", 1e200), 1e300);
  EXPECT_DOUBLE_EQ(ValueAt("sinh(X)", -1000), std::sinh(-650.0));
  EXPECT_DOUBLE_EQ(ValueAt("0^X", 2), 0.0);          // base 0 folded by the simplification
  EXPECT_EQ(ValueAt("X^2", 0), 0.0);                 // base 0 becomes 1e-300: 1e-600 is 0
  EXPECT_DOUBLE_EQ(ValueAt("sin(X)", 1e19), 0.0);    // beyond the processor's sine
  EXPECT_DOUBLE_EQ(ValueAt("cos(X)", -1e19), 0.0);
  EXPECT_DOUBLE_EQ(ValueAt("X+1", std::numeric_limits<double>::quiet_NaN()), 1e300);  // NaN: upper bound
}

TEST(FormulaEvaluation, WhatOverflowsDespiteTheLimitsGivesOne) {
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.Load("X/(X-1)+cosh(-X)");
  f.SetVariable("X", 1e300);  // 1e300 / 1e300 fine, cosh(-1e300) overflows
  EXPECT_DOUBLE_EQ(f.Evaluate(), 1.0);
  EXPECT_EQ(sink.Messages, std::vector<std::string>{"Wert nicht ermittelbar"});
  f.ShowMessages = false;
  f.Load("X^X");
  f.SetVariable("X", 1000);
  EXPECT_DOUBLE_EQ(f.Evaluate(), 1.0);
  f.Load("1/X*X");
  f.SetVariable("X", 1e-320);
  EXPECT_DOUBLE_EQ(f.EvaluateNode(f.Root()), 1.0);
  EXPECT_EQ(sink.Messages.size(), 1u);
}

TEST(FormulaEvaluation, DomainErrorsAreReportedOnlyWhenAskedFor) {
  EXPECT_EQ(MathMessages("1/X", 0), std::vector<std::string>{"Division durch null !"});
  EXPECT_EQ(MathMessages("X^2", -3), std::vector<std::string>{"Log(x) mit x<0 !"});
  EXPECT_EQ(MathMessages("X^2", 0), std::vector<std::string>{"Log(x) mit x=0 !"});
  EXPECT_EQ(MathMessages("log(X)", -1), std::vector<std::string>{"Log(x) mit x<=0 !"});
  EXPECT_EQ(MathMessages("sqrt(X)", -1), std::vector<std::string>{"Wurzel(-X) !"});
  EXPECT_TRUE(MathMessages("1/X+log(X)+sqrt(X)", 2).empty());
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.Load("1/X");
  f.SetVariable("X", 0);
  EXPECT_DOUBLE_EQ(f.Evaluate(), 1e100);
  EXPECT_TRUE(sink.Messages.empty());
}

TEST(FormulaEvaluation, Factorial) {
  EXPECT_DOUBLE_EQ(TFormula::Factorial(-1), -1);
  EXPECT_DOUBLE_EQ(TFormula::Factorial(0), 1);
  EXPECT_DOUBLE_EQ(TFormula::Factorial(1), 1);
  EXPECT_DOUBLE_EQ(TFormula::Factorial(5), 120);
  EXPECT_DOUBLE_EQ(TFormula::Factorial(10), 3628800);
  EXPECT_DOUBLE_EQ(TFormula::Factorial(0.5), std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(TFormula::Factorial(3.5), 6 * std::sqrt(3.5));
  EXPECT_NEAR(TFormula::Factorial(160) / std::tgamma(161.0), 1.0, 1e-13);
  // The product stops growing once it passes 1e300 (at 167!), so huge arguments return at once.
  const double stop = TFormula::Factorial(167);
  EXPECT_GT(stop, 1e300);
  EXPECT_EQ(TFormula::Factorial(170), stop);
  EXPECT_EQ(TFormula::Factorial(1e15), stop);
  EXPECT_EQ(TFormula::Factorial(1e300), stop);
  EXPECT_EQ(ValueAt("fak(X)", 1e15), stop);
  EXPECT_DOUBLE_EQ(ValueAt("fak(X)", 1e15 + 0.75), 1.0);  // times x^0,75: beyond the double range
}

TEST(FormulaEvaluation, VariablesBySetterAndByIndex) {
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.Load("A*X+B");
  const int a = f.IndexOfVariable("a");
  const int b = f.IndexOfVariable("B");
  const int x = f.IndexOfVariable("x");
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  ASSERT_GT(x, 0);
  f.SetVariableByIndex(a, 2);
  f.SetVariableByIndex(b, 3);
  f.SetVariableByIndex(x, 5);
  EXPECT_DOUBLE_EQ(f.Evaluate(), 13);
  f.SetVariable("Q", 1);  // unknown: nothing changes, nothing said without ReportMathErrors
  EXPECT_EQ(f.IndexOfVariable("Q"), -1);
  EXPECT_TRUE(sink.Messages.empty());
  f.ReportMathErrors = true;
  EXPECT_EQ(f.IndexOfVariable("AB"), -1);
  f.SetVariable("AB", 1);
  const std::string missing = "Ich kann eine Variable nicht finden.\rVielleicht wurde sie abgelitten!";
  EXPECT_EQ(sink.Messages, (std::vector<std::string>{missing, missing}));
  EXPECT_DOUBLE_EQ(f.Evaluate(), 13);
}

TEST(FormulaEvaluation, TwoObjectsEvaluateOnTwoThreads) {
  // Objects are independent: each thread evaluates its own.
  TFormula f1, f2;
  f1.Load("X*(1-X)*4");
  f2.Load("X*(1-X)*4");
  double r1 = 0, r2 = 0;
  auto iterate = [](TFormula& f, double& result) {
    double x = 0.2;
    for (int i = 0; i < 10000; ++i) {
      f.SetVariable("X", x);
      x = f.Evaluate();
    }
    result = x;
  };
  std::thread t1(iterate, std::ref(f1), std::ref(r1));
  std::thread t2(iterate, std::ref(f2), std::ref(r2));
  t1.join();
  t2.join();
  EXPECT_EQ(r1, r2);
}
