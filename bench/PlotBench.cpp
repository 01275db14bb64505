// The bifurcation graph of the default formula at the plot window's default settings (AB from
// 0 to 4, 500 iterations, 400 x 400), computed whole; and the longest time one slice of it
// runs when the window asks for 20 ms slices (the window processes its events between
// slices, so this is the longest time the user interface waits).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "formula/Plot.h"

namespace {

using namespace vantorel;
using Clock = std::chrono::steady_clock;

TFormula& DefaultFormula() {
  static TFormula f;
  static bool loaded = false;
  if (!loaded) {
    f.ShowMessages = false;
    f.Load("2,5*sqr(sin(X+AB))");
    f.SetVariable("A", 1);
    f.SetVariable("B", 1);
    f.SetVariable("BA", 1);
    loaded = true;
  }
  return f;
}

void BM_FeigenbaumGraphDefault(benchmark::State& state) {
  for (auto _ : state) {
    BifurcationGraph graph(DefaultFormula(), "AB", BifurcationSettings{}, 1);
    std::vector<std::pair<int, int>> progress;
    graph.Run(Clock::now() + std::chrono::hours(1), progress);
    benchmark::DoNotOptimize(graph.Marks().data());
  }
}
BENCHMARK(BM_FeigenbaumGraphDefault)->Unit(benchmark::kMillisecond);

// Slices of 20 ms at the largest iteration count: the counter is the longest slice in ms.
void BM_FeigenbaumSliceLargestCount(benchmark::State& state) {
  BifurcationSettings settings;
  settings.Iterations = 1000000000;
  BifurcationGraph graph(DefaultFormula(), "AB", settings, 1);
  std::vector<std::pair<int, int>> progress;
  double longest = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    graph.Run(start + std::chrono::milliseconds(20), progress);
    longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  state.counters["longest_slice_ms"] = longest;
}
BENCHMARK(BM_FeigenbaumSliceLargestCount)->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
