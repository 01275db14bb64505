#include "colour/Supersample.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "core/ColorMapping.h"

namespace vantorel {

TCalcParams SubPixelBlock(const TCalcParams& output, int n) {
  if (n < 1 || n > kMaxSupersample)
    throw std::invalid_argument("supersampling takes 1.." + std::to_string(kMaxSupersample) +
                                " sub-pixels each way, not " + std::to_string(n));
  TCalcParams sub = output;
  sub.PictureWidth = output.PictureWidth * n;
  sub.PictureHeight = output.PictureHeight * n;
  sub.ProgressColumn = sub.ProgressRow = 0;
  sub.IterationsDone = 0;
  sub.State = StateInitialised;
  return sub;
}

double SrgbToLinear(uint8_t level) {
  const double c = level / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

uint8_t LinearToSrgb(double linear) {
  if (!(linear > 0.0)) return 0;
  if (linear >= 1.0) return 255;
  const double c = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
  return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
}

SupersampleRows::SupersampleRows(const TCalcParams& output, int n, RowSink sink)
    : colors_(output.ColorList),
      below_(static_cast<uint32_t>(output.BelowColor)),
      above_(static_cast<uint32_t>(output.AboveColor)),
      n_(n),
      width_(output.PictureWidth),
      height_(output.PictureHeight),
      subWidth_(output.PictureWidth * n),
      sink_(std::move(sink)),
      sums_(size_t(output.PictureWidth) * 3, 0.0),
      bgr_(size_t(output.PictureWidth) * 3, 0) {
  if (n < 1 || n > kMaxSupersample || width_ <= 0 || height_ <= 0)
    throw std::invalid_argument("a supersampled picture needs 1..8 sub-pixels and a size of at least 1 x 1");
  for (int v = 0; v < 256; ++v) linear_[v] = SrgbToLinear(uint8_t(v));
}

void SupersampleRows::Add(int64_t first, const double* exponents, int32_t count) {
  if (first != next_)
    throw std::logic_error("sub-pixels arrive out of order: record " + std::to_string(first) + " instead of " +
                           std::to_string(next_));
  const int64_t total = int64_t(subWidth_) * height_ * n_;
  if (count < 0 || next_ + count > total) throw std::logic_error("more sub-pixels than the picture has");
  for (int32_t k = 0; k < count; ++k, ++next_) {
    const int32_t subColumn = static_cast<int32_t>(next_ % subWidth_);
    const uint32_t colour = ColorForExponent(colors_, below_, above_, exponents[k]);
    double* sum = &sums_[size_t(subColumn / n_) * 3];
    sum[0] += linear_[(colour >> 16) & 0xFF];
    sum[1] += linear_[(colour >> 8) & 0xFF];
    sum[2] += linear_[colour & 0xFF];
    if (subColumn == subWidth_ - 1) {
      const int64_t subRow = next_ / subWidth_;
      if (subRow % n_ == n_ - 1) EndOutputRow();
    }
  }
}

void SupersampleRows::StartAtRow(int32_t row) {
  if (row < 0 || row >= height_) throw std::logic_error("no output row " + std::to_string(row));
  std::fill(sums_.begin(), sums_.end(), 0.0);
  next_ = int64_t(row) * n_ * subWidth_;
  rowsDone_ = row;
}

void SupersampleRows::EndOutputRow() {
  const double samples = double(n_) * n_;
  for (size_t k = 0; k < sums_.size(); ++k) {
    bgr_[k] = LinearToSrgb(sums_[k] / samples);
    sums_[k] = 0.0;
  }
  const int32_t row = rowsDone_++;
  if (sink_) sink_(row, bgr_.data());
}

}  // namespace vantorel
