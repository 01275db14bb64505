// A user formula in vector lanes (fast mode): the compiled program against the same program
// evaluated one value at a time in double precision, operation by operation and pixel by pixel,
// on every instruction set the processor offers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "core/EngineHarness.h"
#include "core/Kernels.h"
#include "core/UserMap.h"
#include "core/UserProgram.h"
#include "core/VectorKernels.h"
#include "formula/Formula.h"

using namespace vantorel;
using test::Records;

namespace {

TCalcParams Block(const std::string& formula) {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = -1;
  block.SetFormula(formula);
  block.Iterations = 300;
  block.CalmDownIterations = 600;
  block.ErrorLimit = 1e-4;
  return block;
}

UserProgram ProgramOf(const std::string& formula) {
  const auto program = PrepareUserMap(Block(formula))->VectorProgram();
  EXPECT_TRUE(program && program->Valid()) << formula;
  return program ? *program : UserProgram{};
}

// F and dF/dX of one point, one value at a time.
void Scalar(const UserProgram& program, const UserPoint& p, double& f, double& d) {
  std::vector<double> reg = program.Registers;
  const double values[] = {p.X, p.A, p.B, p.AB, p.BA};
  const int32_t where[] = {program.X, program.A, program.B, program.AB, program.BA};
  for (int i = 0; i < 5; ++i)
    if (where[i] >= 0) reg[size_t(where[i])] = values[i];
  EvaluateUserProgram(program, reg.data(), true, f, d);
}

// Two maths libraries of at most 1 ulp each, through a few operations.
bool Close(double a, double b) { return a == b || std::fabs(a - b) <= 1e-13 * std::max(std::fabs(a), std::fabs(b)); }

// Every function and operator the parser accepts, with operands that meet their limits and
// substitutes (division by 0, logarithm and root of non-positive numbers, a negative base, sine
// beyond 2^63, exp beyond 650) and values that leave the double range; separated by spaces.
const char kFormulas[] =
    "X+AB X-BA X*A X/B X^AB X^3 (0-X)^2,5 AB^X max(X;AB) min(X;BA) sin(X) cos(X) sin(X)*cos(X) tan(X) "
    "exp(X) log(X) sqr(X) int(X) abs(X) sinh(X) cosh(X) tanh(X) sqrt(X) frac(X) atan(X) fak(X) teta(X) "
    "1/X X/0,1 2,5*sqr(sin(X+AB)) 2,5*sin(X+AB)*cos(X-AB)+0,1137635*exp(-X*X)*AB "
    "log(abs(X))*sinh(X/AB)+sqrt(cosh(X))/tan(BA) fak(abs(X))/(1+sqr(X)) PI*X^B-Y";

std::vector<UserPoint> Points() {
  const double xs[] = {0.0,    -0.0,   0.25, 0.5,   -3,    -2,     3.5,   1000,      -1000, 700,
                       1e-300, 1e-320, 1e19, -1e19, 1e200, -1e200, 1e308, 12345.678, -0.7};
  const double abs[] = {2.5, 0.0, -1.5};
  std::vector<UserPoint> points;
  for (double x : xs)
    for (double ab : abs) points.push_back(UserPoint{x, 3.4, ab == 0 ? 0.0 : 2.7, ab, 3.9 - ab});
  return points;
}

}  // namespace

TEST(VectorUserFormula, EveryOperationInLanesAsOneValueAtATime) {
  const std::vector<UserPoint> points = Points();
  for (const VectorTarget& target : AvailableVectorTargets()) {
    ForceVectorTargets(target.bit);
    std::istringstream formulas(kFormulas);
    for (std::string formula; formulas >> formula;) {
      SCOPED_TRACE(testing::Message() << target.name << ": " << formula);
      const UserProgram program = ProgramOf(formula);
      std::vector<double> f(points.size()), d(points.size());
      EvaluateUserLanes(program, points.data(), points.size(), f.data(), d.data());
      for (size_t i = 0; i < points.size(); ++i) {
        double sf, sd;
        Scalar(program, points[i], sf, sd);
        EXPECT_TRUE(Close(f[i], sf)) << "X = " << points[i].X << ", AB = " << points[i].AB << ": F " << f[i]
                                     << " against " << sf;
        EXPECT_TRUE(Close(d[i], sd)) << "X = " << points[i].X << ", AB = " << points[i].AB << ": dF/dX " << d[i]
                                     << " against " << sd;
        EXPECT_TRUE(std::isfinite(f[i]) && std::isfinite(d[i]));
      }
    }
  }
  ForceVectorTargets(0);
}

