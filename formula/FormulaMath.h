// The arithmetic of one formula node, shared by the tree walk of TFormula and the flat program
// of TCompiledFormula so that both give the same results to the bit. Operands arrive as the
// doubles stored at the child nodes; every operation runs in extended precision (long double)
// and its result is stored as a double again.
#pragma once

#include <cmath>
#include <cstdint>

#include "formula/FormulaNodes.h"

namespace vantorel::formula_math {

// Domain errors that evaluation replaces by substitute values.
enum class MathFault : uint8_t {
  None,
  DivisionByZero,     // divisor 0 replaced by 1e-100
  PowerNegativeBase,  // base replaced by its absolute value
  PowerZeroBase,      // base 0 replaced by 1e-300
  LogNonPositive,     // argument <= 0 replaced by 1e-300
  SqrtNegative,       // argument <= 0 replaced by its negation
  UnknownNode,        // a node without a known kind: 1.0
};

// Limits v to [lo, hi]; a value that is not a number becomes hi.
inline double Limit(double v, double lo, double hi) {
  if (!(v <= hi)) return hi;
  return v < lo ? lo : v;
}

// Values above hi (or not a number) become hi; no lower limit.
inline double LimitAbove(double v, double hi) { return v <= hi ? v : hi; }

// Sine and cosine give 0 beyond the range of the processor's sine instruction.
constexpr long double kTrigRange = 9223372036854775808.0L;  // 2^63

// Sine and cosine in extended precision, both at once. On x86-64 the processor's own
// instruction, as the program has always computed them; elsewhere the library's long double
// functions.
inline void ExtendedSinCos(long double x, long double& s, long double& c) {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
  asm("fsincos" : "=t"(c), "=u"(s) : "0"(x));
#else
  s = sinl(x);
  c = cosl(x);
#endif
}

inline long double ExtendedSin(long double x) {
  long double s, c;
  ExtendedSinCos(x, s, c);
  return s;
}

inline long double ExtendedCos(long double x) {
  long double s, c;
  ExtendedSinCos(x, s, c);
  return c;
}

// t! * x^(x - t) for t the integer part of x; -1 for x < 0 and 1 for x = 0. The product
// stops growing once it exceeds 1e300, so huge arguments return at once.
inline long double FactorialValue(long double x) {
  if (x < 0) return -1;
  if (x == 0) return 1;
  const long double t = truncl(x);
  long double product = 1;
  for (long double n = 2; n <= t && product <= 1e300L; n += 1) product *= n;
  return product * expl((x - t) * logl(x));
}

// A function of one argument, without operand limits (folding constants uses these too).
inline long double FunctionValue(int32_t kind, long double x) {
  switch (kind) {
    case kNodeSin: return fabsl(x) >= kTrigRange ? 0.0L : ExtendedSin(x);
    case kNodeCos: return fabsl(x) >= kTrigRange ? 0.0L : ExtendedCos(x);
    case kNodeTan: return tanl(x);
    case kNodeExp: return expl(x);
    case kNodeLog: return logl(x);
    case kNodeSqr: return x * x;
    case kNodeInt: return truncl(x);
    case kNodeAbs: return fabsl(x);
    case kNodeSinh: return sinhl(x);
    case kNodeCosh: return coshl(x);
    case kNodeTanh: return tanhl(x);
    case kNodeSqrt: return sqrtl(x);
    case kNodeFrac: return x - truncl(x);
    case kNodeAtan: return atanl(x);
    case kNodeFak: return FactorialValue(x);
    case kNodeTeta: return x >= 0 ? 1.0L : 0.0L;
    default: return 1.0L;
  }
}

// s * e^(r * ln l) for a positive base l.
inline long double PowerValue(long double l, long double r) { return expl(r * logl(l)); }

// The substitute 1e-300 of a zero base or a non-positive logarithm argument, and its natural
// logarithm written out: where the substitute is a constant the compiler may fold ln(1e-300)
// itself, exactly, while the library's logl at run time may differ in the last bit. Both the
// tree walk and the compiled program use this one value, so they agree to the bit.
constexpr long double kLnZeroSubstitute = -690.77552789821370520539743640530926L;

// The value of an operator or function node from its operands' values, with every operand
// limit and substitute of evaluation. r is used by the binary kinds only. fault reports a
// substitution; the result may still overflow to infinity, which the caller treats as a fault.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline double
EvaluateOperation(int32_t kind, double l, double r, MathFault& fault) {
  using LD = long double;
  switch (kind) {
    case kNodeAdd: return static_cast<double>(LD(Limit(l, -1e300, 1e300)) + LD(Limit(r, -1e300, 1e300)));
    case kNodeSubtract: return static_cast<double>(LD(Limit(l, -1e300, 1e300)) - LD(Limit(r, -1e300, 1e300)));
    case kNodeMultiply: return static_cast<double>(LD(Limit(l, -1e150, 1e150)) * LD(Limit(r, -1e150, 1e150)));
    case kNodeDivide:
      if (r == 0) {
        r = 1e-100;
        fault = MathFault::DivisionByZero;
      }
      return static_cast<double>(LD(l) / LD(r));
    case kNodePower: {
      LD sign = 1;
      if (l < 0) {
        l = -l;
        if (fmodl(nearbyintl(r), 2) != 0) sign = -1;
        fault = MathFault::PowerNegativeBase;
      }
      if (l == 0) {
        fault = MathFault::PowerZeroBase;
        return static_cast<double>(sign * expl(LD(r) * kLnZeroSubstitute));
      }
      return static_cast<double>(sign * PowerValue(l, r));
    }
    case kNodeMax: return l > r ? l : r;
    case kNodeMin: return l < r ? l : r;
    case kNodeExp: return static_cast<double>(FunctionValue(kind, LimitAbove(l, 650)));
    case kNodeLog:
      if (l <= 0) {
        fault = MathFault::LogNonPositive;
        return static_cast<double>(kLnZeroSubstitute);
      }
      return static_cast<double>(FunctionValue(kind, l));
    case kNodeSqr: return static_cast<double>(FunctionValue(kind, Limit(l, -1e150, 1e150)));
    case kNodeSinh:
    case kNodeTanh: return static_cast<double>(FunctionValue(kind, Limit(l, -650, 650)));
    case kNodeCosh: return static_cast<double>(FunctionValue(kind, LimitAbove(l, 650)));
    case kNodeSqrt:
      if (l <= 0) {
        l = -l;
        fault = MathFault::SqrtNegative;
      }
      return static_cast<double>(FunctionValue(kind, l));
    case kNodeSin:
    case kNodeCos:
    case kNodeTan:
    case kNodeInt:
    case kNodeAbs:
    case kNodeFrac:
    case kNodeAtan:
    case kNodeFak:
    case kNodeTeta: return static_cast<double>(FunctionValue(kind, l));
    default: fault = MathFault::UnknownNode; return 1.0;
  }
}

// A node result that left the double range (or is not a number): the whole evaluation fails.
inline bool IsFault(double v) { return !std::isfinite(v); }

}  // namespace vantorel::formula_math
