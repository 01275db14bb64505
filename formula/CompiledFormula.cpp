#include "formula/CompiledFormula.h"

#include <bit>
#include <map>
#include <tuple>

#include "formula/FormulaMath.h"

namespace vantorel {

namespace {

// Kinds of the program beyond the node kinds.
constexpr int32_t kSinCos = 100;   // sine to Out, cosine to Out2
constexpr int32_t kNothing = 101;  // computed by a fused instruction before it

bool IsBinaryKind(int32_t kind) { return IsOperatorKind(kind) || kind == kNodeMax || kind == kNodeMin; }

}  // namespace

TCompiledFormula::TCompiledFormula() = default;

TCompiledFormula::TCompiledFormula(const TFormula& formula) {
  AddVariables(formula);
  results_[0] = Compile(formula.Root(), 1);
  firstLength_ = code_.size();
  FuseSinCos();
  registers_.resize(code_.size());
  emitted_.clear();
}

TCompiledFormula::TCompiledFormula(const TFormula& first, const TFormula& second) {
  AddVariables(first);
  AddVariables(second);
  results_[0] = Compile(first.Root(), 1);
  firstLength_ = code_.size();
  results_[1] = Compile(second.Root(), 2);
  FuseSinCos();
  registers_.resize(code_.size());
  emitted_.clear();
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
TCompiledFormula::Operand TCompiledFormula::Compile(const TFormulaNode* node, uint8_t output) {
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
  in.Left = Compile(node->Left.get(), output);
  if (IsBinaryKind(kind)) in.Right = Compile(node->Right.get(), output);
  o.From = kRegister;
  const auto [it, added] = emitted_.try_emplace(KeyOf(in), static_cast<int32_t>(code_.size()));
  if (!added) {
    code_[static_cast<size_t>(it->second)].Outputs |= output;
    o.Index = it->second;
    return o;
  }
  in.Out = in.Out2 = it->second;
  in.Outputs = output;
  code_.push_back(in);
  o.Index = in.Out;
  return o;
}

TCompiledFormula::OperandKey TCompiledFormula::KeyOf(const Operand& o) {
  return {static_cast<int>(o.From), o.Index, std::bit_cast<uint64_t>(o.Value)};
}

TCompiledFormula::Key TCompiledFormula::KeyOf(const Instruction& in) {
  return std::tuple_cat(std::tuple(in.Kind), KeyOf(in.Left), KeyOf(in.Right));
}

// A sine and a cosine of the same operand become one instruction at the place of the earlier.
// (There is at most one of each per operand: equal instructions are emitted once.)
void TCompiledFormula::FuseSinCos() {
  std::map<OperandKey, size_t> first;
  for (size_t j = 0; j < code_.size(); ++j) {
    Instruction& b = code_[j];
    if (b.Kind != kNodeSin && b.Kind != kNodeCos) continue;
    const auto [it, added] = first.try_emplace(KeyOf(b.Left), j);
    if (added) continue;
    Instruction& a = code_[it->second];
    if (a.Kind == kNodeSin) {
      a.Out2 = b.Out;
    } else {
      a.Out2 = a.Out;
      a.Out = b.Out;
    }
    a.Kind = kSinCos;
    a.Outputs |= b.Outputs;
    b.Kind = kNothing;
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
      // As FunctionValue: 0 beyond the range only; not a number stays one (a fault).
      if (!(fabsl(x) >= formula_math::kTrigRange)) formula_math::ExtendedSinCos(x, s, c);
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

namespace {

UserProgram::Op OpOfKind(int32_t kind) {
  using Op = UserProgram::Op;
  switch (kind) {
    case kNodeAdd: return Op::Add;
    case kNodeSubtract: return Op::Subtract;
    case kNodeMultiply: return Op::Multiply;
    case kNodeDivide: return Op::Divide;
    case kNodePower: return Op::Power;
    case kNodeMax: return Op::Max;
    case kNodeMin: return Op::Min;
    case kNodeSin: return Op::Sin;
    case kNodeCos: return Op::Cos;
    case kSinCos: return Op::SinCos;
    case kNodeTan: return Op::Tan;
    case kNodeExp: return Op::Exp;
    case kNodeLog: return Op::Log;
    case kNodeSqr: return Op::Sqr;
    case kNodeInt: return Op::Int;
    case kNodeAbs: return Op::Abs;
    case kNodeSinh: return Op::Sinh;
    case kNodeCosh: return Op::Cosh;
    case kNodeTanh: return Op::Tanh;
    case kNodeSqrt: return Op::Sqrt;
    case kNodeFrac: return Op::Frac;
    case kNodeAtan: return Op::Atan;
    case kNodeFak: return Op::Fak;
    default: return Op::Teta;
  }
}

}  // namespace

// Registers: the variables, then one per instruction (its result), then the constants.
UserProgram TCompiledFormula::ToUserProgram() const {
  UserProgram p;
  p.Registers = values_;
  const int32_t results = static_cast<int32_t>(values_.size());
  p.Registers.resize(values_.size() + code_.size(), 0.0);
  std::map<uint64_t, int32_t> constants;
  auto reg = [&](const Operand& o) -> int32_t {
    switch (o.From) {
      case kRegister: return results + o.Index;
      case kVariable: return o.Index;
      default: {
        const auto [it, added] =
            constants.try_emplace(std::bit_cast<uint64_t>(o.Value), static_cast<int32_t>(p.Registers.size()));
        if (added) p.Registers.push_back(o.Value);
        return it->second;
      }
    }
  };
  for (size_t i = 0; i < code_.size(); ++i) {
    const Instruction& in = code_[i];
    if (i == firstLength_) p.FirstLength = p.Code.size();
    if (in.Kind == kNothing) continue;
    UserProgram::Instruction out;
    out.Kind = OpOfKind(in.Kind);
    out.Outputs = in.Outputs;
    out.Left = reg(in.Left);
    out.Right = IsBinaryKind(in.Kind) ? reg(in.Right) : out.Left;
    out.Out = results + in.Out;
    out.Out2 = results + in.Out2;
    p.Code.push_back(out);
  }
  if (firstLength_ == code_.size()) p.FirstLength = p.Code.size();
  p.Result[0] = reg(results_[0]);
  p.Result[1] = reg(results_[1]);
  p.X = IndexOfVariable("X");
  p.A = IndexOfVariable("A");
  p.B = IndexOfVariable("B");
  p.AB = IndexOfVariable("AB");
  p.BA = IndexOfVariable("BA");
  return p;
}

}  // namespace vantorel
