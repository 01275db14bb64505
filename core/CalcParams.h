// The parameter block of one project: everything a calculation needs, and its progress.
// Files store it field by field in this order (see app/ParameterFile.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel {

// One value-colour pair of a colour list. Color is 0x00BBGGRR.
struct TColorEntry {
  uint32_t Color = 0;
  double Value = 0.0;
  bool operator==(const TColorEntry&) const = default;
};

// Calculation states kept in TCalcParams::State.
enum CalcState : uint8_t {
  StateInitialised = 0,
  StateRunning = 1,
  StatePaused = 2,
  StateFinished = 3,
  StateDeriving = 4,
  StateDerivingPaused = 5,
};

struct TCalcParams {
  int32_t FormulaLength = 0;   // bytes of FormulaText
  int32_t SequenceLength = 0;  // S, letters of the AB-sequence (first copy)
  int32_t ColorCount = 0;      // entries of ColorList
  int32_t FixedFormula = -1;   // -1: user formula; 0..5: fixed formula 1..6
  double W = 0.0, V = 0.0, U = 0.0;
  std::string FormulaText;
  std::vector<uint8_t> Sequence;  // 0 for A, 1 for B
  int32_t SequenceSteps = 0;      // S again; the iteration loops use this copy
  double StartX = 0.0;
  int32_t CalmDownIterations = 0;
  int32_t Iterations = 0;  // N, also the divisor of the exponent
  bool SmartIterate = false;
  double CenterX = 0.0, CenterY = 0.0;
  double Width = 0.0, Height = 0.0;
  double Angle = 0.0;  // radians, counter-clockwise
  int32_t PictureWidth = 0, PictureHeight = 0;
  std::vector<TColorEntry> ColorList;
  int32_t BelowColor = 0, AboveColor = 0;
  int32_t ProgressColumn = 0, ProgressRow = 0;
  uint8_t State = StateInitialised;
  int32_t IterationsDone = 0;  // iterations the stored exponents rest on
  double ErrorLimit = 0.0;
  bool AdjustRatio = false;
  std::array<uint8_t, 87> Reserved{};

  bool operator==(const TCalcParams&) const = default;

  // Sets FormulaText and FormulaLength together.
  void SetFormula(std::string_view text);
  // Sets Sequence, SequenceLength and SequenceSteps together.
  void SetSequence(std::vector<uint8_t> sequence);
  // Sets ColorList and ColorCount together.
  void SetColors(std::vector<TColorEntry> colors);
};

// The parameter block of a new project.
TCalcParams DefaultCalcParams();

// The default colour list of a new project: white -1, yellow -0.1, orange 0, red 0.01, black 0.1.
std::vector<TColorEntry> DefaultColorList();

// Rounds a typed iteration count to the stored form v - (v mod S) + S.
// S must be positive.
int32_t RoundIterations(int32_t v, int32_t sequenceLength);

// The largest value of the iteration and calm-down spin edits.
constexpr int32_t kLargestSpinCount = 100000000;

// The largest iteration or calm-down count a calculation takes: the spin edits' largest value
// rounded to the AB-sequence as gathering rounds it, so 100000000 + S at most. Larger counts
// (up to the 32-bit maximum a file or a command line can carry) are refused.
int32_t LargestIterationCount(int32_t sequenceLength);

// Empty when the block's iteration and calm-down counts lie in 0..LargestIterationCount;
// otherwise what is wrong, e.g. "the iteration count 2147483647 is larger than 100000008, the
// largest count for an AB-sequence of 12 letters".
std::string IterationCountProblem(const TCalcParams& params);

// The end of a run adds Iterations to IterationsDone, which must stay a 32-bit count.
// Empty when it fits (IterationsDone must not be negative either); otherwise what is wrong.
// Checked before more iterations are derived, and for a loaded block whose run is not finished.
std::string IterationsDoneProblem(const TCalcParams& params);

// Reads an AB-sequence text: 'A' or 'a' gives 0, every other character 1.
std::vector<uint8_t> ReadSequence(std::string_view text);
// Shows an AB-sequence: "A" for 0 and "B" otherwise.
std::string SequenceText(const std::vector<uint8_t>& sequence);

constexpr double kPi = 3.141592653589793;
double DegreesToRadians(double degrees);
double RadiansToDegrees(double radians);

// Maps picture pixels to points of the (rotated) region. The constants are computed once per run.
struct PixelMapping {
  double ox = 0, oy = 0, dx = 0, dy = 0, c = 1, s = 0;

  explicit PixelMapping(const TCalcParams& p);
  // i: picture column; j: PictureHeight - row.
  void MapPixel(int32_t i, int32_t j, double& a, double& b) const {
    a = i * dx * c + ox - j * dy * s;
    b = j * dy * c + oy + i * dx * s;
  }
};

}  // namespace vantorel
