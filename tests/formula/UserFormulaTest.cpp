// A user formula on its way into the pictures: the tree walk's values and slopes, the flat
// program (alone and with F and dF/dX in one), the same program in vector lanes (fast mode) on every instruction
// set the processor offers, and whole pixels through the kernels and the computation thread. Evaluation
// allocates nothing (it runs billions of times per picture): this test program counts the allocations of each thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/EngineHarness.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/UserMap.h"
#include "core/UserProgram.h"
#include "core/VectorKernels.h"
#include "formula/CompiledFormula.h"
#include "formula/Formula.h"

namespace {
thread_local long allocations = 0;
}

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace vantorel;
using test::Records;

namespace {

// F and dF/dX of a text, taken in (quietly unless a sink is given).
struct FormulaAndSlope {
  TFormula f, d;
  explicit FormulaAndSlope(const char* text, IMessageSink* sink = nullptr) {
    f.Messages = d.Messages = sink;
    f.ShowMessages = d.ShowMessages = sink != nullptr;
    f.Load(text);
    d.Load(text);
    d.Derive("X");
    EXPECT_TRUE(f.Ok() && d.Ok()) << text;
  }
};

// Binds the computation's names in formulas and programs; names one does not use are skipped.
template <class... Formulas>
void Bind(double x, double ab, double ba, Formulas&... formulas) {
  auto bind = [](auto& f, const char* name, double value) {
    if (const int32_t i = f.IndexOfVariable(name); i >= 0) f.SetVariableByIndex(i, value);
  };
  for (const auto& [name, value] : {std::pair{"X", x}, {"AB", ab}, {"BA", ba}, {"A", ab}, {"B", ba}})
    (bind(formulas, name, value), ...);
}

uint64_t Bits(double v) { return std::bit_cast<uint64_t>(v); }

// A block of the user formula; iterations a multiple of the sequence's length.
TCalcParams Block(const std::string& formula, int32_t iterations = 300, const char* sequence = "AAAAAABBBBBB") {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = -1, block.Iterations = iterations, block.CalmDownIterations = 600, block.ErrorLimit = 1e-4;
  block.SetFormula(formula);
  block.SetSequence(ReadSequence(sequence));
  return block;
}

// One fresh pixel, through the kernel the thread would choose.
PixelResult UserPixel(const TCalcParams& block, double a, double b) {
  const auto factory = PrepareUserMap(block);
  const auto map = factory->Create();
  PixelResult out;
  EXPECT_TRUE(PixelKernel(KernelParamsFrom(block), map.get()).Compute(PixelInput{a, b, true, 0.0, 0.0}, out));
  return out;
}

UserProgram ProgramOf(const std::string& formula) {
  const auto program = PrepareUserMap(Block(formula))->VectorProgram();
  EXPECT_TRUE(program && program->Valid()) << formula;
  return program ? *program : UserProgram{};
}

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
    double d;
    return Step(x, ab, ba, d, false);
  }
  double Step(double x, double ab, double ba, double& d, bool slope = true) {
    double f;
    Set(program.AB, ab);
    Set(program.BA, ba);
    Set(program.X, x);
    EvaluateUserProgram(program, reg.data(), slope, f, d);
    return f;
  }
};

