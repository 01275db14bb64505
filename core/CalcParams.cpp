#include "core/CalcParams.h"

#include <cmath>

namespace vantorel {

void TCalcParams::SetFormula(std::string_view text) {
  FormulaText.assign(text);
  FormulaLength = static_cast<int32_t>(FormulaText.size());
}

void TCalcParams::SetSequence(std::vector<uint8_t> sequence) {
  Sequence = std::move(sequence);
  SequenceLength = SequenceSteps = static_cast<int32_t>(Sequence.size());
}

void TCalcParams::SetColors(std::vector<TColorEntry> colors) {
  ColorList = std::move(colors);
  ColorCount = static_cast<int32_t>(ColorList.size());
}

std::vector<TColorEntry> DefaultColorList() {
  // value(k) = 5^|k| * k / 50 for k < 0 and 5^|k| * k / 500 otherwise, k = -2..2
  const uint32_t colors[5] = {0xFFFFFF, 0x00FFFF, 0x0080FF, 0x0000FF, 0x000000};
  std::vector<TColorEntry> list;
  for (int k = -2; k <= 2; ++k) {
    const double p = std::pow(5.0, std::abs(k));
    const double value = k < 0 ? p * k / 50.0 : p * k / 500.0;
    list.push_back({colors[k + 2], value});
  }
  return list;
}

TCalcParams DefaultCalcParams() {
  TCalcParams p;
  p.FixedFormula = -1;
  p.W = 2.5;
  p.V = 0.1137635;
  p.U = 0.063633;
  p.SetFormula("2,5*sqr(sin(X+AB))");
  p.SetSequence(ReadSequence("AAAAAABBBBBB"));
  p.StartX = 0.5;
  p.CalmDownIterations = RoundIterations(300, p.SequenceLength);
  p.Iterations = RoundIterations(150, p.SequenceLength);
  p.SmartIterate = false;
  p.CenterX = 3.959;
  p.CenterY = 1.189;
  p.Width = 0.0132;
  p.Height = 0.0105;
  p.Angle = 0.0;
  p.PictureWidth = 194;
  p.PictureHeight = 154;
  p.SetColors(DefaultColorList());
  p.BelowColor = 0xFFFFFF;
  p.AboveColor = 0x000000;
  p.ErrorLimit = 0.001;
  p.AdjustRatio = true;
  return p;
}

int32_t RoundIterations(int32_t v, int32_t sequenceLength) {
  const int64_t r = int64_t(v) - int64_t(v) % sequenceLength + sequenceLength;
  if (r > INT32_MAX) return static_cast<int32_t>(INT32_MAX - INT32_MAX % sequenceLength);
  return static_cast<int32_t>(r);
}

int32_t LargestIterationCount(int32_t sequenceLength) {
  return RoundIterations(kLargestSpinCount, sequenceLength > 0 ? sequenceLength : 1);
}

std::string IterationCountProblem(const TCalcParams& p) {
  const int32_t largest = LargestIterationCount(p.SequenceLength);
  const auto check = [&](const char* what, int32_t count) -> std::string {
    if (count < 0) return std::string("the ") + what + " " + std::to_string(count) + " is negative";
    if (count > largest)
      return std::string("the ") + what + " " + std::to_string(count) + " is larger than " + std::to_string(largest) +
             ", the largest count for an AB-sequence of " + std::to_string(p.SequenceLength) + " letters";
    return {};
  };
  const std::string problem = check("iteration count", p.Iterations);
  return problem.empty() ? check("calm-down count", p.CalmDownIterations) : problem;
}

std::string IterationsDoneProblem(const TCalcParams& p) {
  if (p.IterationsDone < 0) return "the count of iterations done " + std::to_string(p.IterationsDone) + " is negative";
  if (int64_t(p.IterationsDone) + p.Iterations > INT32_MAX)
    return "the stored data rest on " + std::to_string(p.IterationsDone) + " iterations, and " +
           std::to_string(p.Iterations) + " more would exceed the largest count " + std::to_string(INT32_MAX);
  return {};
}

std::vector<uint8_t> ReadSequence(std::string_view text) {
  std::vector<uint8_t> seq;
  seq.reserve(text.size());
  for (char ch : text) seq.push_back((ch == 'A' || ch == 'a') ? 0 : 1);
  return seq;
}

std::string SequenceText(const std::vector<uint8_t>& sequence) {
  std::string text;
  text.reserve(sequence.size());
  for (uint8_t v : sequence) text.push_back(v == 0 ? 'A' : 'B');
  return text;
}

double DegreesToRadians(double degrees) { return degrees * kPi / 180.0; }
double RadiansToDegrees(double radians) { return radians * 180.0 / kPi; }

PixelMapping::PixelMapping(const TCalcParams& p) {
  dx = p.Width / p.PictureWidth;
  dy = p.Height / p.PictureHeight;
  c = std::cos(p.Angle);
  s = std::sin(p.Angle);
  ox = p.CenterX - c * p.Width / 2 + s * p.Height / 2;
  oy = p.CenterY - c * p.Height / 2 - s * p.Width / 2;
}

}  // namespace vantorel
