// The renderer's work: load or create the parameter block, compute what is missing with the
// computation thread, and write the requested files.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "cli/Options.h"
#include "cli/RenderSteps.h"

namespace vantorel::cli {

// Asks a running calculation to stop; safe to call from a signal handler.
void RequestStop() noexcept;

// Whether Ctrl-C, SIGTERM or SIGHUP (or RequestStop) asked the run to stop.
bool StopRequested() noexcept;

// How a caller that renders many pictures shows its progress while one of them is computed:
// Line makes the status line from the picture's percent done (shown each second when Show),
// Tick runs on the calling thread about every 50 ms.
struct ProgressHooks {
  bool Show = false;
  std::function<std::string(double percent)> Line;
  std::function<void()> Tick;
};

// Computes a prepared block afresh (initialised, nothing computed: a film's frame) exactly as a
// plain render of it does, --supersample, --fast, --threads and --auto-colours included, and
// writes its picture. False when stopped; nothing is written then.
bool RenderFresh(const Options& o, PreparedBlock& block, std::ostream& err, const ProgressHooks& hooks);

// Returns the exit status (0 or 1); reports on err. Throws IoError/FormatError for failures
// that end the run (the caller reports them and exits with 1).
int Render(const Options& options, std::ostream& err);

}  // namespace vantorel::cli
