// The iteration kernels: for one pixel, iterate X <- F(X, AB) along the AB-sequence and return
// the Lyapunov exponent and the last X.
//
// One frame serves every map. A Map supplies
//   static constexpr bool CanFault;                  // fixed formulas: check for inf/NaN
//   void Begin(double a, double b);                  // once per pixel, before any pass
//   double Next(double x, double ab, double ba);     // calm-down step: the new X
//   double Step(double x, double ab, double ba, double& d);  // new X, and d = dF/dX at x
// The fixed formulas are FixedMap<0..5>; a user formula plugs in through IUserMap (UserMap.h).
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/CalcParams.h"

namespace vantorel {

// The fields of the parameter block the kernels read, taken once per run (and again when a
// paused run continues).
struct KernelParams {
  std::vector<uint8_t> Sequence;  // SequenceSteps letters, each 0 (A) or 1 (B)
  double StartX = 0.5;
  int32_t CalmDownIterations = 0;  // C
  int32_t Iterations = 0;          // N
  int32_t IterationsDone = 0;      // P
  double W = 0.0, V = 0.0, U = 0.0;
  int32_t FixedFormula = 0;  // -1: user formula
  bool SmartIterate = false;
  double EpsX = 0.0;  // ErrorLimit
  double EpsS = 0.0;  // SequenceLength * ErrorLimit
  double Q = 1.0;     // 1 / SequenceLength
  // Fast mode: fixed formulas 2-6 take sine and cosine from a vector library; a user formula
  // runs in vector lanes in double precision (VectorKernels.h).
  bool FastTrig = false;
  bool operator==(const KernelParams&) const = default;
};

// Takes the kernel fields from a block. Throws FormatError for a block no kernel can run:
// an empty AB-sequence, sequence lengths that disagree, an unknown fixed formula.
KernelParams KernelParamsFrom(const TCalcParams& params);

struct PixelInput {
  double A = 0.0, B = 0.0;
  bool Fresh = true;     // false: continue from the stored values
  double StoredX = 0.0;  // from TMP2
  double StoredE = 0.0;  // from TMP1
};

struct PixelResult {
  double E = 0.0;  // the exponent
  double X = 0.0;  // the last X completed
};

// The summand of one step: ln|d|, or the penalty -100 for a zero (or undefined) derivative.
inline double StepTerm(double d) {
  const double a = std::fabs(d);
  return a > 0.0 ? std::log(a) : -100.0;
}

constexpr double kInvPi = 0.3183098861837907;

// Fixed formula 1..6 (index 0..5) with its hand-written derivative.
template <int F>
struct FixedMap {
  static_assert(F >= 0 && F <= 5);
  static constexpr bool CanFault = true;
  double W = 0.0, V = 0.0, U = 0.0;

  explicit FixedMap(const KernelParams& p) : W(p.W), V(p.V), U(p.U) {}
  void Begin(double, double) {}

  double Next(double x, double ab, double ba) const {
    if constexpr (F == 0) {
      return ab * x * (1.0 - x);
    } else if constexpr (F == 1) {
      const double s = std::sin(x + ab);
      return W * (s * s);
    } else if constexpr (F == 2) {
      if (x > 0.5) return ab * x * std::fabs(1.0 - x);
      return ab * x * (1.0 - x) + (ab - 2.0) * U * 0.25;
    } else if constexpr (F == 3) {
      double t = x * kInvPi;
      t -= std::trunc(t);
      const double s = std::sin(x + ab);
      const double base = W * (s * s);
      return t > 0.5 ? base : base + U * ab;
    } else if constexpr (F == 4) {
      return ab * (W * std::sin(x + ab) + V * std::cos(x + ba));
    } else {
      return W * ab * std::cos(x - ab) + V * ba * x;
    }
  }