// F and dF/dX of one point, one value at a time.
void Scalar(const UserProgram& program, const UserPoint& p, double& f, double& d) {
  DoubleProgramMap map{program};
  map.Begin(p.A, p.B);
  f = map.Step(p.X, p.AB, p.BA, d);
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

// Known values and slopes (tolerance relative to the value, absolute below 1; NAN: not checked),
// through every evaluator: the extended-precision tree walk without any message, the flat
// program to the tree walk's bit, and the double-precision program in lanes and one at a time.
TEST(FormulaEvaluation, KnownValuesLimitsAndSubstitutesInEveryEvaluator) {
  struct Case {
    const char* text;
    double x, ab, f, d, tolerance;
    bool overflows = false;  // F or dF/dX leaves the double range: said once it is shown
  };
  const double s3 = std::sqrt(3.5), c3 = std::cos(0.3), h3 = std::cosh(0.3), nan = NAN;
  const Case cases[] = {
      {"X*(1-X)", 0.25, 1, 0.1875, 0.5, 0},
      {"X-X*X", 0.25, 1, 0.1875, 0.5, 0},
      {"AB*X*(1-X)", 0.5, 4, 1, 0, 0},
      {"AB*2", 0.3, 2.5, 5, 0, 0},
      {"AB*sin(BA)", 0.3, 2, 2 * std::sin(1.0), 0, 1e-15},
      {"X^2", -3, 1, 9, -6, 1e-15},
      {"X^3", -2, 1, -8, 12, 1e-15},
      {"X^3", 0.3, 1, 0.027, 0.27, 1e-15},
      {"2^X", 0.3, 1, std::pow(2, 0.3), std::log(2) * std::pow(2, 0.3), 1e-15},
      {"sqrt(X)", -4, 1, 2, nan, 0},
      {"sqrt(X)", 0.3, 1, std::sqrt(0.3), 0.5 / std::sqrt(0.3), 1e-15},
      {"teta(X-0,5)", 0.5, 1, 1, 0, 0},
      {"teta(X-0,5)", 0.49, 1, 0, 0, 0},
      {"int(X)+teta(X)", 0.3, 1, 1, 0, 0},
      {"fak(X)", 3.5, 1, 6 * s3, 6 * s3 * (std::log(3.5) + 0.5 / 3.5), 1e-12},
      {"int(X)+frac(X)*10", -2.75, 1, -2 - 7.5, 10, 1e-15},
      {"frac(3*X)", 0.3, 1, 0.9, 3, 1e-15},
      // The slope of abs(u) is taken as abs(du); MAX and MIN follow the larger and the smaller.
      {"abs(1-2*X)", -3, 1, 7, 2, 0},
      {"abs(1-2*X)", 0.3, 1, 0.4, 2, 1e-15},
      {"abs(1-2*X)", 7, 1, 13, 2, 0},
      {"abs(X)+max(X;1)+min(X;1)", -2, 1, 2 + 1 - 2, nan, 0},
      {"max(X;1-X)", 0.8, 1, 0.8, 1, 0},
      {"min(X;1-X)", 0.8, 1, 0.2, -1, 1e-15},
      {"sin(X)", 0.3, 1, std::sin(0.3), c3, 1e-15},
      {"cos(X)", 0.3, 1, c3, -std::sin(0.3), 1e-15},
      {"tan(X)", 0.3, 1, std::tan(0.3), 1 / (c3 * c3), 1e-14},
      {"tan(X)", M_PI / 4, 1, 1, nan, 1e-15},
      {"sin(X)^2+cos(X)^2", 0.7, 1, 1, nan, 1e-15},
      {"atan(X)*4", 1, 1, M_PI, 2, 1e-15},
      {"atan(X)", 0.3, 1, std::atan(0.3), 1 / 1.09, 1e-15},
      {"exp(2*X)", 0.3, 1, std::exp(0.6), 2 * std::exp(0.6), 1e-14},
      {"log(X)", 0.3, 1, std::log(0.3), 1 / 0.3, 1e-14},
      {"log(exp(X))", 2.5, 1, 2.5, 1, 1e-15},
      {"sqr(X)", 0.3, 1, 0.09, 0.6, 1e-15},
      {"sinh(X)", 0.3, 1, std::sinh(0.3), h3, 1e-15},
      {"cosh(X)", 0.3, 1, h3, std::sinh(0.3), 1e-15},
      {"tanh(X)", 0.3, 1, std::tanh(0.3), 1 / (h3 * h3), 1e-15},
      {"cosh(X)^2-sinh(X)^2", 1.5, 1, 1, nan, 1e-14},
      {"tanh(X)-sinh(X)/cosh(X)", 0.3, 1, 0, nan, 1e-16},
      {"1/X", 0.5, 1, 2, -4, 1e-14},
      // Operand limits and substitutes; a base 0 of a power becomes 1e-300 (1e-600 is 0) or is
      // folded away; beyond 2^63 the processor's sine gives 0; not a number is the upper bound;
      // a value or slope that leaves the double range gives 1.
      {"1/X", 0, 1, 1e100, -1e100, 1e-15},
      {"exp(X)", 1000, 1, std::exp(650.0), std::exp(650.0), 1e-15},
      {"log(X)", 0, 1, std::log(1e-300), 1e100, 1e-15},
      {"log(X)", 1e-320, 1, std::log(1e-320), 1.0, 1e-15, true},
      {"X+X", 1e308, 1, 2e300, 2, 1e-15},
      {"X*X", -1e200, 1, 1e300, nan, 1e-15},
      {"sqr(X)", 1e200, 1, 1e300, nan, 1e-15},
      {"sinh(X)", -1000, 1, std::sinh(-650.0), nan, 1e-15, true},
      {"X^2", 0, 1, 0, nan, 0},
      {"0^X", 2, 1, 0, nan, 0},
      {"X^AB", 1e200, 2.5, 1.0, 1.0, 0, true},
      {"X^AB", 0, -1, 1e300, nan, 0},
      {"sin(X)", 1e19, 1, 0, nan, 0},
      {"cos(X)", -1e19, 1, 0, nan, 0},
      {"sin(X)+cos(X)", 1e19, 1, 0, 0, 0},
      {"X+1", NAN, 1, 1e300, 1, 0},
  };
  const auto expectNear = [](double v, double expected, double tolerance, const char* what) {
    if (!std::isnan(expected)) {
      EXPECT_LE(std::fabs(v - expected), tolerance * std::max(1.0, std::fabs(expected))) << what << " " << v;
    }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " at X = " << c.x << ", AB = " << c.ab);
    CollectingMessageSink sink;
    FormulaAndSlope tree(c.text, &sink);
    TCompiledFormula alone(tree.f), both(tree.f, tree.d);
    Bind(c.x, c.ab, 1.0, tree.f, tree.d, alone, both);
    const double f = tree.f.Evaluate(), d = tree.d.Evaluate();
    EXPECT_EQ(sink.Messages.empty(), !c.overflows);
    expectNear(f, c.f, c.tolerance, "F");
    expectNear(d, c.d, c.tolerance, "dF/dX");
    double first = 0, second = 0;
    both.EvaluateBoth(first, second);
    EXPECT_EQ((std::array{Bits(alone.Evaluate()), Bits(first), Bits(second)}), (std::array{Bits(f), Bits(f), Bits(d)}));
    const UserProgram program = ProgramOf(c.text);
    const UserPoint point{c.x, c.ab, 1.0, c.ab, 1.0};
    double lf, ld, sf, sd;
    EvaluateUserLanes(program, &point, 1, &lf, &ld);
    Scalar(program, point, sf, sd);
    for (double v : {lf, sf}) EXPECT_NEAR(v, f, 1e-12 * std::max(1.0, std::fabs(f))) << "F in double precision";
    for (double v : {ld, sd}) EXPECT_NEAR(v, d, 1e-12 * std::max(1.0, std::fabs(d))) << "dF/dX in double precision";
  }
}