// The known values of the formula evaluation, in lanes and one at a time, against the
// extended-precision evaluation of TFormula.
TEST(VectorUserFormula, KnownValuesAndSubstitutes) {
  struct Case {
    const char* formula;
    double x, ab, f, d;
  };
  const Case cases[] = {
      {"X*(1-X)", 0.25, 1, 0.1875, 0.5},
      {"X-X*X", 0.25, 1, 0.1875, 0.5},
      {"AB*X*(1-X)", 0.5, 4, 1, 0},
      {"X^2", -3, 1, 9, -6},
      {"X^3", -2, 1, -8, 12},
      {"1/X", 0, 1, 1e100, -1e100},
      {"exp(X)", 1000, 1, std::exp(650.0), std::exp(650.0)},
      {"log(X)", 0, 1, std::log(1e-300), 1e100},
      {"teta(X-0,5)", 0.5, 1, 1, 0},
      {"teta(X-0,5)", 0.49, 1, 0, 0},
      {"abs(1-2*X)", 0.3, 1, 0.4, 2},
      {"fak(X)", 3.5, 1, 6 * std::sqrt(3.5), NAN},
      {"sqrt(X)", -4, 1, 2, NAN},
      {"AB*2", 0.3, 2.5, 5, 0},
      {"X^AB", 1e200, 2.5, 1.0, 1.0},                // the power leaves the double range: F is 1
      {"log(X)", 1e-320, 1, std::log(1e-320), 1.0},  // 1/X does: dF/dX is 1
      {"sin(X)+cos(X)", 1e19, 1, 0, 0},              // beyond 2^63 sine and cosine are 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.formula);
    const UserProgram program = ProgramOf(c.formula);
    const UserPoint point{c.x, 3.4, 2.7, c.ab, 1.0};
    double f, d, sf, sd;
    EvaluateUserLanes(program, &point, 1, &f, &d);
    Scalar(program, point, sf, sd);
    TFormula value, slope;
    value.ShowMessages = slope.ShowMessages = false;
    value.Load(c.formula);
    slope.Load(c.formula);
    slope.Derive("X");
    for (TFormula* t : {&value, &slope}) {
      if (int i = t->IndexOfVariable("X"); i >= 0) t->SetVariableByIndex(i, c.x);
      if (int i = t->IndexOfVariable("AB"); i >= 0) t->SetVariableByIndex(i, c.ab);
    }
    const double ef = value.Evaluate(), ed = slope.Evaluate();
    for (double v : {f, sf}) EXPECT_NEAR(v, ef, 1e-12 * std::fabs(ef));
    for (double v : {d, sd}) EXPECT_NEAR(v, ed, 1e-12 * std::fabs(ed));
    EXPECT_NEAR(f, c.f, 1e-12 * std::fabs(c.f));
    if (!std::isnan(c.d)) {
      EXPECT_NEAR(d, c.d, 1e-12 * std::fabs(c.d));
    }
  }
}

namespace {

// The scalar kernel frame around the program evaluated one value at a time.
struct DoubleProgramMap {
  static constexpr bool CanFault = false;
  const UserProgram& program;
  std::vector<double> reg = program.Registers;
  void Set(int32_t r, double v) {
    if (r >= 0) reg[size_t(r)] = v;
  }
  void Begin(double a, double b) {
    Set(program.A, a);
    Set(program.B, b);
  }
  double Next(double x, double ab, double ba) {
    double f, d;
    Bind(x, ab, ba);
    EvaluateUserProgram(program, reg.data(), false, f, d);
    return f;
  }
  double Step(double x, double ab, double ba, double& d) {
    double f;
    Bind(x, ab, ba);
    EvaluateUserProgram(program, reg.data(), true, f, d);
    return f;
  }
  void Bind(double x, double ab, double ba) {
    Set(program.AB, ab);
    Set(program.BA, ba);
    Set(program.X, x);
  }
};

constexpr int32_t kSide = 20;

// The pixels of a picture of the block's region; every third from stored values.
std::vector<PixelInput> Pixels(const TCalcParams& block) {
  const PixelMapping mapping(block);
  std::vector<PixelInput> in;
  for (int32_t i = 0; i < kSide * kSide; ++i) {
    PixelInput p;
    mapping.MapPixel(i % kSide, kSide - i / kSide, p.A, p.B);
    if (i % 3 == 2) p = PixelInput{p.A, p.B, false, 0.3 + 0.001 * i, -0.2};
    in.push_back(p);
  }
  return in;
}

}  // namespace

