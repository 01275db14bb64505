// The one mapping from a Lyapunov exponent to a colour through a colour list.
#pragma once

#include <cstdint>
#include <vector>

#include "core/CalcParams.h"

namespace vantorel {

// list: ascending by Value, at least one entry. Colours are 0x00BBGGRR.
// Below the first value (and NaN) gives below, above the last gives above; between two
// entries each channel is interpolated linearly and truncated.
uint32_t ColorForExponent(const TColorEntry* list, int count, uint32_t below, uint32_t above, double x);

inline uint32_t ColorForExponent(const std::vector<TColorEntry>& list, uint32_t below, uint32_t above, double x) {
  return ColorForExponent(list.data(), static_cast<int>(list.size()), below, above, x);
}

}  // namespace vantorel
