#include <bit>
#include <cmath>
#include <string>

#include "formula/CompiledFormula.h"
#include "formula/Formula.h"
#include "fuzz/FuzzTargets.h"

namespace vantorel::fuzz {

namespace {

// Takes a text in as the computation does; false when it does not convert.
bool Take(TFormula& f, const std::string& text, bool derive) {
  f.ShowMessages = false;
  try {
    f.Load(text);
    if (f.Ok() && derive) f.Derive("X");
  } catch (const FormulaError&) {
    return false;
  }
  return f.Ok();
}

void Bind(auto& f, const char* name, double value) {
  if (const int32_t i = f.IndexOfVariable(name); i >= 0) f.SetVariableByIndex(i, value);
}

std::string Bits(double v) { return std::to_string(std::bit_cast<uint64_t>(v)); }

}  // namespace

void Formula(const uint8_t* data, size_t size) {
  if (size > 1000) return;  // long texts only repeat what short ones show, slowly
  const std::string text(reinterpret_cast<const char*>(data), size);
  TFormula f, d;
  if (!Take(f, text, false) || !Take(d, text, true)) return;
  // The written forms and the other derivatives must not fail.
  f.ToText(f.Root());
  for (const char* name : {"A", "AB", "PI"}) {
    try {
      f.DerivativeText(f.Root(), name);
    } catch (const FormulaError&) {
    }
  }
  TCompiledFormula alone(f), both(f, d);
  const double xs[] = {0.0, 0.5, -1.5, 3.75, 1e10, -1e300, 0x1p63, INFINITY, std::nan("")};
  for (const double x : xs) {
    for (const auto& [name, value] : {std::pair{"X", x}, {"AB", 3.4}, {"BA", 2.7}, {"A", 3.4}, {"B", 2.7}}) {
      Bind(f, name, value), Bind(d, name, value), Bind(alone, name, value), Bind(both, name, value);
    }
    const double fv = f.Evaluate(), dv = d.Evaluate();
    double first = 0, second = 0;
    both.EvaluateBoth(first, second);
    const std::string at = " at X = " + std::to_string(x);
    Check(Bits(alone.Evaluate()) == Bits(fv), "F compiled alone differs" + at);
    Check(Bits(both.Evaluate()) == Bits(fv), "F compiled with dF/dX differs" + at);
    Check(Bits(first) == Bits(fv) && Bits(second) == Bits(dv), "F and dF/dX compiled differ" + at);
  }
}

}  // namespace vantorel::fuzz
