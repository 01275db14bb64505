// Project files (*.LPr): the parameter block in its project form (progress and state as they
// stand, record count N), followed by N 8-byte records copied from TMP1 and then N from TMP2.
// The loader locates the data from the end of the file.
#pragma once

#include <functional>
#include <string>

#include "core/CalcParams.h"
#include "core/PixelDataFile.h"

namespace vantorel {

// Progress reports for a progress window; either may be empty.
struct ProjectProgress {
  // Stage texts: saving "saving parameters...", "saving data..."; loading "lade Parameter...",
  // "lade Daten...", "erstelle Vorschau...".
  std::function<void(const std::string& text)> Stage;
  // Saving: 0..100 over both data files (the main window's bar). Loading: round(200 * record
  // position / file records), limited to 100 (the progress window's bar).
  std::function<void(int percent)> Bar;
};

// Data are copied in chunks of this many records.
constexpr size_t kProjectChunkRecords = 10000;

// Writes the project file through a temporary file renamed into place, so a failed save leaves
// an existing file as it was. N is the shorter data file's length in records (the files differ
// only after a failed write or a crash): both contribute N records, and the block's state and
// progress are fitted to them (FitProgressToData), so that the missing pixels are computed again
// when the project continues. Returns N. Leaves both files' positions at record 0.
// Throws IoError or FormatError.
int64_t SaveProject(const std::string& path, const TCalcParams& params, PixelDataFile& tmp1, PixelDataFile& tmp2,
                    const ProjectProgress& progress = {});

// Reads a project file (or a parameter file, or a PNG picture carrying parameters: a project
// without data). tmp1 and tmp2 must be open.
// The block is read and checked (CheckLoadedBlock, the record count against the file and the
// picture) before the data files are touched; only then are they emptied and given the N records
// each. Returns the block with the state as stored, its progress fitted to the data
// (FitProgressToData). On any failure both files are left empty and an exception says why:
// FormatError("Dateifehler!") when the record count does not fit the file's length, other
// FormatErrors naming the problem, IoError for a failed read or write.
TCalcParams LoadProject(const std::string& path, PixelDataFile& tmp1, PixelDataFile& tmp2,
                        const ProjectProgress& progress = {});

// Picture sizes a project may have, each way (the range of the coordinates page).
inline constexpr int32_t kMinPictureSize = 10;
inline constexpr int32_t kMaxPictureSize = 100000;

// Checks a block read from a file before anything of it is used: an AB-sequence of at least one
// step, at least one colour, a picture size inside kMinPictureSize..kMaxPictureSize, a known
// fixed formula and state, and a progress position inside the picture. Throws FormatError
// naming the first problem.
void CheckLoadedBlock(const TCalcParams& p);

// The state a loaded calculation is shown in: no run exists after loading, so a run that was
// going on when the project was saved (1, 4) is a paused one (2, 5), which "continue" takes up
// at its stored position; the other states stay.
uint8_t MapLoadedState(uint8_t stored);

// Fits state and progress to the pixel records that exist: a finished or deriving project
// (3, 4, 5) whose records cover fewer pixels than the picture becomes an interrupted one (state 0)
// that continues at the first missing pixel; any other continues at its stored position or at
// the first missing pixel, whichever comes first. A project that goes on with a first run
// (states 0, 1, 2) has exponents that rest on no earlier iterations: IterationsDone becomes 0.
// records must not be negative.
void FitProgressToData(TCalcParams& p, int64_t records);

// The text for a record count that does not fit the file.
inline constexpr const char* kProjectFileError = "Dateifehler!";

}  // namespace vantorel
