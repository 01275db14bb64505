// vantorel-render: computes Lyapunov pictures without the desktop program.
#include <csignal>
#include <exception>
#include <iostream>
#include <new>

#include "cli/CheckFormula.h"
#include "cli/Options.h"
#include "cli/Render.h"

namespace {

extern "C" void OnStopSignal(int) { vantorel::cli::RequestStop(); }

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A file-size limit or a closed pipe shows as a failed write with its reason, not as a kill.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantorel::cli;
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
  if (options.CheckFormula) return RunCheckFormula(*options.CheckFormula, std::cout);

  InstallSignalHandlers();
  try {
    return Render(options, std::cerr);
  } catch (const std::bad_alloc&) {
    std::cerr << "vantorel-render: not enough memory\n";
  } catch (const std::exception& e) {
    std::cerr << "vantorel-render: " << e.what() << "\n";
  }
  return 1;
}
