// vantorel-render --check-formula TEXT: what the formula page's test button says about a formula.
#pragma once

#include <ostream>
#include <string>

namespace vantorel::cli {

// Writes the report to out; returns the exit status: 0 when the formula converts, 1 when not.
int RunCheckFormula(const std::string& text, std::ostream& out);

}  // namespace vantorel::cli
