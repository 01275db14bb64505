#include "colour/Recolour.h"

#include <algorithm>
#include <cmath>

#include "core/ColorMapping.h"
#include "core/CalculationControl.h"
#include "core/IoError.h"

namespace vantorel {

namespace {
constexpr size_t kBlockRecords = 10000;

double Percent(int64_t k, int64_t total) { return total > 0 ? double(k) * 100.0 / double(total) : 100.0; }

// Puts a file's position back when it goes out of scope.
class PositionGuard {
 public:
  explicit PositionGuard(PixelDataFile& f) : file_(f), position_(f.Position()) {}
  ~PositionGuard() {
    try {
      file_.Seek(position_);
    } catch (const IoError&) {
      // the read error that got us here is the one reported
    }
  }
  PositionGuard(const PositionGuard&) = delete;
  PositionGuard& operator=(const PositionGuard&) = delete;

 private:
  PixelDataFile& file_;
  int64_t position_;
};
}  // namespace

int64_t RecolourPicture(PixelDataFile& tmp1, const TCalcParams& params, TPicture& picture,
                        const std::function<void(int64_t, int64_t)>& rowStarts) {
  if (params.ColorList.empty()) throw FormatError("The colour list is empty.");
  const int64_t width = params.PictureWidth, height = params.PictureHeight;
  if (width <= 0 || height <= 0 || picture.Width != width || picture.Height != height)
    throw FormatError("The picture does not match the parameters.");
  const uint32_t below = static_cast<uint32_t>(params.BelowColor), above = static_cast<uint32_t>(params.AboveColor);

  PositionGuard guard(tmp1);
  const int64_t total = std::min(tmp1.RecordCount(), width * height);
  tmp1.Seek(0);
  std::vector<double> buffer(static_cast<size_t>(std::min<int64_t>(total, kBlockRecords)));
  int64_t k = 0;
  uint8_t* row = nullptr;
  while (k < total) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(total - k, kBlockRecords));
    const size_t got = tmp1.Read(buffer.data(), n);
    if (got != n) throw IoError("The exponent file '" + tmp1.Path() + "' ended early.");
    for (size_t i = 0; i < n; ++i, ++k) {
      const int64_t x = k % width;
      if (x == 0) {
        row = picture.Row(static_cast<int32_t>(k / width));
        if (rowStarts) rowStarts(k, total);
      }
      const uint32_t c = ColorForExponent(params.ColorList, below, above, buffer[i]);
      uint8_t* p = row + 3 * x;
      p[0] = (c >> 16) & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = c & 0xFF;
    }
  }
  return total;
}

std::string RecolourStatusText(int64_t k, int64_t total) {
  return "progress:" + FixedPrecisionText(Percent(k, total), 3, 2) + "%";
}

int RecolourBarPosition(int64_t k, int64_t total) { return static_cast<int>(std::nearbyint(Percent(k, total))) * 100; }

}  // namespace vantorel
