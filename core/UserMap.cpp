#include "core/UserMap.h"

#include "core/IoError.h"

namespace vantorel {

// The one place where a user formula is turned into a map for the computation.
std::shared_ptr<const UserMapFactory> PrepareUserMap(const TCalcParams&) {
  throw FormatError("user formulas cannot be computed yet");
}

}  // namespace vantorel
