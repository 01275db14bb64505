// vantorel-render-mpi --animate: the frames of a film dealt out to the processes of an MPI job.
//
// Rank 0 finds the frames still to render (as the one-process renderer does) and hands them out
// one at a time, in frame order, to whichever process asks; it renders frames itself between
// the requests. Every process renders a whole frame with its cores and writes it atomically, so
// the files are the one-process renderer's. Rank 0 shows the progress and makes the video.
#pragma once

#include <ostream>

#include "cli/Options.h"

namespace vantorel::cli {

// Runs this rank's part. MPI must be initialised. Returns the exit status; only rank 0 reports.
int MpiAnimate(const Options& o, std::ostream& err);

}  // namespace vantorel::cli
