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

#include "core/VectorFrame-inl.h"
#include "core/VectorMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace vantorel {
namespace HWY_NAMESPACE {

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
  HWY_INLINE V Step(V x, V, V, V ab, V ba, V& dv, const uint8_t* need) const {
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

template <int F, bool Smart, bool Fast>
bool Run(const KernelParams& p, const PixelInput* in, PixelResult* out, size_t n, const std::atomic<bool>* cancel) {
  VecMap<F, Fast> map(p);
  return RunFrame<Smart>(map, p, in, out, n, cancel);
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
