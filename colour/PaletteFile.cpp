#include "colour/PaletteFile.h"

#include <algorithm>
#include <cstdio>

#include "colour/ColorFile.h"
#include "colour/ImportText.h"
#include "core/IoError.h"
#include "core/NumberText.h"

namespace vantorel {

namespace {

// Reads `count` levels 0 ... 255 from the start of `rest`; the words after them stay in `rest`.
// Returns false when the line does not begin with that many whole numbers; throws for a number
// outside 0 ... 255.
bool ReadLevels(std::string_view& rest, int count, uint32_t levels[4], const std::string& what, size_t line) {
  for (int k = 0; k < count; ++k) {
    std::string_view probe = rest;
    const std::string_view word = import::NextWord(probe);
    const auto v = import::Whole(word);
    if (!v) return false;
    if (*v < 0 || *v > 255)
      throw FormatError("This " + what + " cannot be read: " + import::LineName(line) + " has the level " +
                        std::string(word) + ", but levels lie in 0 ... 255.");
    levels[k] = static_cast<uint32_t>(*v);
    rest = probe;
  }
  return true;
}

void CheckRoom(size_t have, size_t most, const std::string& what) {
  if (have >= most)
    throw FormatError("This " + what + " holds more than " + std::to_string(most) + " colours; it is not read.");
}

}  // namespace

ColourStops DecodeGimpPalette(const uint8_t* data, size_t size) {
  const std::string what = "GIMP palette";
  const std::vector<std::string_view> lines = import::TextLines(data, size, "a GIMP palette");
  if (lines.empty() || import::Trim(lines[0]) != "GIMP Palette")
    throw FormatError(
        "This is not a GIMP palette: such a file begins with the line \"GIMP Palette\"" +
        (lines.empty() ? std::string(", and this one is empty.") : ", not " + import::Quote(lines[0]) + "."));
  std::string name;
  int channels = 3;
  std::vector<uint32_t> colours;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = import::Trim(lines[i]);
    if (line.empty() || line.front() == '#') continue;
    if (line.starts_with("Name:")) {
      name = std::string(import::Trim(line.substr(5)));
      continue;
    }
    if (line.starts_with("Columns:")) continue;
    if (line.starts_with("Channels:")) {
      const std::string_view kind = import::Trim(line.substr(9));
      if (kind != "RGB" && kind != "RGBA")
        throw FormatError("This GIMP palette cannot be read: " + import::LineName(i) + " names the channels " +
                          import::Quote(kind) + "; RGB and RGBA are known.");
      channels = kind == "RGB" ? 3 : 4;
      continue;
    }
    std::string_view rest = line;
    uint32_t levels[4] = {0, 0, 0, 0};
    if (!ReadLevels(rest, channels, levels, what, i))
      throw FormatError("This GIMP palette cannot be read: " + import::LineName(i) + " should begin with " +
                        (channels == 3 ? "\"R G B\"" : "\"R G B A\"") + " levels, but reads " + import::Quote(line) +
                        ".");
    CheckRoom(colours.size(), kMaxColorFileEntries, what);
    colours.push_back(import::Rgb(levels[0], levels[1], levels[2]));
  }
  if (colours.empty()) throw FormatError("This GIMP palette holds no colour.");
  return EvenlySpaced(std::move(colours), std::move(name));
}

ColourStops DecodeMapPalette(const uint8_t* data, size_t size) {
  const std::string what = ".map palette";
  const std::vector<std::string_view> lines = import::TextLines(data, size, "a .map palette");
  std::vector<uint32_t> colours;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view rest = import::Trim(lines[i]);
    if (rest.empty()) continue;
    uint32_t levels[4] = {0, 0, 0, 0};
    if (!ReadLevels(rest, 3, levels, what, i))
      throw FormatError(std::string(i == 0 ? "This is not a .map palette" : "This .map palette cannot be read") + ": " +
                        import::LineName(i) + " should begin with three levels \"R G B\", but reads " +
                        import::Quote(lines[i]) + ".");
    CheckRoom(colours.size(), kMaxMapColours, what);
    colours.push_back(import::Rgb(levels[0], levels[1], levels[2]));
  }
  if (colours.empty()) throw FormatError("This .map palette holds no colour.");
  return EvenlySpaced(std::move(colours), std::string());
}

std::string EncodeGimpPalette(const ColorListState& list, const std::string& name) {
  std::string oneLine = name;
  std::replace_if(
      oneLine.begin(), oneLine.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  std::string out = "GIMP Palette\nName: " + oneLine + "\nColumns: 1\n#\n";
  for (const TColorEntry& e : list.Entries) {
    char levels[16];
    std::snprintf(levels, sizeof levels, "%3u %3u %3u", e.Color & 0xFF, (e.Color >> 8) & 0xFF, (e.Color >> 16) & 0xFF);
    out += std::string(levels) + "\t" + FloatToText(e.Value) + "\n";
  }
  return out;
}

}  // namespace vantorel
