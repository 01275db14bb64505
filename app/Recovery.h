// Recovery from temporary files: a project window's left-over TMP0 (its latest parameter block)
// and the TMP1/TMP2 data files beside it become a project file (*.LPr) that loads like any
// other.
#pragma once

#include <cstdint>
#include <string>

#include "app/ProjectFile.h"

namespace vantorel {

struct RecoveryResult {
  std::string Target;   // the project file written
  std::string Message;  // what to tell the user
  bool DataRestored = false;
  int64_t Records = 0;  // pixel records taken from each data file
};

// The name of the project file recovered from a TMP0 file: its name without directory and
// without its last five characters (".TMP0"), followed by ".LPr".
std::string RecoveredProjectName(const std::string& tmp0Path);

// Writes targetDir/RecoveredProjectName(tmp0Path) from the chosen TMP0 file and the data files
// of the same path ending in "1" and "2" instead of "0".
//
// - An existing target is never replaced: FormatError("error: <base>.LPr already exists!").
// - The TMP0 file is read and checked as a parameter block (CheckLoadedBlock) before anything
//   is written; a malformed one ends in a FormatError naming the problem.
// - Both data files contribute N whole records (8 * N bytes each), N being the shorter file's
//   length div 8, at most the picture's pixel count; a partial record left by a crash is
//   dropped. The block carries N, and the calculation continues at pixel N (column N mod
//   width, row N div width). When the records cover the whole picture the project is finished
//   instead: state 3, progress 0, 0, and the iterations of one run as the iterations done when
//   the block holds none.
// - When a data file cannot be read, a project without data is written and the result says
//   "Error with data-files. Only parameters were restored.".
// - The target is written through a temporary file, so a failure leaves no partial file.
// Progress stages: "restoring parameterfile", "restoring data". Throws IoError or FormatError.
RecoveryResult RecoverProject(const std::string& tmp0Path, const std::string& targetDir,
                              const ProjectProgress& progress = {});

inline constexpr const char* kRecoveryDataError = "Error with data-files. Only parameters were restored.";

}  // namespace vantorel
