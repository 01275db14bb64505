#include <cstdio>

#include "colour/PaletteFile.h"
#include "core/IoError.h"
#include "fuzz/FuzzTargets.h"

namespace vantorel::fuzz {

void MapPalette(const uint8_t* data, size_t size) {
  ColourStops first;
  try {
    first = DecodeMapPalette(data, size);
  } catch (const FormatError&) {
    return;
  }
  const size_t n = first.Stops.size();
  Check(first.Discrete && n >= 1 && n <= kMaxMapColours, "colour count");
  std::string text;
  for (size_t k = 0; k < n; ++k) {
    const TColorEntry& e = first.Stops[k];
    Check(e.Color <= 0xFFFFFF, "colour with a top byte");
    Check(e.Value == (n > 1 ? double(k) / double(n - 1) : 0.0), "colours not evenly spaced");
    char line[32];
    std::snprintf(line, sizeof line, "%u %u %u\r\n", e.Color & 0xFF, (e.Color >> 8) & 0xFF, (e.Color >> 16) & 0xFF);
    text += line;
  }
  // The colours written one "R G B" line each read back the same.
  ColourStops second;
  try {
    second = DecodeMapPalette(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  } catch (const FormatError& e) {
    throw FuzzFailure(std::string("a written .map palette is refused: ") + e.what());
  }
  Check(second.Stops == first.Stops, ".map -> text -> .map changed the colours");
}

}  // namespace vantorel::fuzz
