// Counting the exponents of a 4000 x 4000 picture (16 000 000 records, 128 MB) for the histogram:
// two passes over the file, range then bins, as "calculate" does. The file is written once into
// the system's temporary folder and is read from the page cache.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "colour/Histogram.h"

using namespace vantorel;

namespace {

void BM_HistogramCalculate(benchmark::State& state) {
  constexpr int64_t kRecords = 4000LL * 4000;
  const std::string path =
      (std::filesystem::temp_directory_path() / ("vantorel-histogram-bench-" + std::to_string(::getpid()))).string();
  PixelDataFile file;
  file.Create(path);
  {
    std::mt19937_64 random(7);
    std::normal_distribution<double> exponent(-0.3, 0.4);
    std::vector<double> block(1 << 16);
    for (int64_t done = 0; done < kRecords;) {
      const size_t n = static_cast<size_t>(std::min<int64_t>(block.size(), kRecords - done));
      for (size_t i = 0; i < n; ++i) block[i] = exponent(random);
      file.Write(block.data(), n);
      done += static_cast<int64_t>(n);
    }
  }
  HistogramCounts counts;
  std::string message;
  for (auto _ : state) {
    if (!counts.Calculate(file, static_cast<int>(state.range(0)), {}, message)) state.SkipWithError(message.c_str());
    benchmark::DoNotOptimize(counts.MaxCount());
  }
  state.counters["records/s"] = benchmark::Counter(double(kRecords), benchmark::Counter::kIsIterationInvariantRate);
  file.Close();
  std::filesystem::remove(path);
}
BENCHMARK(BM_HistogramCalculate)->Arg(500)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
