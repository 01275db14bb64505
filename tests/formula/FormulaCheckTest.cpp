// What the "test formula" button says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formula/FormulaCheck.h"

using namespace vantorel;

namespace {

struct Said {
  bool converts = false;
  std::vector<std::string> messages;
};

Said Check(const std::string& text) {
  CollectingMessageSink sink;
  Said s;
  s.converts = TestFormula(text, sink);
  s.messages = sink.Messages;
  return s;
}

const std::string kAllowed = "only X, A, B, AB and BA allowed!";

}  // namespace

TEST(FormulaCheck, SuccessShowsTheInternalFormula) {
  const Said s = Check("AB*X*(1-X)");
  EXPECT_TRUE(s.converts);
  EXPECT_EQ(s.messages, std::vector<std::string>{"conversion successful\rinternal used formula:\r\r((AB)*(X))*((1-X))"});
  EXPECT_TRUE(Check("PI*A*B*BA*sin(X)").converts);
}

TEST(FormulaCheck, WrongNamesAreReportedOneByOne) {
  Said s = Check("X*AB+C");
  EXPECT_TRUE(s.converts);
  EXPECT_EQ(s.messages, std::vector<std::string>{"wrong variables: \"C\"\r" + kAllowed});
  s = Check("sinus(X)");
  EXPECT_EQ(s.messages, std::vector<std::string>{"wrong variables: \"SINUS(X)\"\r" + kAllowed});
  s = Check("Q*X+R");
  EXPECT_EQ(s.messages, (std::vector<std::string>{"wrong variables: \"Q\"\r" + kAllowed,
                                                  "wrong variables: \"R\"\r" + kAllowed}));
  s = Check("X*Y*Z*U*V*W");
  EXPECT_EQ(s.messages, std::vector<std::string>{"found too many variables!\r" + kAllowed});
}

TEST(FormulaCheck, AFormulaThatDoesNotConvertGetsNoSuccessMessage) {
  Said s = Check("X)(");
  EXPECT_FALSE(s.converts);
  EXPECT_EQ(s.messages, std::vector<std::string>{"Klammerfehler !!! in\rX)("});
  s = Check("max(min(X;1);2)");
  EXPECT_FALSE(s.converts);
  EXPECT_EQ(s.messages, std::vector<std::string>{"Fehler in Formel"});
  s = Check("");
  EXPECT_EQ(s.messages, std::vector<std::string>{"Formel eingeben!!"});
  s = Check("1,2,3+X");
  EXPECT_FALSE(s.converts);
  ASSERT_EQ(s.messages.size(), 1u);
  EXPECT_NE(s.messages[0].find("1,2,3"), std::string::npos);
  s = Check("X/(2-2)");
  EXPECT_FALSE(s.converts);
  ASSERT_EQ(s.messages.size(), 1u);
  EXPECT_NE(s.messages[0].find("division by zero"), std::string::npos);
}

TEST(FormulaCheck, DomainMessagesOfTheSimplificationAreShown) {
  const Said s = Check("sqrt(0-4)+X");
  ASSERT_EQ(s.messages.size(), 2u);
  EXPECT_EQ(s.messages[0], "Wurzel(-X) !");
  EXPECT_EQ(s.messages[1], "conversion successful\rinternal used formula:\r\r(2+X)");
}

TEST(FormulaCheck, DerivativeFormula) {
  CollectingMessageSink sink;
  EXPECT_EQ(DerivativeFormula("X*(1-X)", sink), "((1-X)+(0-X))");
  EXPECT_EQ(DerivativeFormula("2,5*sqr(sin(X+AB))", sink), "(((2)*(SIN((X+AB))))*(COS((X+AB))))*(2,5)");
  EXPECT_TRUE(sink.Messages.empty());
  EXPECT_EQ(DerivativeFormula("abs(X)", sink), "1");
  EXPECT_EQ(sink.Messages, std::vector<std::string>{"VORSICHT! Nicht differenzierbare Funktion!"});
  EXPECT_EQ(DerivativeFormula("X)(", sink), "");
}
