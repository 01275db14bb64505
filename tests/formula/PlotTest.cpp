// The plot window's arithmetic: range checks, curves, value ranges, axes, zooming and the
// bifurcation graph computed in time slices.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "formula/Plot.h"

using namespace vantorel;
using Clock = std::chrono::steady_clock;

namespace {

std::unique_ptr<TFormula> Loaded(const char* text) {
  auto f = std::make_unique<TFormula>();
  f->ShowMessages = false;
  f->Load(text);
  return f;
}

}  // namespace

TEST(PlotRanges, EmptyOrUnboundedRangesAreRefusedWithTheirName) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::tuple<PlotRange, const char*> cases[] = {
      {{-5, 5}, nullptr},
      {{5, -5}, nullptr},
      {{1e-300, 2e-300}, nullptr},
      {{2, 2}, "The range of X from 2 to 2 is empty. Please choose two different values."},
      {{-1e308, 1e308}, "The range of X from -1E308 to 1E308 is too large to be drawn."},
      {{0, inf}, "is too large"},
      {{std::nan(""), 1}, "is too large"}};
  for (const auto& [range, message] : cases) {
    const auto problem = RangeProblem(range, "X");
    ASSERT_EQ(problem.has_value(), message != nullptr) << range.From << " " << range.To;
    if (message) {
      EXPECT_NE(problem->find(message), std::string::npos) << *problem;
    }
  }
}

TEST(PlotRanges, ZoomAxesAndCoordinatesOfAFourHundredPixelPicture) {
  // A rectangle dragged either way gives the same ranges; the picture shows -5 .. 5 both ways.
  const PlotRange xs{-5, 5}, ys{-5, 5};
  for (const auto& [x0, y0, x1, y1] : {std::tuple{100, 100, 300, 200}, {300, 200, 100, 100}}) {
    const ZoomResult z = ZoomedRanges(xs, ys, x0, y0, x1, y1, 400);
    EXPECT_EQ(z.Xs, (PlotRange{-2.5, 2.5}));
    EXPECT_EQ(z.Ys, (PlotRange{0, 2.5}));
  }
  EXPECT_TRUE(RangeProblem(ZoomedRanges(xs, ys, 7, 9, 7, 9, 400).Xs, "X"));  // a click without a drag
  EXPECT_EQ(PointAt(xs, ys, 200, 100, 400), std::make_pair(0.0, 2.5));
  // Axes: the zero of -5 .. 5 in the middle, of 0 .. 4 at the left edge, of 1 .. 2 nowhere.
  const std::tuple<double, double, double, std::optional<int>> axes[] = {{5, -5, 400, 200},
                                                                         {-5, 5, 400, 200},
                                                                         {0, 4, 399, 0},
                                                                         {4, -4, 399, 200},
                                                                         {1, 2, 400, std::nullopt},
                                                                         {-3, -1, 400, std::nullopt},
                                                                         {-1e308, 1e308, 400, std::nullopt}};
  for (const auto& [first, last, span, pixel] : axes) EXPECT_EQ(ZeroPixel(first, last, span, 400), pixel) << first;
}

