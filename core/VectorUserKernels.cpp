// A user formula in vector lanes: the program of UserProgram.h interpreted on whole vectors,
// one pixel per lane, inside the frame the fixed-formula vector kernels use (VectorFrame-inl.h).
// Double precision with SLEEF's functions, so this is the fast mode's kernel only; exact mode
// computes user formulas one pixel at a time in extended precision.
//
// Compiled once per instruction set (Highway's foreach_target) with -ffp-contract=off, so that
// every lane rounds as the scalar double-precision evaluation (EvaluateUserProgram) does.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

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

// Limits v to [lo, hi]; a value that is not a number becomes hi.
HWY_INLINE V Limit(V v, double lo, double hi) {
  const D d;
  const V l = hn::Set(d, lo), h = hn::Set(d, hi);
  return hn::IfThenElse(hn::Le(v, h), hn::IfThenElse(hn::Lt(v, l), l, v), h);
}

// Values above hi (or not a number) become hi; no lower limit.
HWY_INLINE V LimitAbove(V v, double hi) {
  const V h = hn::Set(D(), hi);
  return hn::IfThenElse(hn::Le(v, h), v, h);
}

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
  const V value = hn::IfThenElse(hn::Eq(base, zero), FastExp(hn::Mul(r, hn::Set(d, kUserLnZeroSubstitute))),
                                 FastPow(base, r));
  return hn::Mul(sign, value);
}

// One operation of the program on whole vectors, as UserOperation does it on one value.
HWY_INLINE V Operation(Op op, V l, V r) {
  const D d;
  const V zero = hn::Zero(d);
  switch (op) {
    case Op::Add: return hn::Add(Limit(l, -1e300, 1e300), Limit(r, -1e300, 1e300));
    case Op::Subtract: return hn::Sub(Limit(l, -1e300, 1e300), Limit(r, -1e300, 1e300));
    case Op::Multiply: return hn::Mul(Limit(l, -1e150, 1e150), Limit(r, -1e150, 1e150));
    case Op::Divide: return hn::Div(l, hn::IfThenElse(hn::Eq(r, zero), hn::Set(d, 1e-100), r));
    case Op::Power: return Power(l, r);
    case Op::Max: return hn::IfThenElse(hn::Gt(l, r), l, r);
    case Op::Min: return hn::IfThenElse(hn::Lt(l, r), l, r);
    case Op::Sin:
    case Op::SinCos: return TrigRange(l, FastSin(l));
    case Op::Cos: return TrigRange(l, FastCos(l));
    case Op::Tan: return FastTan(l);
    case Op::Exp: return FastExp(LimitAbove(l, 650));
    case Op::Log: return hn::IfThenElse(hn::Le(l, zero), hn::Set(d, kUserLnZeroSubstitute), FastLog(l));
    case Op::Sqr: {
      const V v = Limit(l, -1e150, 1e150);
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
  explicit VecUserMap(const UserProgram& program)
      : program_(program), registers_(hwy::AllocateAligned<double>(program.Registers.size() * kMaxLanes)) {
    for (size_t r = 0; r < program.Registers.size(); ++r)
      for (size_t i = 0; i < kMaxLanes; ++i) registers_[r * kMaxLanes + i] = program.Registers[r];
  }

  template <bool WithD>
  HWY_INLINE V Step(V x, V a, V b, V ab, V ba, V& dv, const uint8_t*) {
    const D d;
    Set(program_.A, a);
    Set(program_.B, b);
    Set(program_.AB, ab);
    Set(program_.BA, ba);
    Set(program_.X, x);
    M bad0 = hn::FirstN(d, 0), bad1 = bad0;
    const UserProgram::Instruction* code = program_.Code.data();
    const size_t count = WithD ? program_.Code.size() : program_.FirstLength;
    for (size_t i = 0; i < count; ++i) {
      const UserProgram::Instruction& in = code[i];
      const V l = hn::Load(d, At(in.Left));
      M fault;
      if (in.Kind == Op::SinCos) {
        const V s = TrigRange(l, FastSin(l)), c = TrigRange(l, FastCos(l));
        hn::Store(s, d, At(in.Out));
        hn::Store(c, d, At(in.Out2));
        fault = hn::Not(hn::And(hn::IsFinite(s), hn::IsFinite(c)));
      } else {
        const V v = Operation(in.Kind, l, hn::Load(d, At(in.Right)));
        hn::Store(v, d, At(in.Out));
        fault = hn::Not(hn::IsFinite(v));
      }
      if (in.Outputs & 1) bad0 = hn::Or(bad0, fault);
      if (in.Outputs & 2) bad1 = hn::Or(bad1, fault);
    }
    const V one = hn::Set(d, 1.0);
    if constexpr (WithD) dv = hn::IfThenElse(bad1, one, hn::Load(d, At(program_.Result[1])));
    return hn::IfThenElse(bad0, one, hn::Load(d, At(program_.Result[0])));
  }

 private:
  double* At(int32_t r) const { return registers_.get() + size_t(r) * kMaxLanes; }
  void Set(int32_t r, V v) {
    if (r >= 0) hn::Store(v, D(), At(r));
  }

  const UserProgram& program_;
  hwy::AlignedFreeUniquePtr<double[]> registers_;
};

bool RunUserPixels(const KernelParams& p, const UserProgram& program, const PixelInput* in, PixelResult* out,
                   size_t n, const std::atomic<bool>* cancel) {
  VecUserMap map(program);
  return p.SmartIterate ? RunFrame<true>(map, p, in, out, n, cancel) : RunFrame<false>(map, p, in, out, n, cancel);
}

void EvaluateLanes(const UserProgram& program, const UserPoint* points, size_t n, double* f, double* slope) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  VecUserMap map(program);
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
