#include "formula/FormulaCheck.h"

#include <array>

#include "formula/Formula.h"

namespace vantorel {

namespace {

const char* const kAllowed = "only X, A, B, AB and BA allowed!";
const char* const kDerivativeHeading = "derivative dF/dX, internal used formula:\r\r";
constexpr std::array<std::string_view, 6> kAllowedNames = {"X", "PI", "A", "B", "AB", "BA"};
// PI and the five names the computation binds.
constexpr int32_t kMostVariables = 6;

// Load with the messages going to the sink; a conversion error is said too.
bool LoadInto(TFormula& f, std::string_view text, IMessageSink& sink) {
  f.Messages = &sink;
  f.ShowMessages = true;
  f.ReportMathErrors = true;
  try {
    f.Load(text);
  } catch (const FormulaError& e) {
    sink.Show(e.what());
    return false;
  }
  return f.Ok();
}

}  // namespace

FormulaVerdict TestFormula(std::string_view text, IMessageSink& sink) {
  TFormula f;
  if (!LoadInto(f, text, sink)) return FormulaVerdict::NotConverted;
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
  // The computation needs dF/dX as well: its warnings, or why it cannot be had.
  TFormula d;
  d.ShowMessages = false;
  try {
    d.Load(text);  // quietly: the messages of the conversion were given above
    d.Messages = &sink;
    d.ShowMessages = true;
    d.ReportMathErrors = true;
    d.Derive("X");
  } catch (const FormulaError& e) {
    sink.Show(e.what());
    return FormulaVerdict::NotDifferentiable;
  }
  if (!d.Ok()) return FormulaVerdict::NotDifferentiable;
  sink.Show(std::string(kDerivativeHeading) + d.Text());
  return FormulaVerdict::Success;
}

}  // namespace vantorel
