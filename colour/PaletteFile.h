// Palettes of separate colours from other programs:
//  - GIMP and Inkscape palettes "*.gpl": the line "GIMP Palette", then optional "Name:",
//    "Columns:" and "Channels:" lines, comments beginning with "#", and one colour a line:
//    "R G B" (levels 0 ... 255, an alpha level after them with "Channels: RGBA"), then an
//    optional colour name.
//  - Fractal palettes "*.map": one "R G B" line a colour, at most 256 of them; text after the
//    three numbers is a comment.
// Both become evenly spaced stops (ColourStops.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "colour/ColorList.h"
#include "colour/ColourStops.h"

namespace vantorel {

constexpr size_t kMaxMapColours = 256;

// Throw FormatError naming the line at fault.
ColourStops DecodeGimpPalette(const uint8_t* data, size_t size);
ColourStops DecodeMapPalette(const uint8_t* data, size_t size);

// The list's entries as a GIMP palette, in list order, each colour named by its value. The
// values and the outer colours have no place in the format.
std::string EncodeGimpPalette(const ColorListState& list, const std::string& name);

}  // namespace vantorel
