// A user formula in vector lanes: the program of UserProgram.h interpreted on whole vectors,
// one pixel per lane, inside the frame the fixed-formula vector kernels use (VectorFrame-inl.h).
// Double precision with SLEEF's functions, so this is the fast mode's kernel only; exact mode
// computes user formulas one pixel at a time in extended precision.
//
// Compiled once per instruction set (Highway's foreach_target) with -ffp-contract=off, so that
// every lane rounds as the scalar double-precision evaluation (EvaluateUserProgram) does.
#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Kernels.h"
#include "core/UserProgram.h"
#include "core/VectorKernels.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/VectorUserKernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/aligned_allocator.h>
#include <hwy/highway.h>

#include "core/VectorFrame-inl.h"
#include "core/VectorMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vantorel {
namespace HWY_NAMESPACE {

using Op = UserProgram::Op;

// Every operand is finite where it matters: the variables and constants are, and an operation
// that can leave the double range from finite operands (CanFault) marks the formulas that need
// its result, which then give 1.0 whatever follows. So the limits need not care how a value that
// is not a number is limited (the scalar evaluation makes it the upper bound), and the other
// operations need no check.

// Limits v to [lo, hi].
HWY_INLINE V Limit(V v, double lo, double hi) {
  const D d;
  return hn::Max(hn::Min(v, hn::Set(d, hi)), hn::Set(d, lo));
}

// Values above hi become hi; no lower limit.
HWY_INLINE V LimitAbove(V v, double hi) { return hn::Min(v, hn::Set(D(), hi)); }

// The operations that can give an infinite value from finite operands: a quotient, a power, the
// hyperbolic cosine of a large negative number, a factorial.
HWY_INLINE bool CanFault(Op op) { return op == Op::Divide || op == Op::Power || op == Op::Cosh || op == Op::Fak; }

// Sine and cosine are 0 beyond 2^63 (not a number stays one).
HWY_INLINE V TrigRange(V x, V value) {
  const D d;
  return hn::IfThenElse(hn::Ge(hn::Abs(x), hn::Set(d, kUserTrigRange)), hn::Zero(d), value);
}

// s * |l|^r, s = -1 for a negative base and an odd exponent (rounded, halves to even); a base
// of 0 is replaced by 1e-300.
HWY_INLINE V Power(V l, V r) {
  const D d;
  const V zero = hn::Zero(d);
  const M negative = hn::Lt(l, zero);
  const V base = hn::Abs(l);
  const V whole = hn::Round(r), half = hn::Mul(whole, hn::Set(d, 0.5));
  const M odd = hn::Ne(half, hn::Floor(half));
  const V sign = hn::IfThenElse(hn::And(negative, odd), hn::Set(d, -1.0), hn::Set(d, 1.0));
  const V value =
      hn::IfThenElse(hn::Eq(base, zero), FastExp(hn::Mul(r, hn::Set(d, kUserLnZeroSubstitute))), FastPow(base, r));
  return hn::Mul(sign, value);
}

// Where an instruction finds an operand: in the registers in memory, in the result of the
// instruction just before it (the sine or the cosine of a SinCos), or in one of the variables
// the kernel binds. The step keeps those in vector registers, so that a chain of operations
// does not wait for each result to travel through memory.
enum class From : uint8_t { Memory, Previous, PreviousCos, X, A, B, AB, BA };

// An instruction with the operand limits it cannot do without (limitLeft, limitRight false:
// the operand is known to lie inside the limits, which then change nothing; trigRange false:
// the argument of a sine or cosine is known to lie below 2^63).
// A SinCos of F's part also says which of its two values F reads (the calm-down computes F
// alone and needs no cosine that only the derivative reads).
struct Planned {
  UserProgram::Instruction in;
  bool limitLeft = true, limitRight = true, trigRange = true;
  bool firstSin = true, firstCos = true;
  bool binary = false, canFault = false;
  bool storeOut = true, storeOut2 = true;  // false: no instruction reads it from memory
  From left = From::Memory, right = From::Memory;
};

// Bounds of the absolute values of the variables X, A and B over a run (infinity: none known).
struct VariableBounds {
  double x = HUGE_VAL, a = HUGE_VAL, b = HUGE_VAL;
};

// The plan of a program: its steps, and for F and dF/dX of the calm-down (F only) and of the
// summation (both) the instruction whose result each is (-1: the register holds it).
struct Plan {
  std::vector<Planned> steps;
  int32_t resultAt[2][2] = {{-1, -1}, {-1, -1}};  // [with the derivative][F, dF/dX]
  From result[2] = {From::Memory, From::Memory};
  double firstBound = HUGE_VAL;  // the bound of F's value
};

// Bounds of the absolute values of the registers, where the program shows them: constants,
// bounded variables, sines, arc tangents and what sums and products of bounded values make of
// them. Infinity: no bound known (most results).
Plan Analyse(const UserProgram& program, const VariableBounds& vars) {
  constexpr double kNone = HUGE_VAL;
  std::vector<double> bound(program.Registers.size(), kNone);
  std::vector<bool> written(program.Registers.size(), false);
  for (const UserProgram::Instruction& in : program.Code) written[size_t(in.Out)] = written[size_t(in.Out2)] = true;
  for (int32_t v : {program.X, program.A, program.B, program.AB, program.BA})
    if (v >= 0) written[size_t(v)] = true;
  for (size_t r = 0; r < bound.size(); ++r)
    if (!written[r]) bound[r] = std::fabs(program.Registers[r]);
  const double ab = std::max(vars.a, vars.b);
  const std::pair<int32_t, double> variables[] = {
      {program.X, vars.x}, {program.A, vars.a}, {program.B, vars.b}, {program.AB, ab}, {program.BA, ab}};
  for (const auto& [r, b] : variables)
    if (r >= 0) bound[size_t(r)] = b;
  const auto source = [&](int32_t r, const UserProgram::Instruction* before) {
    if (r == program.X) return From::X;
    if (r == program.A) return From::A;
    if (r == program.B) return From::B;
    if (r == program.AB) return From::AB;
    if (r == program.BA) return From::BA;
    if (before && r == before->Out) return From::Previous;
    if (before && before->Kind == Op::SinCos && r == before->Out2) return From::PreviousCos;
    return From::Memory;
  };
  Plan plan;
  for (size_t i = 0; i < program.Code.size(); ++i) {
    const UserProgram::Instruction& in = program.Code[i];
    const UserProgram::Instruction* before = i > 0 ? &program.Code[i - 1] : nullptr;
    Planned s{in};
    s.binary = IsBinary(in.Kind);
    s.canFault = CanFault(in.Kind);
    s.left = source(in.Left, before);
    s.right = s.binary ? source(in.Right, before) : s.left;
    const double bl = bound[size_t(in.Left)], br = bound[size_t(in.Right)];
    double result = kNone;
    switch (in.Kind) {
      case Op::Add:
      case Op::Subtract:
        s.limitLeft = !(bl <= 1e300);
        s.limitRight = !(br <= 1e300);
        result = std::min(bl, 1e300) + std::min(br, 1e300);
        break;
      case Op::Multiply:
        s.limitLeft = !(bl <= 1e150);
        s.limitRight = !(br <= 1e150);
        result = std::min(bl, 1e150) * std::min(br, 1e150);
        break;
      case Op::Sqr:
        s.limitLeft = !(bl <= 1e150);
        result = std::min(bl, 1e150) * std::min(bl, 1e150);
        break;
      case Op::Max:
      case Op::Min: result = std::max(bl, br); break;
      case Op::Abs:
      case Op::Int: result = bl; break;
      case Op::Sin:
      case Op::Cos:
      case Op::SinCos:
        s.trigRange = !(bl < kUserTrigRange);
        result = 1;
        break;
      case Op::Tanh:
      case Op::Teta:
      case Op::Frac: result = 1; break;
      case Op::Atan: result = 2; break;
      default: break;
    }
    bound[size_t(in.Out)] = result;
    if (in.Kind == Op::SinCos) bound[size_t(in.Out2)] = 1;
    plan.steps.push_back(s);
  }
  std::vector<bool> read(program.Registers.size(), false);
  read[size_t(program.Result[0])] = true;
  for (size_t i = 0; i < program.FirstLength; ++i) {
    read[size_t(program.Code[i].Left)] = true;
    if (IsBinary(program.Code[i].Kind)) read[size_t(program.Code[i].Right)] = true;
  }
  for (size_t i = 0; i < program.FirstLength; ++i) {
    plan.steps[i].firstSin = read[size_t(program.Code[i].Out)];
    plan.steps[i].firstCos = read[size_t(program.Code[i].Out2)];
  }
  // The last instruction that writes a result register gives its value, unless it is the
  // cosine of a SinCos (left in memory).
  const size_t lengths[2] = {program.FirstLength, program.Code.size()};
  for (int withD = 0; withD < 2; ++withD)
    for (int k = 0; k < 2; ++k)
      for (size_t i = 0; i < lengths[withD]; ++i) {
        const UserProgram::Instruction& in = program.Code[i];
        if (in.Out == program.Result[k])
          plan.resultAt[withD][k] = int32_t(i);
        else if (in.Kind == Op::SinCos && in.Out2 == program.Result[k])
          plan.resultAt[withD][k] = -1;
      }
  for (int k = 0; k < 2; ++k) plan.result[k] = source(program.Result[k], nullptr);
  plan.firstBound = bound[size_t(program.Result[0])];
  std::vector<bool> fromMemory(program.Registers.size(), false);
  for (const Planned& s : plan.steps) {
    if (s.left == From::Memory) fromMemory[size_t(s.in.Left)] = true;
    if (s.binary && s.right == From::Memory) fromMemory[size_t(s.in.Right)] = true;
  }
  for (int k = 0; k < 2; ++k)
    if (plan.result[k] == From::Memory) fromMemory[size_t(program.Result[k])] = true;
  for (Planned& s : plan.steps) {
    s.storeOut = fromMemory[size_t(s.in.Out)];
    s.storeOut2 = fromMemory[size_t(s.in.Out2)];
  }
  return plan;
}

// One operation of the program on whole vectors, as UserOperation does it on one value.
HWY_INLINE V Operation(const Planned& s, V l, V r) {
  const D d;
  const V zero = hn::Zero(d);
  switch (s.in.Kind) {
    case Op::Add:
    case Op::Subtract:
      if (s.limitLeft) l = Limit(l, -1e300, 1e300);
      if (s.limitRight) r = Limit(r, -1e300, 1e300);
      return s.in.Kind == Op::Add ? hn::Add(l, r) : hn::Sub(l, r);
    case Op::Multiply:
      if (s.limitLeft) l = Limit(l, -1e150, 1e150);
      if (s.limitRight) r = Limit(r, -1e150, 1e150);
      return hn::Mul(l, r);
    case Op::Divide: return hn::Div(l, hn::IfThenElse(hn::Eq(r, zero), hn::Set(d, 1e-100), r));
    case Op::Power: return Power(l, r);
    case Op::Max: return hn::IfThenElse(hn::Gt(l, r), l, r);
    case Op::Min: return hn::IfThenElse(hn::Lt(l, r), l, r);
    case Op::Sin:
    case Op::SinCos: return s.trigRange ? TrigRange(l, FastSin(l)) : FastSin(l);
    case Op::Cos: return s.trigRange ? TrigRange(l, FastCos(l)) : FastCos(l);
    case Op::Tan: return FastTan(l);
    case Op::Exp: return FastExp(LimitAbove(l, 650));
    case Op::Log: return hn::IfThenElse(hn::Le(l, zero), hn::Set(d, kUserLnZeroSubstitute), FastLog(l));
    case Op::Sqr: {
      const V v = s.limitLeft ? Limit(l, -1e150, 1e150) : l;
      return hn::Mul(v, v);
    }
    case Op::Int: return hn::Trunc(l);
    case Op::Abs: return hn::Abs(l);
    case Op::Sinh: return FastSinh(Limit(l, -650, 650));
    case Op::Cosh: return FastCosh(LimitAbove(l, 650));
    case Op::Tanh: return FastTanh(Limit(l, -650, 650));
    case Op::Sqrt: return hn::Sqrt(hn::IfThenElse(hn::Le(l, zero), hn::Neg(l), l));
    case Op::Frac: return hn::Sub(l, hn::Trunc(l));
    case Op::Atan: return FastAtan(l);
    case Op::Fak: return Lanewise(l, nullptr, [](double x) { return UserFactorial(x); });
    case Op::Teta: return hn::IfThenElse(hn::Ge(l, zero), hn::Set(d, 1.0), zero);
  }
  return hn::Set(d, 1.0);
}

// The program as a map of the vector frame: every register holds one value per lane.
class VecUserMap {
 public:
  VecUserMap(const UserProgram& program, const VariableBounds& bounds)
      : program_(program),
        plan_(PlanFor(program, bounds)),
        registers_(hwy::AllocateAligned<double>(program.Registers.size() * kMaxLanes)) {
    for (size_t r = 0; r < program.Registers.size(); ++r)
      for (size_t i = 0; i < kMaxLanes; ++i) registers_[r * kMaxLanes + i] = program.Registers[r];
  }

