// Colours taken from another program's file, before they get values: stops at positions 0 ... 1
// of a range that the user chooses (the import range), and spreading them over that range.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colour/ColorList.h"

namespace vantorel {

struct ColourStops {
  // Value: the position 0 ... 1, ascending; equal positions mark a sharp edge.
  std::vector<TColorEntry> Stops;
  // A palette of separate colours (.gpl, .map), evenly spaced, rather than a gradient.
  bool Discrete = false;
  std::string Name;
};

// Separate colours, evenly spaced from 0 to 1 (one colour stands at 0).
ColourStops EvenlySpaced(std::vector<uint32_t> colours, std::string name);

// The colour list of the stops spread over [lo, hi]: position p goes to lo * (1 - p) + hi * p, so
// 0 and 1 give lo and hi exactly. Below and above the range the end colours go on. Throws FormatError
// when lo < hi does not hold for two finite numbers, or when there are no stops.
ColorListState SpanStops(const ColourStops& stops, double lo, double hi);

// The list's colours from its first value to its last in `width` columns (a thumbnail of the
// list): column i shows the colour of first + (last - first) * i / (width - 1).
std::vector<uint32_t> ColourStrip(const ColorListState& list, int width);

// The range an import spans unless the user chooses another: the list's first and last values,
// or -1 ... 0,1 (those of the default list) when they are equal.
void DefaultImportRange(const ColorListState& list, double& lo, double& hi);

}  // namespace vantorel
