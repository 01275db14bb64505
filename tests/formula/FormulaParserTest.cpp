// Conversion of formula texts into trees: syntax, variable list and conversion errors.
#include <gtest/gtest.h>

#include <string>

#include "formula/Formula.h"

using namespace vantorel;

namespace {

// The fully bracketed form of what SetFormula made of a text.
std::string Tree(const std::string& text) {
  TFormula f;
  f.ShowMessages = false;
  f.SetFormula(text);
  EXPECT_TRUE(f.Ok()) << text;
  return f.ToText(f.Root());
}

// The messages a conversion showed.
std::vector<std::string> Messages(const std::string& text, bool* ok = nullptr) {
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.SetFormula(text);
  if (ok) *ok = f.Ok();
  return sink.Messages;
}

}  // namespace

TEST(FormulaParser, CaseAndSpacesDoNotMatter) {
  EXPECT_EQ(Tree("x*(1-x)"), Tree("X*(1-X)"));
  EXPECT_EQ(Tree("  X + 1 "), "((X)+(1))");
  TFormula f;
  f.SetFormula("  x + 1 ");
  EXPECT_EQ(f.Text(), "x+1");  // spaces removed, case as typed
}

TEST(FormulaParser, OuterBracketsAreStrippedOnlyAroundTheWholePiece) {
  EXPECT_EQ(Tree("((X))"), "X");
  EXPECT_EQ(Tree("(X)*(Y)"), "((X)*(Y))");
}

TEST(FormulaParser, SignsAndUnaryMinus) {
  EXPECT_EQ(Tree("-X"), "((0)-(X))");
  EXPECT_EQ(Tree("-5"), "-5");
  EXPECT_EQ(Tree("-5*X"), "((0)-(((5)*(X))))");
  EXPECT_EQ(Tree("+X"), "X");
  TFormula f;
  f.SetFormula("-2^2");
  EXPECT_DOUBLE_EQ(f.Evaluate(), -4.0);
  EXPECT_EQ(Tree("(1-X)+-X"), "((((1)-(X)))+(((0)-(X))))");
  EXPECT_EQ(Tree("X+-2"), "((X)+(-2))");
  EXPECT_EQ(Tree("X*-2"), "((X)*(-2))");
  EXPECT_EQ(Tree("X--X"), "((X)-(((0)-(X))))");
}

TEST(FormulaParser, OperatorsShareTwoLevelsAndAssociateToTheLeft) {
  EXPECT_EQ(Tree("2*X^2"), "((((2)*(X)))^(2))");
  EXPECT_EQ(Tree("X^2*2"), "((((X)^(2)))*(2))");
  EXPECT_EQ(Tree("2^3^2"), "((((2)^(3)))^(2))");
  EXPECT_EQ(Tree("1+2*3"), "((1)+(((2)*(3))))");
  TFormula f;
  f.SetFormula("8/2/2");
  EXPECT_DOUBLE_EQ(f.Evaluate(), 2.0);
  f.SetFormula("3:4");
  EXPECT_DOUBLE_EQ(f.Evaluate(), 0.75);
}

TEST(FormulaParser, NumbersWithCommaOrPoint) {
  EXPECT_EQ(Tree("1.5"), "1,5");
  EXPECT_EQ(Tree("1,5"), "1,5");
  EXPECT_EQ(Tree("5-3"), "((5)-(3))");
  // No exponent part: 1E5 is a name.
  TFormula f;
  f.SetFormula("1E5");
  ASSERT_EQ(f.VariableCount(), 2);
  EXPECT_EQ(f.VariableName(1), "1E5");
}

TEST(FormulaParser, FunctionsAndNames) {
  EXPECT_EQ(Tree("sinh(X)"), "SINH(X)");
  EXPECT_EQ(Tree("sin(X)"), "SIN(X)");
  EXPECT_EQ(Tree("SINX"), "SINX");
  EXPECT_EQ(Tree("max(X;0,5)"), "MAX(X;0,5)");
  EXPECT_EQ(Tree("min(X+1;sqr(X))"), "MIN(((X)+(1));SQR(X))");
  EXPECT_EQ(Tree("sqrt(x)+atan(x)+teta(x)+fak(x)"), "((((((SQRT(X))+(ATAN(X))))+(TETA(X))))+(FAK(X)))");
  // A trailing operator belongs to a name.
  TFormula f;
  f.SetFormula("X+");
  EXPECT_TRUE(f.Ok());
  EXPECT_EQ(f.VariableName(1), "X+");
}

TEST(FormulaParser, VariableListStartsWithPiAndListsEachNameOnce) {
  TFormula f;
  f.SetFormula("AB*X*(1-X)+B");
  ASSERT_TRUE(f.Ok());
  ASSERT_EQ(f.VariableCount(), 4);
  EXPECT_EQ(f.VariableName(0), "PI");
  EXPECT_EQ(f.VariableName(1), "AB");
  EXPECT_EQ(f.VariableName(2), "X");
  EXPECT_EQ(f.VariableName(3), "B");
  EXPECT_DOUBLE_EQ(f.Variables()[0]->Value, 3.141592653589793);
  EXPECT_DOUBLE_EQ(f.Variables()[1]->Value, 1.0);
  EXPECT_EQ(f.IndexOfVariable("ab"), 1);
  EXPECT_EQ(f.IndexOfVariable("BA"), -1);
  f.SetFormula("PI*2");
  EXPECT_DOUBLE_EQ(f.Evaluate(), 2 * 3.141592653589793);
}

