// Evaluation allocates nothing (it runs billions of times per picture): this test program
// counts the allocations of each thread.
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

namespace {

// F and dF/dX of a text, taken in quietly.
struct FormulaAndSlope {
  TFormula f, d;
  explicit FormulaAndSlope(const char* text) {
    f.ShowMessages = d.ShowMessages = false;
    f.Load(text);
    d.Load(text);
    d.Derive("X");
    EXPECT_TRUE(f.Ok() && d.Ok()) << text;
  }
};

}  // namespace

TEST(CompiledFormula, EvaluationWithDomainErrorsAndFaultsAndUserFormulaStepsAllocateNothing) {
  FormulaAndSlope t("1/X+log(X)+sqrt(X)+X^2+fak(X)");
  TCompiledFormula both(t.f, t.d);
  const int32_t fx = t.f.IndexOfVariable("X"), dx = t.d.IndexOfVariable("X"), bx = both.IndexOfVariable("X");
  const auto factory = PrepareUserMap(DefaultCalcParams());
  const auto map = factory->Create();
  const long before = allocations;
  double sum = 0, slope = 0, x = 0.5;
  for (double v : {0.0, -1.0, 2.5, 1e300, -1e300}) {
    t.f.SetVariableByIndex(fx, v);
    t.d.SetVariableByIndex(dx, v);
    both.SetVariableByIndex(bx, v);
    double value, s;
    both.EvaluateBoth(value, s);
    sum += t.f.Evaluate() + t.d.Evaluate() + value + s + both.Evaluate();
  }
  map->Begin(3.4, 2.7);
  for (int k = 0; k < 1000; ++k) x = map->Step(map->Next(x, 3.4, 2.7), 2.7, 3.4, slope);
  EXPECT_EQ(allocations, before);
  EXPECT_TRUE(std::isfinite(sum + x + slope));
}
