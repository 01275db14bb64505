// The computation's speed:
//   BM_FixedFormulaStep/<formula>  the bare plain kernel of each fixed formula, per step;
//   BM_BareLoop                    every pixel of a picture mapped and computed in a loop;
//   BM_EngineRun/<workers>         the same picture through TRechenThread with real data files
//                                  (0 = all hardware threads).
// Speed-up = pixels/s of BM_EngineRun/0 over BM_EngineRun/1; the engine's overhead =
// pixels/s of BM_BareLoop over BM_EngineRun/1. On a machine busy with other work the wall-clock
// figures wander; cpu/pixel (the process's CPU time, every thread, per pixel) compares the work
// done regardless.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "core/Kernels.h"
#include "core/RechenThread.h"

using namespace vantorel;

namespace {

constexpr int32_t kSide = 320;  // 102 400 pixels

TCalcParams PictureParams() {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 1;  // formula 2, the default choice
  p.PictureWidth = kSide;
  p.PictureHeight = kSide;
  return p;
}

// Points of the AB-plane where every fixed formula stays bounded.
std::vector<PixelInput> SamplePoints() {
  std::vector<PixelInput> points;
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 32; ++j) points.push_back(PixelInput{2.5 + i * 1.5 / 32, 2.5 + j * 1.5 / 32, true, 0, 0});
  return points;
}

template <int F>
void BM_FixedFormulaStep(benchmark::State& state) {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = F;
  const KernelParams p = KernelParamsFrom(block);
  const std::vector<PixelInput> points = SamplePoints();
  StepCountingMap<FixedMap<F>> counter{FixedMap<F>(p)};  // an orbit that faults ends early
  PixelResult out;
  for (const PixelInput& in : points) RunPlainKernel(counter, p, in, out);
  FixedMap<F> map(p);
  double sink = 0;
  for (auto _ : state) {
    for (const PixelInput& in : points) {
      RunPlainKernel(map, p, in, out);
      sink += out.E;
    }
  }
  benchmark::DoNotOptimize(sink);
  const double steps = double(counter.calmSteps + counter.sumSteps) * double(state.iterations());
  state.counters["steps/s"] = benchmark::Counter(steps, benchmark::Counter::kIsRate);
  // Shown as a time: the CPU time of one step.
  state.counters["time/step"] = benchmark::Counter(steps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FixedFormulaStep<0>)->Name("BM_FixedFormulaStep/1");
BENCHMARK(BM_FixedFormulaStep<1>)->Name("BM_FixedFormulaStep/2");
BENCHMARK(BM_FixedFormulaStep<2>)->Name("BM_FixedFormulaStep/3");
BENCHMARK(BM_FixedFormulaStep<3>)->Name("BM_FixedFormulaStep/4");
BENCHMARK(BM_FixedFormulaStep<4>)->Name("BM_FixedFormulaStep/5");
BENCHMARK(BM_FixedFormulaStep<5>)->Name("BM_FixedFormulaStep/6");

// CPU time of the whole process (all threads) in seconds.
double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void SetPixelRate(benchmark::State& state, double cpuSeconds) {
  const double pixels = double(kSide) * kSide * double(state.iterations());
  state.counters["pixels/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsRate);
  state.counters["cpu/pixel"] = benchmark::Counter(cpuSeconds / pixels);  // seconds
}

void BM_BareLoop(benchmark::State& state) {
  const TCalcParams block = PictureParams();
  const KernelParams p = KernelParamsFrom(block);
  const PixelMapping mapping(block);
  const PixelKernel kernel(p, nullptr);
  std::vector<double> e(kSide), x(kSide);
  const double cpu = ProcessCpuSeconds();
  for (auto _ : state) {
    for (int32_t row = 0; row < kSide; ++row) {
      for (int32_t column = 0; column < kSide; ++column) {
        PixelInput in;
        mapping.MapPixel(column, kSide - row, in.A, in.B);
        PixelResult out;
        kernel.Compute(in, out);
        e[size_t(column)] = out.E;
        x[size_t(column)] = out.X;
      }
      benchmark::DoNotOptimize(e.data());
      benchmark::DoNotOptimize(x.data());
    }
  }
  SetPixelRate(state, ProcessCpuSeconds() - cpu);
}
BENCHMARK(BM_BareLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_EngineRun(benchmark::State& state) {
  const std::string base =
      (std::filesystem::temp_directory_path() / ("vantorel-bench-" + std::to_string(::getpid()))).string();
  PixelDataFile tmp1, tmp2;
  tmp1.Create(base + ".TMP1");
  tmp2.Create(base + ".TMP2");
  TPicture picture;
  picture.Resize(kSide, kSide);
  DirectDispatcher direct;
  int workers = 0;
  const double cpu = ProcessCpuSeconds();
  for (auto _ : state) {
    TCalcParams block = PictureParams();
    tmp1.Clear();
    tmp2.Clear();
    TRechenThread thread(direct, int(state.range(0)));
    workers = thread.WorkerCount();
    thread.Setup(block, picture);
    thread.SetFiles(tmp1, tmp2);
    thread.SetErrorHandler([&](const std::string& message) { state.SkipWithError(message.c_str()); });
    thread.Resume();
    thread.WaitFor();
  }
  tmp1.Close();
  tmp2.Close();
  std::filesystem::remove(base + ".TMP1");
  std::filesystem::remove(base + ".TMP2");
  SetPixelRate(state, ProcessCpuSeconds() - cpu);
  state.counters["workers"] = workers;
}
BENCHMARK(BM_EngineRun)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
