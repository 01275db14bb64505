// Compiled once per instruction set (Highway's foreach_target) with -ffp-contract=off, so that no
// multiply and add are fused where the scalar kernel rounds twice.
#include "core/VectorKernels.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "core/VectorKernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#ifndef VANTOREL_VECTOR_KERNELS_SHARED
#define VANTOREL_VECTOR_KERNELS_SHARED
namespace vantorel::vector_detail {

// ln 2 split so that e * kLn2Hi is exact for exponent sums below 2^21.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;

// The sum of ln|d| over the steps multiplied into (product, exponent, zeros).
inline double LogTerm(double product, int64_t exponent, int64_t zeros) {
  const double e = double(exponent);
  return (e * kLn2Hi + (std::log(product) + e * kLn2Lo)) - 100.0 * double(zeros);
}

inline bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel && cancel->load(std::memory_order_relaxed);
}

}  // namespace vantorel::vector_detail

// SLEEF's sines and cosines (at most 1 ulp over the whole range; Highway's own are 3 ulp and
// valid only below 39000), declared here because SLEEF's header offers the wider ones only to
// code compiled for those instruction sets as a whole.
#if HWY_ARCH_X86
#include <immintrin.h>
#endif
extern "C" {
double Sleef_sind1_u10purec(double);
double Sleef_cosd1_u10purec(double);
}
#endif  // VANTOREL_VECTOR_KERNELS_SHARED

HWY_BEFORE_NAMESPACE();
namespace vantorel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using DI = hn::RebindToSigned<D>;
using DU = hn::RebindToUnsigned<D>;
using V = hn::Vec<D>;
using VI = hn::Vec<DI>;
using M = hn::Mask<D>;
constexpr size_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);

#undef VANTOREL_LANEWISE_FAST_TRIG  // decided again for every instruction set
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
extern "C" __m512d Sleef_sind8_u10avx512f(__m512d);
extern "C" __m512d Sleef_cosd8_u10avx512f(__m512d);
HWY_INLINE V FastSin(V v) { return V{Sleef_sind8_u10avx512f(v.raw)}; }
HWY_INLINE V FastCos(V v) { return V{Sleef_cosd8_u10avx512f(v.raw)}; }
#elif HWY_TARGET == HWY_AVX2
extern "C" __m256d Sleef_sind4_u10avx2(__m256d);
extern "C" __m256d Sleef_cosd4_u10avx2(__m256d);
HWY_INLINE V FastSin(V v) { return V{Sleef_sind4_u10avx2(v.raw)}; }
HWY_INLINE V FastCos(V v) { return V{Sleef_cosd4_u10avx2(v.raw)}; }
#elif HWY_TARGET == HWY_SSE4
extern "C" __m128d Sleef_sind2_u10sse4(__m128d);
extern "C" __m128d Sleef_cosd2_u10sse4(__m128d);
HWY_INLINE V FastSin(V v) { return V{Sleef_sind2_u10sse4(v.raw)}; }
HWY_INLINE V FastCos(V v) { return V{Sleef_cosd2_u10sse4(v.raw)}; }
#elif HWY_TARGET == HWY_SSSE3
extern "C" __m128d Sleef_sind2_u10sse2(__m128d);
extern "C" __m128d Sleef_cosd2_u10sse2(__m128d);
HWY_INLINE V FastSin(V v) { return V{Sleef_sind2_u10sse2(v.raw)}; }
HWY_INLINE V FastCos(V v) { return V{Sleef_cosd2_u10sse2(v.raw)}; }
#else
#define VANTOREL_LANEWISE_FAST_TRIG 1
#endif

// Applies fn to the lanes whose need flag is set (all lanes without flags).
template <class Fn>
HWY_INLINE V Lanewise(V v, const uint8_t* need, Fn fn) {
  const D d;
  HWY_ALIGN double t[kMaxLanes];
  hn::Store(v, d, t);
  for (size_t i = 0; i < hn::Lanes(d); ++i)
    if (!need || need[i]) t[i] = fn(t[i]);
  return hn::Load(d, t);
}

// Sine and cosine: exact mode calls the C library lane by lane, like the scalar kernel.
template <bool Fast>
HWY_INLINE V Sin(V v, const uint8_t* need = nullptr) {
#ifndef VANTOREL_LANEWISE_FAST_TRIG
  if constexpr (Fast) return FastSin(v);
#else
  if constexpr (Fast) return Lanewise(v, need, [](double a) { return Sleef_sind1_u10purec(a); });
#endif
  return Lanewise(v, need, [](double a) { return std::sin(a); });
}
template <bool Fast>
HWY_INLINE V Cos(V v, const uint8_t* need = nullptr) {
#ifndef VANTOREL_LANEWISE_FAST_TRIG
  if constexpr (Fast) return FastCos(v);
#else
  if constexpr (Fast) return Lanewise(v, need, [](double a) { return Sleef_cosd1_u10purec(a); });
#endif
  return Lanewise(v, need, [](double a) { return std::cos(a); });
}

