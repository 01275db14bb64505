// The arithmetic of the formula plot window: ranges and their checks, the curve of a formula
// over a range as pixel steps, the value range of a formula, axis positions, zooming by a
// dragged rectangle, and the bifurcation ("Feigenbaum") graph computed in time slices.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formula/CompiledFormula.h"
#include "formula/Formula.h"

namespace vantorel {

// A range of values from From to To; To may lie below From (the picture is mirrored).
struct PlotRange {
  double From = 0, To = 0;
  bool operator==(const PlotRange&) const = default;
};

// Why a range cannot be drawn (empty, not finite, or wider than the double range), naming it;
// nothing when it can.
std::optional<std::string> RangeProblem(const PlotRange& range, const std::string& name);

// One step of a curve: move the pen to (Column, Row), or draw a line to it.
struct CurveStep {
  int Column = 0, Row = 0;
  bool Draw = false;
};

// The formula as a function of the named variable over xs, sampled at each of width columns
// (x = From + i/width * span), its values limited to ys and turned into rows of a picture of the
// given height. The curve is cut (the pen moves) in column 0, where a value lies on the border
// of ys, and after a value that cannot be drawn; such a value is left out. ys must pass
// RangeProblem. Domain-error reports of the formula are switched off while it runs.
std::vector<CurveStep> CurveSteps(TFormula& f, const std::string& variable, const PlotRange& xs, const PlotRange& ys,
                                  int width, int height);

// The least and greatest value of the formula at n sample points From + i/n * span, i = 0 .. n-1.
PlotRange ValueRangeOver(TFormula& f, const std::string& variable, int n, const PlotRange& xs);

// Where the value 0 of a range lies among count pixels when `first` is at pixel 0 and `last` at
// pixel count - 1 or count (span): round(span * first / (first - last)) measured from the first
// pixel; nothing when it lies outside the picture.
std::optional<int> ZeroPixel(double first, double last, double span, int count);

// The ranges a dragged rectangle (pixels, corners in any order) chooses in a square picture of
// size pixels that shows xs horizontally and ys from bottom (From) to top (To).
struct ZoomResult {
  PlotRange Xs, Ys;
};
ZoomResult ZoomedRanges(const PlotRange& xs, const PlotRange& ys, int x0, int y0, int x1, int y1, int size);

// The point of the plane at a pixel of that picture.
std::pair<double, double> PointAt(const PlotRange& xs, const PlotRange& ys, int x, int y, int size);

struct BifurcationSettings {
  int Width = 400, Height = 400;
  int64_t Iterations = 500;   // N: N+1 transient steps, then N+1 plotted ones per column
  PlotRange Parameter{0, 4};  // the running variable, column 0 to Width-1
  PlotRange Start{0, 1};      // random start values of X
  PlotRange Values{-4, 4};    // bottom and top of the picture
};

// The bifurcation graph of a formula: for each column the running variable takes its value, X
// starts at a random value and is iterated; after the transient every orbit point marks its
// cell. Run works for a given time and then returns, so that the user interface stays usable.
class BifurcationGraph {
 public:
  // f must be converted. runningVariable and X may be missing from the formula: a missing one is
  // not set.
  BifurcationGraph(const TFormula& f, const std::string& runningVariable, const BifurcationSettings& settings,
                   uint32_t seed);

  // Computes until the graph is complete or the deadline has passed. Every 1000th point and the
  // last point of each column are added to progress (column, row) as signs of progress.
  void Run(std::chrono::steady_clock::time_point deadline, std::vector<std::pair<int, int>>& progress);
  bool Done() const { return column_ >= settings_.Width; }
  int Column() const { return column_; }
  // Width * Height cells, row by row: 1 where an orbit point lies.
  const std::vector<uint8_t>& Marks() const { return marks_; }
  // The pixel row of a value, or -1 when it is outside the picture or cannot be drawn.
  int RowOf(double x) const;

 private:
  void StartColumn();

  BifurcationSettings settings_;
  TCompiledFormula program_;
  int32_t xIndex_ = -1, parameterIndex_ = -1;
  std::mt19937 random_;
  std::vector<uint8_t> marks_;
  int column_ = 0;
  bool plotting_ = false;  // past the transient of the current column
  int64_t step_ = 0;       // steps done in the current phase
  double x_ = 0;
};

}  // namespace vantorel
