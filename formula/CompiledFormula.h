// Formula trees compiled into a flat program for the computation: the same arithmetic as
// TFormula::Evaluate (same operand limits, same extended precision, same results to the bit),
// without recursion, messages or allocation.
//
// A program may hold two formulas, F and its derivative: parts common to both are computed
// once, and a sine and a cosine of the same argument are computed together. Compiled once per
// run; each worker thread uses its own copy.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <string_view>
#include <vector>

#include "core/UserProgram.h"
#include "formula/Formula.h"

namespace vantorel {

class TCompiledFormula {
 public:
  // A program that yields 1.0.
  TCompiledFormula();
  // One formula. Its variables keep their indices and start with the values they have there.
  explicit TCompiledFormula(const TFormula& formula);
  // Two formulas in one program. The variables of the first keep their indices; names that
  // only the second uses follow. A name used by both is one variable.
  TCompiledFormula(const TFormula& first, const TFormula& second);

  // Index of a variable (name in any case); -1 when no compiled formula uses it.
  int32_t IndexOfVariable(std::string_view name) const;
  // index must be valid (0 to the count of variables - 1).
  void SetVariableByIndex(int32_t index, double value) { values_[static_cast<size_t>(index)] = value; }

  // The value of the first formula, as TFormula::Evaluate with messages off. Runs only the
  // part of the program the first formula needs.
  double Evaluate();
  // The values of both formulas.
  void EvaluateBoth(double& first, double& second);

  // The same program for the vector lanes of fast mode (double precision), with the registers
  // of X, A, B, AB and BA bound and every variable starting with its value here.
  UserProgram ToUserProgram() const;

  // Operations in the program (for tests and measurements).
  size_t Size() const { return code_.size(); }

 private:
  enum Source : uint8_t { kRegister, kVariable, kConstant };
  struct Operand {
    Source From = kConstant;
    int32_t Index = 0;   // register or variable
    double Value = 1.0;  // constant
  };
  struct Instruction {
    int32_t Kind = kNodeConstant;  // a node kind, or one of the program's own kinds below
    Operand Left, Right;           // Right: binary kinds only
    int32_t Out = 0, Out2 = 0;     // registers written (Out2: the cosine of a fused pair)
    uint8_t Outputs = 0;           // bit i: formula i needs this result
  };

  // Operations are told apart by kind and operands (constants by their bits).
  using OperandKey = std::tuple<int, int32_t, uint64_t>;
  using Key = std::tuple<int32_t, int, int32_t, uint64_t, int, int32_t, uint64_t>;
  static OperandKey KeyOf(const Operand& o);
  static Key KeyOf(const Instruction& in);

  void AddVariables(const TFormula& formula);
  Operand Compile(const TFormulaNode* node, uint8_t output);
  void FuseSinCos();
  unsigned Run(size_t count);
  double Fetch(const Operand& o) const;

  std::vector<Instruction> code_;
  size_t firstLength_ = 0;  // the first formula needs code_[0, firstLength_)
  Operand results_[2];
  std::vector<std::string> names_;
  std::vector<double> values_;
  std::vector<double> registers_;
  std::map<Key, int32_t> emitted_;  // while compiling: the register of each operation
};

}  // namespace vantorel
