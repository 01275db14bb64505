#include "cli/SupersampledRows.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "colour/Supersample.h"
#include "core/IoError.h"

namespace vantorel::cli {

PictureRows SupersampledRowsFromData(const TCalcParams& output, int n, PixelDataFile& subTmp1) {
  struct State {
    std::vector<double> Exponents;
    uint8_t* Target = nullptr;  // the row the writer asked for
    std::optional<SupersampleRows> Rows;
  };
  const int32_t width = output.PictureWidth;
  auto state = std::make_shared<State>();
  state->Exponents.resize(size_t(width) * n);
  state->Rows.emplace(output, n, [raw = state.get(), width](int32_t, const uint8_t* bgr) {
    std::copy_n(bgr, size_t(width) * 3, raw->Target);
  });
  PictureRows rows;
  rows.Width = width;
  rows.Height = output.PictureHeight;
  rows.Row = [state, &subTmp1, n, width](int32_t y, uint8_t* bgr) {
    state->Target = bgr;
    state->Rows->StartAtRow(y);
    const int64_t subWidth = int64_t(width) * n;
    for (int b = 0; b < n; ++b) {
      const int64_t first = (int64_t(y) * n + b) * subWidth;
      const size_t count = size_t(subWidth);
      if (subTmp1.ReadAt(first, state->Exponents.data(), count) != count)
        throw FormatError("The exponent file ended early while the picture was being coloured.");
      state->Rows->Add(first, state->Exponents.data(), int32_t(count));
    }
  };
  return rows;
}

}  // namespace vantorel::cli
