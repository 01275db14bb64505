// vantorel-render --check-formula TEXT: what the formula page's test button says about a formula.
#pragma once

#include <ostream>
#include <string>

namespace vantorel::cli {

// Writes the report to out; returns the exit status: 0 when the formula is usable, 1 when it
// does not convert or names variables the computation does not bind.
int RunCheckFormula(const std::string& text, std::ostream& out);

}  // namespace vantorel::cli
