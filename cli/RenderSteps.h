// The steps of a rendering run that do not depend on how the pixels are computed: preparing
// the block from the command line and the input, deciding what remains to be computed, and
// writing the outputs. The one-process renderer and the multi-process one share them.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "app/PictureFile.h"
#include "cli/Options.h"
#include "core/CalcParams.h"
#include "core/PixelDataFile.h"

namespace vantorel::cli {

// Writes "vantorel-render: TEXT" unless quiet.
// The name that starts every message: "vantorel-render", or "vantorel-render-mpi" in an MPI job.
const char* ProgramName();
void SetProgramName(const char* name);
// Ctrl-C, SIGTERM and SIGHUP call onStop; a file-size limit or a closed pipe shows as a failed
// write with its reason instead of ending the process.
void InstallStopSignals(void (*onStop)(int));
void Note(const Options& o, std::ostream& err, const std::string& text);

// The block of the run and where its picture goes.
struct PreparedBlock {
  TCalcParams Params;
  std::optional<std::string> PicturePath;
};

// Loads the input (its data into tmp1/tmp2), applies the command line's changes, refuses a
// block that cannot be computed or pictured and outputs that cannot be created.
// holdsPicture: the whole picture is kept in memory, so it must fit.
PreparedBlock PrepareBlock(const Options& o, PixelDataFile& tmp1, PixelDataFile& tmp2, std::ostream& err,
                           bool holdsPicture);

// The block of a film's frame: `params` (nothing computed) with the colour options, refused as
// PrepareBlock refuses a block; its picture goes to `picturePath`.
PreparedBlock PrepareFrame(const Options& o, const TCalcParams& params, const std::string& picturePath,
                           std::ostream& err);

// Makes sure that a file can be created at path before hours of computing are spent; throws
// IoError.
void CheckOutputDirectory(const std::string& path);

// What remains to be computed, by the stored state; sets the block's state and progress for
// the run. Throws FormatError when --more cannot be done.
struct ComputePlan {
  bool Compute = false;  // pixels from the block's progress position on are to be computed
  bool Fresh = true;     // false: the stored orbits are continued (deriving more iterations)
};
ComputePlan PlanComputation(TCalcParams& p, PixelDataFile& tmp1, PixelDataFile& tmp2, const Options& o,
                            std::ostream& err);

// The block once every pixel has been computed, as the desktop program's finished handler
// leaves it.
void MarkFinished(TCalcParams& p);

// The picture's rows coloured from the exponents in tmp1; pixels without a record are white.
// Holds one row of exponents at a time. tmp1 must outlive the returned source.
PictureRows RowsFromData(const TCalcParams& p, PixelDataFile& tmp1);

// Writes every requested output; all of them are complete before any replaces an existing file.
void WriteOutputs(const Options& o, const TCalcParams& p, const std::optional<std::string>& picturePath,
                  const PictureRows& rows, PixelDataFile& tmp1, PixelDataFile& tmp2, std::ostream& err);

// "12 MB", "3 kB" or "100 bytes"; rounded up or down, so that a need rounded up and a smaller
// free space rounded down never read the same.
std::string SizeText(uint64_t bytes, bool up);

}  // namespace vantorel::cli
