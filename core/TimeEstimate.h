// A quick estimate of how long a block's calculation takes, from a timed sample of its pixels.
#pragma once

#include "core/CalcParams.h"

namespace vantorel {

// Computes a grid of sample pixels spread over the block's picture (at most `samples` of them,
// on the calling thread, stopping early after about `budgetSeconds`) and extrapolates the time
// for every pixel of the picture computed fresh on `workers` threads. Throws FormatError for a
// block that cannot be computed.
double EstimateComputeSeconds(const TCalcParams& params, int workers, bool fastTrig, int samples = 400,
                              double budgetSeconds = 0.3);

}  // namespace vantorel