TEST(CompiledFormula, SameValuesToTheBitAsTheTreeWalk) {
  const char* const formulas[] = {"2,5*sqr(sin(X+AB))",
                                  "AB*X*(1-X)",
                                  "PI*X+A-B",
                                  "sin(X)*cos(X)+sin(AB)",
                                  "2,5*AB*(cos(X-AB))+0,1137635*BA*X",
                                  "teta(X-0,5)*AB*X*abs(1-X)+teta(0,5-X)*(AB*X*(1-X)+0,063633*(AB-2)/4)",
                                  "AB*(2,5*sin(X+AB)+0,1137635*cos(X+BA))",
                                  "X^AB-log(X)/sqrt(X)+exp(X*BA)",
                                  "tan(X)+atan(X)+sinh(X)-cosh(X)*tanh(X)",
                                  "max(X;AB)*min(X;BA)+fak(X)+int(X)+frac(X)",
                                  "1/X+X^X+cosh(X*1000)",  // faults for large X
                                  "X^AB",
                                  "(X-X)^AB+X",
                                  "log(X)*AB",
                                  "(0-X)^AB"};
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-5, 6);
  for (const char* text : formulas) {
    FormulaAndSlope t(text);
    TCompiledFormula alone(t.f), both(t.f, t.d);
    // First the values beyond the sine's range and those a file's start value may hold; then the
    // bases 0 and -0 under several powers: the substitute 1e-300 and its logarithm, which the tree
    // walk may fold while the program computes it, unless both use the same written-out value.
    const double special[] = {std::nan(""), INFINITY, -INFINITY, 0x1p63, -0x1p63, 0x1p64, -0.0};
    const double powers[] = {-3.0, -1.0, -0.5, 0.5, 1.0, 2.5, 1000.0};
    for (int k = 0; k < 2000; ++k) {
      const bool zero = k >= 7 && k < 21;
      const double x = k < 7  ? special[k]
                       : zero ? (k % 2 ? -0.0 : 0.0)
                              : mantissa(random) * std::pow(10.0, exponent(random));
      const double ab = zero ? powers[(k - 7) / 2] : mantissa(random) * 4, ba = zero ? ab : mantissa(random) * 4;
      Bind(x, ab, ba, t.f, t.d, alone, both);
      const double fv = t.f.Evaluate(), dv = t.d.Evaluate();
      double first = 0, second = 0;
      both.EvaluateBoth(first, second);
      // alone, both for F only, and both for F and dF/dX
      ASSERT_EQ((std::array{Bits(alone.Evaluate()), Bits(both.Evaluate()), Bits(first), Bits(second)}),
                (std::array{Bits(fv), Bits(fv), Bits(fv), Bits(dv)}))
          << text << " at " << x;
    }
  }
}

