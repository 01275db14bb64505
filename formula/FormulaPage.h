// The texts of the formula page's tools: the help on formulas and the parser texts of the
// fixed formulas.
#pragma once

#include <optional>
#include <string>

namespace vantorel {

// The help on formulas: operators, functions and the preset variable, lines separated by a
// carriage return.
std::string FormulaHelpText();

// The parser text of fixed formula item (0 to 5) with the parameter texts W, V and U inserted
// as typed; nothing for any other item.
std::optional<std::string> FixedFormulaText(int item, const std::string& w, const std::string& v, const std::string& u);

}  // namespace vantorel
