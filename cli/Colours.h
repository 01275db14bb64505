// The renderer's colour options: --colours, --colour-range, --auto-colours, --list-palettes.
#pragma once

#include <ostream>

#include "cli/Options.h"
#include "core/CalcParams.h"
#include "core/PixelDataFile.h"

namespace vantorel::cli {

// --colours: replaces the block's colour list and outer colours by those of a file of any colour
// format, or of the shipped list of that name; a gradient or palette spans --colour-range or the
// replaced list's first and last values. Throws FormatError or IoError; the block is untouched
// then.
void ApplyColourOptions(const Options& o, TCalcParams& p, std::ostream& err);

// --auto-colours: moves the list's values to the quantiles of the exponents in tmp1.
void ApplyAutoColours(const Options& o, TCalcParams& p, const PixelDataFile& tmp1, std::ostream& err);

// --list-palettes: the shipped lists, one a line with their range; 1 when none is found.
int ListPalettes(std::ostream& out, std::ostream& err);

}  // namespace vantorel::cli
