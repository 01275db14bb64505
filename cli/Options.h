// The command line of vantorel-render.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/ParameterOverrides.h"
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
using vantorel::Overrides;

// Thumbnail sides the renderer writes (--thumbnail SIZE), and its default time limit.
constexpr int32_t kMinThumbnailSide = 16;
constexpr int32_t kMaxThumbnailSide = 1024;
constexpr double kThumbnailSeconds = 10;

struct Options {
  bool Help = false;
  bool Version = false;
  std::optional<std::string> CheckFormula;
  std::optional<std::string> Input;     // parameter or project file
  std::optional<std::string> Picture;   // -o
  std::optional<std::string> Project;   // --project
  std::optional<std::string> DataBase;  // --data
  int Threads = 0;                      // 0: all hardware threads
  bool Quiet = false;
  bool More = false;
  bool Fast = false;                 // fixed formulas 2-6: sine and cosine from a vector library
  std::optional<int32_t> Thumbnail;  // a PNG of at most SIZE x SIZE pixels to -o
  std::optional<double> TimeLimit;   // seconds of computing before the run gives up
  int Supersample = 1;               // N: the picture coloured from N x N sub-pixels a pixel
  Overrides Changes;
  // The colour list: a file of any colour format or the name of a shipped list; the range an
  // imported gradient or palette spans; automatic colours after computing.
  std::optional<std::string> Colours;
  std::optional<std::pair<double, double>> ColourRange;
  bool AutoColours = false;
  bool ListPalettes = false;
  // A film: the animation file, the frames to render (inclusive; all when not given), the
  // video made from the frames and its frame rate.
  std::optional<std::string> Animate;
  std::optional<std::pair<int32_t, int32_t>> FrameRange;
  std::optional<std::string> Video;
  int Fps = 30;
};

// Frame rates --fps takes.
constexpr int kMaxFps = 240;

// "LOW,HIGH" (also with ";"): two numbers with a decimal point or comma; a comma between them
// is found when the text has one or three commas. Throws UsageError.
std::pair<double, double> ParseColourRange(const std::string& text);

// Throws UsageError with a message naming the offending argument.
Options ParseOptions(const std::vector<std::string>& args);

std::string HelpText();

// The picture written when no output is named: the input's name without directory and
// extension, or "vantorel", with ".bmp", in the current directory.
std::string DefaultPictureName(const std::optional<std::string>& input);

}  // namespace vantorel::cli