TEST(PlotCurves, ValuesAreLimitedCutAtTheBorderAndValueRangesSampled) {
  // X over -5 .. 5, values -5 .. 5, 400 x 400: row = 400 - (y + 5) * 40 - 1.
  auto linePtr = Loaded("X");
  TFormula& line = *linePtr;
  const auto steps = CurveSteps(line, "X", {-5, 5}, {-5, 5}, 400, 400);
  ASSERT_EQ(steps.size(), 401u);  // column 0 (on the lower border): a move and a dot; then lines
  EXPECT_FALSE(steps[0].Draw);
  EXPECT_EQ(steps[0].Row, 399);
  EXPECT_EQ(steps.back().Column, 399);
  EXPECT_EQ(steps.back().Row, 0);
  EXPECT_TRUE(steps.back().Draw);
  // Above the range the curve runs along the top row and is never joined back diagonally.
  auto parabola = Loaded("X*X");
  for (const CurveStep& s : CurveSteps(*parabola, "X", {-5, 5}, {0, 4}, 400, 400)) {
    EXPECT_GE(s.Row, -1);
    EXPECT_LE(s.Row, 399);
  }
  // Values beyond the double range of the rows are left out, not turned into pixels.
  auto huge = Loaded("X");
  for (const CurveStep& s : CurveSteps(*huge, "X", {-1e300, 1e300}, {-1e-300, 1e-300}, 400, 400))
    EXPECT_TRUE(s.Row >= -1 && s.Row <= 400);
  // "adjust F(X)" of X over -5 .. 5: the last of 400 samples is 4,975.
  const PlotRange adjusted = ValueRangeOver(line, "X", 400, {-5, 5});
  EXPECT_EQ(adjusted.From, -5);
  EXPECT_DOUBLE_EQ(adjusted.To, 4.975);
  auto constant = Loaded("3");
  EXPECT_TRUE(RangeProblem(ValueRangeOver(*constant, "X", 400, {-5, 5}), "F(X)"));
}

TEST(BifurcationGraph, LogisticMapStaysBetweenZeroAndOneAndDoublesItsPeriod) {
  auto f = Loaded("AB*X*(1-X)");
  BifurcationSettings s;  // AB 0 .. 4, Y -4 .. 4, start 0 .. 1, N = 500
  BifurcationGraph graph(*f, "AB", s, 1);
  std::vector<std::pair<int, int>> progress;
  graph.Run(Clock::now() + std::chrono::seconds(30), progress);
  ASSERT_TRUE(graph.Done());
  const int zero = graph.RowOf(0), one = graph.RowOf(1);
  auto rowsIn = [&s](const BifurcationGraph& g, int column) {
    std::vector<int> rows;
    for (int row = 0; row < s.Height; ++row)
      if (g.Marks()[static_cast<size_t>(row) * s.Width + column]) rows.push_back(row);
    return rows;
  };
  for (int column = 0; column < s.Width; ++column)
    for (int row : rowsIn(graph, column)) ASSERT_TRUE(row <= zero && row >= one) << column << " " << row;
  auto pointsIn = [&](int column) { return rowsIn(graph, column).size(); };
  // AB = 2,8: one fixed point; AB = 3,2: period 2; AB = 3,5: period 4 (columns at 399/4 per unit).
  EXPECT_EQ(pointsIn(static_cast<int>(std::lround(2.8 / 4 * 399))), 1u);
  EXPECT_EQ(pointsIn(static_cast<int>(std::lround(3.2 / 4 * 399))), 2u);
  EXPECT_EQ(pointsIn(static_cast<int>(std::lround(3.5 / 4 * 399))), 4u);
  EXPECT_GE(progress.size(), 400u);  // at least the last point of each column
  // A running variable the formula does not contain: every column the same points.
  BifurcationGraph same(*Loaded("3,2*X*(1-X)"), "B", s, 2);
  same.Run(Clock::now() + std::chrono::seconds(30), progress);
  EXPECT_EQ(rowsIn(same, 0).size(), 2u);
  for (int column : {1, 200, 399}) EXPECT_EQ(rowsIn(same, column), rowsIn(same, 0));
}

TEST(BifurcationGraph, ReturnsSoonAfterItsDeadlineEvenAtTheLargestIterationCount) {
  BifurcationSettings s;
  s.Iterations = 1000000000;
  BifurcationGraph graph(*Loaded("2,5*sqr(sin(X+AB))"), "AB", s, 3);
  std::vector<std::pair<int, int>> progress;
  const auto start = Clock::now();
  graph.Run(start + std::chrono::milliseconds(10), progress);
  // One column takes 2 * 10^9 steps (minutes): the slice ends at the deadline instead.
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_FALSE(graph.Done());
  EXPECT_EQ(graph.Column(), 0);
}