TEST(FormulaParser, ConversionMessages) {
  bool ok = true;
  EXPECT_EQ(Messages("", &ok), std::vector<std::string>{"Formel eingeben!!"});
  EXPECT_FALSE(ok);
  EXPECT_EQ(Messages("X )(", &ok), std::vector<std::string>{"Klammerfehler !!! in\rX)("});
  EXPECT_FALSE(ok);
  EXPECT_EQ(Messages("(X+1", &ok), std::vector<std::string>{"Klammerfehler !!! in\r(X+1"});
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Messages("X*(1-X)", &ok).empty());
  EXPECT_TRUE(ok);
}

TEST(FormulaParser, FailedBracketCheckKeepsThePreviousFormula) {
  TFormula f;
  f.ShowMessages = false;
  f.SetFormula("X+1");
  f.SetFormula("X)(");
  EXPECT_FALSE(f.Ok());
  EXPECT_EQ(f.Text(), "X+1");
  EXPECT_EQ(f.VariableCount(), 2);
  f.SetVariable("X", 2);
  EXPECT_DOUBLE_EQ(f.Evaluate(), 3.0);
}

TEST(FormulaParser, PiecesCutWithUnbalancedBracketsAreFormulaErrors) {
  for (const char* text : {"max(min(X;1);2)", "sin(X)(2)", "max(X)", "sin(X)Y", "sqrt(X)(Y)", "max((X;1))"}) {
    bool ok = true;
    EXPECT_EQ(Messages(text, &ok), std::vector<std::string>{"Fehler in Formel"}) << text;
    EXPECT_FALSE(ok) << text;
  }
  // The same functions nested where the cut is unambiguous convert.
  EXPECT_EQ(Tree("max(X;min(X;1))"), "MAX(X;MIN(X;1))");
}

TEST(FormulaParser, NumbersThatDoNotConvertRaiseATypedError) {
  TFormula f;
  f.ShowMessages = false;
  EXPECT_THROW(f.SetFormula("1,2,3"), FormulaError);
  EXPECT_FALSE(f.Ok());
  EXPECT_DOUBLE_EQ(f.Evaluate(), 1.0);  // no tree: nothing to evaluate, no crash
  try {
    f.SetFormula("X*5-");
    FAIL();
  } catch (const FormulaError& e) {
    EXPECT_NE(std::string(e.what()).find("5-"), std::string::npos) << e.what();
  }
  EXPECT_THROW(f.SetFormula("1" + std::string(400, '0')), FormulaError);  // beyond the double range
}

TEST(FormulaParser, HugeAndDeeplyNestedInputGivesAMessageNotACrash) {
  bool ok = true;
  const std::string brackets = std::string(100000, '(') + "X" + std::string(100000, ')');
  auto messages = Messages(brackets, &ok);
  EXPECT_FALSE(ok);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Formel zu lang", 0), 0u) << messages[0];

  std::string megabyte;
  while (megabyte.size() < 1000000) megabyte += "X+";
  megabyte += "X";
  EXPECT_EQ(Messages(megabyte, &ok).size(), 1u);
  EXPECT_FALSE(ok);

  // Within the length limit but deeper than the tree may go.
  std::string nested;
  for (int i = 0; i < 2000; ++i) nested += "sin(";
  nested += "X" + std::string(2000, ')');
  EXPECT_EQ(Messages(nested, &ok), std::vector<std::string>{"Fehler in Formel"});
  EXPECT_FALSE(ok);
  const std::string bracketed = std::string(20000, '(') + "X" + std::string(20000, ')');
  EXPECT_EQ(Messages(bracketed, &ok), std::vector<std::string>{"Fehler in Formel"});
  std::string chain = "X";
  for (int i = 0; i < 5000; ++i) chain += "*X";
  EXPECT_EQ(Messages(chain, &ok), std::vector<std::string>{"Fehler in Formel"});

  // A deep formula within the limits converts, simplifies and evaluates.
  std::string deep;
  for (int i = 0; i < 150; ++i) deep += "sin(";
  deep += "X" + std::string(150, ')');
  TFormula f;
  f.ShowMessages = false;
  f.Load(deep);
  ASSERT_TRUE(f.Ok());
  f.SetVariable("X", 0.5);
  EXPECT_GT(f.Evaluate(), 0.0);
  f.Derive("X");
  EXPECT_TRUE(f.Ok());
}

TEST(FormulaParser, MessagesAreSilentWhenSwitchedOff) {
  CollectingMessageSink sink;
  TFormula f;
  f.Messages = &sink;
  f.ShowMessages = false;
  f.SetFormula("");
  f.SetFormula("X)(");
  f.SetFormula("sin(X)(2)");
  EXPECT_TRUE(sink.Messages.empty());
}