TEST(CompiledFormula, TwoFormulasShareNamesAndCommonPartsAndAFaultInOneLeavesTheOtherAlone) {
  TFormula f, g;
  f.Load("X+1");
  g.Load("X^X+BA");  // overflows for X = 300
  TCompiledFormula both(f, g);
  for (int32_t i = 0; i < f.VariableCount(); ++i) EXPECT_EQ(both.IndexOfVariable(f.VariableName(i)), i);
  EXPECT_EQ(both.IndexOfVariable("ba"), f.VariableCount());  // names only the second uses follow
  EXPECT_EQ(both.IndexOfVariable("AB"), -1);
  Bind(300, 0, 0, both);
  double first = 0, second = 0;
  both.EvaluateBoth(first, second);
  EXPECT_EQ(first, 301.0);
  EXPECT_EQ(second, 1.0);
  EXPECT_EQ(TCompiledFormula().Evaluate(), 1.0);
  // Common parts are computed once.
  FormulaAndSlope t("2,5*sqr(sin(X+AB))");
  ASSERT_EQ(t.d.Text(), "(((2)*(SIN((X+AB))))*(COS((X+AB))))*(2,5)");
  EXPECT_EQ(TCompiledFormula(t.f).Size(), 4u);       // +, SIN, SQR, *
  EXPECT_EQ(TCompiledFormula(t.d).Size(), 6u);       // +, SIN and COS fused, *, *, *
  EXPECT_EQ(TCompiledFormula(t.f, t.d).Size(), 8u);  // the sum and the sine are shared
}

