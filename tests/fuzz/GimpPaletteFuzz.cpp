#include "colour/ColorFile.h"
#include "colour/PaletteFile.h"
#include "core/IoError.h"
#include "fuzz/FuzzTargets.h"

namespace vantorel::fuzz {

void GimpPalette(const uint8_t* data, size_t size) {
  ColourStops first;
  try {
    first = DecodeGimpPalette(data, size);
  } catch (const FormatError&) {
    return;
  }
  const size_t n = first.Stops.size();
  Check(first.Discrete && n >= 1 && n <= kMaxColorFileEntries, "colour count");
  for (size_t k = 0; k < n; ++k) {
    Check(first.Stops[k].Color <= 0xFFFFFF, "colour with a top byte");
    Check(first.Stops[k].Value == (n > 1 ? double(k) / double(n - 1) : 0.0), "colours not evenly spaced");
  }
  // Spread over a range, written as a palette and read again, the colours come back the same.
  const std::string text = EncodeGimpPalette(SpanStops(first, -1.0, 1.0), first.Name);
  ColourStops second;
  try {
    second = DecodeGimpPalette(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  } catch (const FormatError& e) {
    throw FuzzFailure(std::string("a written palette is refused: ") + e.what());
  }
  Check(second.Stops == first.Stops, "palette -> list -> palette changed the colours");
}

}  // namespace vantorel::fuzz
