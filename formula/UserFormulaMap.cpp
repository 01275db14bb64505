#include "formula/UserFormulaMap.h"

#include <algorithm>
#include <array>

#include "core/IoError.h"
#include "core/UserProgram.h"
#include "formula/CompiledFormula.h"
#include "formula/Formula.h"

namespace vantorel {

namespace {

// The names a user formula is iterated with, in the order of the index arrays below.
constexpr std::array<const char*, 5> kNames = {"X", "A", "B", "AB", "BA"};
enum { kX, kA, kB, kAB, kBA };

// F and dF/dX compiled into one program, with the five variables looked up once.
struct BoundFormulas {
  TCompiledFormula Program;
  std::array<int32_t, 5> Index{};

  BoundFormulas(const TFormula& value, const TFormula& slope) : Program(value, slope) {
    for (size_t i = 0; i < kNames.size(); ++i) Index[i] = Program.IndexOfVariable(kNames[i]);
  }
  void Set(int which, double v) {
    if (Index[which] >= 0) Program.SetVariableByIndex(Index[which], v);
  }
};

// F and dF/dX of a user formula for one worker thread. A name that both use is one variable
// of the program, set once per step for both.
class FormulaMap final : public IUserMap {
 public:
  explicit FormulaMap(const BoundFormulas& formulas) : f_(formulas) {}

  void Begin(double a, double b) override {
    f_.Set(kA, a);
    f_.Set(kB, b);
  }
  double Next(double x, double ab, double ba) override {
    Bind(x, ab, ba);
    return f_.Program.Evaluate();
  }
  double Step(double x, double ab, double ba, double& d) override {
    Bind(x, ab, ba);
    double next;
    f_.Program.EvaluateBoth(next, d);
    return next;
  }

 private:
  void Bind(double x, double ab, double ba) {
    f_.Set(kAB, ab);
    f_.Set(kBA, ba);
    f_.Set(kX, x);
  }
  BoundFormulas f_;
};

class FormulaMapFactory final : public UserMapFactory {
 public:
  explicit FormulaMapFactory(BoundFormulas formulas)
      : f_(std::move(formulas)), program_(std::make_shared<const UserProgram>(f_.Program.ToUserProgram())) {}
  std::unique_ptr<IUserMap> Create() const override { return std::make_unique<FormulaMap>(f_); }
  std::shared_ptr<const UserProgram> VectorProgram() const override { return program_; }

 private:
  BoundFormulas f_;
  std::shared_ptr<const UserProgram> program_;
};

[[noreturn]] void Refuse(const std::string& text, const std::vector<std::string>& messages) {
  std::string why;
  for (const std::string& m : messages) {
    if (!why.empty()) why += "\n";
    why += m;
  }
  std::replace(why.begin(), why.end(), '\r', '\n');
  throw FormatError("The user formula \"" + text + "\" cannot be computed:\n" + why);
}

// Loads the formula, derived with respect to X when asked; refuses it when it does not convert.
void LoadFormula(TFormula& f, const std::string& text, bool derive) {
  CollectingMessageSink sink;
  f.Messages = &sink;
  try {
    f.Load(text);
    if (f.Ok() && derive) f.Derive("X");
  } catch (const FormulaError& e) {
    sink.Messages.emplace_back(e.what());
  }
  f.Messages = nullptr;
  if (!f.Ok()) {
    if (sink.Messages.empty()) sink.Messages.emplace_back("Fehler in Formel");
    Refuse(text, sink.Messages);
  }
  f.ShowMessages = false;
}

}  // namespace

// The one place where a user formula is turned into a map for the computation: F and dF/dX
// are converted, simplified and compiled once per run; workers copy the programs.
std::shared_ptr<const UserMapFactory> PrepareFormulaMap(const TCalcParams& params) {
  TFormula value;
  LoadFormula(value, params.FormulaText, false);
  TFormula slope;
  LoadFormula(slope, params.FormulaText, true);
  return std::make_shared<FormulaMapFactory>(BoundFormulas(value, slope));
}

void InstallUserFormulas() { InstallUserMapPreparer(&PrepareFormulaMap); }

}  // namespace vantorel
