// The pixel kernels: the scalar one (a logarithm per step), checked step by step, and the vector
// kernels of every instruction set, which must give its orbits bit for bit.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "core/EngineHarness.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/UserMap.h"
#include "core/VectorKernels.h"

using namespace vantorel;
using test::Records;

namespace {

// The default block's letters "AAAAAABBBBBB" (L = 12) with the given formula and counts.
KernelParams Params(int32_t formula, int32_t calmDown, int32_t iterations, bool smart = false) {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = formula, block.CalmDownIterations = calmDown, block.Iterations = iterations;
  block.SmartIterate = smart;
  return KernelParamsFrom(block);
}

PixelInput Fresh(double a, double b) { return PixelInput{a, b, true, 0.0, 0.0}; }
PixelInput Stored(double a, double b, double x, double e) { return PixelInput{a, b, false, x, e}; }

// Runs one pixel; counts the calm-down and summation steps the map took.
struct Counted {
  PixelResult out;
  int64_t calmSteps, sumSteps;
};
template <class Map>
Counted Pixel(const KernelParams& p, const PixelInput& in, Map map) {
  StepCountingMap<Map> counting{map};
  Counted c{};
  EXPECT_TRUE(RunKernel(counting, p, in, c.out));
  c.calmSteps = counting.calmSteps;
  c.sumSteps = counting.sumSteps;
  return c;
}
// A logistic pixel, by the scalar kernel and, to its bits, by every vector kernel.
Counted Pixel(const KernelParams& p, const PixelInput& in) {
  const Counted c = Pixel(p, in, FixedMap<0>(p));
  for (const VectorTarget& target : AvailableVectorTargets()) {
    ForceVectorTargets(target.bit);
    PixelResult v;
    EXPECT_TRUE(ComputeFixedPixels(p, &in, &v, 1));
    EXPECT_EQ(std::memcmp(&v.X, &c.out.X, sizeof(double)), 0) << target.name;
    EXPECT_NEAR(v.E, c.out.E, 1e-12 * std::max(1.0, std::fabs(c.out.E))) << target.name;
  }
  ForceVectorTargets(0);
  return c;
}

// A map whose every step adds the term 1 (d = e) and moves X on by one.
struct DriftMap {
  static constexpr bool CanFault = false;
  void Begin(double, double) {}
  double Next(double x, double, double) { return x + 1.0; }
  double Step(double x, double, double, double& d) {
    d = std::exp(1.0);
    return x + 1.0;
  }
};

const double kLn2 = std::log(2.0);

}  // namespace

TEST(Kernels, LogisticMapAtFourHasExponentLn2) {
  const PixelResult r = Pixel(Params(0, 1200, 240000), Stored(4.0, 4.0, 0.1234, 0.0)).out;
  EXPECT_NEAR(r.E, kLn2, 0.02);
}

