// Colour lists from files of any of the formats the program reads: its own colour files
// (*.Pal, values included) and the gradients and palettes of other programs (*.ggr, *.gpl,
// *.map), whose colours are spread over a range the user chooses. And the list written as a
// GIMP gradient or palette. Shipped colour lists (presets) are colour files in a folder
// "palettes" that the program finds beside its own folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "colour/ColorList.h"
#include "colour/ColourStops.h"

namespace vantorel {

enum class ColourFormat { ColourFile, GimpGradient, GimpPalette, MapPalette };

// Files larger than this are refused before they are read.
constexpr uint64_t kMaxImportBytes = uint64_t(8) << 20;

// By the name's extension (.Pal, .ggr, .gpl, .map in any case); a name without one of them by
// the content's first bytes (the text formats' first lines), else a colour file.
ColourFormat ColourFormatFor(const std::string& path, const uint8_t* data, size_t size);
// "colour file", "GIMP gradient", ...
std::string ColourFormatName(ColourFormat format);

struct ColourImport {
  ColourFormat Format = ColourFormat::ColourFile;
  ColorListState List;  // a colour file's list, with its own values and outer colours
  ColourStops Stops;    // the other formats' colours, still without values
  // The colours wait for a range (SpanStops) before they become a list.
  bool NeedsRange() const { return Format != ColourFormat::ColourFile; }
};

ColourImport DecodeColourImport(ColourFormat format, const uint8_t* data, size_t size);
// Reads a file of any of the four formats. Throws IoError (the system's message) or FormatError
// (what is wrong with the file); nothing else is touched.
ColourImport ReadColourImport(const std::string& path);
// The list the file gives: a colour file's own, or the colours spread over [lo, hi].
ColorListState ImportedList(const ColourImport& import, double lo, double hi);

// Writes the list as a GIMP gradient or palette through a temporary file, so that a failure
// leaves an existing file as it was. Throws IoError; FormatError for the other formats.
void ExportColours(const std::string& path, const ColorListState& list, ColourFormat format);

// --- Presets ---
struct Preset {
  std::string Name;  // the file's name without ".Pal"
  std::string Path;
};
// The folder of the running program (where its executable lies).
std::string ProgramFolder();
// Where the presets are looked for: share/vantorel/palettes beside the program's folder (the
// build tree keeps a copy there too).
std::vector<std::string> PresetFolders(const std::string& programFolder);
// The colour files of the first folder that holds any, sorted by name.
std::vector<Preset> FindPresets(const std::vector<std::string>& folders);
std::optional<Preset> FindPreset(const std::vector<Preset>& presets, const std::string& name);

}  // namespace vantorel
