#include "formula/FormulaCheck.h"

#include <array>

#include "formula/Formula.h"

namespace vantorel {

namespace {

const char* const kAllowed = "only X, A, B, AB and BA allowed!";
constexpr std::array<std::string_view, 6> kAllowedNames = {"X", "PI", "A", "B", "AB", "BA"};
// PI and the five names the computation binds.
constexpr int32_t kMostVariables = 6;

// Load (and derive) with the messages going to the sink; a conversion error is said too.
bool LoadInto(TFormula& f, std::string_view text, bool derive, IMessageSink& sink) {
  f.Messages = &sink;
  f.ShowMessages = true;
  f.ReportMathErrors = true;
  try {
    f.Load(text);
    if (f.Ok() && derive) f.Derive("X");
  } catch (const FormulaError& e) {
    sink.Show(e.what());
    return false;
  }
  return f.Ok();
}

}  // namespace

FormulaVerdict TestFormula(std::string_view text, IMessageSink& sink) {
  TFormula f;
  if (!LoadInto(f, text, false, sink)) return FormulaVerdict::NotConverted;
  const auto& variables = f.Variables();
  if (variables.size() > static_cast<size_t>(kMostVariables)) {
    sink.Show(std::string("found too many variables!\r") + kAllowed);
    return FormulaVerdict::TooManyVariables;
  }
  bool allAllowed = true;
  for (const auto& v : variables) {
    bool allowed = false;
    for (std::string_view name : kAllowedNames) allowed = allowed || v->Name == name;
    if (!allowed) {
      sink.Show("wrong variables: \"" + v->Name + "\"\r" + kAllowed);
      allAllowed = false;
    }
  }
  if (!allAllowed) return FormulaVerdict::WrongVariables;
  sink.Show("conversion successful\rinternal used formula:\r\r" + f.Text());
  return FormulaVerdict::Success;
}

std::string DerivativeFormula(std::string_view text, IMessageSink& sink) {
  TFormula f;
  return LoadInto(f, text, true, sink) ? f.Text() : std::string();
}

}  // namespace vantorel