  template <bool WithD>
  HWY_INLINE V Step(V x, V a, V b, V ab, V ba, V& dv, const uint8_t*) {
    const D d;
    V previous = x, previousCos = x;
    const auto fetch = [&](From from, int32_t r) {
      switch (from) {
        case From::Previous: return previous;
        case From::PreviousCos: return previousCos;
        case From::X: return x;
        case From::A: return a;
        case From::B: return b;
        case From::AB: return ab;
        case From::BA: return ba;
        case From::Memory: break;
      }
      return hn::Load(d, At(r));
    };
    M bad0 = hn::FirstN(d, 0), bad1 = bad0;
    const Planned* code = plan_.steps.data();
    const size_t count = WithD ? plan_.steps.size() : program_.FirstLength;
    const int32_t fAt = plan_.resultAt[WithD][0], dAt = plan_.resultAt[WithD][1];
    V f = x, slope = x;
    for (size_t i = 0; i < count; ++i) {
      const Planned& s = code[i];
      const UserProgram::Instruction& in = s.in;
      const V l = fetch(s.left, in.Left);
      if (in.Kind == Op::SinCos) {
        bool sine = true, cosine = true;
        if constexpr (!WithD) {
          sine = s.firstSin;
          cosine = s.firstCos;
        }
        if (sine && cosine) {
          FastSinCos(l, previous, previousCos);
        } else if (sine) {
          previous = FastSin(l);
        } else {
          previousCos = FastCos(l);
        }
        if (sine) {
          if (s.trigRange) previous = TrigRange(l, previous);
          if (s.storeOut) hn::Store(previous, d, At(in.Out));
        }
        if (cosine) {
          if (s.trigRange) previousCos = TrigRange(l, previousCos);
          if (s.storeOut2) hn::Store(previousCos, d, At(in.Out2));
        }
      } else {
        previous = Operation(s, l, s.binary ? fetch(s.right, in.Right) : l);
        if (s.storeOut) hn::Store(previous, d, At(in.Out));
        if (s.canFault) {
          const M fault = hn::Not(hn::IsFinite(previous));
          if (in.Outputs & 1) bad0 = hn::Or(bad0, fault);
          if (in.Outputs & 2) bad1 = hn::Or(bad1, fault);
        }
      }
      if (int32_t(i) == fAt) f = previous;
      if (int32_t(i) == dAt) slope = previous;
    }
    const V one = hn::Set(d, 1.0);
    if (fAt < 0) f = fetch(plan_.result[0], program_.Result[0]);
    if constexpr (WithD) {
      if (dAt < 0) slope = fetch(plan_.result[1], program_.Result[1]);
      dv = hn::IfThenElse(bad1, one, slope);
    }
    return hn::IfThenElse(bad0, one, f);
  }

