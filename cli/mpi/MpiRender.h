// vantorel-render-mpi: one picture computed by the processes of an MPI job.
//
// Rank 0 prepares the block exactly as the one-process renderer does, deals out bands of rows
// on request and keeps the true prefix (the first pixel before which every band is computed and
// synced to disk). Every rank, rank 0 too, computes its bands with all its cores through the
// computation thread and writes the records with MPI-IO straight to their place in the run's
// data files, which lie on storage that every rank sees. At the end rank 0 writes the outputs
// from the data files, the picture one row at a time.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Options.h"

namespace vantorel::cli {

// The options only the multi-process renderer has.
struct MpiOptions {
  std::optional<std::string> WorkPlace;   // --work DIR: where the run's data files live
  std::optional<std::string> Checkpoint;  // --checkpoint FILE.LPr
  double CheckpointSeconds = 300;         // --checkpoint-every SECONDS
};

// Takes the multi-process options out of args (throws UsageError for a bad value) and leaves
// the renderer's own.
MpiOptions TakeMpiOptions(std::vector<std::string>& args);

std::string MpiHelpText();

// Asks the run to stop; safe to call from a signal handler.
void RequestMpiStop() noexcept;

// Runs this rank's part. MPI must be initialised. Returns the exit status; only rank 0 reports.
int MpiRender(const Options& given, const MpiOptions& m, std::ostream& err);

}  // namespace vantorel::cli
