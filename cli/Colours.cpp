#include "cli/Colours.h"

#include <filesystem>
#include <tuple>

#include "cli/RenderSteps.h"
#include "colour/AutoColours.h"
#include "colour/ColourImport.h"
#include "core/IoError.h"
#include "core/NumberText.h"

namespace vantorel::cli {

namespace {

ColorListState ListOf(const TCalcParams& p) {
  return {p.ColorList, static_cast<uint32_t>(p.BelowColor), static_cast<uint32_t>(p.AboveColor)};
}

void SetList(TCalcParams& p, const ColorListState& list) {
  p.SetColors(list.Entries);
  p.BelowColor = static_cast<int32_t>(list.Below);
  p.AboveColor = static_cast<int32_t>(list.Above);
}

std::vector<Preset> ShippedLists() { return FindPresets(PresetFolders(ProgramFolder())); }

std::string RangeText(double lo, double hi) { return FloatToText(lo) + " ... " + FloatToText(hi); }

}  // namespace

void ApplyColourOptions(const Options& o, TCalcParams& p, std::ostream& err) {
  if (!o.Colours) return;
  const std::string& given = *o.Colours;
  std::string path = given;
  std::error_code ec;
  if (!std::filesystem::exists(given, ec)) {
    const std::vector<Preset> presets = ShippedLists();
    const std::optional<Preset> preset = FindPreset(presets, given);
    if (!preset)
      throw FormatError("--colours '" + given + "' is neither a file nor the name of a shipped colour list (" +
                        std::string(presets.empty() ? "none was found; they belong in share/vantorel/palettes"
                                                    : "--list-palettes lists them") +
                        ").");
    path = preset->Path;
  }
  ColourImport import;
  try {
    import = ReadColourImport(path);
  } catch (const FormatError& e) {
    throw FormatError("--colours '" + given + "': " + e.what());
  }
  if (!import.NeedsRange() && o.ColourRange)
    throw FormatError(
        "--colour-range spans the colours of a gradient or palette (.ggr, .gpl, .map); the colour "
        "file '" +
        given + "' keeps its own values.");
  double lo = 0, hi = 0;
  DefaultImportRange(ListOf(p), lo, hi);
  if (o.ColourRange) std::tie(lo, hi) = *o.ColourRange;
  const ColorListState list = ImportedList(import, lo, hi);
  SetList(p, list);
  Note(o, err,
       "the colours come from the " + ColourFormatName(import.Format) + " '" + given + "'" +
           (import.NeedsRange() ? ", spread over " + RangeText(lo, hi) : std::string()) + " (" +
           std::to_string(list.Entries.size()) + " entries)");
}

void ApplyAutoColours(const Options& o, TCalcParams& p, const PixelDataFile& tmp1, std::ostream& err) {
  if (!o.AutoColours) return;
  ExponentShares shares;
  const ColorEdit edit = AutoColours(ListOf(p), tmp1, {}, &shares);
  if (!edit.Ok()) throw FormatError("--auto-colours: " + edit.Error);
  SetList(p, edit.State);
  Note(o, err,
       "automatic colours: " + std::to_string(shares.Negative) + " negative and " + std::to_string(shares.Positive) +
           " positive exponents; the list now spans " +
           RangeText(edit.State.Entries.front().Value, edit.State.Entries.back().Value));
}

int ListPalettes(std::ostream& out, std::ostream& err) {
  const std::vector<Preset> presets = ShippedLists();
  if (presets.empty()) {
    err << ProgramName() << ": no shipped colour lists were found in " << PresetFolders(ProgramFolder()).front()
        << "\n";
    return 1;
  }
  for (const Preset& preset : presets) {
    out << preset.Name;
    try {
      const ColourImport list = ReadColourImport(preset.Path);
      out << "\t" << list.List.Entries.size() << " entries, "
          << RangeText(list.List.Entries.front().Value, list.List.Entries.back().Value);
    } catch (const std::exception& e) {
      out << "\tcannot be read: " << e.what();
    }
    out << "\n";
  }
  return 0;
}

}  // namespace vantorel::cli
