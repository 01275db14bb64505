// The rows of a supersampled picture read from the exponents of its sub-pixel picture.
#pragma once

#include "app/PictureFile.h"
#include "core/CalcParams.h"
#include "core/PixelDataFile.h"

namespace vantorel::cli {

// output: the W x H block; subTmp1: the exponents of the N·W x N·H sub-pixel picture (every
// record present). Each row reads its N sub-pixel rows, so the writers' order (a bitmap from
// the bottom up) costs no memory. subTmp1 must outlive the returned source.
PictureRows SupersampledRowsFromData(const TCalcParams& output, int n, PixelDataFile& subTmp1);

}  // namespace vantorel::cli
