// Thumbnails: a file's picture shrunk to fit a square, for file managers. Qt-free arithmetic;
// the renderer does the loading, computing and writing.
#pragma once

#include <cstdint>

#include "app/PictureFile.h"
#include "core/CalcParams.h"
#include "core/Picture.h"

namespace vantorel::cli {

// At most this many iteration steps (calm-down and summation, all pixels) for a thumbnail
// that has to be computed: well under a second for the fixed formulas.
constexpr int64_t kThumbnailSteps = 50'000'000;

struct PictureSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// The picture's size when it fits in side x side; otherwise the largest size of its
// proportions that does (each side rounded, at least 1). Never larger than the picture.
PictureSize FitInSquare(int32_t width, int32_t height, int32_t side);

// Reduces the iteration and calm-down counts in the same proportion until
// pixels x (iterations + calm-down) is at most `steps`, each rounded down to a whole number of
// AB-sequences (the form gathered counts have); at least one sequence of iterations remains.
void LimitWork(TCalcParams& p, int64_t steps);

// The rows shrunk to width x height (each no larger than the rows'): every pixel is the mean
// of the block of pixels it covers. Asks for each row once, top to bottom.
TPicture Shrink(const PictureRows& rows, int32_t width, int32_t height);

}  // namespace vantorel::cli
