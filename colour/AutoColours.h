// "auto colours": the list keeps its colours, but its values move to the quantiles of the
// picture's exponents, so that each colour band covers about the same share of the pixels.
// Negative and positive exponents are spread apart, each over the entries of its own sign, so
// that entries at 0 stay at 0 and no entry changes sides:
//  - the k entries below 0 go to the quantiles 0, 1/k, ..., (k-1)/k of the negative exponents
//    (the first to the smallest one); the last band reaches up to 0;
//  - the m entries above 0 go to the quantiles 1/m, ..., 1 of the positive exponents (the last
//    to the largest one); the first band starts at 0.
// A side without exponents keeps its entries' values. Exponents that are 0 or not finite are not
// counted. The quantile at share q of N values is the value of rank round(q * (N - 1)) in
// ascending order (rank 0 the smallest), found exactly.
//
// The exponent file is read with positional reads of 10000 records, as the histogram reads it
// (its position, from which a paused computation goes on, is not touched): three passes, the
// last only over the values near the wanted ranks.
#pragma once

#include <cstdint>
#include <functional>

#include "colour/ColorList.h"
#include "core/PixelDataFile.h"

namespace vantorel {

struct ExponentShares {
  int64_t Negative = 0, Positive = 0, Other = 0;  // Other: 0 or not finite
};

// The edit of "auto colours", or the reason it cannot be made (no exponents, an empty list).
// progress(percent) is called after every block.
ColorEdit AutoColours(const ColorListState& list, const PixelDataFile& exponents,
                      const std::function<void(int percent)>& progress = {}, ExponentShares* shares = nullptr);

}  // namespace vantorel
