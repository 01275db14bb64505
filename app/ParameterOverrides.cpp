#include "app/ParameterOverrides.h"

#include <cmath>

#include "app/IterationCounts.h"

namespace vantorel {

bool Overrides::Any() const {
  return PictureWidth || PictureHeight || Iterations || CalmDownIterations || FixedFormula || FormulaText || W || V ||
         U || Sequence || StartX || SmartIterate || ErrorLimit || CenterX || CenterY || Width || Height || AngleDegrees;
}

void Overrides::ApplyTo(TCalcParams& p) const {
  if (FormulaText) p.SetFormula(*FormulaText);
  if (FixedFormula) p.FixedFormula = *FixedFormula;
  if (W) p.W = *W;
  if (V) p.V = *V;
  if (U) p.U = *U;
  if (Sequence) p.SetSequence(ReadSequence(*Sequence));
  if (StartX) p.StartX = *StartX;
  if (SmartIterate) p.SmartIterate = *SmartIterate;
  if (ErrorLimit) p.ErrorLimit = std::fabs(*ErrorLimit);
  if (CenterX) p.CenterX = *CenterX;
  if (CenterY) p.CenterY = *CenterY;
  if (Width) p.Width = *Width;
  if (Height) p.Height = *Height;
  if (AngleDegrees) p.Angle = DegreesToRadians(*AngleDegrees);
  if (PictureWidth) p.PictureWidth = *PictureWidth;
  if (PictureHeight) p.PictureHeight = *PictureHeight;
  // Counts are rounded with the sequence length in force, as the desktop program gathers them;
  // a count that cannot be rounded (no sequence, count <= 0) is kept and refused later.
  const auto rounded = [&p](int32_t v) {
    return (p.SequenceLength > 0 && v > 0) ? RoundedIterations(v, p.SequenceLength) : v;
  };
  if (Iterations) p.Iterations = rounded(*Iterations);
  if (CalmDownIterations) p.CalmDownIterations = rounded(*CalmDownIterations);
}

}  // namespace vantorel
