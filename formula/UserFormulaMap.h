// User formulas for the computation: the formula library's side of the seam of core/UserMap.h.
#pragma once

#include <memory>

#include "core/CalcParams.h"
#include "core/UserMap.h"

namespace vantorel {

// Converts, simplifies and derives the block's user formula and compiles F and dF/dX once: a
// program per worker for exact mode and one shared vector program for fast mode. Throws
// FormatError with the conversion's messages when the formula cannot be computed.
std::shared_ptr<const UserMapFactory> PrepareFormulaMap(const TCalcParams& params);

// Makes PrepareUserMap (and with it every run) use PrepareFormulaMap. Each program calls it once
// at start-up, before any run.
void InstallUserFormulas();

}  // namespace vantorel
