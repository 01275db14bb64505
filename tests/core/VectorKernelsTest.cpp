#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/Kernels.h"
#include "core/EngineHarness.h"
#include "core/VectorKernels.h"

using namespace vantorel;
using test::Records;

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
  p.FixedFormula = region.formula;
  p.SmartIterate = smart;
  p.ErrorLimit = 1e-4;
  p.CenterX = region.centerX;
  p.CenterY = region.centerY;
  p.Width = region.width;
  p.Height = region.height;
  p.PictureWidth = p.PictureHeight = kSide;
  p.CalmDownIterations = 312;
  p.Iterations = 612;
  return p;
}

// Runs the engine over the whole picture with two workers; fresh, or deriving more from the data
// files.
void RunEngine(TCalcParams& p, PixelDataFile& tmp1, PixelDataFile& tmp2, bool fresh, bool fast = false) {
  test::RunEngine(p, tmp1, tmp2, 2, fresh, [&](TRechenThread& t) { t.SetFastTrig(fast); });
}

// Today's scalar kernel (a logarithm per step) for every pixel, from the start value or from the
// stored records.
std::vector<PixelResult> ScalarPicture(const TCalcParams& p, const std::vector<double>* e0 = nullptr,
                                       const std::vector<double>* x0 = nullptr) {
  const KernelParams k = KernelParamsFrom(p);
  const PixelKernel kernel(k, nullptr);
  const PixelMapping mapping(p);
  std::vector<PixelResult> out(size_t(p.PictureWidth) * p.PictureHeight);
  for (size_t i = 0; i < out.size(); ++i) {
    PixelInput in;
    mapping.MapPixel(int32_t(i % p.PictureWidth), p.PictureHeight - int32_t(i / p.PictureWidth), in.A, in.B);
    if (e0) in = PixelInput{in.A, in.B, false, (*x0)[i], (*e0)[i]};
    kernel.Compute(in, out[i]);
  }
  return out;
}

struct Comparison {
  double largest = 0.0;  // exponent difference
  int orbitsApart = 0;   // pixels whose last X differs (a smart pixel stopping a pass apart)
};

void Compare(const std::vector<PixelResult>& scalar, const PixelDataFile& tmp1, const PixelDataFile& tmp2,
             Comparison& c) {
  const std::vector<double> e = Records(tmp1), x = Records(tmp2);
  ASSERT_EQ(e.size(), scalar.size());
  ASSERT_EQ(x.size(), scalar.size());
  for (size_t i = 0; i < scalar.size(); ++i) {
    c.orbitsApart += std::memcmp(&x[i], &scalar[i].X, sizeof(double)) != 0;
    const double diff = std::fabs(e[i] - scalar[i].E);
    c.largest = std::max(c.largest, diff);
    EXPECT_LE(diff, 1e-12) << "pixel " << i << ": " << e[i] << " against " << scalar[i].E;
  }
}

}  // namespace

// Every instruction set gives every fixed formula, plain and smart, fresh and deriving more, the
// orbits of the scalar kernel bit for bit and its exponents to rounding.
TEST(VectorKernels, EveryInstructionSetGivesTheScalarKernelsOrbits) {
  const std::vector<VectorTarget> targets = AvailableVectorTargets();
  ASSERT_FALSE(targets.empty());
  Comparison c;
  for (const VectorTarget& target : targets) {
    ForceVectorTargets(target.bit);
    ASSERT_EQ(CurrentVectorTarget(), target.name);
    for (const Region& region : kRegions) {
      for (bool smart : {false, true}) {
        SCOPED_TRACE(testing::Message() << target.name << ", formula " << region.formula + 1
                                        << (smart ? ", smart" : ""));
        test::EngineProject e(kSide, kSide);
        TCalcParams& p = e.params = Picture(region, smart);
        PixelDataFile &tmp1 = e.tmp1, &tmp2 = e.tmp2;
        RunEngine(p, tmp1, tmp2, true);
        Compare(ScalarPicture(p), tmp1, tmp2, c);
        // Derive more from the stored data.
        const std::vector<double> e0 = Records(tmp1), x0 = Records(tmp2);
        p.IterationsDone = p.Iterations;
        p.ProgressColumn = p.ProgressRow = 0;
        RunEngine(p, tmp1, tmp2, false);
        Compare(ScalarPicture(p, &e0, &x0), tmp1, tmp2, c);
      }
    }
  }
  ForceVectorTargets(0);
  EXPECT_EQ(c.orbitsApart, 0);
  std::printf("[ figures  ] %zu instruction sets; largest exponent difference %.3g; pixels a pass apart %d\n",
              targets.size(), c.largest, c.orbitsApart);
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
      RunEngine(run.params, run.tmp1, run.tmp2, true, f);
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

TEST(VectorKernels, PassCountsOfTheLargestCountsNeedSixtyFourBits) {
  // One letter and a count of 2^31 - 1: 2^31 passes, one more than a 32-bit int holds.
  EXPECT_EQ(PixelFrame::Passes(INT32_MAX, 1), int64_t(1) << 31);
  // 2.5 X (1 - X) from its fixed point 0.6: the smart kernel settles after seven calm-down passes
  // and lets one summation pass stand for all 2^31 - 1: the exponent is ln 0.5.
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = 0;
  block.SetSequence({0});
  block.CalmDownIterations = block.Iterations = INT32_MAX;
  block.SmartIterate = true;
  block.StartX = 0.6;
  const KernelParams p = KernelParamsFrom(block);
  const PixelInput in{2.5, 2.5, true, 0.0, 0.0};
  PixelResult scalar, vector;
  ASSERT_TRUE(PixelKernel(p, nullptr).Compute(in, scalar));
  ASSERT_TRUE(ComputeFixedPixels(p, &in, &vector, 1));
  EXPECT_NEAR(scalar.E, std::log(0.5), 1e-12);
  EXPECT_NEAR(vector.E, std::log(0.5), 1e-12);
}
