// vantorel-render-mpi: the renderer for an MPI job (mpirun -n N vantorel-render-mpi ...).
#include <mpi.h>

#include <exception>
#include <iostream>
#include <string>

#include "cli/CheckFormula.h"
#include "cli/Colours.h"
#include "cli/Options.h"
#include "cli/RenderSteps.h"
#include "cli/Render.h"
#include "cli/mpi/MpiAnimate.h"
#include "cli/mpi/MpiRender.h"
#include "core/Version.h"
#include "formula/UserFormulaMap.h"

namespace {

extern "C" void OnStopSignal(int) {
  vantorel::cli::RequestMpiStop();
  vantorel::cli::RequestStop();  // a film's frame is computed as by the one-process renderer
}

int Run(int argc, char** argv, int rank) {
  using namespace vantorel::cli;
  Options options;
  MpiOptions mpiOptions;
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    mpiOptions = TakeMpiOptions(args);
    options = ParseOptions(args);
    if (options.Thumbnail || options.TimeLimit)
      throw UsageError("--thumbnail and --time-limit are options of vantorel-render only");
  } catch (const UsageError& e) {
    if (rank == 0) std::cerr << ProgramName() << ": " << e.what() << "\nTry 'vantorel-render-mpi --help'.\n";
    return 2;
  }
  if (options.Help) {
    if (rank == 0) {
      // The shared text with this program's name in its usage line.
      std::string help = HelpText();
      const std::string name = "vantorel-render";
      if (const size_t at = help.find(name); at != std::string::npos) help.insert(at + name.size(), "-mpi");
      std::cout << help << MpiHelpText();
    }
    return 0;
  }
  if (options.Version) {
    if (rank == 0) std::cout << "vantorel-render-mpi " << vantorel::kVersion << "\n";
    return 0;
  }
  if (options.CheckFormula) {
    if (rank != 0) return 0;
    return RunCheckFormula(*options.CheckFormula, std::cout);
  }
  if (options.ListPalettes) {
    if (rank != 0) return 0;
    return ListPalettes(std::cout, std::cerr);
  }
  InstallStopSignals(OnStopSignal);
  if (options.Animate) return MpiAnimate(options, std::cerr);
  return MpiRender(options, mpiOptions, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  using vantorel::cli::ProgramName;
  vantorel::cli::SetProgramName("vantorel-render-mpi");
  vantorel::InstallUserFormulas();
  int provided = 0;
  if (MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided) != MPI_SUCCESS) {
    std::cerr << ProgramName() << ": MPI could not be started\n";
    return 1;
  }
  MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  int status = 1;
  try {
    status = Run(argc, argv, rank);
  } catch (const std::exception& e) {
    std::cerr << ProgramName() << ": process " << rank << ": " << e.what() << "\n";
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  MPI_Finalize();
  return status;
}
