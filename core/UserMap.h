// The seam through which a user formula becomes a map the kernels iterate.
//
// PrepareUserMap runs once per run (in TRechenThread::Setup, on the user-interface thread):
// it turns the block's FormulaText into a factory. Every worker thread then calls
// factory->Create() once and iterates with its own IUserMap, which it alone uses.
//
// The computation knows nothing of formula texts: the formula library implements the factory
// (formula/UserFormulaMap.h), and each program installs it at start-up.
#pragma once

#include <memory>

#include "core/CalcParams.h"

namespace vantorel {

// One worker's evaluator of F and dF/dX. Never faults: every value it returns is usable.
class IUserMap {
 public:
  virtual ~IUserMap() = default;
  // Once per pixel, before any pass: the pixel's point.
  virtual void Begin(double a, double b) = 0;
  // Calm-down step: F(x) with AB and BA bound.
  virtual double Next(double x, double ab, double ba) = 0;
  // Summation step: returns F(x) and sets d = dF/dX at the same x.
  virtual double Step(double x, double ab, double ba, double& d) = 0;
};

struct UserProgram;

// Prepared once per run; Create is called from several worker threads at once.
class UserMapFactory {
 public:
  virtual ~UserMapFactory() = default;
  virtual std::unique_ptr<IUserMap> Create() const = 0;
  // The same F and dF/dX as one program for the vector lanes of fast mode (UserProgram.h),
  // compiled once per run and shared by the workers, who only read it; null when there is none.
  virtual std::shared_ptr<const UserProgram> VectorProgram() const { return nullptr; }
};

// Turns the block's user formula into a factory with the installed preparer. Throws
// FormatError with a clear message when the formula cannot be computed, or when no preparer
// was installed.
std::shared_ptr<const UserMapFactory> PrepareUserMap(const TCalcParams& params);

using UserMapPreparer = std::shared_ptr<const UserMapFactory> (*)(const TCalcParams& params);
// Installs the preparer for the whole program (once, before any run).
void InstallUserMapPreparer(UserMapPreparer preparer);

// Adapts an IUserMap to the kernel frame (Kernels.h).
struct UserMap {
  static constexpr bool CanFault = false;
  IUserMap* Impl;
  void Begin(double a, double b) { Impl->Begin(a, b); }
  double Next(double x, double ab, double ba) { return Impl->Next(x, ab, ba); }
  double Step(double x, double ab, double ba, double& d) { return Impl->Step(x, ab, ba, d); }
};

}  // namespace vantorel
