#include "formula/CompiledFormula.h"

#include <bit>
#include <map>
#include <tuple>

#include "formula/FormulaMath.h"

namespace vantorel {

namespace {

// Kinds of the program beyond the node kinds.
constexpr int32_t kSinCos = 100;  // sine to Out, cosine to Out2
constexpr int32_t kNothing = 101;  // computed by a fused instruction before it

bool IsBinaryKind(int32_t kind) { return IsOperatorKind(kind) || kind == kNodeMax || kind == kNodeMin; }

}  // namespace

TCompiledFormula::TCompiledFormula() = default;

TCompiledFormula::TCompiledFormula(const TFormula& formula) {
  AddVariables(formula);
  results_[0] = Compile(formula.Root(), formula, 1);
  firstLength_ = code_.size();
  FuseSinCos();
  registers_.resize(code_.size());
}

TCompiledFormula::TCompiledFormula(const TFormula& first, const TFormula& second) {
  AddVariables(first);
  AddVariables(second);
  results_[0] = Compile(first.Root(), first, 1);
  firstLength_ = code_.size();
  results_[1] = Compile(second.Root(), second, 2);
  FuseSinCos();
  registers_.resize(code_.size());
}

void TCompiledFormula::AddVariables(const TFormula& formula) {
  for (const auto& v : formula.Variables()) {
    if (IndexOfVariable(v->Name) >= 0) continue;
    names_.push_back(v->Name);
    values_.push_back(v->Value);
  }
}

int32_t TCompiledFormula::IndexOfVariable(std::string_view name) const {
  const std::string upper = FormulaUpperCase(name);
  for (size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == upper) return static_cast<int32_t>(i);
  return -1;
}

// Emits the operations of a subtree in evaluation order; an operation that is already in the
// program (the same kind on the same operands) is used again. Leaves are not emitted: they
// become operands. Returns where the subtree's value is found.
TCompiledFormula::Operand TCompiledFormula::Compile(const TFormulaNode* node, const TFormula& formula,
                                                    uint8_t output) {
  Operand o;
  const int32_t kind = node ? node->Kind : kNodeUnfilled;
  if (kind == kNodeVariable) {
    o.From = kVariable;
    o.Index = IndexOfVariable(node->Variable->Name);
    return o;
  }
  if (kind == kNodeConstant) {
    o.Value = node->Value;
    return o;
  }
  if (!IsOperatorKind(kind) && !IsFunctionKind(kind)) return o;  // unknown kind: 1.0, as the tree walk
  Instruction in;
  in.Kind = kind;
  in.Left = Compile(node->Left.get(), formula, output);
  if (IsBinaryKind(kind)) in.Right = Compile(node->Right.get(), formula, output);
  auto same = [](const Operand& a, const Operand& b) {
    return a.From == b.From && a.Index == b.Index && std::bit_cast<uint64_t>(a.Value) == std::bit_cast<uint64_t>(b.Value);
  };
  o.From = kRegister;
  for (Instruction& done : code_)
    if (done.Kind == in.Kind && same(done.Left, in.Left) && same(done.Right, in.Right)) {
      done.Outputs |= output;
      o.Index = done.Out;
      return o;
    }
  in.Out = in.Out2 = static_cast<int32_t>(code_.size());
  in.Outputs = output;
  code_.push_back(in);
  o.Index = in.Out;
  return o;
}

// A sine and a cosine of the same operand become one instruction at the place of the earlier.
void TCompiledFormula::FuseSinCos() {
  for (size_t i = 0; i < code_.size(); ++i) {
    Instruction& a = code_[i];
    if (a.Kind != kNodeSin && a.Kind != kNodeCos) continue;
    for (size_t j = i + 1; j < code_.size(); ++j) {
      Instruction& b = code_[j];
      const bool pair = (a.Kind == kNodeSin && b.Kind == kNodeCos) || (a.Kind == kNodeCos && b.Kind == kNodeSin);
      if (!pair || b.Left.From != a.Left.From || b.Left.Index != a.Left.Index ||
          std::bit_cast<uint64_t>(b.Left.Value) != std::bit_cast<uint64_t>(a.Left.Value))
        continue;
      const bool sineFirst = a.Kind == kNodeSin;
      a.Out = sineFirst ? a.Out : b.Out;
      a.Out2 = sineFirst ? b.Out : a.Out2;
      a.Kind = kSinCos;
      a.Outputs |= b.Outputs;
      b.Kind = kNothing;
      break;
    }
  }
}

double TCompiledFormula::Fetch(const Operand& o) const {
  switch (o.From) {
    case kRegister: return registers_[static_cast<size_t>(o.Index)];
    case kVariable: return values_[static_cast<size_t>(o.Index)];
    default: return o.Value;
  }
}

// Runs the first count instructions; returns the formulas (bit i) whose value left the double
// range.
unsigned TCompiledFormula::Run(size_t count) {
  using formula_math::IsFault;
  unsigned faults = 0;
  double* reg = registers_.data();
  for (size_t i = 0; i < count; ++i) {
    const Instruction& in = code_[i];
    if (in.Kind == kNothing) continue;
    if (in.Kind == kSinCos) {
      const long double x = Fetch(in.Left);
      long double s = 0.0L, c = 0.0L;
      if (fabsl(x) < formula_math::kTrigRange) formula_math::ExtendedSinCos(x, s, c);
      reg[in.Out] = static_cast<double>(s);
      reg[in.Out2] = static_cast<double>(c);
      if (IsFault(reg[in.Out]) || IsFault(reg[in.Out2])) faults |= in.Outputs;
      continue;
    }
    const double r = IsBinaryKind(in.Kind) ? Fetch(in.Right) : 0.0;
    formula_math::MathFault fault = formula_math::MathFault::None;
    const double v = formula_math::EvaluateOperation(in.Kind, Fetch(in.Left), r, fault);
    reg[in.Out] = v;
    if (IsFault(v)) faults |= in.Outputs;
  }
  return faults;
}

double TCompiledFormula::Evaluate() {
  const unsigned faults = Run(firstLength_);
  return (faults & 1) ? 1.0 : Fetch(results_[0]);
}

void TCompiledFormula::EvaluateBoth(double& first, double& second) {
  const unsigned faults = Run(code_.size());
  first = (faults & 1) ? 1.0 : Fetch(results_[0]);
  second = (faults & 2) ? 1.0 : Fetch(results_[1]);
}

}  // namespace vantorel
