#include "cli/CheckFormula.h"

#include <algorithm>

#include "formula/FormulaCheck.h"
#include "formula/MessageSink.h"

namespace vantorel::cli {

namespace {

// One message per paragraph; its carriage returns become line breaks.
class PrintingSink final : public IMessageSink {
 public:
  explicit PrintingSink(std::ostream& out) : out_(out) {}
  void Show(const std::string& text) override {
    std::string lines = text;
    std::replace(lines.begin(), lines.end(), '\r', '\n');
    out_ << lines << "\n\n";
  }

 private:
  std::ostream& out_;
};

}  // namespace

int RunCheckFormula(const std::string& text, std::ostream& out) {
  PrintingSink sink(out);
  // The verdict of the test button: only a usable formula passes.
  return TestFormula(text, sink) == FormulaVerdict::Success ? 0 : 1;
}

}  // namespace vantorel::cli
