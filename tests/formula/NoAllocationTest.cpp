// Evaluation allocates nothing: it runs billions of times per picture. This test program counts
// the allocations of each thread.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>

#include "core/UserMap.h"
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

TEST(NoAllocation, EvaluationWithDomainErrorsAndFaults) {
  const char* text = "1/X+log(X)+sqrt(X)+X^2+fak(X)";
  TFormula f, d;
  f.ShowMessages = d.ShowMessages = false;
  f.Load(text);
  d.Load(text);
  d.Derive("X");
  TCompiledFormula both(f, d);
  const int32_t fx = f.IndexOfVariable("X"), dx = d.IndexOfVariable("X"), bx = both.IndexOfVariable("X");
  const long before = allocations;
  double sum = 0;
  for (double x : {0.0, -1.0, 2.5, 1e300, -1e300}) {
    f.SetVariableByIndex(fx, x);
    d.SetVariableByIndex(dx, x);
    both.SetVariableByIndex(bx, x);
    double v, s;
    both.EvaluateBoth(v, s);
    sum += f.Evaluate() + d.Evaluate() + v + s + both.Evaluate();
  }
  EXPECT_EQ(allocations, before);
  EXPECT_TRUE(std::isfinite(sum));
}

TEST(NoAllocation, UserFormulaSteps) {
  TCalcParams block = DefaultCalcParams();
  const auto factory = PrepareUserMap(block);
  const auto map = factory->Create();
  const long before = allocations;
  double x = 0.5, d = 0;
  map->Begin(3.4, 2.7);
  for (int k = 0; k < 1000; ++k) x = map->Step(map->Next(x, 3.4, 2.7), 2.7, 3.4, d);
  EXPECT_EQ(allocations, before);
  EXPECT_TRUE(std::isfinite(x + d));
}
