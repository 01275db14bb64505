// The frame of the vector kernels, one definition for every map that runs in vector lanes (the
// fixed formulas of VectorKernels.cpp, the user formula program of VectorUserKernels.cpp):
// calm-down, summation, smart passes, the penalty for a zero derivative and the deferred
// logarithm, with the lanes refilled from the pixels given. Included once per instruction set
// by each kernel file (Highway's foreach_target), after VectorMath-inl.h.
//
// A map supplies
//   template <bool WithD> V Step(V x, V a, V b, V ab, V ba, V& dv, const uint8_t* need);
// the new X of every lane, and with WithD also dv = dF/dX at x (needed only in the lanes
// flagged in need); a lane whose new X or derivative is not finite has faulted.
//
// The sum of ln|d| is taken as the logarithm of a product: each |d| is split exactly into its
// binary exponent and a mantissa in [1, 2); the mantissas are multiplied, the exponents and
// the zero derivatives (penalty -100) counted. The plain kernel takes one logarithm per pixel,
// the smart kernel one per pass (it compares the sums of passes).

#ifndef VANTOREL_VECTOR_FRAME_SHARED
#define VANTOREL_VECTOR_FRAME_SHARED
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "core/Kernels.h"

namespace vantorel::vector_detail {

// ln 2 split so that e * kLn2Hi is exact for exponent sums below 2^21.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;

// The sum of ln|d| over the steps multiplied into (product, exponent, zeros).
inline double LogTerm(double product, int64_t exponent, int64_t zeros) {
  const double e = double(exponent);
  return (e * kLn2Hi + (std::log(product) + e * kLn2Lo)) - 100.0 * double(zeros);
}

inline bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

}  // namespace vantorel::vector_detail

#endif  // VANTOREL_VECTOR_FRAME_SHARED

// Per instruction set.
#if defined(VANTOREL_VECTOR_FRAME_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VANTOREL_VECTOR_FRAME_INL_H_
#undef VANTOREL_VECTOR_FRAME_INL_H_
#else
#define VANTOREL_VECTOR_FRAME_INL_H_
#endif

#include <hwy/highway.h>

