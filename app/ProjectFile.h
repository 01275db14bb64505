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
// an existing file as it was. N is TMP1's length in records; TMP2 contributes the same number of
// records and must hold at least that many. Leaves both files' positions at record 0.
// Throws IoError or FormatError.
void SaveProject(const std::string& path, const TCalcParams& params, PixelDataFile& tmp1,
                 PixelDataFile& tmp2, const ProjectProgress& progress = {});

// Reads a project file (or a parameter file, or a PNG picture carrying parameters: a project
// without data). tmp1 and tmp2 must be open;
// they are emptied and receive the N records each. Returns the block as stored. On any failure
// both files are left empty and an exception says why: FormatError("Dateifehler!") when the
// record count does not fit the file's length, other FormatErrors for a malformed block, IoError
// for a failed read or write.
TCalcParams LoadProject(const std::string& path, PixelDataFile& tmp1, PixelDataFile& tmp2,
                        const ProjectProgress& progress = {});

// The text for a record count that does not fit the file.
inline constexpr const char* kProjectFileError = "Dateifehler!";

}  // namespace vantorel
