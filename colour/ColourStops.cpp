#include "colour/ColourStops.h"

#include <algorithm>
#include <cmath>

#include "core/ColorMapping.h"
#include "core/IoError.h"
#include "core/NumberText.h"

namespace vantorel {

ColourStops EvenlySpaced(std::vector<uint32_t> colours, std::string name) {
  ColourStops s;
  s.Discrete = true;
  s.Name = std::move(name);
  const size_t n = colours.size();
  for (size_t k = 0; k < n; ++k)
    s.Stops.push_back({colours[k] & 0xFFFFFF, n > 1 ? static_cast<double>(k) / static_cast<double>(n - 1) : 0.0});
  return s;
}

ColorListState SpanStops(const ColourStops& stops, double lo, double hi) {
  if (!(std::isfinite(lo) && std::isfinite(hi) && lo < hi))
    throw FormatError("The range from " + FloatToText(lo) + " to " + FloatToText(hi) +
                      " cannot hold the colours: the first value must be smaller than the second.");
  if (stops.Stops.empty()) throw FormatError("The file holds no colour.");
  ColorListState list;
  const size_t n = stops.Stops.size();
  list.Entries.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    const double p = stops.Stops[k].Value;
    // Weighted so that positions 0 and 1 give lo and hi exactly and no difference overflows.
    list.Entries.push_back({stops.Stops[k].Color, lo * (1.0 - p) + hi * p});
  }
  SortColorEntries(list.Entries);
  list.Below = list.Entries.front().Color;
  list.Above = list.Entries.back().Color;
  return list;
}

std::vector<uint32_t> ColourStrip(const ColorListState& list, int width) {
  std::vector<uint32_t> strip(static_cast<size_t>(std::max(width, 0)), list.Below);
  if (list.Entries.empty() || width <= 0) return strip;
  const double lo = list.Entries.front().Value, hi = list.Entries.back().Value;
  for (int i = 0; i < width; ++i) {
    const double w = width > 1 ? double(i) / (width - 1) : 0.0;
    const double v = lo * (1 - w) + hi * w;
    // Rounding may carry the last column just past the last value; it shows the last colour.
    strip[static_cast<size_t>(i)] =
        v > hi ? list.Entries.back().Color : ColorForExponent(list.Entries, list.Below, list.Above, v);
  }
  return strip;
}

void DefaultImportRange(const ColorListState& list, double& lo, double& hi) {
  lo = -1.0;
  hi = 0.1;
  if (list.Entries.empty()) return;
  const double first = list.Entries.front().Value, last = list.Entries.back().Value;
  if (first < last) {
    lo = first;
    hi = last;
  }
}

}  // namespace vantorel