#include "core/VectorMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vantorel {
namespace HWY_NAMESPACE {

// The running product of the lanes: mantissa product in [1, 2^256), exponent sum, zero count.
struct Product {
  V p;
  VI e, z;
};

HWY_INLINE void Normalize(Product& a) {
  const D d;
  const DI di;
  const DU du;
  const auto bits = hn::BitCast(du, a.p);
  a.e = hn::Add(a.e, hn::Sub(hn::BitCast(di, hn::ShiftRight<52>(bits)), hn::Set(di, 1023)));
  a.p = hn::BitCast(d, hn::Or(hn::And(bits, hn::Set(du, 0x000FFFFFFFFFFFFFull)), hn::Set(du, 0x3FF0000000000000ull)));
}

// Multiplies |dv| into the lanes of mask m: exact split into exponent and mantissa (a
// subnormal |d| is scaled by 2^64 first), one rounding per step.
HWY_INLINE void Multiply(Product& a, V dv, M m) {
  const D d;
  const DI di;
  const DU du;
  V ad = hn::Abs(dv);
  const M zero = hn::Eq(ad, hn::Zero(d));
  const M tiny = hn::Lt(ad, hn::Set(d, DBL_MIN));
  ad = hn::IfThenElse(tiny, hn::Mul(ad, hn::Set(d, 0x1p64)), ad);
  const auto bits = hn::BitCast(du, ad);
  const VI bias = hn::IfThenElse(hn::RebindMask(di, tiny), hn::Set(di, 1023 + 64), hn::Set(di, 1023));
  const VI ed = hn::Sub(hn::BitCast(di, hn::ShiftRight<52>(bits)), bias);
  const V md =
      hn::BitCast(d, hn::Or(hn::And(bits, hn::Set(du, 0x000FFFFFFFFFFFFFull)), hn::Set(du, 0x3FF0000000000000ull)));
  const M mul = hn::AndNot(zero, m);
  a.p = hn::IfThenElse(mul, hn::Mul(a.p, md), a.p);
  a.e = hn::Add(a.e, hn::IfThenElseZero(hn::RebindMask(di, mul), ed));
  a.z = hn::Add(a.z, hn::IfThenElseZero(hn::RebindMask(di, hn::And(zero, m)), hn::Set(di, 1)));
}

// The state of the lanes between passes, in memory for the per-lane frame logic.
struct Lanes {
  HWY_ALIGN double x[kMaxLanes], a[kMaxLanes], b[kMaxLanes], p[kMaxLanes];
  HWY_ALIGN int64_t e[kMaxLanes], z[kMaxLanes];
  HWY_ALIGN int64_t busy[kMaxLanes], sum[kMaxLanes], live[kMaxLanes];  // -1 or 0
  uint8_t needD[kMaxLanes];
};

HWY_INLINE M MaskOf(const int64_t* flags) {
  const DI di;
  return hn::RebindMask(D(), hn::Ne(hn::Load(di, flags), hn::Zero(di)));
}

// `passes` passes through the sequence in every lane, checked step by step. Lanes in the
// calm-down only move X; summing lanes also multiply |d| in. A lane that faults keeps its last
// completed X and stops.
template <bool WithD, class Map>
HWY_NOINLINE void CarefulPasses(Map& map, const uint8_t* seq, size_t steps, int64_t passes, Lanes& s) {
  const D d;
  const DI di;
  V x = hn::Load(d, s.x);
  const V a = hn::Load(d, s.a), b = hn::Load(d, s.b);
  Product acc{hn::Load(d, s.p), hn::Load(di, s.e), hn::Load(di, s.z)};
  const M summing = MaskOf(s.sum);
  M live = MaskOf(s.busy);
  for (int64_t pass = 0; pass < passes; ++pass) {
    for (size_t k = 0; k < steps; ++k) {
      const V ab = seq[k] ? b : a, ba = seq[k] ? a : b;
      V dv = hn::Zero(d);
      const V nx = map.template Step<WithD>(x, a, b, ab, ba, dv, s.needD);
      M bad = hn::Not(hn::IsFinite(nx));
      if constexpr (WithD) bad = hn::Or(bad, hn::AndNot(hn::IsFinite(dv), summing));
      live = hn::AndNot(bad, live);
      x = hn::IfThenElse(live, nx, x);
      if constexpr (WithD) {
        Multiply(acc, dv, hn::And(live, summing));
        if ((k & 255) == 255) Normalize(acc);
      }
    }
    if constexpr (WithD) Normalize(acc);
  }
  hn::Store(x, d, s.x);
  hn::Store(acc.p, d, s.p);
  hn::Store(acc.e, di, s.e);
  hn::Store(acc.z, di, s.z);
  hn::Store(hn::VecFromMask(di, hn::RebindMask(di, live)), di, s.live);
}

// The same passes without the step-by-step checks: |d| goes straight into the product, which
// rounds exactly as the mantissa product while it stays in the normal range. Returns false,
// storing nothing, when any lane may have faulted, met a zero derivative or left the range;
// the passes are then repeated carefully.
template <bool WithD, bool AllSum, class Map>
HWY_NOINLINE bool QuickPasses(Map& map, const uint8_t* seq, size_t steps, int64_t passes, Lanes& s) {
  const D d;
  const DI di;
  const DU du;
  V x = hn::Load(d, s.x);
  const V a = hn::Load(d, s.a), b = hn::Load(d, s.b), zero = hn::Zero(d), one = hn::Set(d, 1.0);
  V p = hn::Load(d, s.p);
  VI e = hn::Load(di, s.e);
  const M summing = MaskOf(s.sum);
  V sticky = zero;   // turns NaN for good at the first infinite or undefined value
  V smallest = one;  // the product at each normalisation
  auto normalize = [&] {
    sticky = hn::Add(sticky, hn::Mul(p, zero));
    smallest = hn::Min(smallest, p);
    const auto bits = hn::BitCast(du, p);
    e = hn::Add(e, hn::Sub(hn::BitCast(di, hn::ShiftRight<52>(bits)), hn::Set(di, 1023)));
    p = hn::BitCast(d, hn::Or(hn::And(bits, hn::Set(du, 0x000FFFFFFFFFFFFFull)), hn::Set(du, 0x3FF0000000000000ull)));
  };
  for (int64_t pass = 0; pass < passes; ++pass) {
    for (size_t k = 0; k < steps; ++k) {
      const V ab = seq[k] ? b : a, ba = seq[k] ? a : b;
      V dv = zero;
      const V nx = map.template Step<WithD>(x, a, b, ab, ba, dv, s.needD);
      if constexpr (WithD) {
        const V ad = AllSum ? hn::Abs(dv) : hn::IfThenElse(summing, hn::Abs(dv), one);
        sticky = hn::Add(sticky, hn::Mul(hn::Add(nx, ad), zero));
        p = hn::Mul(p, ad);
        if ((k & 15) == 15) normalize();
      } else {
        sticky = hn::Add(sticky, hn::Mul(nx, zero));
      }
      x = nx;
    }
    if constexpr (WithD) normalize();
  }
  if (!hn::AllTrue(d, hn::Eq(sticky, zero)) || !hn::AllTrue(d, hn::Ge(smallest, hn::Set(d, DBL_MIN)))) return false;
  hn::Store(x, d, s.x);
  hn::Store(p, d, s.p);
  hn::Store(e, di, s.e);
  hn::Store(hn::VecFromMask(di, hn::RebindMask(di, MaskOf(s.busy))), di, s.live);
  return true;
}

template <bool WithD, bool AllSum, class Map>
HWY_INLINE void Passes(Map& map, const uint8_t* seq, size_t steps, int64_t passes, Lanes& s) {
  if (!QuickPasses<WithD, AllSum>(map, seq, steps, passes, s)) CarefulPasses<WithD>(map, seq, steps, passes, s);
}

// The frame of every vector kernel (PixelFrame of Kernels.h in each lane): computes n pixels
// with the plain or smart kernel, a lane whose pixel has ended taking the next one. False only
// when cancel was set before all pixels were done.
template <bool Smart, class Map>
bool RunFrame(Map& map, const KernelParams& p, const PixelInput* in, PixelResult* out, size_t n,
              const std::atomic<bool>* cancel) {
  const size_t lanes = hn::Lanes(D());
  const uint8_t* seq = p.Sequence.data();
  const size_t steps = p.Sequence.size();
  Lanes s;
  PixelFrame frame[kMaxLanes];
  size_t pixel[kMaxLanes];
  size_t next = 0;
  auto resetProduct = [&](size_t i) {
    s.p[i] = 1.0;
    s.e[i] = s.z[i] = 0;
  };
  // Gives lane i the next pixel, or leaves it idle.
  auto take = [&](size_t i) {
    resetProduct(i);
    if (next < n) {
      pixel[i] = next;
      frame[i].Start(p, in[next]);
      s.a[i] = in[next].A;
      s.b[i] = in[next].B;
      s.busy[i] = -1;
      ++next;
    } else {
      frame[i].phase = PixelFrame::Done;
      s.a[i] = s.b[i] = s.x[i] = 0.0;
      s.busy[i] = 0;
    }
  };
  for (size_t i = 0; i < kMaxLanes; ++i) {
    s.x[i] = s.a[i] = s.b[i] = 0.0;
    s.busy[i] = s.sum[i] = s.live[i] = 0;
    s.needD[i] = 0;
    resetProduct(i);
  }
  for (size_t i = 0; i < lanes; ++i) take(i);
  // Passes bounded by a cancel check and, for the plain kernel, by the first lane whose phase
  // ends; the smart kernel decides after every pass.
  constexpr int64_t kMaxRun = 64;
  for (;;) {
    bool any = false, anySum = false, allSum = true;
    int64_t run = Smart ? 1 : kMaxRun;
    for (size_t i = 0; i < lanes; ++i) {
      const bool busy = s.busy[i] != 0, sum = busy && frame[i].phase == PixelFrame::Sum;
      s.x[i] = busy ? frame[i].x : 0.0;
      s.sum[i] = sum ? -1 : 0;
      s.needD[i] = sum;
      any |= busy;
      anySum |= sum;
      allSum &= sum;
      if (busy) run = std::min(run, frame[i].passesLeft);
    }
    if (!any) return true;
    if (vector_detail::Cancelled(cancel)) return false;
    if (allSum)
      Passes<true, true>(map, seq, steps, run, s);
    else if (anySum)
      Passes<true, false>(map, seq, steps, run, s);
    else
      Passes<false, false>(map, seq, steps, run, s);
    for (size_t i = 0; i < lanes; ++i) {
      if (!s.busy[i]) continue;
      PixelFrame& f = frame[i];
      const bool ok = s.live[i] != 0;
      if constexpr (Smart) {
        if (f.phase == PixelFrame::Calm) {
          f.EndSmartCalmPass(p, s.x[i], ok);
        } else {
          f.EndSmartPass(p, s.x[i], vector_detail::LogTerm(s.p[i], s.e[i], s.z[i]), ok);
          resetProduct(i);
        }
      } else {
        const bool summing = f.phase == PixelFrame::Sum;
        f.EndPlainPasses(p, run, s.x[i], ok);
        if (summing && f.phase == PixelFrame::Done) f.sum += vector_detail::LogTerm(s.p[i], s.e[i], s.z[i]);
      }
      if (f.phase == PixelFrame::Done) {
        out[pixel[i]] = f.Result(p);
        take(i);
      }
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace vantorel
HWY_AFTER_NAMESPACE();

#endif  // VANTOREL_VECTOR_FRAME_INL_H_
