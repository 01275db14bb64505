// Changes to a parameter block by the renderer's parameter options (--center-x, --w, ...):
// what the command line of vantorel-render sets and what a film's keyframe sets.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/CalcParams.h"

namespace vantorel {

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
  bool operator==(const Overrides&) const = default;
  // Applies the changes as the desktop program gathers them: iteration counts rounded to the
  // AB-sequence length, the error limit as its absolute value, the angle in radians.
  void ApplyTo(TCalcParams& params) const;
};

// A value that a parameter option cannot take, or an unknown option name; the message says which.
class OverrideError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Sets one change by the renderer's long option name without dashes: center-x, center-y,
// region-width, region-height, angle (degrees), w, v, u, start-x, error-limit (numbers with a
// decimal point or comma), iterations, calm-down (whole numbers), sequence, formula (a user
// formula; it also ends a fixed formula) and fixed (1..6; it also drops a formula text set
// before). Throws OverrideError for an unknown name or a value that is no usable number.
void SetOverride(Overrides& changes, std::string_view longName, const std::string& value);

// Adds later changes to earlier ones: what later sets wins, as if its options followed on the
// same command line (a fixed formula drops an earlier formula text).
void MergeOverrides(Overrides& earlier, const Overrides& later);

// The block a render of base with these changes computes: the changes applied and the picture
// started afresh (state initialised, no progress, no iterations done).
TCalcParams ChangedBlock(const TCalcParams& base, const Overrides& changes);

}  // namespace vantorel
