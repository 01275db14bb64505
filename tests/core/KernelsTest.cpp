#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/UserMap.h"

using namespace vantorel;

namespace {

// Letters "AAAAAABBBBBB" unless told otherwise.
KernelParams Params(int32_t formula, int32_t calmDown, int32_t iterations, bool smart = false) {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = formula;
  block.CalmDownIterations = calmDown;
  block.Iterations = iterations;
  block.SmartIterate = smart;
  return KernelParamsFrom(block);
}

PixelInput Fresh(double a, double b) { return PixelInput{a, b, true, 0.0, 0.0}; }
PixelInput Stored(double a, double b, double x, double e) { return PixelInput{a, b, false, x, e}; }

template <int F>
PixelResult RunFixed(const KernelParams& p, const PixelInput& in) {
  FixedMap<F> map(p);
  PixelResult out;
  EXPECT_TRUE(RunKernel(map, p, in, out));
  return out;
}

template <class Map>
using Counted = StepCountingMap<Map>;

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
  const KernelParams p = Params(0, 1200, 240000);
  const PixelResult r = RunFixed<0>(p, Stored(4.0, 4.0, 0.1234, 0.0));
  EXPECT_NEAR(r.E, kLn2, 0.02);
  EXPECT_GT(r.X, 0.0);
  EXPECT_LT(r.X, 1.0);
}

TEST(Kernels, SuperstableOrbitGivesThePenaltyOverTheIterationCount) {
  // X stays 0.5 and d = 0 at every step: 2 passes of 12 steps, each -100, divided by N = 12.
  const PixelResult r = RunFixed<0>(Params(0, 12, 12), Fresh(2.0, 2.0));
  EXPECT_DOUBLE_EQ(r.E, -200.0);
  EXPECT_DOUBLE_EQ(r.X, 0.5);
}

TEST(Kernels, DivisorIsTheIterationCountNotTheStepsSummed) {
  // N = 13 with L = 12: (13 div 12) + 1 = 2 passes, 24 terms of -100, divided by 13.
  EXPECT_DOUBLE_EQ(RunFixed<0>(Params(0, 12, 13), Fresh(2.0, 2.0)).E, -2400.0 / 13.0);
  // A stored exponent weighs half the iterations it rests on: S0 = P * E0 / 2, divisor N + P / 2.
  KernelParams p = Params(0, 12, 12);
  p.IterationsDone = 4;
  EXPECT_DOUBLE_EQ(RunFixed<0>(p, Stored(2.0, 2.0, 0.5, 7.0)).E, (4 * 7.0 * 0.5 - 2400.0) / (12 + 2.0));
}

TEST(Kernels, NonFreshPixelWithoutExtraIterationsIgnoresItsStoredExponent) {
  const KernelParams p = Params(0, 12, 12);  // IterationsDone 0
  const PixelResult a = RunFixed<0>(p, Stored(3.3, 3.6, 0.42, 1000.0));
  const PixelResult b = RunFixed<0>(p, Stored(3.3, 3.6, 0.42, -5.0));
  EXPECT_EQ(a.E, b.E);
  EXPECT_EQ(a.X, b.X);
  // Only the stored X is used: no calm-down, the orbit starts there.
  Counted<FixedMap<0>> counted{FixedMap<0>(p)};
  PixelResult out;
  RunKernel(counted, p, Stored(3.3, 3.6, 0.42, 1000.0), out);
  EXPECT_EQ(counted.calmSteps, 0);
  EXPECT_EQ(counted.sumSteps, 24);
  EXPECT_EQ(out.E, a.E);
}

TEST(Kernels, CalmDownRunsCDivLPlusOnePasses) {
  for (auto [c, steps] : {std::pair{12, 24}, std::pair{312, 324}, std::pair{11, 12}}) {
    const KernelParams p = Params(0, c, 12);
    Counted<FixedMap<0>> counted{FixedMap<0>(p)};
    PixelResult out;
    RunKernel(counted, p, Fresh(3.5, 3.5), out);
    EXPECT_EQ(counted.calmSteps, steps) << "C = " << c;
    EXPECT_EQ(counted.sumSteps, 24);
  }
}

