// vantorel-render: computes Lyapunov pictures without the desktop program.
#include <exception>
#include <iostream>
#include <new>

#include "cli/Animate.h"
#include "cli/CheckFormula.h"
#include "cli/Colours.h"
#include "cli/Options.h"
#include "cli/Render.h"
#include "cli/RenderSteps.h"
#include "core/Version.h"
#include "formula/UserFormulaMap.h"

namespace {

extern "C" void OnStopSignal(int) { vantorel::cli::RequestStop(); }

}  // namespace

int main(int argc, char** argv) {
  using namespace vantorel::cli;
  vantorel::InstallUserFormulas();
  Options options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::cerr << "vantorel-render: " << e.what() << "\nTry 'vantorel-render --help'.\n";
    return 2;
  }
  if (options.Help) {
    std::cout << HelpText();
    return 0;
  }
  if (options.Version) {
    std::cout << "vantorel-render " << vantorel::kVersion << "\n";
    return 0;
  }
  if (options.CheckFormula) return RunCheckFormula(*options.CheckFormula, std::cout);
  if (options.ListPalettes) return ListPalettes(std::cout, std::cerr);

  InstallStopSignals(OnStopSignal);
  try {
    return options.Animate ? Animate(options, std::cerr) : Render(options, std::cerr);
  } catch (const UsageError& e) {
    std::cerr << "vantorel-render: " << e.what() << "\nTry 'vantorel-render --help'.\n";
    return 2;
  } catch (const std::bad_alloc&) {
    std::cerr << "vantorel-render: not enough memory\n";
  } catch (const std::exception& e) {
    std::cerr << "vantorel-render: " << e.what() << "\n";
  }
  return 1;
}
