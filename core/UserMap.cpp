#include "core/UserMap.h"

#include <atomic>

#include "core/IoError.h"

namespace vantorel {

namespace {
std::atomic<UserMapPreparer> installed{nullptr};
}  // namespace

void InstallUserMapPreparer(UserMapPreparer preparer) { installed.store(preparer); }

std::shared_ptr<const UserMapFactory> PrepareUserMap(const TCalcParams& params) {
  const UserMapPreparer preparer = installed.load();
  if (!preparer) throw FormatError("This program cannot compute user formulas.");
  return preparer(params);
}

}  // namespace vantorel
