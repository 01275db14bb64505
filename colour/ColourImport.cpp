#include "colour/ColourImport.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

#include "colour/ColorFile.h"
#include "colour/GradientFile.h"
#include "colour/PaletteFile.h"
#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel {

namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

bool BeginsWith(const uint8_t* data, size_t size, std::string_view text) {
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    data += 3;
    size -= 3;
  }
  return size >= text.size() && std::equal(text.begin(), text.end(), data);
}

// A first line of three numbers: a .map palette.
bool LooksLikeMap(const uint8_t* data, size_t size) {
  int numbers = 0;
  bool inNumber = false;
  for (size_t i = 0; i < size && data[i] != '\n' && data[i] != '\r'; ++i) {
    const bool digit = std::isdigit(data[i]) != 0;
    if (!digit && data[i] != ' ' && data[i] != '\t') return numbers >= 3;
    if (digit && !inNumber) ++numbers;
    inNumber = digit;
  }
  return numbers >= 3;
}

}  // namespace

ColourFormat ColourFormatFor(const std::string& path, const uint8_t* data, size_t size) {
  const std::string ext = LowerExtension(path);
  if (ext == ".pal") return ColourFormat::ColourFile;
  if (ext == ".ggr") return ColourFormat::GimpGradient;
  if (ext == ".gpl") return ColourFormat::GimpPalette;
  if (ext == ".map") return ColourFormat::MapPalette;
  if (BeginsWith(data, size, "GIMP Gradient")) return ColourFormat::GimpGradient;
  if (BeginsWith(data, size, "GIMP Palette")) return ColourFormat::GimpPalette;
  if (LooksLikeMap(data, size)) return ColourFormat::MapPalette;
  return ColourFormat::ColourFile;
}

std::string ColourFormatName(ColourFormat format) {
  switch (format) {
    case ColourFormat::ColourFile: return "colour file";
    case ColourFormat::GimpGradient: return "GIMP gradient";
    case ColourFormat::GimpPalette: return "GIMP palette";
    case ColourFormat::MapPalette: return ".map palette";
  }
  return "colour file";
}

ColourImport DecodeColourImport(ColourFormat format, const uint8_t* data, size_t size) {
  ColourImport result;
  result.Format = format;
  switch (format) {
    case ColourFormat::ColourFile: result.List = DecodeColorFile(data, size); break;
    case ColourFormat::GimpGradient: result.Stops = SampleGradient(DecodeGimpGradient(data, size)); break;
    case ColourFormat::GimpPalette: result.Stops = DecodeGimpPalette(data, size); break;
    case ColourFormat::MapPalette: result.Stops = DecodeMapPalette(data, size); break;
  }
  return result;
}

ColourImport ReadColourImport(const std::string& path) {
  InputFile file(path);
  if (file.Size() > kMaxImportBytes)
    throw FormatError("The file is " + std::to_string(file.Size() >> 20) +
                      " MB large; colour files, gradients and "
                      "palettes of more than " +
                      std::to_string(kMaxImportBytes >> 20) + " MB are not read.");
  std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
  if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size())
    throw IoError("Cannot read '" + path + "': the file became shorter while it was read");
  return DecodeColourImport(ColourFormatFor(path, bytes.data(), bytes.size()), bytes.data(), bytes.size());
}

ColorListState ImportedList(const ColourImport& import, double lo, double hi) {
  return import.NeedsRange() ? SpanStops(import.Stops, lo, hi) : import.List;
}

void ExportColours(const std::string& path, const ColorListState& list, ColourFormat format) {
  const std::string name = std::filesystem::path(path).stem().string();
  std::string text;
  if (format == ColourFormat::GimpGradient)
    text = EncodeGimpGradient(list, name);
  else if (format == ColourFormat::GimpPalette)
    text = EncodeGimpPalette(list, name);
  else
    throw FormatError("The colours can be written as a GIMP gradient (.ggr) or a GIMP palette (.gpl) only.");
  WriteFileSafely(path, text.data(), text.size());
}

// ---------------------------------------------------------------------------------------------

std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::vector<std::string> PresetFolders(const std::string& programFolder) {
  return {
      (std::filesystem::path(programFolder) / ".." / "share" / "vantorel" / "palettes").lexically_normal().string()};
}

std::vector<Preset> FindPresets(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::vector<Preset> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::filesystem::path& p = it->path();
      if (p.extension() == ".Pal" && it->is_regular_file(ec)) found.push_back({p.stem().string(), p.string()});
    }
    if (found.empty()) continue;
    std::sort(found.begin(), found.end(), [](const Preset& a, const Preset& b) { return a.Name < b.Name; });
    return found;
  }
  return {};
}

std::optional<Preset> FindPreset(const std::vector<Preset>& presets, const std::string& name) {
  for (const Preset& p : presets)
    if (p.Name == name) return p;
  return std::nullopt;
}

}  // namespace vantorel
