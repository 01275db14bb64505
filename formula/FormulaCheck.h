// What the "test formula" button of the formula page says about a formula, shared by the
// desktop program (each message a message box) and the renderer's --check-formula.
#pragma once

#include <string>
#include <string_view>

#include "formula/MessageSink.h"

namespace vantorel {

// Converts the text with every message switched on and then says, through the sink: too many
// variables, or each name that is none of X, PI, A, B, AB, BA, or else "conversion
// successful" with the internal formula. Returns true when the text converts; a formula that
// does not convert gets its conversion messages but no success message.
bool TestFormula(std::string_view text, IMessageSink& sink);

// The internal formula of dF/dX for a formula that converts, with the warnings of the
// derivative said through the sink; empty when it does not convert.
std::string DerivativeFormula(std::string_view text, IMessageSink& sink);

}  // namespace vantorel
