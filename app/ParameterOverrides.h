// Changes to a parameter block by the renderer's parameter options (--center-x, --w, ...):
// what the command line of vantorel-render sets and what a film's keyframe sets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
  // Applies the changes as the desktop program gathers them: iteration counts rounded to the
  // AB-sequence length, the error limit as its absolute value, the angle in radians.
  void ApplyTo(TCalcParams& params) const;
};

}  // namespace vantorel
