// User formulas in fast mode (the compiled program in vector lanes) against exact mode and
// against fixed formula 2, the map of the default formula, on the default project's picture
// (194 x 154 pixels) through TRechenThread:
//   BM_UserFormulaPicture/<case>/<fast>/<workers>
//     case 0: the default project, user formula "2,5*sqr(sin(X+AB))"
//     case 1: the same project with the heavier formula of kHeavy
//     case 2: the default project with fixed formula 2
//     fast 0: exact mode, 1: fast mode; workers 1, or 0 for all hardware threads.
// Counters: steps/s by the wall clock, steps/cpu-s by the process's CPU time, and for fast runs
// the stable pixels (exponent below -0.05 in exact mode) and how many of them differ from exact
// mode by at least 1e-9 and by at least 0.01.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "core/RechenThread.h"

using namespace vantorel;

namespace {

const char* const kHeavy = "2,5*sin(X+AB)*cos(X-AB)+0,1137635*exp(-X*X)*AB";

TCalcParams CaseBlock(int which) {
  TCalcParams p = DefaultCalcParams();
  if (which == 1) p.SetFormula(kHeavy);
  if (which == 2) p.FixedFormula = 1;
  return p;
}

// Every pixel runs all its passes (no smart-iterate, no fault in these maps).
double PictureSteps(const TCalcParams& p) {
  const int64_t passes = p.CalmDownIterations / p.SequenceLength + 1 + p.Iterations / p.SequenceLength + 1;
  return double(passes) * p.SequenceLength * p.PictureWidth * p.PictureHeight;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One run of the picture; returns the exponents.
std::vector<double> RunPicture(const TCalcParams& block, bool fast, int workers, int* workerCount = nullptr) {
  const std::string base =
      (std::filesystem::temp_directory_path() / ("vantorel-ubench-" + std::to_string(::getpid()))).string();
  PixelDataFile tmp1, tmp2;
  tmp1.Create(base + ".TMP1");
  tmp2.Create(base + ".TMP2");
  TCalcParams p = block;
  TPicture picture;
  picture.Resize(p.PictureWidth, p.PictureHeight);
  DirectDispatcher direct;
  {
    TRechenThread thread(direct, workers);
    if (workerCount) *workerCount = thread.WorkerCount();
    thread.Setup(p, picture);
    thread.SetFastTrig(fast);
    thread.SetFiles(tmp1, tmp2);
    thread.Resume();
    thread.WaitFor();
  }
  std::vector<double> e(static_cast<size_t>(tmp1.RecordCount()));
  tmp1.ReadAt(0, e.data(), e.size());
  tmp1.Close();
  tmp2.Close();
  std::filesystem::remove(base + ".TMP1");
  std::filesystem::remove(base + ".TMP2");
  return e;
}

// The exact exponents of each case: kept from the exact benchmark, or computed once.
std::map<int, std::vector<double>>& ExactCache() {
  static std::map<int, std::vector<double>> exact;
  return exact;
}
const std::vector<double>& ExactExponents(int which) {
  auto it = ExactCache().find(which);
  if (it == ExactCache().end()) it = ExactCache().emplace(which, RunPicture(CaseBlock(which), false, 0)).first;
  return it->second;
}

void BM_UserFormulaPicture(benchmark::State& state) {
  const int which = int(state.range(0));
  const bool fast = state.range(1) != 0;
  const TCalcParams block = CaseBlock(which);
  int workers = 0;
  std::vector<double> e;
  const double cpu = ProcessCpuSeconds();
  for (auto _ : state) e = RunPicture(block, fast, int(state.range(2)), &workers);
  const double cpuSeconds = ProcessCpuSeconds() - cpu;
  const double steps = PictureSteps(block);
  state.counters["steps/s"] = benchmark::Counter(steps * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["steps/cpu-s"] = steps * double(state.iterations()) / cpuSeconds;
  state.counters["workers"] = workers;
  if (!fast) {
    ExactCache()[which] = e;
    return;
  }
  const std::vector<double>& exact = ExactExponents(which);
  int stable = 0, apart9 = 0, apart2 = 0;
  for (size_t i = 0; i < exact.size() && i < e.size(); ++i) {
    if (!(exact[i] < -0.05)) continue;
    ++stable;
    apart9 += std::fabs(e[i] - exact[i]) >= 1e-9;
    apart2 += std::fabs(e[i] - exact[i]) >= 0.01;
  }
  state.counters["stable"] = stable;
  state.counters["apart>=1e-9"] = apart9;
  state.counters["apart>=0.01"] = apart2;
}
BENCHMARK(BM_UserFormulaPicture)
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
