#include "formula/Formula.h"

#include <algorithm>
#include <cmath>

#include "core/NumberText.h"
#include "formula/FormulaMath.h"

namespace vantorel {

using formula_math::MathFault;

namespace {

constexpr double kPiValue = 3.141592653589793;
constexpr double kDivisorSubstitute = 1e-100;

const char* const kMsgEnterFormula = "Formel eingeben!!";
const char* const kMsgBracketError = "Klammerfehler !!! in";
const char* const kMsgFormulaError = "Fehler in Formel";
const char* const kMsgNoValue = "Wert nicht ermittelbar";
const char* const kMsgNotDifferentiable = "VORSICHT! Nicht differenzierbare Funktion!";
const char* const kMsgDiscontinuous = "VORSICHT! Unstetige Funktion!";
const char* const kMsgTooLarge = "formula too large to differentiate";
const char* const kMsgMissingVariable = "Ich kann eine Variable nicht finden.\rVielleicht wurde sie abgelitten!";

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == ',' || c == '-'; }

bool IsOperatorChar(char c) { return c == '+' || c == '-' || c == '*' || c == '/' || c == ':' || c == '^'; }

int BracketDelta(char c) { return c == '(' ? 1 : (c == ')' ? -1 : 0); }

int32_t OperatorCode(char c) {
  switch (c) {
    case '+': return kNodeAdd;
    case '-': return kNodeSubtract;
    case '*': return kNodeMultiply;
    case '/':
    case ':': return kNodeDivide;
    case '^': return kNodePower;
    default: return -1;
  }
}

int32_t FunctionCode(std::string_view s) {
  if (s.size() < 4) return -1;
  for (int32_t kind = kFirstFunction; kind <= kLastFunction; ++kind)
    if (s.substr(0, 4) == FunctionKey(kind)) return kind;
  return -1;
}

bool AllNumberChars(std::string_view s) { return std::all_of(s.begin(), s.end(), IsNumberChar); }

// Brackets balance: the count never falls below zero and ends at zero.
bool Balanced(std::string_view s) {
  int count = 0;
  for (char c : s) {
    count += BracketDelta(c);
    if (count < 0) return false;
  }
  return count == 0;
}

// Index of the ")" that closes the "(" at open, or npos when the piece ends first.
size_t MatchForward(std::string_view s, size_t open) {
  int count = 0;
  for (size_t i = open; i < s.size(); ++i) {
    count += BracketDelta(s[i]);
    if (count == 0) return i;
  }
  return std::string_view::npos;
}

// Index of the "(" that opens the ")" at close, or npos when the piece starts first.
size_t MatchBackward(std::string_view s, size_t close) {
  int count = 0;
  for (size_t i = close + 1; i-- > 0;) {
    count -= BracketDelta(s[i]);
    if (count == 0) return i;
  }
  return std::string_view::npos;
}

enum class Scan { Found, None, LeftPiece };

// The rightmost operator outside brackets: a "+" or "-" that is not the sign of its operand
// (weak), or a "*", "/" or "^" (strong). The last character is examined only for a ")".
Scan FindOperator(std::string_view s, bool weak, size_t& position) {
  if (s.empty()) return Scan::None;
  size_t i = s.size() - 1;
  for (;;) {
    if (s[i] == ')') {
      i = MatchBackward(s, i);
      if (i == std::string_view::npos) return Scan::LeftPiece;
    }
    if (i == 0) return Scan::None;
    --i;
    const int32_t code = OperatorCode(s[i]);
    const bool hit = weak ? ((code == kNodeAdd || code == kNodeSubtract) && (i == 0 || !IsOperatorChar(s[i - 1])))
                          : (code == kNodeMultiply || code == kNodeDivide || code == kNodePower);
    if (hit) {
      position = i;
      return Scan::Found;
    }
  }
}

std::string NumberText(double v) { return FloatToPlainText(v); }

bool IsConstant(const TFormulaNode* node) { return node && node->Kind == kNodeConstant; }
bool IsConstant(const TFormulaNode* node, double c) { return IsConstant(node) && node->Value == c; }

// The text of a folded constant; a value outside the double range cannot be written.
std::string FoldText(long double v) {
  const double d = static_cast<double>(v);
  if (!std::isfinite(d))
    throw FormulaError("floating point overflow in the formula: a constant part is too large to compute");
  return NumberText(d);
}

const char* MathFaultText(MathFault fault) {
  switch (fault) {
    case MathFault::DivisionByZero: return "Division durch null !";
    case MathFault::PowerNegativeBase: return "Log(x) mit x<0 !";
    case MathFault::PowerZeroBase: return "Log(x) mit x=0 !";
    case MathFault::LogNonPositive: return "Log(x) mit x<=0 !";
    case MathFault::SqrtNegative: return "Wurzel(-X) !";
    case MathFault::UnknownNode: return kMsgNoValue;
    case MathFault::None: break;
  }
  return "";
}

}  // namespace