// Whole pixels in lanes against the scalar frame, and every instruction set against the first:
// formulas of additions and products only round as the scalar evaluation does, so their orbits
// agree bit for bit; with transcendental functions the pixels whose orbits settle keep their
// exponents.
TEST(VectorUserFormula, PixelsInLanesMatchTheScalarFrameOnEveryInstructionSet) {
  struct Case {
    const char* formula;
    double centerX, centerY, width;
    bool bitwise;
  };
  const Case cases[] = {
      {"AB*X*(1-X)", 3.2, 3.2, 2.8, true},
      {"AB*X*abs(1-X)+max(X;0,5)*0,01", 3.2, 3.2, 2.8, true},
      {"AB*0,5", 3.2, 3.2, 2.8, true},  // no X: the penalty in every step
      {"2,5*sqr(sin(X+AB))", 2.0, 2.0, 4.0, false},
      {"2,5*sin(X+AB)*cos(X-AB)+0,1137635*exp(-X*X)*AB", 2.0, 2.0, 4.0, false},
  };
  const std::vector<VectorTarget> targets = AvailableVectorTargets();
  for (const Case& c : cases) {
    for (bool smart : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.formula << (smart ? ", smart" : ""));
      TCalcParams block = Block(c.formula);
      block.SmartIterate = smart;
      block.IterationsDone = 300;
      block.CenterX = c.centerX;
      block.CenterY = c.centerY;
      block.Width = block.Height = c.width;
      block.PictureWidth = block.PictureHeight = kSide;
      KernelParams p = KernelParamsFrom(block);
      p.FastTrig = true;
      const UserProgram program = ProgramOf(c.formula);
      const std::vector<PixelInput> in = Pixels(block);
      std::vector<PixelResult> scalar(in.size());
      for (size_t i = 0; i < in.size(); ++i) {
        DoubleProgramMap map{program};
        ASSERT_TRUE(RunKernel(map, p, in[i], scalar[i]));
      }
      std::vector<PixelResult> first;
      for (const VectorTarget& target : targets) {
        ForceVectorTargets(target.bit);
        std::vector<PixelResult> lanes(in.size());
        ASSERT_TRUE(ComputeUserPixels(p, program, in.data(), lanes.data(), in.size()));
        if (first.empty()) first = lanes;
        // A smart pixel whose pass sums sit at the error limit may stop a pass apart, a slowly
        // settling one keep a difference above 1e-9: a few of the settled pixels.
        int stable = 0, settled = 0, apart = 0, apartFromFirst = 0;
        for (size_t i = 0; i < in.size(); ++i) {
          if (c.bitwise) {
            EXPECT_EQ(std::memcmp(&lanes[i].X, &scalar[i].X, sizeof(double)), 0) << target.name << " pixel " << i;
            EXPECT_NEAR(lanes[i].E, scalar[i].E, 1e-12 * std::max(1.0, std::fabs(scalar[i].E)))
                << target.name << " pixel " << i;
            continue;
          }
          if (!(scalar[i].E < -0.05)) continue;
          ++stable;
          if (std::fabs(lanes[i].X - scalar[i].X) > 1e-9) continue;  // another attractor
          ++settled;
          apart += std::fabs(lanes[i].E - scalar[i].E) > 1e-9;
          apartFromFirst += std::fabs(lanes[i].E - first[i].E) > 1e-9;
        }
        EXPECT_GE(settled, stable * 9 / 10) << target.name;
        EXPECT_LE(apart, settled / 20) << target.name;
        EXPECT_LE(apartFromFirst, settled / 20) << target.name;
      }
      ForceVectorTargets(0);
      if (std::string(c.formula) == "AB*0,5") {  // 26 passes of 12 penalties over N + P / 2
        EXPECT_DOUBLE_EQ(scalar[0].E, smart ? -100.0 * 300 / 450 : -100.0 * 312 / 450);
      }
    }
  }
}