TEST(Kernels, PassCountsAndTheDivisor) {
  // 2 X (1 - X) from X = 0.5 stays at 0.5 with d = 0: every term is the penalty -100.
  // Calm-down: C div L + 1 passes; summation: N div L + 1 passes, divided by N (+ P / 2).
  // A stored pixel skips the calm-down and starts at its X with the sum P * E / 2.
  struct Case {
    int32_t c, n, done;
    PixelInput in;
    int64_t calm, sum;
    double e;
  } cases[] = {
      {12, 12, 0, Fresh(2, 2), 24, 24, -200.0},
      {312, 12, 0, Fresh(2, 2), 324, 24, -200.0},
      {11, 12, 0, Fresh(2, 2), 12, 24, -200.0},
      {12, 13, 0, Fresh(2, 2), 24, 24, -2400.0 / 13.0},
      {12, 12, 0, Stored(2, 2, 0.5, 1000.0), 0, 24, -200.0},  // P = 0: the stored E weighs nothing
      {12, 12, 4, Stored(2, 2, 0.5, 7.0), 0, 24, (4 * 7.0 * 0.5 - 2400.0) / (12 + 2.0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "C " << c.c << " N " << c.n << " P " << c.done << " fresh " << c.in.Fresh);
    KernelParams p = Params(0, c.c, c.n);
    p.IterationsDone = c.done;
    const Counted r = Pixel(p, c.in);
    EXPECT_EQ(r.calmSteps, c.calm);
    EXPECT_EQ(r.sumSteps, c.sum);
    EXPECT_DOUBLE_EQ(r.out.E, c.e);
    EXPECT_DOUBLE_EQ(r.out.X, 0.5);
  }
}

TEST(Kernels, OverflowEndsThePixelAndKeepsTheTermsSoFar) {
  // From X = 1e100 the first step gives a finite X and d; the second overflows.
  const double x0 = 1e100, x1 = 4.0 * x0 * (1.0 - x0);
  const double d1 = (1.0 - 2.0 * x0) * 4.0;
  // The smart kernel adds a pass's sum only when the pass is complete: the term is lost.
  // A fault during the calm-down leaves the sum at 0.
  struct Case {
    bool smart, fresh;
    double e;
  } cases[] = {{false, false, std::log(std::fabs(d1)) / 120.0}, {true, false, 0.0}, {false, true, 0.0}};
  for (const Case& c : cases) {
    KernelParams p = Params(0, 12, 120, c.smart);
    if (c.fresh) p.StartX = x0;  // a stored pixel starts at its stored X
    const PixelResult r = Pixel(p, c.fresh ? Fresh(4.0, 4.0) : Stored(4.0, 4.0, x0, 0.0)).out;
    EXPECT_DOUBLE_EQ(r.E, c.e) << "smart " << c.smart << ", fresh " << c.fresh;
    EXPECT_DOUBLE_EQ(r.X, x1) << "smart " << c.smart << ", fresh " << c.fresh;  // the last finite X
  }
}

TEST(Kernels, SmartIterateStopsAtAFixedPointAndExtrapolates) {
  // 2.5 X (1 - X) has the attracting fixed point 0.6 with derivative -0.5.
  KernelParams p = Params(0, 1200, 120, true);
  p.StartX = 0.6;
  const Counted r = Pixel(p, Fresh(2.5, 2.5));
  // The first pass compares with 0, the next six count up to 6 > 5: seven passes; then one
  // summation pass stands for N / L = 10 passes.
  EXPECT_EQ(r.calmSteps, 7 * 12);
  EXPECT_EQ(r.sumSteps, 12);
  EXPECT_NEAR(r.out.E, -kLn2, 1e-9);
  EXPECT_NEAR(r.out.X, 0.6, 1e-9);
  // N = 100 stands for 8.33 passes; the plain kernel sums 9 passes and divides by 100.
  p.Iterations = 100;
  EXPECT_NEAR(Pixel(p, Fresh(2.5, 2.5)).out.E, -kLn2, 1e-9);
  p.SmartIterate = false;
  EXPECT_NEAR(Pixel(p, Fresh(2.5, 2.5)).out.E, -kLn2 * 108.0 / 100.0, 1e-9);
  // The largest counts, one letter: 2^31 passes, one more than a 32-bit int holds; one summation
  // pass stands for all 2^31 - 1.
  EXPECT_EQ(PixelFrame::Passes(INT32_MAX, 1), int64_t(1) << 31);
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = 0, block.CalmDownIterations = block.Iterations = INT32_MAX, block.StartX = 0.6;
  block.SetSequence({0});
  block.SmartIterate = true;
  const Counted largest = Pixel(KernelParamsFrom(block), Fresh(2.5, 2.5));
  EXPECT_EQ(largest.sumSteps, 1);
  EXPECT_NEAR(largest.out.E, -kLn2, 1e-12);
}

TEST(Kernels, SmartIterateStopsOnEqualPassSums) {
  // X never settles, but every pass sums to 12: the 7th pass makes cS = 6, the 8th is the last.
  KernelParams p = Params(0, 12, 1200, true);
  // Pass sums of L = 12 terms are compared with L times the error limit, X with the limit itself.
  EXPECT_EQ(p.EpsX, DefaultCalcParams().ErrorLimit);
  EXPECT_EQ(p.EpsS, 12 * DefaultCalcParams().ErrorLimit);
  Counted r = Pixel(p, Stored(1, 1, 0.0, 0.0), DriftMap{});
  EXPECT_EQ(r.sumSteps, 8 * 12);
  EXPECT_NEAR(r.out.E, 1.0, 1e-12);
  // A negative error limit never stops early.
  p.EpsX = -0.001;
  p.EpsS = -0.012;
  r = Pixel(p, Stored(1, 1, 0.0, 0.0), DriftMap{});
  EXPECT_EQ(r.sumSteps, 101 * 12);
  EXPECT_NEAR(r.out.E, 1212.0 / 1200.0, 1e-12);
}

// The hand-written derivative agrees in magnitude with the slope of the map.
template <int F>
void ExpectDerivativeMatchesSlope(const KernelParams& p, double x) {
  const FixedMap<F> map(p);
  const double ab = 3.7, ba = 2.1, h = 1e-6;
  double d = 0;
  EXPECT_EQ(map.Step(x, ab, ba, d), map.Next(x, ab, ba));
  const double slope = (map.Next(x + h, ab, ba) - map.Next(x - h, ab, ba)) / (2 * h);
  EXPECT_NEAR(std::fabs(d), std::fabs(slope), 1e-5 * (1 + std::fabs(slope))) << "formula " << F + 1 << " at " << x;
}

TEST(Kernels, FixedFormulaDerivativesMatchTheirMapsAndBranchesFollowTheirConditions) {
  const KernelParams p = Params(0, 12, 12);
  for (double x : {-2.3, 0.2, 0.7, 1.4, 2.9}) {
    [&]<int... F>(std::integer_sequence<int, F...>) { (ExpectDerivativeMatchesSlope<F>(p, x), ...); }
    (std::make_integer_sequence<int, 6>{});
  }
  const double u = p.U, w = p.W;
  // Formula 3 adds U (AB - 2) / 4 at and below X = 0.5.
  EXPECT_DOUBLE_EQ(FixedMap<2>(p).Next(0.5, 3.0, 1.0), 3.0 * 0.25 + 1.0 * u * 0.25);
  EXPECT_DOUBLE_EQ(FixedMap<2>(p).Next(1.5, 3.0, 1.0), 3.0 * 1.5 * 0.5);
  // Formula 4 adds U AB where X / pi has a fractional part of at most 0.5 (negative for X < 0).
  for (auto [x, adds] : {std::pair{1.0, true}, std::pair{2.0, false}, std::pair{-2.0, true}}) {
    const double s = std::sin(x + 2.0);
    EXPECT_DOUBLE_EQ(FixedMap<3>(p).Next(x, 2.0, 0.0), w * s * s + (adds ? u * 2.0 : 0.0)) << x;
  }
}

TEST(Kernels, BlockWithoutAUsableSequenceOrFormulaIsRefused) {
  TCalcParams block = DefaultCalcParams();
  block.SetSequence({});
  EXPECT_THROW(KernelParamsFrom(block), FormatError);
  block.SetSequence({0, 1});
  block.SequenceSteps = 3;
  EXPECT_THROW(KernelParamsFrom(block), FormatError);
  block.SetSequence({0, 7, 1});
  EXPECT_EQ(KernelParamsFrom(block).Sequence, (std::vector<uint8_t>{0, 1, 1}));
  block.FixedFormula = 6;
  EXPECT_THROW(KernelParamsFrom(block), FormatError);
  EXPECT_THROW(PixelKernel(Params(-1, 12, 12), nullptr), FormatError);  // a user formula needs its map
}

// A user map goes through the same kernel (its agreement with fixed formula 1 is
// UserFormulaTest's); a derivative that is not a number adds the penalty.
TEST(Kernels, UserMapWhoseDerivativeIsNotANumberGetsThePenalty) {
  struct NanSlope final : IUserMap {
    void Begin(double, double) override {}
    double Next(double x, double ab, double) override { return ab * x * (1 - x); }
    double Step(double x, double ab, double, double& d) override {
      d = std::numeric_limits<double>::quiet_NaN();
      return ab * x * (1 - x);
    }
  } map;
  PixelResult u;
  ASSERT_TRUE(PixelKernel(Params(-1, 312, 156), &map).Compute(Fresh(2.2, 3.3), u));
  EXPECT_DOUBLE_EQ(u.E, -100.0 * 168 / 156);  // 14 passes of 12 penalties over N = 156
}

TEST(Kernels, CancelLeavesThePixelUndone) {
  const KernelParams p = Params(1, 312, 156);
  std::atomic<bool> cancel{true};
  PixelResult out{123.0, 456.0};
  EXPECT_FALSE(PixelKernel(p, nullptr).Compute(Fresh(3.9, 1.1), out, &cancel));
  EXPECT_EQ(out.E, 123.0);
  // Several pixels at a time (the vector kernels) stop as well.
  const PixelInput many[4] = {Fresh(3.9, 1.1), Fresh(3.8, 1.2), Fresh(3.7, 1.3), Fresh(3.6, 1.4)};
  PixelResult outs[4];
  EXPECT_FALSE(PixelKernel(p, nullptr).ComputeMany(many, outs, 4, &cancel));
  cancel = false;
  EXPECT_TRUE(PixelKernel(p, nullptr).Compute(Fresh(3.9, 1.1), out, &cancel));
  EXPECT_TRUE(PixelKernel(p, nullptr).ComputeMany(many, outs, 4, &cancel));
}

namespace {

// A picture of each fixed formula over a region where its orbits settle, turn chaotic and, for
// formulas 1, 3 and 6, run to infinity (the pixel ends at the fault).
struct Region {
  int32_t formula;
  double centerX, centerY, width, height;
};
constexpr Region kRegions[] = {
    {0, 3.2, 3.2, 2.8, 2.8}, {1, 2.0, 2.0, 4.0, 4.0}, {2, 3.2, 3.2, 2.8, 2.8},
    {3, 2.0, 2.0, 4.0, 4.0}, {4, 2.0, 2.0, 4.0, 4.0}, {5, 6.0, 6.0, 12.0, 12.0},
};
constexpr int32_t kSide = 24;

TCalcParams Picture(const Region& region, bool smart) {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = region.formula, p.SmartIterate = smart, p.ErrorLimit = 1e-4;
  p.CenterX = region.centerX, p.CenterY = region.centerY, p.Width = region.width, p.Height = region.height;
  p.PictureWidth = p.PictureHeight = kSide;
  p.CalmDownIterations = 312, p.Iterations = 612;
  return p;
}

}  // namespace

// Every instruction set gives every fixed formula, plain and smart, fresh and deriving more, the
// orbits of the scalar kernel bit for bit and its exponents to rounding.
TEST(VectorKernels, EveryInstructionSetGivesTheScalarKernelsOrbits) {
  const std::vector<VectorTarget> targets = AvailableVectorTargets();
  ASSERT_FALSE(targets.empty());
  for (const VectorTarget& target : targets) {
    ForceVectorTargets(target.bit);
    ASSERT_EQ(CurrentVectorTarget(), target.name);
    for (const Region& region : kRegions) {
      for (bool smart : {false, true}) {
        SCOPED_TRACE(testing::Message() << target.name << ", formula " << region.formula + 1
                                        << (smart ? ", smart" : ""));
        test::EngineProject e(kSide, kSide);
        e.params = Picture(region, smart);
        e.Run(2);
        const auto scalar = [&](int32_t c, int32_t r, const PixelInput* stored = nullptr) {
          return test::KernelPixel(e.params, c, r, stored, true);
        };
        test::ExpectRecords(
            e, [&](int32_t c, int32_t r, size_t) { return scalar(c, r); }, 1e-12);
        // Derive more from the stored data.
        const std::vector<double> e0 = Records(e.tmp1), x0 = Records(e.tmp2);
        e.params.IterationsDone = e.params.Iterations;
        e.params.ProgressColumn = e.params.ProgressRow = 0;
        e.Run(2, false);
        test::ExpectRecords(
            e,
            [&](int32_t c, int32_t r, size_t k) {
              const PixelInput stored{0, 0, false, x0[k], e0[k]};
              return scalar(c, r, &stored);
            },
            1e-12);
      }
    }
  }
  ForceVectorTargets(0);
}

TEST(VectorKernels, PenaltiesFaultsAndStoredPixelsShareTheLanes) {
  // Logistic pixels computed together: X = 0.5 at A = B = 2 has d = 0 in every step (the
  // penalty); a stored X of 1e100 overflows in the second step; a stored X of 0.5 + 2^-40 gives
  // derivatives that shrink to zero; ordinary settled and chaotic pixels fill the other lanes.
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = 0;
  block.IterationsDone = 24;
  std::vector<PixelInput> in;
  for (int i = 0; i < 13; ++i) {
    in.push_back({2.0, 2.0, true, 0.0, 0.0});
    in.push_back({4.0, 4.0, false, 1e100, 0.5});
    in.push_back({2.0, 2.0, false, 0.5 + std::ldexp(1.0, -40), -3.0});
    in.push_back({2.5 + i * 0.1, 3.9, i % 2 == 0, 0.3, 0.1});
  }
  for (bool smart : {false, true}) {
    block.SmartIterate = smart;
    const KernelParams p = KernelParamsFrom(block);
    std::vector<PixelResult> scalar(in.size()), vector(in.size());
    for (size_t i = 0; i < in.size(); ++i) PixelKernel(p, nullptr).Compute(in[i], scalar[i]);
    for (const VectorTarget& target : AvailableVectorTargets()) {
      ForceVectorTargets(target.bit);
      ASSERT_TRUE(ComputeFixedPixels(p, in.data(), vector.data(), in.size()));
      for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(std::memcmp(&vector[i].X, &scalar[i].X, sizeof(double)), 0) << target.name << " pixel " << i;
        EXPECT_NEAR(vector[i].E, scalar[i].E, 1e-12) << target.name << " pixel " << i;
      }
    }
    ForceVectorTargets(0);
    // 14 passes of 12 penalties over N + P / 2 = 168; smart: one pass stands for N / L = 13.
    EXPECT_DOUBLE_EQ(vector[0].E, smart ? -1200.0 * 13 / 168 : -100.0);
  }
}

