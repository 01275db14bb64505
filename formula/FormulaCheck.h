// What the "test formula" button of the formula page says about a formula, shared by the
// desktop program (each message a message box) and the renderer's --check-formula.
#pragma once

#include <string>
#include <string_view>

#include "formula/MessageSink.h"

namespace vantorel {

// What the test found.
enum class FormulaVerdict {
  NotConverted,       // the text does not convert, or a constant part cannot be folded
  TooManyVariables,   // more names than PI and the five the computation binds
  WrongVariables,     // a name that is none of X, PI, A, B, AB, BA
  Success,            // usable: "conversion successful"
};

// Converts the text with every message switched on and then says, through the sink: too many
// variables, or each name that is none of X, PI, A, B, AB, BA, or else "conversion
// successful" with the internal formula. A formula that does not convert gets its conversion
// messages (or the conversion error) and nothing else. Never throws a formula error.
FormulaVerdict TestFormula(std::string_view text, IMessageSink& sink);

// The internal formula of dF/dX for a formula that converts, with the warnings of the
// derivative said through the sink; empty when it does not convert.
std::string DerivativeFormula(std::string_view text, IMessageSink& sink);

}  // namespace vantorel
