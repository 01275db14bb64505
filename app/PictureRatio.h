// Keeping the picture's ratio equal to the region's on the coordinates page: editing the
// region height or the picture width sets the picture height, editing the region width or the
// picture height sets the picture width.
#pragma once

#include <optional>
#include <string>

namespace vantorel {

struct RatioResult {
  std::optional<int> Side;  // the new picture side, or nothing: both sides stay as they are
  std::string Problem;      // why not, for the note beside the fields (empty with a side)
};

// The picture side round(side * numerator / denominator), halves to even, limited to
// [minimum, maximum]; numerator and denominator are the region's decimal texts, named by
// numeratorName and denominatorName in the problem. Nothing is set while a text is not a
// number or the two give no picture size: a zero (as "0" on the way to "0,0132"), signs that
// differ, or a ratio out of all range.
RatioResult KeepPictureRatio(int side, const std::string& numerator, const std::string& denominator,
                             const std::string& numeratorName, const std::string& denominatorName, int minimum,
                             int maximum);

}  // namespace vantorel
