#include "colour/ColorFile.h"
#include "core/IoError.h"
#include "fuzz/FuzzTargets.h"

namespace vantorel::fuzz {

void ColourFile(const uint8_t* data, size_t size) {
  ColorListState first;
  try {
    first = DecodeColorFile(data, size);
  } catch (const FormatError&) {
    return;
  }
  Check(!first.Entries.empty() && first.Entries.size() <= kMaxColorFileEntries, "entry count");
  for (size_t k = 1; k < first.Entries.size(); ++k)
    Check(first.Entries[k - 1].Value <= first.Entries[k].Value, "entries not sorted");
  const std::vector<uint8_t> encoded = EncodeColorFile(first);
  Check(encoded.size() == kColorRecordSize * (first.Entries.size() + 2), "encoded length");
  ColorListState second;
  try {
    second = DecodeColorFile(encoded.data(), encoded.size());
  } catch (const FormatError& e) {
    throw FuzzFailure(std::string("a written colour file is refused: ") + e.what());
  }
  Check(second == first, "decode -> encode -> decode changed the list");
  Check(EncodeColorFile(second) == encoded, "encoding is not stable");
}

}  // namespace vantorel::fuzz
