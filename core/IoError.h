// File errors: every failed open, seek, read or write raises one, carrying the system's message.
#pragma once

#include <stdexcept>
#include <string>

namespace vantorel {

class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "<what> '<path>': <strerror(err)>"
[[noreturn]] void ThrowIoError(const std::string& what, const std::string& path, int err);

// A parameter block or a file that cannot be used: clear text for the user.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vantorel