// The lanes leave out the operand limits only where the pixels' values stay inside them: a
// stored X near the top of the range is still limited before X+X (which would overflow and make
// frac fault), a start value of 0,5 needs no limit, and both agree with the scalar frame bit for bit.
TEST(VectorUserFormula, OperandLimitsFollowTheStartingValues) {
  TCalcParams block = Block("frac(X+X)*AB+teta(X)*0,25");
  block.IterationsDone = 300;
  block.PictureWidth = block.PictureHeight = kSide;
  KernelParams p = KernelParamsFrom(block);
  p.FastTrig = true;
  const UserProgram program = ProgramOf("frac(X+X)*AB+teta(X)*0,25");
  for (double stored : {0.3, 1e308, -1.5e308}) {
    SCOPED_TRACE(stored);
    std::vector<PixelInput> in = Pixels(block);
    for (size_t i = 0; i < in.size(); i += 2) in[i] = PixelInput{in[i].A, in[i].B, false, stored, -0.2};
    for (const VectorTarget& target : AvailableVectorTargets()) {
      ForceVectorTargets(target.bit);
      std::vector<PixelResult> lanes(in.size());
      ASSERT_TRUE(ComputeUserPixels(p, program, in.data(), lanes.data(), in.size()));
      for (size_t i = 0; i < in.size(); ++i) {
        DoubleProgramMap map{program};
        PixelResult scalar;
        ASSERT_TRUE(RunKernel(map, p, in[i], scalar));
        EXPECT_EQ(std::memcmp(&lanes[i].X, &scalar.X, sizeof(double)), 0) << target.name << " pixel " << i;
        EXPECT_NEAR(lanes[i].E, scalar.E, 1e-12 * std::max(1.0, std::fabs(scalar.E))) << target.name << " pixel " << i;
      }
    }
    ForceVectorTargets(0);
  }
}

// The engine takes the lanes in fast mode only: exact mode computes the extended-precision
// evaluation as ever, fast mode the vector program.
TEST(VectorUserFormula, TheEngineUsesTheLanesInFastModeOnly) {
  TCalcParams block = Block("2,5*sin(X+AB)*cos(X-AB)+0,1137635*exp(-X*X)*AB");
  block.PictureWidth = block.PictureHeight = kSide;
  block.IterationsDone = 0;
  std::vector<PixelInput> in = Pixels(block);
  for (PixelInput& p : in) p.Fresh = true;
  const auto factory = PrepareUserMap(block);
  const auto map = factory->Create();
  KernelParams p = KernelParamsFrom(block);
  std::vector<PixelResult> exact(in.size()), fast(in.size());
  for (size_t i = 0; i < in.size(); ++i) ASSERT_TRUE(PixelKernel(p, map.get()).Compute(in[i], exact[i]));
  p.FastTrig = true;
  ASSERT_TRUE(ComputeUserPixels(p, *factory->VectorProgram(), in.data(), fast.data(), in.size()));
  for (bool f : {false, true}) {
    test::EngineProject run(kSide, kSide);
    run.params = block;
    ASSERT_TRUE(test::RunEngine(run.params, run.tmp1, run.tmp2, 2, true, [&](TRechenThread& t) { t.SetFastTrig(f); }));
    const std::vector<double> e = Records(run.tmp1), x = Records(run.tmp2);
    const std::vector<PixelResult>& expected = f ? fast : exact;
    ASSERT_EQ(e.size(), expected.size());
    for (size_t i = 0; i < e.size(); ++i) {
      EXPECT_EQ(std::memcmp(&e[i], &expected[i].E, sizeof(double)), 0) << (f ? "fast" : "exact") << " pixel " << i;
      EXPECT_EQ(std::memcmp(&x[i], &expected[i].X, sizeof(double)), 0) << (f ? "fast" : "exact") << " pixel " << i;
    }
  }
}