// Sine and cosine of the same values; exact mode makes one C library call per lane for both,
// as the compiler does for the scalar kernel.
template <bool Fast>
HWY_INLINE void SinCos(V v, V& sin, V& cos) {
  if constexpr (Fast) {
    sin = Sin<true>(v);
    cos = Cos<true>(v);
  } else {
    const D d;
    HWY_ALIGN double t[kMaxLanes], sn[kMaxLanes], cs[kMaxLanes];
    hn::Store(v, d, t);
    for (size_t i = 0; i < hn::Lanes(d); ++i) ::sincos(t[i], &sn[i], &cs[i]);
    sin = hn::Load(d, sn);
    cos = hn::Load(d, cs);
  }
}

// The sines of u and, where need is set, of v; exact mode makes both calls of a lane in one loop
// so that the processor overlaps them.
template <bool Fast>
HWY_INLINE void SinOfBoth(V u, V v, V& su, V& sv, const uint8_t* need) {
  if constexpr (Fast) {
    su = Sin<true>(u);
    sv = Sin<true>(v);
  } else {
    const D d;
    HWY_ALIGN double a[kMaxLanes], b[kMaxLanes];
    hn::Store(u, d, a);
    hn::Store(v, d, b);
    for (size_t i = 0; i < hn::Lanes(d); ++i) {
      a[i] = std::sin(a[i]);
      if (need[i]) b[i] = std::sin(b[i]);
    }
    su = hn::Load(d, a);
    sv = hn::Load(d, b);
  }
}

// Fixed formula F (0..5) on whole vectors, operation for operation as FixedMap<F>.
template <int F, bool Fast>
struct VecMap {
  V w, v, u;
  explicit VecMap(const KernelParams& p) {
    const D d;
    w = hn::Set(d, p.W);
    v = hn::Set(d, p.V);
    u = hn::Set(d, p.U);
  }