TEST(CompiledFormula, EvaluationWithDomainErrorsAndFaultsAndUserFormulaStepsAllocateNothing) {
  FormulaAndSlope t("1/X+log(X)+sqrt(X)+X^2+fak(X)");
  TCompiledFormula both(t.f, t.d);
  const auto factory = PrepareUserMap(DefaultCalcParams());
  const auto map = factory->Create();
  const long before = allocations;
  double sum = 0, slope = 0, x = 0.5;
  for (double v : {0.0, -1.0, 2.5, 1e300, -1e300}) {
    Bind(v, 0, 0, t.f, t.d, both);
    double value, s;
    both.EvaluateBoth(value, s);
    sum += t.f.Evaluate() + t.d.Evaluate() + value + s + both.Evaluate();
  }
  map->Begin(3.4, 2.7);
  for (int k = 0; k < 1000; ++k) x = map->Step(map->Next(x, 3.4, 2.7), 2.7, 3.4, slope);
  EXPECT_EQ(allocations, before);
  EXPECT_TRUE(std::isfinite(sum + x + slope));
}

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
        EXPECT_TRUE(Close(f[i], sf) && Close(d[i], sd) && std::isfinite(f[i]) && std::isfinite(d[i]))
            << "X = " << points[i].X << ", AB = " << points[i].AB << ": F " << f[i] << " against " << sf << ", dF/dX "
            << d[i] << " against " << sd;
      }
    }
  }
  ForceVectorTargets(0);
}

