// The vector kernels against today's scalar kernel (BM_FixedFormulaStep/<formula>, EngineBench.cpp)
// in the same run:
//   BM_VectorStep/<formula>/<fast>        the plain vector kernel on one thread, per step, on the
//                                         scalar benchmark's points (exact: fast = 0);
//   BM_VectorPicture/<formula>/<fast>/<workers>  a 160 x 160 picture of the default region
//                                         through TRechenThread (0 workers = all): steps/s by the
//                                         wall clock, steps/cpu-s by the process's CPU time (all
//                                         threads), which a machine busy with other work disturbs less.
// steps/s counts calm-down and summation steps as the scalar benchmark does.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "core/Kernels.h"
#include "core/RechenThread.h"
#include "core/VectorKernels.h"

using namespace vantorel;

namespace {

std::vector<PixelInput> SamplePoints() {  // as BM_FixedFormulaStep's
  std::vector<PixelInput> points;
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 32; ++j) points.push_back(PixelInput{2.5 + i * 1.5 / 32, 2.5 + j * 1.5 / 32, true, 0, 0});
  return points;
}

// Steps the scalar kernel takes for these pixels.
template <int F>
double CountSteps(const KernelParams& p, const std::vector<PixelInput>& points) {
  StepCountingMap<FixedMap<F>> counter{FixedMap<F>(p)};
  PixelResult out;
  for (const PixelInput& in : points) RunKernel(counter, p, in, out);
  return double(counter.calmSteps + counter.sumSteps);
}

double CountSteps(const KernelParams& p, const std::vector<PixelInput>& points) {
  switch (p.FixedFormula) {
    case 0: return CountSteps<0>(p, points);
    case 1: return CountSteps<1>(p, points);
    case 2: return CountSteps<2>(p, points);
    case 3: return CountSteps<3>(p, points);
    case 4: return CountSteps<4>(p, points);
    default: return CountSteps<5>(p, points);
  }
}

void SetStepRate(benchmark::State& state, double stepsPerIteration) {
  state.counters["steps/s"] =
      benchmark::Counter(stepsPerIteration * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_VectorStep(benchmark::State& state) {
  TCalcParams block = DefaultCalcParams();
  block.FixedFormula = int32_t(state.range(0)) - 1;
  KernelParams p = KernelParamsFrom(block);
  p.FastTrig = state.range(1) != 0;
  const std::vector<PixelInput> points = SamplePoints();
  std::vector<PixelResult> out(points.size());
  for (auto _ : state) {
    ComputeFixedPixels(p, points.data(), out.data(), points.size());
    benchmark::DoNotOptimize(out.data());
  }
  SetStepRate(state, CountSteps(p, points));
  state.SetLabel(CurrentVectorTarget());
}
BENCHMARK(BM_VectorStep)->ArgsProduct({{1, 2, 3, 4, 5, 6}, {0, 1}});

constexpr int32_t kSide = 160;

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

TCalcParams PictureBlock(int formula) {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = formula - 1;
  p.PictureWidth = p.PictureHeight = kSide;
  return p;
}

// Steps of the whole picture (counted once per formula).
double PictureSteps(int formula) {
  static std::map<int, double> steps;
  if (auto it = steps.find(formula); it != steps.end()) return it->second;
  const TCalcParams block = PictureBlock(formula);
  const PixelMapping mapping(block);
  std::vector<PixelInput> pixels;
  for (int32_t r = 0; r < kSide; ++r)
    for (int32_t c = 0; c < kSide; ++c) {
      PixelInput in;
      mapping.MapPixel(c, kSide - r, in.A, in.B);
      pixels.push_back(in);
    }
  return steps[formula] = CountSteps(KernelParamsFrom(block), pixels);
}

void BM_VectorPicture(benchmark::State& state) {
  const int formula = int(state.range(0));
  const std::string base =
      (std::filesystem::temp_directory_path() / ("vantorel-vbench-" + std::to_string(::getpid()))).string();
  PixelDataFile tmp1, tmp2;
  tmp1.Create(base + ".TMP1");
  tmp2.Create(base + ".TMP2");
  TPicture picture;
  picture.Resize(kSide, kSide);
  DirectDispatcher direct;
  int workers = 0;
  const double cpu = ProcessCpuSeconds();
  for (auto _ : state) {
    TCalcParams block = PictureBlock(formula);
    tmp1.Clear();
    tmp2.Clear();
    TRechenThread thread(direct, int(state.range(2)));
    workers = thread.WorkerCount();
    thread.Setup(block, picture);
    thread.SetFastTrig(state.range(1) != 0);
    thread.SetFiles(tmp1, tmp2);
    thread.Resume();
    thread.WaitFor();
  }
  tmp1.Close();
  tmp2.Close();
  std::filesystem::remove(base + ".TMP1");
  std::filesystem::remove(base + ".TMP2");
  const double cpuSeconds = ProcessCpuSeconds() - cpu;
  SetStepRate(state, PictureSteps(formula));
  state.counters["steps/cpu-s"] = PictureSteps(formula) * double(state.iterations()) / cpuSeconds;
  state.counters["workers"] = workers;
}
BENCHMARK(BM_VectorPicture)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