std::string FormulaUpperCase(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

TFormula::TFormula() = default;
TFormula::~TFormula() = default;

// The text becomes a string only when it is shown: evaluation allocates nothing otherwise.
void TFormula::Show(std::string_view text) const {
  if (ShowMessages && Messages) Messages->Show(std::string(text));
}

void TFormula::ReportMath(std::string_view text) const {
  if (ReportMathErrors && Messages) Messages->Show(std::string(text));
}

void TFormula::AddPi() {
  auto pi = std::make_unique<TFormulaVariable>();
  pi->Name = "PI";
  pi->Value = kPiValue;
  variables_.push_back(std::move(pi));
}

void TFormula::SetFormula(std::string_view text) {
  ok_ = true;
  if (text.empty()) {
    Show(kMsgEnterFormula);
    ok_ = false;
    return;
  }
  std::string t;
  t.reserve(text.size());
  for (char c : text)
    if (c != ' ') t.push_back(c);
  guardHit_ = false;
  if (t.size() > kMaxTextLength) {
    guardHit_ = true;
    Show("Formel zu lang !!! (höchstens " + std::to_string(kMaxTextLength) + " Zeichen)");
    ok_ = false;
    return;
  }
  if (!Balanced(t)) {
    Show(std::string(kMsgBracketError) + "\r" + t);
    ok_ = false;
    return;
  }
  variables_.clear();
  AddPi();
  root_ = std::make_unique<TFormulaNode>();
  text_ = t;
  // The parser reads "." as "," and ":" as "/".
  std::string upper = FormulaUpperCase(t);
  std::replace(upper.begin(), upper.end(), '.', ',');
  std::replace(upper.begin(), upper.end(), ':', '/');
  try {
    Parse(std::move(upper), *root_, 1);
  } catch (...) {
    ok_ = false;
    root_.reset();
    throw;
  }
  if (!ok_)
    Show(kMsgFormulaError);
  else
    variableCount_ = static_cast<int32_t>(variables_.size());
}

TFormulaVariable& TFormula::VariableFor(const std::string& name) {
  for (auto& v : variables_)
    if (v->Name == name) return *v;
  auto v = std::make_unique<TFormulaVariable>();
  v->Name = name;
  variables_.push_back(std::move(v));
  return *variables_.back();
}

void TFormula::Parse(std::string s, TFormulaNode& node, int depth) {
  if (!ok_) return;
  if (depth > kMaxDepth) {
    ok_ = false;
    guardHit_ = true;
    return;
  }
  if (s.empty()) {
    node.Kind = kNodeConstant;
    node.Value = 0.0;
    return;
  }
  node.Kind = kNodeUnfilled;
  node.Left.reset();
  node.Right.reset();

  // Outer brackets around the whole piece (as many layers as the tree may be deep).
  for (int layers = 0; s.size() > 2 && s[0] == '('; ++layers) {
    const size_t close = MatchForward(s, 0);
    if (close == std::string::npos) {
      ok_ = false;
      return;
    }
    if (close != s.size() - 1) break;
    if (layers == kMaxDepth) {
      ok_ = false;
      guardHit_ = true;
      return;
    }
    s = s.substr(1, s.size() - 2);
  }

  // Leading sign before anything but a number: "-" means 0 minus the rest, "+" is dropped.
  const bool signBeforeOther = s.size() < 2 || !IsNumberChar(s[1]);
  if (s[0] == '-' && signBeforeOther)
    s.insert(0, "0");
  else if (s[0] == '+' && signBeforeOther)
    s.erase(0, 1);

  if (AllNumberChars(s)) {
    if (const auto v = TextToFloat(s)) {
      node.Kind = kNodeConstant;
      node.Value = *v;
      return;
    }
  }

  for (const bool weak : {true, false}) {
    size_t p = 0;
    const Scan scan = FindOperator(s, weak, p);
    if (scan == Scan::LeftPiece) {
      ok_ = false;
      return;
    }
    if (scan == Scan::Found) {
      node.Kind = OperatorCode(s[p]);
      node.Value = 1.0;
      node.Left = std::make_unique<TFormulaNode>();
      node.Right = std::make_unique<TFormulaNode>();
      Parse(s.substr(0, p), *node.Left, depth + 1);
      Parse(s.substr(p + 1), *node.Right, depth + 1);
      return;
    }
  }

  const int32_t code = FunctionCode(s);
  if (code >= 0) {
    node.Kind = code;
    node.Value = 1.0;
    // The last character is taken as the closing bracket.
    const size_t end = s.size() - 1;
    auto piece = [&](size_t from, size_t to) { return from < to ? s.substr(from, to - from) : std::string(); };
    if (code == kNodeMax || code == kNodeMin) {
      const size_t semicolon = s.find(';');
      if (semicolon == std::string::npos) {
        ok_ = false;
        return;
      }
      std::string first = piece(4, semicolon);
      std::string second = piece(semicolon + 1, end);
      if (!Balanced(first) || !Balanced(second)) {
        ok_ = false;
        return;
      }
      node.Left = std::make_unique<TFormulaNode>();
      node.Right = std::make_unique<TFormulaNode>();
      Parse(std::move(first), *node.Left, depth + 1);
      Parse(std::move(second), *node.Right, depth + 1);
    } else {
      // Three-letter keys include the "("; a four-letter key is followed by it.
      std::string argument = piece(IsThreeLetterFunction(code) ? 4 : 5, end);
      if (!Balanced(argument)) {
        ok_ = false;
        return;
      }
      node.Left = std::make_unique<TFormulaNode>();
      Parse(std::move(argument), *node.Left, depth + 1);
    }
    return;
  }

  if (AllNumberChars(s)) {
    const auto v = TextToFloat(s);
    if (!v) throw FormulaError("'" + s + "' is not a valid number");
    node.Kind = kNodeConstant;
    node.Value = *v;
    return;
  }

  TFormulaVariable& variable = VariableFor(s);
  node.Kind = kNodeVariable;
  node.Variable = &variable;
  node.Value = variable.Value;
}

void TFormula::Load(std::string_view text) {
  AddPi();
  SetFormula(text);
  if (ok_) Simplify();
}

void TFormula::Simplify() {
  if (!ok_ || !root_) return;
  std::string t = text_;
  for (int pass = 0; pass < kMaxSimplifyPasses; ++pass) {
    const std::string previous = std::move(t);
    try {
      t = SimplifyText(root_.get());
    } catch (...) {
      ok_ = false;  // a fold that cannot be computed: the formula cannot be used
      throw;
    }
    SetFormula(t);
    if (!ok_ || t == previous) break;
  }
}

// The simplified texts of two subtrees between three pieces of text. The left subtree is
// simplified first, so that its messages and errors come first, as the text reads (the operands
// of a chained string "+" may be evaluated in any order).
std::string TFormula::Joined(std::string_view open, const TFormulaNode* l, std::string_view middle,
                             const TFormulaNode* r, std::string_view close) {
  std::string text(open);
  text += SimplifyText(l);
  text += middle;
  text += SimplifyText(r);
  text += close;
  return text;
}

std::string TFormula::SimplifyText(const TFormulaNode* node) {
  if (!node) return "";
  const TFormulaNode* l = node->Left.get();
  const TFormulaNode* r = node->Right.get();
  using LD = long double;
  switch (node->Kind) {
    case kNodeConstant: return NumberText(node->Value);
    case kNodeVariable: return node->Variable->Name;
    case kNodeAdd:
      if (IsConstant(l, 0)) return SimplifyText(r);
      if (IsConstant(r, 0)) return SimplifyText(l);
      if (IsConstant(l) && IsConstant(r)) return FoldText(LD(l->Value) + LD(r->Value));
      return Joined("(", l, "+", r, ")");
    case kNodeSubtract:
      if (IsConstant(r, 0)) return SimplifyText(l);
      if (IsConstant(l) && IsConstant(r)) return FoldText(LD(l->Value) - LD(r->Value));
      return Joined("(", l, "-", r, ")");
    case kNodeMultiply:
      if (IsConstant(l, 0) || IsConstant(r, 0)) return "0";
      if (IsConstant(l, 1)) return SimplifyText(r);
      if (IsConstant(r, 1)) return SimplifyText(l);
      if (IsConstant(l, -1)) return "-" + SimplifyText(r);
      if (IsConstant(r, -1)) return "-" + SimplifyText(l);
      if (IsConstant(l) && IsConstant(r)) return FoldText(LD(l->Value) * LD(r->Value));
      return Joined("(", l, ")*(", r, ")");
    case kNodeDivide:
      if (IsConstant(l, 0)) return "0";
      if (IsConstant(r)) {
        if (r->Value == 0) throw FormulaError("division by zero in the formula: a divisor is the constant 0");
        std::string dividend = SimplifyText(l);
        return "(" + dividend + ")*(" + FoldText(1.0L / LD(r->Value)) + ")";
      }
      return Joined("(", l, ")/(", r, ")");
    case kNodePower:
      if (IsConstant(l, 0)) return "0";
      if (IsConstant(l, 1)) return "1";
      if (IsConstant(r, 1)) return SimplifyText(l);
      if (IsConstant(l) && IsConstant(r))
        return l->Value < 0 ? "-10000" : FoldText(formula_math::PowerValue(l->Value, r->Value));
      return Joined("(", l, ")^(", r, ")");
    case kNodeMax:
    case kNodeMin: return Joined(FunctionKey(node->Kind), l, ";", r, ")");
    default: break;
  }
  if (!IsFunctionKind(node->Kind)) return "";
  if (!IsConstant(l)) {
    const std::string key(FunctionKey(node->Kind));
    return IsThreeLetterFunction(node->Kind) ? key + SimplifyText(l) + ")" : key + "(" + SimplifyText(l) + ")";
  }
  const double c = l->Value;
  if (node->Kind == kNodeLog) {
    if (c > 0) return FoldText(formula_math::FunctionValue(kNodeLog, c));
    ReportMath("Log(-X) !");
    return "-10000";
  }
  if (node->Kind == kNodeSqrt && c < 0) {
    ReportMath("Wurzel(-X) !");
    return FoldText(formula_math::FunctionValue(kNodeSqrt, -LD(c)));
  }
  return FoldText(formula_math::FunctionValue(node->Kind, c));
}

std::string TFormula::ToText(const TFormulaNode* node) const {
  if (!node) return "";
  const int32_t kind = node->Kind;
  if (kind == kNodeConstant) return NumberText(node->Value);
  if (kind == kNodeVariable) return node->Variable->Name;
  if (IsOperatorKind(kind))
    return "((" + ToText(node->Left.get()) + ")" + std::string(OperatorText(kind)) + "(" + ToText(node->Right.get()) +
           "))";
  if (!IsFunctionKind(kind)) return "";
  const std::string key(FunctionKey(kind));
  if (kind == kNodeMax || kind == kNodeMin)
    return key + ToText(node->Left.get()) + ";" + ToText(node->Right.get()) + ")";
  if (IsThreeLetterFunction(kind)) return key + ToText(node->Left.get()) + ")";
  return key + "(" + ToText(node->Left.get()) + ")";
}

std::string TFormula::DerivativeText(const TFormulaNode* node, std::string_view variable) {
  if (!node) return "";
  const TFormulaNode* l = node->Left.get();
  const TFormulaNode* r = node->Right.get();
  switch (node->Kind) {
    case kNodeConstant: return "0";
    case kNodeVariable: return node->Variable->Name == variable ? "1" : "0";
    default: break;
  }
  if (!IsOperatorKind(node->Kind) && !IsFunctionKind(node->Kind)) return "";
  const std::string u = ToText(l);
  const std::string du = DerivativeText(l, variable);
  const bool binary = node->Kind <= kNodePower || node->Kind == kNodeMax || node->Kind == kNodeMin;
  const std::string w = binary ? ToText(r) : std::string();
  const std::string dw = binary ? DerivativeText(r, variable) : std::string();
  switch (node->Kind) {
    case kNodeAdd: return du + "+" + dw;
    case kNodeSubtract: return du + "-(" + dw + ")";
    case kNodeMultiply: return "(" + du + ")*(" + w + ")+(" + dw + ")*(" + u + ")";
    case kNodeDivide: return "((" + du + ")*(" + w + ")-(" + dw + ")*(" + u + "))/sqr(" + w + ")";
    case kNodePower:
      return "((" + u + ")^(" + w + "))*(((" + dw + ")*log(" + u + "))+((" + du + ")*(" + w + ")/(" + u + ")))";
    case kNodeSin: return "cos(" + u + ")*(" + du + ")";
    case kNodeCos: return "(0-sin(" + u + "))*(" + du + ")";
    case kNodeTan: return "(" + du + ")/(sqr(cos(" + u + ")))";
    case kNodeMax:
      ReportMath(kMsgNotDifferentiable);
      return "teta((" + u + ")-(" + w + "))*(" + du + ")+teta((" + w + ")-(" + u + "))*(" + dw + ")";
    case kNodeMin:
      ReportMath(kMsgNotDifferentiable);
      return "teta((" + w + ")-(" + u + "))*(" + du + ")+teta((" + u + ")-(" + w + "))*(" + dw + ")";
    case kNodeExp: return "exp(" + u + ")*(" + du + ")";
    case kNodeLog: return "(" + du + ")/(" + u + ")";
    case kNodeSqr: return "2*(" + u + ")*(" + du + ")";
    case kNodeInt:
    case kNodeTeta: ReportMath(kMsgDiscontinuous); return "0";
    case kNodeAbs: ReportMath(kMsgNotDifferentiable); return "abs(" + du + ")";
    case kNodeSinh: return "cosh(" + u + ")*(" + du + ")";
    case kNodeCosh: return "sinh(" + u + ")*(" + du + ")";
    case kNodeTanh: return "(" + du + ")/(sqr(cosh(" + u + ")))";
    case kNodeSqrt: return "(" + du + ")/(2*sqrt(" + u + "))";
    case kNodeFrac: ReportMath(kMsgDiscontinuous); return "(" + du + ")";
    case kNodeAtan: return "(" + du + ")/(1+sqr(" + u + "))";
    case kNodeFak:
      ReportMath(kMsgNotDifferentiable);
      return "(fak(" + u + ")*((" + du + ")*log(" + u + ")+frac(" + u + ")/(" + u + ")))";
    default: return "";
  }
}

void TFormula::Derive(std::string_view variable) {
  const std::string name = FormulaUpperCase(variable);
  if (!ok_ || !root_) {
    ok_ = false;
    Show(kMsgFormulaError);
    return;
  }
  const std::string t = DerivativeText(root_.get(), name);
  // The derivative's text is built here, so the only way its conversion fails is a guard of
  // length or depth: say that rather than the conversion's own messages.
  const bool show = ShowMessages;
  ShowMessages = false;
  try {
    SetFormula(FormulaUpperCase(t));
    if (ok_) Simplify();
  } catch (...) {
    ShowMessages = show;
    throw;
  }
  ShowMessages = show;
  if (!ok_) Show(guardHit_ ? kMsgTooLarge : kMsgFormulaError);
}

std::string TFormula::VariableName(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= variables_.size()) return "";
  return variables_[static_cast<size_t>(index)]->Name;
}

