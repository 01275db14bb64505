// Vector maths for the vector kernels, included once per instruction set by each kernel file
// that Highway compiles for several instruction sets (foreach_target).
//
// Exact mode calls the C library lane by lane, as the scalar kernels do. The fast functions come
// from SLEEF (at most 1 ulp over the whole range; Highway's own sines are 3 ulp and valid only
// below 39000), declared here because SLEEF's header offers the wider ones only to code compiled
// for those instruction sets as a whole. Instruction sets without a SLEEF build call SLEEF's
// portable functions lane by lane.

// Declarations shared by every instruction set.
#ifndef VANTOREL_VECTOR_MATH_SHARED
#define VANTOREL_VECTOR_MATH_SHARED
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <hwy/base.h>
#if HWY_ARCH_X86
#include <immintrin.h>
#endif
extern "C" {
double Sleef_sind1_u10purec(double);
double Sleef_cosd1_u10purec(double);
double Sleef_tand1_u10purec(double);
double Sleef_expd1_u10purec(double);
double Sleef_logd1_u10purec(double);
double Sleef_sinhd1_u10purec(double);
double Sleef_coshd1_u10purec(double);
double Sleef_tanhd1_u10purec(double);
double Sleef_atand1_u10purec(double);
double Sleef_powd1_u10purec(double, double);
struct VantorelSleefDouble2 {
  double x, y;
};
VantorelSleefDouble2 Sleef_sincosd1_u10purec(double);
}
#if HWY_ARCH_X86
// SLEEF's pairs of vectors (sine in x, cosine in y), one type per register width.
struct VantorelSleefPair128 {
  __m128d x, y;
};
struct VantorelSleefPair256 {
  __m256d x, y;
};
struct VantorelSleefPair512 {
  __m512d x, y;
};
#endif
#endif  // VANTOREL_VECTOR_MATH_SHARED

// Per instruction set (Highway's toggle: the part below is compiled again for every target).
#if defined(VANTOREL_VECTOR_MATH_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VANTOREL_VECTOR_MATH_INL_H_
#undef VANTOREL_VECTOR_MATH_INL_H_
#else
#define VANTOREL_VECTOR_MATH_INL_H_
#endif

#include <hwy/highway.h>

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

// FastName(v): SLEEF's vector function of this instruction set, or its portable one per lane.
#undef VANTOREL_SLEEF_VECTOR
#undef VANTOREL_SLEEF_TYPE
#undef VANTOREL_SLEEF_PAIR
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
#define VANTOREL_SLEEF_VECTOR(f) Sleef_##f##d8_u10avx512f
#define VANTOREL_SLEEF_TYPE __m512d
#define VANTOREL_SLEEF_PAIR VantorelSleefPair512
#elif HWY_TARGET == HWY_AVX2
#define VANTOREL_SLEEF_VECTOR(f) Sleef_##f##d4_u10avx2
#define VANTOREL_SLEEF_TYPE __m256d
#define VANTOREL_SLEEF_PAIR VantorelSleefPair256
#elif HWY_TARGET == HWY_SSE4
#define VANTOREL_SLEEF_VECTOR(f) Sleef_##f##d2_u10sse4
#define VANTOREL_SLEEF_TYPE __m128d
#define VANTOREL_SLEEF_PAIR VantorelSleefPair128
#elif HWY_TARGET == HWY_SSSE3
#define VANTOREL_SLEEF_VECTOR(f) Sleef_##f##d2_u10sse2
#define VANTOREL_SLEEF_TYPE __m128d
#define VANTOREL_SLEEF_PAIR VantorelSleefPair128
#endif

#ifdef VANTOREL_SLEEF_VECTOR
#define VANTOREL_FAST_FUNCTION(Name, f)                                         \
  extern "C" VANTOREL_SLEEF_TYPE VANTOREL_SLEEF_VECTOR(f)(VANTOREL_SLEEF_TYPE); \
  HWY_INLINE V Fast##Name(V v, const uint8_t* = nullptr) { return V{VANTOREL_SLEEF_VECTOR(f)(v.raw)}; }
extern "C" VANTOREL_SLEEF_TYPE VANTOREL_SLEEF_VECTOR(pow)(VANTOREL_SLEEF_TYPE, VANTOREL_SLEEF_TYPE);
HWY_INLINE V FastPow(V a, V b) { return V{VANTOREL_SLEEF_VECTOR(pow)(a.raw, b.raw)}; }
// Sine and cosine of the same values with one argument reduction.
extern "C" VANTOREL_SLEEF_PAIR VANTOREL_SLEEF_VECTOR(sincos)(VANTOREL_SLEEF_TYPE);
HWY_INLINE void FastSinCos(V v, V& s, V& c) {
  const VANTOREL_SLEEF_PAIR r = VANTOREL_SLEEF_VECTOR(sincos)(v.raw);
  s = V{r.x};
  c = V{r.y};
}
#else
HWY_INLINE void FastSinCos(V v, V& s, V& c) {
  const D d;
  HWY_ALIGN double x[kMaxLanes], y[kMaxLanes];
  hn::Store(v, d, x);
  for (size_t i = 0; i < hn::Lanes(d); ++i) {
    const VantorelSleefDouble2 r = Sleef_sincosd1_u10purec(x[i]);
    x[i] = r.x;
    y[i] = r.y;
  }
  s = hn::Load(d, x);
  c = hn::Load(d, y);
}
#define VANTOREL_FAST_FUNCTION(Name, f)                                           \
  HWY_INLINE V Fast##Name(V v, const uint8_t* need = nullptr) {                   \
    return Lanewise(v, need, [](double a) { return Sleef_##f##d1_u10purec(a); }); \
  }
HWY_INLINE V FastPow(V a, V b) {
  const D d;
  HWY_ALIGN double x[kMaxLanes], y[kMaxLanes];
  hn::Store(a, d, x);
  hn::Store(b, d, y);
  for (size_t i = 0; i < hn::Lanes(d); ++i) x[i] = Sleef_powd1_u10purec(x[i], y[i]);
  return hn::Load(d, x);
}
#endif
VANTOREL_FAST_FUNCTION(Sin, sin)
VANTOREL_FAST_FUNCTION(Cos, cos)
VANTOREL_FAST_FUNCTION(Tan, tan)
VANTOREL_FAST_FUNCTION(Exp, exp)
VANTOREL_FAST_FUNCTION(Log, log)
VANTOREL_FAST_FUNCTION(Sinh, sinh)
VANTOREL_FAST_FUNCTION(Cosh, cosh)
VANTOREL_FAST_FUNCTION(Tanh, tanh)
VANTOREL_FAST_FUNCTION(Atan, atan)
#undef VANTOREL_FAST_FUNCTION

// Sine and cosine: exact mode calls the C library lane by lane, like the scalar kernel.
template <bool Fast>
HWY_INLINE V Sin(V v, const uint8_t* need = nullptr) {
  if constexpr (Fast) return FastSin(v, need);
  return Lanewise(v, need, [](double a) { return std::sin(a); });
}
template <bool Fast>
HWY_INLINE V Cos(V v, const uint8_t* need = nullptr) {
  if constexpr (Fast) return FastCos(v, need);
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

}  // namespace HWY_NAMESPACE
}  // namespace vantorel
HWY_AFTER_NAMESPACE();

#endif  // VANTOREL_VECTOR_MATH_INL_H_