TEST(Kernels, OverflowEndsThePixelAndKeepsTheTermsSoFar) {
  // From X = 1e100 the first step gives a finite X and d; the second overflows.
  const KernelParams p = Params(0, 12, 120);
  const double x0 = 1e100;
  const double d1 = (1.0 - 2.0 * x0) * 4.0;
  const double x1 = 4.0 * x0 * (1.0 - x0);
  const PixelResult plain = RunFixed<0>(p, Stored(4.0, 4.0, x0, 0.0));
  EXPECT_DOUBLE_EQ(plain.E, std::log(std::fabs(d1)) / 120.0);
  EXPECT_DOUBLE_EQ(plain.X, x1);

  // The smart kernel adds a pass's sum only when the pass is complete: the term is lost.
  KernelParams smart = p;
  smart.SmartIterate = true;
  const PixelResult s = RunFixed<0>(smart, Stored(4.0, 4.0, x0, 0.0));
  EXPECT_EQ(s.E, 0.0);
  EXPECT_DOUBLE_EQ(s.X, x1);

  // A fault during the calm-down leaves the sum at 0 and keeps the last finite X.
  KernelParams far = p;
  far.StartX = x0;
  const PixelResult diverged = RunFixed<0>(far, Fresh(4.0, 4.0));
  EXPECT_EQ(diverged.E, 0.0);
  EXPECT_DOUBLE_EQ(diverged.X, x1);
}

TEST(Kernels, SmartIterateStopsAtAFixedPoint) {
  // 2.5 X (1 - X) has the attracting fixed point 0.6 with derivative -0.5.
  KernelParams p = Params(0, 1200, 120, true);
  p.StartX = 0.6;
  Counted<FixedMap<0>> counted{FixedMap<0>(p)};
  PixelResult out;
  RunKernel(counted, p, Fresh(2.5, 2.5), out);
  // The first pass compares with 0, the next six count up to 6 > 5: seven passes.
  EXPECT_EQ(counted.calmSteps, 7 * 12);
  // One summation pass, standing for N / L = 10 passes.
  EXPECT_EQ(counted.sumSteps, 12);
  EXPECT_NEAR(out.E, -kLn2, 1e-9);
  EXPECT_NEAR(out.X, 0.6, 1e-9);
}

TEST(Kernels, SmartExtrapolationUsesAFractionalPassCount) {
  // N = 100 with L = 12 stands for 8.33 passes; the plain kernel sums 9 passes over 100.
  KernelParams p = Params(0, 1200, 100, true);
  p.StartX = 0.6;
  EXPECT_NEAR(RunFixed<0>(p, Fresh(2.5, 2.5)).E, -kLn2, 1e-9);
  p.SmartIterate = false;
  EXPECT_NEAR(RunFixed<0>(p, Fresh(2.5, 2.5)).E, -kLn2 * 108.0 / 100.0, 1e-9);
}

TEST(Kernels, SmartIterateStopsOnEqualPassSums) {
  // X never settles, but every pass sums to 12: the 7th pass makes cS = 6, the 8th is the last.
  KernelParams p = Params(0, 12, 1200, true);
  Counted<DriftMap> counted;
  PixelResult out;
  RunKernel(counted, p, Stored(1, 1, 0.0, 0.0), out);
  EXPECT_EQ(counted.sumSteps, 8 * 12);
  EXPECT_NEAR(out.E, 1.0, 1e-12);

  // A negative error limit never stops early.
  p.EpsX = -0.001;
  p.EpsS = -0.012;
  Counted<DriftMap> all;
  RunKernel(all, p, Stored(1, 1, 0.0, 0.0), out);
  EXPECT_EQ(all.sumSteps, 101 * 12);
  EXPECT_NEAR(out.E, 1212.0 / 1200.0, 1e-12);
}

// The hand-written derivatives agree in magnitude with the slope of the map.
template <int F>
void ExpectDerivativeMatchesSlope(double x, double ab, double ba) {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = F;
  const KernelParams p = KernelParamsFrom(block);
  const FixedMap<F> map(p);
  double d = 0;
  const double next = map.Step(x, ab, ba, d);
  EXPECT_EQ(next, map.Next(x, ab, ba));
  const double h = 1e-6;
  const double slope = (map.Next(x + h, ab, ba) - map.Next(x - h, ab, ba)) / (2 * h);
  EXPECT_NEAR(std::fabs(d), std::fabs(slope), 1e-5 * (1 + std::fabs(slope))) << "formula " << F + 1 << " at " << x;
}

