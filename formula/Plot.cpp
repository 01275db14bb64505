#include "formula/Plot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/NumberText.h"

namespace vantorel {

namespace {

// Rows and columns far outside the picture are as good as not drawable.
constexpr double kFarOutside = 1e6;

// Switches the domain-error reports of a formula off for a while.
class QuietMath {
 public:
  explicit QuietMath(TFormula& f) : f_(f), saved_(f.ReportMathErrors) { f.ReportMathErrors = false; }
  ~QuietMath() { f_.ReportMathErrors = saved_; }
  QuietMath(const QuietMath&) = delete;
  QuietMath& operator=(const QuietMath&) = delete;

 private:
  TFormula& f_;
  bool saved_;
};

double Sample(const PlotRange& r, int i, int n) { return r.From + static_cast<double>(i) / n * (r.To - r.From); }

}  // namespace

std::optional<std::string> RangeProblem(const PlotRange& r, const std::string& name) {
  const std::string from = FloatToText(r.From), to = FloatToText(r.To);
  if (!std::isfinite(r.From) || !std::isfinite(r.To) || !std::isfinite(r.To - r.From))
    return "The range of " + name + " from " + from + " to " + to + " is too large to be drawn.";
  if (r.From == r.To)
    return "The range of " + name + " from " + from + " to " + to + " is empty. Please choose two different values.";
  return std::nullopt;
}

std::vector<CurveStep> CurveSteps(TFormula& f, const std::string& variable, const PlotRange& xs, const PlotRange& ys,
                                  int width, int height) {
  QuietMath quiet(f);
  std::vector<CurveStep> steps;
  steps.reserve(static_cast<size_t>(std::max(width, 0)));
  const double lo = std::min(ys.From, ys.To), hi = std::max(ys.From, ys.To);
  bool cut = true;
  for (int i = 0; i < width; ++i) {
    f.SetVariable(variable, Sample(xs, i, width));
    const double y = f.Evaluate();
    const double yc = std::clamp(y, lo, hi);
    const double row = height - (yc - ys.From) * height / (ys.To - ys.From) - 1;
    if (!std::isfinite(y) || !std::isfinite(row) || std::fabs(row) > kFarOutside) {
      cut = true;  // left out; the curve goes on with a move
      continue;
    }
    const int r = static_cast<int>(std::lround(row));
    const bool border = yc == lo || yc == hi;
    if (cut || border) steps.push_back({i, r, false});
    steps.push_back({i, r, true});
    cut = false;
  }
  return steps;
}

PlotRange ValueRangeOver(TFormula& f, const std::string& variable, int n, const PlotRange& xs) {
  QuietMath quiet(f);
  PlotRange r{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (int i = 0; i < n; ++i) {
    f.SetVariable(variable, Sample(xs, i, n));
    const double y = f.Evaluate();
    r.From = std::min(r.From, y);
    r.To = std::max(r.To, y);
  }
  return r;
}

std::optional<int> ZeroPixel(double first, double last, double span, int count) {
  const double p = span * first / (first - last);
  if (!std::isfinite(p) || p < 0 || p >= count) return std::nullopt;
  const int pixel = static_cast<int>(std::lround(p));
  if (pixel >= count) return std::nullopt;
  return pixel;
}

ZoomResult ZoomedRanges(const PlotRange& xs, const PlotRange& ys, int x0, int y0, int x1, int y1, int size) {
  const int left = std::min(x0, x1), right = std::max(x0, x1), top = std::min(y0, y1), bottom = std::max(y0, y1);
  auto at = [size](const PlotRange& r, int pixel) { return r.From + (r.To - r.From) * pixel / size; };
  return {{at(xs, left), at(xs, right)}, {at(ys, size - bottom), at(ys, size - top)}};
}

std::pair<double, double> PointAt(const PlotRange& xs, const PlotRange& ys, int x, int y, int size) {
  return {xs.From + (xs.To - xs.From) * x / size, ys.From + (ys.To - ys.From) * (size - y) / size};
}

BifurcationGraph::BifurcationGraph(const TFormula& f, const std::string& runningVariable,
                                   const BifurcationSettings& settings, uint32_t seed)
    : settings_(settings),
      program_(f),
      xIndex_(program_.IndexOfVariable("X")),
      parameterIndex_(program_.IndexOfVariable(runningVariable)),
      random_(seed),
      marks_(static_cast<size_t>(std::max(settings.Width, 0)) * static_cast<size_t>(std::max(settings.Height, 0))) {
  if (settings_.Width > 0) StartColumn();
}

void BifurcationGraph::StartColumn() {
  const int w = settings_.Width;
  const double p = w > 1 ? settings_.Parameter.From + static_cast<double>(column_) / (w - 1) *
                                                          (settings_.Parameter.To - settings_.Parameter.From)
                         : settings_.Parameter.From;
  if (parameterIndex_ >= 0) program_.SetVariableByIndex(parameterIndex_, p);
  const int r = std::uniform_int_distribution<int>(0, 999)(random_);
  x_ = settings_.Start.From + r / 1000.0 * (settings_.Start.To - settings_.Start.From);
  plotting_ = false;
  step_ = 0;
}

int BifurcationGraph::RowOf(double x) const {
  const PlotRange& v = settings_.Values;
  const double row = (1 - (x - v.From) / (v.To - v.From)) * (settings_.Height - 1);
  if (!std::isfinite(row) || row < -0.5 || row >= settings_.Height - 0.5) return -1;
  return static_cast<int>(std::lround(row));
}

void BifurcationGraph::Run(std::chrono::steady_clock::time_point deadline, std::vector<std::pair<int, int>>& progress) {
  // The clock is read every few thousand steps: a step takes well below a microsecond.
  constexpr int64_t kStepsBetweenClockReads = 4096;
  const int64_t n = settings_.Iterations + 1;
  while (!Done()) {
    const int64_t end = std::min(n, step_ + kStepsBetweenClockReads);
    for (; step_ < end; ++step_) {
      if (xIndex_ >= 0) program_.SetVariableByIndex(xIndex_, x_);
      x_ = program_.Evaluate();
      if (!plotting_) continue;
      const int row = RowOf(x_);
      if (row < 0) continue;
      marks_[static_cast<size_t>(row) * static_cast<size_t>(settings_.Width) + static_cast<size_t>(column_)] = 1;
      if (step_ % 1000 == 0) progress.emplace_back(column_, row);
    }
    if (step_ == n) {
      if (!plotting_) {
        plotting_ = true;
        step_ = 0;
      } else {
        if (const int row = RowOf(x_); row >= 0) progress.emplace_back(column_, row);
        ++column_;
        if (!Done()) StartColumn();
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) return;
  }
}

}  // namespace vantorel
