// Supersampled pictures: a W x H picture coloured from the exponents of the N·W x N·H picture of
// the same region, N x N sub-pixels to a pixel.
//
// The sub-pixel grid: the pixel mapping samples pixel (i, r) at the corner of its cell that the
// mapping reaches first (column i at left + i·dx, row r at top - r·dy, before the rotation), so
// the cell of (i, r) is the half-open rectangle from that corner one dx to the right and one dy
// down. The N·W x N·H picture of the same region has sub-cells of dx/N x dy/N that tile every
// cell exactly; sub-pixel (N·i + a, N·r + b), a, b = 0..N-1, is sampled at a corner inside cell
// (i, r), and no other sub-pixel is. Sub-pixel (N·i, N·r) is pixel (i, r)'s own sample point.
//
// Each sub-pixel is coloured through the colour list as a plain picture's pixel is; the N² colours
// of a pixel are averaged in linear light, channel by channel (sRGB decoded, mean, encoded,
// rounded to the nearest level). For N = 1 that gives the plain colours unchanged.
//
// Memory: the sub-pixels arrive in scan order and only one output row of sums is kept (N sub-pixel
// rows pass through it), never the N·W x N·H picture.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/CalcParams.h"

namespace vantorel {

constexpr int kMaxSupersample = 8;

// The block of the sub-pixel picture: N·W x N·H pixels of the same region and parameters, to be
// computed afresh (no progress, no iterations done). n must lie in 1..kMaxSupersample.
TCalcParams SubPixelBlock(const TCalcParams& output, int n);

// The linear-light value 0..1 of an sRGB level, and the nearest level of a linear-light value.
double SrgbToLinear(uint8_t level);
uint8_t LinearToSrgb(double linear);

// Turns the sub-pixels' exponents of an N·W x N·H picture, handed in scan order from the first
// one on, into the W x H rows of the supersampled picture.
class SupersampleRows {
 public:
  // Called once for each output row, top down, as soon as its N sub-pixel rows are in:
  // the row number and W pixels of blue, green, red.
  using RowSink = std::function<void(int32_t row, const uint8_t* bgr)>;

  // output: the W x H block whose colour list, below and above colours colour the sub-pixels.
  SupersampleRows(const TCalcParams& output, int n, RowSink sink);

  // The exponents of `count` sub-pixels from sub-pixel record `first` (row-major in the
  // N·W x N·H picture); first must be where the previous call ended. Throws std::logic_error
  // otherwise.
  void Add(int64_t first, const double* exponents, int32_t count);

  // Drops what has been added and expects the sub-pixels of output row `row` next (for a
  // writer that asks for the rows in its own order).
  void StartAtRow(int32_t row);

  int32_t RowsDone() const { return rowsDone_; }
  bool Complete() const { return rowsDone_ == height_; }

 private:
  void EndOutputRow();

  std::vector<TColorEntry> colors_;
  uint32_t below_, above_;
  int n_;
  int32_t width_, height_, subWidth_;
  RowSink sink_;
  double linear_[256];
  std::vector<double> sums_;  // 3 per output pixel: blue, green, red
  std::vector<uint8_t> bgr_;
  int64_t next_ = 0;  // the next sub-pixel record expected
  int32_t rowsDone_ = 0;
};

}  // namespace vantorel
