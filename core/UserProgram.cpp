#include "core/UserProgram.h"

#include <cmath>

namespace vantorel {

namespace {

using Op = UserProgram::Op;

// Limits v to [lo, hi]; a value that is not a number becomes hi.
double Limit(double v, double lo, double hi) {
  if (!(v <= hi)) return hi;
  return v < lo ? lo : v;
}

// Values above hi (or not a number) become hi; no lower limit.
double LimitAbove(double v, double hi) { return v <= hi ? v : hi; }

}  // namespace

bool IsBinary(Op op) { return op <= Op::Min; }

bool UserProgram::Valid() const {
  const auto in = [&](int32_t r) { return r >= 0 && size_t(r) < Registers.size(); };
  const auto inOrUnused = [&](int32_t r) { return r == -1 || in(r); };
  if (FirstLength > Code.size() || !in(Result[0]) || !in(Result[1])) return false;
  if (!inOrUnused(X) || !inOrUnused(A) || !inOrUnused(B) || !inOrUnused(AB) || !inOrUnused(BA)) return false;
  for (const Instruction& i : Code)
    if (i.Kind > Op::Teta || !in(i.Left) || !in(i.Right) || !in(i.Out) || !in(i.Out2)) return false;
  return true;
}

double UserFactorial(double x) {
  if (x < 0) return -1;
  if (x == 0) return 1;
  const double t = std::trunc(x);
  double product = 1;
  for (double n = 2; n <= t && product <= 1e300; n += 1) product *= n;
  return product * std::exp((x - t) * std::log(x));
}

double UserOperation(Op op, double l, double r) {
  switch (op) {
    case Op::Add: return Limit(l, -1e300, 1e300) + Limit(r, -1e300, 1e300);
    case Op::Subtract: return Limit(l, -1e300, 1e300) - Limit(r, -1e300, 1e300);
    case Op::Multiply: return Limit(l, -1e150, 1e150) * Limit(r, -1e150, 1e150);
    case Op::Divide: return l / (r == 0 ? 1e-100 : r);
    case Op::Power: {
      double sign = 1;
      if (l < 0) {
        l = -l;
        if (std::fmod(std::nearbyint(r), 2) != 0) sign = -1;
      }
      if (l == 0) return sign * std::exp(r * kUserLnZeroSubstitute);
      return sign * std::pow(l, r);
    }
    case Op::Max: return l > r ? l : r;
    case Op::Min: return l < r ? l : r;
    case Op::Sin:
    case Op::SinCos: return std::fabs(l) >= kUserTrigRange ? 0.0 : std::sin(l);
    case Op::Cos: return std::fabs(l) >= kUserTrigRange ? 0.0 : std::cos(l);
    case Op::Tan: return std::tan(l);
    case Op::Exp: return std::exp(LimitAbove(l, 650));
    case Op::Log: return l <= 0 ? kUserLnZeroSubstitute : std::log(l);
    case Op::Sqr: {
      const double v = Limit(l, -1e150, 1e150);
      return v * v;
    }
    case Op::Int: return std::trunc(l);
    case Op::Abs: return std::fabs(l);
    case Op::Sinh: return std::sinh(Limit(l, -650, 650));
    case Op::Cosh: return std::cosh(LimitAbove(l, 650));
    case Op::Tanh: return std::tanh(Limit(l, -650, 650));
    case Op::Sqrt: return std::sqrt(l <= 0 ? -l : l);
    case Op::Frac: return l - std::trunc(l);
    case Op::Atan: return std::atan(l);
    case Op::Fak: return UserFactorial(l);
    case Op::Teta: return l >= 0 ? 1.0 : 0.0;
  }
  return 1.0;
}

void EvaluateUserProgram(const UserProgram& program, double* reg, bool withSlope, double& f, double& slope) {
  unsigned faults = 0;
  const size_t count = withSlope ? program.Code.size() : program.FirstLength;
  for (size_t i = 0; i < count; ++i) {
    const UserProgram::Instruction& in = program.Code[i];
    const double l = reg[in.Left];
    if (in.Kind == Op::SinCos) {
      reg[in.Out] = UserOperation(Op::Sin, l, 0.0);
      reg[in.Out2] = UserOperation(Op::Cos, l, 0.0);
      if (!std::isfinite(reg[in.Out]) || !std::isfinite(reg[in.Out2])) faults |= in.Outputs;
      continue;
    }
    const double v = UserOperation(in.Kind, l, IsBinary(in.Kind) ? reg[in.Right] : 0.0);
    reg[in.Out] = v;
    if (!std::isfinite(v)) faults |= in.Outputs;
  }
  f = (faults & 1) ? 1.0 : reg[program.Result[0]];
  slope = withSlope ? ((faults & 2) ? 1.0 : reg[program.Result[1]]) : 0.0;
}

}  // namespace vantorel