int32_t TFormula::IndexOfVariable(std::string_view name) {
  const std::string upper = FormulaUpperCase(name);
  for (size_t i = 0; i < variables_.size(); ++i)
    if (variables_[i]->Name == upper) return static_cast<int32_t>(i);
  ReportMath(kMsgMissingVariable);
  return -1;
}

void TFormula::SetVariable(std::string_view name, double value) {
  const std::string upper = FormulaUpperCase(name);
  for (auto& v : variables_)
    if (v->Name == upper) {
      v->Value = value;
      return;
    }
  ReportMath(kMsgMissingVariable);
}

double TFormula::Walk(const TFormulaNode* node, bool& fault) {
  if (!node) {
    Show(kMsgNoValue);
    return 1.0;
  }
  const int32_t kind = node->Kind;
  if (kind == kNodeConstant) return node->Value;
  if (kind == kNodeVariable) return node->Variable->Value;
  if (!IsOperatorKind(kind) && !IsFunctionKind(kind)) {
    Show(kMsgNoValue);
    return 1.0;
  }
  double l = 0.0;
  double r = 0.0;
  if (IsOperatorKind(kind) || kind == kNodeMax || kind == kNodeMin) {
    // The divisor is evaluated, and a zero divisor replaced and reported, before the dividend.
    if (kind == kNodeDivide) {
      r = Walk(node->Right.get(), fault);
      if (!fault && r == 0) {
        r = kDivisorSubstitute;
        ReportMath(MathFaultText(MathFault::DivisionByZero));
      }
      if (!fault) l = Walk(node->Left.get(), fault);
    } else {
      l = Walk(node->Left.get(), fault);
      if (!fault) r = Walk(node->Right.get(), fault);
    }
  } else {
    l = Walk(node->Left.get(), fault);
  }
  if (fault) return 1.0;
  MathFault math = MathFault::None;
  const double v = formula_math::EvaluateOperation(kind, l, r, math);
  if (math != MathFault::None) ReportMath(MathFaultText(math));
  if (formula_math::IsFault(v)) fault = true;
  return v;
}

double TFormula::EvaluateNode(const TFormulaNode* node) {
  bool fault = false;
  const double v = Walk(node, fault);
  return fault ? 1.0 : v;
}

double TFormula::Evaluate() {
  bool fault = false;
  const double v = Walk(root_.get(), fault);
  if (!fault) return v;
  Show(kMsgNoValue);
  return 1.0;
}

double TFormula::Factorial(double x) { return static_cast<double>(formula_math::FactorialValue(x)); }

}  // namespace vantorel
