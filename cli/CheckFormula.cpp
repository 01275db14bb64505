#include "cli/CheckFormula.h"

namespace vantorel::cli {

int RunCheckFormula(const std::string& text, std::ostream& out) {
  out << "cannot check \"" << text << "\": the formula engine is not built in\n";
  return 1;
}

}  // namespace vantorel::cli