 private:
  // The plan for the bounds of a run: X's bound is its starting values' and that of F's values,
  // when F shows one whatever X is (a faulted formula gives 1.0).
  static Plan PlanFor(const UserProgram& program, VariableBounds bounds) {
    const double start = bounds.x;
    bounds.x = HUGE_VAL;
    const double first = Analyse(program, bounds).firstBound;
    bounds.x = first <= 1e300 ? std::max({start, first, 1.0}) : HUGE_VAL;
    return Analyse(program, bounds);
  }

  double* At(int32_t r) const { return registers_.get() + size_t(r) * kMaxLanes; }

  const UserProgram& program_;
  Plan plan_;
  hwy::AlignedFreeUniquePtr<double[]> registers_;
};

// The bounds of the variables over the pixels given: their A and B, their starting X (the
// start value of fresh pixels, the stored X of continued ones) and 0 of idle lanes.
VariableBounds BoundsOf(const KernelParams& p, const PixelInput* in, size_t n) {
  VariableBounds bounds{0.0, 0.0, 0.0};
  const auto widen = [](double& bound, double v) {
    const double m = std::fabs(v);
    if (!(m <= bound)) bound = m <= DBL_MAX ? m : HUGE_VAL;  // infinite or not a number: none
  };
  for (size_t i = 0; i < n; ++i) {
    widen(bounds.a, in[i].A);
    widen(bounds.b, in[i].B);
    widen(bounds.x, in[i].Fresh ? p.StartX : in[i].StoredX);
  }
  return bounds;
}

bool RunUserPixels(const KernelParams& p, const UserProgram& program, const PixelInput* in, PixelResult* out, size_t n,
                   const std::atomic<bool>* cancel) {
  VecUserMap map(program, BoundsOf(p, in, n));
  return p.SmartIterate ? RunFrame<true>(map, p, in, out, n, cancel) : RunFrame<false>(map, p, in, out, n, cancel);
}

void EvaluateLanes(const UserProgram& program, const UserPoint* points, size_t n, double* f, double* slope) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  VecUserMap map(program, VariableBounds{});
  HWY_ALIGN double v[5][kMaxLanes], rf[kMaxLanes], rd[kMaxLanes];
  for (size_t first = 0; first < n; first += lanes) {
    for (size_t i = 0; i < lanes; ++i) {
      const UserPoint& p = points[std::min(first + i, n - 1)];
      v[0][i] = p.X;
      v[1][i] = p.A;
      v[2][i] = p.B;
      v[3][i] = p.AB;
      v[4][i] = p.BA;
    }
    V dv = hn::Zero(d);
    const V nx = map.Step<true>(hn::Load(d, v[0]), hn::Load(d, v[1]), hn::Load(d, v[2]), hn::Load(d, v[3]),
                                hn::Load(d, v[4]), dv, nullptr);
    hn::Store(nx, d, rf);
    hn::Store(dv, d, rd);
    for (size_t i = 0; i < lanes && first + i < n; ++i) {
      f[first + i] = rf[i];
      slope[first + i] = rd[i];
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace vantorel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vantorel {

HWY_EXPORT(RunUserPixels);
HWY_EXPORT(EvaluateLanes);

void EvaluateUserLanes(const UserProgram& program, const UserPoint* points, size_t n, double* f, double* slope) {
  HWY_DYNAMIC_DISPATCH(EvaluateLanes)(program, points, n, f, slope);
}

bool ComputeUserPixels(const KernelParams& p, const UserProgram& program, const PixelInput* in, PixelResult* out,
                       size_t n, const std::atomic<bool>* cancel) {
  return HWY_DYNAMIC_DISPATCH(RunUserPixels)(p, program, in, out, n, cancel);
}

}  // namespace vantorel
#endif
