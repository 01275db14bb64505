// The renderer's work: load or create the parameter block, compute what is missing with the
// computation thread, and write the requested files.
#pragma once

#include <ostream>

#include "cli/Options.h"

namespace vantorel::cli {

// Asks a running calculation to stop; safe to call from a signal handler.
void RequestStop() noexcept;

// Returns the exit status (0 or 1); reports on err. Throws IoError/FormatError for failures
// that end the run (the caller reports them and exits with 1).
int Render(const Options& options, std::ostream& err);

}  // namespace vantorel::cli
