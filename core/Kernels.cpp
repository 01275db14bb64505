#include "core/Kernels.h"

#include "core/IoError.h"
#include "core/UserMap.h"
#include "core/VectorKernels.h"

namespace vantorel {

KernelParams KernelParamsFrom(const TCalcParams& params) {
  if (params.SequenceSteps <= 0 || params.SequenceLength <= 0 || params.Sequence.empty())
    throw FormatError("The AB-sequence is empty: enter at least one letter A or B.");
  if (params.SequenceSteps != params.SequenceLength ||
      static_cast<size_t>(params.SequenceSteps) != params.Sequence.size())
    throw FormatError("The AB-sequence does not match its stored length.");
  if (params.FixedFormula < -1 || params.FixedFormula > 5)
    throw FormatError("Unknown fixed formula " + std::to_string(params.FixedFormula + 1) + ".");
  KernelParams k;
  k.Sequence.reserve(params.Sequence.size());
  for (uint8_t letter : params.Sequence) k.Sequence.push_back(letter == 0 ? 0 : 1);
  k.StartX = params.StartX;
  k.CalmDownIterations = params.CalmDownIterations;
  k.Iterations = params.Iterations;
  k.IterationsDone = params.IterationsDone;
  k.W = params.W;
  k.V = params.V;
  k.U = params.U;
  k.FixedFormula = params.FixedFormula;
  k.SmartIterate = params.SmartIterate;
  k.EpsX = params.ErrorLimit;
  k.EpsS = params.SequenceLength * params.ErrorLimit;
  k.Q = 1.0 / params.SequenceLength;
  return k;
}

namespace {

template <int F, bool Smart>
bool RunFixed(const KernelParams& p, IUserMap*, const PixelInput& in, PixelResult& out,
              const std::atomic<bool>* cancel) {
  FixedMap<F> map(p);
  return RunKernelFrame<Smart>(map, p, in, out, cancel);
}

template <bool Smart>
bool RunUser(const KernelParams& p, IUserMap* user, const PixelInput& in, PixelResult& out,
             const std::atomic<bool>* cancel) {
  UserMap map{user};
  return RunKernelFrame<Smart>(map, p, in, out, cancel);
}

template <bool Smart>
auto FixedKernel(int32_t formula) {
  switch (formula) {
    case 0: return &RunFixed<0, Smart>;
    case 1: return &RunFixed<1, Smart>;
    case 2: return &RunFixed<2, Smart>;
    case 3: return &RunFixed<3, Smart>;
    case 4: return &RunFixed<4, Smart>;
    default: return &RunFixed<5, Smart>;
  }
}

}  // namespace

PixelKernel::PixelKernel(const KernelParams& params, IUserMap* user, const UserProgram* program)
    : params_(&params), user_(user), program_(program) {
  // The dispatch point: the user formula (-1) or one of the fixed formulas.
  if (params.FixedFormula == -1) {
    if (!user) throw FormatError("user formulas cannot be computed yet");
    fn_ = params.SmartIterate ? &RunUser<true> : &RunUser<false>;
  } else {
    fn_ = params.SmartIterate ? FixedKernel<true>(params.FixedFormula) : FixedKernel<false>(params.FixedFormula);
  }
}

bool PixelKernel::ComputeMany(const PixelInput* in, PixelResult* out, size_t n, const std::atomic<bool>* cancel) const {
  if (params_->FixedFormula >= 0) return ComputeFixedPixels(*params_, in, out, n, cancel);
  if (params_->FastTrig && program_) return ComputeUserPixels(*params_, *program_, in, out, n, cancel);
  for (size_t i = 0; i < n; ++i)
    if (!Compute(in[i], out[i], cancel)) return false;
  return true;
}

}  // namespace vantorel
