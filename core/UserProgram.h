// A user formula and its derivative as one flat program over double registers: the form in
// which the fast kernels run a user formula in vector lanes (VectorKernels.h).
//
// The formula library builds it once per run (UserMap.h, UserMapFactory::VectorProgram); the
// kernels only interpret it, so the computation needs nothing of the formula library.
//
// The arithmetic is that of the formula evaluation in double precision instead of extended
// precision: every operation limits its operands and substitutes the same values (a divisor 0
// becomes 1e-100, the logarithm of a non-positive number that of 1e-300, ...), and a formula one
// of whose operations leaves the double range, or is not a number, yields 1.0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantorel {

struct UserProgram {
  enum class Op : uint8_t {
    Add,
    Subtract,
    Multiply,
    Divide,
    Power,
    Max,
    Min,  // two operands
    Sin,
    Cos,
    SinCos,
    Tan,
    Exp,
    Log,
    Sqr,
    Int,
    Abs,
    Sinh,
    Cosh,
    Tanh,
    Sqrt,
    Frac,
    Atan,
    Fak,
    Teta,
  };
  struct Instruction {
    Op Kind = Op::Add;
    uint8_t Outputs = 0;          // bit i: formula i (0: F, 1: dF/dX) needs this result
    int32_t Left = 0, Right = 0;  // operand registers (Right: two-operand kinds only)
    int32_t Out = 0, Out2 = 0;    // result registers (Out2: the cosine of SinCos)
  };

  // Starting values of every register: the variables (PI and any name other than the five
  // below keep theirs), the constants, and the results (overwritten).
  std::vector<double> Registers;
  // The registers of the variables the kernels bind; -1 where neither formula uses the name.
  int32_t X = -1, A = -1, B = -1, AB = -1, BA = -1;
  std::vector<Instruction> Code;
  size_t FirstLength = 0;      // F needs Code[0, FirstLength)
  int32_t Result[2] = {0, 0};  // the registers of F and dF/dX

  // All register indices inside Registers, and FirstLength inside Code.
  bool Valid() const;
};

bool IsBinary(UserProgram::Op op);

// One operation in double precision with the C library's functions, limits and substitutes
// included (r is used by the two-operand kinds only; SinCos gives the sine).
double UserOperation(UserProgram::Op op, double l, double r);
// t! * x^(x - t) for t the integer part of x; -1 for x < 0 and 1 for x = 0.
double UserFactorial(double x);

// The program evaluated one value at a time, in double precision: the reference for the vector
// lanes. registers starts as a copy of program.Registers with the variables set; F only when
// withSlope is false.
void EvaluateUserProgram(const UserProgram& program, double* registers, bool withSlope, double& f, double& slope);

// Substitutes of the evaluation.
constexpr double kUserTrigRange = 9223372036854775808.0;                         // 2^63: sine and cosine 0 beyond
constexpr double kUserLnZeroSubstitute = -690.77552789821370520539743640530926;  // ln 1e-300

}  // namespace vantorel