  double Step(double x, double ab, double ba, double& d) const {
    if constexpr (F == 0) {
      d = (1.0 - 2.0 * x) * ab;
    } else if constexpr (F == 1 || F == 3) {
      d = W * std::sin(2.0 * (x + ab));
    } else if constexpr (F == 2) {
      d = std::fabs(1.0 - 2.0 * x) * ab;
    } else if constexpr (F == 4) {
      d = ab * (W * std::cos(x + ab) - V * std::sin(x + ba));
    } else {
      d = V * ba - W * ab * std::sin(x - ab);
    }
    return Next(x, ab, ba);
  }
};

namespace kernel_detail {

inline bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

inline double Divisor(const KernelParams& p) { return p.Iterations + p.IterationsDone * 0.5; }

// One pass through the sequence without summing. False: the map faulted (x keeps the last
// completed value).
template <class Map>
inline bool CalmPass(Map& map, const KernelParams& p, const double* letter, double& x) {
  const uint8_t* seq = p.Sequence.data();
  const size_t steps = p.Sequence.size();
  for (size_t k = 0; k < steps; ++k) {
    const double nx = map.Next(x, letter[seq[k]], letter[seq[k] ^ 1]);
    if constexpr (Map::CanFault) {
      if (!std::isfinite(nx)) return false;
    }
    x = nx;
  }
  return true;
}

// One summed pass: adds the terms to sum. False: the map faulted; sum holds the terms of
// the steps before the fault and x the last completed value.
template <class Map>
inline bool SumPass(Map& map, const KernelParams& p, const double* letter, double& x, double& sum) {
  const uint8_t* seq = p.Sequence.data();
  const size_t steps = p.Sequence.size();
  for (size_t k = 0; k < steps; ++k) {
    double d;
    const double nx = map.Step(x, letter[seq[k]], letter[seq[k] ^ 1], d);
    if constexpr (Map::CanFault) {
      if (!std::isfinite(nx) || !std::isfinite(d)) return false;
    }
    sum += StepTerm(d);
    x = nx;
  }
  return true;
}

}  // namespace kernel_detail

// The frame of one pixel, pass by pass: what every kernel shares. A kernel runs the passes
// (one pixel with a map below, or several pixels at once in vector lanes) and reports the end of
// each pass here; the frame decides what comes next and keeps the sum.
// Smart: stop once six passes in a row ended close to each other (in X or in their sums) and
// let the next pass stand for all passes left.
struct PixelFrame {
  enum Phase : uint8_t { Calm, Sum, Done };
  Phase phase = Done;
  double x = 0.0, sum = 0.0;
  int64_t passesLeft = 0;     // of the current phase
  int64_t r = 0;              // summation passes added
  int cx = 0, cs = 0;         // smart: passes in a row that ended close in X / in their sums
  double xp = 0.0, sp = 0.0;  // smart: X and sum at the end of the previous pass

  // count div steps + 1, in 64 bits: a count near the 32-bit maximum with one letter overflows
  // 32-bit arithmetic.
  static int64_t Passes(int32_t count, size_t steps) { return int64_t(count) / int64_t(steps) + 1; }

  void Start(const KernelParams& p, const PixelInput& in) {
    r = 0;
    cx = cs = 0;
    xp = sp = 0.0;
    if (in.Fresh) {
      x = p.StartX;
      sum = 0.0;
      phase = Calm;
      passesLeft = Passes(p.CalmDownIterations, p.Sequence.size());
    } else {
      x = in.StoredX;
      sum = p.IterationsDone * in.StoredE * 0.5;
      BeginSummation(p);
    }
  }
  // Plain kernel: k passes of the current phase ended at x (k at most passesLeft; summation
  // terms are already in sum). ok false: a pass faulted (x is the last completed value).
  void EndPlainPasses(const KernelParams& p, int64_t k, double nx, bool ok) {
    x = nx;
    if (!ok) {
      phase = Done;
      return;
    }
    passesLeft -= k;
    if (passesLeft > 0) return;
    if (phase == Calm)
      BeginSummation(p);
    else
      phase = Done;
  }
  // Smart kernel: a calm-down pass ended.
  void EndSmartCalmPass(const KernelParams& p, double nx, bool ok) {
    x = nx;
    if (!ok) {
      phase = Done;
      return;
    }
    cx = std::fabs(x - xp) < p.EpsX ? cx + 1 : 0;
    xp = x;
    if (cx > 5 || --passesLeft == 0) BeginSummation(p);
  }
  // A summation pass of the smart kernel ended with the pass's own sum s (lost on a fault).
  void EndSmartPass(const KernelParams& p, double nx, double s, bool ok) {
    x = nx;
    if (!ok) {
      phase = Done;
      return;
    }
    if (cx > 5 || cs > 5) {
      sum += (p.Iterations * p.Q - double(r)) * s;
      phase = Done;
      return;
    }
    cs = std::fabs(s - sp) < p.EpsS ? cs + 1 : 0;
    cx = std::fabs(x - xp) < p.EpsX ? cx + 1 : 0;
    xp = x;
    sp = s;
    sum += s;
    ++r;
    if (--passesLeft == 0) phase = Done;
  }
  PixelResult Result(const KernelParams& p) const { return PixelResult{sum / kernel_detail::Divisor(p), x}; }

