// What the "test formula" button of the formula page says about a formula, shared by the
// desktop program (each message a message box) and the renderer's --check-formula.
#pragma once

#include <string_view>

#include "formula/MessageSink.h"

namespace vantorel {

// What the test found.
enum class FormulaVerdict {
  NotConverted,       // the text does not convert, or a constant part cannot be folded
  TooManyVariables,   // more names than PI and the five the computation binds
  WrongVariables,     // a name that is none of X, PI, A, B, AB, BA
  NotDifferentiable,  // dF/dX cannot be had (too large, or a fold of it fails)
  Success,            // usable: "conversion successful" and dF/dX
};

// Converts the text with every message switched on and then says, through the sink: too many
// variables, or each name that is none of X, PI, A, B, AB, BA, or else "conversion
// successful" with the internal formula, then the warnings of the derivative and dF/dX (or why
// it cannot be had). A formula that does not convert gets its conversion messages (or the
// conversion error) and nothing else. Never throws a formula error.
FormulaVerdict TestFormula(std::string_view text, IMessageSink& sink);

}  // namespace vantorel
