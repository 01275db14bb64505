// Loading a 2000 x 2000 project file (64 MB of pixel data) into a window's data files:
//   BM_LoadProject  the whole load (block read and checked, both data parts copied through
//                   block reads), the file in the page cache as after saving it.
// Run: build/bench/vantorel_bench --benchmark_filter=LoadProject
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/ProjectFile.h"

using namespace vantorel;

namespace {

constexpr int32_t kSide = 2000;

struct Folder {
  std::filesystem::path path;
  Folder() {
    std::string t = (std::filesystem::temp_directory_path() / "vantorel-bench-XXXXXX").string();
    if (!mkdtemp(t.data())) throw std::runtime_error("no temporary folder");
    path = t;
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string File(const char* name) const { return (path / name).string(); }
};

void BM_LoadProject(benchmark::State& state) {
  Folder dir;
  TCalcParams p = DefaultCalcParams();
  p.PictureWidth = p.PictureHeight = kSide;
  p.State = StateFinished;
  {
    PixelDataFile a, b;
    a.Create(dir.File("a.TMP1"));
    b.Create(dir.File("a.TMP2"));
    std::vector<double> row(kSide);
    for (int32_t y = 0; y < kSide; ++y) {
      for (int32_t x = 0; x < kSide; ++x) row[size_t(x)] = -0.001 * x + y;
      a.Write(row.data(), row.size());
      b.Write(row.data(), row.size());
    }
    SaveProject(dir.File("big.LPr"), p, a, b);
  }
  PixelDataFile t1, t2;
  t1.Create(dir.File("w.TMP1"));
  t2.Create(dir.File("w.TMP2"));
  for (auto _ : state) {
    const TCalcParams loaded = LoadProject(dir.File("big.LPr"), t1, t2);
    benchmark::DoNotOptimize(loaded.State);
  }
  const double bytes = 16.0 * kSide * kSide;
  state.counters["MB"] = bytes / 1e6;
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_LoadProject)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