namespace {

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
// exponents. The lanes leave out the operand limits only where the pixels' values stay inside
// them: every second pixel stored near the top of the range is still limited before X+X (which
// would overflow and make frac fault), a start value of 0,5 needs no limit.
TEST(VectorUserFormula, PixelsInLanesMatchTheScalarFrameOnEveryInstructionSet) {
  struct Case {
    const char* formula;
    double centerX, centerY, width;
    bool bitwise;
    double stored = 0;
  };
  const Case cases[] = {
      {"AB*X*(1-X)", 3.2, 3.2, 2.8, true},
      {"AB*X*abs(1-X)+max(X;0,5)*0,01", 3.2, 3.2, 2.8, true},
      {"AB*0,5", 3.2, 3.2, 2.8, true},  // no X: the penalty in every step
      {"2,5*sqr(sin(X+AB))", 2.0, 2.0, 4.0, false},
      {"2,5*sin(X+AB)*cos(X-AB)+0,1137635*exp(-X*X)*AB", 2.0, 2.0, 4.0, false},
      {"frac(X+X)*AB+teta(X)*0,25", 3.2, 3.2, 2.8, true, 0.3},
      {"frac(X+X)*AB+teta(X)*0,25", 3.2, 3.2, 2.8, true, 1e308},
      {"frac(X+X)*AB+teta(X)*0,25", 3.2, 3.2, 2.8, true, -1.5e308},
  };
  const std::vector<VectorTarget> targets = AvailableVectorTargets();
  for (const Case& c : cases) {
    for (bool smart : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.formula << (smart ? ", smart" : "") << ", stored " << c.stored);
      TCalcParams block = Block(c.formula);
      block.SmartIterate = smart, block.IterationsDone = 300, block.CenterX = c.centerX, block.CenterY = c.centerY;
      block.Width = block.Height = c.width;
      block.PictureWidth = block.PictureHeight = kSide;
      KernelParams p = KernelParamsFrom(block);
      p.FastTrig = true;
      const UserProgram program = ProgramOf(c.formula);
      std::vector<PixelInput> in = Pixels(block);
      for (size_t i = 0; c.stored != 0 && i < in.size(); i += 2)
        in[i] = PixelInput{in[i].A, in[i].B, false, c.stored, -0.2};
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
    ASSERT_TRUE(run.Run(2, true, [&](TRechenThread& t) { t.SetFastTrig(f); }));
    SCOPED_TRACE(f ? "fast" : "exact");
    test::ExpectRecords(run, [&](int32_t, int32_t, size_t k) { return (f ? fast : exact)[k]; });
  }
}
TEST(UserFormulaKernel, LogisticMapMatchesFixedFormula1WhereOrbitsAreStable) {
  TCalcParams user = Block("AB*X*(1-X)", 600), fixed = user;
  fixed.FixedFormula = 0;
  const KernelParams kf = KernelParamsFrom(fixed);
  const PixelKernel fixedKernel(kf, nullptr);
  for (int k = 0; k < 400; ++k) {  // a 20 x 20 region of stable orbits: A and B in [2,2; 3,0]
    const double a = 2.2 + 0.04 * (k % 20), b = 2.2 + 0.04 * (k / 20);
    PixelResult f;
    ASSERT_TRUE(fixedKernel.Compute(PixelInput{a, b, true, 0.0, 0.0}, f));
    ASSERT_LT(f.E, 0.0);
    const PixelResult u = UserPixel(user, a, b);
    EXPECT_NEAR(u.E, f.E, 1e-9 * std::fabs(f.E)) << a << " " << b;
    EXPECT_NEAR(u.X, f.X, 1e-12) << a << " " << b;
  }
}

TEST(UserFormulaKernel, KnownExponentsAndNames) {
  // The logistic map at 4 has the exponent ln 2 (from X = 0,3; 0,5 runs into the fixed point 0
  // at once). At the stable fixed point of AB = 2,5 the exponent is ln|2 - AB|: the smart kernel
  // lets the last pass stand for the passes left, the plain one sums one pass more than N stands
  // for. A formula without X adds the penalty -100 every step: two passes of 12 over N = 12.
  // Formula, N, smart kernel, A = B, exponent, tolerance:
  const std::tuple<const char*, int32_t, bool, double, double, double> cases[] = {
      {"AB*X*(1-X)", 200004, false, 4, std::log(2.0), 0.01},
      {"AB*X*(1-X)", 1200, true, 2.5, std::log(0.5), 1e-9},
      {"AB*X*(1-X)", 1200, false, 2.5, std::log(0.5) * (1 + 12.0 / 1200), 1e-6},
      {"AB*0,5+PI", 12, false, 3, -200, 1e-12}};
  for (const auto& [formula, iterations, smart, ab, exponent, tolerance] : cases) {
    TCalcParams block = Block(formula, iterations);
    block.SmartIterate = smart;
    block.ErrorLimit = 1e-9;
    block.StartX = 0.3;
    EXPECT_NEAR(UserPixel(block, ab, ab).E, exponent, tolerance) << formula << (smart ? " smart" : "");
  }
  // BA under the sequence "AAB" is AB under "BBA"; A and B are the point itself, whatever the
  // sequence; other names keep the value one.
  const char* const names[][4] = {{"BA*X*(1-X)", "AAB", "AB*X*(1-X)", "BBA"},
                                  {"A*X*(1-X)", "AAB", "AB*X*(1-X)", "AAA"},
                                  {"C*AB*X*(1-X)", "AAB", "AB*X*(1-X)", "AAB"}};
  for (const auto& c : names) {
    const PixelResult r = UserPixel(Block(c[0], 240, c[1]), 3.3, 2.4);
    const PixelResult same = UserPixel(Block(c[2], 240, c[3]), 3.3, 2.4);
    EXPECT_EQ(std::pair(r.E, r.X), std::pair(same.E, same.X)) << c[0];
  }
}

TEST(UserFormulaKernel, BrokenUserFormulaIsRefusedOnlyWhenInUse) {
  const std::pair<std::string, std::string> cases[] = {
      {"sin((X+", "Klammerfehler !!! in\nsin((X+"},
      {"X/0", "division by zero in the formula: a divisor is the constant 0"}};
  for (const auto& [text, why] : cases)
    EXPECT_THAT([&] { PrepareUserMap(Block(text, 24)); },
                testing::ThrowsMessage<FormatError>("The user formula \"" + text + "\" cannot be computed:\n" + why));
  TCalcParams block = Block("sin((X+", 24);
  block.PictureWidth = block.PictureHeight = 4;
  TPicture picture;
  picture.Resize(4, 4);
  DirectDispatcher direct;
  EXPECT_THROW(TRechenThread(direct, 1).Setup(block, picture), FormatError);
  block.FixedFormula = 1;  // a fixed formula in use: the broken text does not matter
  EXPECT_NO_THROW(TRechenThread(direct, 1).Setup(block, picture));
}