TEST(VectorKernels, FastTrigonometryKeepsTheStablePixels) {
  // A stable pixel's orbit settles on an attracting cycle (negative exponent) during the
  // calm-down and forgets rounding differences; chaotic orbits, and transients that wander to
  // another attractor, need not agree.
  for (const Region& region : kRegions) {
    if (region.formula == 0 || region.formula == 2) continue;
    SCOPED_TRACE(testing::Message() << "formula " << region.formula + 1);
    TCalcParams p = Picture(region, false);
    p.CalmDownIterations = 6000;
    std::vector<double> exact[2], fast[2];
    for (bool f : {false, true}) {
      test::EngineProject run(kSide, kSide);
      run.params = p;
      run.Run(2, true, [&](TRechenThread& t) { t.SetFastTrig(f); });
      (f ? fast : exact)[0] = Records(run.tmp1);
      (f ? fast : exact)[1] = Records(run.tmp2);
    }
    int negative = 0, stable = 0, differ = 0;
    for (size_t i = 0; i < exact[0].size(); ++i) {
      if (!(exact[0][i] < -0.05)) continue;
      ++negative;
      differ += fast[0][i] != exact[0][i];
      if (std::fabs(fast[1][i] - exact[1][i]) > 1e-9) continue;  // another attractor
      ++stable;
      EXPECT_NEAR(fast[0][i], exact[0][i], 1e-9) << "pixel " << i;
    }
    std::printf("[ figures  ] formula %d: %d of %d pixels with negative exponents on the same cycle\n",
                region.formula + 1, stable, negative);
    EXPECT_GE(stable, negative * 9 / 10);
    EXPECT_GT(differ, 0) << "fast mode has to use the vector library";
  }
}
