// Writing a 2000 x 2000 picture: BM_ExportPicture/<type> with 0 = BMP, 1 = JPEG (quality 90),
// 2 = PNG carrying the parameter block, each through a temporary file renamed into place
// (the fsync included). The picture is coloured through the default colour list from
// exponents that mix broad smooth areas with noisy bands, as computed pictures do; the file
// size is reported as a counter.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "core/ColorMapping.h"

using namespace vantorel;

namespace {

constexpr int32_t kSide = 2000;

const TPicture& Picture() {
  static const TPicture picture = [] {
    const TCalcParams p = DefaultCalcParams();
    TPicture pic;
    pic.Resize(kSide, kSide);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) {
        double e = 0.12 * std::sin(x / 97.0 + 3 * std::sin(y / 131.0)) - 0.06;
        if (e > 0.02) {  // the chaotic bands: exponents that jump from pixel to pixel
          noise = noise * 1664525u + 1013904223u;
          e += (noise >> 8) * (0.1 / 16777216.0);
        }
        pic.SetPixel(x, y, ColorForExponent(p.ColorList, uint32_t(p.BelowColor), uint32_t(p.AboveColor), e));
      }
    return pic;
  }();
  return picture;
}

void BM_ExportPicture(benchmark::State& state) {
  const auto type = static_cast<PictureType>(state.range(0));
  const char* names[] = {"bench.bmp", "bench.jpg", "bench.png"};
  const std::string path =
      (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + names[state.range(0)])).string();
  const std::vector<uint8_t> block = EncodeParameterBlock(DefaultCalcParams(), BlockForm::Parameters);
  const TPicture& pic = Picture();
  for (auto _ : state) SavePicture(path, pic, type, block);
  state.counters["MB"] = double(std::filesystem::file_size(path)) / 1e6;
  std::filesystem::remove(path);
}
BENCHMARK(BM_ExportPicture)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
