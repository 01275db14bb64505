#include "app/ParameterOverrides.h"

#include <cmath>

#include "app/IterationCounts.h"
#include "core/NumberText.h"

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

namespace {

int32_t CountValue(std::string_view name, const std::string& text) {
  const std::optional<int> v = TextToInt(text);
  if (!v) throw OverrideError("the value of " + std::string(name) + " is not a whole number: '" + text + "'");
  return *v;
}

double RealValue(std::string_view name, const std::string& text) {
  const std::optional<double> v = TextToFloatLenient(text);
  if (!v || !std::isfinite(*v))
    throw OverrideError("the value of " + std::string(name) + " is not a number: '" + text + "'");
  return *v;
}

template <typename T>
void Take(std::optional<T>& into, const std::optional<T>& from) {
  if (from) into = from;
}

}  // namespace

void SetOverride(Overrides& c, std::string_view name, const std::string& value) {
  using Real = std::optional<double> Overrides::*;
  static constexpr std::pair<std::string_view, Real> reals[] = {
      {"center-x", &Overrides::CenterX},
      {"center-y", &Overrides::CenterY},
      {"region-width", &Overrides::Width},
      {"region-height", &Overrides::Height},
      {"angle", &Overrides::AngleDegrees},
      {"w", &Overrides::W},
      {"v", &Overrides::V},
      {"u", &Overrides::U},
      {"start-x", &Overrides::StartX},
      {"error-limit", &Overrides::ErrorLimit},
  };
  for (const auto& [n, field] : reals)
    if (n == name) {
      c.*field = RealValue(name, value);
      return;
    }
  if (name == "iterations") {
    c.Iterations = CountValue(name, value);
  } else if (name == "calm-down") {
    c.CalmDownIterations = CountValue(name, value);
  } else if (name == "sequence") {
    c.Sequence = value;
  } else if (name == "formula") {
    c.FormulaText = value;
    c.FixedFormula = -1;
  } else if (name == "fixed") {
    const int32_t k = CountValue(name, value);
    if (k < 1 || k > 6) throw OverrideError("fixed takes a formula number 1..6, not " + value);
    c.FixedFormula = k - 1;
    c.FormulaText.reset();
  } else {
    throw OverrideError("there is no parameter called '" + std::string(name) + "'");
  }
}

void MergeOverrides(Overrides& e, const Overrides& l) {
  if (l.FixedFormula && *l.FixedFormula >= 0 && !l.FormulaText) e.FormulaText.reset();
  Take(e.PictureWidth, l.PictureWidth);
  Take(e.PictureHeight, l.PictureHeight);
  Take(e.Iterations, l.Iterations);
  Take(e.CalmDownIterations, l.CalmDownIterations);
  Take(e.FixedFormula, l.FixedFormula);
  Take(e.FormulaText, l.FormulaText);
  Take(e.W, l.W);
  Take(e.V, l.V);
  Take(e.U, l.U);
  Take(e.Sequence, l.Sequence);
  Take(e.StartX, l.StartX);
  Take(e.SmartIterate, l.SmartIterate);
  Take(e.ErrorLimit, l.ErrorLimit);
  Take(e.CenterX, l.CenterX);
  Take(e.CenterY, l.CenterY);
  Take(e.Width, l.Width);
  Take(e.Height, l.Height);
  Take(e.AngleDegrees, l.AngleDegrees);
}

TCalcParams ChangedBlock(const TCalcParams& base, const Overrides& changes) {
  TCalcParams p = base;
  changes.ApplyTo(p);
  p.ProgressColumn = p.ProgressRow = 0;
  p.IterationsDone = 0;
  p.State = StateInitialised;
  return p;
}

}  // namespace vantorel
