// The command line of vantorel-render.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/CalcParams.h"

namespace vantorel::cli {

// Picture sides the desktop program allows.
constexpr int32_t kMinPictureSide = 10;
constexpr int32_t kMaxPictureSide = 100000;

// A command line that cannot be used; the renderer exits with status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Changes to the loaded parameter block given on the command line.
struct Overrides {
  std::optional<int32_t> PictureWidth, PictureHeight;
  std::optional<int32_t> Iterations, CalmDownIterations;  // as typed; rounded when applied
  std::optional<int32_t> FixedFormula;                    // -1 or 0..5
  std::optional<std::string> FormulaText;
  std::optional<double> W, V, U;
  std::optional<std::string> Sequence;
  std::optional<double> StartX;
  std::optional<bool> SmartIterate;
  std::optional<double> ErrorLimit;
  std::optional<double> CenterX, CenterY, Width, Height;
  std::optional<double> AngleDegrees;

  bool Any() const;
  // Applies the changes as the desktop program gathers them: iteration counts rounded to the
  // AB-sequence length, the error limit as its absolute value, the angle in radians.
  void ApplyTo(TCalcParams& params) const;
};

struct Options {
  bool Help = false;
  std::optional<std::string> CheckFormula;
  std::optional<std::string> Input;     // parameter or project file
  std::optional<std::string> Picture;   // -o
  std::optional<std::string> Project;   // --project
  std::optional<std::string> DataBase;  // --data
  int Threads = 0;                      // 0: all hardware threads
  bool Quiet = false;
  bool More = false;
  bool Fast = false;                    // fixed formulas 2-6: sine and cosine from a vector library
  int Supersample = 1;                  // N: the picture coloured from N x N sub-pixels a pixel
  Overrides Changes;
};

// Throws UsageError with a message naming the offending argument.
Options ParseOptions(const std::vector<std::string>& args);

std::string HelpText();

// The picture written when no output is named: the input's name without directory and
// extension, or "vantorel", with ".bmp", in the current directory.
std::string DefaultPictureName(const std::optional<std::string>& input);

}  // namespace vantorel::cli