 private:
  void BeginSummation(const KernelParams& p) {
    phase = Sum;
    passesLeft = Passes(p.Iterations, p.Sequence.size());
  }
};

// The scalar kernel: one pixel through the frame, a logarithm per step. Returns false (and
// leaves out alone) only when cancel was set between two passes; the pixel then has to be
// computed again.
template <bool Smart, class Map>
bool RunKernelFrame(Map& map, const KernelParams& p, const PixelInput& in, PixelResult& out,
                    const std::atomic<bool>* cancel) {
  using namespace kernel_detail;
  const double letter[2] = {in.A, in.B};
  map.Begin(in.A, in.B);
  PixelFrame frame;
  frame.Start(p, in);
  while (frame.phase != PixelFrame::Done) {
    if (Cancelled(cancel)) return false;
    double x = frame.x;
    if (frame.phase == PixelFrame::Calm) {
      const bool ok = CalmPass(map, p, letter, x);
      if constexpr (Smart)
        frame.EndSmartCalmPass(p, x, ok);
      else
        frame.EndPlainPasses(p, 1, x, ok);
    } else if constexpr (Smart) {
      double s = 0.0;
      const bool ok = SumPass(map, p, letter, x, s);
      frame.EndSmartPass(p, x, s, ok);
    } else {
      const bool ok = SumPass(map, p, letter, x, frame.sum);
      frame.EndPlainPasses(p, 1, x, ok);
    }
  }
  out = frame.Result(p);
  return true;
}

template <class Map>
bool RunPlainKernel(Map& map, const KernelParams& p, const PixelInput& in, PixelResult& out,
                    const std::atomic<bool>* cancel = nullptr) {
  return RunKernelFrame<false>(map, p, in, out, cancel);
}

template <class Map>
bool RunSmartKernel(Map& map, const KernelParams& p, const PixelInput& in, PixelResult& out,
                    const std::atomic<bool>* cancel = nullptr) {
  return RunKernelFrame<true>(map, p, in, out, cancel);
}

// Counts the steps a map takes, for tests and benchmarks.
template <class Map>
struct StepCountingMap {
  static constexpr bool CanFault = Map::CanFault;
  Map map;
  int64_t calmSteps = 0, sumSteps = 0;
  void Begin(double a, double b) { map.Begin(a, b); }
  double Next(double x, double ab, double ba) {
    ++calmSteps;
    return map.Next(x, ab, ba);
  }
  double Step(double x, double ab, double ba, double& d) {
    ++sumSteps;
    return map.Step(x, ab, ba, d);
  }
};

template <class Map>
bool RunKernel(Map& map, const KernelParams& p, const PixelInput& in, PixelResult& out,
               const std::atomic<bool>* cancel = nullptr) {
  return p.SmartIterate ? RunSmartKernel(map, p, in, out, cancel) : RunPlainKernel(map, p, in, out, cancel);
}

class IUserMap;
struct UserProgram;

// The kernel of one run, chosen once by FixedFormula and SmartIterate so that the fixed
// formula is compiled into the loop. user must be given when FixedFormula is -1; it is used by
// this kernel alone (one per worker thread). program, the same user formula for the vector
// lanes, is used by ComputeMany in fast mode (FastTrig) when given.
class PixelKernel {
 public:
  PixelKernel(const KernelParams& params, IUserMap* user, const UserProgram* program = nullptr);
  // False only when cancel was set before the pixel was done.
  bool Compute(const PixelInput& in, PixelResult& out, const std::atomic<bool>* cancel = nullptr) const {
    return fn_(*params_, user_, in, out, cancel);
  }
  // Computes n pixels; a fixed formula, and a user formula in fast mode, computes several at a
  // time in vector lanes. False only
  // when cancel was set before all were done (out is then incomplete).
  bool ComputeMany(const PixelInput* in, PixelResult* out, size_t n, const std::atomic<bool>* cancel = nullptr) const;

 private:
  using Fn = bool (*)(const KernelParams&, IUserMap*, const PixelInput&, PixelResult&, const std::atomic<bool>*);
  Fn fn_ = nullptr;
  const KernelParams* params_ = nullptr;
  IUserMap* user_ = nullptr;
  const UserProgram* program_ = nullptr;
};

}  // namespace vantorel
