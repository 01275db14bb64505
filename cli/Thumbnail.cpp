#include "cli/Thumbnail.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vantorel::cli {

PictureSize FitInSquare(int32_t width, int32_t height, int32_t side) {
  if (width <= side && height <= side) return {width, height};
  const double scale = double(side) / std::max(width, height);
  const auto scaled = [&](int32_t v) {
    return std::clamp(static_cast<int32_t>(std::lround(v * scale)), int32_t(1), side);
  };
  return {scaled(width), scaled(height)};
}

void LimitWork(TCalcParams& p, int64_t steps) {
  const double pixels = double(p.PictureWidth) * p.PictureHeight;
  const double perPixel = double(p.Iterations) + std::max(p.CalmDownIterations, 0);
  if (pixels <= 0 || perPixel <= 0 || pixels * perPixel <= double(steps)) return;
  const int32_t s = std::max(p.SequenceLength, 1);
  const double scale = double(steps) / (pixels * perPixel);
  // Gathered counts are whole multiples of the sequence length; rounded down to one.
  const auto reduced = [&](int32_t count) {
    const int32_t wanted = static_cast<int32_t>(std::floor(count * scale));
    return wanted - wanted % s;
  };
  p.Iterations = std::max(reduced(p.Iterations), s);
  if (p.CalmDownIterations > 0) p.CalmDownIterations = reduced(p.CalmDownIterations);
}

TPicture Shrink(const PictureRows& rows, int32_t width, int32_t height) {
  TPicture out;
  out.Resize(width, height);
  std::vector<uint8_t> row(size_t(rows.Width) * 3);
  std::vector<uint64_t> sums(size_t(width) * 3);
  // Column x of the result covers columns first[x] .. first[x + 1] - 1 of the rows.
  std::vector<int32_t> first(size_t(width) + 1);
  for (int32_t x = 0; x <= width; ++x) first[x] = int32_t(int64_t(x) * rows.Width / width);
  int32_t y = 0;
  for (int32_t ty = 0; ty < height; ++ty) {
    const int32_t end = int32_t(int64_t(ty + 1) * rows.Height / height);
    std::fill(sums.begin(), sums.end(), 0);
    const int32_t count = end - y;
    for (; y < end; ++y) {
      rows.Row(y, row.data());
      for (int32_t tx = 0; tx < width; ++tx)
        for (int32_t sx = first[tx]; sx < first[tx + 1]; ++sx)
          for (int c = 0; c < 3; ++c) sums[3 * tx + c] += row[3 * sx + c];
    }
    uint8_t* target = out.Row(ty);
    for (int32_t tx = 0; tx < width; ++tx) {
      const uint64_t n = uint64_t(count) * uint64_t(first[tx + 1] - first[tx]);
      for (int c = 0; c < 3; ++c) target[3 * tx + c] = uint8_t((sums[3 * tx + c] + n / 2) / n);
    }
  }
  return out;
}

}  // namespace vantorel::cli
