#include "app/ParameterFile.h"
#include "core/IoError.h"
#include "fuzz/FuzzTargets.h"

namespace vantorel::fuzz {

void ParameterFile(const uint8_t* data, size_t size) {
  DecodedBlock first;
  try {
    first = DecodeParameterBlock(data, size);
  } catch (const FormatError&) {
    return;
  }
  // A block may end without its 4-byte record count, and its padding adds up to 8 bytes.
  Check(first.Length >= 8 && first.Length <= size + 12 && first.Length % 8 == 0, "block length");
  for (const BlockForm form : {BlockForm::Parameters, BlockForm::Project}) {
    const int32_t records = first.RecordCount < 0 ? 0 : first.RecordCount;
    const std::vector<uint8_t> encoded = EncodeParameterBlock(first.Params, form, records);
    Check(encoded.size() == first.Length, "encoded length");
    DecodedBlock second;
    try {
      second = DecodeParameterBlock(encoded.data(), encoded.size());
    } catch (const FormatError& e) {
      throw FuzzFailure(std::string("a written block is refused: ") + e.what());
    }
    Check(EncodeParameterBlock(second.Params, form, second.RecordCount) == encoded,
          "decode -> encode -> decode changed the block");
  }
}

}  // namespace vantorel::fuzz
