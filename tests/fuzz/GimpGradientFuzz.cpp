#include <cmath>

#include "colour/GradientFile.h"
#include "core/IoError.h"
#include "fuzz/FuzzTargets.h"

namespace vantorel::fuzz {

void GimpGradient(const uint8_t* data, size_t size) {
  Gradient g;
  ColourStops first;
  try {
    g = DecodeGimpGradient(data, size);
    first = SampleGradient(g);
  } catch (const FormatError&) {
    return;
  }
  Check(!g.Segments.empty() && g.Segments.size() <= kMaxGradientSegments, "segment count");
  double at = 0;
  for (const GradientSegment& s : g.Segments) {
    Check(s.Left == at && s.Left <= s.Middle && s.Middle <= s.Right, "segments do not join up in order");
    at = s.Right;
  }
  Check(at == 1.0, "the gradient does not end at 1");
  Check(!first.Stops.empty(), "no stops");
  Check(first.Stops.front().Value == 0.0 && first.Stops.back().Value == 1.0, "stops do not span 0 ... 1");
  for (size_t k = 0; k < first.Stops.size(); ++k) {
    Check(first.Stops[k].Color <= 0xFFFFFF, "colour with a top byte");
    if (k > 0) Check(first.Stops[k - 1].Value <= first.Stops[k].Value, "stops out of order");
  }
  // Written as a gradient of linear segments and read again, the stops come back unchanged.
  const std::string text = EncodeGimpGradient(SpanStops(first, 0.0, 1.0), g.Name);
  ColourStops second;
  try {
    second = SampleGradient(DecodeGimpGradient(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  } catch (const FormatError& e) {
    throw FuzzFailure(std::string("a written gradient is refused: ") + e.what());
  }
  Check(second.Stops == first.Stops, "stops -> gradient -> stops changed them");
}

}  // namespace vantorel::fuzz
