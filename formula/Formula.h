// TFormula: parser, evaluator and symbolic differentiator of a user formula F(X, AB) over
// real numbers. A text becomes an expression tree with a list of the variables met in it
// ("PI" always first); the tree is evaluated with operand limits that keep every value inside
// the double range, written back as text, simplified, and differentiated symbolically.
//
// An object is used by one thread only. Conversion works on strings and allocates; Evaluate
// does neither (unless messages about domain errors are switched on).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formula/FormulaNodes.h"
#include "formula/MessageSink.h"

namespace vantorel {

// A formula that cannot be taken in: a number text that does not convert, or a constant part
// that divides by zero or overflows when it is folded. The text says which.
class FormulaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TFormula {
 public:
  // Longest formula text (spaces removed) that is converted.
  static constexpr size_t kMaxTextLength = 100000;
  // Deepest tree, and most layers of brackets around one piece.
  static constexpr int kMaxDepth = 400;
  // Most passes of Simplify; each pass folds at least one more level of constants.
  static constexpr int kMaxSimplifyPasses = 200;

  TFormula();
  ~TFormula();
  TFormula(const TFormula&) = delete;
  TFormula& operator=(const TFormula&) = delete;

  // Conversion failures are shown (in Messages) when set; true after creation.
  bool ShowMessages = true;
  // Domain errors of evaluation, warnings of the derivative and missing variables are shown
  // when set; false after creation.
  bool ReportMathErrors = false;
  // Receives the shown messages; none: they are dropped.
  IMessageSink* Messages = nullptr;

  // The last conversion succeeded.
  bool Ok() const { return ok_; }
  // Entries of the variable list after the last successful conversion (PI included).
  int32_t VariableCount() const { return variableCount_; }
  // After SetFormula the text with spaces removed; after Simplify the internal formula.
  const std::string& Text() const { return text_; }
  // The tree; null until the first conversion.
  const TFormulaNode* Root() const { return root_.get(); }
  // Entry 0 is "PI" (after a conversion); the others in order of first appearance.
  const std::vector<std::unique_ptr<TFormulaVariable>>& Variables() const { return variables_; }

  // Appends the variable "PI" with the value of pi.
  void AddPi();
  // Converts a text into the tree and the variable list. Sets Ok. Throws FormulaError when a
  // number text does not convert.
  void SetFormula(std::string_view text);
  // AddPi, SetFormula, then Simplify: the way every client takes a formula in. Afterwards Text
  // is the internal formula. Throws FormulaError (see SetFormula and SimplifyText).
  void Load(std::string_view text);
  // Replaces the formula by its simplified form until the text stays the same.
  void Simplify();
  // Simplified text of a subtree: constants folded, neutral elements dropped. Throws
  // FormulaError when a fold divides by zero or overflows.
  std::string SimplifyText(const TFormulaNode* node);
  // Fully bracketed text of a subtree.
  std::string ToText(const TFormulaNode* node) const;
  // Text of the derivative of a subtree with respect to a variable (upper-case name).
  std::string DerivativeText(const TFormulaNode* node, std::string_view variable);
  // Replaces the formula by its simplified derivative with respect to the variable. A
  // derivative beyond the length or depth limits says "formula too large to differentiate".
  void Derive(std::string_view variable);

  std::string VariableName(int32_t index) const;
  // Index in the variable list of a name (any case); -1 when the formula does not use it.
  int32_t IndexOfVariable(std::string_view name);
  void SetVariable(std::string_view name, double value);
  // index must be valid (0 to the count of variables - 1).
  void SetVariableByIndex(int32_t index, double value) { variables_[static_cast<size_t>(index)]->Value = value; }

  // Value of the formula for the current variable values. Never raises: a value that leaves
  // the double range despite the operand limits makes the result 1.0.
  double Evaluate();
  // Value of a subtree, as Evaluate (1.0 when it leaves the double range), without messages.
  double EvaluateNode(const TFormulaNode* node);
  // The value of FAK.
  static double Factorial(double x);

 private:
  void Show(std::string_view text) const;
  void ReportMath(std::string_view text) const;
  void Parse(std::string s, TFormulaNode& node, int depth);
  std::string Joined(std::string_view open, const TFormulaNode* l, std::string_view middle, const TFormulaNode* r,
                     std::string_view close);
  double Walk(const TFormulaNode* node, bool& fault);
  TFormulaVariable& VariableFor(const std::string& name);

  std::vector<std::unique_ptr<TFormulaVariable>> variables_;
  std::unique_ptr<TFormulaNode> root_;
  bool ok_ = false;
  bool guardHit_ = false;  // the last conversion stopped at the length or depth limit
  int32_t variableCount_ = 0;
  std::string text_;
};

// Upper case of the ASCII letters of a text.
std::string FormulaUpperCase(std::string_view text);

}  // namespace vantorel
