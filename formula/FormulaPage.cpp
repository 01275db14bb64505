#include "formula/FormulaPage.h"

#include "core/NumberText.h"

namespace vantorel {

std::string FormulaHelpText() {
  const std::string indent(11, ' ');
  const char* const lines[] = {"Implementiert (für reelle Zahlen):",
                               "Operatoren:",
                               "+ - * / ^",
                               "Funktionen:",
                               "sin(_) cos(_) tan(_) atan(_)",
                               "sinh(_) cosh(_) tanh(_)",
                               "exp(_) log(_) sqr(_) sqrt(_)",
                               "max(_;_) min(_;_) fak(_)",
                               "teta(_) int(_) frac(_) abs(_)",
                               "voreingestellte Variablen:"};
  std::string text;
  for (const char* line : lines) {
    const std::string s(line);
    const bool heading = s.back() == ':';
    text += (heading ? "" : indent) + s + "\r";
  }
  text += std::string(10, ' ') + "Pi=" + FloatToText(3.141592653589793) + "\r";
  text += "\rHINWEIS:\revtl. unsinnige Ausdrücke können als\rVariablen interpretiert werden !!!!!";
  return text;
}

std::optional<std::string> FixedFormulaText(int item, const std::string& w, const std::string& v,
                                            const std::string& u) {
  switch (item) {
    case 0: return "AB*X*(1-X)";
    case 1: return w + "*sqr(sin(X+AB))";
    case 2: return "teta(X-0,5)*AB*X*abs(1-X)+teta(0,5-X)*(AB*X*(1-X)+" + u + "*(AB-2)/4)";
    case 3: return "teta(-sin(2*X))*" + w + "*sqr(sin(X+AB))+teta(sin(2*X))*(" + w + "*sqr(sin(x+AB))+" + u + "*AB)";
    case 4: return "AB*(" + w + "*sin(X+AB)+" + v + "*cos(X+AB))";
    case 5: return w + "*AB*(cos(X-AB))+" + v + "*BA*X";
    default: return std::nullopt;
  }
}

}  // namespace vantorel
