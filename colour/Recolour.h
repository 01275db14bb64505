// Recolouring a computed picture from its stored exponents (TMP1), without computing again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/CalcParams.h"
#include "core/Picture.h"
#include "core/PixelDataFile.h"

namespace vantorel {

// Colours the pixels that have a record in tmp1 through ColorForExponent with the block's
// colour list and outer colours, reading at most 10000 records at a time. Record k belongs to
// column k mod PictureWidth of row k div PictureWidth; records behind the picture's last pixel
// are left alone. rowStarts(k, total) is called whenever a picture row begins (k mod width ==
// 0), before that row is written; total is the number of records used. tmp1's position is put
// back on every way out. Throws IoError when reading fails, FormatError for an empty colour
// list or a picture that does not match the block. Returns the records used.
int64_t RecolourPicture(PixelDataFile& tmp1, const TCalcParams& params, TPicture& picture,
                        const std::function<void(int64_t k, int64_t total)>& rowStarts);

// The status text of a recolouring at record k of total: "progress:" and the percentage with 3
// significant digits and 2 decimals, then "%".
std::string RecolourStatusText(int64_t k, int64_t total);
// ProgressBar1's position (0-10000) at record k: the rounded percentage times 100.
int RecolourBarPosition(int64_t k, int64_t total);

}  // namespace vantorel