  // The new X; with WithD also dv = dF/dX at x (needed only in the lanes flagged in need).
  template <bool WithD>
  HWY_INLINE V Step(V x, V ab, V ba, V& dv, const uint8_t* need) const {
    const D d;
    const V one = hn::Set(d, 1.0), two = hn::Set(d, 2.0), half = hn::Set(d, 0.5);
    if constexpr (F == 0) {
      if constexpr (WithD) dv = hn::Mul(hn::Sub(one, hn::Mul(two, x)), ab);
      return hn::Mul(hn::Mul(ab, x), hn::Sub(one, x));
    } else if constexpr (F == 1 || F == 3) {
      const V t = hn::Add(x, ab);
      V s;
      if constexpr (WithD) {
        V s2;
        SinOfBoth<Fast>(t, hn::Mul(two, t), s, s2, need);
        dv = hn::Mul(w, s2);
      } else {
        s = Sin<Fast>(t);
      }
      const V base = hn::Mul(w, hn::Mul(s, s));
      if constexpr (F == 1) {
        return base;
      } else {
        V q = hn::Mul(x, hn::Set(d, kInvPi));
        q = hn::Sub(q, hn::Trunc(q));
        return hn::IfThenElse(hn::Gt(q, half), base, hn::Add(base, hn::Mul(u, ab)));
      }
    } else if constexpr (F == 2) {
      if constexpr (WithD) dv = hn::Mul(hn::Abs(hn::Sub(one, hn::Mul(two, x))), ab);
      const V abx = hn::Mul(ab, x), oneMinusX = hn::Sub(one, x);
      const V above = hn::Mul(abx, hn::Abs(oneMinusX));
      const V below = hn::Add(hn::Mul(abx, oneMinusX), hn::Mul(hn::Mul(hn::Sub(ab, two), u), hn::Set(d, 0.25)));
      return hn::IfThenElse(hn::Gt(x, half), above, below);
    } else if constexpr (F == 4) {
      const V t = hn::Add(x, ab), r = hn::Add(x, ba);
      V st, ct, sr, cr;
      if constexpr (WithD) {
        SinCos<Fast>(t, st, ct);
        SinCos<Fast>(r, sr, cr);
        dv = hn::Mul(ab, hn::Sub(hn::Mul(w, ct), hn::Mul(v, sr)));
      } else {
        st = Sin<Fast>(t);
        cr = Cos<Fast>(r);
      }
      return hn::Mul(ab, hn::Add(hn::Mul(w, st), hn::Mul(v, cr)));
    } else {
      const V g = hn::Sub(x, ab), wab = hn::Mul(w, ab), vba = hn::Mul(v, ba);
      V sg, cg;
      if constexpr (WithD) {
        SinCos<Fast>(g, sg, cg);
        dv = hn::Sub(vba, hn::Mul(wab, sg));
      } else {
        cg = Cos<Fast>(g);
      }
      return hn::Add(hn::Mul(wab, cg), hn::Mul(vba, x));
    }
  }
};

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
template <int F, bool Fast, bool WithD>
HWY_NOINLINE void CarefulPasses(const VecMap<F, Fast>& map, const uint8_t* seq, size_t steps, int64_t passes,
                                Lanes& s) {
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
      const V nx = map.template Step<WithD>(x, ab, ba, dv, s.needD);
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
template <int F, bool Fast, bool WithD, bool AllSum>
HWY_NOINLINE bool QuickPasses(const VecMap<F, Fast>& map, const uint8_t* seq, size_t steps, int64_t passes,
                              Lanes& s) {
  const D d;
  const DI di;
  const DU du;
  V x = hn::Load(d, s.x);
  const V a = hn::Load(d, s.a), b = hn::Load(d, s.b), zero = hn::Zero(d), one = hn::Set(d, 1.0);
  V p = hn::Load(d, s.p);
  VI e = hn::Load(di, s.e);
  const M summing = MaskOf(s.sum);
  V sticky = zero;      // turns NaN for good at the first infinite or undefined value
  V smallest = one;     // the product at each normalisation
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
      const V nx = map.template Step<WithD>(x, ab, ba, dv, s.needD);
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

template <int F, bool Fast, bool WithD, bool AllSum>
HWY_INLINE void Passes(const VecMap<F, Fast>& map, const uint8_t* seq, size_t steps, int64_t passes, Lanes& s) {
  if (!QuickPasses<F, Fast, WithD, AllSum>(map, seq, steps, passes, s))
    CarefulPasses<F, Fast, WithD>(map, seq, steps, passes, s);
}

template <int F, bool Smart, bool Fast>
bool Run(const KernelParams& p, const PixelInput* in, PixelResult* out, size_t n, const std::atomic<bool>* cancel) {
  const size_t lanes = hn::Lanes(D());
  const VecMap<F, Fast> map(p);
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
      Passes<F, Fast, true, true>(map, seq, steps, run, s);
    else if (anySum)
      Passes<F, Fast, true, false>(map, seq, steps, run, s);
    else
      Passes<F, Fast, false, false>(map, seq, steps, run, s);
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

using RunFn = bool (*)(const KernelParams&, const PixelInput*, PixelResult*, size_t, const std::atomic<bool>*);

template <int F>
RunFn Pick(bool smart, bool fast) {
  if constexpr (F == 0 || F == 2) {
    return smart ? &Run<F, true, false> : &Run<F, false, false>;
  } else {
    if (fast) return smart ? &Run<F, true, true> : &Run<F, false, true>;
    return smart ? &Run<F, true, false> : &Run<F, false, false>;
  }
}

bool RunFixedPixels(const KernelParams& p, const PixelInput* in, PixelResult* out, size_t n,
                    const std::atomic<bool>* cancel) {
  RunFn fn;
  switch (p.FixedFormula) {
    case 0: fn = Pick<0>(p.SmartIterate, p.FastTrig); break;
    case 1: fn = Pick<1>(p.SmartIterate, p.FastTrig); break;
    case 2: fn = Pick<2>(p.SmartIterate, p.FastTrig); break;
    case 3: fn = Pick<3>(p.SmartIterate, p.FastTrig); break;
    case 4: fn = Pick<4>(p.SmartIterate, p.FastTrig); break;
    default: fn = Pick<5>(p.SmartIterate, p.FastTrig); break;
  }
  return fn(p, in, out, n, cancel);
}

const char* TargetNameHere() { return hwy::TargetName(HWY_TARGET); }

}  // namespace HWY_NAMESPACE
}  // namespace vantorel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace vantorel {

HWY_EXPORT(RunFixedPixels);
HWY_EXPORT(TargetNameHere);

bool ComputeFixedPixels(const KernelParams& p, const PixelInput* in, PixelResult* out, size_t n,
                        const std::atomic<bool>* cancel) {
  return HWY_DYNAMIC_DISPATCH(RunFixedPixels)(p, in, out, n, cancel);
}

std::vector<VectorTarget> AvailableVectorTargets() {
  std::vector<VectorTarget> targets;
  for (int64_t bit : hwy::SupportedAndGeneratedTargets()) targets.push_back({bit, hwy::TargetName(bit)});
  return targets;
}

void ForceVectorTargets(int64_t bits) { hwy::SetSupportedTargetsForTest(bits); }

std::string CurrentVectorTarget() { return HWY_DYNAMIC_DISPATCH(TargetNameHere)(); }

}  // namespace vantorel
#endif
