// The expression tree of a user formula: node kinds, the function name table, nodes and
// variables.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vantorel {

// Node kind codes. The function codes index kFunctionNames (code 10 + i); the operator codes
// k have the text kFunctionNames[17 + k].
enum : int32_t {
  kNodeUnfilled = -1,
  kNodeConstant = 0,
  kNodeAdd = 1,
  kNodeSubtract = 2,
  kNodeMultiply = 3,
  kNodeDivide = 4,
  kNodePower = 5,
  kNodeVariable = 9,
  kNodeSin = 10,
  kNodeCos = 11,
  kNodeTan = 12,
  kNodeMax = 13,
  kNodeMin = 14,
  kNodeExp = 15,
  kNodeLog = 16,
  kNodeSqr = 17,
  kNodeInt = 18,
  kNodeAbs = 19,
  kNodeSinh = 20,
  kNodeCosh = 21,
  kNodeTanh = 22,
  kNodeSqrt = 23,
  kNodeFrac = 24,
  kNodeAtan = 25,
  kNodeFak = 26,
  kNodeTeta = 27,
};

constexpr int32_t kFirstFunction = kNodeSin;
constexpr int32_t kLastFunction = kNodeTeta;

// Four-character function keys (keys ending in "(" are three-letter functions), then the
// operator texts.
constexpr std::array<std::string_view, 23> kFunctionNames = {
    "SIN(", "COS(", "TAN(", "MAX(", "MIN(", "EXP(", "LOG(", "SQR(", "INT(", "ABS(", "SINH", "COSH",
    "TANH", "SQRT", "FRAC", "ATAN", "FAK(", "TETA", "+",    "-",    "*",    "/",    "^"};

inline bool IsFunctionKind(int32_t kind) { return kind >= kFirstFunction && kind <= kLastFunction; }
inline bool IsOperatorKind(int32_t kind) { return kind >= kNodeAdd && kind <= kNodePower; }
inline std::string_view FunctionKey(int32_t kind) { return kFunctionNames[kind - kFirstFunction]; }
inline std::string_view OperatorText(int32_t kind) { return kFunctionNames[17 + kind]; }
// Three-letter functions have keys ending in "(".
inline bool IsThreeLetterFunction(int32_t kind) { return FunctionKey(kind).back() == '('; }

struct TFormulaVariable {
  std::string Name;  // upper case
  double Value = 1.0;
};

struct TFormulaNode {
  int32_t Kind = kNodeUnfilled;
  std::unique_ptr<TFormulaNode> Left;    // first operand, or the function's argument
  std::unique_ptr<TFormulaNode> Right;   // second operand (operators, MAX, MIN)
  TFormulaVariable* Variable = nullptr;  // variable nodes: the variable's record
  double Value = 1.0;                    // constant: the number; variable: its value when parsed
};

}  // namespace vantorel
