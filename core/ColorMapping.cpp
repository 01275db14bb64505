#include "core/ColorMapping.h"

namespace vantorel {

uint32_t ColorForExponent(const TColorEntry* list, int count, uint32_t below, uint32_t above, double x) {
  if (count <= 0) return below;
  if (!(x >= list[0].Value)) return below;  // also NaN
  if (x > list[count - 1].Value) return above;
  int i = 0;
  while (!(x <= list[i].Value)) ++i;
  if (i == 0) return list[0].Color;
  const TColorEntry& lo = list[i - 1];
  const TColorEntry& hi = list[i];
  // t weighs the lower entry, s the upper one.
  const double t =
      static_cast<double>((static_cast<long double>(hi.Value) - x) / (static_cast<long double>(hi.Value) - lo.Value));
  const double s = 1.0 - t;
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const double chHi = (hi.Color >> shift) & 0xFF;
    const double chLo = (lo.Color >> shift) & 0xFF;
    const uint32_t ch = static_cast<uint32_t>(static_cast<int64_t>(chHi * s + chLo * t)) & 0xFF;
    result |= ch << shift;
  }
  return result;
}

}  // namespace vantorel