TEST(Kernels, FixedFormulaDerivativesMatchTheirMaps) {
  for (double x : {-2.3, 0.2, 0.7, 1.4, 2.9}) {
    ExpectDerivativeMatchesSlope<0>(x, 3.7, 2.1);
    ExpectDerivativeMatchesSlope<1>(x, 3.7, 2.1);
    ExpectDerivativeMatchesSlope<2>(x, 3.7, 2.1);
    ExpectDerivativeMatchesSlope<3>(x, 3.7, 2.1);
    ExpectDerivativeMatchesSlope<4>(x, 3.7, 2.1);
    ExpectDerivativeMatchesSlope<5>(x, 3.7, 2.1);
  }
}

TEST(Kernels, FormulaBranchesFollowTheirConditions) {
  TCalcParams block = DefaultCalcParams();
  const KernelParams p = KernelParamsFrom(block);
  const double u = p.U, w = p.W;
  // Formula 3 adds U (AB - 2) / 4 at and below X = 0.5.
  EXPECT_DOUBLE_EQ(FixedMap<2>(p).Next(0.5, 3.0, 1.0), 3.0 * 0.25 + 1.0 * u * 0.25);
  EXPECT_DOUBLE_EQ(FixedMap<2>(p).Next(1.5, 3.0, 1.0), 3.0 * 1.5 * 0.5);
  // Formula 4 adds U AB where X / pi has a fractional part of at most 0.5 (negative for X < 0).
  const double s = std::sin(1.0 + 2.0);
  EXPECT_DOUBLE_EQ(FixedMap<3>(p).Next(1.0, 2.0, 0.0), w * s * s + u * 2.0);
  const double s2 = std::sin(2.0 + 2.0);
  EXPECT_DOUBLE_EQ(FixedMap<3>(p).Next(2.0, 2.0, 0.0), w * s2 * s2);
  const double s3 = std::sin(-2.0 + 2.0);
  EXPECT_DOUBLE_EQ(FixedMap<3>(p).Next(-2.0, 2.0, 0.0), w * s3 * s3 + u * 2.0);
}

TEST(Kernels, BlockWithoutSequenceIsRefused) {
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
}

namespace {

// The user formula AB*X*(1-X), as the formula engine would supply it.
class LogisticUserMap final : public IUserMap {
 public:
  void Begin(double, double) override {}
  double Next(double x, double ab, double) override { return ab * x * (1 - x); }
  double Step(double x, double ab, double, double& d) override {
    d = ab - 2 * ab * x;
    return ab * x * (1 - x);
  }
};

}  // namespace

TEST(Kernels, UserMapGivesTheFixedFormulasExponents) {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = -1;
  const KernelParams user = KernelParamsFrom(block);
  block.FixedFormula = 0;
  const KernelParams fixed = KernelParamsFrom(block);
  LogisticUserMap map;
  const PixelKernel userKernel(user, &map), fixedKernel(fixed, nullptr);
  for (double a : {2.2, 3.1, 3.5}) {
    PixelResult u, f;
    ASSERT_TRUE(userKernel.Compute(Fresh(a, 3.3), u));
    ASSERT_TRUE(fixedKernel.Compute(Fresh(a, 3.3), f));
    EXPECT_NEAR(u.E, f.E, 1e-9);
  }
  EXPECT_THROW(PixelKernel(user, nullptr), FormatError);
}

TEST(Kernels, UserMapPenaltyAppliesToNotANumber) {
  struct NanMap final : IUserMap {
    void Begin(double, double) override {}
    double Next(double x, double, double) override { return x; }
    double Step(double x, double, double, double& d) override {
      d = std::numeric_limits<double>::quiet_NaN();
      return x;
    }
  } map;
  TCalcParams block = DefaultCalcParams();
  block.Iterations = 12;
  const KernelParams p = KernelParamsFrom(block);
  PixelResult out;
  ASSERT_TRUE(PixelKernel(p, &map).Compute(Fresh(1, 1), out));
  EXPECT_DOUBLE_EQ(out.E, -200.0);
}

TEST(Kernels, CancelLeavesThePixelUndone) {
  const KernelParams p = Params(1, 312, 156);
  std::atomic<bool> cancel{true};
  PixelResult out{123.0, 456.0};
  EXPECT_FALSE(PixelKernel(p, nullptr).Compute(Fresh(3.9, 1.1), out, &cancel));
  EXPECT_EQ(out.E, 123.0);
  cancel = false;
  EXPECT_TRUE(PixelKernel(p, nullptr).Compute(Fresh(3.9, 1.1), out, &cancel));
}
