#include "core/IoError.h"

#include <cstring>

namespace vantorel {

void ThrowIoError(const std::string& what, const std::string& path, int err) {
  throw IoError(what + " '" + path + "': " + std::strerror(err));
}

}  // namespace vantorel
