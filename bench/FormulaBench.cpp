// One summation step (new X, dF/dX and its logarithm) of the default user formula against
// fixed formula 2, the same map computed with its hand-written derivative. The target is a
// user-formula step at most 4 times as costly as the fixed-formula step.
#include <benchmark/benchmark.h>

#include "core/CalcParams.h"
#include "core/Kernels.h"
#include "core/UserMap.h"
#include "formula/Formula.h"
#include "formula/UserFormulaMap.h"

namespace {

using namespace vantorel;

// The benchmarks compute user formulas as the programs do.
[[maybe_unused]] const bool kUserFormulasInstalled = (InstallUserFormulas(), true);

constexpr double kA = 3.4, kB = 2.7;  // a point of the default region
const char* const kDefaultFormula = "2,5*sqr(sin(X+AB))";

// The AB-sequence "AAAAAABBBBBB": letter k of the pass.
double Letter(int k, bool other) { return ((k % 12) < 6) != other ? kA : kB; }

template <class Map>
void RunSteps(benchmark::State& state, Map& map) {
  double x = 0.5, sum = 0.0;
  int k = 0;
  map.Begin(kA, kB);
  for (auto _ : state) {
    double d;
    x = map.Step(x, Letter(k, false), Letter(k, true), d);
    sum += StepTerm(d);
    ++k;
  }
  benchmark::DoNotOptimize(sum);
  benchmark::DoNotOptimize(x);
}

void BM_FixedFormula2Step(benchmark::State& state) {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 1;
  const KernelParams kp = KernelParamsFrom(p);
  FixedMap<1> map(kp);
  RunSteps(state, map);
}
BENCHMARK(BM_FixedFormula2Step);

void BM_UserFormulaStep(benchmark::State& state) {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = -1;
  p.SetFormula(kDefaultFormula);
  const auto factory = PrepareUserMap(p);
  const auto user = factory->Create();
  UserMap map{user.get()};
  RunSteps(state, map);
}
BENCHMARK(BM_UserFormulaStep);

// The same step through the recursive tree walk of two TFormula objects, for comparison.
struct TreeWalkMap {
  TFormula f, d;
  int fx, fab, dx, dab;
  TreeWalkMap() {
    f.ShowMessages = d.ShowMessages = false;
    f.Load(kDefaultFormula);
    d.Load(kDefaultFormula);
    d.Derive("X");
    fx = f.IndexOfVariable("X");
    fab = f.IndexOfVariable("AB");
    dx = d.IndexOfVariable("X");
    dab = d.IndexOfVariable("AB");
  }
  void Begin(double, double) {}
  double Step(double x, double ab, double, double& slope) {
    f.SetVariableByIndex(fx, x);
    f.SetVariableByIndex(fab, ab);
    d.SetVariableByIndex(dx, x);
    d.SetVariableByIndex(dab, ab);
    const double next = f.Evaluate();
    slope = d.Evaluate();
    return next;
  }
};

void BM_UserFormulaStepTreeWalk(benchmark::State& state) {
  TreeWalkMap map;
  RunSteps(state, map);
}
BENCHMARK(BM_UserFormulaStepTreeWalk);

}  // namespace
